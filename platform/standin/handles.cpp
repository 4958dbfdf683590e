// The process's opens of files, the sharing rule between them, and the calls on file handles.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <unordered_map>
#include <utility>

#include "platform/kernel.h"
#include "platform/standin/files.h"
#include "platform/standin/host_calls.h"
#include "platform/standin/paths.h"

namespace standin {
namespace {

// Every open of the process, handles and streams, by the handle the program holds. A record
// lives on while a call is still using it, so a handle closed meanwhile never reaches freed
// memory; its address is not reused before then.
std::mutex tableLock;
std::unordered_map<const void*, std::shared_ptr<OpenFile>> opens;

// Windows' rule: each open's share mode must allow the other's access. An open without data
// access takes no part.
bool compatible(DWORD access, DWORD share, DWORD otherAccess, DWORD otherShare) {
    if (!access || !otherAccess) return true;
    return !(access & ~otherShare) && !(otherAccess & ~share);
}

// Why Windows would refuse this open of an existing file, or ERROR_SUCCESS.
DWORD refusalOf(const OpenRequest& request, const std::string& host, const struct stat& info) {
    if (request.disposition == CREATE_NEW) return ERROR_FILE_EXISTS;
    if (S_ISDIR(info.st_mode)) return ERROR_ACCESS_DENIED;
    bool overwrites =
        request.disposition == CREATE_ALWAYS || request.disposition == TRUNCATE_EXISTING;
    if (isReadOnly(info) && ((request.access & kWriteAccess) || overwrites)) {
        return ERROR_ACCESS_DENIED;
    }
    if (request.disposition == CREATE_ALWAYS) {
        DWORD hiding = keptAttributes(-1, host) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
        if (hiding & ~request.attributes) return ERROR_ACCESS_DENIED;
    }
    if (!mayJoin(info.st_dev, info.st_ino, request.access, request.share)) {
        return ERROR_SHARING_VIOLATION;
    }
    return ERROR_SUCCESS;
}

// A file made or replaced gets the asked attributes and ARCHIVE, as on Windows. A host file
// system without extended attributes can still take a file that asks for nothing to be hidden.
bool giveAttributes(int fd, const std::string& host, DWORD attributes) {
    if (!setKeptAttributes(fd, host, attributes | FILE_ATTRIBUTE_ARCHIVE) &&
        (errno != ENOTSUP || (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)))) {
        return false;
    }
    struct stat info;
    if (fstat(fd, &info) != 0) return false;
    return setReadOnly(fd, host, info, attributes & FILE_ATTRIBUTE_READONLY);
}

int openFlags(const OpenRequest& request, bool exists, bool overwrites) {
    DWORD hostAccess = request.access | (overwrites ? kWriteAccess : 0);
    int flags = O_CLOEXEC;
    if (hostAccess == (kReadAccess | kWriteAccess)) {
        flags |= O_RDWR;
    } else if (hostAccess == kWriteAccess) {
        flags |= O_WRONLY;
    } else {
        flags |= O_RDONLY;
    }
    if (overwrites) flags |= O_TRUNC;
    if (!exists) flags |= O_CREAT | O_EXCL;
    if (request.append) flags |= O_APPEND;
    if (request.writeThrough) flags |= O_DSYNC;
    return flags;
}

// The open behind a handle. A stream's record is no handle, even should a stale handle carry the
// address of one.
std::shared_ptr<OpenFile> fileOf(HANDLE handle) {
    std::lock_guard<std::mutex> hold(tableLock);
    auto found = opens.find(handle);
    if (found == opens.end() || found->second->stream) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return found->second;
}

// A SetFileTime argument that asks for a change: zero and all ones leave the time alone.
bool changes(const FILETIME* time) {
    if (!time) return false;
    uint64_t ticks = ticksOf(*time);
    return ticks != 0 && ticks != UINT64_MAX;
}

}  // namespace

std::mutex& opensLock() { return tableLock; }

bool mayJoin(dev_t device, ino_t inode, DWORD access, DWORD share) {
    for (const auto& entry : opens) {
        const OpenFile& open = *entry.second;
        if (open.device == device && open.inode == inode &&
            !compatible(open.access, open.share, access, share)) {
            return false;
        }
    }
    return true;
}

bool isOpen(dev_t device, ino_t inode) {
    for (const auto& entry : opens) {
        if (entry.second->device == device && entry.second->inode == inode) return true;
    }
    return false;
}

std::shared_ptr<OpenFile> openFile(const OpenRequest& request, bool* existed, DWORD* error) {
    std::string host;
    if (!hostPathOf(request.windowsPath, host, error)) return nullptr;
    // One open at a time, so that none slips between another's sharing check and its entry.
    std::lock_guard<std::mutex> hold(tableLock);
    struct stat info;
    bool exists = stat(host.c_str(), &info) == 0;
    if (!exists && errno != ENOENT) {
        *error = win32ErrorOf(errno, host);
        return nullptr;
    }
    if (exists) {
        *error = refusalOf(request, host, info);
        if (*error != ERROR_SUCCESS) return nullptr;
    } else if (request.disposition == OPEN_EXISTING || request.disposition == TRUNCATE_EXISTING) {
        *error = win32ErrorOf(ENOENT, host);
        return nullptr;
    }
    bool overwrites = exists && (request.disposition == CREATE_ALWAYS ||
                                 request.disposition == TRUNCATE_EXISTING);
    auto open = std::make_shared<OpenFile>();
    open->fd.fd = ::open(host.c_str(), openFlags(request, exists, overwrites), 0666);
    if (open->fd.fd < 0) {
        *error = win32ErrorOf(errno, host);
        return nullptr;
    }
    struct stat opened;
    bool ready = fstat(open->fd.fd, &opened) == 0;
    if (ready && (!exists || request.disposition == CREATE_ALWAYS)) {
        ready = giveAttributes(open->fd.fd, host, request.attributes);
    }
    if (!ready) {
        *error = win32ErrorOf(errno, host);
        if (!exists) unlink(host.c_str());
        return nullptr;
    }
    open->hostPath = host;
    open->device = opened.st_dev;
    open->inode = opened.st_ino;
    open->access = request.access;
    open->writesAttributes = request.writesAttributes;
    open->share = request.share;
    open->stream = request.stream;
    opens.emplace(open.get(), open);
    *existed = exists;
    return open;
}

void forgetOpen(const OpenFile* open) {
    std::lock_guard<std::mutex> hold(tableLock);
    opens.erase(open);
}

}  // namespace standin

using standin::fail;
using standin::fileOf;

HANDLE WINAPI CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode,
                          LPSECURITY_ATTRIBUTES, DWORD creationDisposition,
                          DWORD flagsAndAttributes, HANDLE templateFile) {
    if (standin::injected("CreateFileA")) return INVALID_HANDLE_VALUE;
    constexpr DWORD kFlags = 0xFFFF0000;  // the attributes take the low half
    constexpr DWORD kCarriedFlags =
        FILE_FLAG_WRITE_THROUGH | FILE_FLAG_RANDOM_ACCESS | FILE_FLAG_SEQUENTIAL_SCAN;
    bool truncatesWithoutWriting = creationDisposition == TRUNCATE_EXISTING &&
                                   !(desiredAccess & (GENERIC_WRITE | GENERIC_ALL));
    if ((shareMode & ~(FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE)) ||
        creationDisposition < CREATE_NEW || creationDisposition > TRUNCATE_EXISTING ||
        (flagsAndAttributes & kFlags & ~kCarriedFlags) || templateFile || truncatesWithoutWriting) {
        fail(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    standin::OpenRequest request;
    request.windowsPath = fileName;
    if (desiredAccess & (GENERIC_READ | GENERIC_ALL)) request.access |= standin::kReadAccess;
    if (desiredAccess & (GENERIC_WRITE | GENERIC_ALL)) request.access |= standin::kWriteAccess;
    request.writesAttributes =
        desiredAccess & (GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_ATTRIBUTES);
    request.share = shareMode;
    request.disposition = creationDisposition;
    request.attributes = flagsAndAttributes & (FILE_ATTRIBUTE_READONLY | standin::kKeptAttributes);
    request.writeThrough = flagsAndAttributes & FILE_FLAG_WRITE_THROUGH;
    bool existed = false;
    DWORD error = ERROR_SUCCESS;
    std::shared_ptr<standin::OpenFile> open = standin::openFile(request, &existed, &error);
    if (!open) {
        fail(error);
        return INVALID_HANDLE_VALUE;
    }
    if (creationDisposition == CREATE_ALWAYS || creationDisposition == OPEN_ALWAYS) {
        SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    }
    return open.get();
}

BOOL WINAPI CloseHandle(HANDLE object) {
    // The descriptor closes with the last holder, outside the lock.
    std::shared_ptr<standin::OpenFile> closing;
    {
        std::lock_guard<std::mutex> hold(standin::tableLock);
        auto found = standin::opens.find(object);
        if (found == standin::opens.end() || found->second->stream) {
            return standin::closeThreadHandle(object) ? TRUE : fail(ERROR_INVALID_HANDLE);
        }
        closing = std::move(found->second);
        standin::opens.erase(found);
    }
    return TRUE;
}

BOOL WINAPI ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD bytesRead,
                     LPOVERLAPPED overlapped) {
    if (bytesRead) *bytesRead = 0;
    if (!bytesRead || overlapped || (!buffer && toRead)) return fail(ERROR_INVALID_PARAMETER);
    std::shared_ptr<standin::OpenFile> open = fileOf(file);
    if (!open) return FALSE;
    if (!(open->access & standin::kReadAccess)) return fail(ERROR_ACCESS_DENIED);
    char* into = static_cast<char*>(buffer);
    while (*bytesRead < toRead) {
        ssize_t got = standin::hostRead(open->fd.fd, into + *bytesRead, toRead - *bytesRead);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return fail(standin::win32ErrorOf(errno));
        if (got == 0) break;
        *bytesRead += static_cast<DWORD>(got);
    }
    return TRUE;
}

BOOL WINAPI WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, LPDWORD bytesWritten,
                      LPOVERLAPPED overlapped) {
    if (bytesWritten) *bytesWritten = 0;
    if (!bytesWritten || overlapped || (!buffer && toWrite)) return fail(ERROR_INVALID_PARAMETER);
    std::shared_ptr<standin::OpenFile> open = fileOf(file);
    if (!open) return FALSE;
    if (!(open->access & standin::kWriteAccess)) return fail(ERROR_ACCESS_DENIED);
    const char* from = static_cast<const char*>(buffer);
    while (*bytesWritten < toWrite) {
        ssize_t put =
            standin::hostWrite(open->fd.fd, from + *bytesWritten, toWrite - *bytesWritten);
        if (put < 0 && errno == EINTR) continue;
        if (put < 0) return fail(standin::win32ErrorOf(errno));
        *bytesWritten += static_cast<DWORD>(put);
    }
    return TRUE;
}

DWORD WINAPI GetFileSize(HANDLE file, LPDWORD fileSizeHigh) {
    std::shared_ptr<standin::OpenFile> open = fileOf(file);
    if (!open) return INVALID_FILE_SIZE;
    struct stat info;
    if (fstat(open->fd.fd, &info) != 0) {
        fail(standin::win32ErrorOf(errno));
        return INVALID_FILE_SIZE;
    }
    uint64_t size = static_cast<uint64_t>(info.st_size);
    if (fileSizeHigh) *fileSizeHigh = static_cast<DWORD>(size >> 32);
    if (static_cast<DWORD>(size) == INVALID_FILE_SIZE) SetLastError(NO_ERROR);
    return static_cast<DWORD>(size);
}

BOOL WINAPI FlushFileBuffers(HANDLE file) {
    std::shared_ptr<standin::OpenFile> open = fileOf(file);
    if (!open) return FALSE;
    if (!(open->access & standin::kWriteAccess)) return fail(ERROR_ACCESS_DENIED);
    if (fsync(open->fd.fd) != 0) return fail(standin::win32ErrorOf(errno));
    return TRUE;
}

BOOL WINAPI GetFileTime(HANDLE file, LPFILETIME creationTime, LPFILETIME lastAccessTime,
                        LPFILETIME lastWriteTime) {
    std::shared_ptr<standin::OpenFile> open = fileOf(file);
    if (!open) return FALSE;
    struct stat info;
    if (fstat(open->fd.fd, &info) != 0) return fail(standin::win32ErrorOf(errno));
    if (creationTime) {
        *creationTime = standin::fileTimeOf(standin::creationTicks(open->fd.fd, info));
    }
    if (lastAccessTime) *lastAccessTime = standin::fileTimeOf(standin::ticksOf(info.st_atim));
    if (lastWriteTime) *lastWriteTime = standin::fileTimeOf(standin::ticksOf(info.st_mtim));
    return TRUE;
}

BOOL WINAPI SetFileTime(HANDLE file, const FILETIME* creationTime, const FILETIME* lastAccessTime,
                        const FILETIME* lastWriteTime) {
    if (standin::injected("SetFileTime")) return FALSE;
    std::shared_ptr<standin::OpenFile> open = fileOf(file);
    if (!open) return FALSE;
    if (!open->writesAttributes) return fail(ERROR_ACCESS_DENIED);
    if (standin::changes(creationTime) &&
        !standin::setCreationTicks(open->fd.fd, standin::ticksOf(*creationTime))) {
        return fail(standin::win32ErrorOf(errno));
    }
    timespec times[2] = {{0, UTIME_OMIT}, {0, UTIME_OMIT}};
    const FILETIME* asked[2] = {lastAccessTime, lastWriteTime};
    for (int i = 0; i < 2; ++i) {
        if (standin::changes(asked[i])) times[i] = standin::timespecOf(standin::ticksOf(*asked[i]));
    }
    if (futimens(open->fd.fd, times) != 0) return fail(standin::win32ErrorOf(errno));
    return TRUE;
}
