#include "routes/modem/modem_news.h"

#include "delivery/learning.h"
#include "delivery/news.h"
#include "platform/clock.h"
#include "recipients/phone_rules.h"
#include "records/knowledge_file.h"
#include "records/pending_file.h"
#include "records/sent_log.h"
#include "records/status_file.h"
#include "routes/modem/device/text_modem.h"
#include "routes/modem/modem_route.h"
#include "routes/modem/modem_texts.h"

#include <QHash>
#include <optional>

namespace modem_route {

using model::PendingSend;
using records::cleanForLog;

namespace {
// The latest send through the modem that `message` answers: by reference for a report, by
// the phone's whole number for a text received; -1 for none.
qsizetype ownerOf(const QList<PendingSend>& sends, const modem::ModemMessage& message) {
    qsizetype owner = -1;
    for (qsizetype i = 0; i < sends.size(); ++i) {
        const PendingSend& send = sends[i];
        const bool samePhone = send.route == kRouteId && send.addresses.size() == 1 &&
                               recipients::samePhone(send.addresses.first(), message.number);
        if (samePhone && (!message.report || send.messageId == message.reference) &&
            (owner < 0 || sends[owner].sentUtc < send.sentUtc))
            owner = i;
    }
    return owner;
}

// What a report or a text received tells of its phone's status; nothing while the network
// still tries.
std::optional<model::StatusEvent> statusOf(const modem::ModemMessage& message, const QDateTime& now,
                                           const QString& countryCode) {
    const QDateTime when = message.when.isValid() ? message.when.toUTC() : now.toUTC();
    const QString phone = records::statusKey(message.number, countryCode);
    const QString by = kBy;
    if (!message.report)
        return model::StatusEvent{phone, model::StatusKind::Replied, when, by,
                                  cleanForLog(message.text, 160)};
    if (message.deliveryState < 0x20)
        return model::StatusEvent{phone, model::StatusKind::Delivered, when, by, {}};
    if (message.deliveryState >= 0x40)
        return model::StatusEvent{phone, model::StatusKind::NotDelivered, when, by,
                                  QStringLiteral("the network gave up")};
    return std::nullopt;
}

// The longest reply the log holds whole: a text of 255 parts.
constexpr qsizetype kLongestReply = 255 * 153;

QString lineOf(const modem::ModemMessage& message) {
    const QString phone = cleanForLog(message.number, 32);
    if (!message.report)
        return QStringLiteral("Reply from %1 %2: %3")
            .arg(phone,
                 message.when.isValid() ? records::logStamp(message.when.toLocalTime()) : QString(),
                 cleanForLog(message.text, kLongestReply));
    if (message.deliveryState < 0x20)
        return QStringLiteral("Delivered: %1 (the network says the phone took it)").arg(phone);
    if (message.deliveryState < 0x40)
        return QStringLiteral("Delayed: %1 (the network is still trying)").arg(phone);
    return QStringLiteral("Not delivered: %1 (the network gave up, state %2)")
        .arg(phone)
        .arg(message.deliveryState);
}
} // namespace

void bringModemNewsIntoLog(modem::TextModem& modem, const model::CommandContext& c,
                           model::Knowledge& knowledge) {
    const model::DataFiles& files = c.files;
    const QDateTime now = c.clock.now();
    const model::Knowledge was = knowledge;
    const QList<PendingSend> sends = records::loadPendingSends(files.pending);
    QHash<qsizetype, QStringList> lines;
    QHash<qsizetype, QStringList> used;
    QHash<qsizetype, QList<model::StatusEvent>> events;
    QList<qsizetype> order;
    for (const modem::ModemMessage& message : modem.received()) {
        const qsizetype owner = ownerOf(sends, message);
        if (owner < 0)
            continue; // not about a text of ours: left on the modem
        if (!lines.contains(owner))
            order << owner;
        lines[owner] << lineOf(message);
        used[owner] << message.path;
        if (const auto event = statusOf(message, now, c.countryCode))
            events[owner] << *event;
        if (!message.report)
            delivery::learnOptOut(knowledge, message.number, message.text,
                                  message.when.isValid() ? message.when.toUTC() : now.toUTC());
    }
    if (knowledge != was)
        records::saveKnowledge(files.knowledge, knowledge);
    for (const qsizetype owner : std::as_const(order)) {
        if (!delivery::appendNews(files.log, now, sends[owner], lines[owner]))
            continue; // kept on the modem for the next time
        records::noteStatuses(files.status, events.value(owner), c.statuses);
        for (const QString& path : std::as_const(used[owner]))
            modem.remove(path);
    }
}

} // namespace modem_route
