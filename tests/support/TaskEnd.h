#pragma once

#include <QCoroTask>

#include <exception>

// Runs a task to its end: true when it ended in an exception.
inline bool EndsInAnError(QCoro::Task<> task)
{
    bool failed = false;
    const auto run = [](QCoro::Task<> task, bool& failed) -> QCoro::Task<> {
        try {
            co_await std::move(task);
        } catch (const std::exception&) {
            failed = true;
        }
    };
    QCoro::waitFor(run(std::move(task), failed));
    return failed;
}
