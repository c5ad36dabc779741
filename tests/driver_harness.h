// SPDX-License-Identifier: MIT
// A driver instance on a fresh reference host, for tests: objects in,
// records out, and a check at the end that nothing the host handed out is
// still live.
#ifndef JAVTRG_DRIVER_HARNESS_H
#define JAVTRG_DRIVER_HARNESS_H

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include <javtrg/host_services.h>
#include "stream/object_body.h"
#include "host/reference_host.h"

namespace javtest {

class DriverHarness {
public:
    DriverHarness();
    // Started on squareTarget(units, pixels).
    DriverHarness(int32_t units, int32_t pixels);
    ~DriverHarness();

    refhost::ReferenceHost& host() { return host_; }
    TargetParams* params() { return host_.params(); }
    HostSession* session() { return host_.session(); }
    refhost::MemoryStream* stream() { return stream_; }
    DriverContext* context() { return context_; }

    // Starts the instance; the target may be changed before.
    DriverContext* start();
    void shutDown();

    // A new object of `kind` whose body is a copy of `body`.
    template <typename Body>
    HostObject* object(int32_t kind, const Body& body) {
        HostObject* o = host_.newObject(kind, sizeof(Body));
        std::memcpy(host_.payload(o), &body, sizeof(Body));
        return o;
    }
    HostObject* object(int32_t kind) { return host_.newObject(kind); }
    // A new object of `kind` whose field at `offset` refers to a block
    // holding `ints` (no block when empty).
    HostObject* objectWithInts(int32_t kind, int32_t offset, const std::vector<int32_t>& ints);

    // Hands the object to the driver.
    int32_t put(HostObject* object) { return putJAVobject(context_, object); }
    template <typename Body>
    int32_t put(int32_t kind, const Body& body) { return put(object(kind, body)); }

    // Everything written so far, and then forgets it.
    std::string take();
    // Everything written so far.
    std::string text() const { return stream_->text(); }
    size_t writes() const { return stream_->writes.size(); }

private:
    refhost::ReferenceHost host_;
    refhost::MemoryStream* stream_;
    DriverContext* context_ = nullptr;
};

// A square target of `pixels` pixels for a picture of `units` host units:
// one inch, frame (0, 0)-(units, units), pixel size given.
void squareTarget(refhost::ReferenceHost& host, int32_t units, int32_t pixels);

}  // namespace javtest

#endif
