// The stand-in's test interface: a fresh machine root for one test, removed afterwards.
#pragma once

#include <functional>
#include <cstdint>
#include <string>
#include <string_view>
#include <thread>

#include "platform/win_types.h"

namespace standin {

// A UTF-8 literal (u8"...") as the narrow host text that host paths and files use.
inline std::string utf8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

// Makes an empty machine root in a temporary folder and points WINDOWS_ROOT at it for the
// object's life; the previous WINDOWS_ROOT comes back afterwards, and the host faults are cleared.
struct TestMachine {
    TestMachine();
    ~TestMachine();
    TestMachine(const TestMachine&) = delete;
    TestMachine& operator=(const TestMachine&) = delete;

    // Host path of a name inside the root.
    std::string path(std::string_view name) const;
    // Writes a file inside the root (folders made as needed), replacing what was there.
    void writeFile(std::string_view name, std::string_view content) const;
    // Reads a whole file inside the root; empty when it is missing.
    std::string readFile(std::string_view name) const;

    std::string root;
    std::string previousRoot;
    bool hadPreviousRoot = false;
};

// Replaces the clock behind timeGetTime (empty: the real one).
using Clock = std::function<DWORD()>;
void setClock(Clock clock);

// Registry key handles of this process that are open now.
size_t openRegistryKeys();

// Makes GetModuleFileNameA answer for a program at this host path (empty: the real one).
void setModulePath(const std::string& hostPath);

// Host faults on file content, for handles, copies and streams alike: the writes (or reads) go
// through until afterBytes more have been moved in all, the call reaching the limit coming up
// short, then every one fails with errnoValue (ENOSPC for a full disk, EIO) until cleared.
void failHostWrites(uint64_t afterBytes, int errnoValue);
void failHostReads(uint64_t afterBytes, int errnoValue);
// Calls the watcher after each file content write that moved bytes, on the writing thread, with
// the bytes written in all since it was set; cleared with the faults.
using HostWriteWatcher = std::function<void(uint64_t written)>;
void watchHostWrites(HostWriteWatcher watcher);
void clearHostFaults();

// Answers MessageBoxA in place of the user: gets the owner, text and caption (code page 932) and
// the style, returns the button. An empty answerer gives the boxes back to the front end.
using MessageBoxAnswerer =
    std::function<int(HWND owner, const std::string& text, const std::string& caption, UINT type)>;
void setMessageBoxAnswerer(MessageBoxAnswerer answerer);

// COM calls a thread made: every CoInitialize, failed ones too, and every CoUninitialize.
struct ComCalls {
    unsigned initializes = 0;
    unsigned uninitializes = 0;
};
ComCalls comCallsOf(std::thread::id thread);
// Forgets the calls of every thread.
void clearComCalls();
// Shell link objects that are alive now.
size_t liveShellLinks();
// Item lists the shell handed out (the folder-browse dialog, IShellLinkA::GetIDList) and that
// are not yet freed.
size_t liveItemLists();

}  // namespace standin
