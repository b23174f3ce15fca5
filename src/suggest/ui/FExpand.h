#pragma once

#include "suggest/PhraseExpansion.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QPushButton;
class QSpinBox;

// The "Expand" dialog: which modifiers grow the selected phrases into new ones, the words shown in
// the Suggest language they will be taken in.
class TfrmExpand final : public QDialog {
    Q_OBJECT

public:
    TfrmExpand(qsizetype seedCount, const QString& language, QWidget* parent = nullptr);

    Expansions chosen() const;
    // 1: the expansion alone; 2 and 3: then, once or twice, the new phrases are harvested and their
    // suggestions added as phrases in turn.
    int depth() const;
    // The most phrases the whole run may add.
    int limit() const;

    static constexpr int DefaultLimit = 1000;

    QLabel* lblPrompt = nullptr;
    QCheckBox* chkAlphabet = nullptr;
    QCheckBox* chkQuestions = nullptr;
    QCheckBox* chkPrepositions = nullptr;
    QSpinBox* spnDepth = nullptr;
    QSpinBox* spnLimit = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;

private:
    // "Ok" only with at least one modifier ticked.
    void updateOk();
};
