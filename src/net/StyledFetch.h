#pragma once

#include "net/PageFetch.h"

class HttpClient;
struct HttpResult;

// The two ways of asking for a page (see FetchStyle), as the window and the command line ask.

// Sets the request headers of `client` for `style`: the classic services' old request, or a
// browser's headers in the user's language (`language`, `country`: "en", "US").
void UseRequestStyle(HttpClient& client, FetchStyle style, const QString& language, const QString& country);

// What an exchange gave, as a page fetch: the page (its text for the classic style, its bytes for
// both), or why there is none. A service that turns us away (too many requests, a captcha page) has
// not answered, even with a success status; `stopped`: the user's Stop cut the exchange off.
PageFetch PageFetchOf(const HttpResult& result, FetchStyle style, bool stopped);
