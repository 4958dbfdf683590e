// Failures on purpose: host faults on file content for handles, copies and streams, and the
// `fail` lines of the machine's settings.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <functional>
#include <string>

#include "platform/kernel.h"
#include "platform/standin/test_machine.h"
#include "platform/standin/tests/file_support.h"

namespace {

using filetest::FileTest;
using filetest::Handle;

std::string pattern(size_t size) {
    std::string data(size, '\0');
    for (size_t i = 0; i < size; ++i) data[i] = static_cast<char>(i % 241);
    return data;
}

using HostFaults = FileTest;

TEST_F(HostFaults, AStreamWriteFailingAfterNBytesReachesFclose) {
    standin::failHostWrites(100, ENOSPC);
    FILE* file = fopen("C:\\out.bin", "wb");
    ASSERT_NE(file, nullptr);
    std::string data = pattern(1000);
    EXPECT_EQ(fwrite(data.data(), 1, data.size(), file), data.size());  // still in the buffer
    errno = 0;
    EXPECT_EQ(fclose(file), EOF);
    EXPECT_EQ(errno, ENOSPC);
    EXPECT_EQ(content("out.bin"), data.substr(0, 100));
    // Closed all the same: nothing holds the file any more.
    EXPECT_TRUE(filetest::open("C:\\out.bin", GENERIC_READ).valid());
}

TEST_F(HostFaults, AStreamWritePastItsBufferComesUpShort) {
    standin::failHostWrites(70000, ENOSPC);
    FILE* file = fopen("C:\\out.bin", "wb");
    ASSERT_NE(file, nullptr);
    std::string data = pattern(300000);
    errno = 0;
    EXPECT_LT(fwrite(data.data(), 1, data.size(), file), data.size());
    EXPECT_TRUE(ferror(file));
    EXPECT_EQ(errno, ENOSPC);
    fclose(file);
    EXPECT_EQ(content("out.bin"), data.substr(0, 70000));
}

TEST_F(HostFaults, AStreamReadFailingAfterNBytesSetsTheError) {
    put("in.bin", pattern(1000));
    standin::failHostReads(10, EIO);
    FILE* file = fopen("C:\\in.bin", "rb");
    ASSERT_NE(file, nullptr);
    char buffer[100];
    errno = 0;
    EXPECT_EQ(fread(buffer, 1, sizeof buffer, file), 10u);
    EXPECT_TRUE(ferror(file));
    EXPECT_FALSE(feof(file));
    EXPECT_EQ(errno, EIO);
    EXPECT_EQ(std::string(buffer, 10), pattern(10));
    EXPECT_EQ(fclose(file), 0);
}

TEST_F(HostFaults, CountEveryWriteTowardsTheLimit) {
    Handle file = filetest::open("C:\\out.txt", GENERIC_WRITE, 0, CREATE_NEW);
    ASSERT_TRUE(file.valid());
    standin::failHostWrites(10, ENOSPC);
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(file.value, "aaaa", 4, &written, nullptr));
    EXPECT_TRUE(WriteFile(file.value, "bbbb", 4, &written, nullptr));
    EXPECT_FALSE(WriteFile(file.value, "cccc", 4, &written, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
    EXPECT_EQ(written, 2u);  // what reached the disk before it filled
    EXPECT_FALSE(WriteFile(file.value, "dddd", 4, &written, nullptr));
    EXPECT_EQ(written, 0u);
    standin::clearHostFaults();
    EXPECT_TRUE(WriteFile(file.value, "eeee", 4, &written, nullptr));
    EXPECT_EQ(content("out.txt"), "aaaabbbbcceeee");
}

TEST_F(HostFaults, TurnIntoWin32Errors) {
    struct Case {
        const char* name;
        int errnoValue;
        DWORD error;
    };
    const Case cases[] = {
        {"no space", ENOSPC, ERROR_DISK_FULL},
        {"over quota", EDQUOT, ERROR_DISK_FULL},
        {"input/output", EIO, ERROR_GEN_FAILURE},
        {"too large", EFBIG, ERROR_FILE_TOO_LARGE},
        {"read-only file system", EROFS, ERROR_WRITE_PROTECT},
        {"permission", EACCES, ERROR_ACCESS_DENIED},
    };
    put("file.txt", "abcdef");
    Handle file = filetest::open("C:\\file.txt", GENERIC_READ | GENERIC_WRITE);
    ASSERT_TRUE(file.valid());
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        char buffer[4];
        DWORD count = 99;
        standin::failHostReads(0, row.errnoValue);
        EXPECT_FALSE(ReadFile(file.value, buffer, sizeof buffer, &count, nullptr));
        EXPECT_EQ(GetLastError(), row.error);
        EXPECT_EQ(count, 0u);
        standin::failHostWrites(0, row.errnoValue);
        EXPECT_FALSE(WriteFile(file.value, "x", 1, &count, nullptr));
        EXPECT_EQ(GetLastError(), row.error);
        standin::clearHostFaults();
    }
    EXPECT_EQ(content("file.txt"), "abcdef");
}

TEST_F(HostFaults, ReadFileGivesTheBytesBeforeTheFault) {
    put("in.bin", pattern(100));
    Handle file = filetest::open("C:\\in.bin", GENERIC_READ);
    standin::failHostReads(30, EIO);
    char buffer[100];
    DWORD read = 0;
    EXPECT_FALSE(ReadFile(file.value, buffer, sizeof buffer, &read, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_GEN_FAILURE);
    EXPECT_EQ(read, 30u);
    EXPECT_EQ(std::string(buffer, read), pattern(30));
}

TEST_F(HostFaults, LeaveNoCopyBehind) {
    struct Case {
        const char* name;
        bool destinationExists;
        bool failReads;
        DWORD error;
    };
    const Case cases[] = {
        {"disk full on a new copy", false, false, ERROR_DISK_FULL},
        {"disk full over a file", true, false, ERROR_DISK_FULL},
        {"unreadable source", false, true, ERROR_GEN_FAILURE},
    };
    std::string data = pattern(200000);
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        put("source.bin", data);
        unlink(host("copy.bin").c_str());
        if (row.destinationExists) put("copy.bin", "old");
        if (row.failReads) {
            standin::failHostReads(100000, EIO);
        } else {
            standin::failHostWrites(100000, ENOSPC);
        }
        EXPECT_FALSE(CopyFileA("C:\\source.bin", "C:\\copy.bin", FALSE));
        EXPECT_EQ(GetLastError(), row.error);
        EXPECT_FALSE(exists("copy.bin"));
        standin::clearHostFaults();
        ASSERT_TRUE(CopyFileA("C:\\source.bin", "C:\\copy.bin", TRUE));
        EXPECT_EQ(content("copy.bin"), data);
    }
}

TEST_F(HostFaults, EndWithTheirMachine) {
    {
        standin::TestMachine inner;
        standin::failHostWrites(0, EIO);
    }
    Handle file = filetest::open("C:\\out.txt", GENERIC_WRITE, 0, CREATE_NEW);
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(file.value, "abc", 3, &written, nullptr));
}

// ---- The settings' `fail` lines -----------------------------------------------------------

using InjectedFailures = FileTest;

TEST_F(InjectedFailures, FailTheNamedOperationAlone) {
    struct Case {
        const char* operation;
        std::function<bool()> call;
    };
    // Opened before the settings name a failure, so that SetFileTime has a handle.
    put("source.txt", "data");
    Handle timed = filetest::open("C:\\source.txt", GENERIC_WRITE, 7);
    ASSERT_TRUE(timed.valid());
    const Case cases[] = {
        {"CreateFileA",
         [] { return filetest::open("C:\\source.txt", GENERIC_WRITE, 7, CREATE_ALWAYS).valid(); }},
        {"CopyFileA", [] { return CopyFileA("C:\\source.txt", "C:\\copy.txt", FALSE) != FALSE; }},
        {"MoveFileExA", [] { return MoveFileExA("C:\\source.txt", "C:\\moved.txt", 0) != FALSE; }},
        {"DeleteFileA", [] { return DeleteFileA("C:\\source.txt") != FALSE; }},
        {"SetFileAttributesA",
         [] { return SetFileAttributesA("C:\\source.txt", FILE_ATTRIBUTE_HIDDEN) != FALSE; }},
        {"SetFileTime",
         [&timed] {
             FILETIME time = filetest::fileTime(120000000000000000);
             return SetFileTime(timed.value, &time, &time, &time) != FALSE;
         }},
    };
    uint64_t writeTime = 0;
    {
        FILETIME time;
        ASSERT_TRUE(GetFileTime(timed.value, nullptr, nullptr, &time));
        writeTime = filetest::ticks(time);
    }
    for (const Case& row : cases) {
        for (const char* result : {"", " 112"}) {
            SCOPED_TRACE(std::string(row.operation) + result);
            machine.writeFile("settings", std::string("fail ") + row.operation + result + "\n");
            EXPECT_FALSE(row.call());
            EXPECT_EQ(GetLastError(), *result ? ERROR_DISK_FULL : ERROR_ACCESS_DENIED);
            EXPECT_EQ(content("source.txt"), "data");
            EXPECT_FALSE(exists("copy.txt"));
            EXPECT_FALSE(exists("moved.txt"));
            EXPECT_EQ(GetFileAttributesA("C:\\source.txt"), FILE_ATTRIBUTE_NORMAL);
            FILETIME time;
            ASSERT_TRUE(GetFileTime(timed.value, nullptr, nullptr, &time));
            EXPECT_EQ(filetest::ticks(time), writeTime);
            // Every other operation goes on working.
            Handle reader = filetest::open("C:\\source.txt", GENERIC_READ, 7);
            EXPECT_TRUE(reader.valid() || std::string(row.operation) == "CreateFileA");
        }
    }
    unlink(machine.path("settings").c_str());
    for (const Case& row : cases) {
        SCOPED_TRACE(std::string(row.operation) + " without the line");
        put("source.txt", "data");
        unlink(host("copy.txt").c_str());
        unlink(host("moved.txt").c_str());
        EXPECT_TRUE(row.call());
    }
}

}  // namespace
