#include "recipients/phone_rules.h"

#include <limits>

namespace recipients {

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

void PhoneFileReader::endLine(QByteArrayView tail) {
    const QString line = partial_.isEmpty() ? QString::fromLocal8Bit(tail)
                                            : QString::fromLocal8Bit(partial_ + tail.toByteArray());
    partial_.clear();
    if (!line.trimmed().isEmpty())
        rows_ << line;
}

QStringList rowsFromFileText(const QByteArray& bytes) {
    PhoneFileReader reader(std::numeric_limits<qsizetype>::max() - 1);
    reader.feed(bytes);
    reader.finish();
    return reader.rows();
}

} // namespace recipients
