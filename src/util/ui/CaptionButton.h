#pragma once

#include <QPushButton>

// A push button that asks for its design width, and that a narrow window may shrink down to what
// its caption needs, never further: the caption is never clipped, whatever the font or scale.
class CaptionButton : public QPushButton {
    Q_OBJECT

public:
    CaptionButton(const QString& caption, int designWidth, QWidget* parent);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

private:
    int m_designWidth;
};
