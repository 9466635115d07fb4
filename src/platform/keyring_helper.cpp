// parlivo-keyring: asks the desktop's keyring for the program, so that the program itself
// never loads D-Bus or the keyring library. One request a run:
//   parlivo-keyring read|write|remove <service> <account>
// A secret to write comes on standard input, a secret read goes to standard output, both as
// UTF-8 without a line end. Exit: 0 done, 2 nothing stored, 3 no keyring answered or it refused.
#include <QCoreApplication>
#include <QFile>
#include <cstdio>
#include <qt6keychain/keychain.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr int kDone = 0;
constexpr int kNotFound = 2;
constexpr int kUnavailable = 3;
constexpr int kUsage = 64;

int exitCodeOf(const QKeychain::Job& job) {
    switch (job.error()) {
    case QKeychain::NoError:
        return kDone;
    case QKeychain::EntryNotFound:
        return kNotFound;
    default:
        return kUnavailable;
    }
}

// Where no session bus is set (a bare X session, ssh -X), D-Bus would start one of its own,
// and a keyring with it that asks for a new keyring's password nobody wanted. The desktop's
// own bus at $XDG_RUNTIME_DIR/bus is named instead; without one, no keyring answers.
bool sessionBusNamed() {
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return true;
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    const QByteArray bus = runtime + "/bus";
    struct stat info {};
    if (runtime.isEmpty() || ::stat(bus.constData(), &info) != 0 || !S_ISSOCK(info.st_mode) ||
        info.st_uid != ::getuid())
        return false;
    return qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + bus);
}
} // namespace

int main(int argc, char* argv[]) {
    // The secret passes through this process: no core file, no debugger of the same user.
    const rlimit none{0, 0};
    setrlimit(RLIMIT_CORE, &none);
    prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
    if (!sessionBusNamed())
        return kUnavailable;
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 4)
        return kUsage;
    const QString request = arguments[1];
    const QString service = arguments[2];
    QKeychain::Job* job = nullptr;
    if (request == QLatin1String("read")) {
        job = new QKeychain::ReadPasswordJob(service);
    } else if (request == QLatin1String("write")) {
        QFile in;
        if (!in.open(stdin, QIODevice::ReadOnly))
            return kUsage;
        auto* write = new QKeychain::WritePasswordJob(service);
        write->setTextData(QString::fromUtf8(in.readAll()));
        job = write;
    } else if (request == QLatin1String("remove")) {
        job = new QKeychain::DeletePasswordJob(service);
    } else {
        return kUsage;
    }
    job->setAutoDelete(false);
    job->setInsecureFallback(false); // where no keyring answers, the program decides
    job->setKey(arguments[3]);
    int code = kUnavailable;
    QObject::connect(job, &QKeychain::Job::finished, &application, [&](QKeychain::Job*) {
        code = exitCodeOf(*job);
        if (code == kDone && request == QLatin1String("read")) {
            const QByteArray secret =
                static_cast<QKeychain::ReadPasswordJob*>(job)->textData().toUtf8();
            if (std::fwrite(secret.constData(), 1, std::size_t(secret.size()), stdout) !=
                    std::size_t(secret.size()) ||
                std::fflush(stdout) != 0)
                code = kUnavailable;
        }
        QCoreApplication::exit(code);
    });
    job->start();
    return QCoreApplication::exec();
}
