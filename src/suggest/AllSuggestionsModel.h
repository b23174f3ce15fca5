#pragma once

#include "suggest/AllSuggestions.h"
#include "util/RowListModel.h"

// The "All suggestions" list: every suggestion of the Suggest table once (see
// CollectAllSuggestions), with its phrase, level, place and service.
class AllSuggestionsModel final : public RowListModel {
    Q_OBJECT

public:
    enum Column { SuggestionColumn, PhraseColumn, LevelColumn, PositionColumn, ServiceColumn, ColumnCount };

    explicit AllSuggestionsModel(QObject* parent = nullptr);

    QStringView cellText(qsizetype row, int column) const override;
    // Level and place compare as numbers, the rest as text.
    SortKind columnSortKind(int column) const override;
    RowFinder rowFinder(const QString& needle) const override;

    const AllSuggestionRows& rows() const { return m_rows; }
    void setRows(AllSuggestionRows rows);

private:
    qsizetype storedRowCount() const override { return m_rows.size(); }
    QString columnCaption(int column) const override;
    std::unique_ptr<SortableRows> shareRows() const override;
    void takeSortedRows(SortableRows& sorted, const QList<qsizetype>& newRowOf) override;

    AllSuggestionRows m_rows;
};
