#pragma once

#include "publisher/BalloonPlacement.h"

#include <QPainterPath>
#include <QWidget>

// The announcement balloon: a shaped, shadowed window over all others that points at a spot on the
// screen and never takes the focus. It captures the mouse, so that it stays until the next mouse
// press or wheel turn anywhere on the screen, in the program or not, or until the program loses the
// activation; the click that removes it goes no further. There is only ever one.
class NewsBalloon final : public QWidget {
    Q_OBJECT

public:
    // Shows `text` (CR LF breaks its lines) pointing at `anchorOnScreen`, replacing a balloon that is
    // still up. The balloon belongs to `owner`'s window and goes with it.
    static void showAt(const QPoint& anchorOnScreen, const QString& text, QWidget* owner);
    // The balloon on screen, or null.
    static NewsBalloon* current();

    QString text() const { return m_text; }
    BalloonSide side() const { return m_side; }
    // Where the text is drawn, in the balloon's coordinates.
    QRect textRect() const { return m_textRect; }
    // The size its text needs in the font it is drawn with, pointer and shadow included.
    QSize sizeHint() const override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    NewsBalloon(const QString& text, QWidget* owner);
    // The text's bounds when drawn within the widest line the balloon allows.
    QRect measureText() const;
    void placeAt(const QPoint& anchor);
    QPainterPath shapePath() const;
    // Hides the balloon and lets the mouse go. After a press, the release of that click is held back
    // too before the balloon goes for good.
    void dismiss(bool holdRelease);
    void finish();

    QString m_text;
    QRect m_textRect; // inside the body, in the balloon's coordinates
    BalloonSide m_side = BalloonSide::BelowLeft;
    bool m_holdingRelease = false;
};
