#include "app/program.h"

#include <QApplication>
#include <QStandardPaths>
#include <cstdio>
#include <cstdlib>
#include <sys/prctl.h>
#include <sys/resource.h>

namespace {
// The password lives in this process: no core file and no debugger of the same user may
// copy it out, as password managers do.
void keepMemoryPrivate() {
    const rlimit none{0, 0};
    setrlimit(RLIMIT_CORE, &none);
    prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
}

bool hasDisplay() {
    const auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value && *value;
    };
    return set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM");
}
} // namespace

int main(int argc, char* argv[]) {
    keepMemoryPrivate();
    if (!hasDisplay()) {
        std::fputs("Parlivo needs a graphical desktop: no display found (DISPLAY and "
                   "WAYLAND_DISPLAY are not set).\n",
                   stderr);
        return 1;
    }
    QApplication application(argc, argv);
    app::nameApplication();

    app::ProgramParts parts;
    parts.programFolder = QApplication::applicationDirPath();
    parts.dataFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    app::Program program(parts);
    program.start();
    return QApplication::exec();
}
