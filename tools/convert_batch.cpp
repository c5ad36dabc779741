// SPDX-License-Identifier: MIT
// Several scripts converted at once, each by its own driver instance on its
// own reference host, on a pool of threads that share only the loaded
// library (the driver keeps no state of its own outside its instances).
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <iostream>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>

#include "tools/convert_command.h"
#include "tools/output_file.h"

namespace javtool {

namespace {

namespace fs = std::filesystem;

// What the threads share: the jobs' messages, printed whole and in the
// jobs' order as soon as every job before has ended, and the progress line.
class BatchReport {
public:
    BatchReport(size_t jobs, std::ostream& messages, bool progressLine)
        : messages_(messages), progressLine_(progressLine), texts_(jobs), ended_(jobs, false) {}

    void ended(size_t job, int status, std::string text) {
        std::lock_guard<std::mutex> hold(lock_);
        status_ = std::max(status_, status);
        texts_[job] = std::move(text);
        ended_[job] = true;
        ++count_;
        if (progressLine_) messages_ << "\r\033[K";
        for (; printed_ < ended_.size() && ended_[printed_]; ++printed_) messages_ << texts_[printed_];
        if (progressLine_) {
            messages_ << "javtrg: " << count_ << " of " << ended_.size() << " scripts converted";
            if (count_ == ended_.size()) messages_ << "\r\033[K";
        }
        messages_.flush();
    }
    int status() const { return status_; }

private:
    std::mutex lock_;
    std::ostream& messages_;
    bool progressLine_;
    std::vector<std::string> texts_;
    std::vector<bool> ended_;
    size_t printed_ = 0;
    size_t count_ = 0;
    int status_ = kExitOk;
};

// Converts one job of the batch; nothing it meets ends the other jobs.
void convertJob(const ConvertJob& job, const DriverApi& api, size_t index, BatchReport& report) {
    std::ostringstream messages;
    int status = kExitBadInput;
    DriverSource driver = [&api](std::ostream&) { return &api; };
    try {
        status = convertScript(job, driver, messages);
    } catch (const std::bad_alloc&) {
        messages << "javtrg: " << job.script << ": out of memory\n";
    } catch (const std::exception& e) {
        messages << "javtrg: " << job.script << ": " << e.what() << "\n";
    }
    report.ended(index, status, messages.str());
}

bool sameFile(const std::string& a, const std::string& b) {
    struct stat first {};
    struct stat second {};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

}  // namespace

int convertBatch(const std::vector<ConvertJob>& jobs, size_t threads, const DriverApi& api, std::ostream& messages,
                 bool progressLine) {
    BatchReport report(jobs.size(), messages, progressLine);
    std::atomic<size_t> next{0};
    auto work = [&]() {
        for (size_t i = next++; i < jobs.size(); i = next++) convertJob(jobs[i], api, i, report);
    };
    size_t count = std::min(threads, jobs.size());
    std::vector<std::thread> pool;
    for (size_t i = 1; i < count; ++i) pool.emplace_back(work);
    work();
    for (std::thread& thread : pool) thread.join();
    return report.status();
}

int ConvertCommand::runBatch(const InputOptions& input) const {
    // Every stream is named after its script; two scripts of one name, a
    // script from standard input, or a stream that would replace a script
    // of the batch are refused before anything is converted.
    std::vector<ConvertJob> jobs;
    std::map<std::string, std::string> writers;
    for (const std::string& script : scripts_) {
        std::string stem = fs::path(script).stem().string();
        // A name of dots only ("...json" has the stem "..") would name the
        // folder above the elements folder.
        if (script == kStandardStream) {
            std::cerr << "javtrg: " << script << ": expected the file of a script, whose name names its stream in "
                      << outDir_ << "\n";
            return kExitBadInput;
        }
        if (stem.find_first_not_of('.') == std::string::npos) {
            std::cerr << "javtrg: " << script << ": a name of dots only names no stream or element folder inside "
                      << outDir_ << "; expected a script of another name\n";
            return kExitBadInput;
        }
        std::string output = (fs::path(outDir_) / (stem + ".records")).string();
        auto [writer, fresh] = writers.emplace(output, script);
        if (!fresh) {
            std::cerr << "javtrg: " << writer->second << " and " << script << " would both write " << output << "\n";
            return kExitBadInput;
        }
        jobs.push_back(ConvertJob{script, output, elements_.empty() ? "" : (fs::path(elements_) / stem).string(), input,
                                  outDir_, ""});
    }
    for (const ConvertJob& job : jobs) {
        for (const std::string& script : scripts_) {
            if (sameFile(job.output, script)) {
                std::cerr << "javtrg: " << job.output << ": is the script " << script
                          << "; expected another file for a record stream\n";
                return kExitBadInput;
            }
        }
    }
    std::error_code failure;
    fs::create_directories(outDir_, failure);
    if (failure || !fs::is_directory(outDir_)) {
        std::cerr << "javtrg: " << outDir_ << ": cannot make the output directory"
                  << (failure ? ": " + failure.message() : std::string()) << "\n";
        return kExitBadInput;
    }

    // The elements folder is made once for every thread, and removed again
    // when no script left an element in it.
    MadeDirectories elementsRoot;
    if (!elements_.empty() && !elementsRoot.make(elements_, std::cerr)) return kExitBadInput;

    DriverApi api;
    std::string error;
    if (!(library_.empty() ? loadDefaultDriver(&api, &error) : loadDriver(library_, &api, &error))) {
        std::cerr << "javtrg: " << error << "\n";
        return kExitDriverFailed;
    }
    int status = convertBatch(jobs, threads_, api, std::cerr, ::isatty(STDERR_FILENO) == 1);
    unloadDriver(&api);
    return status;
}

}  // namespace javtool
