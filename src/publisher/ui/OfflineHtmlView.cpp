#include "publisher/ui/OfflineHtmlView.h"

OfflineHtmlView::OfflineHtmlView(QWidget* parent)
    : QTextBrowser(parent)
{
    setReadOnly(true);
    setOpenLinks(false);
    setOpenExternalLinks(false);
}

QVariant OfflineHtmlView::loadResource(int type, const QUrl& name)
{
    if (name.scheme() == QLatin1String("data"))
        return QTextBrowser::loadResource(type, name);
    return {};
}
