// What the stand-in's file calls share: errors, times and the attributes a host file keeps for
// Windows in its extended attributes.
#include "platform/standin/files.h"

#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/standin/machine.h"

namespace standin {
namespace {

const char kCreationName[] = "user.windows.creation";
const char kAttributesName[] = "user.windows.attributes";

constexpr int64_t kTicksPerSecond = 10000000;
constexpr int64_t kSecondsFrom1601To1970 = 11644473600;

bool folderExists(const std::string& hostPath) {
    size_t slash = hostPath.rfind('/');
    if (slash == std::string::npos) return true;
    std::string folder = slash == 0 ? "/" : hostPath.substr(0, slash);
    struct stat info;
    return stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// A number kept in an extended attribute: false when there is none or it cannot be read.
bool readNumber(int fd, const std::string& hostPath, const char* name, uint64_t* value) {
    char text[32];
    ssize_t length = fd >= 0 ? fgetxattr(fd, name, text, sizeof text - 1)
                             : getxattr(hostPath.c_str(), name, text, sizeof text - 1);
    if (length <= 0) return false;
    text[length] = '\0';
    char* end = nullptr;
    errno = 0;
    unsigned long long parsed = strtoull(text, &end, 10);
    if (errno != 0 || *end != '\0' || end == text) {
        reportProblem(std::string("damaged ") + name + " on " +
                      (hostPath.empty() ? "an open file" : hostPath) + ": \"" + text + "\"");
        return false;
    }
    *value = parsed;
    return true;
}

bool writeNumber(int fd, const std::string& hostPath, const char* name, uint64_t value) {
    std::string text = std::to_string(value);
    return (fd >= 0 ? fsetxattr(fd, name, text.data(), text.size(), 0)
                    : setxattr(hostPath.c_str(), name, text.data(), text.size(), 0)) == 0;
}

}  // namespace

BOOL fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

bool injected(const char* operation) {
    uint32_t error = 0;
    return injectedFailure(operation, ERROR_ACCESS_DENIED, &error) && !fail(error);
}

UniqueFd::~UniqueFd() {
    if (fd >= 0) ::close(fd);
}

int UniqueFd::close() {
    int result = ::close(fd);
    fd = -1;
    return result;
}

DWORD win32ErrorOf(int errnoValue, const std::string& hostPath, DWORD existsError) {
    switch (errnoValue) {
        case 0: return ERROR_SUCCESS;
        case ENOENT:
            return hostPath.empty() || folderExists(hostPath) ? ERROR_FILE_NOT_FOUND
                                                              : ERROR_PATH_NOT_FOUND;
        case ENOTDIR: return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EISDIR: return ERROR_ACCESS_DENIED;
        case EEXIST: return existsError;
        case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
        case ENOSPC:
        case EDQUOT: return ERROR_DISK_FULL;
        case EFBIG: return ERROR_FILE_TOO_LARGE;
        case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
        case EMFILE:
        case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
        case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
        case EBADF: return ERROR_INVALID_HANDLE;
        case EINVAL: return ERROR_INVALID_PARAMETER;
        case EXDEV: return ERROR_NOT_SAME_DEVICE;
        case EROFS: return ERROR_WRITE_PROTECT;
        case EBUSY: return ERROR_BUSY;
        case ETXTBSY: return ERROR_SHARING_VIOLATION;
        case ENOTSUP: return ERROR_NOT_SUPPORTED;
        default: return ERROR_GEN_FAILURE;  // EIO and what has no nearer meaning
    }
}

int errnoOf(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_FILENAME_EXCED_RANGE: return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_WRITE_PROTECT: return EACCES;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS: return EEXIST;
        case ERROR_DISK_FULL: return ENOSPC;
        case ERROR_TOO_MANY_OPEN_FILES: return EMFILE;
        case ERROR_NOT_ENOUGH_MEMORY: return ENOMEM;
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_INVALID_PARAMETER: return EINVAL;
        case ERROR_NOT_SAME_DEVICE: return EXDEV;
        default: return EIO;
    }
}

uint64_t ticksOf(const timespec& time) {
    int64_t ticks = (static_cast<int64_t>(time.tv_sec) + kSecondsFrom1601To1970) * kTicksPerSecond +
                    time.tv_nsec / 100;
    return ticks < 0 ? 0 : static_cast<uint64_t>(ticks);
}

timespec timespecOf(uint64_t ticks) {
    timespec time{};
    time.tv_sec = static_cast<time_t>(static_cast<int64_t>(ticks / kTicksPerSecond) -
                                      kSecondsFrom1601To1970);
    time.tv_nsec = static_cast<long>(ticks % kTicksPerSecond) * 100;
    return time;
}

uint64_t ticksOf(const FILETIME& time) {
    return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

FILETIME fileTimeOf(uint64_t ticks) {
    return {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

uint64_t creationTicks(int fd, const struct stat& info) {
    uint64_t ticks = 0;
    if (readNumber(fd, {}, kCreationName, &ticks)) return ticks;
    struct statx birth;
    if (statx(fd, "", AT_EMPTY_PATH, STATX_BTIME, &birth) == 0 && (birth.stx_mask & STATX_BTIME)) {
        return ticksOf(timespec{birth.stx_btime.tv_sec, birth.stx_btime.tv_nsec});
    }
    return ticksOf(info.st_mtim);
}

bool setCreationTicks(int fd, uint64_t ticks) { return writeNumber(fd, {}, kCreationName, ticks); }

DWORD keptAttributes(int fd, const std::string& hostPath) {
    uint64_t attributes = 0;
    if (!readNumber(fd, hostPath, kAttributesName, &attributes)) return 0;
    return static_cast<DWORD>(attributes) & kKeptAttributes;
}

bool setKeptAttributes(int fd, const std::string& hostPath, DWORD attributes) {
    attributes &= kKeptAttributes;
    if (attributes) return writeNumber(fd, hostPath, kAttributesName, attributes);
    int removed = fd >= 0 ? fremovexattr(fd, kAttributesName)
                          : removexattr(hostPath.c_str(), kAttributesName);
    // A file that never kept any, or cannot keep any, holds none already.
    return removed == 0 || errno == ENODATA || errno == ENOTSUP;
}

bool isReadOnly(const struct stat& info) { return !(info.st_mode & S_IWUSR); }

DWORD attributesOf(const std::string& hostPath, const struct stat& info) {
    DWORD attributes = keptAttributes(-1, hostPath);
    if (isReadOnly(info)) attributes |= FILE_ATTRIBUTE_READONLY;
    if (S_ISDIR(info.st_mode)) attributes |= FILE_ATTRIBUTE_DIRECTORY;
    return attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
}

bool setReadOnly(int fd, const std::string& hostPath, const struct stat& info, bool readOnly) {
    if (isReadOnly(info) == readOnly) return true;
    mode_t mode = info.st_mode & 07777;
    mode = readOnly ? mode & ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH) : mode | S_IWUSR;
    return (fd >= 0 ? fchmod(fd, mode) : chmod(hostPath.c_str(), mode)) == 0;
}

}  // namespace standin
