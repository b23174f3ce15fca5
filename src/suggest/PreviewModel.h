#pragma once

#include "suggest/SuggestRecord.h"
#include "util/RowListModel.h"

// The preview list: empty, or the ten pairs of one Suggest row, one per line. The pairs are copied
// when a row is shown, so later changes of that row do not reach the preview.
class PreviewModel final : public RowListModel {
    Q_OBJECT

public:
    enum Column { SuggestionColumn, ResultsColumn, ColumnCount };

    explicit PreviewModel(QObject* parent = nullptr);

    QStringView cellText(qsizetype row, int column) const override;
    // Suggestions: text; results: number.
    SortKind columnSortKind(int column) const override;

    // The figure column's title and tooltip follow what the service's figures hold.
    void setFigures(SuggestFigures figures);
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Shows the ten pairs of `record`, empty cells included.
    void showRecord(const SuggestRecord& record);
    void clear();

private:
    qsizetype storedRowCount() const override { return m_rows.size(); }
    QString columnCaption(int column) const override;
    std::unique_ptr<SortableRows> shareRows() const override;
    void takeSortedRows(SortableRows& sorted, const QList<qsizetype>& newRowOf) override;

    using Rows = QList<std::array<QString, ColumnCount>>;
    Rows m_rows;
    SuggestFigures m_figures = SuggestFigures::Results;
};
