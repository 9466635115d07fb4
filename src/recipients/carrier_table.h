#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace recipients {

// The e-mail-to-SMS gateway domains appended, unticked and in this order, at the first
// start and by "Load Default Carriers".
inline const QStringList& defaultCarriers() {
    static const QStringList table{
        QStringLiteral("vtext.com"),         QStringLiteral("vzwpix.com"),
        QStringLiteral("msg.fi.google.com"), QStringLiteral("email.uscc.net"),
        QStringLiteral("cspire1.com"),       QStringLiteral("msg.telus.com"),
        QStringLiteral("txt.bell.ca"),
    };
    return table;
}

// What is known of a carrier's gateways: its SMS and MMS domains (a reply may come from either)
// and what the user should know of them.
struct CarrierGateways {
    QString name;
    QStringList domains;
    QString note;
};
inline const QList<CarrierGateways>& knownCarriers() {
    static const QList<CarrierGateways> table{
        {QStringLiteral("Verizon"),
         {QStringLiteral("vtext.com"), QStringLiteral("vzwpix.com")},
         QStringLiteral("Verizon: vtext.com for texts, vzwpix.com for picture messages. Verizon "
                        "announced the end of its e-mail-to-text gateways on 31 March 2027.")},
        {QStringLiteral("Google Fi"),
         {QStringLiteral("msg.fi.google.com")},
         QStringLiteral("Google Fi")},
        {QStringLiteral("UScellular"),
         {QStringLiteral("email.uscc.net"), QStringLiteral("mms.uscc.net")},
         QStringLiteral(
             "UScellular: email.uscc.net for texts, mms.uscc.net for picture messages.")},
        {QStringLiteral("C Spire"), {QStringLiteral("cspire1.com")}, QStringLiteral("C Spire")},
        {QStringLiteral("Telus"),
         {QStringLiteral("msg.telus.com"), QStringLiteral("mms.telusmobility.com")},
         QStringLiteral("Telus: msg.telus.com for texts, mms.telusmobility.com for picture "
                        "messages.")},
        {QStringLiteral("Bell"),
         {QStringLiteral("txt.bell.ca"), QStringLiteral("txt.bellmobility.ca")},
         QStringLiteral("Bell: txt.bell.ca, and txt.bellmobility.ca for replies.")},
    };
    return table;
}

// What the table says of a gateway (its carrier's note), or nothing.
inline QString carrierNote(const QString& domain) {
    for (const CarrierGateways& carrier : knownCarriers())
        if (carrier.domains.contains(domain, Qt::CaseInsensitive))
            return carrier.note;
    return {};
}

// The domains of `domain`'s carrier (the domain alone when the table does not know it: a
// domain the user added is a carrier of its own).
inline QStringList sameCarrier(const QString& domain) {
    for (const CarrierGateways& carrier : knownCarriers())
        if (carrier.domains.contains(domain, Qt::CaseInsensitive))
            return carrier.domains;
    return {domain};
}

} // namespace recipients
