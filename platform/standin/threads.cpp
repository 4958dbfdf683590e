// Threads and time on the stand-in: real threads behind Windows' thread calls, and a clock that
// in-process tests can replace.
#include <pthread.h>
#include <sched.h>
#include <time.h>

#include <atomic>
#include <mutex>
#include <set>

#include "platform/kernel.h"
#include "platform/standin/machine.h"
#include "platform/standin/test_machine.h"
#include "platform/timer.h"

namespace {

// A thread's record: the handle CreateThread gives points to it.
struct ThreadRecord {
    pthread_t thread{};
    DWORD id = 0;
};

// What the new thread starts with; its own, since the handle may be closed before it runs.
struct ThreadStart {
    DWORD id = 0;
    LPTHREAD_START_ROUTINE routine = nullptr;
    LPVOID parameter = nullptr;
};

std::atomic<DWORD> nextThreadId{0x100};
std::atomic<int> runningThreads{0};

// Counts a started thread until it ends, whether it returns or calls ExitThread.
struct RunningMark {
    RunningMark() { ++runningThreads; }
    ~RunningMark() { --runningThreads; }
};
thread_local DWORD currentThreadId = 0;

std::mutex threadsLock;
std::set<ThreadRecord*> liveHandles;

std::mutex clockLock;
standin::Clock replacedClock;
// Read on every call without the lock: the real clock needs none.
std::atomic<bool> clockReplaced{false};

void* runThread(void* argument) {
    thread_local RunningMark running;
    ThreadStart start = *static_cast<ThreadStart*>(argument);
    delete static_cast<ThreadStart*>(argument);
    currentThreadId = start.id;
    return reinterpret_cast<void*>(static_cast<uintptr_t>(start.routine(start.parameter)));
}

}  // namespace

namespace standin {

bool closeThreadHandle(HANDLE handle) {
    auto* record = static_cast<ThreadRecord*>(handle);
    {
        std::lock_guard<std::mutex> hold(threadsLock);
        if (!liveHandles.erase(record)) return false;
    }
    pthread_detach(record->thread);
    delete record;
    return true;
}

int threadsRunning() { return runningThreads; }

void setClock(Clock clock) {
    std::lock_guard<std::mutex> hold(clockLock);
    clockReplaced = static_cast<bool>(clock);
    replacedClock = std::move(clock);
}

}  // namespace standin

HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES, size_t stackSize, LPTHREAD_START_ROUTINE startAddress,
                           LPVOID parameter, DWORD flags, LPDWORD threadId) {
    uint32_t code = 0;
    if (standin::injectedFailure("CreateThread", ERROR_NOT_ENOUGH_MEMORY, &code)) {
        SetLastError(code);
        return nullptr;
    }
    if (!startAddress || flags != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto* record = new ThreadRecord;
    record->id = nextThreadId.fetch_add(4);
    auto* start = new ThreadStart{record->id, startAddress, parameter};
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    if (stackSize) pthread_attr_setstacksize(&attributes, std::max<size_t>(stackSize, PTHREAD_STACK_MIN));
    std::lock_guard<std::mutex> hold(threadsLock);
    int started = pthread_create(&record->thread, &attributes, runThread, start);
    pthread_attr_destroy(&attributes);
    if (started != 0) {
        delete start;
        delete record;
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    liveHandles.insert(record);
    if (threadId) *threadId = record->id;
    return record;
}

void WINAPI ExitThread(DWORD exitCode) { pthread_exit(reinterpret_cast<void*>(static_cast<uintptr_t>(exitCode))); }

DWORD WINAPI GetCurrentThreadId() {
    if (currentThreadId == 0) currentThreadId = nextThreadId.fetch_add(4);
    return currentThreadId;
}

void WINAPI Sleep(DWORD milliseconds) {
    if (milliseconds == 0) {
        sched_yield();
        return;
    }
    timespec wait{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&wait, &wait) != 0) {
    }
}

DWORD WINAPI timeGetTime() {
    if (clockReplaced) {
        std::lock_guard<std::mutex> hold(clockLock);
        if (replacedClock) return replacedClock();
    }
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    uint64_t milliseconds = static_cast<uint64_t>(now.tv_sec) * 1000 + static_cast<uint64_t>(now.tv_nsec) / 1000000;
    return static_cast<DWORD>(milliseconds);
}
