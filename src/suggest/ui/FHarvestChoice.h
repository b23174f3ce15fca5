#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QPushButton;

// Asked before a harvest whose selection holds phrases harvested already: whether to pass them
// over (the default) or to ask for them again.
class TfrmHarvestChoice final : public QDialog {
    Q_OBJECT

public:
    TfrmHarvestChoice(qsizetype selected, qsizetype harvested, QWidget* parent = nullptr);

    bool skipHarvested() const;

    QLabel* lblPrompt = nullptr;
    QCheckBox* chkSkipHarvested = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;
};
