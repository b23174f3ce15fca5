#pragma once

#include <QLabel>

// A one-line plain-text label that never widens its window: a text longer than the room it gets
// ends in "…", and its tooltip then shows the whole text. text() is always the whole text.
// Labels showing a picture behave as plain QLabels.
class ElidedLabel : public QLabel {
    Q_OBJECT

public:
    explicit ElidedLabel(QWidget* parent = nullptr);
    explicit ElidedLabel(const QString& text, QWidget* parent = nullptr);

    // Only part of the text shows.
    bool isElided() const;
    // Room for "…" alone: the layouts may give the label less than its text needs.
    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool showsText() const;
    // Where QLabel puts its text: the contents, less the margin and the indent.
    QRect textArea() const;
};
