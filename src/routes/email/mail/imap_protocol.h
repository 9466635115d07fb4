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

// Bounds of one response: a line (a long SEARCH answer fits), a literal (a FETCH asks for at
// most 64 KiB of a message) and all the lines and literals of one response together.
inline constexpr qsizetype kLongestImapLine = 256 * 1024;
inline constexpr qsizetype kLongestLiteral = 64 * 1024;
inline constexpr qsizetype kLongestResponse = 1024 * 1024;

// Reads responses off the front of a buffer that grows only at its end between calls. Each
// byte is looked at once however the response is split into pieces; a response that passes
// a bound breaks the reader for good.
class ImapResponseReader {
  public:
    // Takes one complete response off the front of `buffer`, or nothing while it is
    // incomplete or once the reader is broken.
    std::optional<ImapResponse> take(QByteArray& buffer);
    bool broken() const { return broken_; }
    // The bytes of the unfinished response read so far, and of all responses taken.
    qsizetype waitingBytes() const { return lineStart_; }
    qsizetype bytesTaken() const { return taken_; }

  private:
    std::optional<ImapResponse> fail();

    ImapResponse partial_;
    qsizetype lineStart_ = 0; // where the line (or literal) being read starts in the buffer
    qsizetype scanned_ = 0;   // how far the buffer was searched for that line's end
    qsizetype literal_ = -1;  // the size of the literal being read, if any
    qsizetype taken_ = 0;
    bool broken_ = false;
};

// The message text of a FETCH response: its BODY[] item (with or without an origin "<0>"),
// found by name wherever it stands, sent as a literal or a quoted string; nothing when the
// response has no such item or it is NIL.
std::optional<QByteArray> fetchedBody(const ImapResponse& response);
// The UIDs of a "* SEARCH" response.
QList<quint32> searchResults(const ImapResponse& response);
// The mailbox name of a "* LIST" response whose attributes include `attribute` ("\All"),
// quoted, an atom or a literal.
std::optional<QByteArray> listedMailbox(const ImapResponse& response, const QByteArray& attribute);
// A quoted IMAP string.
QByteArray imapQuoted(const QByteArray& text);
// "7-Dec-2026" as IMAP writes dates.
QByteArray imapDate(const QDate& date);

} // namespace mail
