// Address checking and message building: whatever the fields, a message that passes the
// checks has only its own header lines, each within 998 characters, and addresses that
// pass are plain ASCII mailboxes.
#include "routes/email/mail/mime_message.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QStringList fields =
        QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size)).split(QChar(0));
    mail::MailMessage m;
    m.userAddress = fields.value(0);
    m.subject = fields.value(1);
    m.body = fields.value(2);
    m.recipients = fields.mid(3);
    m.toHeader = m.recipients.join(QLatin1Char(','));
    for (const QString& field : fields)
        if (mail::isMailbox(field))
            for (const QChar c : field)
                if (c.unicode() <= 0x20 || c.unicode() >= 0x7f || c == QLatin1Char('<') ||
                    c == QLatin1Char('>') || c == QLatin1Char(','))
                    std::abort();
    if (mail::unsafeMessageReason(m))
        return 0;
    const QByteArray message =
        mail::composeMessage(m, QDateTime::fromSecsSinceEpoch(0, Qt::UTC), "t.0");
    const QByteArray head = message.left(message.indexOf("\r\n\r\n"));
    static const QByteArrayList names{
        "Date:",         "Message-ID:", "From:",         "To:",          "Reply-To:",
        "Organization:", "Subject:",    "MIME-Version:", "Content-Type:"};
    for (const QByteArray& line : head.split('\n')) {
        const QByteArray bare = line.endsWith('\r') ? line.chopped(1) : line;
        if (bare.size() > 998 || bare.contains('\r'))
            std::abort();
        const bool folded = bare.startsWith(' ');
        bool named = false;
        for (const QByteArray& name : names)
            named |= bare.startsWith(name);
        if (!folded && !named)
            std::abort();
    }
    return 0;
}
