#pragma once

#include <QString>

namespace platform {
class Clock;
class Desktop;
class RandomSource;
} // namespace platform

namespace notice {

inline const QString kHomePageAddress = QStringLiteral("http://www.quorvane.com/");

// On one start in a hundred (when the number drawn from 1 to 100, with the generator seeded
// from the time of day, is 7) opens the maker's home page in
// the desktop's browser. A browser that cannot be started is a failure for the caller.
void HomePageShow(platform::Desktop& desktop, const platform::Clock& clock,
                  platform::RandomSource& random);

} // namespace notice
