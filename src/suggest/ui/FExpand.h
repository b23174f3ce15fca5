#pragma once

#include "suggest/PhraseExpansion.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

// The "Expand" dialog: which modifiers grow the selected phrases into new ones, the words shown in
// the Suggest language they will be taken in.
class TfrmExpand final : public QDialog {
    Q_OBJECT

public:
    TfrmExpand(qsizetype seedCount, const QString& language, QWidget* parent = nullptr);

    Expansions chosen() const;
    // 0: the expansion is added alone; 1: the selected phrases and their expansion are harvested;
    // 2 and 3: then, once or twice, their suggestions are added as phrases and harvested in turn (the
    // command line's --depth).
    int depth() const;
    // The most phrases the whole run may add.
    int limit() const;
    // Suggestions holding one of these words are not added as phrases (see WithoutExcludedWords).
    QStringList excludedWords() const;
    void setExcludedWords(const QStringList& words);

    static constexpr int DefaultLimit = 1000;

    QLabel* lblPrompt = nullptr;
    QCheckBox* chkAlphabet = nullptr;
    QCheckBox* chkAlphabetBefore = nullptr;
    QCheckBox* chkQuestions = nullptr;
    QCheckBox* chkPrepositions = nullptr;
    QSpinBox* spnDepth = nullptr;
    QSpinBox* spnLimit = nullptr;
    QLineEdit* edtExcluded = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;

private:
    // "Ok" only with at least one modifier ticked.
    void updateOk();
};
