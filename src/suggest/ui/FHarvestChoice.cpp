#include "suggest/ui/FHarvestChoice.h"

#include "util/ui/Controls.h"

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
    auto* buttons = MakeOkCancelRow(this, tr("Ok"), tr("Cancel"), btnOk, btnCancel);
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
