// SPDX-License-Identifier: MIT
#include "tools/temporary_files.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <mutex>

#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

namespace javtool {

namespace {

// Enough for every output of a batch on its largest number of threads.
constexpr int kSlots = 320;
constexpr size_t kPathMax = 4096;

enum SlotState : int { kFree = 0, kFilling = 1, kHeld = 2 };

// The handler reads the table without locks: a slot's path is complete
// before its state says kHeld, and is not touched again until it is free.
struct Slot {
    std::atomic<int> state{kFree};
    char path[kPathMax];
};
Slot gSlots[kSlots];
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler reads the slot states");

void unlinkHeld() {
    for (Slot& slot : gSlots) {
        if (slot.state.load(std::memory_order_acquire) == kHeld) ::unlink(slot.path);
    }
}

extern "C" void removeTemporaries(int signal) {
    unlinkHeld();
    // End as the signal ends a process, so the caller sees it.
    std::signal(signal, SIG_DFL);
    ::raise(signal);
}

void installHandlers() {
    struct sigaction action {};
    action.sa_handler = removeTemporaries;
    sigemptyset(&action.sa_mask);
    sigaddset(&action.sa_mask, SIGINT);
    sigaddset(&action.sa_mask, SIGTERM);
    for (int signal : {SIGINT, SIGTERM}) {
        struct sigaction previous {};
        // A signal the caller had the process ignore stays ignored.
        if (::sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
        ::sigaction(signal, &action, nullptr);
    }
}

}  // namespace

int createTemporary(const std::string& prefix, std::string* path, int* slot) {
    static std::once_flag installed;
    std::call_once(installed, installHandlers);
    static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    const size_t length = prefix.size() + 7;
    int taken = -1;
    for (int i = 0; i < kSlots && length < kPathMax; ++i) {
        int expected = kFree;
        if (gSlots[i].state.compare_exchange_strong(expected, kFilling, std::memory_order_acquire)) {
            taken = i;
            break;
        }
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        unsigned char random[6];
        if (::getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) break;
        std::string name = prefix + ".";
        for (unsigned char byte : random) name += kLetters[byte % (sizeof kLetters - 1)];
        // The name is registered before the file exists, so that an
        // interrupt at any moment finds every file this run has made.
        if (taken >= 0) {
            gSlots[taken].state.store(kFilling, std::memory_order_relaxed);
            std::memcpy(gSlots[taken].path, name.c_str(), name.size() + 1);
            gSlots[taken].state.store(kHeld, std::memory_order_release);
        }
        int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            *path = name;
            *slot = taken;
            return fd;
        }
        if (errno != EEXIST) break;
    }
    unregisterTemporary(taken);
    *slot = -1;
    return -1;
}

void removeRegisteredTemporaries() { unlinkHeld(); }

void unregisterTemporary(int slot) {
    if (slot >= 0 && slot < kSlots) gSlots[slot].state.store(kFree, std::memory_order_release);
}

}  // namespace javtool
