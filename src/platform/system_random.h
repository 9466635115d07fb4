#pragma once

#include "platform/clock.h"

#include <QRandomGenerator>

namespace platform {

class SystemRandom final : public RandomSource {
  public:
    void seed(quint32 value) override { generator_.seed(value); }
    double fraction() override { return generator_.generateDouble(); }

  private:
    QRandomGenerator generator_;
};

} // namespace platform
