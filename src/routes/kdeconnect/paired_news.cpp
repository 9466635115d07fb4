#include "routes/kdeconnect/paired_news.h"

#include "delivery/learning.h"
#include "delivery/news.h"
#include "platform/clock.h"
#include "recipients/phone_rules.h"
#include "records/knowledge_file.h"
#include "records/pending_file.h"
#include "records/sent_log.h"
#include "records/status_file.h"
#include "routes/kdeconnect/paired_texts.h"

#include <QCryptographicHash>
#include <QHash>

namespace kdeconnect_route {

using model::PendingSend;
using paired::TextKind;
using records::cleanForLog;

namespace {
// A phone's clock and the computer's may differ by this much.
constexpr int kClockSlackSeconds = 120;

// A text received, as its send's `reported` remembers it.
QString replyKey(const paired::PhoneText& text) {
    return model::kReplyKey + QString::fromLatin1(QCryptographicHash::hash(
                                                      text.key.toUtf8(), QCryptographicHash::Sha256)
                                                      .toHex()
                                                      .left(16));
}
} // namespace

void bringPairedNewsIntoLog(paired::PairedPhones& phones, const paired::PairedPhone& phone,
                            const model::CommandContext& c, model::Knowledge& knowledge) {
    const model::DataFiles& files = c.files;
    const QDateTime now = c.clock.now();
    const QString route = routeIdOf(phone);
    QList<PendingSend> sends = records::loadPendingSends(files.pending);
    QList<qsizetype> mine;
    for (qsizetype i = 0; i < sends.size(); ++i)
        if (sends[i].route == route && sends[i].addresses.size() == 1)
            mine << i;
    if (mine.isEmpty())
        return;
    const QList<PendingSend> before = sends;
    const model::Knowledge was = knowledge;
    delivery::SendsNews news;
    for (const paired::PhoneText& text : phones.texts(phone)) {
        const bool received = text.kind == int(TextKind::Received);
        if (text.number.isEmpty() ||
            (!received && text.kind != int(TextKind::Sent) && text.kind != int(TextKind::Failed)))
            continue;
        const QDateTime when = text.when.isValid() ? text.when.toUTC() : now.toUTC();
        qsizetype owner = -1;
        for (const qsizetype i : std::as_const(mine))
            if (recipients::samePhone(sends[i].addresses.first(), text.number) &&
                sends[i].sentUtc.addSecs(-kClockSlackSeconds) <= when &&
                (owner < 0 || sends[owner].sentUtc < sends[i].sentUtc))
                owner = i;
        if (owner < 0)
            continue; // not about a text of ours
        PendingSend& send = sends[owner];
        // Our own text is told sent once and failed once, however often the phone shows it.
        const QString reported = received ? replyKey(text)
                                 : text.kind == int(TextKind::Sent)
                                     ? QStringLiteral("phone sent")
                                     : QStringLiteral("phone failed");
        if (send.reported.contains(reported))
            continue;
        send.reported << reported;
        const QString number = cleanForLog(text.number, 32);
        const QString key = records::statusKey(send.addresses.first(), c.countryCode);
        if (received) {
            news.lines[owner] << QStringLiteral("Reply from %1 %2: %3")
                                     .arg(number, records::logStamp(when.toLocalTime()),
                                          cleanForLog(text.body, 160));
            news.events[owner] << model::StatusEvent{key, model::StatusKind::Replied, when,
                                                     handedTo(phone), cleanForLog(text.body, 160)};
            delivery::learnOptOut(knowledge, text.number, text.body, when);
        } else if (text.kind == int(TextKind::Sent)) {
            news.lines[owner] << QStringLiteral("Sent: %1 (your phone %2 says it sent it)")
                                     .arg(number, cleanForLog(phone.name, 64));
            news.events[owner] << model::StatusEvent{key, model::StatusKind::Taken, when,
                                                     sentBy(phone), QStringLiteral("sent")};
        } else {
            news.lines[owner] << QStringLiteral("Not sent: %1 (your phone %2 could not send it)")
                                     .arg(number, cleanForLog(phone.name, 64));
            news.events[owner] << model::StatusEvent{
                key, model::StatusKind::NotDelivered, when, handedTo(phone),
                QStringLiteral("your phone could not send it")};
        }
    }
    if (knowledge != was)
        records::saveKnowledge(files.knowledge, knowledge);
    delivery::logSendsNews(c, now, sends, before, mine, news);
}

} // namespace kdeconnect_route
