#include "suggest/ui/FExpand.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// The first words of a list and an ellipsis, as a hint of what a modifier adds.
QString sample(const QStringList& words)
{
    constexpr qsizetype Shown = 4;
    return words.mid(0, Shown).join(QStringLiteral(", ")) +
           (words.size() > Shown ? QStringLiteral(", …") : QString());
}

} // namespace

TfrmExpand::TfrmExpand(qsizetype seedCount, const QString& language, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmExpand"));
    setWindowTitle(tr("Expand Phrases"));

    lblPrompt = new QLabel(
        tr("Add new phrases made of the %n selected phrase(s) and:", nullptr, int(seedCount)), this);
    lblPrompt->setObjectName(QStringLiteral("lblPrompt"));
    chkAlphabet = new QCheckBox(tr("&Letters and digits (phrase a … phrase z, phrase 0 … phrase 9)"), this);
    chkAlphabet->setObjectName(QStringLiteral("chkAlphabet"));
    chkAlphabet->setChecked(true);
    chkQuestions = new QCheckBox(tr("&Questions before it (%1)").arg(sample(QuestionWords(language))), this);
    chkQuestions->setObjectName(QStringLiteral("chkQuestions"));
    chkPrepositions =
        new QCheckBox(tr("&Prepositions after it (%1)").arg(sample(Prepositions(language))), this);
    chkPrepositions->setObjectName(QStringLiteral("chkPrepositions"));

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
    for (QCheckBox* box : {chkAlphabet, chkQuestions, chkPrepositions}) {
        layout->addWidget(box);
        connect(box, &QCheckBox::toggled, this, &TfrmExpand::updateOk);
    }
    layout->addLayout(buttons);

    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    updateOk();
}

Expansions TfrmExpand::chosen() const
{
    Expansions sets;
    sets.setFlag(Expansion::Alphabet, chkAlphabet->isChecked());
    sets.setFlag(Expansion::Questions, chkQuestions->isChecked());
    sets.setFlag(Expansion::Prepositions, chkPrepositions->isChecked());
    return sets;
}

void TfrmExpand::updateOk()
{
    btnOk->setEnabled(chosen() != Expansions());
}
