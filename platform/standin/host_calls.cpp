// The content calls and the faults tests arm on them.
#include "platform/standin/host_calls.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <mutex>

#include "platform/standin/test_machine.h"

namespace standin {
namespace {

struct Fault {
    bool armed = false;
    uint64_t remaining = 0;  // bytes still allowed through
    int error = 0;
};

// One fault per content call, by HostCall.
std::mutex faultLock;
Fault faults[2];

Fault& faultOf(HostCall call) { return faults[static_cast<int>(call)]; }

HostWriteWatcher writeWatcher;
uint64_t writtenSinceWatched = 0;

// How much of `size` the call may move now; 0 with errno set when it must fail. The allowance is
// taken at once so that concurrent calls cannot together pass the limit.
size_t allowance(HostCall call, size_t size, bool* limited) {
    std::lock_guard<std::mutex> hold(faultLock);
    Fault& fault = faultOf(call);
    *limited = fault.armed;
    if (!fault.armed) return size;
    if (fault.remaining == 0 && size > 0) {
        errno = fault.error;
        return 0;
    }
    size_t granted = static_cast<size_t>(std::min<uint64_t>(size, fault.remaining));
    fault.remaining -= granted;
    return granted;
}

// Gives back what the host did not move of an allowance.
void giveBack(HostCall call, size_t unused) {
    std::lock_guard<std::mutex> hold(faultLock);
    Fault& fault = faultOf(call);
    if (fault.armed) fault.remaining += unused;
}

template <typename Buffer, typename Real>
ssize_t through(HostCall call, int fd, Buffer buffer, size_t size, Real real) {
    bool limited = false;
    size_t granted = allowance(call, size, &limited);
    if (limited && granted == 0 && size > 0) return -1;
    ssize_t moved = real(fd, buffer, granted);
    if (limited) giveBack(call, moved > 0 ? granted - static_cast<size_t>(moved) : granted);
    return moved;
}

}  // namespace

ssize_t hostRead(int fd, void* buffer, size_t size) {
    return through(HostCall::Read, fd, buffer, size, ::read);
}

ssize_t hostWrite(int fd, const void* buffer, size_t size) {
    ssize_t moved = through(HostCall::Write, fd, buffer, size, ::write);
    HostWriteWatcher watcher;
    uint64_t total = 0;
    {
        std::lock_guard<std::mutex> hold(faultLock);
        if (moved > 0) writtenSinceWatched += static_cast<uint64_t>(moved);
        watcher = writeWatcher;
        total = writtenSinceWatched;
    }
    if (watcher && moved > 0) watcher(total);
    return moved;
}

void watchHostWrites(HostWriteWatcher watcher) {
    std::lock_guard<std::mutex> hold(faultLock);
    writeWatcher = std::move(watcher);
    writtenSinceWatched = 0;
}

void armHostFault(HostCall call, uint64_t afterBytes, int errnoValue) {
    std::lock_guard<std::mutex> hold(faultLock);
    faultOf(call) = {true, afterBytes, errnoValue};
}

void failHostWrites(uint64_t afterBytes, int errnoValue) {
    armHostFault(HostCall::Write, afterBytes, errnoValue);
}

void failHostReads(uint64_t afterBytes, int errnoValue) {
    armHostFault(HostCall::Read, afterBytes, errnoValue);
}

void clearHostFaults() {
    std::lock_guard<std::mutex> hold(faultLock);
    for (Fault& fault : faults) fault = {};
    writeWatcher = nullptr;
}

}  // namespace standin
