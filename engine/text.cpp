// Bounded composition of texts into fixed buffers.
#include "engine/text.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

bool formatText(char* out, size_t outSize, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    int length = vsnprintf(out, outSize, format, arguments);
    va_end(arguments);
    if (length < 0 || static_cast<size_t>(length) >= outSize) {
        if (outSize > 0) out[0] = '\0';
        return false;
    }
    return true;
}

void copyTextCut(char* out, size_t outSize, const char* text) {
    size_t length = strnlen(text, outSize - 1);
    memmove(out, text, length);
    out[length] = '\0';
}

bool endsWithSeparator(const char* path) {
    const char* last = nullptr;
    for (const char* p = path; *p != '\0'; ++p) {
        last = p;
        if (isLeadByte932(static_cast<unsigned char>(*p)) && p[1] != '\0') ++p;
    }
    return last && *last == '\\';
}

char* lastSeparator(char* path) {
    char* last = nullptr;
    for (char* p = path; *p != '\0'; ++p) {
        if (isLeadByte932(static_cast<unsigned char>(*p)) && p[1] != '\0') {
            ++p;
        } else if (*p == '\\') {
            last = p;
        }
    }
    return last;
}
