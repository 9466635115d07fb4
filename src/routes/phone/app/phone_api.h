#pragma once

#include "routes/phone/app/phone_gateway.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>
#include <utility>

namespace phone {

// Where the phone's app listens, as the user typed it ("192.168.1.20:8080",
// "http://phone.local:8080", "https://gateway.example.org"): the address to use, or in plain
// words why it cannot be used. Plain HTTP carries the password readable by anyone on the way,
// so it goes only to an address on the user's own network (onOwnNetwork); any other needs
// HTTPS. The app's local server listens on 8080 unless the address names a port.
struct PhoneAddress {
    QUrl base;
    QString problem;
};
PhoneAddress phoneAddress(const QString& typed);
// A private or link-local address, the loopback, or a ".local" name.
bool onOwnNetwork(const QString& host);

// How one call ended, as the route tells it.
enum class Outcome {
    Done,
    NoAnswer,   // the app did not answer (its server off, the phone asleep or elsewhere)
    WrongLogin, // 401: the user name or password
    Refused,    // 400 or 500: the app refused the request, `message` says why
    NotReady,   // the app says it is not ready (its health check failed)
    Busy,       // 503: its queue is full
    Exists,     // 409: a message with that id is there already
    Untrusted,  // HTTPS whose certificate did not verify
    BadAnswer,  // an answer Parlivo cannot read, too long or too slow
    // Not asked: plain HTTP to an address off the user's own network would carry the password
    // readable on the way; `message` says so
    NotOwnNetwork,
};
struct Answer {
    Outcome outcome = Outcome::Done;
    QString message; // the app's or the network's words, when not done
};

// A message's state as the app keeps it for one recipient.
enum class TextState { Pending, Processed, Sent, Delivered, Failed, Unknown };
struct RecipientState {
    QString phone;
    TextState state = TextState::Unknown;
    QString error; // for Failed
};
struct MessageStatus {
    Answer answer;
    QString id;
    TextState state = TextState::Unknown;
    QList<RecipientState> recipients;
};
// A text the phone received.
struct InboxText {
    QString id;
    QString sender;
    QDateTime when;
    QString text;
};

// GET /health: whether the app is ready.
Answer health(PhoneGateway& gateway, const PhoneLogin& login);
// GET /inbox, newest first, since `since` (at most 500): the texts and how the call ended.
// With `limit` 1 it is the cheapest call that the app answers only to the right login.
QList<InboxText> inbox(PhoneGateway& gateway, const PhoneLogin& login, const QDateTime& since,
                       Answer* answer, int limit = 500);
// POST /messages: one text to one number in international form, under `id`, a delivery
// report asked for; the app drops it when it could not send it within `ttlSeconds`.
MessageStatus sendText(PhoneGateway& gateway, const PhoneLogin& login, const QString& id,
                       const QString& number, const QString& text, int ttlSeconds);
// GET /messages/{id}.
MessageStatus statusOf(PhoneGateway& gateway, const PhoneLogin& login, const QString& id);
// The state of the text `readId` read while the next text goes, as sendText sends it: the two
// requests at once, a round trip saved.
std::pair<MessageStatus, MessageStatus>
statusOfWhileSending(PhoneGateway& gateway, const PhoneLogin& login, const QString& readId,
                     const QString& id, const QString& number, const QString& text, int ttlSeconds);
// GET /messages: the states of the texts sent since `since` (at most 500), newest first.
QList<MessageStatus> recentStates(PhoneGateway& gateway, const PhoneLogin& login,
                                  const QDateTime& since, Answer* answer);

// The app's JSON answers read, bounded; nothing for one that is not of the expected shape.
std::optional<MessageStatus> readMessageStatus(const QByteArray& json);
std::optional<QList<InboxText>> readInbox(const QByteArray& json);
std::optional<QList<MessageStatus>> readMessageStates(const QByteArray& json);
// The "message" of an error answer, cut to 200 characters; nothing when it has none.
QString errorMessageOf(const QByteArray& json);

} // namespace phone
