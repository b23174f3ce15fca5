#include "util/ui/CaptionButton.h"

#include <QStyle>
#include <QStyleOptionButton>

#include <algorithm>

CaptionButton::CaptionButton(const QString& caption, int designWidth, QWidget* parent)
    : QPushButton(caption, parent)
    , m_designWidth(designWidth)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

QSize CaptionButton::minimumSizeHint() const
{
    // Measured afresh each time: the caption and the font (a skin, a scale) may have changed.
    QStyleOptionButton option;
    initStyleOption(&option);
    const QSize textSize = fontMetrics().size(Qt::TextShowMnemonic, text());
    QSize size = style()->sizeFromContents(QStyle::CT_PushButton, &option, textSize, this);
    // A little air on top: scaled fonts may draw a few pixels wider than they measure.
    size.rwidth() += fontMetrics().averageCharWidth() / 2;
    return size.expandedTo(minimumSize());
}

QSize CaptionButton::sizeHint() const
{
    QSize size = minimumSizeHint();
    size.setWidth(std::max(size.width(), m_designWidth));
    return size;
}
