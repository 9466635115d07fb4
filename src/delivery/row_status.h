#pragma once

#include "model/knowledge.h"
#include "model/phone_status.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace delivery {

// What a phone row shows of its texts: the latest news in a few words with when.
struct RowStatus {
    enum class Stage { None, Waiting, NotSent, Delivered, NotDelivered };
    QString phone;             // its key: rows of one phone have the same
    Stage stage = Stage::None; // of the latest send
    bool replied = false;      // since the latest send
    bool optedOut = false;
    bool mayOptOut = false; // its latest reply may ask not to be texted: for the user to decide
    QString words;          // "delivered", "not sent (the phone has no service)"
    QString when;           // as the log stamps it
    QString route;          // "by e-mail"
    QString reply;          // the latest reply's text
    QStringList past; // the last events, newest first, as the row's tip tells them (when asked)
};

// The status of a phone row from its events (`statuses`, keyed as records::statusKey keys
// them after `countryCode`) and what is known of it (a STOP); `withPast`: its last events too.
RowStatus rowStatus(const model::PhoneStatuses& statuses, const model::Knowledge& known,
                    const QString& phoneRow, const QString& countryCode, bool withPast = false);
// The cell beside the row: "delivered, 14/03/2026 09:30"; nothing where nothing is known.
QString statusCell(const RowStatus& status);
// "12 phones: 9 delivered, 1 not delivered, 2 waiting; 3 replied", each phone once however
// many rows name it; nothing when nothing is known of any.
QString statusSummary(const QList<RowStatus>& rows);
// The statuses as a spreadsheet takes them: a header, then phone, status, when, route, reply;
// with `names` (the rows' people), each name after its phone. What came from outside (a
// status's words, a reply, a name) never starts a formula.
QString statusCsv(const QStringList& phoneRows, const QList<RowStatus>& rows,
                  const QStringList& names = {});

} // namespace delivery
