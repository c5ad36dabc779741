// SPDX-License-Identifier: MIT
// Failure injection and the call record of the reference host.
//
// Every operation the host offers a driver is listed once, in the table of
// host_failures.cpp, with how it fails: by returning nothing, by reporting
// failure, or not at all. An operation counts each of its calls here
// (shouldFail for one that can fail, countCall for one that cannot); failAt
// makes the Nth call of an operation fail, and the host remembers the last
// failure, injected or real, to report it in words.
#ifndef JAVTRG_HOST_FAILURES_H
#define JAVTRG_HOST_FAILURES_H

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace refhost {

// The operations of the host by the names the call counts, the failure
// injection and the failure messages use. An injectable operation has a
// failure result (absent, or 0) that failAt can make it return; an
// infallible one gives something back, answers a question or maps in place.
const std::vector<std::string>& injectableOperations();
const std::vector<std::string>& infallibleOperations();
bool isInjectable(const std::string& operation);

// The last operation of the host that failed, by injection or for real.
struct HostFailure {
    std::string operation;  // empty: nothing failed
    std::string reason;     // a short description
};

class FailureInjection {
public:
    // The Nth call (from 1) of `operation`, counted from now, fails; with
    // `persistent` every later call too. Only an injectable operation can be
    // made to fail: any other name ends the process.
    void failAt(const std::string& operation, uint64_t nth, bool persistent = false);
    void clearFailures() { failures_.clear(); }
    // Counts the call of an injectable operation and tells whether it must
    // fail.
    bool shouldFail(const char* operation);
    // Counts the call of an infallible operation.
    void countCall(const char* operation);
    uint64_t calls(const std::string& operation) const;
    // Every operation called so far, with its number of calls.
    const std::map<std::string, uint64_t>& callCounts() const { return callCounts_; }
    // How many calls failed by injection so far.
    uint64_t injectedFailures() const { return injectedFailures_; }

    // The last failure since clearLastFailure (injected or real), and the
    // same in words: "the host's curveToPointList returned nothing (failure
    // injected at call 3)"; empty when nothing failed.
    const HostFailure& lastFailure() const { return lastFailure_; }
    std::string describeLastFailure() const;
    void clearLastFailure() { lastFailure_ = HostFailure{}; }
    // Records a real failure of `operation`, with the reason.
    void noteFailure(const char* operation, std::string reason);

    // The operations called, in order (allocation and release not included).
    const std::vector<std::string>& callLog() const { return callLog_; }
    void log(std::string entry) { callLog_.push_back(std::move(entry)); }

private:
    struct FailRule {
        uint64_t nth;
        bool persistent;
    };
    std::map<std::string, FailRule> failures_;
    std::map<std::string, uint64_t> callCounts_;
    uint64_t injectedFailures_ = 0;
    HostFailure lastFailure_;
    std::vector<std::string> callLog_;
};

}  // namespace refhost

#endif
