#include "dispatch/send_command.h"

#include "core/error_report.h"
#include "core/pointer.h"
#include "core/procedure.h"
#include "core/shared.h"
#include "dispatch/delivery_check.h"
#include "dispatch/messages.h"
#include "dispatch/recipient_expansion.h"
#include "dispatch/sent_log.h"
#include "mail/mail_submitter.h"
#include "mail/mime_message.h"
#include "platform/clock.h"
#include "platform/desktop.h"
#include "recipients/list_rows.h"
#include "recipients/summary.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QTreeWidget>

namespace dispatch {

using core::Procedure;
using platform::Answer;
using platform::Buttons;
using platform::Icon;

namespace {

QString currentSummary(const DispatchControls& c) {
    return recipients::recipientSummaryText(core::toInteger(recipients::rowCount(c.phoneList)), 0,
                                            recipients::CountCheckedCarriers(c.carrierList));
}

QString allowedSummary(const DispatchControls& c) {
    return recipients::recipientSummaryText(1, kRecipientLimit,
                                            recipients::CountCheckedCarriers(c.carrierList));
}

QStringList phoneTexts(const QTreeWidget* list) {
    QStringList texts;
    const int count = list->topLevelItemCount();
    texts.reserve(count);
    for (int i = 0; i < count; ++i)
        texts << list->topLevelItem(i)->text(0);
    return texts;
}

QStringList tickedDomains(const QTreeWidget* list) {
    QStringList domains;
    const int count = list->topLevelItemCount();
    for (int i = 0; i < count; ++i)
        if (list->topLevelItem(i)->checkState(0) == Qt::Checked)
            domains << list->topLevelItem(i)->text(0);
    return domains;
}

// The recipients submitted in the last 24 hours, as the pending sends remember them, and
// when the oldest of those sends leaves the window.
QString dailyLimitText(const DispatchControls& c, const QString& serverReply) {
    const QDateTime now = c.clock.now().toUTC();
    qsizetype recipients = 0;
    QDateTime oldest;
    for (const PendingSend& send : loadPendingSends(c.pendingPath)) {
        if (send.sentUtc.secsTo(now) >= 24 * 3600)
            continue;
        recipients += send.addresses.size();
        if (!oldest.isValid() || send.sentUtc < oldest)
            oldest = send.sentUtc;
    }
    return dailyLimitMessage(serverReply, recipients,
                             oldest.isValid() ? logStamp(oldest.addDays(1).toLocalTime())
                                              : QString());
}

void throwIfFailed(const DispatchControls& c, const mail::SubmitResult& result) {
    using mail::MailFailure;
    switch (result.failure) {
    case MailFailure::None:
        return;
    case MailFailure::Unreachable:
        throw core::Failure(kServerUnreachable,
                            unreachableMessage(result.description, result.triedPorts.isEmpty()
                                                                       ? QString::number(kSmtpPort)
                                                                       : result.triedPorts));
    case MailFailure::Untrusted:
        throw core::Failure(kServerUntrusted, untrustedMessage(result.description));
    case MailFailure::LoginRefused:
        throw core::Failure(kMailNotDelivered, loginQuestion(LoginRefusal::Credentials));
    case MailFailure::AppPasswordRequired:
        throw core::Failure(kMailNotDelivered, loginQuestion(LoginRefusal::AppPasswordOnly));
    case MailFailure::WebLoginRequired:
        throw core::Failure(kMailNotDelivered, loginQuestion(LoginRefusal::BrowserSignInFirst));
    case MailFailure::TooManyLogins:
        throw core::Failure(kMailRefused, tooManyLoginsMessage(result.serverReply));
    case MailFailure::DailyLimit:
        throw core::Failure(kMailRefused, dailyLimitText(c, result.serverReply));
    case MailFailure::TryLater:
        throw core::Failure(kMailRefused, tryLaterMessage(result.serverReply));
    case MailFailure::TooManyRecipients:
        throw core::Failure(kRecipientsRefused, result.description);
    case MailFailure::AddressRefused:
        throw core::Failure(kAddressesRefused,
                            addressesRefusedMessage(result.refusedAddresses, result.serverReply));
    case MailFailure::ContentRefused:
        throw core::Failure(kMailRefused, contentRefusedMessage(result.serverReply));
    case MailFailure::Refused:
        throw core::Failure(kMailRefused, refusedMessage(result.refusedStep, result.serverReply));
    case MailFailure::General:
        throw core::Failure(kMailFailed, result.description);
    }
}

constexpr int kSubmitLine = 182;

// The send's own answer to failures it can explain. A failed submission always ends the
// send: a message that did not go out is neither logged nor reported as done.
bool explainSendFailure(const DispatchControls& c, const core::Failure& failure, int line) {
    if (failure.number() == kMailNotDelivered) {
        c.pointer.setStyle(core::kDefaultPointer);
        const Answer answer = c.desktop.messageBox(failure.description(), Buttons::YesNo,
                                                   Icon::None, c.applicationTitle);
        if (answer == Answer::Yes) {
            core::OpenDocument(
                c.desktop, core::programFile(c.programFolder, "Pictures/less-secure-apps1.jpg"));
            core::OpenDocument(
                c.desktop, core::programFile(c.programFolder, "Pictures/less-secure-apps2.jpg"));
        }
        return true;
    }
    if (failure.number() == kRecipientsRefused) {
        c.pointer.setStyle(core::kDefaultPointer);
        c.desktop.messageBox(tooManyRecipientsMessage(currentSummary(c), allowedSummary(c)),
                             Buttons::Ok, Icon::None, c.applicationTitle);
        return true;
    }
    if (failure.number() == kServerUnreachable || failure.number() == kServerUntrusted ||
        failure.number() == kAddressesRefused || failure.number() == kMailRefused) {
        c.pointer.setStyle(core::kDefaultPointer);
        c.desktop.messageBox(failure.description(), Buttons::Ok, Icon::None, c.applicationTitle);
        return true;
    }
    if (line == kSubmitLine) {
        core::showErrorReport(c.desktop, core::qualifiedName("Form1", "PushButton1_Click"), line,
                              failure.description());
        c.pointer.setStyle(core::kDefaultPointer);
        return true;
    }
    return false;
}

QString addressProblem(const DispatchControls& c, const QStringList& phones,
                       const QStringList& domains) {
    const QString user = userAddress(c.userName);
    if (!mail::isMailbox(user))
        return unusableUserNameMessage(user);
    QStringList badPhones;
    qsizetype longestPhone = 0;
    for (const QString& phone : phones) {
        if (!mail::isLocalPart(phone) && !badPhones.contains(phone))
            badPhones << phone;
        longestPhone = qMax(longestPhone, phone.size());
    }
    QStringList badDomains;
    for (const QString& domain : domains)
        if ((!mail::isDomain(domain) || longestPhone + 1 + domain.size() > mail::kLongestAddress) &&
            !badDomains.contains(domain))
            badDomains << domain;
    return unusableAddressesMessage(badPhones, badDomains);
}

} // namespace

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

void sendMessage(const DispatchControls& c) {
    Procedure p(c.desktop, core::qualifiedName("Form1", "PushButton1_Click"),
                [&c](const core::Failure& failure, int line) {
                    return explainSendFailure(c, failure, line);
                });
    bool goAhead = false;
    p.step(100, [&] { goAhead = false; });
    if (p.opensBlock(102, [&] {
            const qint32 phones = core::toInteger(recipients::rowCount(c.phoneList));
            return phones * qint32(recipients::CountCheckedCarriers(c.carrierList)) >
                   kRecipientLimit;
        })) {
        if (p.opensBlock(104, [&] {
                return c.desktop.messageBox(
                           recipientLimitQuestion(currentSummary(c), allowedSummary(c)),
                           Buttons::YesNo, Icon::None, c.applicationTitle) == Answer::Yes;
            }))
            p.step(106, [&] { goAhead = true; });
    } else {
        p.step(108, [&] { goAhead = true; });
    }
    if (p.skipsAhead(110, [&] { return !goAhead; }))
        return;

    Expansion expansion;
    bool expanded = false;
    QStringList phones;
    QStringList domains;
    if (p.opensBlock(112, [&] { return recipients::rowCount(c.phoneList) > 0; })) {
        p.step(118, [&] {
            // Rows are counted in 16 bits: longer lists are an Overflow, not a send.
            core::toInteger(recipients::rowCount(c.phoneList));
            core::toInteger(recipients::rowCount(c.carrierList));
            phones = phoneTexts(c.phoneList);
            domains = tickedDomains(c.carrierList);
            expansion = expandRecipients(phones, domains);
            expanded = true;
        });
    } else {
        p.step(138, [&] {
            c.desktop.messageBox(QStringLiteral("No phone numbers."), Buttons::Ok, Icon::None,
                                 c.applicationTitle);
        });
        return;
    }
    if (p.ended())
        return;
    if (expanded && domains.isEmpty()) {
        c.desktop.messageBox(QStringLiteral("No carriers ticked."), Buttons::Ok, Icon::None,
                             c.applicationTitle);
        return;
    }
    // Every address is checked before connecting: what cannot be an address is named, and
    // nothing goes out.
    if (const QString problem = addressProblem(c, phones, domains); !problem.isEmpty()) {
        c.desktop.messageBox(problem, Buttons::Ok, Icon::None, c.applicationTitle);
        return;
    }
    p.step(140, [&] { c.pointer.setStyle(core::kBusyPointer); });

    mail::MailMessage message;
    p.step(158, [&] { message.userAddress = userAddress(c.userName); });
    p.step(160, [&] { message.password = passwordToSend(c.password); });
    p.step(168, [&] {
        message.toHeader = expansion.recipients;
        message.recipients = expansion.recipients.isEmpty()
                                 ? QStringList()
                                 : expansion.recipients.split(QLatin1Char(','));
    });
    p.step(172, [&] { message.subject = c.subject; });
    p.step(174, [&] { message.body = c.body; });
    QString messageId;
    p.step(kSubmitLine, [&] {
        const mail::SubmitResult result = c.mail.submit(message);
        throwIfFailed(c, result);
        messageId = result.messageId;
    });

    QString record;
    QString keptAs;
    p.step(184, [&] {
        const QDateTime when = c.clock.now();
        record = sentLogRecord(when, expansion.phones, c.subject, c.body);
        if (!messageId.isEmpty() && !c.pendingPath.isEmpty())
            keptAs = rememberSend(c.pendingPath, {messageId,
                                                  when.toUTC(),
                                                  logStamp(when),
                                                  c.subject,
                                                  message.recipients,
                                                  {},
                                                  false});
    });
    if (!keptAs.isEmpty())
        c.desktop.messageBox(pendingKeptAsideMessage(keptAs), Buttons::Ok, Icon::None,
                             c.applicationTitle);
    p.step(186, [&] { WriteSentLog(c.logPath, record); });
    p.step(188, [&] { c.pointer.setStyle(core::kDefaultPointer); });
    p.step(190, [&] {
        c.desktop.messageBox(QStringLiteral("Done."), Buttons::Ok, Icon::None, c.applicationTitle);
    });
}

void viewLog(const DispatchControls& c) {
    Procedure p(c.desktop, core::qualifiedName("Form1", "PushButton2_Click"));
    QString path;
    p.step(100, [&] { path = c.logPath; });
    // First the log is brought up to date with what the mailbox says of recent sends.
    if (c.mailbox && c.deliveryMemory) {
        const int pointer = c.pointer.style();
        c.pointer.setStyle(core::kBusyPointer);
        QString keptAs;
        try {
            keptAs = bringLogUpToDate(*c.mailbox, *c.deliveryMemory, c.pendingPath, path,
                                      userAddress(c.userName), passwordToSend(c.password),
                                      c.clock.now());
        } catch (...) {
            // The log opens as it is; pending sends wait for the next time.
        }
        c.pointer.setStyle(pointer);
        if (!keptAs.isEmpty())
            c.desktop.messageBox(pendingKeptAsideMessage(keptAs), Buttons::Ok, Icon::None,
                                 c.applicationTitle);
    }
    if (p.opensBlock(102, [&] { return QFileInfo(path).isFile(); })) {
        p.step(104, [&] {
            if (!c.desktop.startViewer(path))
                throw core::Failure(core::failure_number::FileNotFound,
                                    QStringLiteral("No program could be started to show the log."));
        });
    } else {
        p.step(106, [&] {
            c.desktop.messageBox(QStringLiteral("No message sent has been stored."), Buttons::Ok,
                                 Icon::None, c.applicationTitle);
        });
    }
}

void showHelp(const DispatchControls& c) {
    Procedure p(c.desktop, core::qualifiedName("Form1", "PushButton8_Click"));
    p.step(112,
           [&] { c.desktop.messageBox(helpText(), Buttons::Ok, Icon::None, c.applicationTitle); });
}

} // namespace dispatch
