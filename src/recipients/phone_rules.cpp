#include "recipients/phone_rules.h"

#include <algorithm>
#include <limits>

namespace recipients {

QString phoneOf(const QString& address) {
    return address.left(address.lastIndexOf(QLatin1Char('@')));
}

QString gatewayOf(const QString& address) {
    return address.mid(address.lastIndexOf(QLatin1Char('@')) + 1).toLower();
}

bool isFullAddress(const QString& phoneRow) {
    return phoneRow.contains(QLatin1Char('@'));
}

bool isNumber(const QString& text) {
    return !text.isEmpty() &&
           std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.isDigit(); }) &&
           std::all_of(text.cbegin(), text.cend(),
                       [](QChar c) { return c.isDigit() || QStringLiteral("+-.() ").contains(c); });
}

QString digitsOf(const QString& phone) {
    QString digits;
    for (const QChar c : phone)
        if (c.isDigit())
            digits += c;
    return digits;
}

QString lastTenDigits(const QString& phone) {
    return digitsOf(phone).right(10);
}

QString internationalNumber(const QString& phoneRow, const QString& countryCode) {
    if (isFullAddress(phoneRow))
        return {};
    const QString digits = digitsOf(phoneRow);
    if (digits.isEmpty())
        return {};
    if (phoneRow.trimmed().startsWith(QLatin1Char('+')))
        return QLatin1Char('+') + digits;
    const QString code = digitsOf(countryCode);
    if (digits.size() == code.size() + 10 && digits.startsWith(code))
        return QLatin1Char('+') + digits;
    return QLatin1Char('+') + code + digits;
}

bool samePhone(const QString& a, const QString& b) {
    if (a.trimmed().startsWith(QLatin1Char('+')) && b.trimmed().startsWith(QLatin1Char('+')))
        return digitsOf(a) == digitsOf(b);
    const QString digits = lastTenDigits(a);
    return digits.size() >= 7 && digits == lastTenDigits(b);
}

QString cleanPhoneNumber(const QString& typed) {
    QString cleaned = typed;
    cleaned.remove(QLatin1Char('-'));
    cleaned.remove(QLatin1Char(' '));
    return cleaned;
}

void PhoneFileReader::feed(QByteArrayView bytes) {
    qsizetype start = 0;
    for (qsizetype at = 0; at < bytes.size() && !overflowed(); ++at) {
        if (bytes[at] != '\r' && bytes[at] != '\n')
            continue;
        // CR LF ends a line and then an empty one, which gives no row.
        endLine(bytes.sliced(start, at - start));
        start = at + 1;
    }
    if (!overflowed())
        partial_ += bytes.sliced(start);
}

void PhoneFileReader::finish() {
    if (!overflowed())
        endLine({});
}

namespace {
bool isAsciiBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}
} // namespace

void PhoneFileReader::endLine(QByteArrayView tail) {
    const QByteArray joined = partial_.isEmpty() ? QByteArray() : partial_ + tail.toByteArray();
    const QByteArrayView bytes = partial_.isEmpty() ? tail : QByteArrayView(joined);
    partial_.clear();
    // A line with an ASCII byte that is no blank has text; a line of blanks and other bytes
    // is decided on its decoded text (which may hold other blanks, such as U+00A0).
    const bool hasAsciiText = std::any_of(
        bytes.begin(), bytes.end(), [](char c) { return uchar(c) < 0x80 && !isAsciiBlank(c); });
    if (!hasAsciiText && std::all_of(bytes.begin(), bytes.end(), isAsciiBlank))
        return;
    // Qt reads the local 8-bit encoding as UTF-8 on Linux; fromUtf8 takes the short way there.
    QString line = QString::fromUtf8(bytes);
    if (hasAsciiText || !line.trimmed().isEmpty())
        rows_ << std::move(line);
}

QStringList rowsFromFileText(const QByteArray& bytes) {
    PhoneFileReader reader(std::numeric_limits<qsizetype>::max() - 1);
    reader.feed(bytes);
    reader.finish();
    return reader.rows();
}

} // namespace recipients
