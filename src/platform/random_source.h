#pragma once

#include <QRandomGenerator>

namespace platform {

class RandomSource {
  public:
    virtual ~RandomSource() = default;
    virtual void seed(quint32 value) = 0;
    // A fraction in [0, 1).
    virtual double fraction() = 0;
};

class SystemRandom final : public RandomSource {
  public:
    void seed(quint32 value) override { generator_.seed(value); }
    double fraction() override { return generator_.generateDouble(); }

  private:
    QRandomGenerator generator_;
};

} // namespace platform
