// The C stream open on Windows paths. Programs linked with the stand-in have every fopen call
// routed here (the linker's --wrap), so the same fopen works on Windows and on the stand-in.
//
// A stream on a Windows path is one of the process's opens, as under Windows' C runtime, which
// opens with reading and writing shared: two streams on a file coexist, while an exclusive
// CreateFileA keeps a stream out and is kept out by one until fclose.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <string>

#include "platform/standin/files.h"
#include "platform/standin/host_calls.h"

extern "C" FILE* __real_fopen(const char* path, const char* mode);

namespace {

constexpr size_t kBufferSize = 64 * 1024;

struct StreamCookie {
    std::shared_ptr<standin::OpenFile> file;
    std::unique_ptr<char[]> buffer = std::make_unique<char[]>(kBufferSize);
};

// "r", "w", "a" with "+" for both ways and "x" for a file that must be new; "b", "t" and the
// other letters the C libraries know change nothing here. cookieMode is what fopencookie takes.
bool parseMode(const char* mode, standin::OpenRequest& request, std::string& cookieMode) {
    if (!*mode) return false;
    bool both = false, fresh = false;
    for (const char* letter = mode + 1; *letter && *letter != ','; ++letter) {
        both = both || *letter == '+';
        fresh = fresh || *letter == 'x';
    }
    DWORD written = both ? standin::kReadAccess | standin::kWriteAccess : standin::kWriteAccess;
    switch (mode[0]) {
        case 'r':
            request.access = both ? written : standin::kReadAccess;
            request.disposition = OPEN_EXISTING;
            break;
        case 'w':
            request.access = written;
            request.disposition = fresh ? CREATE_NEW : CREATE_ALWAYS;
            break;
        case 'a':
            request.access = written;
            request.disposition = OPEN_ALWAYS;
            request.append = true;
            break;
        default: return false;
    }
    cookieMode = std::string(1, mode[0]) + (both ? "+" : "");
    return true;
}

int fdOf(void* cookie) { return static_cast<StreamCookie*>(cookie)->file->fd.fd; }

ssize_t readStream(void* cookie, char* buffer, size_t size) {
    for (;;) {
        ssize_t got = standin::hostRead(fdOf(cookie), buffer, size);
        if (got >= 0 || errno != EINTR) return got;
    }
}

// Fewer bytes than asked mark the stream's error; errno tells why.
ssize_t writeStream(void* cookie, const char* buffer, size_t size) {
    size_t done = 0;
    while (done < size) {
        ssize_t put = standin::hostWrite(fdOf(cookie), buffer + done, size - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) break;
        done += static_cast<size_t>(put);
    }
    return static_cast<ssize_t>(done);
}

int seekStream(void* cookie, off64_t* position, int whence) {
    off64_t reached = lseek64(fdOf(cookie), *position, whence);
    if (reached < 0) return -1;
    *position = reached;
    return 0;
}

int closeStream(void* cookie) {
    std::unique_ptr<StreamCookie> stream(static_cast<StreamCookie*>(cookie));
    standin::forgetOpen(stream->file.get());
    return stream->file->fd.close() == 0 ? 0 : EOF;
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
    standin::OpenRequest request;
    std::string cookieMode;
    if (!parseMode(mode, request, cookieMode)) {
        errno = EINVAL;
        return nullptr;
    }
    request.windowsPath = path;
    request.share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    request.stream = true;
    bool existed = false;
    DWORD error = ERROR_SUCCESS;
    auto cookie = std::make_unique<StreamCookie>();
    cookie->file = standin::openFile(request, &existed, &error);
    if (!cookie->file) {
        errno = standin::errnoOf(error);
        return nullptr;
    }
    cookie_io_functions_t calls = {readStream, writeStream, seekStream, closeStream};
    FILE* stream = fopencookie(cookie.get(), cookieMode.c_str(), calls);
    if (!stream) {
        int reason = errno;
        standin::forgetOpen(cookie->file.get());
        errno = reason;
        return nullptr;
    }
    setvbuf(stream, cookie->buffer.get(), _IOFBF, kBufferSize);
    cookie.release();
    return stream;
}
