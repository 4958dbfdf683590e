// Folder searches and the free space of a drive on the stand-in.
#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/kernel.h"
#include "platform/standin/files.h"
#include "platform/standin/machine.h"
#include "platform/standin/paths.h"

namespace {

// A search: the matching entries, handed out one by one.
struct Search {
    std::string folder;  // host path
    std::vector<std::string> names;
    size_t next = 0;
};

std::mutex searchesLock;
std::set<Search*> searches;

bool fill(const Search& search, const std::string& name, LPWIN32_FIND_DATAA data) {
    std::string host = search.folder + (search.folder == "/" ? "" : "/") + name;
    struct stat info;
    std::string cp932;
    if (stat(host.c_str(), &info) != 0 || !standin::utf8ToCp932(name, cp932) || cp932.size() >= MAX_PATH) {
        return false;
    }
    memset(data, 0, sizeof *data);
    data->dwFileAttributes = standin::attributesOf(host, info);
    data->ftCreationTime = standin::fileTimeOf(standin::creationTicks(-1, info));
    data->ftLastAccessTime = standin::fileTimeOf(standin::ticksOf(info.st_atim));
    data->ftLastWriteTime = standin::fileTimeOf(standin::ticksOf(info.st_mtim));
    uint64_t size = S_ISDIR(info.st_mode) ? 0 : static_cast<uint64_t>(info.st_size);
    data->nFileSizeHigh = static_cast<DWORD>(size >> 32);
    data->nFileSizeLow = static_cast<DWORD>(size);
    memcpy(data->cFileName, cp932.c_str(), cp932.size() + 1);
    return true;
}

bool handOut(Search& search, LPWIN32_FIND_DATAA data) {
    while (search.next < search.names.size()) {
        if (fill(search, search.names[search.next++], data)) return true;
    }
    return false;
}

}  // namespace

HANDLE WINAPI FindFirstFileA(LPCSTR fileName, LPWIN32_FIND_DATAA findData) {
    std::string host;
    DWORD error = ERROR_SUCCESS;
    if (!fileName || !findData || !standin::hostPathOf(fileName, host, &error)) {
        SetLastError(fileName && findData ? error : ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    size_t slash = host.rfind('/');
    auto search = std::make_unique<Search>();
    search->folder = slash == 0 ? "/" : host.substr(0, slash);
    std::string pattern = host.substr(slash + 1);
    // The host path has each existing component spelled as stored, so an exact name is found as
    // it is; a pattern is matched against the folder's entries.
    if (pattern.find_first_of("*?") == std::string::npos) {
        search->names.push_back(pattern);
    } else if (DIR* dir = opendir(search->folder.c_str())) {
        while (dirent* entry = readdir(dir)) {
            if (fnmatch(pattern.c_str(), entry->d_name, FNM_CASEFOLD) == 0) search->names.push_back(entry->d_name);
        }
        closedir(dir);
    }
    if (!handOut(*search, findData)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    std::lock_guard<std::mutex> hold(searchesLock);
    searches.insert(search.get());
    return search.release();
}

BOOL WINAPI FindNextFileA(HANDLE handle, LPWIN32_FIND_DATAA findData) {
    std::lock_guard<std::mutex> hold(searchesLock);
    auto found = searches.find(static_cast<Search*>(handle));
    if (found == searches.end() || !findData) return standin::fail(ERROR_INVALID_HANDLE);
    return handOut(**found, findData) ? TRUE : standin::fail(ERROR_NO_MORE_FILES);
}

BOOL WINAPI FindClose(HANDLE handle) {
    std::lock_guard<std::mutex> hold(searchesLock);
    auto found = searches.find(static_cast<Search*>(handle));
    if (found == searches.end()) return standin::fail(ERROR_INVALID_HANDLE);
    delete *found;
    searches.erase(found);
    return TRUE;
}

BOOL WINAPI GetDiskFreeSpaceExA(LPCSTR directory, PULARGE_INTEGER freeBytesAvailable,
                                PULARGE_INTEGER totalBytes, PULARGE_INTEGER totalFreeBytes) {
    std::string host;
    DWORD error = ERROR_SUCCESS;
    if (standin::injected("GetDiskFreeSpaceExA")) return FALSE;
    if (!standin::hostPathOf(directory ? directory : "\\", host, &error)) return standin::fail(error);
    struct statvfs volume;
    if (statvfs(host.c_str(), &volume) != 0) return standin::fail(standin::win32ErrorOf(errno, host));
    uint64_t free = static_cast<uint64_t>(volume.f_bfree) * volume.f_frsize;
    uint64_t available = static_cast<uint64_t>(volume.f_bavail) * volume.f_frsize;
    uint64_t total = static_cast<uint64_t>(volume.f_blocks) * volume.f_frsize;
    // A machine may say how much its drive has free, whatever the host has.
    std::string full;
    if (standin::fullWindowsPath(directory ? directory : "\\", full, &error)) {
        standin::Settings settings = standin::readSettings();
        auto given = settings.freeMegabytes.find(static_cast<char>(tolower(static_cast<unsigned char>(full[0]))));
        if (given != settings.freeMegabytes.end()) {
            free = available = given->second << 20;
            total = std::max(total, free);
        }
    }
    if (freeBytesAvailable) freeBytesAvailable->QuadPart = available;
    if (totalBytes) totalBytes->QuadPart = total;
    if (totalFreeBytes) totalFreeBytes->QuadPart = free;
    return TRUE;
}
