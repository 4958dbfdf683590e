// The C stream open on Windows paths. Programs linked with the stand-in have every fopen call
// routed here (the linker's --wrap), so the same fopen works on Windows and on the stand-in.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/standin/paths.h"

extern "C" FILE* __real_fopen(const char* path, const char* mode);

namespace {

int errnoOf(DWORD error) {
    switch (error) {
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_INVALID_PARAMETER: return EINVAL;
        default: return ENOENT;
    }
}

bool opensForWriting(const char* mode) {
    return strchr(mode, 'w') || strchr(mode, 'a') || strchr(mode, '+');
}

// Read-only is the owner's missing write permission; it holds for root as well, as on Windows.
bool isReadOnly(const std::string& hostPath) {
    struct stat info;
    return stat(hostPath.c_str(), &info) == 0 && S_ISREG(info.st_mode) && !(info.st_mode & S_IWUSR);
}

}  // namespace

// A path that starts with a slash is a host path: the stand-in's own libraries open their files
// through the same call, and no Windows path the program makes starts that way.
extern "C" FILE* __wrap_fopen(const char* path, const char* mode) {
    if (!path || !mode) {
        errno = EINVAL;
        return nullptr;
    }
    if (path[0] == '/') return __real_fopen(path, mode);
    std::string host;
    DWORD error = ERROR_SUCCESS;
    if (!standin::hostPathOf(path, host, &error)) {
        errno = errnoOf(error);
        return nullptr;
    }
    if (opensForWriting(mode) && isReadOnly(host)) {
        errno = EACCES;
        return nullptr;
    }
    return __real_fopen(host.c_str(), mode);
}
