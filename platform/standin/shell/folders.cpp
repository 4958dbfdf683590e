// Special folders and long path names.
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "platform/standin/files.h"
#include "platform/standin/machine.h"
#include "platform/standin/paths.h"
#include "platform/standin/shell/shell_shared.h"

namespace standin::shell {
namespace {

bool isSeparator(char c) {
    return c == '\\' || c == '/';
}

// Where current Windows keeps the folders, on drive c:.
struct SpecialFolder {
    int csidl;
    const char* path;
};

constexpr SpecialFolder kSpecialFolders[] = {
    {CSIDL_FONTS, "C:\\Windows\\Fonts"},
    {CSIDL_COMMON_STARTMENU, "C:\\ProgramData\\Microsoft\\Windows\\Start Menu"},
    {CSIDL_COMMON_PROGRAMS, "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs"},
    {CSIDL_COMMON_STARTUP, "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Startup"},
    {CSIDL_COMMON_DESKTOPDIRECTORY, "C:\\Users\\Public\\Desktop"},
    {CSIDL_COMMON_APPDATA, "C:\\ProgramData"},
    {CSIDL_WINDOWS, "C:\\Windows"},
    {CSIDL_PROGRAM_FILES, "C:\\Program Files"},
    {CSIDL_PROGRAM_FILES_COMMON, "C:\\Program Files\\Common Files"},
    {CSIDL_COMMON_DOCUMENTS, "C:\\Users\\Public\\Documents"},
};
constexpr int kCsidlFlags = 0xFF00;

bool exists(const std::string& windowsPath, DWORD* error) {
    std::string host;
    if (!hostPathOf(windowsPath.c_str(), host, error))
        return false;
    struct stat info;
    if (lstat(host.c_str(), &info) == 0)
        return true;
    *error = win32ErrorOf(errno, host);
    return false;
}

// The host's name of the last component of a Windows path that exists, in code page 932.
bool storedName(const std::string& windowsPath, std::string& name) {
    std::string host;
    DWORD ignored = 0;
    if (!hostPathOf(windowsPath.c_str(), host, &ignored))
        return false;
    return utf8ToCp932(host.substr(host.rfind('/') + 1), name);
}

// The path as written, each component that names something replaced by its stored name.
bool longForm(const std::string& path, std::string& out, DWORD* error) {
    out.clear();
    size_t i = 0;
    bool checked = false;
    if (path.size() >= 2 && path[1] == ':' && !isLeadByte932(static_cast<unsigned char>(path[0]))) {
        out = path.substr(0, 2);
        i = 2;
    }
    while (i < path.size()) {
        if (isSeparator(path[i])) {
            out += path[i++];
            continue;
        }
        size_t end = i;
        while (end < path.size() && !isSeparator(path[end])) {
            end += isLeadByte932(static_cast<unsigned char>(path[end])) && end + 1 < path.size()
                       ? 2
                       : 1;
        }
        std::string component = path.substr(i, end - i);
        bool last = path.find_first_not_of("\\/", end) == std::string::npos;
        std::string prefix = out + component;
        if (!exists(prefix, error)) {
            if (*error == ERROR_FILE_NOT_FOUND && !last)
                *error = ERROR_PATH_NOT_FOUND;
            return false;
        }
        checked = true;
        std::string name;
        out +=
            component == "." || component == ".." || !storedName(prefix, name) ? component : name;
        i = end;
    }
    return checked || exists(path, error);
}

}  // namespace

std::vector<std::string> componentsOf(std::string_view path) {
    std::vector<std::string> components;
    std::string current;
    for (size_t i = 0; i < path.size(); ++i) {
        if (isLeadByte932(static_cast<unsigned char>(path[i])) && i + 1 < path.size()) {
            current += path.substr(i, 2);
            ++i;
        } else if (isSeparator(path[i])) {
            if (!current.empty())
                components.push_back(current);
            current.clear();
        } else {
            current += path[i];
        }
    }
    if (!current.empty())
        components.push_back(current);
    return components;
}

bool storedSpelling(const char* windowsPath, std::string& spelled, DWORD* error) {
    std::string full;
    return fullWindowsPath(windowsPath, full, error) && longForm(full, spelled, error);
}

}  // namespace standin::shell

using namespace standin::shell;

DWORD WINAPI GetLongPathNameA(LPCSTR shortPath, LPSTR longPath, DWORD size) {
    if (!shortPath) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string spelled;
    DWORD error = ERROR_SUCCESS;
    if (!*shortPath) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return 0;
    }
    if (!longForm(shortPath, spelled, &error)) {
        SetLastError(error);
        return 0;
    }
    if (!longPath || spelled.size() + 1 > size)
        return static_cast<DWORD>(spelled.size() + 1);
    memcpy(longPath, spelled.c_str(), spelled.size() + 1);
    return static_cast<DWORD>(spelled.size());
}

BOOL WINAPI SHGetSpecialFolderPathA(HWND, LPSTR path, int csidl, BOOL create) {
    if (!path) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    path[0] = '\0';
    if (csidl & CSIDL_FLAG_CREATE)
        create = TRUE;
    const SpecialFolder* found = nullptr;
    for (const SpecialFolder& folder : kSpecialFolders) {
        if (folder.csidl == (csidl & ~kCsidlFlags))
            found = &folder;
    }
    if (!found) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DWORD attributes = GetFileAttributesA(found->path);
    if (attributes == INVALID_FILE_ATTRIBUTES && create) {
        std::string partial;
        for (const std::string& component : componentsOf(found->path)) {
            partial += partial.empty() ? component : "\\" + component;
            if (partial.size() > 2)
                CreateDirectoryA(partial.c_str(), nullptr);
        }
        attributes = GetFileAttributesA(found->path);
    }
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        if (attributes != INVALID_FILE_ATTRIBUTES)
            SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    strcpy(path, found->path);
    return TRUE;
}
