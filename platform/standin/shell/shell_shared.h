// What the stand-in's shell files share: little-endian byte writing, facts about files, item
// lists and the task allocator. Only the stand-in includes this header.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/shell.h"

namespace standin::shell {

// Little-endian records, as the shell's binary formats are.
struct ByteWriter {
    std::string bytes;

    void u8(unsigned value) { bytes.push_back(static_cast<char>(value & 0xFF)); }
    void u16(unsigned value) {
        u8(value);
        u8(value >> 8);
    }
    void u32(uint32_t value) {
        u16(value & 0xFFFF);
        u16(value >> 16);
    }
    void u64(uint64_t value) {
        u32(static_cast<uint32_t>(value));
        u32(static_cast<uint32_t>(value >> 32));
    }
    void guid(const GUID& id) {
        u32(id.Data1);
        u16(id.Data2);
        u16(id.Data3);
        bytes.append(reinterpret_cast<const char*>(id.Data4), sizeof id.Data4);
    }
    void raw(std::string_view data) { bytes.append(data); }
    void utf16(std::u16string_view text) {
        for (char16_t unit : text) u16(unit);
    }
    // Writes over two or four bytes already written, for sizes and offsets known at the end.
    void put16(size_t offset, unsigned value) {
        bytes[offset] = static_cast<char>(value & 0xFF);
        bytes[offset + 1] = static_cast<char>((value >> 8) & 0xFF);
    }
    void put32(size_t offset, uint32_t value) {
        put16(offset, value & 0xFFFF);
        put16(offset + 2, value >> 16);
    }
    size_t size() const { return bytes.size(); }
};

// Code page 932 to UTF-16; false when the text is not valid code page 932.
bool cp932ToUtf16(std::string_view cp932, std::u16string& utf16);

// Copies a code page 932 text into a buffer of `size` bytes (size > 0), cut at a character
// boundary when it does not fit.
void copyCut(std::string_view text, char* buffer, size_t size);

// The components of a Windows path (code page 932), split at backslashes and slashes that are
// not the second byte of a double-byte character; empty components are dropped.
std::vector<std::string> componentsOf(std::string_view path);

// A full Windows path with each existing component spelled as the host stores it; false (with
// the Win32 error) when the path cannot be taken or does not exist.
bool storedSpelling(const char* windowsPath, std::string& spelled, DWORD* error);

// What the host says about a file or folder of a Windows path; `exists` false when it is not
// there. Times are FILETIME ticks.
struct ItemFacts {
    bool exists = false;
    bool folder = false;
    uint64_t size = 0;
    DWORD attributes = 0;
    uint64_t creation = 0;
    uint64_t access = 0;
    uint64_t write = 0;
};
ItemFacts factsOf(const std::string& windowsPath);

// The item list of a full Windows path (My Computer, the drive, then each component as a file or
// folder item), its terminator included.
std::string itemListOf(const std::string& fullPath);
// The file-system path an item list names; false when it names none.
bool pathOfItemList(PCIDLIST_ABSOLUTE list, std::string& path);
// Copies an item list into a block of the task allocator, counted as a live item list until the
// block is freed; null when memory runs out.
PIDLIST_ABSOLUTE allocateItemList(const std::string& bytes);

// A new shell link object, asked for one of its interfaces.
HRESULT createShellLink(REFIID riid, void** object);

}  // namespace standin::shell
