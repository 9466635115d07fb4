#include "delivery/delivery_records.h"

#include "recipients/phone_rules.h"
#include "records/sent_log.h"

#include <QDateTime>
#include <QHash>
#include <QLocale>
#include <QRegularExpression>
#include <QSet>

namespace delivery {

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
} // namespace

QString deliveryRecord(const QString& nowStamp, PendingSend& send,
                       const QList<mail::BounceReport>& bounces, bool complete,
                       const QStringList& replies) {
    QStringList lines;
    QStringList phonesWithNews;
    QSet<QString> phonesSeen;
    // Each lookup by hash, so that the record grows with the bounces and addresses, not with
    // their product.
    QHash<QString, qsizetype> indexOf;
    bool named = false;
    QSet<QString> reported(send.reported.cbegin(), send.reported.cend());
    for (const mail::BounceReport& bounce : bounces) {
        if (!bounce.messageIds.contains(send.messageId, Qt::CaseInsensitive))
            continue;
        if (!named) {
            indexOf.reserve(send.addresses.size());
            for (qsizetype i = send.addresses.size() - 1; i >= 0; --i)
                indexOf.insert(send.addresses[i].toLower(), i); // the first of equal ones wins
            named = true;
        }
        for (const mail::RecipientStatus& r : bounce.recipients) {
            const qsizetype index = indexOf.value(r.address.toLower(), -1);
            if (index < 0)
                continue; // only this send's own addresses
            const QString address = send.addresses[index];
            const QString key =
                address + (r.failed ? QStringLiteral(" failed") : QStringLiteral(" delayed"));
            if (reported.contains(key))
                continue;
            reported.insert(key);
            send.reported << key;
            if (r.failed && !phonesSeen.contains(phoneOf(address))) {
                phonesSeen.insert(phoneOf(address));
                phonesWithNews << phoneOf(address);
            }
            const QString why =
                cleanForLog(r.status, 20) + QLatin1Char(' ') + cleanForLog(r.diagnostic);
            if (r.failed)
                lines << QStringLiteral("Not delivered: ") + phoneAtGateway(address) +
                             QStringLiteral(" (") + why.trimmed() + QStringLiteral(")");
            else if (!r.willRetryUntil.isEmpty())
                lines << QStringLiteral("Delayed: ") + phoneAtGateway(address) +
                             QStringLiteral(", Gmail retries until ") + retryText(r.willRetryUntil);
            else
                lines << QStringLiteral("Delayed: ") + phoneAtGateway(address) +
                             QStringLiteral(" (") + why.trimmed() + QStringLiteral(")");
        }
    }
    if (lines.isEmpty()) {
        if (replies.isEmpty())
            return {};
        return cleanForLog(nowStamp, 60) + kCrLf + deliveryHeading(send) + kCrLf +
               replies.join(kCrLf) + kCrLf + kCrLf;
    }
    // A phone refused at every gateway it was sent to did not get the text at all.
    QHash<QString, bool> everyAddressFailed; // by phone, for the phones with news
    for (const QString& phone : std::as_const(phonesWithNews))
        everyAddressFailed.insert(phone, true);
    for (const QString& address : std::as_const(send.addresses)) {
        const auto phone = everyAddressFailed.find(phoneOf(address));
        if (phone != everyAddressFailed.end())
            *phone = *phone && reported.contains(address + QStringLiteral(" failed"));
    }
    for (const QString& phone : std::as_const(phonesWithNews))
        if (everyAddressFailed.value(phone))
            lines << QStringLiteral("Not reached at any ticked carrier: ") + cleanForLog(phone, 64);
    lines << replies;
    QSet<QString> bounced;
    for (const QString& key : std::as_const(send.reported))
        if (!key.startsWith(kReplyKey))
            bounced.insert(key.section(QLatin1Char(' '), 0, 0));
    const qsizetype silent = send.addresses.size() - bounced.size();
    if (silent > 0 && complete)
        lines << QStringLiteral("No bounce from the other %1 addresses (silence does not prove "
                                "delivery).")
                     .arg(silent);
    return cleanForLog(nowStamp, 60) + kCrLf + deliveryHeading(send) + kCrLf + lines.join(kCrLf) +
           kCrLf + kCrLf;
}

QString notCheckedRecord(const QString& nowStamp, const PendingSend& send) {
    return cleanForLog(nowStamp, 60) + kCrLf + deliveryHeading(send) + kCrLf +
           QStringLiteral("Not checked: the mailbox could not be read in the %1 days after the "
                          "send, so bounces are unknown.")
               .arg(model::kPendingDays) +
           kCrLf + kCrLf;
}

} // namespace delivery
