// Windows paths on the stand-in: the current directory, full paths and their host folders.
#include "platform/standin/paths.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <mutex>

#include "platform/kernel.h"
#include "platform/standin/machine.h"

namespace standin {
namespace {

std::mutex currentDirectoryLock;
std::string currentDirectory;  // Windows form, UTF-8; empty until first asked

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

// UTF-8 names compared as Windows compares them for the letters that matter here: ASCII letters
// without regard to case, every other character exactly.
bool sameName(const std::string& a, const char* b) {
    size_t length = strlen(b);
    if (a.size() != length) return false;
    for (size_t i = 0; i < length; ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    }
    return true;
}

std::string startingDirectory() {
    char host[4096];
    std::string windows;
    if (getcwd(host, sizeof host) && windowsPathOf(host, windows)) {
        std::string utf8;
        if (cp932ToUtf8(windows, utf8)) return utf8;
    }
    return "C:\\";
}

std::string currentDirectoryUtf8() {
    std::lock_guard<std::mutex> hold(currentDirectoryLock);
    if (currentDirectory.empty()) currentDirectory = startingDirectory();
    return currentDirectory;
}

bool forbiddenInName(char c) {
    return strchr("<>:\"|?*", c) != nullptr || (c > 0 && c < 32);
}

// Splits an absolute "x:\a\b" (UTF-8) into its letter and its resolved components.
bool splitFull(const std::string& path, char* letter, std::vector<std::string>& components,
               DWORD* error) {
    *letter = static_cast<char>(tolower(static_cast<unsigned char>(path[0])));
    components.clear();
    size_t start = 2;
    while (start <= path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string::npos) end = path.size();
        std::string component = path.substr(start, end - start);
        start = end + 1;
        if (component.empty() || component == ".") continue;
        if (component == "..") {
            if (!components.empty()) components.pop_back();
            continue;
        }
        for (char c : component) {
            if (forbiddenInName(c)) {
                *error = ERROR_INVALID_NAME;
                return false;
            }
        }
        components.push_back(component);
    }
    return true;
}

// The full Windows path in UTF-8 of a path given in UTF-8.
bool fullPathUtf8(std::string path, std::string& full, DWORD* error) {
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    if (path.empty()) {
        *error = ERROR_PATH_NOT_FOUND;
        return false;
    }
    if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') {
        *error = ERROR_BAD_PATHNAME;  // network paths have no place on this machine
        return false;
    }
    std::string current = currentDirectoryUtf8();
    std::string joined;
    bool hasDrive = path.size() >= 2 && path[1] == ':' && isalpha(static_cast<unsigned char>(path[0]));
    if (hasDrive && path.size() >= 3 && path[2] == '\\') {
        joined = path;
    } else if (hasDrive) {
        // "x:name" is relative to the current directory when that lies on drive x.
        bool sameDrive = lowerAscii(path[0]) == lowerAscii(current[0]);
        joined = (sameDrive ? current : path.substr(0, 2)) + "\\" + path.substr(2);
    } else if (path[0] == '\\') {
        joined = current.substr(0, 2) + path;
    } else {
        joined = current + "\\" + path;
    }
    char letter;
    std::vector<std::string> components;
    if (!splitFull(joined, &letter, components, error)) return false;
    full = std::string(1, static_cast<char>(toupper(letter))) + ":";
    for (const std::string& component : components) full += "\\" + component;
    if (components.empty()) full += "\\";
    return true;
}

bool windowsUtf8(const char* windowsPath, std::string& utf8, DWORD* error) {
    if (!windowsPath || !cp932ToUtf8(windowsPath, utf8)) {
        *error = windowsPath ? ERROR_INVALID_NAME : ERROR_INVALID_PARAMETER;
        return false;
    }
    return true;
}

// The entry of a host folder whose name matches `name` as Windows compares names.
bool findEntry(const std::string& folder, const std::string& name, std::string& found) {
    std::string exact = folder + (folder == "/" ? "" : "/") + name;
    struct stat info;
    if (lstat(exact.c_str(), &info) == 0) {
        found = name;
        return true;
    }
    DIR* dir = opendir(folder.c_str());
    if (!dir) return false;
    bool matched = false;
    while (dirent* entry = readdir(dir)) {
        if (sameName(name, entry->d_name)) {
            found = entry->d_name;
            matched = true;
            break;
        }
    }
    closedir(dir);
    return matched;
}

}  // namespace

bool fullWindowsPath(const char* windowsPath, std::string& full, DWORD* error) {
    std::string utf8, fullUtf8;
    if (!windowsUtf8(windowsPath, utf8, error) || !fullPathUtf8(utf8, fullUtf8, error)) return false;
    if (!utf8ToCp932(fullUtf8, full)) {
        *error = ERROR_INVALID_NAME;
        return false;
    }
    return true;
}

bool hostPathOf(const char* windowsPath, std::string& hostPath, DWORD* error) {
    std::string utf8, full;
    if (!windowsUtf8(windowsPath, utf8, error) || !fullPathUtf8(utf8, full, error)) return false;
    char letter;
    std::vector<std::string> components;
    splitFull(full, &letter, components, error);
    Drive drive;
    if (!findDrive(letter, drive)) {
        *error = ERROR_PATH_NOT_FOUND;
        return false;
    }
    hostPath = drive.hostFolder;
    bool existing = true;
    for (const std::string& component : components) {
        std::string name = component;
        existing = existing && findEntry(hostPath, component, name);
        hostPath += (hostPath == "/" ? "" : "/") + name;
    }
    return true;
}

bool windowsPathOf(const std::string& hostPath, std::string& windowsPath) {
    std::vector<Drive> drives;
    readDrives(drives);
    const Drive* best = nullptr;
    for (const Drive& drive : drives) {
        const std::string& folder = drive.hostFolder;
        bool holds = folder == "/" || hostPath == folder ||
                     (hostPath.compare(0, folder.size(), folder) == 0 && hostPath[folder.size()] == '/');
        if (holds && (!best || folder.size() > best->hostFolder.size())) best = &drive;
    }
    if (!best) return false;
    std::string rest = best->hostFolder == "/" ? hostPath : hostPath.substr(best->hostFolder.size());
    std::string utf8 = std::string(1, static_cast<char>(toupper(best->letter))) + ":";
    for (char c : rest) utf8 += c == '/' ? '\\' : c;
    if (utf8.size() == 2) utf8 += "\\";
    return utf8ToCp932(utf8, windowsPath);
}

}  // namespace standin

BOOL WINAPI SetCurrentDirectoryA(LPCSTR path) {
    DWORD error = ERROR_SUCCESS;
    std::string utf8, full, host;
    if (!standin::windowsUtf8(path, utf8, &error) || !standin::fullPathUtf8(utf8, full, &error) ||
        !standin::hostPathOf(path, host, &error)) {
        SetLastError(error);
        return FALSE;
    }
    struct stat info;
    if (stat(host.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    std::lock_guard<std::mutex> hold(standin::currentDirectoryLock);
    standin::currentDirectory = full;
    return TRUE;
}

DWORD WINAPI GetCurrentDirectoryA(DWORD size, LPSTR buffer) {
    std::string cp932;
    if (!standin::utf8ToCp932(standin::currentDirectoryUtf8(), cp932)) return 0;
    if (cp932.size() + 1 > size || !buffer) return static_cast<DWORD>(cp932.size() + 1);
    memcpy(buffer, cp932.c_str(), cp932.size() + 1);
    return static_cast<DWORD>(cp932.size());
}
