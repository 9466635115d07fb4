#include "core/error_report.h"

#include "platform/desktop.h"

#include <limits>

namespace core {

namespace {
QString runtimeDescription(long number) {
    switch (number) {
    case failure_number::InvalidCall:
        return QStringLiteral("Invalid procedure call or argument");
    case failure_number::Overflow:
        return QStringLiteral("Overflow");
    case failure_number::OutOfMemory:
        return QStringLiteral("Out of memory");
    case failure_number::TypeMismatch:
        return QStringLiteral("Type mismatch");
    case failure_number::FileNotFound:
        return QStringLiteral("File not found");
    case failure_number::PathFileAccess:
        return QStringLiteral("Path/File access error");
    case failure_number::ObjectNotSet:
        return QStringLiteral("Object variable or With block variable not set");
    default:
        return QStringLiteral("Application-defined or object-defined error");
    }
}
} // namespace

Failure::Failure(long number, QString description)
    : number_(number), description_(std::move(description)), utf8_(description_.toUtf8()) {}

Failure::Failure(long runtimeNumber) : Failure(runtimeNumber, runtimeDescription(runtimeNumber)) {}

QString errorReportText(const QString& description, const QString& qualifiedName, int line) {
    return description + QLatin1String("\r\n") + qualifiedName + QLatin1String("at line ") +
           QString::number(line) + QLatin1String("\r\r") +
           QLatin1String("Please email screenshot of this message to ") + kSupportAddress;
}

void showErrorReport(platform::Desktop& desktop, const QString& qualifiedName, int line,
                     const QString& description) {
    desktop.messageBox(errorReportText(description, qualifiedName, line), platform::Buttons::Ok,
                       platform::Icon::Warning, kErrorReportTitle);
}

qint16 toInteger(qsizetype value) {
    if (value > std::numeric_limits<qint16>::max() || value < std::numeric_limits<qint16>::min())
        throw Failure(failure_number::Overflow);
    return qint16(value);
}

} // namespace core
