#include "routes/email/mail/credential_echo.h"

#include "routes/email/mail/mail_submitter.h"

#include <QByteArrayList>
#include <QRegularExpression>

namespace mail {

namespace {
const QString kHidden = QStringLiteral("[hidden]");

// The base64 characters that `secret` alone decides when it stands `alignment` (0 to 2) bytes
// into a base64 stream: the characters of its first and last groups that also carry
// neighbouring bytes are left out.
QByteArray base64Core(const QByteArray& secret, int alignment) {
    const QByteArray padded = QByteArray(alignment, '\0') + secret;
    const QByteArray encoded = padded.toBase64(QByteArray::OmitTrailingEquals);
    const qsizetype first = alignment == 0 ? 0 : alignment + 1; // chars touched by the padding
    const qsizetype end = (padded.size() / 3) * 4;              // chars of whole groups only
    return end > first ? encoded.mid(first, end - first) : QByteArray();
}

bool isBase64Char(QChar c) {
    return (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
           (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
           (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('+') ||
           c == QLatin1Char('/') || c == QLatin1Char('=') || c == QLatin1Char('-') ||
           c == QLatin1Char('_');
}

// Replaces every run of encoded characters that contains one of `marks` by "[hidden]".
QString hideRuns(const QString& text, const QByteArrayList& marks) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size();) {
        if (!isBase64Char(text[i])) {
            out += text[i++];
            continue;
        }
        qsizetype end = i;
        while (end < text.size() && isBase64Char(text[end]))
            ++end;
        const QString run = text.mid(i, end - i);
        bool secret = false;
        for (const QByteArray& mark : marks)
            if (run.contains(QLatin1String(mark), Qt::CaseSensitive) ||
                (mark.startsWith("hex:") &&
                 run.contains(QLatin1String(mark.mid(4)), Qt::CaseInsensitive)))
                secret = true;
        out += secret ? kHidden : run;
        i = end;
    }
    return out;
}
// The password written with line breaks inside it, as a server's multi-line reply or a
// quoting mail splits it: each break with the reply code, quote marks or indent that may
// begin the next line, the " / " and status that join a reply's lines, or a blank where a
// log joined them.
QRegularExpression splitAcrossLines(const QString& password) {
    QStringList letters;
    for (const QChar c : password)
        letters << QRegularExpression::escape(QString(c));
    return QRegularExpression(letters.join(QStringLiteral(
        "(?:[ \\t]*\\r?\\n(?:[2-5]\\d\\d[ -])?(?:[2-5]\\.\\d{1,3}\\.\\d{1,3} )?[ \\t>]*|"
        " / (?:[2-5]\\.\\d{1,3}\\.\\d{1,3} )?| )?")));
}
} // namespace

CredentialFilter::CredentialFilter(const QString& user, const QString& password)
    : password_(password) {
    if (password.isEmpty())
        return;
    if (password.size() >= 3) // a shorter one would garble every word it is part of
        split_ = splitAcrossLines(password);
    const QByteArray blob = '\0' + user.toUtf8() + '\0' + password.toUtf8();
    for (const QByteArray& secret : {password.toUtf8(), user.toUtf8(), blob}) {
        if (secret.size() < 3)
            continue;
        for (int alignment = 0; alignment < 3; ++alignment) {
            const QByteArray core = base64Core(secret, alignment);
            if (core.size() >= 4) {
                marks_ << core;
                // The URL-safe alphabet writes the same bits with "-" and "_".
                marks_ << QByteArray(core).replace('+', '-').replace('/', '_');
            }
        }
    }
    marks_ << "hex:" + password.toUtf8().toHex(); // in a hex run of the password or the blob
}

QString CredentialFilter::operator()(const QString& text) const {
    if (password_.isEmpty())
        return text;
    QString out = text;
    if (password_.size() >= 3)
        out.replace(password_, kHidden).replace(split_, kHidden);
    return hideRuns(out, marks_);
}

QString withoutCredentials(const QString& text, const QString& user, const QString& password) {
    return CredentialFilter(user, password)(text);
}

void hideCredentials(SubmitResult& result, const QString& user, const QString& password) {
    result.description = withoutCredentials(result.description, user, password);
    result.serverReply = withoutCredentials(result.serverReply, user, password);
}

} // namespace mail
