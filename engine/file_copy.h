// The engine's one way to copy a file: 64 KiB blocks through one buffer, with the cancel
// protocol, and a destination that is replaced only by the whole source.
#pragma once

#include <cstdint>

constexpr uint32_t kCopyBlockSize = 65536;

// The one copy buffer; copies never run two at a time.
extern unsigned char copyBuffer[kCopyBlockSize];

// The file's size in bytes (low 32 bits), or 0 when it cannot be opened for reading exclusively.
uint32_t fileSize(const char* path);
