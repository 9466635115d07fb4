#include "dispatch/sent_log.h"

#include "core/error_report.h"
#include "mail/mime_message.h"
#include "platform/private_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <unistd.h>

namespace dispatch {

namespace {
bool userCanWrite(const QString& path) {
    return ::access(QFile::encodeName(path).constData(), W_OK) == 0;
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
                      const QString& body) {
    const QString crlf = QStringLiteral("\r\n");
    // A line break typed into the body is written as the file's own CR LF.
    return logStamp(when) + crlf + QStringLiteral("To: ") + phones + crlf +
           QStringLiteral("Subject:") + subject + crlf + QStringLiteral("Body:") +
           mail::withCrLfLineEnds(body) + crlf + crlf;
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

} // namespace dispatch
