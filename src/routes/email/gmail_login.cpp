#include "routes/email/gmail_login.h"

#include <QRegularExpression>

namespace email_route {

QString passwordToSend(const QString& typed) {
    const QString password = typed.trimmed();
    static const QRegularExpression appPassword(QStringLiteral("^[A-Za-z]{4}( [A-Za-z]{4}){3}$"));
    if (appPassword.match(password).hasMatch())
        return QString(password).remove(QLatin1Char(' '));
    return password;
}

QString userAddress(const QString& userName) {
    const QString name = userName.trimmed();
    // A full address (gmail.com, googlemail.com or a Workspace domain) signs in as typed.
    if (name.contains(QLatin1Char('@')))
        return name;
    return name + QLatin1Char('@') + kMailDomain;
}

} // namespace email_route
