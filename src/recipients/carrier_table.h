#pragma once

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

} // namespace recipients
