#pragma once

#include <QDateTime>

namespace platform {

class Clock {
  public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    int secondsSinceMidnight() const { return now().time().msecsSinceStartOfDay() / 1000; }
};

class RandomSource {
  public:
    virtual ~RandomSource() = default;
    virtual void seed(quint32 value) = 0;
    // A fraction in [0, 1).
    virtual double fraction() = 0;
};

class SystemClock final : public Clock {
  public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

} // namespace platform
