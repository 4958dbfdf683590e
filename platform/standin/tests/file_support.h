// What the file tests share: a fresh machine, handles that close themselves and the host's view
// of drive c:.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "platform/kernel.h"
#include "platform/standin/test_machine.h"

namespace filetest {

// A file handle, closed with its owner.
struct Handle {
    HANDLE value = INVALID_HANDLE_VALUE;

    Handle() = default;
    explicit Handle(HANDLE handle) : value(handle) {}
    Handle(Handle&& other) noexcept : value(std::exchange(other.value, INVALID_HANDLE_VALUE)) {}
    Handle& operator=(Handle&& other) noexcept {
        std::swap(value, other.value);
        return *this;
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() {
        if (valid()) CloseHandle(value);
    }

    bool valid() const { return value != INVALID_HANDLE_VALUE; }
};

inline Handle open(const char* path, DWORD access, DWORD share = 0,
                   DWORD disposition = OPEN_EXISTING, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
    return Handle(CreateFileA(path, access, share, nullptr, disposition, attributes, nullptr));
}

inline FILETIME fileTime(uint64_t ticks) {
    return {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

inline uint64_t ticks(const FILETIME& time) {
    return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// A host name written as a u8 literal.
inline std::string utf8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

// A machine per test; names are relative to drive c:'s folder.
struct FileTest : ::testing::Test {
    standin::TestMachine machine;

    std::string host(std::string_view name) const {
        return machine.path("drive_c/" + std::string(name));
    }
    void put(std::string_view name, std::string_view content) const {
        machine.writeFile("drive_c/" + std::string(name), content);
    }
    std::string content(std::string_view name) const {
        return machine.readFile("drive_c/" + std::string(name));
    }
    bool exists(std::string_view name) const {
        struct stat info;
        return lstat(host(name).c_str(), &info) == 0;
    }
    mode_t mode(std::string_view name) const {
        struct stat info;
        return stat(host(name).c_str(), &info) == 0 ? info.st_mode : 0;
    }
    // Takes the owner's write permission away on the host, which Windows sees as read-only.
    void makeReadOnly(std::string_view name) const {
        chmod(host(name).c_str(), mode(name) & ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH));
    }
};

}  // namespace filetest
