#pragma once

#include "util/ui/ReportList.h"

// Marks the rows of the Suggest list by what the harvest made of them: the row being fetched is
// highlighted and bold, one whose fetch was stopped or failed is grey and italic. Cut texts show as tooltips,
// as in the other lists.
class HarvestNoteDelegate final : public CutTextDelegate {
    Q_OBJECT

public:
    using CutTextDelegate::CutTextDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};
