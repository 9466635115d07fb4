#include "sending/send_texts.h"

#include <QLocale>
#include <QStringList>

namespace sending {

namespace {
const QString kBreak = QStringLiteral("\r\n");

QString counted(qsizetype n, const QString& one, const QString& many) {
    return QStringLiteral("%1 %2").arg(QLocale(QLocale::English).toString(n), n == 1 ? one : many);
}

QString capitalised(QString text) {
    if (!text.isEmpty())
        text[0] = text[0].toUpper();
    return text;
}
} // namespace

QString firstFew(const QStringList& items, const std::function<QString(const QString&)>& shown) {
    constexpr qsizetype kNamed = 3;
    QStringList few;
    for (const QString& item : items.mid(0, kNamed))
        few << (shown ? shown(item) : item);
    QString text = few.join(QLatin1String(", "));
    if (items.size() > kNamed)
        text += QStringLiteral(" and %1 more").arg(items.size() - kNamed);
    return text;
}

QString phonesText(qsizetype n) {
    return counted(n, QStringLiteral("phone"), QStringLiteral("phones"));
}

QString recipientsText(qsizetype n) {
    return counted(n, QStringLiteral("recipient"), QStringLiteral("recipients"));
}

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

QString partsAllowanceQuestion(const QString& through, const QString& setting, qsizetype recent,
                               qsizetype needed, qsizetype partsEach, qsizetype allowance,
                               qsizetype fits) {
    const auto parts = [](qsizetype n) {
        return QLocale(QLocale::English).toString(n) +
               (n == 1 ? QStringLiteral(" text part") : QStringLiteral(" text parts"));
    };
    const QString text =
        (recent < 0 ? QStringLiteral("Parlivo could not read its record of what went in the last "
                                     "24 hours, so it does not know how much of today's allowance "
                                     "is left.")
                    : QStringLiteral("In the last 24 hours Parlivo sent %1 %2.")
                          .arg(parts(recent), through)) +
        QStringLiteral(" This send needs %1 (%2, %3 each); you allow %4 a day (%5 in the settings "
                       "file), as carriers block a line that sends too many.")
            .arg(parts(needed * partsEach), phonesText(needed))
            .arg(partsEach)
            .arg(parts(allowance), setting) +
        kBreak + kBreak;
    if (recent < 0 || fits == needed)
        return text + QStringLiteral("Send it now? Yes sends it; No sends nothing.");
    return text + allowanceChoice(fits, phonesText(fits),
                                  QLocale(QLocale::English).toString(needed - fits));
}

QString keptSendQuestion(const model::RouteWords& route, qsizetype phones, const QString& keptStamp,
                         const QString& subject, qsizetype uncertain, qsizetype fits,
                         qsizetype addresses) {
    QString text = QStringLiteral("A text kept on %1 for %2 has not gone out yet (subject: "
                                  "\"%3\").")
                       .arg(keptStamp, phonesText(phones), subject.left(80));
    if (uncertain > 0)
        text +=
            kBreak + kBreak +
            QStringLiteral("%1 of its recipients were in a %2 whose %3: it may have gone out "
                           "already, and would go again.")
                .arg(QLocale(QLocale::English).toString(uncertain), route.batch, route.unanswered);
    if (fits < addresses)
        text += kBreak + kBreak +
                QStringLiteral("%1 leaves room for %2 of its %3 now; the rest stays kept.")
                    .arg(capitalised(route.allowance), QLocale(QLocale::English).toString(fits),
                         recipientsText(addresses));
    return text + kBreak + kBreak +
           QStringLiteral("Send it now? Yes sends it, No keeps it for later, Cancel drops it.") +
           kBreak + kBreak +
           QStringLiteral("Yes sends only the kept text: the text in the window stays unsent. "
                          "Press \"Send Message\" again afterwards to send that one.");
}

QString sendOutcomeMessage(const model::RouteWords& route, const SendOutcome& o,
                           const QString& reason) {
    QString text;
    if (o.batchesSent > 0)
        text = QStringLiteral("Sent to %1 in %2 of %3 %4; %5.")
                   .arg(phonesText(o.sentPhones.size()))
                   .arg(o.batchesSent)
                   .arg(o.batches)
                   .arg(route.batches)
                   .arg(o.logged ? QStringLiteral("the log names them")
                                 : QStringLiteral("they wait for their delivery report, but the "
                                                  "log could not name them"));
    else
        text = QStringLiteral("Nothing was sent.");
    if (!o.uncertainPhones.isEmpty() && o.uncertainBatches > 1)
        text += kBreak + kBreak +
                QStringLiteral("The next %1 %2 may have been sent: their %3. They went to %4: "
                               "%5. They are not in the log.")
                    .arg(QString::number(o.uncertainBatches), route.batches, route.unanswered,
                         phonesText(o.uncertainPhones.size()), firstFew(o.uncertainPhones));
    else if (!o.uncertainPhones.isEmpty())
        text += kBreak + kBreak +
                QStringLiteral("The next %1 may have been sent: its %2. It went to %3: %4. It is "
                               "not in the log.")
                    .arg(route.batch, route.unanswered, phonesText(o.uncertainPhones.size()),
                         firstFew(o.uncertainPhones));
    // Only phones the allowance held back wait for it; the others go on the next offer.
    if (!o.unsentPhones.isEmpty())
        text += kBreak + kBreak +
                (reason.isEmpty()
                     ? QStringLiteral("Kept for later to stay within %1: %2: %3. Parlivo keeps "
                                      "them and offers them again on \"Send Message\" when %1 "
                                      "leaves room.")
                           .arg(route.allowance)
                     : QStringLiteral("Not sent to %2: %3. Parlivo keeps them and offers them "
                                      "again on \"Send Message\"."))
                    .arg(phonesText(o.unsentPhones.size()), firstFew(o.unsentPhones));
    if (!reason.isEmpty())
        text += kBreak + kBreak + QStringLiteral("Why:") + kBreak +
                (o.batchesSent > 0
                     ? QString(reason).replace(
                           QStringLiteral("Nothing was sent."),
                           QStringLiteral("The %1 after those were not sent.").arg(route.batches))
                     : reason);
    return text;
}

QString optedOutMessage(const QStringList& phones, bool noneLeft) {
    return (phones.size() == 1
                ? QStringLiteral("1 phone asked not to be texted: ")
                : QStringLiteral("%1 phones asked not to be texted: ").arg(phones.size())) +
           firstFew(phones) + QStringLiteral(".") + kBreak + kBreak +
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
