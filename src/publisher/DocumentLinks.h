#pragma once

#include <QUrl>

// Whether a link followed in a page from the branding file or the news server (the welcome page, a
// news body, the link labels) may be opened: web and mail addresses only, so that nothing there can
// start a program or open a local file.
bool IsSafeDocumentLink(const QUrl& url);
