// The phone-file reader fed in two pieces: no row may hold a line end or be blank, and no
// more rows than there is room for may come out.
#include "recipients/phone_rules.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    const qsizetype room = data[0];
    const size_t split = data[1] % size;
    const QByteArrayView rest(reinterpret_cast<const char*>(data) + 2, qsizetype(size - 2));
    recipients::PhoneFileReader reader(room);
    reader.feed(rest.first(qMin<qsizetype>(qsizetype(split), rest.size())));
    reader.feed(rest.sliced(qMin<qsizetype>(qsizetype(split), rest.size())));
    reader.finish();
    const QStringList rows = reader.rows();
    if (rows.size() > room)
        std::abort();
    for (const QString& row : rows)
        if (row.contains(QLatin1Char('\r')) || row.contains(QLatin1Char('\n')) ||
            row.trimmed().isEmpty())
            std::abort();
    if (!reader.overflowed() &&
        rows != recipients::rowsFromFileText(rest.toByteArray()).mid(0, room))
        std::abort(); // reading in pieces must give what reading at once gives
    return 0;
}
