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
