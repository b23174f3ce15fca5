#include "suggest/ui/FAddKeywords.h"

#include "util/MessageBoxes.h"
#include "util/RowFile.h"
#include "util/TextFile.h"
#include "util/ui/WindowHelpers.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QShowEvent>
#include <QTextDocument>
#include <QVBoxLayout>

TfrmAddKeywords::TfrmAddKeywords(MessageBoxes& messages, QWidget* parent)
    : QDialog(parent, FixedDialogFrame)
    , m_messages(messages)
{
    setObjectName(QStringLiteral("frmAddKeywords"));
    setWindowTitle(QStringLiteral("Add New Keyword(s)"));
    setFixedSize(362, 191);

    lblPrompt = new QLabel(QStringLiteral("Please type keyword(s) one per line:"), this);
    memAddKeyword = new QPlainTextEdit(this);
    memAddKeyword->setObjectName(QStringLiteral("memAddKeyword"));
    memAddKeyword->setFixedSize(345, 105);
    memAddKeyword->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memAddKeyword->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // Tab moves on to the buttons: a tab typed into a phrase would only become a space.
    memAddKeyword->setTabChangesFocus(true);
    btnOk = new QPushButton(QStringLiteral("Ok"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    // After Ok and Cancel, in the order of Tab too.
    btnFromFile = new QPushButton(tr("From &file…"), this);
    btnFromFile->setObjectName(QStringLiteral("btnFromFile"));
    btnFromFile->setToolTip(tr("Adds the phrases of a text file, one a line"));
    for (QPushButton* button : {btnFromFile, btnOk, btnCancel}) {
        button->setFixedSize(82, 23);
        button->setAutoDefault(false);
    }

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    buttons->addWidget(btnFromFile);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(lblPrompt);
    layout->addWidget(memAddKeyword, 0, Qt::AlignHCenter);
    layout->addLayout(buttons);

    askFileName = [](QWidget& parent) {
        return QFileDialog::getOpenFileName(&parent, tr("Add Keywords From a File"), QString(),
                                            tr("Text files (*.txt *.csv);;All files (*)"));
    };
    connect(btnFromFile, &QPushButton::clicked, this, &TfrmAddKeywords::btnFromFileClick);
    connect(btnOk, &QPushButton::clicked, this, &TfrmAddKeywords::btnOkClick);
    connect(btnCancel, &QPushButton::clicked, this, &TfrmAddKeywords::btnCancelClick);
    // Return starts a new line in the text box, so Ctrl+Return is the key for "Ok"; Escape
    // cancels as in every dialog.
    for (const QKeyCombination key : {Qt::CTRL | Qt::Key_Return, Qt::CTRL | Qt::Key_Enter}) {
        auto* shortcut = new QShortcut(QKeySequence(key), this);
        connect(shortcut, &QShortcut::activated, btnOk, &QPushButton::click);
    }
}

QStringList TfrmAddKeywords::lines() const
{
    if (!m_fileName.isEmpty())
        return m_fileLines;
    // The raw text keeps what was typed (a non-breaking space stays one); only the breaks between
    // lines, which the text box keeps as separators of its own, become line breaks.
    QString text = memAddKeyword->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, u'\n');
    text.replace(QChar::LineSeparator, u'\n');
    return SplitLines(text);
}

void TfrmAddKeywords::btnOkClick()
{
    // Spaces or line breaks alone still count as text: each line is a phrase, even an empty one.
    if (memAddKeyword->toPlainText().isEmpty()) {
        m_messages.show(QStringLiteral("Please add at least one keyword."), MsgKind::Information,
                        MsgButtons::Ok);
        memAddKeyword->setFocus();
        return;
    }
    accept();
}

void TfrmAddKeywords::btnFromFileClick()
{
    const QString name = askFileName ? askFileName(*this) : QString();
    if (name.isEmpty())
        return;
    QFile file(name);
    QStringList phrases;
    // Each line by the rule of the program's text files: UTF-8 when it is valid UTF-8, else
    // Windows-1252, so a file saved by any editor reads, and a damaged line damages no other.
    bool first = true;
    const bool read = file.open(QIODevice::ReadOnly) && ForEachRowLine(file, [&](QByteArrayView line) {
                          // A byte-order mark begins the file, not its first phrase.
                          if (std::exchange(first, false) && line.startsWith("\xEF\xBB\xBF"))
                              line = line.sliced(3);
                          QString phrase = DecodeLine(line);
                          if (!phrase.trimmed().isEmpty())
                              phrases << std::move(phrase);
                      });
    if (!read) {
        m_messages.show(
            tr("%1 could not be read: %2").arg(QDir::toNativeSeparators(name), file.errorString()),
            MsgKind::Warning, MsgButtons::Ok);
        return;
    }
    if (phrases.isEmpty()) {
        m_messages.show(
            tr("%1 holds no phrases: each line of the file is one.").arg(QDir::toNativeSeparators(name)),
            MsgKind::Information, MsgButtons::Ok);
        return;
    }
    m_fileName = name;
    m_fileLines = std::move(phrases);
    accept();
}

void TfrmAddKeywords::btnCancelClick()
{
    reject();
}

void TfrmAddKeywords::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Centred on the screen as the other windows are, not where Qt puts a dialog (over its parent).
    if (!event->spontaneous())
        CentreOnScreen(*this);
}
