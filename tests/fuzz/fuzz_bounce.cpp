// Bounces and replies from anyone: reading never fails, and the record made from what they
// say keeps the log's shape: lines of printable letters, the heading first, nothing that
// starts a new record.
#include "records/pending_file.h"
#include "routes/email/bounce_records.h"
#include "routes/email/net/bounce_reader.h"
#include "routes/email/replies.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray mail(reinterpret_cast<const char*>(data), qsizetype(size));
    const auto report = mail::readBounce(mail);
    QList<mail::PhoneReply> replies;
    if (const auto reply = mail::readReply(mail))
        replies << *reply;
    if (report.recipients.size() > 500)
        std::abort();
    model::PendingSend send{report.messageIds.value(0, QStringLiteral("x@y")),
                            QDateTime::fromSecsSinceEpoch(0, Qt::UTC),
                            QStringLiteral("07/12/2026 21:00"),
                            QStringLiteral("Subject"),
                            {},
                            {},
                            false};
    for (const auto& r : report.recipients)
        send.addresses << r.address;
    if (send.addresses.isEmpty())
        send.addresses << QStringLiteral("1@a.example");
    const QString record = email_route::deliveryRecord(QStringLiteral("now"), send, {report}, true,
                                                       email_route::replyLines(send, replies));
    if (record.isEmpty())
        return 0;
    const QStringList lines = record.split(QStringLiteral("\r\n"));
    if (lines.value(0) != QLatin1String("now") ||
        !lines.value(1).startsWith(QLatin1String("Delivery: message of ")) ||
        !record.endsWith(QLatin1String("\r\n\r\n")))
        std::abort();
    // Letters of any script; nothing that breaks a line, turns its direction or is half a pair.
    for (const QString& line : lines)
        for (const char32_t c : line.toUcs4()) {
            const QChar::Category kind = QChar::category(c);
            if (c < 0x20 || kind == QChar::Other_Control || kind == QChar::Other_Format ||
                kind == QChar::Separator_Line || kind == QChar::Separator_Paragraph ||
                kind == QChar::Other_Surrogate)
                std::abort();
        }
    for (const QString& line : lines.mid(2, lines.size() - 4))
        if (!line.startsWith(QLatin1String("Not delivered: ")) &&
            !line.startsWith(QLatin1String("Delayed: ")) &&
            !line.startsWith(QLatin1String("Not reached at any ticked carrier: ")) &&
            !line.startsWith(QLatin1String("More replies came")) &&
            !line.startsWith(QLatin1String("Reply from ")) &&
            !line.startsWith(QLatin1String("No bounce from the other ")))
            std::abort();
    return 0;
}
