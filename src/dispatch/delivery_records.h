#pragma once

#include "mail/bounce_report.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace dispatch {

// A send that Gmail accepted, kept until its bounces have had time to arrive.
struct PendingSend {
    QString messageId; // without angle brackets
    QDateTime sentUtc;
    QString stamp; // the date-time text of its log record
    QString subject;
    QStringList addresses;
    QStringList reported; // "address failed" or "address delayed", already in the log
    bool checked = false; // a check of the mailbox has run since the send
    bool operator==(const PendingSend&) const = default;
};

inline const QString kPendingFileName = QStringLiteral("delivery-pending.tsv");
inline constexpr qint64 kPendingDays = 4;

// One line a send, its fields percent-encoded and separated by tabs. Lines that cannot be
// read are left out and counted in `unreadable`.
QByteArray pendingSendsText(const QList<PendingSend>& sends);
QList<PendingSend> readPendingSends(const QByteArray& text, qsizetype* unreadable = nullptr);

// The file in the user's data folder (0600, never through a link); a missing file holds no
// sends. Saving replaces the file whole. A file that cannot be read whole (too large,
// unreadable, a line that is no send) gives the sends that could be read; with `keptAs` it
// is moved aside under a name of its own, never overwritten, and `keptAs` says where, so
// that the next save loses nothing.
QList<PendingSend> loadPendingSends(const QString& path, QString* keptAs = nullptr);
// The recipients the sends submitted in the 24 hours before `nowUtc`, and when the oldest of
// those sends leaves that window (invalid when there were none).
struct RecentSubmissions {
    qsizetype recipients = 0;
    QDateTime windowFreesUtc;
};
RecentSubmissions recentSubmissions(const QList<PendingSend>& sends, const QDateTime& nowUtc);

// What the user is told once when the file was kept aside.
QString pendingKeptAsideMessage(const QString& keptAs);
// Saves within the size the file is read with (4 MiB): the largest sends in a compact form
// first, then the oldest checked sends left out, then the oldest of any, which `dropped`
// receives when it is given.
bool savePendingSends(const QString& path, const QList<PendingSend>& sends,
                      QList<PendingSend>* dropped = nullptr);
// The text of the sends within `bound` bytes, as savePendingSends writes it; `sends` keeps
// the sends written.
QByteArray pendingSendsTextWithin(QList<PendingSend>& sends, qint64 bound,
                                  QList<PendingSend>* dropped = nullptr);

// Text from a bounce made safe for the log: printable ASCII on one line, at most `longest`.
QString cleanForLog(const QString& text, qsizetype longest = 120);

// The delivery record of one send from the bounces that name its Message-ID: one line per
// refused or delayed address not yet reported, one per phone refused at every address, and
// (when the whole mailbox was read, `complete`) how many addresses sent no bounce. Marks
// what it reports in `send.reported`. Empty when there is no news.
QString deliveryRecord(const QString& nowStamp, PendingSend& send,
                       const QList<mail::BounceReport>& bounces, bool complete = true,
                       const QStringList& replyLines = {});

// A phone number's last ten digits: how a reply's sender and a sent phone are compared (a
// leading 1 or +1 may differ).
QString lastTenDigits(const QString& phone);
// Which send each reply belongs to: the latest send before it that addressed the reply's
// phone at a gateway of the reply's carrier; -1 for none (a number not sent to).
QList<qsizetype> replyOwners(const QList<PendingSend>& sends,
                             const QList<mail::PhoneReply>& replies);
// "Reply from <phone> (<domain>) <local date-time>: <text>" for each reply not yet reported,
// the text cleaned and cut at 160 characters; marks each in `send.reported`.
QStringList replyLines(PendingSend& send, const QList<mail::PhoneReply>& replies);
// The record of a send that the list of sends awaiting their report had no room left for.
QString notKeptRecord(const QString& nowStamp, const PendingSend& send);

// The record of a send whose days passed without any check of the mailbox.
QString notCheckedRecord(const QString& nowStamp, const PendingSend& send);

} // namespace dispatch
