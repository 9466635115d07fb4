#include "core/settings.h"

#include "core/error_report.h"

#include <QLocale>
#include <QRegularExpression>

namespace core::settings {

QString carrierListString(const QList<CarrierRow>& rows) {
    QString stored;
    for (const CarrierRow& row : rows)
        stored += row.text + QLatin1Char('^');
    return stored;
}

QString tickListString(const QList<CarrierRow>& rows) {
    QString stored;
    for (const CarrierRow& row : rows)
        stored += (row.ticked ? QLatin1String("True") : QLatin1String("False")) + QLatin1Char('^');
    return stored;
}

QStringList storedPieces(const QString& stored) {
    if (stored.isEmpty())
        return {};
    return stored.split(QLatin1Char('^'));
}

bool tickFromText(const QString& piece) {
    const QString text = piece.trimmed();
    if (text.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (text.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    bool isNumber = false;
    double number = QLocale::c().toDouble(text, &isNumber);
    if (!isNumber)
        number = QLocale::system().toDouble(text, &isNumber);
    if (!isNumber)
        throw Failure(failure_number::TypeMismatch);
    return number != 0.0;
}

QString countryCodeOf(const QString& stored) {
    static const QRegularExpression countryCode(QStringLiteral("^\\+[0-9]{1,4}$"));
    const QString code = stored.trimmed();
    return countryCode.match(code).hasMatch() ? code : QStringLiteral("+1");
}

} // namespace core::settings
