#pragma once

#include <QLabel>

// A label that reports a left click: the banner pictures and the link labels.
class ClickableLabel : public QLabel {
    Q_OBJECT

public:
    using QLabel::QLabel;

    QString url() const { return m_url; }
    void setUrl(const QString& url) { m_url = url; }

Q_SIGNALS:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QString m_url;
};
