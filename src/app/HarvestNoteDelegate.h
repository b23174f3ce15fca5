#pragma once

#include <QStyledItemDelegate>

// Marks the rows of the Suggest list by what the harvest made of them: the row being fetched is
// highlighted, one whose fetch was stopped or failed is greyed.
class HarvestNoteDelegate final : public QStyledItemDelegate {
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};
