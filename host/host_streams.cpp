// SPDX-License-Identifier: MIT
// Output streams of the reference host: to memory and to a file.
#include <cstdio>

#include "host/reference_host.h"

namespace refhost {

namespace {

int32_t memoryWrite(OutputStream* stream, const char* bytes, uint32_t length) {
    auto* s = reinterpret_cast<MemoryStream*>(stream);
    if (s->host->shouldFail("write")) return 0;
    if (s->keep) s->writes.emplace_back(bytes, length);
    s->bytes += length;
    return 1;
}

int32_t memoryIsReady(OutputStream* stream) {
    auto* s = reinterpret_cast<MemoryStream*>(stream);
    s->host->log("isReady");
    if (s->host->shouldFail("isReady")) return 0;
    return s->readyResult;
}

void memoryFinish(OutputStream* stream) {
    auto* s = reinterpret_cast<MemoryStream*>(stream);
    s->host->log("finish");
    s->host->countCall("finish");
    s->finishCalls += 1;
}

int32_t fileWrite(OutputStream* stream, const char* bytes, uint32_t length) {
    auto* s = reinterpret_cast<FileStream*>(stream);
    if (s->host->shouldFail("write")) return 0;
    if (length > 0 && std::fwrite(bytes, 1, length, s->file) != length) {
        s->failed = true;
        s->host->noteFailure("write", "the file took only part of the record");
        return 0;
    }
    return 1;
}

void fileFinish(OutputStream* stream) {
    auto* s = reinterpret_cast<FileStream*>(stream);
    s->host->countCall("finish");
    s->finishCalls += 1;
    if (std::fflush(s->file) != 0) s->failed = true;
}

}  // namespace

std::string MemoryStream::text() const {
    std::string all;
    for (const std::string& w : writes) all += w;
    return all;
}

ReferenceHost& StreamStore::host() { return static_cast<ReferenceHost&>(*this); }

StreamStore::~StreamStore() {
    for (auto& stream : fileStreams_) {
        if (stream->file != nullptr) std::fflush(stream->file);
    }
}

MemoryStream* StreamStore::memoryStream(bool withIsReady, bool withFinish) {
    auto stream = std::make_unique<MemoryStream>();
    stream->base.write = memoryWrite;
    stream->base.isReady = withIsReady ? memoryIsReady : nullptr;
    stream->base.finish = withFinish ? memoryFinish : nullptr;
    stream->host = &host();
    stream->readyResult = 1;
    stream->finishCalls = 0;
    memoryStreams_.push_back(std::move(stream));
    return memoryStreams_.back().get();
}

FileStream* StreamStore::fileStream(std::FILE* file, bool withFinish) {
    auto stream = std::make_unique<FileStream>();
    stream->base.write = fileWrite;
    stream->base.isReady = nullptr;
    stream->base.finish = withFinish ? fileFinish : nullptr;
    stream->host = &host();
    stream->file = file;
    stream->finishCalls = 0;
    stream->failed = false;
    fileStreams_.push_back(std::move(stream));
    return fileStreams_.back().get();
}

}  // namespace refhost
