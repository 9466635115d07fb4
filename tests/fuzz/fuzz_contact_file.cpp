// The contacts reader fed in two pieces, as whatever format the start names: no more
// contacts than there is room for, each with a number and a name without control
// characters, and reading in pieces gives what reading at once gives.
#include "recipients/contact_file.h"

#include <cstdlib>

namespace {
QList<recipients::Contact> readWhole(recipients::ContactFormat format, QByteArrayView bytes,
                                     qsizetype room) {
    recipients::ContactReader reader(format, room);
    reader.feed(bytes);
    reader.finish();
    return reader.contacts();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    const qsizetype room = data[0];
    const QByteArrayView rest(reinterpret_cast<const char*>(data) + 2, qsizetype(size - 2));
    const qsizetype split = qMin<qsizetype>(data[1], rest.size());
    const recipients::ContactFormat format = recipients::contactFormatOf(rest);
    recipients::ContactReader reader(format, room);
    reader.feed(rest.first(split));
    reader.feed(rest.sliced(split));
    reader.finish();
    const QList<recipients::Contact> contacts = reader.contacts();
    if (contacts.size() > room)
        std::abort();
    for (const recipients::Contact& person : contacts)
        if (person.number.isEmpty() || person.name != recipients::cleanName(person.name))
            std::abort();
    // A piece may end inside a multibyte character or a byte-order mark: the encoding is
    // chosen from the first piece, so only pieces that start whole are compared.
    if (split >= 4 && !reader.overflowed() && reader.problem().isEmpty() &&
        contacts != readWhole(format, rest, room))
        std::abort();
    return 0;
}
