#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QDate>
#include <optional>

namespace mail {

// One IMAP response: its line (literals replaced by their "{n}" marks) and the literals it
// carried, in order.
struct ImapResponse {
    QByteArray line;
    QByteArrayList literals;
    bool isTagged(const QByteArray& tag) const { return line.startsWith(tag + ' '); }
    // "OK", "NO", "BAD" of a tagged or untagged status response.
    QByteArray status() const;
};

inline constexpr qsizetype kLongestLiteral = 1024 * 1024;

// Takes one complete response off the front of `buffer`, or nothing while it is incomplete.
// A literal longer than kLongestLiteral or a line longer than 64 KiB sets `broken`.
std::optional<ImapResponse> takeImapResponse(QByteArray& buffer, bool& broken);

// The UIDs of a "* SEARCH" response.
QList<quint32> searchResults(const ImapResponse& response);
// The mailbox name of a "* LIST" response whose attributes include `attribute` ("\All").
std::optional<QByteArray> listedMailbox(const ImapResponse& response, const QByteArray& attribute);
// A quoted IMAP string.
QByteArray imapQuoted(const QByteArray& text);
// "7-Dec-2026" as IMAP writes dates.
QByteArray imapDate(const QDate& date);

} // namespace mail
