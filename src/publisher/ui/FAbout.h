#pragma once

#include "branding/BrandingSettings.h"

#include <QDialog>

class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;

// The about box: the branded product name, the version, the copyright and the reseller's text.
class TfrmAbout final : public QDialog {
    Q_OBJECT

public:
    explicit TfrmAbout(const BrandingSettings& branding, QWidget* parent = nullptr);

    QLabel* lblProductName = nullptr;
    QLabel* lblProductVersion = nullptr;
    QLabel* lblCopyright1 = nullptr;
    QFrame* panAbout = nullptr;
    QPlainTextEdit* memAbout = nullptr;
    QPushButton* editAbout = nullptr;

    void FormCreate(const BrandingSettings& branding);
    void editAboutClick();

protected:
    void showEvent(QShowEvent* event) override;
};

// "Copyright © " followed by the years and the company, each left out when empty; an empty text
// when both are.
QString CopyrightLine(const QString& years, const QString& company);
