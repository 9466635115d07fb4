#include "routes/email/bounce_records.h"

#include "core/error_report.h"
#include "recipients/carrier_table.h"
#include "recipients/phone_rules.h"
#include "records/sent_log.h"

#include <QDateTime>
#include <QHash>
#include <QLocale>
#include <QRegularExpression>
#include <QSet>

namespace email_route {

using model::PendingSend;
using recipients::phoneOf;
using records::cleanForLog;
using records::deliveryHeading;

namespace {
const QString kCrLf = QStringLiteral("\r\n");

QString phoneAtGateway(const QString& address) {
    const qsizetype at = address.lastIndexOf(QLatin1Char('@'));
    return cleanForLog(address.left(at), 64) + QStringLiteral(" at ") +
           cleanForLog(address.mid(at + 1), 253);
}

QString retryText(const QString& willRetryUntil) {
    // Mail systems add a comment after the zone ("-0800 (PST)"); the date is what precedes it.
    static const QRegularExpression comment(QStringLiteral("\\s*\\([^()]*\\)\\s*$"));
    const QDateTime until =
        QDateTime::fromString(willRetryUntil.simplified().remove(comment), Qt::RFC2822Date);
    if (until.isValid())
        return QLocale::system().toString(until.toLocalTime(), QLocale::ShortFormat);
    return cleanForLog(willRetryUntil, 60);
}
// One line for a recipient a bounce names.
QString statusLine(const QString& address, const mail::RecipientStatus& r, bool verified) {
    const QString why = cleanForLog(r.status, 20) + QLatin1Char(' ') + cleanForLog(r.diagnostic) +
                        (verified ? QString() : QStringLiteral(", not verified"));
    if (r.failed)
        return QStringLiteral("Not delivered: ") + phoneAtGateway(address) + QStringLiteral(" (") +
               why.trimmed() + QStringLiteral(")");
    if (!r.willRetryUntil.isEmpty())
        return QStringLiteral("Delayed: ") + phoneAtGateway(address) +
               QStringLiteral(", Gmail retries until ") + retryText(r.willRetryUntil);
    return QStringLiteral("Delayed: ") + phoneAtGateway(address) + QStringLiteral(" (") +
           why.trimmed() + QStringLiteral(")");
}

// What the bounces of one send say that was not reported yet: a line an address, marked in
// `send.reported`, and the phones refused at any address, in order. Each lookup by hash, so
// that the work grows with the bounces and addresses, not with their product.
struct BounceNews {
    QStringList lines;
    QStringList refusedPhones;
    QSet<QString> reported;
};
BounceNews bounceNews(PendingSend& send, const QList<mail::BounceReport>& bounces) {
    BounceNews news;
    news.reported = QSet<QString>(send.reported.cbegin(), send.reported.cend());
    QHash<QString, qsizetype> indexOf;
    QSet<QString> phonesSeen;
    for (const mail::BounceReport& bounce : bounces) {
        if (!bounce.messageIds.contains(send.messageId, Qt::CaseInsensitive))
            continue;
        if (indexOf.isEmpty())
            for (qsizetype i = send.addresses.size() - 1; i >= 0; --i)
                indexOf.insert(send.addresses[i].toLower(), i); // the first of equal ones wins
        for (const mail::RecipientStatus& r : bounce.recipients) {
            const qsizetype index = indexOf.value(r.address.toLower(), -1);
            if (index < 0)
                continue; // only this send's own addresses
            const QString address = send.addresses[index];
            // What nobody vouches for is told, under a key of its own that teaches nothing.
            const QString key =
                address + (r.failed ? QStringLiteral(" failed") : QStringLiteral(" delayed")) +
                (vouchedFor(bounce) ? QString() : QStringLiteral(" unverified"));
            if (news.reported.contains(key))
                continue;
            news.reported.insert(key);
            send.reported << key;
            if (r.failed && vouchedFor(bounce) && !phonesSeen.contains(phoneOf(address))) {
                phonesSeen.insert(phoneOf(address));
                news.refusedPhones << phoneOf(address);
            }
            news.lines << statusLine(address, r, vouchedFor(bounce));
        }
    }
    return news;
}

// A phone refused at every gateway it was sent to did not get the text at all; when only the
// carrier learned for it was tried, the next send tries its other ticked ones.
QStringList unreachedLines(const PendingSend& send, const BounceNews& news,
                           const model::Knowledge& known) {
    QHash<QString, bool> everyAddressFailed; // by phone, for the phones with news
    QHash<QString, QStringList> triedAt;
    for (const QString& phone : news.refusedPhones)
        everyAddressFailed.insert(phone, true);
    for (const QString& address : send.addresses) {
        const auto phone = everyAddressFailed.find(phoneOf(address));
        if (phone != everyAddressFailed.end()) {
            *phone = *phone && news.reported.contains(address + QStringLiteral(" failed"));
            triedAt[phoneOf(address)] << recipients::gatewayOf(address);
        }
    }
    QStringList lines;
    for (const QString& phone : news.refusedPhones) {
        if (!everyAddressFailed.value(phone))
            continue;
        // Sent only to the carrier learned for it: its other ticked carriers were not tried.
        const QString learned = known.phones.value(recipients::lastTenDigits(phone)).carrier;
        const QStringList carrier = recipients::sameCarrier(learned);
        bool onlyLearned = !learned.isEmpty();
        for (const QString& gateway : triedAt.value(phone))
            onlyLearned = onlyLearned && carrier.contains(gateway, Qt::CaseInsensitive);
        lines << (onlyLearned ? QStringLiteral("Not reached at the carrier learned for it: %1 "
                                               "(the next send tries its other ticked carriers)")
                              : QStringLiteral("Not reached at any ticked carrier: %1"))
                     .arg(cleanForLog(phone, 64));
    }
    return lines;
}

// How many addresses sent no bounce at all, once the whole mailbox was read.
QStringList silenceLines(const PendingSend& send) {
    QSet<QString> bounced;
    for (const QString& key : send.reported)
        if (!key.startsWith(model::kReplyKey))
            bounced.insert(key.section(QLatin1Char(' '), 0, 0));
    const qsizetype silent = send.addresses.size() - bounced.size();
    if (silent <= 0)
        return {};
    return {(silent == 1 ? QStringLiteral("No bounce from the other address")
                         : QStringLiteral("No bounce from the other %1 addresses").arg(silent)) +
            QStringLiteral(" (silence does not prove delivery).")};
}

QString record(const QString& nowStamp, const PendingSend& send, const QStringList& lines) {
    return cleanForLog(nowStamp, 60) + kCrLf + deliveryHeading(send) + kCrLf + lines.join(kCrLf) +
           kCrLf + kCrLf;
}
} // namespace

QString deliveryRecord(const QString& nowStamp, PendingSend& send,
                       const QList<mail::BounceReport>& bounces, bool complete,
                       const QStringList& replies, const model::Knowledge& known) {
    const BounceNews news = bounceNews(send, bounces);
    if (news.lines.isEmpty())
        return replies.isEmpty() ? QString() : record(nowStamp, send, replies);
    return record(nowStamp, send,
                  news.lines + unreachedLines(send, news, known) + replies +
                      (complete ? silenceLines(send) : QStringList()));
}

QString notCheckedRecord(const QString& nowStamp, const PendingSend& send) {
    return record(nowStamp, send,
                  {QStringLiteral("Not checked: the mailbox could not be read in the %1 days "
                                  "after the send, so bounces are unknown.")
                       .arg(model::kPendingDays)});
}

} // namespace email_route
