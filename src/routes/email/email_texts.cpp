#include "routes/email/email_texts.h"

#include "core/error_report.h"
#include "recipients/lists.h"
#include "recipients/summary.h"
#include "sending/send_texts.h"

#include <QHash>
#include <QLocale>
#include <QStringList>

namespace email_route {

using sending::firstFew;
using sending::recipientsText;

namespace {
const QString kBreak = QStringLiteral("\r\n");
}

QString recipientSummary(const model::OutgoingText& text) {
    return recipients::recipientSummaryText(core::toInteger(text.phones.size()), 0,
                                            recipients::CountCheckedCarriers(text.carriers));
}

QString allowedRecipientSummary(const model::OutgoingText& text) {
    return recipients::recipientSummaryText(1, kRecipientLimit,
                                            recipients::CountCheckedCarriers(text.carriers));
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

QString loginQuestion(LoginRefusal why) {
    QString opening;
    switch (why) {
    case LoginRefusal::Credentials:
        opening = QStringLiteral("Gmail did not accept the user name and password.");
        break;
    case LoginRefusal::AppPasswordOnly:
        opening = QStringLiteral("Gmail requires an app password for this account: your "
                                 "Google Account password cannot be used here.");
        break;
    case LoginRefusal::BrowserSignInFirst:
        opening = QStringLiteral("Gmail asks you to sign in to this account once in a web "
                                 "browser (https://mail.google.com) and follow what Google asks "
                                 "there; then send again.");
        break;
    }
    return QStringLiteral("Message could not be sent to the SMTP server.") + kBreak + kBreak +
           opening + kBreak + kBreak +
           QStringLiteral("Gmail accepts only an app password from programs like this one. "
                          "To make one: turn on 2-Step Verification in your Google Account, "
                          "then create an app password in its security settings (search for "
                          "\"App passwords\"), and type its 16 letters here as the password.") +
           kBreak + kBreak +
           QStringLiteral("Would you like to see pictures of where the app password page is and "
                          "what an app password looks like?");
}

QString dailyLimitMessage(const QString& serverReply, qsizetype recentRecipients,
                          const QString& windowFrees) {
    QString recent = QStringLiteral("In the last 24 hours Parlivo submitted %1 recipient%2 "
                                    "through Gmail.")
                         .arg(recentRecipients)
                         .arg(recentRecipients == 1 ? QString() : QStringLiteral("s"));
    recent += windowFrees.isEmpty()
                  ? QStringLiteral(" Other programs or the web may have used the limit; it "
                                   "frees up within 24 hours.")
                  : QStringLiteral(" The oldest of those sends leaves the 24-hour window at "
                                   "%1.")
                        .arg(windowFrees);
    return QStringLiteral("Message could not be sent: Gmail's daily sending limit is reached.") +
           kBreak + kBreak + QStringLiteral("Server reply: ") + serverReply + kBreak + kBreak +
           recent + kBreak + kBreak +
           QStringLiteral("Gmail allows about %1 recipients a day for a Gmail account and %2 "
                          "for Google Workspace (%3). Nothing was sent.")
               .arg(kGmailDailyRecipients)
               .arg(QLocale(QLocale::English).toString(kWorkspaceDailyRecipients))
               .arg(kSendingLimitsArticle);
}

QString tryLaterMessage(const QString& serverReply) {
    return QStringLiteral("Gmail did not take the message this time.") + kBreak + kBreak +
           QStringLiteral("Server reply: ") + serverReply + kBreak + kBreak +
           QStringLiteral("Nothing was sent. This refusal is temporary: try again in a few "
                          "minutes.");
}

QString tooManyLoginsMessage(const QString& serverReply) {
    return QStringLiteral("Message could not be sent: Gmail has seen too many login attempts "
                          "and asks you to wait.") +
           kBreak + kBreak + QStringLiteral("Server reply: ") + serverReply + kBreak + kBreak +
           QStringLiteral("Nothing was sent. Your password need not change: wait a few "
                          "minutes, then send again.");
}

QString contentRefusedMessage(const QString& serverReply) {
    return QStringLiteral("Message could not be sent: Gmail refused this message.") + kBreak +
           kBreak + QStringLiteral("Server reply: ") + serverReply + kBreak + kBreak +
           QStringLiteral("Nothing was sent. Gmail refuses messages for what they hold; "
                          "changing the text may help.");
}

QString refusedMessage(const QString& step, const QString& serverReply) {
    static const QHash<QString, QString> words{
        {QStringLiteral("CONNECT"), QStringLiteral("the connection")},
        {QStringLiteral("AUTH"), QStringLiteral("the login")},
        {QStringLiteral("MAIL"), QStringLiteral("the sender (MAIL)")},
        {QStringLiteral("RCPT"), QStringLiteral("a recipient (RCPT)")},
    };
    return QStringLiteral("Message could not be sent: the server refused %1.")
               .arg(words.value(step, step)) +
           kBreak + kBreak + QStringLiteral("Server reply: ") + serverReply + kBreak + kBreak +
           QStringLiteral("Nothing was sent.");
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

QString unreachableMessage(const QString& reason, const QString& ports) {
    return QStringLiteral("Message could not be sent: %1 could not be reached on port %2.")
               .arg(kSmtpHost, ports) +
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

QString addressesRefusedMessage(const QStringList& addresses, const QString& serverReply,
                                const QStringList& deferred) {
    const auto asTyped = [](const QString& address) { return address; };
    const QString named = firstFew(addresses, asTyped);
    QString text = QStringLiteral("Message could not be sent: the server refused ") +
                   (addresses.size() == 1 ? QStringLiteral("the address ")
                                          : QStringLiteral("these addresses: ")) +
                   named + QStringLiteral(".") + kBreak + kBreak +
                   QStringLiteral("Server reply: ") + serverReply + kBreak + kBreak;
    if (!deferred.isEmpty())
        text += QStringLiteral("Refused only for now (these may go through later): ") +
                firstFew(deferred, asTyped) + QStringLiteral(".") + kBreak + kBreak;
    return text + QStringLiteral("Nothing was sent. Check the phone numbers and carriers, then "
                                 "send again.");
}

namespace {
QString quotedFew(const QStringList& items) {
    return firstFew(items, [](const QString& item) {
        return QLatin1Char('"') + item.left(80) + QLatin1Char('"');
    });
}
} // namespace

QString unusableAddressesMessage(const QStringList& phones, const QStringList& carriers) {
    if (phones.isEmpty() && carriers.isEmpty())
        return {};
    QString text = QStringLiteral("Message not sent: these entries cannot form e-mail addresses.");
    if (!phones.isEmpty())
        text += kBreak + kBreak + QStringLiteral("Phone numbers: ") + quotedFew(phones);
    if (!carriers.isEmpty())
        text += kBreak + kBreak + QStringLiteral("Carriers: ") + quotedFew(carriers);
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

QString allowanceQuestion(qsizetype recent, qsizetype needed, qsizetype allowance, qsizetype fits) {
    if (recent < 0)
        return QStringLiteral("Parlivo could not read its record of what went in the last 24 "
                              "hours, so it does not know how much of today's allowance is "
                              "left. This send needs %1; Gmail takes about %2 a day.")
                   .arg(recipientsText(needed), recipientsText(allowance)) +
               kBreak + kBreak + QStringLiteral("Send it now? Yes sends it; No sends nothing.");
    QString text =
        QStringLiteral("In the last 24 hours Parlivo submitted %1 through this Gmail "
                       "account, and this send needs %2. Gmail takes about %3 a "
                       "day.")
            .arg(recipientsText(recent), recipientsText(needed), recipientsText(allowance)) +
        kBreak + kBreak;
    return text +
           sending::allowanceChoice(fits, recipientsText(fits), recipientsText(needed - fits));
}

QString partlyTakenMessage(int number, qsizetype taken, qsizetype recipients,
                           const QString& serverReply) {
    return QStringLiteral("The server took message %1 for %2 of its %3 recipients and refused "
                          "the other %4.")
               .arg(number)
               .arg(taken)
               .arg(recipients)
               .arg(recipients - taken) +
           kBreak + kBreak + QStringLiteral("Server reply: ") + serverReply;
}

QString closedGatewayQuestion(const QString& domain) {
    return QStringLiteral("The gateway %1 refused every address in each of the last three "
                          "checked sends: it has most likely closed.")
               .arg(domain) +
           kBreak + kBreak +
           QStringLiteral("Untick it and send without it? (No sends to it as well.)");
}

QString leftOutMessage(const QStringList& phones) {
    return QStringLiteral("Left out of this send: every ticked carrier refused %1 for good: %2.")
               .arg(phones.size() == 1 ? QStringLiteral("this phone")
                                       : QStringLiteral("these %1 phones").arg(phones.size()),
                    firstFew(phones)) +
           kBreak + kBreak +
           QStringLiteral("Tick its carrier, or forget what was learned of it (right-click the "
                          "phone list), to try again.");
}

} // namespace email_route
