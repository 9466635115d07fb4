#include "routes/email/replies.h"

#include "recipients/carrier_table.h"
#include "recipients/phone_rules.h"
#include "records/sent_log.h"
#include "routes/email/bounce_records.h"

#include <QCryptographicHash>
#include <QHash>

namespace email_route {

using model::PendingSend;
using recipients::gatewayOf;
using recipients::lastTenDigits;
using recipients::phoneOf;
using records::cleanForLog;
using records::logStamp;

QList<qsizetype> replyOwners(const QList<PendingSend>& sends,
                             const QList<mail::PhoneReply>& replies) {
    // Each address read once, by its phone's last ten digits: the work grows with the
    // addresses and the replies, not with their product.
    QHash<QString, QList<std::pair<qsizetype, QString>>> sentTo; // digits: send, gateway
    for (qsizetype i = 0; i < sends.size(); ++i)
        for (const QString& address : sends[i].addresses)
            sentTo[lastTenDigits(phoneOf(address))].append({i, gatewayOf(address)});
    QList<qsizetype> owners;
    owners.reserve(replies.size());
    for (const mail::PhoneReply& reply : replies) {
        const QString digits = lastTenDigits(phoneOf(reply.from));
        const QStringList carrier = recipients::sameCarrier(gatewayOf(reply.from));
        qsizetype owner = -1;
        if (digits.size() < 7) {
            owners << owner;
            continue;
        }
        for (const auto& [i, gateway] : sentTo.value(digits)) {
            const PendingSend& send = sends[i];
            if ((reply.date.isValid() && reply.date < send.sentUtc) ||
                (owner >= 0 && sends[owner].sentUtc > send.sentUtc) ||
                !carrier.contains(gateway, Qt::CaseInsensitive))
                continue;
            owner = i;
        }
        owners << owner;
    }
    return owners;
}

namespace {
// A reply is remembered by a short digest of its Message-ID: a stranger's long IDs cannot
// grow a send's entry, and so crowd other sends out of their file.
QString replyKey(const QString& messageId) {
    return model::kReplyKey +
           QString::fromLatin1(
               QCryptographicHash::hash(messageId.toUtf8(), QCryptographicHash::Sha256)
                   .toHex()
                   .left(16));
}
} // namespace

QStringList replyLines(PendingSend& send, const QList<mail::PhoneReply>& replies,
                       QList<mail::PhoneReply>* told) {
    QStringList lines;
    qsizetype remembered = 0;
    for (const QString& key : std::as_const(send.reported))
        remembered += key.startsWith(model::kReplyKey);
    for (const mail::PhoneReply& reply : replies) {
        const QString key = replyKey(reply.messageId);
        if (send.reported.contains(key) ||
            send.reported.contains(model::kReplyKey + reply.messageId))
            continue;
        if (remembered >= kMostReplies) {
            if (!send.reported.contains(kRepliesFull)) {
                send.reported << kRepliesFull;
                lines << QStringLiteral("More replies came to this send than Parlivo keeps "
                                        "track of (%1); the later ones are not logged.")
                             .arg(kMostReplies);
            }
            break;
        }
        ++remembered;
        send.reported << key;
        if (told)
            *told << reply;
        const qsizetype at = reply.from.lastIndexOf(QLatin1Char('@'));
        lines << QStringLiteral("Reply from %1 (%2%3) %4: %5")
                     .arg(cleanForLog(reply.from.left(at), 64),
                          cleanForLog(reply.from.mid(at + 1), 253),
                          reply.verified ? QString() : QStringLiteral(", not verified"),
                          reply.date.isValid() ? logStamp(reply.date.toLocalTime()) : QString(),
                          cleanForLog(reply.text, 160));
    }
    return lines;
}

} // namespace email_route
