#pragma once

#include <QTextBrowser>

// A read-only HTML view for pages that come from outside (news bodies): it follows no link itself
// (a click only emits anchorClicked) and loads no resource the page names, local or remote, except
// data embedded in the page itself.
class OfflineHtmlView final : public QTextBrowser {
    Q_OBJECT

public:
    explicit OfflineHtmlView(QWidget* parent = nullptr);

    QVariant loadResource(int type, const QUrl& name) override;
};
