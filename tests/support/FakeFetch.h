#pragma once

#include "net/PageFetch.h"

#include <QCoroTimer>
#include <QQueue>
#include <QStringList>

#include <chrono>
#include <functional>

// A page fetcher for the core's tests: it records the addresses asked for and answers from a script.
// While `held` is set, a fetch waits on the event loop until it is cleared.
class FakeFetch {
public:
    QStringList urls;
    QList<FetchStyle> styles;
    QQueue<PageFetch> answers; // the next answers; a failure when none is left
    bool held = false;
    // Runs as a fetch starts, with its address.
    std::function<void(const QString& url)> whileFetching;

    PageFetcher fetcher()
    {
        return [this](QString url, FetchStyle style) {
            styles << style;
            return fetch(std::move(url));
        };
    }
    static PageFetch page(const QString& text)
    {
        PageFetch fetched;
        fetched.page = text;
        fetched.body = text.toUtf8();
        return fetched;
    }
    static PageFetch failure(const QString& reason)
    {
        PageFetch fetched;
        fetched.failure = reason;
        return fetched;
    }

private:
    QCoro::Task<PageFetch> fetch(QString url)
    {
        urls << url;
        if (whileFetching)
            whileFetching(url);
        while (held)
            co_await QCoro::sleepFor(std::chrono::milliseconds(5));
        co_return answers.isEmpty() ? failure(QStringLiteral("no answer")) : answers.dequeue();
    }
};
