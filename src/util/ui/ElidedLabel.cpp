#include "util/ui/ElidedLabel.h"

#include <QHelpEvent>
#include <QMovie>
#include <QPainter>
#include <QStyle>
#include <QToolTip>

#include <algorithm>

namespace {

const QString Ellipsis = QStringLiteral("…");

} // namespace

ElidedLabel::ElidedLabel(QWidget* parent)
    : ElidedLabel(QString(), parent)
{
}

ElidedLabel::ElidedLabel(const QString& text, QWidget* parent)
    : QLabel(text, parent)
{
    // Status texts carry what users and servers typed: never read as markup.
    setTextFormat(Qt::PlainText);
}

bool ElidedLabel::showsText() const
{
    return pixmap().isNull() && !movie() && !text().isEmpty();
}

QRect ElidedLabel::textArea() const
{
    QRect area = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    int indent = this->indent();
    // As QLabel does: a framed label keeps half an "x" between its frame and its text.
    if (indent < 0 && frameWidth() > 0)
        indent = fontMetrics().horizontalAdvance(u'x') / 2 - margin();
    if (indent > 0) {
        const Qt::Alignment align = QStyle::visualAlignment(layoutDirection(), alignment());
        if (align & Qt::AlignLeft)
            area.setLeft(area.left() + indent);
        if (align & Qt::AlignRight)
            area.setRight(area.right() - indent);
    }
    return area;
}

bool ElidedLabel::isElided() const
{
    return showsText() && fontMetrics().horizontalAdvance(text()) > textArea().width();
}

QSize ElidedLabel::minimumSizeHint() const
{
    QSize hint = QLabel::minimumSizeHint();
    if (!showsText())
        return hint;
    const int chrome = hint.width() - fontMetrics().horizontalAdvance(text());
    hint.setWidth(std::min(hint.width(), chrome + fontMetrics().horizontalAdvance(Ellipsis)));
    return hint;
}

bool ElidedLabel::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip && isElided()) {
        const QString tip = toolTip().isEmpty() ? text() : text() + u'\n' + toolTip();
        QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), tip, this);
        return true;
    }
    return QLabel::event(event);
}

void ElidedLabel::paintEvent(QPaintEvent* event)
{
    if (!isElided()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    drawFrame(&painter);
    const QRect area = textArea();
    const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, area.width());
    style()->drawItemText(&painter, area, int(QStyle::visualAlignment(layoutDirection(), alignment())),
                          palette(), isEnabled(), shown, foregroundRole());
}
