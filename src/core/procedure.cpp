#include "core/procedure.h"

#include "platform/desktop.h"

#include <new>

namespace core {

QString qualifiedName(const char* window, const char* procedure) {
    return QStringLiteral("in Velmora2017/04/05.%1.%2 ")
        .arg(QLatin1String(window), QLatin1String(procedure));
}

Procedure::Procedure(platform::Desktop& desktop, QString qualifiedName, Interceptor interceptor)
    : desktop_(desktop), qualifiedName_(std::move(qualifiedName)),
      interceptor_(std::move(interceptor)) {}

void Procedure::step(int line, const std::function<void()>& statement) {
    run(line, statement);
}

bool Procedure::opensBlock(int line, const std::function<bool()>& test) {
    bool result = false;
    if (!run(line, [&] { result = test(); }))
        return !ended_;
    return result;
}

bool Procedure::skipsAhead(int line, const std::function<bool()>& test) {
    bool result = false;
    run(line, [&] { result = test(); });
    return result && !ended_;
}

bool Procedure::run(int line, const std::function<void()>& statement) {
    if (ended_)
        return false;
    try {
        statement();
        return true;
    } catch (const Failure& failure) {
        fail(failure, line);
    } catch (const std::bad_alloc&) {
        fail(Failure(failure_number::OutOfMemory), line);
    } catch (const std::exception& other) {
        fail(Failure(failure_number::InvalidCall, QString::fromUtf8(other.what())), line);
    }
    return false;
}

void Procedure::fail(const Failure& failure, int line) {
    if (interceptor_ && interceptor_(failure, line)) {
        ended_ = true;
        return;
    }
    showErrorReport(desktop_, qualifiedName_, line, failure.description());
}

} // namespace core
