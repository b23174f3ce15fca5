#pragma once

#include "suggest/PhraseExpansion.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QPushButton;

// The "Expand" dialog: which modifiers grow the selected phrases into new ones, the words shown in
// the Suggest language they will be taken in.
class TfrmExpand final : public QDialog {
    Q_OBJECT

public:
    TfrmExpand(qsizetype seedCount, const QString& language, QWidget* parent = nullptr);

    Expansions chosen() const;

    QLabel* lblPrompt = nullptr;
    QCheckBox* chkAlphabet = nullptr;
    QCheckBox* chkQuestions = nullptr;
    QCheckBox* chkPrepositions = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;

private:
    // "Ok" only with at least one modifier ticked.
    void updateOk();
};
