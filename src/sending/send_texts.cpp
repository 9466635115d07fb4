#include "sending/send_texts.h"

#include "model/send_plan.h"
#include "modem/text_modem.h"

#include <QHash>
#include <QLocale>
#include <QStringList>
#include <functional>

namespace sending {

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
               .arg(model::kGmailDailyRecipients)
               .arg(QLocale(QLocale::English).toString(model::kWorkspaceDailyRecipients))
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

namespace {
// The first three items, joined by commas, and how many more there are.
QString firstFew(const QStringList& items, const std::function<QString(const QString&)>& shown) {
    constexpr qsizetype kNamed = 3;
    QStringList few;
    for (const QString& item : items.mid(0, kNamed))
        few << shown(item);
    QString text = few.join(QLatin1String(", "));
    if (items.size() > kNamed)
        text += QStringLiteral(" and %1 more").arg(items.size() - kNamed);
    return text;
}
} // namespace

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

namespace {
QString counted(qsizetype n, const QString& one, const QString& many) {
    return QStringLiteral("%1 %2").arg(QLocale(QLocale::English).toString(n), n == 1 ? one : many);
}
QString phonesText(qsizetype n) {
    return counted(n, QStringLiteral("phone"), QStringLiteral("phones"));
}
QString recipientsText(qsizetype n) {
    return counted(n, QStringLiteral("recipient"), QStringLiteral("recipients"));
}
const QString kOffered = QStringLiteral("Parlivo keeps them and offers them again on \"Send "
                                        "Message\" when Gmail's daily allowance leaves room.");
} // namespace

namespace {
// What the user may do when a send does not fit the day's allowance: keep it all when
// nothing fits, else send `first` now and keep `rest`.
QString allowanceChoice(qsizetype fits, const QString& first, const QString& rest) {
    if (fits == 0)
        return QStringLiteral("Nothing more can go today. Keep this text and send it when the "
                              "allowance leaves room?") +
               kBreak + kBreak +
               QStringLiteral("Yes keeps it; No sends nothing and keeps nothing.");
    return QStringLiteral("Send to the first %1 now and keep the other %2 to send later?")
               .arg(first, rest) +
           kBreak + kBreak + QStringLiteral("Yes sends what fits; No sends nothing.");
}
} // namespace

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
    return text + allowanceChoice(fits, recipientsText(fits), recipientsText(needed - fits));
}

QString modemAllowanceQuestion(qsizetype recent, qsizetype needed, qsizetype partsEach,
                               qsizetype allowance, qsizetype fits) {
    const auto parts = [](qsizetype n) {
        return QLocale(QLocale::English).toString(n) +
               (n == 1 ? QStringLiteral(" text part") : QStringLiteral(" text parts"));
    };
    const QString text =
        (recent < 0 ? QStringLiteral("Parlivo could not read its record of what went in the last "
                                     "24 hours, so it does not know how much of today's allowance "
                                     "is left.")
                    : QStringLiteral("In the last 24 hours Parlivo sent %1 through this "
                                     "computer's modem.")
                          .arg(parts(recent))) +
        QStringLiteral(" This send needs %1 (%2, %3 each); you allow %4 a day (Modem Parts A Day "
                       "in the settings file), as carriers block a line that sends too many.")
            .arg(parts(needed * partsEach), phonesText(needed))
            .arg(partsEach)
            .arg(parts(allowance)) +
        kBreak + kBreak;
    if (recent < 0 || fits == needed)
        return text + QStringLiteral("Send it now? Yes sends it; No sends nothing.");
    return text + allowanceChoice(fits, phonesText(fits),
                                  QLocale(QLocale::English).toString(needed - fits));
}

QString keptSendQuestion(qsizetype phones, const QString& keptStamp, const QString& subject,
                         qsizetype uncertain, qsizetype fits, qsizetype addresses) {
    QString text = QStringLiteral("A text kept on %1 for %2 has not gone out yet (subject: "
                                  "\"%3\").")
                       .arg(keptStamp, phonesText(phones), subject.left(80));
    if (uncertain > 0)
        text += kBreak + kBreak +
                QStringLiteral("%1 of its recipients were in a message whose reply never came: "
                               "it may have gone out already, and would go again.")
                    .arg(QLocale(QLocale::English).toString(uncertain));
    if (fits < addresses)
        text += kBreak + kBreak +
                QStringLiteral("Gmail's daily allowance leaves room for %1 of its %2 now; the "
                               "rest stays kept.")
                    .arg(QLocale(QLocale::English).toString(fits), recipientsText(addresses));
    return text + kBreak + kBreak +
           QStringLiteral("Send it now? Yes sends it, No keeps it for later, Cancel drops it.") +
           kBreak + kBreak +
           QStringLiteral("Yes sends only the kept text: the text in the window stays unsent. "
                          "Press \"Send Message\" again afterwards to send that one.");
}

QString sendOutcomeMessage(const SendOutcome& o, const QString& reason) {
    QString text;
    if (o.messagesSent > 0)
        text = QStringLiteral("Sent to %1 in %2 of %3 %4; %5.")
                   .arg(phonesText(o.sentPhones.size()))
                   .arg(o.messagesSent)
                   .arg(o.messages)
                   .arg(o.batchNoun)
                   .arg(o.logged ? QStringLiteral("the log names them")
                                 : QStringLiteral("they wait for their delivery report, but the "
                                                  "log could not name them"));
    else
        text = QStringLiteral("Nothing was sent.");
    const auto asTyped = [](const QString& phone) { return phone; };
    if (!o.uncertainPhones.isEmpty())
        text +=
            kBreak + kBreak +
            QStringLiteral("The next message may have been sent: its reply never came. "
                           "It went to %1: %2. It is not in the log.")
                .arg(phonesText(o.uncertainPhones.size()), firstFew(o.uncertainPhones, asTyped));
    if (!o.unsentPhones.isEmpty())
        text += kBreak + kBreak +
                (reason.isEmpty() ? QStringLiteral("Kept for later to stay within Gmail's daily "
                                                   "allowance: %1: %2. ")
                                  : QStringLiteral("Not sent to %1: %2. "))
                    .arg(phonesText(o.unsentPhones.size()), firstFew(o.unsentPhones, asTyped)) +
                kOffered;
    if (!reason.isEmpty())
        text += kBreak + kBreak + QStringLiteral("Why:") + kBreak +
                (o.messagesSent > 0 ? QString(reason).replace(
                                          QStringLiteral("Nothing was sent."),
                                          QStringLiteral("The messages after those were not sent."))
                                    : reason);
    return text;
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

QString optedOutMessage(const QStringList& phones, bool noneLeft) {
    return (phones.size() == 1
                ? QStringLiteral("1 phone asked not to be texted: ")
                : QStringLiteral("%1 phones asked not to be texted: ").arg(phones.size())) +
           firstFew(phones, [](const QString& phone) { return phone; }) + QStringLiteral(".") +
           kBreak + kBreak +
           (noneLeft ? QStringLiteral("No other phone is listed, so nothing was sent.")
                     : QStringLiteral("They are left out of this send.")) +
           QStringLiteral(" A phone that texts START is texted again; so is one you choose "
                          "\"Text This Phone Again\" for in the phone list's right-click menu.");
}

QString repeatedRowsMessage(qsizetype rows) {
    return (rows == 1 ? QStringLiteral("1 row of the phone list repeats a phone listed before it")
                      : QStringLiteral("%1 rows of the phone list repeat phones listed before "
                                       "them")
                            .arg(rows)) +
           QStringLiteral(": each phone gets the text once. The list stays as it is.");
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
                    firstFew(phones, [](const QString& phone) { return phone; })) +
           kBreak + kBreak +
           QStringLiteral("Tick its carrier, or forget what was learned of it (right-click the "
                          "phone list), to try again.");
}

QString modemNotReadyMessage(const modem::ModemReady& ready) {
    QString why;
    switch (ready.problem) {
    case modem::ModemProblem::None:
        break;
    case modem::ModemProblem::NoService:
        why = QStringLiteral("ModemManager, the system service that runs the modem, does not "
                             "answer. Start it (or untick the modem to send by e-mail).");
        break;
    case modem::ModemProblem::NoModem:
        why = QStringLiteral("No modem that can send texts is attached. Plug it in, or untick "
                             "the modem to send by e-mail.");
        break;
    case modem::ModemProblem::SimLocked:
        why = QStringLiteral("The modem's SIM waits for its PIN. Unlock it in the system's "
                             "network settings, then send again.");
        break;
    case modem::ModemProblem::NotRegistered:
        why = QStringLiteral("The modem found no mobile network. Move where it has signal, or "
                             "check the SIM's plan, then send again.");
        break;
    case modem::ModemProblem::NotAllowed:
        why = QStringLiteral("The system does not let this session send texts through the "
                             "modem (only the person at the computer may). Send from a local "
                             "desktop session.");
        break;
    case modem::ModemProblem::Failed:
        why = QStringLiteral("The modem could not be made ready: %1").arg(ready.detail);
        break;
    }
    return QStringLiteral("Nothing was sent. ") + why;
}

QString notTextableMessage(const QStringList& rows) {
    return QStringLiteral("The modem texts phone numbers only; these rows are left out of this "
                          "send: %1. Untick the modem to send to them by e-mail.")
        .arg(firstFew(rows, [](const QString& row) { return row; }));
}

QString keptTextsAsideMessage(const QString& keptAs) {
    return QStringLiteral("Parlivo could not read all of its list of texts kept to send later. "
                          "The list was kept as it was, as %1.")
        .arg(keptAs);
}

QString progressText(const model::Progress& p) {
    const QLocale english(QLocale::English);
    QString text =
        QStringLiteral("Sent %1 of %2 %3 (%4 of %5 recipients)")
            .arg(p.batchesDone)
            .arg(p.batches)
            .arg(p.batchNoun, english.toString(p.recipientsDone), english.toString(p.recipients));
    if (p.secondsLeft >= 60)
        text += QStringLiteral("; about %1 min %2 s left at this pace")
                    .arg(p.secondsLeft / 60)
                    .arg(p.secondsLeft % 60);
    else if (p.secondsLeft > 0)
        text += QStringLiteral("; about %1 s left at this pace").arg(p.secondsLeft);
    return text;
}

} // namespace sending
