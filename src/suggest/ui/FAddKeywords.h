#pragma once

#include <QDialog>
#include <QStringList>

#include <functional>

class MessageBoxes;
class QLabel;
class QPlainTextEdit;
class QPushButton;

// The "Add New Keyword(s)" dialog: phrases typed one per line.
class TfrmAddKeywords final : public QDialog {
    Q_OBJECT

public:
    explicit TfrmAddKeywords(MessageBoxes& messages, QWidget* parent = nullptr);

    // The lines of the text box as typed (a line break at the very end starts no further line), or
    // the phrases of the file chosen by "From file…".
    QStringList lines() const;
    // The file the phrases came from (empty when they were typed).
    QString fileName() const { return m_fileName; }
    // Asks which file to read; the system's open dialog unless replaced. Empty: none.
    std::function<QString(QWidget& parent)> askFileName;

    QLabel* lblPrompt = nullptr;
    QPlainTextEdit* memAddKeyword = nullptr;
    QPushButton* btnFromFile = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;

    // Reads the phrases of a text file, one a line, blank lines passed over, and takes them.
    void btnFromFileClick();
    void btnOkClick();
    void btnCancelClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    MessageBoxes& m_messages;
    QString m_fileName;
    QStringList m_fileLines;
};
