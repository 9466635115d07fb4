#include "recipients/phone_rules.h"

namespace recipients {

QString cleanPhoneNumber(const QString& typed) {
    QString cleaned = typed;
    cleaned.remove(QLatin1Char('-'));
    cleaned.remove(QLatin1Char(' '));
    return cleaned;
}

QStringList rowsFromFileText(const QByteArray& bytes) {
    // Line ends are ASCII, so decoding the whole file first leaves them where they were.
    const QString text = QString::fromLocal8Bit(bytes);
    const QStringView all(text);
    QStringList rows;
    qsizetype position = 0;
    const qsizetype size = all.size();
    while (position < size) {
        qsizetype lineEnd = all.indexOf(QLatin1Char('\r'), position);
        qsizetype next;
        if (lineEnd < 0) {
            lineEnd = size;
            next = size;
        } else {
            next = lineEnd + 1;
            if (next < size && all[next] == QLatin1Char('\n'))
                ++next;
        }
        // A line feed inside a line also starts a new row.
        qsizetype start = position;
        for (qsizetype feed = all.indexOf(QLatin1Char('\n'), start); feed >= 0 && feed < lineEnd;
             feed = all.indexOf(QLatin1Char('\n'), start)) {
            rows << all.sliced(start, feed - start).toString();
            start = feed + 1;
        }
        rows << all.sliced(start, lineEnd - start).toString();
        position = next;
    }
    return rows;
}

} // namespace recipients
