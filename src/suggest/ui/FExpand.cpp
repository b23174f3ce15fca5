#include "suggest/ui/FExpand.h"

#include "suggest/PhraseDigging.h"

#include "util/ui/Controls.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
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
    chkAlphabetBefore =
        new QCheckBox(tr("Letters and digits &before it (a phrase … z phrase, 0 phrase … 9 phrase)"), this);
    chkAlphabetBefore->setObjectName(QStringLiteral("chkAlphabetBefore"));
    chkQuestions = new QCheckBox(tr("&Questions before it (%1)").arg(sample(QuestionWords(language))), this);
    chkQuestions->setObjectName(QStringLiteral("chkQuestions"));
    chkPrepositions =
        new QCheckBox(tr("&Prepositions after it (%1)").arg(sample(Prepositions(language))), this);
    chkPrepositions->setObjectName(QStringLiteral("chkPrepositions"));

    spnDepth = new QSpinBox(this);
    spnDepth->setObjectName(QStringLiteral("spnDepth"));
    spnDepth->setRange(0, 3);
    spnDepth->setSpecialValueText(tr("0: add the phrases only"));
    spnDepth->setToolTip(
        tr("0: the new phrases are added, nothing is asked. 1: the selected phrases and "
           "the new ones are harvested (with the pauses of a harvest; Stop ends it). 2 or 3: "
           "their suggestions are then added as phrases and harvested too, once or twice"));
    spnLimit = new QSpinBox(this);
    spnLimit->setObjectName(QStringLiteral("spnLimit"));
    spnLimit->setRange(1, 100000);
    spnLimit->setValue(DefaultLimit);
    spnLimit->setToolTip(tr("The most new phrases this run adds, whatever the depth"));
    edtExcluded = new QLineEdit(this);
    edtExcluded->setObjectName(QStringLiteral("edtExcluded"));
    edtExcluded->setPlaceholderText(tr("words separated by commas"));
    edtExcluded->setToolTip(tr("Suggestions holding one of these words are not added as phrases. Kept for "
                               "this data folder"));
    auto* form = new QFormLayout;
    form->addRow(tr("&Depth:"), spnDepth);
    form->addRow(tr("At &most, new phrases:"), spnLimit);
    form->addRow(tr("Leave out &suggestions with:"), edtExcluded);

    auto* buttons = MakeOkCancelRow(this, tr("Ok"), tr("Cancel"), btnOk, btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblPrompt);
    for (QCheckBox* box : {chkAlphabet, chkAlphabetBefore, chkQuestions, chkPrepositions}) {
        layout->addWidget(box);
        connect(box, &QCheckBox::toggled, this, &TfrmExpand::updateOk);
    }
    layout->addLayout(form);
    layout->addLayout(buttons);

    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    updateOk();
}

Expansions TfrmExpand::chosen() const
{
    Expansions sets;
    sets.setFlag(Expansion::Alphabet, chkAlphabet->isChecked());
    sets.setFlag(Expansion::AlphabetBefore, chkAlphabetBefore->isChecked());
    sets.setFlag(Expansion::Questions, chkQuestions->isChecked());
    sets.setFlag(Expansion::Prepositions, chkPrepositions->isChecked());
    return sets;
}

int TfrmExpand::depth() const
{
    return spnDepth->value();
}

int TfrmExpand::limit() const
{
    return spnLimit->value();
}

QStringList TfrmExpand::excludedWords() const
{
    return ExcludedWordsOf(edtExcluded->text());
}

void TfrmExpand::setExcludedWords(const QStringList& words)
{
    edtExcluded->setText(words.join(QStringLiteral(", ")));
}

void TfrmExpand::updateOk()
{
    btnOk->setEnabled(chosen() != Expansions());
}
