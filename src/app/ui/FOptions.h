#pragma once

#include "util/ProgramOptions.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QSpinBox;

// The Options window: where trends and suggestions come from, for which countries and language,
// and the pause between the phrases of a harvest. It edits a copy of the options; the caller
// keeps them when the window is accepted. The service addresses are not edited here: they stay as
// the file has them, and one that cannot be used is told at the top, with its key.
class TfrmOptions final : public QDialog {
    Q_OBJECT

public:
    explicit TfrmOptions(const ProgramOptions& options, QWidget* parent = nullptr);

    // What the controls say now.
    ProgramOptions options() const;

    void btnOkClick();

private:
    void buildUi();
    void showOptions(const ProgramOptions& options);
    void filterCountries(const QString& text);
    void followTrendSource();
    void followTicks(QListWidgetItem* item);
    void showTicked();
    bool eventFilter(QObject* watched, QEvent* event) override;

    // The ticked countries in the order they were ticked (the file's order first).
    QStringList m_ticked;

    ProgramOptions m_base;
    QLabel* lblProblems = nullptr;
    QComboBox* cmbTrendSource = nullptr;
    QComboBox* cmbTheme = nullptr;
    QLineEdit* edtCountryFilter = nullptr;
    QListWidget* lstCountries = nullptr;
    QLabel* lblTicked = nullptr;
    QComboBox* cmbSuggestEngine = nullptr;
    QComboBox* cmbLanguage = nullptr;
    QComboBox* cmbCountry = nullptr;
    QSpinBox* spnPauseMin = nullptr;
    QSpinBox* spnPauseMax = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;
};
