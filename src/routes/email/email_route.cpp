#include "routes/email/email_route.h"

#include "core/error_report.h"
#include "platform/desktop.h"
#include "recipients/carrier_table.h"
#include "recipients/phone_rules.h"
#include "recipients/summary.h"
#include "routes/email/email_texts.h"
#include "routes/email/mail/mail_submitter.h"
#include "routes/email/mail/mime_message.h"
#include "routes/email/send_failure.h"

#include <QSet>
#include <algorithm>
#include <utility>

namespace email_route {

using model::PhoneTarget;
using model::Targets;
using platform::Answer;
using platform::Buttons;
using platform::Icon;
using recipients::isFullAddress;

namespace {
constexpr qsizetype kClosedAfterAddresses = 10;

// What cannot be an address is named before connecting, and nothing goes out.
QString addressProblem(const QString& userName, const Targets& targets) {
    const QString user = userAddress(userName);
    if (!mail::isMailbox(user))
        return unusableUserNameMessage(user);
    QStringList badPhones;
    QStringList domains;
    qsizetype longestPhone = 0;
    for (const PhoneTarget& target : targets) {
        const bool full = target.gateways.isEmpty();
        if (!(full ? mail::isMailbox(target.phone) : mail::isLocalPart(target.phone)) &&
            !badPhones.contains(target.phone))
            badPhones << target.phone;
        if (!full)
            longestPhone = qMax(longestPhone, target.phone.size());
        for (const QString& domain : target.gateways)
            if (!domains.contains(domain))
                domains << domain;
    }
    QStringList badDomains;
    for (const QString& domain : std::as_const(domains))
        if (!mail::isDomain(domain) || longestPhone + 1 + domain.size() > mail::kLongestAddress)
            badDomains << domain;
    return unusableAddressesMessage(badPhones, badDomains);
}

// What makes two rows one phone: a whole address in any case, a number by its last ten
// digits (as replies are matched), anything else as typed.
QString phoneKey(const QString& row) {
    // Most rows are digits alone: their key is their own last ten, with no copy made.
    if (std::all_of(row.cbegin(), row.cend(), [](QChar c) { return c.isDigit(); }))
        return row.size() >= 7 ? row.right(10) : row;
    if (isFullAddress(row))
        return row.toLower();
    const QString digits = recipients::lastTenDigits(row);
    return digits.size() >= 7 ? digits : row;
}

mail::MailMessage messageOf(const Login& login, const model::TextToSend& text) {
    mail::MailMessage message;
    message.userAddress = userAddress(login.userName);
    message.password = passwordToSend(login.password);
    message.subject = text.subject;
    message.body = text.body;
    return message;
}
} // namespace

EmailRoute::EmailRoute(const model::CommandContext& c, mail::MailSubmitter& mail, Login login,
                       const QList<model::PendingSend>& sent, const model::Knowledge& known,
                       qsizetype allowance)
    : c_(c), mail_(mail), login_(std::move(login)), sent_(sent), known_(known),
      allowance_(allowance) {}

model::RouteWords EmailRoute::words() const {
    return {QStringLiteral("message"), QStringLiteral("messages"),
            QStringLiteral("reply never came"), QStringLiteral("Gmail's daily allowance"), kBy};
}

bool EmailRoute::hasWhatItNeeds() const {
    return mail::isMailbox(userAddress(login_.userName)) && !login_.password.isEmpty();
}

QString EmailRoute::allowanceQuestion(qsizetype recent, qsizetype needed, qsizetype,
                                      qsizetype fits) const {
    return email_route::allowanceQuestion(recent, needed, allowance_, fits);
}

model::SendPlan EmailRoute::plan(const model::OutgoingText& text) {
    const auto tell = [this](const QString& message) {
        c_.desktop.messageBox(message, Buttons::Ok, Icon::None, c_.applicationTitle);
    };
    // A ticked gateway that refused everything of late is named before anything goes to it.
    QStringList domains = recipients::tickedDomains(text.carriers);
    QList<qsizetype> unticked;
    for (const QString& closed : closedGateways(known_, domains)) {
        if (c_.desktop.messageBox(closedGatewayQuestion(closed), Buttons::YesNo, Icon::None,
                                  c_.applicationTitle) != Answer::Yes)
            continue;
        domains.removeAll(closed);
        for (qsizetype row = 0; row < text.carriers.size(); ++row)
            if (text.carriers[row].ticked && text.carriers[row].text == closed)
                unticked << row;
    }
    model::SendPlan plan = planRecipients(text.phones, domains, known_);
    plan.untickedCarriers = unticked;
    plan.ready = false;
    // Rows that are whole addresses need no carrier.
    if (domains.isEmpty() &&
        !std::all_of(text.phones.cbegin(), text.phones.cend(), isFullAddress)) {
        tell(QStringLiteral("No carriers ticked."));
        return plan;
    }
    if (const QString problem = addressProblem(login_.userName, plan.targets); !problem.isEmpty()) {
        tell(problem);
        return plan;
    }
    if (!plan.leftOut.isEmpty())
        tell(leftOutMessage(plan.leftOut));
    plan.ready = !plan.targets.isEmpty();
    return plan;
}

QString EmailRoute::questionBefore(const model::OutgoingText& text,
                                   const model::SendPlan& plan) const {
    if (model::recipientCount(plan.targets) <= kRecipientLimit)
        return {};
    // The phones counted once each, as they go.
    return recipientLimitQuestion(
        recipients::recipientSummaryText(core::toInteger(plan.targets.size()), 0,
                                         recipients::CountCheckedCarriers(text.carriers)),
        allowedRecipientSummary(text));
}

QList<Targets> EmailRoute::batches(const Targets& targets) const {
    return recipientGroups(targets, kRecipientLimit);
}

model::RouteResult EmailRoute::sendEach(const model::TextToSend& text,
                                        const QList<Targets>& batches,
                                        const model::RouteSteps& steps) {
    if (batches.size() == 1) { // one message goes as a send of one message always has
        mail::MailMessage message = messageOf(login_, text);
        message.recipients = model::addressesOf(batches.first());
        message.toHeader = message.recipients.join(QLatin1Char(','));
        steps.sending(0);
        const mail::SubmitResult sent = mail_.submit(message);
        model::RouteResult result;
        if (!sent.succeeded()) {
            result.failure = sendFailureOf(sent, sent_, c_.clock);
            return result;
        }
        result.taken = 1;
        steps.taken(0, sent.messageId, {});
        return result;
    }
    QList<QStringList> groups;
    for (const Targets& batch : batches)
        groups << model::addressesOf(batch);
    int partlyTaken = -1; // a message the server took for only some of its recipients
    qsizetype partlyTakenFor = 0;
    mail::BatchSteps told;
    told.sending = steps.sending;
    told.goOn = steps.goOn;
    told.accepted = [&](int index, const QString& messageId, const QStringList& refused) {
        if (!refused.isEmpty()) {
            partlyTaken = index;
            partlyTakenFor = groups[index].size() - refused.size();
        }
        steps.taken(index, messageId, refused);
    };
    const mail::BatchResult sent = mail_.submitEach(messageOf(login_, text), groups, told);
    model::RouteResult result;
    result.taken = int(sent.messageIds.size());
    result.nextMayHaveGone = sent.nextMayHaveGone;
    result.stopped = sent.stopped;
    if (partlyTaken >= 0)
        result.failure = core::Failure(
            kMailRefused, partlyTakenMessage(partlyTaken + 1, partlyTakenFor,
                                             groups[partlyTaken].size(), sent.stop.serverReply));
    else if (!sent.stop.succeeded())
        result.failure = sendFailureOf(sent.stop, sent_, c_.clock);
    return result;
}

bool EmailRoute::explain(const model::OutgoingText& text, const core::Failure& failure, int line) {
    return explainSendFailure(c_, text, failure, line);
}

model::SendPlan planRecipients(const QStringList& phones, const QStringList& tickedDomains,
                               const model::Knowledge& known) {
    model::SendPlan plan;
    plan.targets.reserve(phones.size());
    QSet<QString> seen;
    seen.reserve(phones.size());
    for (const QString& phone : phones) {
        if (const QString key = phoneKey(phone); seen.contains(key)) {
            ++plan.repeatedRows;
            continue;
        } else {
            seen.insert(key);
        }
        if (known.phones.isEmpty() || isFullAddress(phone)) {
            if (isFullAddress(phone) || !tickedDomains.isEmpty())
                plan.targets << PhoneTarget{phone,
                                            isFullAddress(phone) ? QStringList() : tickedDomains};
            continue;
        }
        QStringList gateways = gatewaysFor(phone, tickedDomains, known);
        if (!gateways.isEmpty())
            plan.targets << PhoneTarget{phone, std::move(gateways)};
        else if (!tickedDomains.isEmpty())
            plan.leftOut << phone;
    }
    return plan;
}

QStringList gatewaysFor(const QString& phoneRow, const QStringList& domains,
                        const model::Knowledge& knowledge) {
    if (isFullAddress(phoneRow))
        return {};
    const auto known = knowledge.phones.constFind(recipients::lastTenDigits(phoneRow));
    if (known == knowledge.phones.cend())
        return domains;
    if (!known->carrier.isEmpty()) {
        // The learned gateway itself when ticked, else another ticked one of its carrier.
        const QStringList carrier = recipients::sameCarrier(known->carrier);
        QString chosen;
        for (const QString& domain : domains)
            if (domain.compare(known->carrier, Qt::CaseInsensitive) == 0 ||
                (chosen.isEmpty() && carrier.contains(domain, Qt::CaseInsensitive)))
                chosen = domain;
        if (!chosen.isEmpty())
            return {chosen};
    }
    QStringList gateways;
    for (const QString& domain : domains)
        if (!known->refusedAt.contains(domain.toLower()))
            gateways << domain;
    return gateways;
}

QStringList closedGateways(const model::Knowledge& known, const QStringList& tickedDomains) {
    QStringList closed;
    for (const QString& domain : tickedDomains) {
        const QList<model::GatewayRecord> history = known.gateways.value(domain.toLower());
        qsizetype sent = 0;
        bool everyRefused = history.size() == model::kGatewaySends;
        for (const model::GatewayRecord& r : history) {
            sent += r.sent;
            everyRefused = everyRefused && r.sent > 0 && r.refused == r.sent;
        }
        if (everyRefused && sent >= kClosedAfterAddresses)
            closed << domain;
    }
    return closed;
}

QList<Targets> recipientGroups(const Targets& targets, qsizetype most) {
    QList<Targets> groups;
    Targets current;
    qsizetype size = 0;
    const auto close = [&] {
        groups << std::exchange(current, {});
        size = 0;
    };
    for (const PhoneTarget& target : targets) {
        if (size > 0 && size + target.recipients() > most)
            close();
        if (target.recipients() <= most) {
            current << target;
            size += target.recipients();
            continue;
        }
        // More gateways than one message takes: the phone goes in parts.
        for (qsizetype from = 0; from < target.gateways.size(); from += most) {
            if (size > 0)
                close();
            current << PhoneTarget{target.phone, target.gateways.mid(from, most)};
            size = current.last().recipients();
        }
    }
    if (!current.isEmpty())
        groups << current;
    return groups;
}

} // namespace email_route
