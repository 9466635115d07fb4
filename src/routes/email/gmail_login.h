#pragma once

#include <QString>

namespace email_route {

// The Gmail login as the window's "Gmail Login" boxes hold it.
struct Login {
    QString userName;
    QString password;
};

inline const QString kMailDomain = QStringLiteral("gmail.com");

// The trimmed user name, followed by "@" and the mail domain unless it holds an "@" already.
QString userAddress(const QString& userName);
// The password as it is sent: trimmed, and an app password typed as Google shows it (four
// groups of four letters, single blanks between) without its blanks.
QString passwordToSend(const QString& typed);

} // namespace email_route
