// The file calls that work on names: attributes, copying, deleting, renaming and folders.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>
#include <vector>

#include "platform/kernel.h"
#include "platform/standin/files.h"
#include "platform/standin/host_calls.h"
#include "platform/standin/machine.h"
#include "platform/standin/paths.h"

namespace standin {
namespace {

// A drive's root stands for the drive's host folder, which no call may remove or rename.
bool isDriveRoot(const char* windowsPath) {
    std::string full;
    DWORD ignored = ERROR_SUCCESS;
    return fullWindowsPath(windowsPath, full, &ignored) && full.size() == 3;
}

std::string folderOf(const std::string& hostPath) {
    size_t slash = hostPath.rfind('/');
    return slash == 0 ? "/" : hostPath.substr(0, slash);
}

// The host path a rename gives: the last component as the program wrote it, so that a change of
// case alone renames the file even where the host matched the old name.
bool writtenTarget(const char* windowsPath, const std::string& hostPath, std::string& target) {
    std::string full, utf8;
    DWORD ignored = ERROR_SUCCESS;
    if (!fullWindowsPath(windowsPath, full, &ignored) || !cp932ToUtf8(full, utf8)) return false;
    std::string folder = folderOf(hostPath);
    target = folder + (folder == "/" ? "" : "/") + utf8.substr(utf8.rfind('\\') + 1);
    return true;
}

bool syncFolder(const std::string& hostPath) {
    UniqueFd folder(open(folderOf(hostPath).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return folder.fd >= 0 && fsync(folder.fd) == 0;
}

// An open the copy makes, taken out of the table when the copy is done.
struct CopyOpen {
    std::shared_ptr<OpenFile> file;
    explicit CopyOpen(std::shared_ptr<OpenFile> opened) : file(std::move(opened)) {}
    CopyOpen(const CopyOpen&) = delete;
    CopyOpen& operator=(const CopyOpen&) = delete;
    ~CopyOpen() {
        if (file) forgetOpen(file.get());
    }
};

// Moves the content; false with errno.
bool copyContent(int from, int to) {
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        ssize_t got = hostRead(from, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) return true;
        for (ssize_t done = 0; done < got;) {
            ssize_t put = hostWrite(to, buffer.data() + done, static_cast<size_t>(got - done));
            if (put < 0 && errno == EINTR) continue;
            if (put < 0) return false;
            done += put;
        }
    }
}

// Last write time and read-only go last, once the content is in.
bool finishCopy(int from, int to) {
    struct stat source, copy;
    if (fstat(from, &source) != 0 || fstat(to, &copy) != 0) return false;
    timespec times[2] = {{0, UTIME_OMIT}, source.st_mtim};
    return futimens(to, times) == 0 && setReadOnly(to, {}, copy, isReadOnly(source));
}

}  // namespace
}  // namespace standin

using standin::fail;

DWORD WINAPI GetFileAttributesA(LPCSTR fileName) {
    std::string host;
    DWORD error = ERROR_SUCCESS;
    struct stat info;
    if (!standin::hostPathOf(fileName, host, &error)) {
        fail(error);
        return INVALID_FILE_ATTRIBUTES;
    }
    if (stat(host.c_str(), &info) != 0) {
        fail(standin::win32ErrorOf(errno, host));
        return INVALID_FILE_ATTRIBUTES;
    }
    return standin::attributesOf(host, info);
}

BOOL WINAPI SetFileAttributesA(LPCSTR fileName, DWORD fileAttributes) {
    if (standin::injected("SetFileAttributesA")) return FALSE;
    std::string host;
    DWORD error = ERROR_SUCCESS;
    struct stat info;
    if (!standin::hostPathOf(fileName, host, &error)) return fail(error);
    if (stat(host.c_str(), &info) != 0) return fail(standin::win32ErrorOf(errno, host));
    // A read-only host file may refuse its extended attributes to their owner, so the write
    // permission comes first when it is given back and last when it is taken.
    bool readOnly = fileAttributes & FILE_ATTRIBUTE_READONLY;
    if (!readOnly && !standin::setReadOnly(-1, host, info, false)) {
        return fail(standin::win32ErrorOf(errno, host));
    }
    if (!standin::setKeptAttributes(-1, host, fileAttributes) ||
        (readOnly && !standin::setReadOnly(-1, host, info, true))) {
        return fail(standin::win32ErrorOf(errno, host));
    }
    return TRUE;
}

BOOL WINAPI CopyFileA(LPCSTR existingFileName, LPCSTR newFileName, BOOL failIfExists) {
    if (standin::injected("CopyFileA")) return FALSE;
    bool existed = false;
    DWORD error = ERROR_SUCCESS;
    standin::OpenRequest reading;
    reading.windowsPath = existingFileName;
    reading.access = standin::kReadAccess;
    reading.share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    standin::CopyOpen source{standin::openFile(reading, &existed, &error)};
    if (!source.file) return fail(error);
    standin::OpenRequest writing;
    writing.windowsPath = newFileName;
    writing.access = standin::kWriteAccess;
    writing.disposition = failIfExists ? CREATE_NEW : CREATE_ALWAYS;
    writing.attributes = standin::keptAttributes(source.file->fd.fd, source.file->hostPath);
    standin::CopyOpen copy{standin::openFile(writing, &existed, &error)};
    if (!copy.file) return fail(error);
    int from = source.file->fd.fd, to = copy.file->fd.fd;
    if (!standin::copyContent(from, to) || !standin::finishCopy(from, to)) {
        error = standin::win32ErrorOf(errno);
        unlink(copy.file->hostPath.c_str());
        return fail(error);
    }
    return TRUE;
}

BOOL WINAPI DeleteFileA(LPCSTR fileName) {
    if (standin::injected("DeleteFileA")) return FALSE;
    std::string host;
    DWORD error = ERROR_SUCCESS;
    struct stat info;
    if (!standin::hostPathOf(fileName, host, &error)) return fail(error);
    std::lock_guard<std::mutex> hold(standin::opensLock());
    if (stat(host.c_str(), &info) != 0) return fail(standin::win32ErrorOf(errno, host));
    if (S_ISDIR(info.st_mode) || standin::isReadOnly(info)) return fail(ERROR_ACCESS_DENIED);
    if (!standin::mayJoin(info.st_dev, info.st_ino, standin::kDeleteAccess,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE)) {
        return fail(ERROR_SHARING_VIOLATION);
    }
    if (unlink(host.c_str()) != 0) return fail(standin::win32ErrorOf(errno, host));
    return TRUE;
}

BOOL WINAPI MoveFileExA(LPCSTR existingFileName, LPCSTR newFileName, DWORD flags) {
    if (standin::injected("MoveFileExA")) return FALSE;
    if (!newFileName || (flags & ~(MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    std::string sourceHost, targetHost;
    DWORD error = ERROR_SUCCESS;
    if (!standin::hostPathOf(existingFileName, sourceHost, &error) ||
        !standin::hostPathOf(newFileName, targetHost, &error)) {
        return fail(error);
    }
    if (standin::isDriveRoot(existingFileName) || standin::isDriveRoot(newFileName)) {
        return fail(ERROR_ACCESS_DENIED);
    }
    std::lock_guard<std::mutex> hold(standin::opensLock());
    struct stat source, target;
    if (stat(sourceHost.c_str(), &source) != 0) {
        return fail(standin::win32ErrorOf(errno, sourceHost));
    }
    if (!standin::mayJoin(source.st_dev, source.st_ino, standin::kDeleteAccess,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE)) {
        return fail(ERROR_SHARING_VIOLATION);
    }
    if (stat(targetHost.c_str(), &target) == 0) {
        if (target.st_dev == source.st_dev && target.st_ino == source.st_ino) {
            if (!standin::writtenTarget(newFileName, targetHost, targetHost)) {
                return fail(ERROR_INVALID_NAME);
            }
        } else if (!(flags & MOVEFILE_REPLACE_EXISTING)) {
            return fail(ERROR_ALREADY_EXISTS);
        } else if (S_ISDIR(target.st_mode) || S_ISDIR(source.st_mode) ||
                   standin::isReadOnly(target) || standin::isOpen(target.st_dev, target.st_ino)) {
            return fail(ERROR_ACCESS_DENIED);
        }
    }
    if (rename(sourceHost.c_str(), targetHost.c_str()) != 0) {
        return fail(standin::win32ErrorOf(errno, targetHost, ERROR_ALREADY_EXISTS));
    }
    if ((flags & MOVEFILE_WRITE_THROUGH) &&
        (!standin::syncFolder(targetHost) ||
         (standin::folderOf(sourceHost) != standin::folderOf(targetHost) &&
          !standin::syncFolder(sourceHost)))) {
        return fail(standin::win32ErrorOf(errno));
    }
    return TRUE;
}

BOOL WINAPI CreateDirectoryA(LPCSTR pathName, LPSECURITY_ATTRIBUTES) {
    std::string host;
    DWORD error = ERROR_SUCCESS;
    if (!standin::hostPathOf(pathName, host, &error)) return fail(error);
    if (mkdir(host.c_str(), 0777) != 0) {
        return fail(standin::win32ErrorOf(errno, host, ERROR_ALREADY_EXISTS));
    }
    return TRUE;
}

BOOL WINAPI RemoveDirectoryA(LPCSTR pathName) {
    std::string host;
    DWORD error = ERROR_SUCCESS;
    struct stat info;
    if (!standin::hostPathOf(pathName, host, &error)) return fail(error);
    if (standin::isDriveRoot(pathName)) return fail(ERROR_ACCESS_DENIED);
    if (stat(host.c_str(), &info) != 0) return fail(standin::win32ErrorOf(errno, host));
    if (!S_ISDIR(info.st_mode)) return fail(ERROR_DIRECTORY);
    if (standin::isReadOnly(info)) return fail(ERROR_ACCESS_DENIED);
    if (rmdir(host.c_str()) != 0) return fail(standin::win32ErrorOf(errno, host));
    return TRUE;
}
