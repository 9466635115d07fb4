#include "recipients/phone_rules.h"

#include <QStringDecoder>

namespace recipients {

QString cleanPhoneNumber(const QString& typed) {
    QString cleaned = typed;
    cleaned.remove(QLatin1Char('-'));
    cleaned.remove(QLatin1Char(' '));
    return cleaned;
}

QStringList rowsFromFileText(const QByteArray& bytes) {
    QStringList rows;
    QStringDecoder decode(QStringDecoder::System);
    const auto addRow = [&](qsizetype from, qsizetype to) {
        rows << decode.decode(QByteArrayView(bytes).sliced(from, to - from));
    };
    qsizetype position = 0;
    const qsizetype size = bytes.size();
    while (position < size) {
        qsizetype lineEnd = bytes.indexOf('\r', position);
        qsizetype next;
        if (lineEnd < 0) {
            lineEnd = size;
            next = size;
        } else {
            next = lineEnd + 1;
            if (next < size && bytes[next] == '\n')
                ++next;
        }
        qsizetype start = position;
        for (qsizetype feed = bytes.indexOf('\n', start); feed >= 0 && feed < lineEnd;
             feed = bytes.indexOf('\n', start)) {
            addRow(start, feed);
            start = feed + 1;
        }
        addRow(start, lineEnd);
        position = next;
    }
    return rows;
}

} // namespace recipients
