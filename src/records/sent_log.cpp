#include "records/sent_log.h"

#include "core/error_report.h"
#include "platform/line_ends.h"
#include "platform/private_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <unistd.h>

namespace records {

namespace {
const QString kCrLf = QStringLiteral("\r\n");

bool userCanWrite(const QString& path) {
    return ::access(QFile::encodeName(path).constData(), W_OK) == 0;
}

// The send's date-time and subject as its own log record has them; only line ends and other
// control characters (which could forge lines of the log) become blanks.
QString asInSendRecord(const QString& text) {
    QString out = text.left(1000);
    for (QChar& c : out)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator)
            c = QLatin1Char(' ');
    return out;
}
} // namespace

QString sentLogPath(const QString& programFolder, const QString& dataFolder) {
    const QString beside = programFolder + QLatin1Char('/') + kSentLogName;
    const bool writable =
        QFileInfo::exists(beside) ? userCanWrite(beside) : userCanWrite(programFolder);
    return writable ? beside : dataFolder + QLatin1Char('/') + kSentLogName;
}

QString logStamp(const QDateTime& when) {
    return QLocale::system().toString(when, QLocale::ShortFormat);
}

QString sentLogRecord(const QDateTime& when, const QString& phones, const QString& subject,
                      const QString& body, const QString& by) {
    const QString crlf = QStringLiteral("\r\n");
    // A line break typed into the body is written as the file's own CR LF.
    return logStamp(when) + crlf + QStringLiteral("To: ") + phones + crlf +
           (by.isEmpty() ? QString() : QStringLiteral("By: ") + by + crlf) +
           QStringLiteral("Subject:") + subject + crlf + QStringLiteral("Body:") +
           platform::withLineEnds(body, QLatin1String("\r\n")) + crlf + crlf;
}

void WriteSentLog(const QString& path, const QString& record) {
    // The log holds phone numbers and messages: the user's own regular file, 0600, in a
    // folder of the user's own; never a link, a FIFO or another user's file.
    platform::makePrivateFolder(QFileInfo(path).absolutePath());
    // A record is there whole or not at all: a full disk leaves the log as it was.
    QString reason;
    if (!platform::appendPrivateFile(path, (record + QStringLiteral("\r\n")).toLocal8Bit(),
                                     &reason))
        throw core::Failure(core::failure_number::PathFileAccess);
}

QString cleanForLog(const QString& text, qsizetype longest) {
    QString out;
    bool space = false;
    // Each letter counts; what cannot show as one (controls, line breaks, halves of a pair)
    // becomes a blank, and the invisible marks that turn the text's direction go.
    for (const char32_t u : text.left(longest * 4 + 64).toUcs4()) {
        const QChar::Category kind = QChar::category(u);
        if (kind == QChar::Other_Format)
            continue; // invisible: direction marks and overrides, joiners
        if (u <= 0x20 || u == 0xfffd || QChar::isSpace(u) || kind == QChar::Other_Control ||
            kind == QChar::Other_Surrogate || kind == QChar::Other_NotAssigned ||
            kind == QChar::Separator_Line || kind == QChar::Separator_Paragraph) {
            space = !out.isEmpty();
            continue;
        }
        const qsizetype width = QChar::requiresSurrogates(u) ? 2 : 1;
        if (out.size() + (space ? 1 : 0) + width > longest)
            break;
        if (space)
            out += QLatin1Char(' ');
        space = false;
        out += QString::fromUcs4(&u, 1);
    }
    return out;
}

QString deliveryHeading(const model::PendingSend& send) {
    return QStringLiteral("Delivery: message of ") + asInSendRecord(send.stamp) +
           QStringLiteral(", Subject:") + asInSendRecord(send.subject);
}

QString notKeptRecord(const QString& nowStamp, const model::PendingSend& send) {
    return cleanForLog(nowStamp, 60) + kCrLf + deliveryHeading(send) + kCrLf +
           QStringLiteral("Not checked: too many sends were awaiting their report to keep this "
                          "one, so its bounces are unknown.") +
           kCrLf + kCrLf;
}

} // namespace records
