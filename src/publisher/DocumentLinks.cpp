#include "publisher/DocumentLinks.h"

#include <QStringList>

bool IsSafeDocumentLink(const QUrl& url)
{
    static const QStringList safeSchemes{QStringLiteral("http"), QStringLiteral("https"),
                                         QStringLiteral("mailto")};
    return safeSchemes.contains(url.scheme().toLower());
}
