#include "routes/kdeconnect/paired_texts.h"

#include "sending/send_texts.h"

namespace kdeconnect_route {

namespace {
QString quoted(const QString& name) {
    return QStringLiteral("\"%1\"").arg(name);
}

// What the user can do about a phone out of reach.
QString reachWords(const paired::PairedPhone& phone) {
    return QStringLiteral("Your phone %1 is not reachable: is it on the same network, with KDE "
                          "Connect open?")
        .arg(quoted(phone.name));
}
} // namespace

QString routeIdOf(const paired::PairedPhone& phone) {
    return (phone.service == paired::Service::KdeConnect ? QStringLiteral("kdeconnect:")
                                                         : QStringLiteral("gsconnect:")) +
           phone.id;
}

QString serviceName(paired::Service service) {
    return service == paired::Service::KdeConnect ? QStringLiteral("KDE Connect")
                                                  : QStringLiteral("GSConnect");
}

QString choiceLabel(const paired::PairedPhone& phone) {
    return QStringLiteral("Texts through %1 (%2)").arg(phone.name, serviceName(phone.service));
}

QString awayChoiceLabel(const paired::PairedPhone& phone) {
    return QStringLiteral("Texts through %1 (%2, not reachable)")
        .arg(phone.name, serviceName(phone.service));
}

QString handedTo(const paired::PairedPhone& phone) {
    return QStringLiteral("to ") + phone.name;
}

QString sentBy(const paired::PairedPhone& phone) {
    return QStringLiteral("by ") + phone.name;
}

QString pairedAllowanceQuestion(const paired::PairedPhone& phone, qsizetype recent,
                                qsizetype needed, qsizetype partsEach, qsizetype allowance,
                                qsizetype fits) {
    return sending::partsAllowanceQuestion(
        QStringLiteral("through your phone ") + quoted(phone.name), kPartsPerDaySetting, recent,
        needed, partsEach, allowance, fits);
}

QString notReadyMessage(const paired::PairedPhone& phone, bool paired, const QString& reason) {
    QString why;
    if (!paired)
        why = QStringLiteral("Your phone %1 is not paired with this computer through %2, or %2 "
                             "does not run. Start %2 and pair the phone, or choose another "
                             "route under \"Send by\".")
                  .arg(quoted(phone.name), serviceName(phone.service));
    else if (reason == QLatin1String("texting is turned off for it"))
        why = QStringLiteral("Texting is turned off for your phone %1 in %2: turn on its SMS "
                             "plugin, then send again.")
                  .arg(quoted(phone.name), serviceName(phone.service));
    else
        why = reachWords(phone);
    return QStringLiteral("Nothing was sent. ") + why;
}

QString goneMidwayMessage(const paired::PairedPhone& phone, const QString& number,
                          const QString& reason, bool uncertain) {
    const QString what = reason == QLatin1String("not reachable")
                             ? reachWords(phone)
                             : QStringLiteral("Your phone %1 could not be reached: %2.")
                                   .arg(quoted(phone.name), reason);
    return (uncertain ? QStringLiteral("The text to %1 may not have gone. ")
                      : QStringLiteral("The text to %1 did not go. "))
               .arg(number) +
           what + QStringLiteral(" The rest is kept.");
}

} // namespace kdeconnect_route
