#include "delivery/learning.h"

#include "recipients/carrier_table.h"
#include "recipients/phone_rules.h"
#include "records/knowledge_file.h"
#include "records/sent_log.h"

#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>

namespace delivery {

using model::Knowledge;
using model::PhoneKnowledge;
using recipients::isFullAddress;
using recipients::lastTenDigits;

namespace {
const QStringList& stopWords() {
    static const QStringList stop{"STOP", "STOPALL", "UNSUBSCRIBE", "CANCEL", "END",
                                  "QUIT", "REVOKE",  "OPT OUT",     "OPTOUT"};
    return stop;
}
} // namespace

bool mayAskNotToBeTexted(const QString& reply) {
    const QString words = reply.simplified().toUpper();
    if (stopWords().contains(words))
        return false; // a STOP by itself, taken in as one
    static const QRegularExpression word(
        QStringLiteral("\\b(STOP|STOPALL|UNSUBSCRIBE|CANCEL|END|QUIT|REVOKE|OPT OUT|OPTOUT)\\b"));
    return word.match(words).hasMatch();
}

void leaveOut(const model::DataFiles& files, Knowledge& known, const QString& phoneRow,
              const QDateTime& whenUtc) {
    learnOptOut(known, phoneRow, QStringLiteral("STOP"), whenUtc);
    records::saveKnowledge(files.knowledge, known);
}

void learnOptOut(Knowledge& k, const QString& phone, const QString& text,
                 const QDateTime& whenUtc) {
    const QStringList& stop = stopWords();
    static const QStringList start{"START", "UNSTOP"};
    const QString word = text.simplified().toUpper();
    const QString digits = lastTenDigits(phone);
    if (digits.size() < 7)
        return;
    // A whole number ("+44...") stands for that phone alone; ten digits for any of them.
    const QString whole = phone.trimmed().startsWith(QLatin1Char('+'))
                              ? QLatin1Char('+') + recipients::digitsOf(phone)
                              : QString();
    if (stop.contains(word)) {
        PhoneKnowledge& known = k.phones[digits];
        known.optedOutNumber = known.optedOutUtc.isValid() && known.optedOutNumber != whole
                                   ? QString() // two numbers asked: every one of these digits
                                   : whole;
        known.optedOutUtc = whenUtc;
    } else if (const auto known = k.phones.find(digits);
               start.contains(word) && known != k.phones.end() &&
               (whole.isEmpty() || known->optedOutNumber.isEmpty() ||
                recipients::samePhone(whole, known->optedOutNumber))) {
        known->optedOutUtc = {};
        known->optedOutNumber.clear();
        if (*known == PhoneKnowledge{})
            k.phones.erase(known);
    }
}

model::Knowledge whatIsKnown(const model::DataFiles& files, QString* keptAs) {
    return records::loadKnowledge(files.knowledge, keptAs);
}

void forget(const model::DataFiles& files, Knowledge& known, const QStringList& phoneRows) {
    // What the phone asked for is no guess: a STOP stays until it is lifted on its own.
    const auto forgetPhone = [&](QMap<QString, PhoneKnowledge>::iterator phone) {
        const QDateTime optedOut = phone->optedOutUtc;
        const QString optedOutNumber = phone->optedOutNumber;
        *phone = PhoneKnowledge{};
        phone->optedOutUtc = optedOut;
        phone->optedOutNumber = optedOutNumber;
        return optedOut.isValid() ? std::next(phone) : known.phones.erase(phone);
    };
    if (phoneRows.isEmpty())
        for (auto phone = known.phones.begin(); phone != known.phones.end();)
            phone = forgetPhone(phone);
    for (const QString& row : phoneRows)
        if (const auto phone = known.phones.find(lastTenDigits(row)); phone != known.phones.end())
            forgetPhone(phone);
    records::saveKnowledge(files.knowledge, known);
}

void textAgain(const model::DataFiles& files, Knowledge& known, const QString& phoneRow) {
    learnOptOut(known, phoneRow, QStringLiteral("START"), {});
    records::saveKnowledge(files.knowledge, known);
}

QString knowledgeTip(const Knowledge& k, const QString& phoneRow, const QString& countryCode) {
    if (isFullAddress(phoneRow))
        return {};
    const auto known = k.phones.constFind(lastTenDigits(phoneRow));
    if (known == k.phones.cend())
        return {};
    QStringList lines;
    if (!known->carrier.isEmpty())
        lines << (known->certain ? QStringLiteral("Carrier: %1 (it replied; learned %2)")
                                 : QStringLiteral("Carrier: probably %1 (the other carriers "
                                                  "refused it; learned %2)"))
                     .arg(known->carrier,
                          records::logStamp(known->carrierLearnedUtc.toLocalTime()));
    if (!known->refusedAt.isEmpty())
        lines << QStringLiteral("Refused for good at: ") +
                     QStringList(known->refusedAt.keys()).join(QLatin1String(", "));
    if (records::optedOut(k, phoneRow, countryCode))
        lines << QStringLiteral("Asked not to be texted (STOP, %1): Parlivo leaves it out")
                     .arg(records::logStamp(known->optedOutUtc.toLocalTime()));
    return lines.join(QLatin1Char('\n'));
}

} // namespace delivery
