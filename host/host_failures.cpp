// SPDX-License-Identifier: MIT
// The reference host's operations, how each fails, and the failure
// injection that consults them.
#include "host/host_failures.h"

#include <cstdio>
#include <cstdlib>

namespace refhost {

namespace {

enum class Fails { ReturnsNothing, ReportsFailure, Never };

struct Operation {
    const char* name;
    Fails fails;
};

// Every operation of the host's tables, the output stream, objects, the
// target info and element writers, once.
constexpr Operation kOperations[] = {
    // HostServices
    {"allocate", Fails::ReturnsNothing},
    {"allocateZeroed", Fails::ReturnsNothing},
    {"reallocate", Fails::ReturnsNothing},
    {"freeBlock", Fails::Never},
    {"createObject", Fails::ReturnsNothing},
    {"releaseObject", Fails::Never},
    {"insertObject", Fails::ReportsFailure},
    {"popObject", Fails::Never},
    {"freeList", Fails::Never},
    {"splitText", Fails::ReportsFailure},
    {"copyPalette", Fails::ReturnsNothing},
    {"freePalette", Fails::Never},
    {"newPointList", Fails::ReturnsNothing},
    {"freePointList", Fails::Never},
    {"curveToPointList", Fails::ReturnsNothing},
    {"closedCurveToPointList", Fails::ReturnsNothing},
    {"currentTransform", Fails::ReturnsNothing},
    {"transformPoint", Fails::Never},
    {"queryPictureFormat", Fails::ReportsFailure},
    {"convertPicture", Fails::ReturnsNothing},
    {"exportRaster", Fails::ReportsFailure},
    {"registerDriver", Fails::ReportsFailure},
    {"installHandler", Fails::ReportsFailure},
    {"setRegistrationFlag", Fails::ReportsFailure},
    {"setTargetPictureHandler", Fails::ReportsFailure},
    {"registrationStepA", Fails::ReportsFailure},
    {"registrationStepB", Fails::ReportsFailure},
    {"registrationStepC", Fails::ReportsFailure},
    {"unregisterDriver", Fails::ReportsFailure},
    // HostSession
    {"allocSessionBlock", Fails::ReturnsNothing},
    {"freeSessionBlock", Fails::Never},
    {"convertText", Fails::ReportsFailure},
    {"convertToUnits", Fails::ReportsFailure},
    {"isLeadByte", Fails::Never},
    {"mapFontEncoding", Fails::ReportsFailure},
    {"createMeasureContext", Fails::ReturnsNothing},
    {"selectObject", Fails::ReturnsNothing},
    {"deleteObject", Fails::ReportsFailure},
    {"createFont", Fails::ReturnsNothing},
    {"getTextFace", Fails::ReportsFailure},
    {"getTextMetrics", Fails::ReportsFailure},
    // the stream, objects, the target info, element writers, groups
    {"write", Fails::ReportsFailure},
    {"isReady", Fails::ReportsFailure},
    {"finish", Fails::Never},
    {"clone", Fails::ReturnsNothing},
    {"createElement", Fails::ReturnsNothing},
    {"closeElement", Fails::ReportsFailure},
    {"groupNext", Fails::Never},
};

const Operation* findOperation(const std::string& name) {
    for (const Operation& operation : kOperations) {
        if (name == operation.name) return &operation;
    }
    return nullptr;
}

std::vector<std::string> namesWhere(bool injectable) {
    std::vector<std::string> names;
    for (const Operation& operation : kOperations) {
        if ((operation.fails != Fails::Never) == injectable) names.emplace_back(operation.name);
    }
    return names;
}

// A name the table does not list under the kind of call made is a mistake
// of the host: the count or the injection would go to no operation.
void requireListed(const std::string& name, bool injectable) {
    const Operation* operation = findOperation(name);
    if (operation != nullptr && (operation->fails != Fails::Never) == injectable) return;
    std::fprintf(stderr, "reference host: %s is no %s operation\n", name.c_str(), injectable ? "injectable" : "infallible");
    std::abort();
}

}  // namespace

const std::vector<std::string>& injectableOperations() {
    static const std::vector<std::string> names = namesWhere(true);
    return names;
}

const std::vector<std::string>& infallibleOperations() {
    static const std::vector<std::string> names = namesWhere(false);
    return names;
}

bool isInjectable(const std::string& operation) {
    const Operation* found = findOperation(operation);
    return found != nullptr && found->fails != Fails::Never;
}

void FailureInjection::failAt(const std::string& operation, uint64_t nth, bool persistent) {
    requireListed(operation, true);
    failures_[operation] = FailRule{calls(operation) + nth, persistent};
}

bool FailureInjection::shouldFail(const char* operation) {
    uint64_t count = ++callCounts_[operation];
    if (count == 1) requireListed(operation, true);
    auto rule = failures_.find(operation);
    if (rule == failures_.end()) return false;
    bool fails = count == rule->second.nth || (rule->second.persistent && count > rule->second.nth);
    if (fails) {
        ++injectedFailures_;
        noteFailure(operation, "failure injected at call " + std::to_string(count));
    }
    return fails;
}

void FailureInjection::countCall(const char* operation) {
    if (++callCounts_[operation] == 1) requireListed(operation, false);
}

uint64_t FailureInjection::calls(const std::string& operation) const {
    auto it = callCounts_.find(operation);
    return it == callCounts_.end() ? 0 : it->second;
}

void FailureInjection::noteFailure(const char* operation, std::string reason) {
    lastFailure_ = HostFailure{.operation = operation, .reason = std::move(reason)};
}

std::string FailureInjection::describeLastFailure() const {
    if (lastFailure_.operation.empty()) return std::string();
    const Operation* operation = findOperation(lastFailure_.operation);
    const char* verb = operation != nullptr && operation->fails == Fails::ReturnsNothing ? " returned nothing"
                                                                                          : " reported failure";
    return "the host's " + lastFailure_.operation + verb + " (" + lastFailure_.reason + ")";
}

}  // namespace refhost
