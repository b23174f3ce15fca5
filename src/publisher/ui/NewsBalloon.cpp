#include "publisher/ui/NewsBalloon.h"

#include "util/TextFile.h"

#include <QApplication>
#include <QApplicationStateChangeEvent>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QToolTip>

namespace {

constexpr int Padding = 8;
constexpr int CornerRadius = 6;
constexpr int StemHalfBase = 8;
constexpr int MaxTextWidth = 360;

QPointer<NewsBalloon>& currentBalloon()
{
    static QPointer<NewsBalloon> balloon;
    return balloon;
}

constexpr int TextFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;

// Input that removes the balloon and is then eaten.
bool isDismissingInput(const QEvent& event)
{
    switch (event.type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::Wheel:
        return true;
    default:
        return false;
    }
}

bool isMousePress(const QEvent& event)
{
    return event.type() == QEvent::MouseButtonPress || event.type() == QEvent::MouseButtonDblClick ||
           event.type() == QEvent::NonClientAreaMouseButtonPress;
}

bool isDeactivation(const QEvent& event)
{
    switch (event.type()) {
    case QEvent::ApplicationDeactivate:
        return true;
    case QEvent::ApplicationStateChange:
        return static_cast<const QApplicationStateChangeEvent&>(event).applicationState() !=
               Qt::ApplicationActive;
    default:
        return false;
    }
}

} // namespace

void NewsBalloon::showAt(const QPoint& anchorOnScreen, const QString& text, QWidget* owner)
{
    if (NewsBalloon* old = current())
        old->dismiss(false);
    auto* balloon = new NewsBalloon(text, owner);
    currentBalloon() = balloon;
    balloon->placeAt(anchorOnScreen);
    balloon->show();
    // With the mouse captured, a click in another program reaches the balloon too, even when this
    // program was not the active one and so would never hear that it lost the activation.
    balloon->grabMouse();
    qApp->installEventFilter(balloon);
}

NewsBalloon* NewsBalloon::current()
{
    return currentBalloon().data();
}

NewsBalloon::NewsBalloon(const QString& text, QWidget* owner)
    : QWidget(owner ? owner->window() : nullptr,
              Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
    , m_text(SplitLines(text).join(u'\n'))
{
    setObjectName(QStringLiteral("NewsBalloon"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_X11DoNotAcceptFocus);
    setFocusPolicy(Qt::NoFocus);
    setFont(QToolTip::font());
    setPalette(QToolTip::palette());
}

QRect NewsBalloon::measureText() const
{
    return fontMetrics().boundingRect(QRect(0, 0, MaxTextWidth, 1 << 20), TextFlags, m_text);
}

QSize NewsBalloon::sizeHint() const
{
    const QRect textBounds = measureText();
    // The pointer needs room on the body's edge whichever side it stands.
    const int bodyWidth = std::max(textBounds.width() + 2 * Padding, 2 * (BalloonStemInset + StemHalfBase));
    const int bodyHeight = textBounds.height() + 2 * Padding;
    return {bodyWidth + BalloonShadowDepth, bodyHeight + BalloonStemHeight + BalloonShadowDepth};
}

void NewsBalloon::placeAt(const QPoint& anchor)
{
    // The skin may set the font when the balloon is polished: it is measured in the font it is
    // drawn with.
    ensurePolished();
    const QRect textBounds = measureText();
    const QSize size = sizeHint();

    const QScreen* screen = QGuiApplication::screenAt(anchor);
    if (!screen)
        screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
    const BalloonPlacement placement =
        PlaceBalloon(anchor, size, screen ? screen->availableGeometry() : QRect(QPoint(), size));
    m_side = placement.Side;
    const int textTop = (BalloonOpensBelow(m_side) ? BalloonStemHeight : 0) + Padding;
    m_textRect = QRect(Padding, textTop, textBounds.width(), textBounds.height());
    setGeometry(placement.Frame);

    const QPolygon outline = shapePath().toFillPolygon().toPolygon();
    setMask(QRegion(outline).united(QRegion(outline.translated(BalloonShadowDepth, BalloonShadowDepth))));
}

QPainterPath NewsBalloon::shapePath() const
{
    const QSize shapeSize = size() - QSize(BalloonShadowDepth, BalloonShadowDepth);
    const bool below = BalloonOpensBelow(m_side);
    const QRect body(0, below ? BalloonStemHeight : 0, shapeSize.width(),
                     shapeSize.height() - BalloonStemHeight);
    const QPoint tip = BalloonTip(m_side, size());
    const int edge = below ? body.top() : body.bottom() + 1;

    QPainterPath bodyPath;
    bodyPath.addRoundedRect(body, CornerRadius, CornerRadius);
    QPainterPath stem;
    stem.addPolygon(QPolygonF(
        {QPointF(tip), QPointF(tip.x() - StemHalfBase, edge), QPointF(tip.x() + StemHalfBase, edge)}));
    return bodyPath.united(stem);
}

void NewsBalloon::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QPainterPath shape = shapePath();
    painter.fillPath(shape.translated(BalloonShadowDepth, BalloonShadowDepth),
                     palette().color(QPalette::Shadow));
    painter.fillPath(shape, palette().color(QPalette::ToolTipBase));
    painter.setPen(palette().color(QPalette::ToolTipText));
    painter.drawPath(shape);
    painter.drawText(m_textRect, TextFlags, m_text);
}

bool NewsBalloon::eventFilter(QObject* watched, QEvent* event)
{
    if (m_holdingRelease) {
        // The release of the click that removed the balloon goes no further; a new press goes on.
        if (event->type() == QEvent::MouseButtonRelease) {
            finish();
            return true;
        }
        if (isMousePress(*event) || isDeactivation(*event))
            finish();
        return QWidget::eventFilter(watched, event);
    }
    if (isDismissingInput(*event)) {
        dismiss(isMousePress(*event));
        return true;
    }
    if (isDeactivation(*event))
        dismiss(false);
    return QWidget::eventFilter(watched, event);
}

void NewsBalloon::dismiss(bool holdRelease)
{
    if (mouseGrabber() == this)
        releaseMouse();
    hide();
    if (currentBalloon() == this)
        currentBalloon() = nullptr;
    m_holdingRelease = holdRelease;
    if (!holdRelease)
        finish();
}

void NewsBalloon::finish()
{
    m_holdingRelease = false;
    qApp->removeEventFilter(this);
    // Later: this may run inside the event filter, on the way to another object.
    deleteLater();
}
