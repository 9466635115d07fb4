#pragma once

#include "model/send_records.h"

#include <QDateTime>
#include <QString>

namespace records {

inline const QString kSentLogName = QStringLiteral("sentmessages.log");

// "sentmessages.log" in the program folder, or in `dataFolder` when the program folder
// (or the log already in it) cannot be written by the user. Writer and viewer both ask here.
QString sentLogPath(const QString& programFolder, const QString& dataFolder);

// A date and time as the log writes it: the user's locale, short form.
QString logStamp(const QDateTime& when);

// One record: the local date and time, "To: " and the phones, "By: " and the route where it
// is given, "Subject:", "Body:" and the body, each on its own CR LF line, then one empty line.
QString sentLogRecord(const QDateTime& when, const QString& phones, const QString& subject,
                      const QString& body, const QString& by = {});

// Appends the record and one more CR LF; creates the file and its folder when missing.
// Never truncates. A file that cannot be written is a Path/File access failure.
void WriteSentLog(const QString& path, const QString& record);

// Text from mail or a server made safe for the log: printable letters of any script on one
// line (controls, line breaks and direction marks become blanks), at most `longest`.
QString cleanForLog(const QString& text, qsizetype longest = 120);
// "Delivery: message of <stamp>, Subject:<subject>": how a record about a send names it.
QString deliveryHeading(const model::PendingSend& send);
// The record of a send that the list of sends awaiting their report had no room left for.
QString notKeptRecord(const QString& nowStamp, const model::PendingSend& send);

} // namespace records
