// The stored carrier list and ticks as a restart reads them back: splitting never fails,
// a stored tick is a truth value or a Type mismatch, and a list without "^" in its rows
// comes back whole.
#include "core/error_report.h"
#include "core/settings.h"

#include <cstdlib>

using namespace core::settings;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype nul = text.indexOf(QChar(0));
    const QString carriers = nul < 0 ? text : text.left(nul);
    const QString ticks = nul < 0 ? QString() : text.mid(nul + 1);
    const QStringList pieces = storedPieces(carriers);
    QList<CarrierRow> rows;
    const QStringList tickPieces = storedPieces(ticks);
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        bool ticked = false;
        try {
            ticked = tickFromText(tickPieces.value(i));
        } catch (const core::Failure& failure) {
            if (failure.number() != core::failure_number::TypeMismatch)
                std::abort();
        }
        if (i + 1 < pieces.size() || !pieces[i].isEmpty())
            rows.append({pieces[i], ticked});
    }
    if (storedPieces(carrierListString(rows)).mid(0, rows.size()).size() != rows.size())
        std::abort();
    if (carriers.endsWith(QLatin1Char('^')) && carrierListString(rows) != carriers)
        std::abort();
    return 0;
}
