#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

namespace phone {

// The most an answer of the phone's app may hold (an inbox of 500 texts fits), and how long
// one may take from the request to its last byte.
inline constexpr qint64 kLongestAnswer = 1024 * 1024;
inline constexpr int kAnswerLimitMs = 10000;

// Where the phone's app listens and how Parlivo signs in to it.
struct PhoneLogin {
    QUrl base; // scheme, host and port: "http://192.168.1.20:8080"
    QString user;
    QString password;
};

// What came back for one request: the HTTP status and body, or why nothing usable came.
struct HttpAnswer {
    enum class Problem {
        None,          // `status` and `body` as the app sent them
        NoAnswer,      // no connection, or it broke before the answer ended
        TimedOut,      // not whole within kAnswerLimitMs
        TooLong,       // longer than kLongestAnswer
        Untrusted,     // HTTPS whose certificate or host name did not verify
        NotOwnNetwork, // nothing sent: plain HTTP off the user's own network (`reason` says)
    };
    Problem problem = Problem::None;
    int status = 0;
    QByteArray body;
    QString reason; // the network's words, when there was a problem
};

// One request to the phone's app: `path` with its query; `body` JSON for a POST, nothing for
// a GET.
struct HttpRequest {
    QByteArray method;
    QString path;
    QByteArray body;
};

// The phone's app over HTTP, each answer within the limits above, on the event loop so that
// the window keeps painting. Follows no redirect.
class PhoneGateway {
  public:
    virtual ~PhoneGateway() = default;
    // The requests at once, each on a connection of its own, their answers in their order;
    // the time limit counts for all of them together.
    virtual QList<HttpAnswer> askTogether(const PhoneLogin& login,
                                          const QList<HttpRequest>& requests) = 0;
    HttpAnswer ask(const PhoneLogin& login, const QByteArray& method, const QString& path,
                   const QByteArray& body) {
        return askTogether(login, {{method, path, body}}).value(0);
    }
};

} // namespace phone
