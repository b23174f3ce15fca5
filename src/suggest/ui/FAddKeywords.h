#pragma once

#include <QDialog>
#include <QStringList>

class MessageBoxes;
class QLabel;
class QPlainTextEdit;
class QPushButton;

// The "Add New Keyword(s)" dialog: phrases typed one per line.
class TfrmAddKeywords final : public QDialog {
    Q_OBJECT

public:
    explicit TfrmAddKeywords(MessageBoxes& messages, QWidget* parent = nullptr);

    // The lines of the text box as typed (a line break at the very end starts no further line).
    QStringList lines() const;

    QLabel* lblPrompt = nullptr;
    QPlainTextEdit* memAddKeyword = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;

    void btnOkClick();
    void btnCancelClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    MessageBoxes& m_messages;
};
