#pragma once

#include <QString>

namespace mail {

// Where and how the mail layer connects, for sending (SMTP) and for reading the mailbox
// (IMAP, with its own limits: see gmailImapOptions).
struct MailOptions {
    QString host = QStringLiteral("smtp.gmail.com"); // the name the certificate must carry
    quint16 port = 465;
    QString connectAddress;  // empty: the host; tests aim at a local server under the host's name
    quint16 connectPort = 0; // 0: the port
    // Where to try with STARTTLS when the port refuses or never answers; 0: nowhere.
    quint16 fallbackPort = 587;
    quint16 fallbackConnectPort = 0; // 0: the fallback port
    QString caFile;                  // empty: the system's CA store
    int connectTimeoutMs = 30000;    // connection, TLS and greeting
    int stallMs = 60000;             // no byte in either direction for this long ends the send
    int deadlineMs = 180000;         // a whole send never takes longer
};

// Where and how long: imap.gmail.com:993, 5 s to sign in, 8 s in all.
inline MailOptions gmailImapOptions() {
    MailOptions options;
    options.host = QStringLiteral("imap.gmail.com");
    options.port = 993;
    options.fallbackPort = 0;
    options.connectTimeoutMs = 5000;
    options.stallMs = 8000;
    options.deadlineMs = 8000;
    return options;
}

} // namespace mail
