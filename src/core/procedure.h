#pragma once

#include "core/error_report.h"

#include <QString>
#include <functional>

namespace platform {
class Desktop;
}

namespace core {

// One run of a guarded procedure. Each numbered statement runs through it; a statement
// that fails is reported with its line number and the procedure goes on with the next
// statement, the failed statement's effect simply missing.
class Procedure {
  public:
    // Decides about a failure before the report: returns true when it handled the failure
    // and the procedure must end.
    using Interceptor = std::function<bool(const Failure&, int line)>;

    Procedure(platform::Desktop& desktop, QString qualifiedName, Interceptor interceptor = {});

    // An ordinary statement.
    void step(int line, const std::function<void()>& statement);
    // A test that opens a block: when the test fails, the block is entered.
    bool opensBlock(int line, const std::function<bool()>& test);
    // A test that only skips ahead: when the test fails, nothing is skipped.
    bool skipsAhead(int line, const std::function<bool()>& test);

    // True once an interceptor has ended the procedure; every later statement is skipped.
    bool ended() const { return ended_; }

  private:
    bool run(int line, const std::function<void()>& statement);
    void fail(const Failure& failure, int line);

    platform::Desktop& desktop_;
    QString qualifiedName_;
    Interceptor interceptor_;
    bool ended_ = false;
};

// The qualified name of a guarded procedure: "in Velmora2017/04/05.<window>.<procedure> ".
QString qualifiedName(const char* window, const char* procedure);

} // namespace core
