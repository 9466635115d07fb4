#include "routes/phone/phone_route.h"

#include "core/pointer.h"
#include "platform/desktop.h"
#include "recipients/summary.h"
#include "sending/send_flow.h"
#include "sending/send_texts.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

namespace phone_route {

using model::Targets;
using phone::Outcome;
using phone::TextState;

namespace {
constexpr int kTries = 5;         // ids a text to one phone may take, each after a failed try
constexpr int kTtlSeconds = 3600; // the phone drops a text it could not send within an hour

void waitMs(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Whether the phone is done with a text: sent, delivered or failed.
bool isSettled(TextState state) {
    return state != TextState::Pending && state != TextState::Processed &&
           state != TextState::Unknown;
}

// The state of the one recipient of a text, else the message's.
TextState stateOf(const phone::MessageStatus& status, QString* error) {
    if (status.recipients.isEmpty())
        return status.state;
    *error = status.recipients.first().error;
    return status.recipients.first().state;
}
} // namespace

QString messageId(const model::TextToSend& text, const QString& number) {
    const QByteArray what =
        (text.keptUtc.toString(Qt::ISODateWithMs) + QLatin1Char('\n') + text.subject +
         QLatin1Char('\n') + text.body + QLatin1Char('\n') + number)
            .toUtf8();
    return QStringLiteral("parlivo-") +
           QString::fromLatin1(
               QCryptographicHash::hash(what, QCryptographicHash::Sha256).toHex().left(24));
}

PhoneRoute::PhoneRoute(const model::CommandContext& c, phone::PhoneGateway& gateway,
                       phone::PhoneLogin login, QString shownAddress, PhonePace pace)
    : TextingRoute(c, pace, {QStringLiteral("The phone"), kNotTextableHint, kPhoneNotSent}),
      gateway_(gateway), login_(std::move(login)), address_(std::move(shownAddress)),
      sentWithinSeconds_(pace.sentWithinSeconds) {}

model::RouteWords PhoneRoute::words() const {
    return {QStringLiteral("text"),
            QStringLiteral("texts"),
            QStringLiteral("sending was never confirmed by the phone"),
            QStringLiteral("the daily allowance you set for the phone"),
            kBy,
            QStringLiteral("your phone")};
}

bool PhoneRoute::makeReady() {
    // Told before anything goes: the phone not answering, the app not ready, the login.
    phone::Answer answer = phone::health(gateway_, login_);
    if (answer.outcome == Outcome::Done)
        phone::inbox(gateway_, login_, {}, &answer, 1);
    if (answer.outcome == Outcome::Done)
        return true;
    tell(notReachedMessage(answer, address_, login_.user));
    return false;
}

QString PhoneRoute::allowanceQuestion(qsizetype recent, qsizetype needed, qsizetype partsEach,
                                      qsizetype fits) const {
    return sending::partsAllowanceQuestion(QStringLiteral("through your phone"),
                                           kPartsPerDaySetting, recent, needed, partsEach,
                                           pace_.partsPerDay, fits);
}

phone::MessageStatus PhoneRoute::sendOnce(const model::TextToSend& text, const QString& number,
                                          std::optional<phone::MessageStatus> firstAnswer) {
    const QString base = messageId(text, number);
    const QString words = recipients::textOf(text.subject, text.body);
    phone::MessageStatus status;
    for (int attempt = 1; attempt <= kTries; ++attempt) {
        const QString id = attempt == 1 ? base : base + QStringLiteral("-%1").arg(attempt);
        status = attempt == 1 && firstAnswer
                     ? *firstAnswer
                     : phone::sendText(gateway_, login_, id, number, words, kTtlSeconds);
        if (status.answer.outcome != Outcome::Exists)
            return status;
        // There already: this text went to the phone before (a send cut short); what became
        // of it decides, and only a try that failed goes again.
        status = phone::statusOf(gateway_, login_, id);
        QString error;
        if (status.answer.outcome != Outcome::Done || stateOf(status, &error) != TextState::Failed)
            return status;
    }
    return status;
}

phone::MessageStatus PhoneRoute::settled(phone::MessageStatus status, bool justRead) {
    QElapsedTimer waited;
    waited.start();
    QString error;
    int pause = justRead ? 500 : 0; // asked at once, then after half a second, then every second
    while (status.answer.outcome == Outcome::Done && !isSettled(stateOf(status, &error)) &&
           waited.elapsed() < sentWithinSeconds_ * 1000) {
        waitMs(int(qMin<qint64>(pause, sentWithinSeconds_ * 1000 - waited.elapsed())));
        pause = pause == 0 ? 500 : 1000;
        const phone::MessageStatus read = phone::statusOf(gateway_, login_, status.id);
        if (read.answer.outcome != Outcome::Done)
            break; // the phone went quiet: the text stays uncertain
        status = read;
    }
    return status;
}

bool PhoneRoute::tellWhatBecame(int batch, const QString& number, const phone::MessageStatus& sent,
                                const model::RouteSteps& steps, model::RouteResult& result) const {
    QString error;
    const TextState state = stateOf(sent, &error);
    if (sent.answer.outcome == Outcome::Refused) {
        steps.refused(batch, notSentMessage(number, sent.answer, address_, login_.user));
    } else if (sent.answer.outcome == Outcome::NoAnswer ||
               sent.answer.outcome == Outcome::BadAnswer) {
        // The request may have reached the phone: uncertain, and its id keeps a repeat out.
        result.nextMayHaveGone = true;
        result.failure = core::Failure(
            kPhoneNotSent,
            notReachedMessage(sent.answer, address_, login_.user)
                .replace(QStringLiteral("Nothing was sent: "),
                         QStringLiteral("The text to %1 may have gone: ").arg(number)));
        return false;
    } else if (sent.answer.outcome != Outcome::Done) {
        result.failure =
            core::Failure(kPhoneNotSent, notReachedMessage(sent.answer, address_, login_.user));
        return false;
    } else if (state == TextState::Sent || state == TextState::Delivered) {
        ++result.taken;
        steps.taken(batch, sent.id, {});
    } else if (state == TextState::Failed) {
        steps.refused(batch, failedWords(error));
    } else {
        result.nextMayHaveGone = true;
        result.failure = core::Failure(kPhoneNotSent, stuckMessage(number, sentWithinSeconds_));
        return false;
    }
    return true;
}

model::RouteResult PhoneRoute::sendEach(const model::TextToSend& text,
                                        const QList<Targets>& batches,
                                        const model::RouteSteps& steps) {
    model::RouteResult result;
    // Without a pace of Parlivo's own, the next text goes while the state of the one before
    // is read: the app queues texts itself, and a round trip a phone is saved. At most two are
    // in flight, and each is told in order.
    const bool ahead = pace_.partsPerMinute <= 0;
    int open = -1; // the batch of a text the phone took, its end not yet read
    phone::MessageStatus openStatus;
    const auto numberOf = [&](int batch) { return batches[batch].first().phone; };
    for (int i = 0; i < batches.size(); ++i) {
        if (!nextGoes(i, text, steps)) {
            result.stopped = true;
            break;
        }
        const QString number = numberOf(i);
        std::optional<phone::MessageStatus> posted;
        if (open >= 0) {
            auto [read, answer] = phone::statusOfWhileSending(
                gateway_, login_, openStatus.id, messageId(text, number), number,
                recipients::textOf(text.subject, text.body), kTtlSeconds);
            posted = answer;
            const bool quiet = read.answer.outcome != Outcome::Done;
            if (!tellWhatBecame(open, numberOf(open), settled(quiet ? openStatus : read, !quiet),
                                steps, result)) {
                // This text went too, or may have: it stays in flight with the one before.
                result.failure = core::Failure(
                    kPhoneNotSent,
                    result.failure->description() +
                        QStringLiteral(" The text to %1, sent after it, may go too.").arg(number));
                return result;
            }
            open = -1;
        }
        const phone::MessageStatus sent = sendOnce(text, number, posted);
        QString error;
        if (ahead && i + 1 < batches.size() && sent.answer.outcome == Outcome::Done &&
            !isSettled(stateOf(sent, &error))) {
            open = i;
            openStatus = sent;
            continue;
        }
        if (!tellWhatBecame(i, number, settled(sent, false), steps, result))
            return result;
    }
    if (open >= 0)
        tellWhatBecame(open, numberOf(open), settled(openStatus, false), steps, result);
    return result;
}

} // namespace phone_route
