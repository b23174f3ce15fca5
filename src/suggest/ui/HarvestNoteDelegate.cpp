#include "suggest/ui/HarvestNoteDelegate.h"

#include "suggest/SuggestTableModel.h"

void HarvestNoteDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const
{
    CutTextDelegate::initStyleOption(option, index);
    using Note = SuggestTableModel::HarvestNote;
    const QVariant note = index.data(SuggestTableModel::HarvestNoteRole);
    if (!note.isValid())
        return;
    switch (Note(note.toInt())) {
    // Rows at work are usually selected: the font tells what the selection colour would hide.
    case Note::Fetching:
        option->backgroundBrush = QColor(255, 243, 196);
        option->font.setBold(true);
        break;
    case Note::Stopped:
    case Note::Failed:
        option->palette.setColor(QPalette::Text, QColor(128, 128, 128));
        option->palette.setColor(QPalette::HighlightedText, QColor(215, 222, 232));
        option->font.setItalic(true);
        break;
    case Note::None:
    case Note::Filled:
    case Note::NoSuggestions:
        break;
    }
}
