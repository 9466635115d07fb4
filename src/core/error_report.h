#pragma once

#include <QString>
#include <exception>

namespace platform {
class Desktop;
}

namespace core {

inline const QString kSupportAddress = QStringLiteral("support@quorvane.com");
inline const QString kErrorReportTitle = QStringLiteral("Application Error");

// Failure numbers of the run time that the program raises itself.
namespace failure_number {
constexpr long InvalidCall = 5;
constexpr long Overflow = 6;
constexpr long OutOfMemory = 7;
constexpr long TypeMismatch = 13;
constexpr long FileNotFound = 53;
constexpr long PathFileAccess = 75;
constexpr long ObjectNotSet = 91;
} // namespace failure_number

// A failure with a number and a description, raised by any statement of a procedure.
class Failure : public std::exception {
  public:
    Failure(long number, QString description);
    // One of the run time's own failures, with its standard description.
    explicit Failure(long runtimeNumber);

    long number() const { return number_; }
    const QString& description() const { return description_; }
    const char* what() const noexcept override { return utf8_.constData(); }

  private:
    long number_;
    QString description_;
    QByteArray utf8_;
};

// The text of the error report: the description, CR LF, the procedure's qualified name,
// "at line " and the line, CR CR, and the request to mail a screenshot.
QString errorReportText(const QString& description, const QString& qualifiedName, int line);

// Shows the "Application Error" box (warning icon, OK) and waits for OK.
void showErrorReport(platform::Desktop& desktop, const QString& qualifiedName, int line,
                     const QString& description);

// A 16-bit signed count or position; larger values are an Overflow failure.
qint16 toInteger(qsizetype value);

} // namespace core
