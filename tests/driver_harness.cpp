// SPDX-License-Identifier: MIT
#include "tests/driver_harness.h"

namespace javtest {

DriverHarness::DriverHarness() { stream_ = host_.memoryStream(); }

DriverHarness::DriverHarness(int32_t units, int32_t pixels) : DriverHarness() {
    squareTarget(host_, units, pixels);
    start();
}

DriverHarness::~DriverHarness() {
    shutDown();
    EXPECT_EQ(host_.liveBlocks(), 0u) << host_.describeLive();
    EXPECT_EQ(host_.liveObjects(), 0u) << host_.describeLive();
    EXPECT_EQ(host_.openElements(), 0u) << "elements left open";
}

DriverContext* DriverHarness::start() {
    context_ = startTrgJAV(&stream_->base, host_.params(), 0);
    return context_;
}

// The host's picture conversions end with the instance.
void DriverHarness::shutDown() {
    if (context_ != nullptr) shutDownJAVtrg(context_);
    context_ = nullptr;
    host_.releaseConversions();
}

HostObject* DriverHarness::objectWithInts(int32_t kind, int32_t offset, const std::vector<int32_t>& ints) {
    HostObject* o = host_.newObject(kind);
    if (!ints.empty()) host_.attachBlock(o, offset, ints.data(), ints.size() * sizeof(int32_t));
    return o;
}

std::string DriverHarness::take() {
    std::string all = stream_->text();
    stream_->writes.clear();
    return all;
}

void squareTarget(refhost::ReferenceHost& host, int32_t units, int32_t pixels) {
    TargetParams* p = host.params();
    p->sizeX = 1.0;
    p->sizeY = 1.0;
    p->sourceFrame[0] = 0;
    p->sourceFrame[1] = 0;
    p->sourceFrame[2] = units;
    p->sourceFrame[3] = units;
    host.useTargetInfo(true);
    host.info()->pixelWidth = pixels;
    host.info()->pixelHeight = pixels;
}

}  // namespace javtest
