#include "app/main_window.h"
#include "connectivity/online_check.h"
#include "core/settings.h"
#include "mail/lazy_mail_module.h"
#include "modem/lazy_text_modem.h"
#include "notice/companion_notice.h"
#include "platform/helper_keyring.h"
#include "platform/qsettings_store.h"
#include "platform/qt_desktop.h"
#include "platform/random_source.h"

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

    platform::QtDesktop desktop;
    platform::QSettingsStore settings(platform::userSettingsFile(core::settings::kOrganisation),
                                      core::settings::kSection);
    platform::SystemClock clock;
    mail::LazyMailSubmitter mail(QApplication::applicationDirPath() + "/libparlivo_mail", &clock);
    mail::LazyMailboxReader mailbox(QApplication::applicationDirPath() + "/libparlivo_mail",
                                    mail::gmailImapOptions());
    platform::SystemRandom random;

    platform::HelperKeyring keyring(QApplication::applicationDirPath() + "/parlivo-keyring",
                                    app::kProductName);

    // The modem module is loaded only where ModemManager runs, and only after the window painted.
    std::unique_ptr<modem::LazyTextModem> textModem;
    if (modem::modemServiceRuns())
        textModem = std::make_unique<modem::LazyTextModem>(QApplication::applicationDirPath() +
                                                           "/libparlivo_modem");

    app::Form1 form({desktop, settings, mail, clock, random, QApplication::applicationDirPath(),
                     QStandardPaths::writableLocation(QStandardPaths::AppDataLocation),
                     connectivity::OnlineCheck{}, &mailbox, &keyring, settings.fileName(),
                     textModem.get()});
    form.Form_Load();
    form.show();
    if (form.notice()) { // shown first, it stays in front of the main window
        form.notice()->keepClearOf(form.frameGeometry());
        form.notice()->raise();
    }
    return QApplication::exec();
}
