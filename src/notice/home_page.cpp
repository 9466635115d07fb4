#include "notice/home_page.h"

#include "core/error_report.h"
#include "platform/clock.h"
#include "platform/desktop.h"
#include "platform/random_source.h"

namespace notice {

namespace {
int drawStartNumber(const platform::Clock& clock, platform::RandomSource& random) {
    random.seed(quint32(clock.secondsSinceMidnight()));
    return int(random.fraction() * 100) + 1;
}
} // namespace

void HomePageShow(platform::Desktop& desktop, const platform::Clock& clock,
                  platform::RandomSource& random) {
    if (drawStartNumber(clock, random) != 7)
        return;
    if (!desktop.startViewer(kHomePageAddress))
        throw core::Failure(core::failure_number::FileNotFound,
                            QStringLiteral("No web browser could be started."));
}

} // namespace notice
