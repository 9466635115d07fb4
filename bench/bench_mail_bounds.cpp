// The mail layer against servers that pour data without end
// (tests/routes/email/mail/hostile_server.py): for each stream, the longest pause of the event loop
// while the data pours in, against the longest pause of the same loop left idle for as long, and
// the peak of resident memory above the resting size, with the time the exchange took until its
// bound ended it.
#include "bench_util.h"
#include "local_smtp_server.h"
#include "process_memory.h"
#include "routes/email/net/imap_bounce_reader.h"
#include "routes/email/net/smtp_mail_submitter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    TestCertificates certificates;
    if (!certificates.ok()) {
        std::printf("test certificates not available: benchmark skipped\n");
        return 0;
    }
    std::printf("%-28s %9s %9s %9s %11s\n", "stream", "time ms", "gap ms", "idle ms", "peak MB");
    const QStringList modes{"smtp-endless-line", "smtp-endless-continuation",
                            "imap-endless-untagged", "imap-chained-literals",
                            "imap-endless-bodies"};
    bool within = true;
    for (const QString& mode : modes) {
        LocalSmtpServer server(certificates, mode, "hostile_server.py");
        if (server.port() == 0) {
            std::printf("hostile server not available: benchmark skipped\n");
            return 0;
        }
        const bool smtp = mode.startsWith("smtp");
        mail::MailOptions options = smtp ? mail::MailOptions{} : mail::gmailImapOptions();
        options.connectAddress = "127.0.0.1";
        options.connectPort = quint16(server.port());
        options.caFile = certificates.path("ca.pem");
        mail::MailMessage message;
        message.userAddress = "ann@gmail.com";
        message.password = "secret";
        message.recipients = QStringList{"5555550100@vtext.com"};
        message.toHeader = message.recipients.first();

        const qint64 resting = processStatusKiB("VmRSS");
        resetPeakMemory();
        QElapsedTimer took;
        took.start();
        const double gap = longestGapMs([&] {
            if (smtp)
                mail::SmtpMailSubmitter(options).submit(message);
            else
                mail::ImapBounceReader(options).readBounces("ann@gmail.com", "secret",
                                                            QDate::currentDate());
        });
        const double ms = double(took.nsecsElapsed()) / 1e6;
        const double peakMB = double(processStatusKiB("VmHWM") - resting) / 1024.0;
        const double idle = longestGapMs([&] {
            QEventLoop loop;
            QTimer::singleShot(qMax(1, int(ms)), &loop, &QEventLoop::quit);
            loop.exec();
        });
        const bool ok = gap <= 50 && peakMB < 64 && (smtp || ms <= 8000);
        within = within && ok;
        std::printf("%-28s %9.1f %9.2f %9.2f %11.1f  (targets: gap 50 ms, 64 MB%s) %s\n",
                    qPrintable(mode), ms, gap, idle, peakMB, smtp ? "" : ", 8000 ms", verdict(ok));
    }
    std::printf("%s\n", within ? "all streams within their targets" : "a stream is OVER");
    return benchExitCode();
}
