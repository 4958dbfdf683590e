// The running program's own path, in Windows form.
#include <unistd.h>

#include <cstring>
#include <mutex>

#include "platform/kernel.h"
#include "platform/standin/paths.h"
#include "platform/standin/test_machine.h"

namespace {
std::mutex modulePathLock;
std::string modulePathOverride;

std::string hostModulePath() {
    {
        std::lock_guard<std::mutex> hold(modulePathLock);
        if (!modulePathOverride.empty()) return modulePathOverride;
    }
    char path[4096];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length < 0) return {};
    return std::string(path, static_cast<size_t>(length));
}
}  // namespace

namespace standin {
void setModulePath(const std::string& hostPath) {
    std::lock_guard<std::mutex> hold(modulePathLock);
    modulePathOverride = hostPath;
}
}  // namespace standin

DWORD WINAPI GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size) {
    std::string windows;
    if (module || !standin::windowsPathOf(hostModulePath(), windows)) {
        SetLastError(module ? ERROR_INVALID_HANDLE : ERROR_FILE_NOT_FOUND);
        return 0;
    }
    if (size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (windows.size() + 1 > size) {
        memcpy(fileName, windows.data(), size - 1);
        fileName[size - 1] = '\0';
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    memcpy(fileName, windows.c_str(), windows.size() + 1);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(windows.size());
}
