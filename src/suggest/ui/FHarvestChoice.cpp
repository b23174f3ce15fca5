#include "suggest/ui/FHarvestChoice.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

TfrmHarvestChoice::TfrmHarvestChoice(qsizetype selected, qsizetype harvested, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmHarvestChoice"));
    setWindowTitle(tr("Get Suggestions"));
    const QLocale locale;
    lblPrompt = new QLabel(tr("%1 of the %2 selected phrases have suggestions already.")
                               .arg(locale.toString(harvested), locale.toString(selected)),
                           this);
    lblPrompt->setObjectName(QStringLiteral("lblPrompt"));
    chkSkipHarvested = new QCheckBox(tr("&Skip the phrases already harvested"), this);
    chkSkipHarvested->setObjectName(QStringLiteral("chkSkipHarvested"));
    chkSkipHarvested->setChecked(true);
    btnOk = new QPushButton(tr("Ok"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);
    btnCancel = new QPushButton(tr("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblPrompt);
    layout->addWidget(chkSkipHarvested);
    layout->addLayout(buttons);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

bool TfrmHarvestChoice::skipHarvested() const
{
    return chkSkipHarvested->isChecked();
}
