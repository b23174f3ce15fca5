#include "app/AppIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QSvgRenderer>

#include <functional>

namespace {

QIcon drawn(const std::function<void(QPainter&)>& draw)
{
    QIcon icon;
    // Up to four times the size they show at: crisp on screens of 1.5 and 2 device pixels a pixel.
    for (const int size : {16, 24, 32, 48, 64, 96, 128}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(size / 64.0, size / 64.0);
        draw(painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

QPen inkPen(const QColor& ink, qreal width)
{
    return QPen(ink, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

} // namespace

QIcon QuilloryIcon()
{
    // The installed icon itself, drawn at the sizes a window, a tray and a high-density screen ask.
    QSvgRenderer mark(QStringLiteral(":/icons/app.quillory.Quillory.svg"));
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 44, 48, 64, 96, 128, 256}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        mark.render(&painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

QIcon NewsIcon(const QColor& ink)
{
    return drawn([ink](QPainter& p) {
        p.setPen(inkPen(ink, 5));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(6, 14, 52, 36), 5, 5);
        p.drawPolyline(QPolygonF({QPointF(8, 17), QPointF(32, 36), QPointF(56, 17)}));
    });
}

QIcon UpdateIcon(const QColor& ink)
{
    return drawn([ink](QPainter& p) {
        p.setPen(inkPen(ink, 6));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(12, 12, 40, 40), 60 * 16, 280 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        p.drawPolygon(QPolygonF({QPointF(40, 4), QPointF(52, 16), QPointF(36, 20)}));
    });
}

QIcon HelpIcon(const QColor& ink)
{
    return drawn([ink](QPainter& p) {
        p.setPen(inkPen(ink, 5));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(6, 6, 52, 52));
        QPainterPath mark;
        mark.moveTo(24, 25);
        mark.cubicTo(24, 14, 41, 14, 41, 25);
        mark.cubicTo(41, 32, 32, 32, 32, 40);
        p.drawPath(mark);
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        p.drawEllipse(QPointF(32, 48), 3.5, 3.5);
    });
}
