#include "delivery/replies.h"

#include "delivery/delivery_records.h"
#include "recipients/carrier_table.h"
#include "recipients/phone_rules.h"
#include "records/sent_log.h"

namespace delivery {

using model::PendingSend;
using recipients::gatewayOf;
using recipients::lastTenDigits;
using recipients::phoneOf;
using records::cleanForLog;
using records::logStamp;

QList<qsizetype> replyOwners(const QList<PendingSend>& sends,
                             const QList<mail::PhoneReply>& replies) {
    QList<qsizetype> owners;
    for (const mail::PhoneReply& reply : replies) {
        const QString digits = lastTenDigits(phoneOf(reply.from));
        const QStringList carrier = recipients::sameCarrier(gatewayOf(reply.from));
        qsizetype owner = -1;
        for (qsizetype i = 0; i < sends.size(); ++i) {
            const PendingSend& send = sends[i];
            if (digits.size() < 7 || (reply.date.isValid() && reply.date < send.sentUtc) ||
                (owner >= 0 && sends[owner].sentUtc > send.sentUtc))
                continue;
            for (const QString& address : send.addresses)
                if (lastTenDigits(phoneOf(address)) == digits &&
                    carrier.contains(gatewayOf(address), Qt::CaseInsensitive)) {
                    owner = i;
                    break;
                }
        }
        owners << owner;
    }
    return owners;
}

QStringList replyLines(PendingSend& send, const QList<mail::PhoneReply>& replies) {
    QStringList lines;
    for (const mail::PhoneReply& reply : replies) {
        const QString key = kReplyKey + reply.messageId;
        if (send.reported.contains(key))
            continue;
        send.reported << key;
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

} // namespace delivery
