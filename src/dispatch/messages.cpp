#include "dispatch/messages.h"

#include <QStringList>

namespace dispatch {

namespace {
const QString kBreak = QStringLiteral("\r\n");
}

QString recipientLimitQuestion(const QString& currentSummary, const QString& allowedSummary) {
    return QStringLiteral("Your message has too many recipients (") + currentSummary +
           QStringLiteral("). ") + kBreak + kBreak +
           QStringLiteral("For more information regarding Google's sending limits, review "
                          "article ") +
           kSendingLimitsArticle + QStringLiteral(".") + kBreak + kBreak +
           QStringLiteral("Proceeding without decreasing number of phones to ") + allowedSummary +
           QStringLiteral(" may disable Your Google account.") + kBreak + kBreak +
           QStringLiteral("Proceed anyway?");
}

QString loginQuestion() {
    return QStringLiteral("Message could not be sent to the SMTP server.") + kBreak + kBreak +
           QStringLiteral("Please double-check your username and password.") + kBreak + kBreak +
           QStringLiteral("In addition, please check your Gmail Inbox for a message from Google "
                          "about Less Secure Apps.") +
           kBreak + kBreak +
           QStringLiteral("Would you like to see a screenshot/picture of the Less Secure Apps "
                          "email so you know exactly what I'm talking about?");
}

QString tooManyRecipientsMessage(const QString& currentSummary, const QString& allowedSummary) {
    return QStringLiteral("Message could not be sent to the SMTP server.") + kBreak + kBreak +
           QStringLiteral("Your message has too many recipients. (") + currentSummary +
           QStringLiteral("). ") + kBreak + kBreak +
           QStringLiteral("For more information regarding Google's sending limits, review "
                          "article ") +
           kSendingLimitsArticle + QStringLiteral(".") + kBreak + kBreak +
           QStringLiteral("Please decrease number of phones to ") + allowedSummary +
           QStringLiteral(" to not disable Your Google account.");
}

QString unreachableMessage(const QString& reason) {
    return QStringLiteral("Message could not be sent: %1 could not be reached on port %2.")
               .arg(kSmtpHost)
               .arg(kSmtpPort) +
           kBreak + kBreak + QStringLiteral("Reason: ") + reason + kBreak + kBreak +
           QStringLiteral("Please check your Internet connection, then send again.");
}

QString untrustedMessage(const QString& reason) {
    return QStringLiteral("Message could not be sent: the identity of %1 could not be verified, "
                          "so neither your password nor your message was sent.")
               .arg(kSmtpHost) +
           kBreak + kBreak + QStringLiteral("Reason: ") + reason + kBreak + kBreak +
           QStringLiteral("Networks that intercept secure connections (some public or company "
                          "networks) cause this; try another network.");
}

QString addressesRefusedMessage(const QStringList& addresses, const QString& serverReply) {
    constexpr qsizetype kNamed = 3;
    QString named = addresses.mid(0, kNamed).join(QLatin1String(", "));
    if (addresses.size() > kNamed)
        named += QStringLiteral(" and %1 more").arg(addresses.size() - kNamed);
    return QStringLiteral("Message could not be sent: the server refused ") +
           (addresses.size() == 1 ? QStringLiteral("the address ")
                                  : QStringLiteral("these addresses: ")) +
           named + QStringLiteral(".") + kBreak + kBreak + QStringLiteral("Server reply: ") +
           serverReply + kBreak + kBreak +
           QStringLiteral("Nothing was sent. Check the phone numbers and carriers, then send "
                          "again.");
}

namespace {
QString firstFew(const QStringList& items) {
    constexpr qsizetype kNamed = 3;
    QStringList quoted;
    for (const QString& item : items.mid(0, kNamed))
        quoted << QLatin1Char('"') + item.left(80) + QLatin1Char('"');
    QString text = quoted.join(QLatin1String(", "));
    if (items.size() > kNamed)
        text += QStringLiteral(" and %1 more").arg(items.size() - kNamed);
    return text;
}
} // namespace

QString unusableAddressesMessage(const QStringList& phones, const QStringList& carriers) {
    if (phones.isEmpty() && carriers.isEmpty())
        return {};
    QString text = QStringLiteral("Message not sent: these entries cannot form e-mail addresses.");
    if (!phones.isEmpty())
        text += kBreak + kBreak + QStringLiteral("Phone numbers: ") + firstFew(phones);
    if (!carriers.isEmpty())
        text += kBreak + kBreak + QStringLiteral("Carriers: ") + firstFew(carriers);
    return text + kBreak + kBreak +
           QStringLiteral("A phone number may hold letters, digits, dots and hyphens (no blanks, "
                          "commas, brackets or quotes); a carrier is a domain name such as "
                          "vtext.com. Correct or remove them, then send again.");
}

QString unusableUserNameMessage(const QString& userAddress) {
    return QStringLiteral("Message not sent: the user name \"%1\" does not make a valid Gmail "
                          "address.")
               .arg(userAddress.left(80)) +
           kBreak + kBreak +
           QStringLiteral("Type your Gmail user name (the part before @gmail.com) or your whole "
                          "address.");
}

QString helpText() {
    const QStringList paragraphs{
        QStringLiteral("IMAP must be enabled on your Gmail account to use this software. "),
        QStringLiteral("To do this, login into your Gmail account with your regular internet "
                       "browser."),
        QStringLiteral("Click on 'Settings', click on 'Forwarding and POP/IMAP', click on 'Enable "
                       "IMAP' option"),
        QStringLiteral("Click on 'Save Changes'"),
        QStringLiteral("Also, English must be enabled ('Settings' > 'Language' > 'English')."),
        QStringLiteral("This software does not support domain logins such as "
                       "someone@yourcompany.com"),
    };
    return paragraphs.join(QStringLiteral("\r\r"));
}

} // namespace dispatch
