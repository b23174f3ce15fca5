#pragma once

#include <QDateTime>

// The time of day as the program reads it; tests set it by hand.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0; // local time
};

// The system's clock.
class SystemClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};
