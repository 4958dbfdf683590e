// File handles: sharing between the process's opens, dispositions, content, sizes and times.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <ctime>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/kernel.h"
#include "platform/standin/tests/file_support.h"

namespace {

using filetest::FileTest;
using filetest::Handle;

// ---- Sharing ------------------------------------------------------------------------------

// One open as CreateFileA takes it. A C stream opens as Windows' C runtime does: sharing
// reading and writing.
struct Open {
    DWORD access;
    DWORD share;
};

// The rule as Windows documents it, written out on its own terms: an open succeeds when every
// earlier open's share mode allows the new access and the new share mode allows every earlier
// open's access; an open that neither reads nor writes takes no part.
bool documentedRuleAllows(const Open& earlier, const Open& later) {
    const DWORD data = GENERIC_READ | GENERIC_WRITE;
    if (!(earlier.access & data) || !(later.access & data)) return true;
    if ((later.access & GENERIC_READ) && !(earlier.share & FILE_SHARE_READ)) return false;
    if ((later.access & GENERIC_WRITE) && !(earlier.share & FILE_SHARE_WRITE)) return false;
    if ((earlier.access & GENERIC_READ) && !(later.share & FILE_SHARE_READ)) return false;
    if ((earlier.access & GENERIC_WRITE) && !(later.share & FILE_SHARE_WRITE)) return false;
    return true;
}

std::string describe(const Open& open) {
    std::string text = "access";
    if (open.access & GENERIC_READ) text += " read";
    if (open.access & GENERIC_WRITE) text += " write";
    if (!open.access) text += " none";
    text += ", share";
    if (open.share & FILE_SHARE_READ) text += " read";
    if (open.share & FILE_SHARE_WRITE) text += " write";
    if (open.share & FILE_SHARE_DELETE) text += " delete";
    if (!open.share) text += " none";
    return text;
}

std::vector<Open> everyHandleOpen() {
    std::vector<Open> opens;
    const DWORD accesses[] = {0, GENERIC_READ, GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE};
    for (DWORD access : accesses) {
        for (DWORD share = 0; share <= 7; ++share) opens.push_back({access, share});
    }
    return opens;
}

struct StreamMode {
    const char* mode;
    DWORD access;
};
const StreamMode kStreamModes[] = {
    {"r", GENERIC_READ},   {"rb", GENERIC_READ},  {"w", GENERIC_WRITE},
    {"wb", GENERIC_WRITE}, {"a", GENERIC_WRITE},  {"r+", GENERIC_READ | GENERIC_WRITE},
    {"w+b", GENERIC_READ | GENERIC_WRITE},        {"a+", GENERIC_READ | GENERIC_WRITE},
};
constexpr DWORD kStreamShare = FILE_SHARE_READ | FILE_SHARE_WRITE;

using Sharing = FileTest;

TEST_F(Sharing, HandlesFollowTheDocumentedRule) {
    put("shared.txt", "data");
    for (const Open& first : everyHandleOpen()) {
        Handle held = filetest::open("C:\\shared.txt", first.access, first.share);
        ASSERT_TRUE(held.valid()) << describe(first);
        for (const Open& second : everyHandleOpen()) {
            SCOPED_TRACE(describe(first) + " then " + describe(second));
            SetLastError(ERROR_SUCCESS);
            // Another spelling of the same name reaches the same file.
            Handle joined = filetest::open("c:\\SHARED.TXT", second.access, second.share);
            EXPECT_EQ(joined.valid(), documentedRuleAllows(first, second));
            if (!joined.valid()) {
                EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
            }
        }
    }
}

TEST_F(Sharing, StreamsTakePartBothWays) {
    for (const StreamMode& stream : kStreamModes) {
        Open streamOpen{stream.access, kStreamShare};
        for (const Open& handle : everyHandleOpen()) {
            std::string row = std::string("fopen \"") + stream.mode + "\" and " + describe(handle);
            bool allowed = documentedRuleAllows(streamOpen, handle);
            put("shared.txt", "data");
            {
                SCOPED_TRACE(row + ", stream first");
                FILE* file = fopen("C:\\shared.txt", stream.mode);
                ASSERT_NE(file, nullptr);
                SetLastError(ERROR_SUCCESS);
                Handle joined = filetest::open("C:\\shared.txt", handle.access, handle.share);
                EXPECT_EQ(joined.valid(), allowed);
                if (!joined.valid()) {
                    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
                }
                fclose(file);
            }
            {
                SCOPED_TRACE(row + ", handle first");
                Handle held = filetest::open("C:\\shared.txt", handle.access, handle.share);
                ASSERT_TRUE(held.valid());
                errno = 0;
                FILE* file = fopen("C:\\shared.txt", stream.mode);
                EXPECT_EQ(file != nullptr, allowed);
                if (file) {
                    fclose(file);
                } else {
                    EXPECT_EQ(errno, EACCES);
                }
            }
        }
    }
}

TEST_F(Sharing, StreamsShareWithEachOther) {
    put("shared.txt", "data");
    for (const StreamMode& first : kStreamModes) {
        FILE* held = fopen("C:\\shared.txt", first.mode);
        ASSERT_NE(held, nullptr) << first.mode;
        for (const StreamMode& second : kStreamModes) {
            SCOPED_TRACE(std::string(first.mode) + " then " + second.mode);
            FILE* joined = fopen("C:\\shared.txt", second.mode);
            EXPECT_NE(joined, nullptr);
            if (joined) fclose(joined);
        }
        fclose(held);
    }
}

TEST_F(Sharing, EndsWhenTheOpenEnds) {
    put("shared.txt", "data");
    FILE* stream = fopen("C:\\shared.txt", "r");
    ASSERT_NE(stream, nullptr);
    EXPECT_FALSE(filetest::open("C:\\shared.txt", GENERIC_READ).valid());
    fclose(stream);
    Handle exclusive = filetest::open("C:\\shared.txt", GENERIC_READ);
    ASSERT_TRUE(exclusive.valid());
    EXPECT_EQ(fopen("C:\\shared.txt", "r"), nullptr);
    ASSERT_TRUE(CloseHandle(exclusive.value));
    exclusive.value = INVALID_HANDLE_VALUE;
    stream = fopen("C:\\shared.txt", "r");
    EXPECT_NE(stream, nullptr);
    if (stream) fclose(stream);
}

TEST_F(Sharing, FollowsTheFileNotItsName) {
    put("first.txt", "data");
    put("other.txt", "data");
    ASSERT_EQ(link(host("first.txt").c_str(), host("second.txt").c_str()), 0);
    Handle exclusive = filetest::open("C:\\first.txt", GENERIC_READ);
    ASSERT_TRUE(exclusive.valid());
    EXPECT_FALSE(filetest::open("C:\\second.txt", GENERIC_READ, FILE_SHARE_READ).valid());
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_TRUE(filetest::open("C:\\other.txt", GENERIC_READ).valid());
}

TEST_F(Sharing, ExclusiveOpensNeverOverlapAcrossThreads) {
    put("busy.txt", "data");
    std::atomic<int> holders{0};
    std::atomic<int> overlaps{0};
    std::atomic<int> refusedOtherwise{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 300; ++i) {
                HANDLE file = CreateFileA("C:\\busy.txt", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
                if (file == INVALID_HANDLE_VALUE) {
                    if (GetLastError() != ERROR_SHARING_VIOLATION) ++refusedOtherwise;
                    continue;
                }
                if (holders.fetch_add(1) != 0) ++overlaps;
                holders.fetch_sub(1);
                CloseHandle(file);
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(overlaps, 0);
    EXPECT_EQ(refusedOtherwise, 0);
    EXPECT_TRUE(filetest::open("C:\\busy.txt", GENERIC_READ).valid());
}

// ---- Dispositions and arguments -----------------------------------------------------------

using Dispositions = FileTest;

TEST_F(Dispositions, DecideOverExistingAndMissingFiles) {
    struct Case {
        const char* name;
        DWORD disposition;
        bool fileExists;
        bool opens;
        std::optional<DWORD> lastError;  // on failure, or where Windows sets it on success
        const char* contentAfter;        // null: no file
    };
    const Case cases[] = {
        {"CREATE_NEW over a file", CREATE_NEW, true, false, ERROR_FILE_EXISTS, "old"},
        {"CREATE_NEW", CREATE_NEW, false, true, std::nullopt, ""},
        {"CREATE_ALWAYS over a file", CREATE_ALWAYS, true, true, ERROR_ALREADY_EXISTS, ""},
        {"CREATE_ALWAYS", CREATE_ALWAYS, false, true, ERROR_SUCCESS, ""},
        {"OPEN_EXISTING", OPEN_EXISTING, true, true, std::nullopt, "old"},
        {"OPEN_EXISTING without a file", OPEN_EXISTING, false, false, ERROR_FILE_NOT_FOUND,
         nullptr},
        {"OPEN_ALWAYS over a file", OPEN_ALWAYS, true, true, ERROR_ALREADY_EXISTS, "old"},
        {"OPEN_ALWAYS", OPEN_ALWAYS, false, true, ERROR_SUCCESS, ""},
        {"TRUNCATE_EXISTING", TRUNCATE_EXISTING, true, true, std::nullopt, ""},
        {"TRUNCATE_EXISTING without a file", TRUNCATE_EXISTING, false, false, ERROR_FILE_NOT_FOUND,
         nullptr},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        unlink(host("file.txt").c_str());
        if (row.fileExists) put("file.txt", "old");
        SetLastError(0xDEAD);
        Handle file =
            filetest::open("C:\\file.txt", GENERIC_READ | GENERIC_WRITE, 0, row.disposition);
        EXPECT_EQ(file.valid(), row.opens);
        if (row.lastError) {
            EXPECT_EQ(GetLastError(), *row.lastError);
        }
        file = Handle();
        EXPECT_EQ(exists("file.txt"), row.contentAfter != nullptr);
        if (row.contentAfter) {
            EXPECT_EQ(content("file.txt"), row.contentAfter);
        }
    }
}

TEST_F(Dispositions, WithoutTheFolderFindNoPath) {
    for (DWORD disposition = CREATE_NEW; disposition <= TRUNCATE_EXISTING; ++disposition) {
        SCOPED_TRACE(disposition);
        Handle file = filetest::open("C:\\nowhere\\file.txt", GENERIC_WRITE, 0, disposition);
        EXPECT_FALSE(file.valid());
        EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    }
    put("plain.txt", "");
    EXPECT_FALSE(filetest::open("C:\\plain.txt\\file.txt", GENERIC_READ).valid());
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST_F(Dispositions, RefuseWhatWindowsRefuses) {
    put("file.txt", "old");
    ASSERT_EQ(mkdir(host("folder").c_str(), 0755), 0);
    Handle other = filetest::open("C:\\file.txt", GENERIC_READ, FILE_SHARE_READ);
    ASSERT_TRUE(other.valid());
    struct Case {
        const char* name;
        const char* path;
        DWORD access, share, disposition, flags;
        HANDLE templateFile;
        DWORD error;
    };
    const Case cases[] = {
        {"no disposition", "C:\\file.txt", GENERIC_READ, 7, 0, 0, nullptr, ERROR_INVALID_PARAMETER},
        {"disposition 6", "C:\\file.txt", GENERIC_READ, 7, 6, 0, nullptr, ERROR_INVALID_PARAMETER},
        {"unknown share bit", "C:\\file.txt", GENERIC_READ, 8, OPEN_EXISTING, 0, nullptr,
         ERROR_INVALID_PARAMETER},
        {"truncating without writing", "C:\\file.txt", GENERIC_READ, 7, TRUNCATE_EXISTING, 0,
         nullptr, ERROR_INVALID_PARAMETER},
        {"overlapped", "C:\\file.txt", GENERIC_READ, 7, OPEN_EXISTING, 0x40000000, nullptr,
         ERROR_INVALID_PARAMETER},
        {"delete on close", "C:\\file.txt", GENERIC_READ, 7, OPEN_EXISTING, 0x04000000, nullptr,
         ERROR_INVALID_PARAMETER},
        {"template", "C:\\new.txt", GENERIC_WRITE, 0, CREATE_NEW, 0, other.value,
         ERROR_INVALID_PARAMETER},
        {"no name", nullptr, GENERIC_READ, 7, OPEN_EXISTING, 0, nullptr, ERROR_INVALID_PARAMETER},
        {"empty name", "", GENERIC_READ, 7, OPEN_EXISTING, 0, nullptr, ERROR_PATH_NOT_FOUND},
        {"a folder", "C:\\folder", GENERIC_READ, 7, OPEN_EXISTING, 0, nullptr, ERROR_ACCESS_DENIED},
        {"a folder made anew", "C:\\folder", GENERIC_READ, 7, CREATE_NEW, 0, nullptr,
         ERROR_FILE_EXISTS},
        {"a forbidden name", "C:\\a?.txt", GENERIC_WRITE, 0, CREATE_ALWAYS, 0, nullptr,
         ERROR_INVALID_NAME},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        SetLastError(ERROR_SUCCESS);
        HANDLE file = CreateFileA(row.path, row.access, row.share, nullptr, row.disposition,
                                  row.flags | FILE_ATTRIBUTE_NORMAL, row.templateFile);
        EXPECT_EQ(file, INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), row.error);
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    }
    EXPECT_FALSE(exists("new.txt"));
    EXPECT_EQ(content("file.txt"), "old");
}

TEST_F(Dispositions, HintsAndWriteThroughAreTaken) {
    Handle file = filetest::open("C:\\file.txt", GENERIC_WRITE, 0, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH |
                                     FILE_FLAG_SEQUENTIAL_SCAN);
    ASSERT_TRUE(file.valid());
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(file.value, "abc", 3, &written, nullptr));
    file = Handle();
    EXPECT_EQ(content("file.txt"), "abc");
}

// ---- Content ------------------------------------------------------------------------------

using Content = FileTest;

TEST_F(Content, WrittenBytesReadBack) {
    std::string data(200000, '\0');
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7 + i / 251);
    {
        Handle file = filetest::open("C:\\data.bin", GENERIC_WRITE, 0, CREATE_NEW);
        ASSERT_TRUE(file.valid());
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(file.value, data.data(), 1000, &written, nullptr));
        EXPECT_EQ(written, 1000u);
        DWORD rest = static_cast<DWORD>(data.size() - 1000);
        ASSERT_TRUE(WriteFile(file.value, data.data() + 1000, rest, &written, nullptr));
        EXPECT_EQ(written, rest);
        EXPECT_TRUE(WriteFile(file.value, data.data(), 0, &written, nullptr));
        EXPECT_EQ(written, 0u);
        EXPECT_TRUE(FlushFileBuffers(file.value));
    }
    EXPECT_EQ(content("data.bin"), data);

    Handle file = filetest::open("C:\\data.bin", GENERIC_READ);
    std::string back(data.size() + 10, '\0');
    DWORD read = 0;
    ASSERT_TRUE(ReadFile(file.value, back.data(), 5, &read, nullptr));
    EXPECT_EQ(read, 5u);
    ASSERT_TRUE(ReadFile(file.value, back.data() + 5, static_cast<DWORD>(back.size() - 5), &read,
                         nullptr));
    EXPECT_EQ(read, data.size() - 5);  // short at the end of the file
    back.resize(data.size());
    EXPECT_EQ(back, data);
    ASSERT_TRUE(ReadFile(file.value, back.data(), 10, &read, nullptr));
    EXPECT_EQ(read, 0u);
}

TEST_F(Content, NeedsTheRightAccess) {
    put("file.txt", "abc");
    char buffer[4];
    DWORD count = 99;
    struct Case {
        const char* name;
        DWORD access;
        bool reads, writes, flushes, setsTimes;
    };
    const Case cases[] = {
        {"no access", 0, false, false, false, false},
        {"read", GENERIC_READ, true, false, false, false},
        {"write", GENERIC_WRITE, false, true, true, true},
        {"both", GENERIC_READ | GENERIC_WRITE, true, true, true, true},
        {"all", GENERIC_ALL, true, true, true, true},
        {"attributes", FILE_WRITE_ATTRIBUTES, false, false, false, true},
    };
    FILETIME time = filetest::fileTime(133000000000000000);
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        Handle file = filetest::open("C:\\file.txt", row.access, 7);
        ASSERT_TRUE(file.valid());
        EXPECT_EQ(ReadFile(file.value, buffer, 1, &count, nullptr), row.reads);
        if (!row.reads) {
            EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
        }
        EXPECT_EQ(WriteFile(file.value, "x", 1, &count, nullptr), row.writes);
        if (!row.writes) {
            EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
        }
        EXPECT_EQ(FlushFileBuffers(file.value), row.flushes);
        EXPECT_EQ(SetFileTime(file.value, nullptr, nullptr, &time), row.setsTimes);
        if (!row.setsTimes) {
            EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
        }
        DWORD high = 7;
        EXPECT_NE(GetFileSize(file.value, &high), INVALID_FILE_SIZE);
        FILETIME written;
        EXPECT_TRUE(GetFileTime(file.value, nullptr, nullptr, &written));
    }
}

TEST_F(Content, RefusesMissingArguments) {
    put("file.txt", "abc");
    Handle file = filetest::open("C:\\file.txt", GENERIC_READ | GENERIC_WRITE);
    char buffer[4];
    DWORD count = 99;
    char overlapped[64] = {};
    LPOVERLAPPED asynchronous = reinterpret_cast<LPOVERLAPPED>(overlapped);
    EXPECT_FALSE(ReadFile(file.value, buffer, 1, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(ReadFile(file.value, buffer, 1, &count, asynchronous));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(count, 0u);
    EXPECT_FALSE(WriteFile(file.value, "x", 1, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(WriteFile(file.value, "x", 1, &count, asynchronous));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(content("file.txt"), "abc");
}

TEST_F(Content, OnlyLiveHandlesWork) {
    put("file.txt", "abc");
    HANDLE closed = CreateFileA("C:\\file.txt", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(closed, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(CloseHandle(closed));
    int local = 0;
    struct Case {
        const char* name;
        HANDLE handle;
    };
    const Case cases[] = {
        {"INVALID_HANDLE_VALUE", INVALID_HANDLE_VALUE},
        {"null", nullptr},
        {"closed", closed},
        {"not ours", &local},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        char buffer[4];
        DWORD count = 0;
        FILETIME time = filetest::fileTime(133000000000000000);
        auto expectInvalid = [](bool succeeded) {
            EXPECT_FALSE(succeeded);
            EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
        };
        expectInvalid(ReadFile(row.handle, buffer, 1, &count, nullptr));
        expectInvalid(WriteFile(row.handle, "x", 1, &count, nullptr));
        expectInvalid(FlushFileBuffers(row.handle));
        expectInvalid(GetFileTime(row.handle, &time, nullptr, nullptr));
        expectInvalid(SetFileTime(row.handle, nullptr, nullptr, &time));
        expectInvalid(GetFileSize(row.handle, nullptr) != INVALID_FILE_SIZE);
        expectInvalid(CloseHandle(row.handle));
    }
    EXPECT_EQ(content("file.txt"), "abc");
}

TEST_F(Content, SizeGivesBothWords) {
    struct Case {
        uint64_t size;
        DWORD low, high;
    };
    const Case cases[] = {
        {0, 0, 0},
        {5, 5, 0},
        {0xFFFFFFFE, 0xFFFFFFFE, 0},
        {0xFFFFFFFF, 0xFFFFFFFF, 0},
        {0x100000003, 3, 1},
    };
    put("sparse.bin", "");
    for (const Case& row : cases) {
        SCOPED_TRACE(row.size);
        ASSERT_EQ(truncate(host("sparse.bin").c_str(), static_cast<off_t>(row.size)), 0);
        Handle file = filetest::open("C:\\sparse.bin", GENERIC_READ);
        DWORD high = 0xDEAD;
        SetLastError(0xDEAD);
        EXPECT_EQ(GetFileSize(file.value, &high), row.low);
        EXPECT_EQ(high, row.high);
        // The documented way to tell a size from a failure.
        if (row.low == INVALID_FILE_SIZE) {
            EXPECT_EQ(GetLastError(), NO_ERROR);
        }
        EXPECT_EQ(GetFileSize(file.value, nullptr), row.low);
    }
}

// ---- Times --------------------------------------------------------------------------------

using Times = FileTest;

uint64_t nowTicks() {
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    return (static_cast<uint64_t>(now.tv_sec) + 11644473600u) * 10000000u +
           static_cast<uint64_t>(now.tv_nsec) / 100;
}

TEST_F(Times, RoundTripTo100Nanoseconds) {
    struct Case {
        const char* name;
        uint64_t creation, access, write;
    };
    const Case cases[] = {
        {"odd ticks", 133512345678901237, 133512345678901239, 133512345678901241},
        {"the Unix epoch", 116444736000000000, 116444736000000001, 116444736000000009},
        {"before 1970", 115000000000000003, 114999999999999999, 115500000000000007},
        {"after 2038", 160000000000000009, 160000000000000011, 159999999999999999},
        {"creation after the others", 140000000000000000, 130000000000000000, 120000000000000000},
    };
    put("file.txt", "abc");
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        FILETIME creation = filetest::fileTime(row.creation);
        FILETIME access = filetest::fileTime(row.access);
        FILETIME write = filetest::fileTime(row.write);
        {
            Handle file = filetest::open("C:\\file.txt", GENERIC_WRITE);
            ASSERT_TRUE(SetFileTime(file.value, &creation, &access, &write));
        }
        Handle file = filetest::open("C:\\file.txt", GENERIC_READ);
        FILETIME got[3];
        ASSERT_TRUE(GetFileTime(file.value, &got[0], &got[1], &got[2]));
        EXPECT_EQ(filetest::ticks(got[0]), row.creation);
        EXPECT_EQ(filetest::ticks(got[1]), row.access);
        EXPECT_EQ(filetest::ticks(got[2]), row.write);
    }
}

TEST_F(Times, NullOrZeroLeavesATimeAlone) {
    put("file.txt", "abc");
    const uint64_t original[3] = {130000000000000001, 130000000000000002, 130000000000000003};
    const uint64_t changed = 131000000000000007;
    const FILETIME zero = filetest::fileTime(0);
    const FILETIME newTime = filetest::fileTime(changed);
    for (int which = 0; which < 3; ++which) {
        for (const FILETIME* untouched : {static_cast<const FILETIME*>(nullptr), &zero}) {
            SCOPED_TRACE("time " + std::to_string(which) + (untouched ? " zero" : " null"));
            Handle file = filetest::open("C:\\file.txt", GENERIC_READ | GENERIC_WRITE);
            FILETIME set[3];
            for (int i = 0; i < 3; ++i) set[i] = filetest::fileTime(original[i]);
            ASSERT_TRUE(SetFileTime(file.value, &set[0], &set[1], &set[2]));
            const FILETIME* arguments[3] = {untouched, untouched, untouched};
            arguments[which] = &newTime;
            ASSERT_TRUE(SetFileTime(file.value, arguments[0], arguments[1], arguments[2]));
            FILETIME got[3];
            ASSERT_TRUE(GetFileTime(file.value, &got[0], &got[1], &got[2]));
            for (int i = 0; i < 3; ++i) {
                EXPECT_EQ(filetest::ticks(got[i]), i == which ? changed : original[i]) << i;
            }
        }
    }
}

TEST_F(Times, ANewFileIsCreatedNow) {
    uint64_t before = nowTicks();
    Handle file = filetest::open("C:\\new.txt", GENERIC_WRITE, 0, CREATE_NEW);
    ASSERT_TRUE(file.valid());
    uint64_t after = nowTicks();
    FILETIME creation, write;
    ASSERT_TRUE(GetFileTime(file.value, &creation, nullptr, &write));
    // File systems stamp with a coarse clock, a little behind the one read here.
    const uint64_t slack = 10000000;
    EXPECT_GE(filetest::ticks(creation) + slack, before);
    EXPECT_LE(filetest::ticks(creation), after + slack);
    EXPECT_LE(filetest::ticks(creation), filetest::ticks(write));
}

}  // namespace
