#include "routes/phone/phone_news.h"

#include "delivery/learning.h"
#include "delivery/news.h"
#include "platform/clock.h"
#include "recipients/phone_rules.h"
#include "records/knowledge_file.h"
#include "records/pending_file.h"
#include "records/sent_log.h"
#include "records/status_file.h"
#include "routes/phone/app/phone_api.h"
#include "routes/phone/phone_texts.h"

#include <QCryptographicHash>
#include <QHash>
#include <algorithm>

namespace phone_route {

using model::PendingSend;
using phone::TextState;
using records::cleanForLog;

namespace {
// A text received, as its send's `reported` remembers it.
QString replyKey(const phone::InboxText& text) {
    return model::kReplyKey + QString::fromLatin1(QCryptographicHash::hash(
                                                      text.id.toUtf8(), QCryptographicHash::Sha256)
                                                      .toHex()
                                                      .left(16));
}

// What the app says became of the text of `send`, once: delivered or given up, its line and
// what it tells of the phone's status.
QString deliveryLine(PendingSend& send, const phone::MessageStatus& status,
                     QList<model::StatusEvent>& events, const QDateTime& now,
                     const QString& countryCode) {
    const QString address = send.addresses.value(0);
    const QString phone = cleanForLog(address, 32);
    for (const phone::RecipientState& r : status.recipients) {
        const bool delivered = r.state == TextState::Delivered;
        if (!delivered && r.state != TextState::Failed)
            continue;
        const QString key =
            address + (delivered ? QStringLiteral(" delivered") : QStringLiteral(" failed"));
        if (send.reported.contains(key))
            return {};
        send.reported << key;
        events << model::StatusEvent{
            records::statusKey(address, countryCode),
            delivered ? model::StatusKind::Delivered : model::StatusKind::NotDelivered, now.toUTC(),
            kBy, delivered ? QString() : failedWords(r.error)};
        return delivered
                   ? QStringLiteral("Delivered: %1 (the network says the phone took it)").arg(phone)
                   : QStringLiteral("Not delivered: %1 (%2)")
                         .arg(phone, cleanForLog(failedWords(r.error), 200));
    }
    return {};
}
} // namespace

void bringPhoneNewsIntoLog(phone::PhoneGateway& gateway, const phone::PhoneLogin& login,
                           const model::CommandContext& c, model::Knowledge& knowledge) {
    const model::DataFiles& files = c.files;
    const QDateTime now = c.clock.now();
    QList<PendingSend> sends = records::loadPendingSends(files.pending);
    QList<qsizetype> mine;
    QDateTime since;
    for (qsizetype i = 0; i < sends.size(); ++i)
        if (sends[i].route == kRouteId && sends[i].addresses.size() == 1) {
            mine << i;
            if (!since.isValid() || sends[i].sentUtc < since)
                since = sends[i].sentUtc;
        }
    if (mine.isEmpty())
        return;
    since = since.addSecs(-60);
    phone::Answer answer;
    QHash<QString, phone::MessageStatus> states;
    for (const phone::MessageStatus& status : phone::recentStates(gateway, login, since, &answer))
        states.insert(status.id, status);
    if (answer.outcome != phone::Outcome::Done)
        return;
    QList<phone::InboxText> received = phone::inbox(gateway, login, since, &answer);
    if (answer.outcome != phone::Outcome::Done)
        return;
    std::stable_sort(
        received.begin(), received.end(),
        [](const phone::InboxText& a, const phone::InboxText& b) { return a.when < b.when; });
    const QList<PendingSend> before = sends;
    delivery::SendsNews news;
    for (const qsizetype i : std::as_const(mine))
        if (const QString line = deliveryLine(sends[i], states.value(sends[i].messageId),
                                              news.events[i], now, c.countryCode);
            !line.isEmpty())
            news.lines[i] << line;
    // Replies, oldest first, each to the latest send to that number before it.
    const model::Knowledge was = knowledge;
    for (auto text = received.cbegin(); text != received.cend(); ++text) {
        qsizetype owner = -1;
        for (const qsizetype i : std::as_const(mine))
            if (recipients::samePhone(sends[i].addresses.first(), text->sender) &&
                (!text->when.isValid() || sends[i].sentUtc <= text->when.toUTC()) &&
                (owner < 0 || sends[owner].sentUtc < sends[i].sentUtc))
                owner = i;
        if (owner < 0 || sends[owner].reported.contains(replyKey(*text)))
            continue; // not about a text of ours, or logged already
        sends[owner].reported << replyKey(*text);
        news.lines[owner] << QStringLiteral("Reply from %1 %2: %3")
                                 .arg(cleanForLog(text->sender, 32),
                                      text->when.isValid()
                                          ? records::logStamp(text->when.toLocalTime())
                                          : QString(),
                                      cleanForLog(text->text, 160));
        const QDateTime when = text->when.isValid() ? text->when.toUTC() : now.toUTC();
        news.events[owner] << model::StatusEvent{
            records::statusKey(sends[owner].addresses.first(), c.countryCode),
            model::StatusKind::Replied, when, kBy, cleanForLog(text->text, 160)};
        delivery::learnOptOut(knowledge, text->sender, text->text, when);
    }
    if (knowledge != was)
        records::saveKnowledge(files.knowledge, knowledge);
    delivery::logSendsNews(c, now, sends, before, mine, news);
}

} // namespace phone_route
