// SPDX-License-Identifier: MIT
// Output streams of the reference host: to memory and to a file. The host
// owns every stream it makes for its life; a file stream writes into a file
// its caller opened and closes, and the host flushes it when destroyed.
#ifndef JAVTRG_HOST_STREAMS_H
#define JAVTRG_HOST_STREAMS_H

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <javtrg/host_services.h>

namespace refhost {

class ReferenceHost;

// Keeps each write's bytes separately, or with `keep` false only counts
// them (a fuzzer's run may write a lot).
struct MemoryStream {
    OutputStream base;
    ReferenceHost* host;
    std::vector<std::string> writes;
    int32_t readyResult;
    int32_t finishCalls;
    bool keep = true;
    uint64_t bytes = 0;

    std::string text() const;
};

struct FileStream {
    OutputStream base;
    ReferenceHost* host;
    std::FILE* file;
    int32_t finishCalls;
    bool failed;
};

class StreamStore {
public:
    StreamStore() = default;
    ~StreamStore();
    StreamStore(const StreamStore&) = delete;
    StreamStore& operator=(const StreamStore&) = delete;

    MemoryStream* memoryStream(bool withIsReady = false, bool withFinish = false);
    FileStream* fileStream(std::FILE* file, bool withFinish = true);

private:
    ReferenceHost& host();

    std::vector<std::unique_ptr<MemoryStream>> memoryStreams_;
    std::vector<std::unique_ptr<FileStream>> fileStreams_;
};

}  // namespace refhost

#endif
