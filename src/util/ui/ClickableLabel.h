#pragma once

#include "util/ui/ElidedLabel.h"

// A label that reports a left click: the banner pictures and the link labels.
class ClickableLabel : public ElidedLabel {
    Q_OBJECT

public:
    using ElidedLabel::ElidedLabel;

    QString url() const { return m_url; }
    void setUrl(const QString& url) { m_url = url; }

Q_SIGNALS:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QString m_url;
};
