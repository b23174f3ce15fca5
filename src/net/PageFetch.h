#pragma once

#include <QByteArray>
#include <QCoroTask>
#include <QString>

#include <functional>
#include <optional>

// Why a page fetch gave nothing when the user's Stop, or the close, cut it off or refused it.
inline const QString PageFetchStopped = QStringLiteral("Stopped");

// How a page is asked for: as the classic services were (their old request, the answer as text with
// CR LF line ends), or as today's services expect (a browser's headers in the user's language, the
// answer's bytes as they came).
enum class FetchStyle { Classic, Modern };

// What fetching one page gave: its text (classic) or its bytes (modern), or why there is none.
struct PageFetch {
    std::optional<QString> page;
    QByteArray body;
    QByteArray contentType;
    // PageFetchStopped, or the exchange's reason; empty with a page.
    QString failure;
    // The status of the last response (0 when none arrived), and whether the service refused to
    // answer (asked too fast, a captcha): then the page is to be asked again later, not taken as
    // empty.
    int statusCode = 0;
    bool refused = false;

    bool stopped() const { return failure == PageFetchStopped; }
};

// The program's way of fetching a page: the window's downloader, with its status texts and gauge,
// or whatever a test or a tool puts in its place.
using PageFetcher = std::function<QCoro::Task<PageFetch>(QString url, FetchStyle style)>;
