// Bounded composition of texts into fixed buffers.
#pragma once

#include <cstddef>

// Formats into out (printf style). When the result does not fit, out becomes the empty text and
// the result is false: a path that does not fit is never cut into another path.
bool formatText(char* out, size_t outSize, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// Copies at most outSize - 1 bytes of text and terminates the copy (outSize must be at least 1).
void copyTextCut(char* out, size_t outSize, const char* text);

// Code page 932 lead bytes: the first byte of a double-byte character, whose second byte may be
// 0x5C and is then no backslash.
inline bool isLeadByte932(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// The last backslash of a code page 932 path that is a separator, or null.
char* lastSeparator(char* path);
// Whether the path's last character is a backslash: a trailing 表 (95 5C) is not one.
bool endsWithSeparator(const char* path);
