#include "publisher/ui/FAbout.h"

#include "util/TextFile.h"
#include "util/ui/WindowHelpers.h"

#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

TfrmAbout::TfrmAbout(const BrandingSettings& branding, QWidget* parent)
    : QDialog(parent, FixedDialogFrame)
{
    setObjectName(QStringLiteral("frmAbout"));
    setFixedSize(368, 211);

    lblProductName = Named(new QLabel(this), "lblProductName");
    QFont bold = lblProductName->font();
    bold.setBold(true);
    lblProductName->setFont(bold);
    lblProductName->setGeometry(9, 7, 350, 20);
    lblProductVersion = Named(new QLabel(this), "lblProductVersion");
    lblProductVersion->setGeometry(9, 32, 350, 20);
    lblCopyright1 = Named(new QLabel(this), "lblCopyright1");
    lblCopyright1->setGeometry(9, 57, 350, 20);
    // Branding values are shown as written, never read as markup.
    for (QLabel* label : {lblProductName, lblProductVersion, lblCopyright1})
        label->setTextFormat(Qt::PlainText);

    panAbout = Named(new QFrame(this), "panAbout");
    panAbout->setFrameShape(QFrame::NoFrame);
    panAbout->setGeometry(8, 88, 348, 71);
    memAbout = Named(new QPlainTextEdit(panAbout), "memAbout");
    memAbout->setReadOnly(true);
    memAbout->setFrameShape(QFrame::NoFrame);
    // A skin's border for text boxes would frame it all the same: its own rule comes first.
    memAbout->setStyleSheet(QStringLiteral("#memAbout { border: none; }"));
    memAbout->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    QFont memoFont(QStringLiteral("Arial"));
    memoFont.setPixelSize(14);
    memAbout->setFont(memoFont);
    QPalette memoPalette = memAbout->palette();
    memoPalette.setColor(QPalette::Text, Qt::black);
    memAbout->setPalette(memoPalette);
    auto* memoLayout = new QVBoxLayout(panAbout);
    memoLayout->setContentsMargins(0, 0, 0, 0);
    memoLayout->addWidget(memAbout);

    editAbout = Named(new QPushButton(QStringLiteral("Ok"), this), "editAbout");
    editAbout->setGeometry(129, 171, 87, 21);
    editAbout->setDefault(true);
    connect(editAbout, &QPushButton::clicked, this, &TfrmAbout::editAboutClick);

    FormCreate(branding);
}

void TfrmAbout::FormCreate(const BrandingSettings& branding)
{
    setWindowTitle(QStringLiteral("About ") + branding.ApplicationName + QStringLiteral("..."));
    lblProductName->setText(branding.ApplicationName);
    lblProductVersion->setText(QStringLiteral("Product Version: ") + AppVersion);
    lblCopyright1->setText(CopyrightLine(branding.CopyrightYears, branding.CopyrightCompany));
    memAbout->setPlainText(SplitLines(branding.AboutText).join(u'\n'));
}

void TfrmAbout::editAboutClick()
{
    accept();
}

void TfrmAbout::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        CentreOnScreen(*this);
}

QString CopyrightLine(const QString& years, const QString& company)
{
    QStringList parts;
    for (const QString& part : {years.trimmed(), company.trimmed()}) {
        if (!part.isEmpty())
            parts.append(part);
    }
    return parts.isEmpty() ? QString() : QStringLiteral("Copyright \u00A9 ") + parts.join(u' ');
}
