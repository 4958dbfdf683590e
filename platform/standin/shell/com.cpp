// COM on the stand-in: initialisation per thread, the one in-process class it serves and the task
// allocator that the shell's item lists come from.
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>

#include "platform/standin/machine.h"
#include "platform/standin/shell/shell_shared.h"
#include "platform/standin/test_machine.h"

const IID IID_IUnknown = {
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IMalloc = {
    0x00000002, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IPersist = {
    0x0000010C, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IPersistFile = {
    0x0000010B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IShellLinkA = {
    0x000214EE, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const CLSID CLSID_ShellLink = {
    0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

namespace standin::shell {
namespace {

// How often COM is initialised on this thread now.
thread_local unsigned comDepth = 0;

struct CallCounts {
    std::mutex lock;
    std::map<std::thread::id, ComCalls> byThread;
};

CallCounts& callCounts() {
    static CallCounts counts;
    return counts;
}

void countCall(bool initialize) {
    CallCounts& counts = callCounts();
    std::lock_guard<std::mutex> hold(counts.lock);
    ComCalls& calls = counts.byThread[std::this_thread::get_id()];
    ++(initialize ? calls.initializes : calls.uninitializes);
}

struct Block {
    SIZE_T size = 0;
    bool itemList = false;
};

// The process's one task allocator. It keeps its blocks' sizes for GetSize and DidAlloc, and
// knows which blocks hold item lists the shell handed out.
struct TaskAllocator final : IMalloc {
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!object)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IMalloc) {
            *object = static_cast<IMalloc*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    // The allocator lives as long as the process, whatever its count says.
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG count = references.load();
        while (count > 1 && !references.compare_exchange_weak(count, count - 1)) {
        }
        return count > 1 ? count - 1 : 1;
    }

    void* STDMETHODCALLTYPE Alloc(SIZE_T size) override { return allocate(size, false); }

    void* STDMETHODCALLTYPE Realloc(void* block, SIZE_T size) override {
        if (!block)
            return Alloc(size);
        if (size == 0) {
            Free(block);
            return nullptr;
        }
        std::lock_guard<std::mutex> hold(lock);
        auto found = blocks.find(block);
        if (found == blocks.end()) {
            reportProblem("IMalloc::Realloc of a block the task allocator did not give");
            return nullptr;
        }
        void* moved = realloc(block, size);
        if (!moved)
            return nullptr;
        Block kept = found->second;
        kept.size = size;
        blocks.erase(found);
        blocks[moved] = kept;
        return moved;
    }

    void STDMETHODCALLTYPE Free(void* block) override {
        if (!block)
            return;
        std::lock_guard<std::mutex> hold(lock);
        if (blocks.erase(block) == 0) {
            reportProblem("IMalloc::Free of a block the task allocator did not give");
            return;
        }
        free(block);
    }

    SIZE_T STDMETHODCALLTYPE GetSize(void* block) override {
        std::lock_guard<std::mutex> hold(lock);
        auto found = blocks.find(block);
        return found == blocks.end() ? static_cast<SIZE_T>(-1) : found->second.size;
    }

    int STDMETHODCALLTYPE DidAlloc(void* block) override {
        if (!block)
            return -1;
        std::lock_guard<std::mutex> hold(lock);
        return blocks.count(block) ? 1 : 0;
    }

    void STDMETHODCALLTYPE HeapMinimize() override {}

    void* allocate(SIZE_T size, bool itemList) {
        void* block = malloc(size ? size : 1);
        if (!block)
            return nullptr;
        std::lock_guard<std::mutex> hold(lock);
        blocks[block] = Block{size, itemList};
        return block;
    }

    size_t itemLists() {
        std::lock_guard<std::mutex> hold(lock);
        size_t count = 0;
        for (const auto& entry : blocks) count += entry.second.itemList ? 1 : 0;
        return count;
    }

    std::atomic<ULONG> references{1};
    std::mutex lock;
    std::map<void*, Block> blocks;
};

TaskAllocator& taskAllocator() {
    static TaskAllocator allocator;
    return allocator;
}

// The result a `fail` line of the machine's settings gives the operation, or S_OK.
HRESULT injectedResult(const char* operation, HRESULT fallback) {
    uint32_t result = 0;
    if (!injectedFailure(operation, static_cast<uint32_t>(fallback), &result))
        return S_OK;
    return static_cast<HRESULT>(result);
}

}  // namespace

PIDLIST_ABSOLUTE allocateItemList(const std::string& bytes) {
    void* block = taskAllocator().allocate(bytes.size(), true);
    if (block)
        memcpy(block, bytes.data(), bytes.size());
    return static_cast<PIDLIST_ABSOLUTE>(block);
}

}  // namespace standin::shell

namespace standin {

ComCalls comCallsOf(std::thread::id thread) {
    shell::CallCounts& counts = shell::callCounts();
    std::lock_guard<std::mutex> hold(counts.lock);
    auto found = counts.byThread.find(thread);
    return found == counts.byThread.end() ? ComCalls{} : found->second;
}

void clearComCalls() {
    shell::CallCounts& counts = shell::callCounts();
    std::lock_guard<std::mutex> hold(counts.lock);
    counts.byThread.clear();
}

size_t liveItemLists() {
    return shell::taskAllocator().itemLists();
}

}  // namespace standin

using namespace standin::shell;

HRESULT WINAPI CoInitialize(LPVOID) {
    countCall(true);
    HRESULT injected = injectedResult("CoInitialize", E_OUTOFMEMORY);
    // A success the settings give initialises all the same, so that it still wants balancing.
    if (injected != S_OK && FAILED(injected))
        return injected;
    ++comDepth;
    if (injected != S_OK)
        return injected;
    return comDepth == 1 ? S_OK : S_FALSE;
}

void WINAPI CoUninitialize() {
    countCall(false);
    if (comDepth == 0) {
        standin::reportProblem("CoUninitialize without a CoInitialize on this thread");
        return;
    }
    --comDepth;
}

HRESULT WINAPI CoCreateInstance(REFCLSID classId, LPUNKNOWN outer, DWORD context, REFIID riid,
                                LPVOID* object) {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (comDepth == 0)
        return CO_E_NOTINITIALIZED;
    HRESULT injected = injectedResult("CoCreateInstance", REGDB_E_CLASSNOTREG);
    if (FAILED(injected))
        return injected;
    if (classId != CLSID_ShellLink || !(context & CLSCTX_INPROC_SERVER))
        return REGDB_E_CLASSNOTREG;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    return createShellLink(riid, object);
}

LPVOID WINAPI CoTaskMemAlloc(SIZE_T size) {
    return taskAllocator().Alloc(size);
}

void WINAPI CoTaskMemFree(LPVOID block) {
    taskAllocator().Free(block);
}

HRESULT WINAPI SHGetMalloc(LPMALLOC* malloc) {
    if (!malloc)
        return E_INVALIDARG;
    *malloc = nullptr;
    HRESULT injected = injectedResult("SHGetMalloc", E_FAIL);
    if (FAILED(injected))
        return injected;
    TaskAllocator& allocator = taskAllocator();
    allocator.AddRef();
    *malloc = &allocator;
    return S_OK;
}
