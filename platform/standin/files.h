// The stand-in's file services as the handle calls, the name calls and the C streams share them.
// Only the stand-in includes this header.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>
#include <time.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "platform/kernel.h"

namespace standin {

// Releases a handle that CreateThread gave; false when it is none.
bool closeThreadHandle(HANDLE handle);

// A host descriptor, closed with its owner.
struct UniqueFd {
    int fd = -1;

    UniqueFd() = default;
    explicit UniqueFd(int value) : fd(value) {}
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd();

    // Closes now: 0, or -1 with errno when the host reports a failure (a late write error).
    int close();
};

// Access in the bits of the share mode that must allow it, so that one rule serves all three.
constexpr DWORD kReadAccess = FILE_SHARE_READ;
constexpr DWORD kWriteAccess = FILE_SHARE_WRITE;
constexpr DWORD kDeleteAccess = FILE_SHARE_DELETE;

// One open of a file by the program: a handle or a stream.
struct OpenFile {
    UniqueFd fd;
    std::string hostPath;  // as opened; a later rename leaves it behind
    dev_t device = 0;
    ino_t inode = 0;
    DWORD access = 0;  // kReadAccess | kWriteAccess
    bool writesAttributes = false;
    DWORD share = 0;
    bool stream = false;  // a stream is no handle
};

struct OpenRequest {
    const char* windowsPath = nullptr;
    DWORD access = 0;
    bool writesAttributes = false;
    DWORD share = 0;
    DWORD disposition = OPEN_EXISTING;
    DWORD attributes = 0;  // READONLY, HIDDEN, SYSTEM, ARCHIVE for a file made or replaced
    bool append = false;
    bool writeThrough = false;
    bool stream = false;
};

// Opens as CreateFileA does and enters the open in the process's table; null with *error when
// refused. *existed tells whether the file was there before.
std::shared_ptr<OpenFile> openFile(const OpenRequest& request, bool* existed, DWORD* error);
// Takes an open out of the table: its share mode binds no later open.
void forgetOpen(const OpenFile* open);

// Sets the last error and gives FALSE, for the calls' failure paths.
BOOL fail(DWORD error);
// True, with the last error set, when the machine's settings fail this call on purpose.
bool injected(const char* operation);

// The table of opens, for operations on names that must see them. The helpers below need the
// lock held.
std::mutex& opensLock();
// Whether an open with this access and share mode may join the file's current opens.
bool mayJoin(dev_t device, ino_t inode, DWORD access, DWORD share);
bool isOpen(dev_t device, ino_t inode);

// The Win32 error of a failed host call. ENOENT is ERROR_PATH_NOT_FOUND when the folder of
// hostPath is missing too; EEXIST is existsError.
DWORD win32ErrorOf(int errnoValue, const std::string& hostPath = {},
                   DWORD existsError = ERROR_FILE_EXISTS);
// The errno the C runtime gives for a Win32 error.
int errnoOf(DWORD error);

// FILETIME counts (100 ns since 1601) and host times, exact both ways.
uint64_t ticksOf(const timespec& time);
timespec timespecOf(uint64_t ticks);
uint64_t ticksOf(const FILETIME& time);
FILETIME fileTimeOf(uint64_t ticks);

// A file's creation time: the one set through SetFileTime, else the host's birth time, else its
// last write time.
uint64_t creationTicks(int fd, const struct stat& info);
// False with errno when the host file cannot keep it.
bool setCreationTicks(int fd, uint64_t ticks);

// The HIDDEN, SYSTEM and ARCHIVE attributes the host file keeps for Windows.
constexpr DWORD kKeptAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
// Read through the descriptor when fd >= 0, else through the path.
DWORD keptAttributes(int fd, const std::string& hostPath);
// False with errno when the host file cannot keep them.
bool setKeptAttributes(int fd, const std::string& hostPath, DWORD attributes);

// Read-only is the owner's missing write permission.
bool isReadOnly(const struct stat& info);
// The Windows attributes of a host file.
DWORD attributesOf(const std::string& hostPath, const struct stat& info);
// Sets or clears read-only by the write permissions.
bool setReadOnly(int fd, const std::string& hostPath, const struct stat& info, bool readOnly);

}  // namespace standin
