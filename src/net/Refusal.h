#pragma once

#include <QByteArray>
#include <QUrl>

// Whether an answer is the service turning us away rather than answering: too many requests
// (429), a captcha or "unusual traffic" page sent as 403 or 503, or any answer that ended on a
// "/sorry/" page. A refusal calls for a longer pause, not for another try at once.
bool IsRefusal(int statusCode, const QByteArray& body, const QUrl& finalUrl);
