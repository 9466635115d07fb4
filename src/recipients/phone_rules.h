#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace recipients {

// The parts of an address: the phone before its last "@", and the gateway after it, in lower
// case (domains are compared so).
QString phoneOf(const QString& address);
QString gatewayOf(const QString& address);
// A phone row written as number@domain: sent there alone, whatever is ticked.
bool isFullAddress(const QString& phoneRow);
// Whether text is written as a phone number: digits, with the signs people write them with.
bool isNumber(const QString& text);
// The digits of a phone row, in order.
QString digitsOf(const QString& phone);
// A phone number's last ten digits: how a reply's sender, a sent phone and what is known of a
// phone are compared (a leading 1 or +1 may differ).
QString lastTenDigits(const QString& phone);

// A phone row as a route that texts whole numbers sends to it: a number typed with "+" as
// typed (digits only), any other after `countryCode` ("+1"), a national prefix of that code
// typed before ten digits ("1-555-123-0202") taken as that code; nothing for a row that is
// an e-mail address or has no digit.
QString internationalNumber(const QString& phoneRow, const QString& countryCode);
// Whether two phone numbers are one phone: the whole numbers alike where both are whole (in
// international form, "+"), else their last ten digits, as an e-mail gateway's address gives
// no more.
bool samePhone(const QString& a, const QString& b);

// A typed number without its hyphens and blanks; nothing else is removed.
QString cleanPhoneNumber(const QString& typed);

// Reads a phone file piece by piece, in time linear in its size. A line ends at CR, LF or
// CR LF; a line that is empty or only blanks gives no row; other lines are kept verbatim,
// decoded in the user's locale (bytes that are not valid text become U+FFFD). Reading
// stops once more than `room` rows were found, so a huge file costs no more than that.
class PhoneFileReader {
  public:
    explicit PhoneFileReader(qsizetype room) : room_(room) {}
    void feed(QByteArrayView bytes);
    // The last line when the file does not end with a line end.
    void finish();
    // More rows than there is room for: the rest of the file does not matter.
    bool overflowed() const { return rows_.size() > room_; }
    // At most `room` rows.
    QStringList rows() const { return rows_.mid(0, room_); }

  private:
    void endLine(QByteArrayView tail);

    qsizetype room_;
    QByteArray partial_;
    QStringList rows_;
};

// The rows of a whole phone file, as PhoneFileReader reads them.
QStringList rowsFromFileText(const QByteArray& bytes);

inline const QString kFirstSampleNumber = QStringLiteral("5555550100");
inline const QString kSecondSampleNumber = QStringLiteral("555-555-0199");

} // namespace recipients
