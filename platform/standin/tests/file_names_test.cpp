// The file calls on names: attributes and read-only, copying, renaming, deleting, folders, and
// Japanese names whose second byte is a backslash.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <functional>
#include <string>

#include "platform/kernel.h"
#include "platform/standin/tests/file_support.h"

namespace {

using filetest::FileTest;
using filetest::Handle;

constexpr DWORD kAllKept = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                           FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

void setWriteTime(const char* path, uint64_t ticks) {
    Handle file = filetest::open(path, GENERIC_WRITE, 7);
    FILETIME time = filetest::fileTime(ticks);
    ASSERT_TRUE(SetFileTime(file.value, nullptr, nullptr, &time));
}

// Creation, last access, last write.
void readTimes(const char* path, uint64_t times[3]) {
    Handle file = filetest::open(path, 0, 7);
    FILETIME got[3] = {};
    ASSERT_TRUE(GetFileTime(file.value, &got[0], &got[1], &got[2]));
    for (int i = 0; i < 3; ++i) times[i] = filetest::ticks(got[i]);
}

// ---- Attributes ---------------------------------------------------------------------------

using Attributes = FileTest;

TEST_F(Attributes, SetOnesReadBack) {
    struct Case {
        const char* name;
        DWORD set;
        DWORD got;
    };
    const Case cases[] = {
        {"normal", FILE_ATTRIBUTE_NORMAL, FILE_ATTRIBUTE_NORMAL},
        {"read-only", FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_READONLY},
        {"hidden", FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_HIDDEN},
        {"system", FILE_ATTRIBUTE_SYSTEM, FILE_ATTRIBUTE_SYSTEM},
        {"archive", FILE_ATTRIBUTE_ARCHIVE, FILE_ATTRIBUTE_ARCHIVE},
        {"all four", kAllKept, kAllKept},
        {"normal beside others", FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_HIDDEN,
         FILE_ATTRIBUTE_HIDDEN},
        {"one not kept", 0x100, FILE_ATTRIBUTE_NORMAL},
    };
    put("file.txt", "abc");
    for (DWORD start : {DWORD{FILE_ATTRIBUTE_NORMAL}, kAllKept}) {
        for (const Case& row : cases) {
            SCOPED_TRACE(std::string(row.name) + (start == kAllKept ? " from all four" : ""));
            ASSERT_TRUE(SetFileAttributesA("C:\\file.txt", start));
            ASSERT_TRUE(SetFileAttributesA("C:\\file.txt", row.set));
            EXPECT_EQ(GetFileAttributesA("C:\\file.txt"), row.got);
            // Read-only is the host's own permission, for other programs to see.
            EXPECT_EQ((mode("file.txt") & S_IWUSR) == 0, (row.got & FILE_ATTRIBUTE_READONLY) != 0);
        }
    }
    EXPECT_EQ(content("file.txt"), "abc");
}

TEST_F(Attributes, ComeFromTheHostFile) {
    put("plain.txt", "");
    put("locked.txt", "");
    makeReadOnly("locked.txt");
    ASSERT_EQ(mkdir(host("folder").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(host("locked folder").c_str(), 0555), 0);
    struct Case {
        const char* path;
        DWORD attributes;
    };
    const Case cases[] = {
        {"C:\\plain.txt", FILE_ATTRIBUTE_NORMAL},
        {"C:\\locked.txt", FILE_ATTRIBUTE_READONLY},
        {"C:\\folder", FILE_ATTRIBUTE_DIRECTORY},
        {"C:\\locked folder", FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY},
        {"C:\\", FILE_ATTRIBUTE_DIRECTORY},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.path);
        EXPECT_EQ(GetFileAttributesA(row.path), row.attributes);
    }
}

TEST_F(Attributes, OfMissingFilesFail) {
    put("plain.txt", "");
    struct Case {
        const char* path;
        DWORD error;
    };
    const Case cases[] = {
        {"C:\\missing.txt", ERROR_FILE_NOT_FOUND},
        {"C:\\missing\\file.txt", ERROR_PATH_NOT_FOUND},
        {"C:\\plain.txt\\file.txt", ERROR_PATH_NOT_FOUND},
        {"C:\\bad|name", ERROR_INVALID_NAME},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.path);
        EXPECT_EQ(GetFileAttributesA(row.path), INVALID_FILE_ATTRIBUTES);
        EXPECT_EQ(GetLastError(), row.error);
        EXPECT_FALSE(SetFileAttributesA(row.path, FILE_ATTRIBUTE_HIDDEN));
        EXPECT_EQ(GetLastError(), row.error);
    }
}

TEST_F(Attributes, OfANewFileAreTheAskedOnesAndArchive) {
    struct Case {
        const char* name;
        DWORD asked;
        DWORD got;
    };
    const Case cases[] = {
        {"normal", FILE_ATTRIBUTE_NORMAL, FILE_ATTRIBUTE_ARCHIVE},
        {"hidden", FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE},
        {"all four", kAllKept, kAllKept},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        unlink(host("new.txt").c_str());
        Handle file = filetest::open("C:\\new.txt", GENERIC_WRITE, 0, CREATE_NEW, row.asked);
        ASSERT_TRUE(file.valid());
        EXPECT_EQ(GetFileAttributesA("C:\\new.txt"), row.got);
        // The handle that made a read-only file may still write it.
        DWORD written = 0;
        EXPECT_TRUE(WriteFile(file.value, "abc", 3, &written, nullptr));
    }
    EXPECT_EQ(content("new.txt"), "abc");
}

TEST_F(Attributes, HiddenOrSystemFilesAreReplacedOnlyWhenAskedAlike) {
    const DWORD kinds[] = {FILE_ATTRIBUTE_NORMAL, FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_SYSTEM,
                           FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM};
    for (DWORD existing : kinds) {
        for (DWORD asked : kinds) {
            SCOPED_TRACE("existing " + std::to_string(existing) + ", asked " +
                         std::to_string(asked));
            put("file.txt", "old");
            ASSERT_TRUE(SetFileAttributesA("C:\\file.txt", existing));
            DWORD hiding = existing & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
            bool allowed = (hiding & asked) == hiding;
            Handle file = filetest::open("C:\\file.txt", GENERIC_WRITE, 0, CREATE_ALWAYS, asked);
            EXPECT_EQ(file.valid(), allowed);
            if (allowed) {
                EXPECT_EQ(GetFileAttributesA("C:\\file.txt"),
                          (asked & ~FILE_ATTRIBUTE_NORMAL) | FILE_ATTRIBUTE_ARCHIVE);
                EXPECT_EQ(content("file.txt"), "");
            } else {
                EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
                EXPECT_EQ(content("file.txt"), "old");
            }
            file = Handle();
            ASSERT_TRUE(SetFileAttributesA("C:\\file.txt", FILE_ATTRIBUTE_NORMAL));
        }
    }
}

// Read-only holds for every user, root included, whose host calls ignore the permission.
TEST_F(Attributes, ReadOnlyRefusesEveryChange) {
    using Attempt = std::function<bool()>;
    auto opens = [](DWORD access, DWORD disposition) {
        return [=] { return filetest::open("C:\\locked.txt", access, 7, disposition).valid(); };
    };
    auto streams = [](const char* mode) {
        return [=] {
            FILE* file = fopen("C:\\locked.txt", mode);
            if (file) fclose(file);
            return file != nullptr;
        };
    };
    struct Case {
        const char* name;
        Attempt attempt;
        bool allowed;
        bool stream;  // a stream tells by errno
    };
    const Case cases[] = {
        {"reading", opens(GENERIC_READ, OPEN_EXISTING), true, false},
        {"writing", opens(GENERIC_WRITE, OPEN_EXISTING), false, false},
        {"writing or making", opens(GENERIC_WRITE, OPEN_ALWAYS), false, false},
        {"replacing for reading", opens(GENERIC_READ, CREATE_ALWAYS), false, false},
        {"truncating", opens(GENERIC_WRITE, TRUNCATE_EXISTING), false, false},
        {"stream r", streams("r"), true, true},
        {"stream w", streams("w"), false, true},
        {"stream a", streams("a"), false, true},
        {"stream r+", streams("r+"), false, true},
        {"deleting", [] { return DeleteFileA("C:\\locked.txt") != FALSE; }, false, false},
        {"replacing by a rename",
         [] {
             return MoveFileExA("C:\\other.txt", "C:\\locked.txt", MOVEFILE_REPLACE_EXISTING) !=
                    FALSE;
         },
         false, false},
        {"replacing by a copy",
         [] { return CopyFileA("C:\\other.txt", "C:\\locked.txt", FALSE) != FALSE; }, false,
         false},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        put("locked.txt", "kept");
        put("other.txt", "other");
        makeReadOnly("locked.txt");
        errno = 0;
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(row.attempt(), row.allowed);
        if (!row.allowed && row.stream) {
            EXPECT_EQ(errno, EACCES);
        } else if (!row.allowed) {
            EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
        }
        EXPECT_EQ(content("locked.txt"), "kept");
        EXPECT_EQ(content("other.txt"), "other");
        chmod(host("locked.txt").c_str(), 0644);
    }
}

TEST_F(Attributes, ReadOnlyFilesMayBeRenamed) {
    put("locked.txt", "kept");
    makeReadOnly("locked.txt");
    ASSERT_TRUE(MoveFileExA("C:\\locked.txt", "C:\\moved.txt", 0));
    EXPECT_EQ(content("moved.txt"), "kept");
    EXPECT_EQ(GetFileAttributesA("C:\\moved.txt"), FILE_ATTRIBUTE_READONLY);
}

// ---- Copying ------------------------------------------------------------------------------

using Copying = FileTest;

TEST_F(Copying, KeepsContentAttributesAndLastWriteTime) {
    std::string data(300000, '\0');
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i % 253);
    struct Case {
        const char* name;
        DWORD source;
        DWORD copy;
    };
    const Case cases[] = {
        // Every new file gets ARCHIVE, a copy too.
        {"plain", FILE_ATTRIBUTE_NORMAL, FILE_ATTRIBUTE_ARCHIVE},
        {"hidden system", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM,
         FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE},
        {"read-only", FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE},
        {"all four", kAllKept, kAllKept},
    };
    const uint64_t written = 133456789012345671;
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        chmod(host("copy.bin").c_str(), 0644);
        unlink(host("copy.bin").c_str());
        put("source.bin", data);
        setWriteTime("C:\\source.bin", written);
        ASSERT_TRUE(SetFileAttributesA("C:\\source.bin", row.source));
        ASSERT_TRUE(CopyFileA("C:\\source.bin", "C:\\copy.bin", TRUE));
        EXPECT_EQ(content("copy.bin"), data);
        EXPECT_EQ(GetFileAttributesA("C:\\copy.bin"), row.copy);
        uint64_t times[3];
        readTimes("C:\\copy.bin", times);
        EXPECT_EQ(times[2], written);
        chmod(host("source.bin").c_str(), 0644);
    }
}

TEST_F(Copying, GivesTheCopyItsOwnCreationTime) {
    put("source.txt", "abc");
    {
        Handle source = filetest::open("C:\\source.txt", GENERIC_WRITE);
        FILETIME old = filetest::fileTime(120000000000000000);
        ASSERT_TRUE(SetFileTime(source.value, &old, &old, &old));
    }
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    ASSERT_TRUE(CopyFileA("C:\\source.txt", "C:\\copy.txt", FALSE));
    uint64_t times[3];
    readTimes("C:\\copy.txt", times);
    const uint64_t oneSecondBefore =
        (static_cast<uint64_t>(now.tv_sec) + 11644473600u - 1) * 10000000u;
    EXPECT_GT(times[0], oneSecondBefore);
    EXPECT_EQ(times[2], 120000000000000000u);

    // A copy over a file keeps the replaced file's creation time.
    {
        Handle copy = filetest::open("C:\\copy.txt", GENERIC_WRITE);
        FILETIME creation = filetest::fileTime(125000000000000003);
        ASSERT_TRUE(SetFileTime(copy.value, &creation, nullptr, nullptr));
    }
    ASSERT_TRUE(CopyFileA("C:\\source.txt", "C:\\copy.txt", FALSE));
    readTimes("C:\\copy.txt", times);
    EXPECT_EQ(times[0], 125000000000000003u);
}

TEST_F(Copying, ReplacesOnlyWhenAllowed) {
    struct Case {
        const char* name;
        bool destinationExists;
        BOOL failIfExists;
        bool copies;
    };
    const Case cases[] = {
        {"over a file, failing if it exists", true, TRUE, false},
        {"over a file", true, FALSE, true},
        {"to a new name, failing if it exists", false, TRUE, true},
        {"to a new name", false, FALSE, true},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        put("source.txt", "new");
        unlink(host("copy.txt").c_str());
        if (row.destinationExists) put("copy.txt", "old content");
        EXPECT_EQ(CopyFileA("C:\\source.txt", "C:\\copy.txt", row.failIfExists) != FALSE,
                  row.copies);
        if (!row.copies) {
            EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
        }
        EXPECT_EQ(content("copy.txt"), row.copies ? "new" : "old content");
        EXPECT_EQ(content("source.txt"), "new");
    }
}

TEST_F(Copying, FailsAsWindowsDoes) {
    put("source.txt", "new");
    put("copy.txt", "old");
    ASSERT_EQ(mkdir(host("folder").c_str(), 0755), 0);
    struct Case {
        const char* name;
        const char* from;
        const char* to;
        DWORD error;
    };
    const Case cases[] = {
        {"missing source", "C:\\missing.txt", "C:\\new.txt", ERROR_FILE_NOT_FOUND},
        {"source folder missing", "C:\\missing\\a.txt", "C:\\new.txt", ERROR_PATH_NOT_FOUND},
        {"destination folder missing", "C:\\source.txt", "C:\\missing\\a.txt",
         ERROR_PATH_NOT_FOUND},
        {"a folder as source", "C:\\folder", "C:\\new.txt", ERROR_ACCESS_DENIED},
        {"a folder as destination", "C:\\source.txt", "C:\\folder", ERROR_ACCESS_DENIED},
        // The source is open for reading while the destination is opened for writing.
        {"onto itself", "C:\\source.txt", "C:\\SOURCE.TXT", ERROR_SHARING_VIOLATION},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        EXPECT_FALSE(CopyFileA(row.from, row.to, FALSE));
        EXPECT_EQ(GetLastError(), row.error);
    }
    EXPECT_FALSE(exists("new.txt"));
    EXPECT_EQ(content("source.txt"), "new");
}

TEST_F(Copying, RespectsTheOpensOfBothFiles) {
    struct Case {
        const char* name;
        const char* held;
        DWORD access, share;
        bool copies;
    };
    const Case cases[] = {
        {"source held exclusively", "C:\\source.txt", GENERIC_READ, 0, false},
        {"source being written, sharing reading", "C:\\source.txt", GENERIC_WRITE,
         FILE_SHARE_READ, true},
        {"destination read, sharing reading", "C:\\copy.txt", GENERIC_READ, FILE_SHARE_READ, false},
        {"destination open without access", "C:\\copy.txt", 0, 0, true},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        put("source.txt", "new");
        put("copy.txt", "old");
        Handle held = filetest::open(row.held, row.access, row.share);
        ASSERT_TRUE(held.valid());
        EXPECT_EQ(CopyFileA("C:\\source.txt", "C:\\copy.txt", FALSE) != FALSE, row.copies);
        if (!row.copies) {
            EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
        }
        EXPECT_EQ(content("copy.txt"), row.copies ? "new" : "old");
    }
}

// ---- Renaming -----------------------------------------------------------------------------

using Renaming = FileTest;

TEST_F(Renaming, MovesAFileToAnotherFolder) {
    put("from/file.txt", "data");
    ASSERT_EQ(mkdir(host("to").c_str(), 0755), 0);
    ASSERT_TRUE(MoveFileExA("C:\\from\\file.txt", "C:\\to\\moved.txt", MOVEFILE_WRITE_THROUGH));
    EXPECT_FALSE(exists("from/file.txt"));
    EXPECT_EQ(content("to/moved.txt"), "data");
}

TEST_F(Renaming, ReplacesOnlyWhenAsked) {
    struct Case {
        const char* name;
        bool targetExists;
        DWORD flags;
        bool moves;
    };
    const Case cases[] = {
        {"over a file", true, 0, false},
        {"over a file, write-through", true, MOVEFILE_WRITE_THROUGH, false},
        {"replacing", true, MOVEFILE_REPLACE_EXISTING, true},
        {"replacing, write-through", true, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH,
         true},
        {"to a new name", false, 0, true},
        {"to a new name, replacing", false, MOVEFILE_REPLACE_EXISTING, true},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        put("source.txt", "new");
        unlink(host("target.txt").c_str());
        if (row.targetExists) put("target.txt", "old");
        EXPECT_EQ(MoveFileExA("C:\\source.txt", "C:\\target.txt", row.flags) != FALSE, row.moves);
        if (!row.moves) {
            EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
        }
        EXPECT_EQ(exists("source.txt"), !row.moves);
        EXPECT_EQ(content("target.txt"), row.moves ? "new" : "old");
    }
}

TEST_F(Renaming, NeverReplacesWhatWindowsKeeps) {
    using Setup = std::function<void(FileTest&)>;
    struct Case {
        const char* name;
        Setup setup;
        DWORD error;
    };
    const Case cases[] = {
        {"a read-only target", [](FileTest& test) { test.makeReadOnly("target.txt"); },
         ERROR_ACCESS_DENIED},
        {"a folder target",
         [](FileTest& test) {
             unlink(test.host("target.txt").c_str());
             mkdir(test.host("target.txt").c_str(), 0755);
         },
         ERROR_ACCESS_DENIED},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        put("source.txt", "new");
        put("target.txt", "old");
        row.setup(*this);
        EXPECT_FALSE(MoveFileExA("C:\\source.txt", "C:\\target.txt", MOVEFILE_REPLACE_EXISTING));
        EXPECT_EQ(GetLastError(), row.error);
        EXPECT_EQ(content("source.txt"), "new");
        chmod(host("target.txt").c_str(), 0755);
        rmdir(host("target.txt").c_str());
    }
}

TEST_F(Renaming, RespectsTheOpensOfBothFiles) {
    struct Case {
        const char* name;
        const char* held;
        DWORD share;
        bool moves;
        DWORD error;
        const char* heldReads;  // the open keeps its file, wherever the name went
    };
    const Case cases[] = {
        {"source open, sharing reading and writing", "C:\\source.txt",
         FILE_SHARE_READ | FILE_SHARE_WRITE, false, ERROR_SHARING_VIOLATION, "new"},
        {"source open, sharing deletion", "C:\\source.txt", FILE_SHARE_DELETE, true, 0, "new"},
        // Windows replaces no file that is open, whatever it shares.
        {"target open, sharing everything", "C:\\target.txt", 7, false, ERROR_ACCESS_DENIED,
         "old"},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        put("source.txt", "new");
        put("target.txt", "old");
        Handle held = filetest::open(row.held, GENERIC_READ, row.share);
        ASSERT_TRUE(held.valid());
        BOOL moved = MoveFileExA("C:\\source.txt", "C:\\target.txt", MOVEFILE_REPLACE_EXISTING);
        EXPECT_EQ(moved != FALSE, row.moves);
        if (!row.moves) {
            EXPECT_EQ(GetLastError(), row.error);
        }
        EXPECT_EQ(content("target.txt"), row.moves ? "new" : "old");
        char buffer[8] = {};
        DWORD read = 0;
        EXPECT_TRUE(ReadFile(held.value, buffer, sizeof buffer, &read, nullptr));
        EXPECT_EQ(std::string(buffer, read), row.heldReads);
    }

    put("source.txt", "new");
    FILE* stream = fopen("C:\\source.txt", "r");
    ASSERT_NE(stream, nullptr);
    EXPECT_FALSE(MoveFileExA("C:\\source.txt", "C:\\moved.txt", 0));
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    fclose(stream);
}

TEST_F(Renaming, ChangesTheCaseOfAName) {
    put("case.txt", "data");
    ASSERT_TRUE(MoveFileExA("C:\\case.txt", "C:\\Case.TXT", 0));
    EXPECT_FALSE(exists("case.txt"));
    EXPECT_EQ(content("Case.TXT"), "data");
    ASSERT_TRUE(MoveFileExA("C:\\Case.TXT", "C:\\Case.TXT", MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(content("Case.TXT"), "data");
}

TEST_F(Renaming, MovesFolders) {
    put("old folder/file.txt", "data");
    ASSERT_TRUE(MoveFileExA("C:\\old folder", "C:\\new folder", 0));
    EXPECT_EQ(content("new folder/file.txt"), "data");
}

TEST_F(Renaming, FailsAsWindowsDoes) {
    put("source.txt", "data");
    struct Case {
        const char* name;
        const char* from;
        const char* to;
        DWORD flags;
        DWORD error;
    };
    const Case cases[] = {
        {"missing source", "C:\\missing.txt", "C:\\new.txt", 0, ERROR_FILE_NOT_FOUND},
        {"source folder missing", "C:\\missing\\a.txt", "C:\\new.txt", 0, ERROR_PATH_NOT_FOUND},
        {"target folder missing", "C:\\source.txt", "C:\\missing\\a.txt", 0, ERROR_PATH_NOT_FOUND},
        {"no target", "C:\\source.txt", nullptr, 0, ERROR_INVALID_PARAMETER},
        {"copying allowed", "C:\\source.txt", "C:\\new.txt", 2, ERROR_INVALID_PARAMETER},
        {"after a reboot", "C:\\source.txt", "C:\\new.txt", 4, ERROR_INVALID_PARAMETER},
        {"a drive's root", "C:\\", "C:\\elsewhere", 0, ERROR_ACCESS_DENIED},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        EXPECT_FALSE(MoveFileExA(row.from, row.to, row.flags));
        EXPECT_EQ(GetLastError(), row.error);
    }
    EXPECT_EQ(content("source.txt"), "data");
    EXPECT_FALSE(exists("new.txt"));
}

// ---- Deleting -----------------------------------------------------------------------------

using Deleting = FileTest;

TEST_F(Deleting, RemovesAFile) {
    put("file.txt", "data");
    ASSERT_TRUE(DeleteFileA("C:\\FILE.TXT"));
    EXPECT_FALSE(exists("file.txt"));
}

TEST_F(Deleting, FailsAsWindowsDoes) {
    put("locked.txt", "data");
    makeReadOnly("locked.txt");
    ASSERT_EQ(mkdir(host("folder").c_str(), 0755), 0);
    struct Case {
        const char* path;
        DWORD error;
    };
    const Case cases[] = {
        {"C:\\missing.txt", ERROR_FILE_NOT_FOUND},
        {"C:\\missing\\file.txt", ERROR_PATH_NOT_FOUND},
        {"C:\\folder", ERROR_ACCESS_DENIED},
        {"C:\\locked.txt", ERROR_ACCESS_DENIED},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.path);
        EXPECT_FALSE(DeleteFileA(row.path));
        EXPECT_EQ(GetLastError(), row.error);
    }
    EXPECT_TRUE(exists("folder"));
    EXPECT_TRUE(exists("locked.txt"));
}

TEST_F(Deleting, WaitsForOpensThatDoNotShareDeletion) {
    struct Case {
        DWORD access;
        DWORD share;
    };
    const Case cases[] = {
        {GENERIC_READ, 0},
        {GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE},
        {GENERIC_WRITE, FILE_SHARE_DELETE},
        {GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE},
        {0, 0},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE("access " + std::to_string(row.access) + ", share " +
                     std::to_string(row.share));
        bool deletes = row.access == 0 || (row.share & FILE_SHARE_DELETE);
        put("file.txt", "data");
        Handle held = filetest::open("C:\\file.txt", row.access, row.share);
        ASSERT_TRUE(held.valid());
        EXPECT_EQ(DeleteFileA("C:\\file.txt") != FALSE, deletes);
        if (!deletes) {
            EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
        }
        EXPECT_EQ(exists("file.txt"), !deletes);
        DWORD high = 0;
        EXPECT_EQ(GetFileSize(held.value, &high), 4u);  // the open keeps its data
    }

    put("file.txt", "data");
    FILE* stream = fopen("C:\\file.txt", "rb");
    ASSERT_NE(stream, nullptr);
    EXPECT_FALSE(DeleteFileA("C:\\file.txt"));
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    fclose(stream);
    EXPECT_TRUE(DeleteFileA("C:\\file.txt"));
}

// ---- Folders ------------------------------------------------------------------------------

using Folders = FileTest;

TEST_F(Folders, AreMadeAndRemoved) {
    put("existing.txt", "");
    ASSERT_TRUE(CreateDirectoryA("C:\\made", nullptr));
    struct stat info;
    ASSERT_EQ(stat(host("made").c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    struct Case {
        const char* path;
        DWORD error;
    };
    const Case refused[] = {
        {"C:\\made", ERROR_ALREADY_EXISTS},
        {"C:\\MADE", ERROR_ALREADY_EXISTS},
        {"C:\\existing.txt", ERROR_ALREADY_EXISTS},
        {"C:\\missing\\made", ERROR_PATH_NOT_FOUND},
    };
    for (const Case& row : refused) {
        SCOPED_TRACE(row.path);
        EXPECT_FALSE(CreateDirectoryA(row.path, nullptr));
        EXPECT_EQ(GetLastError(), row.error);
    }
    ASSERT_TRUE(RemoveDirectoryA("C:\\Made"));
    EXPECT_FALSE(exists("made"));
}

TEST_F(Folders, OnlyEmptyOnesGo) {
    put("full/file.txt", "");
    ASSERT_EQ(mkdir(host("locked").c_str(), 0555), 0);
    struct Case {
        const char* path;
        DWORD error;
    };
    const Case cases[] = {
        {"C:\\full", ERROR_DIR_NOT_EMPTY},
        {"C:\\full\\file.txt", ERROR_DIRECTORY},
        {"C:\\missing", ERROR_FILE_NOT_FOUND},
        {"C:\\missing\\deeper", ERROR_PATH_NOT_FOUND},
        {"C:\\locked", ERROR_ACCESS_DENIED},
        {"C:\\", ERROR_ACCESS_DENIED},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.path);
        EXPECT_FALSE(RemoveDirectoryA(row.path));
        EXPECT_EQ(GetLastError(), row.error);
    }
    EXPECT_TRUE(exists("full/file.txt"));
    EXPECT_TRUE(exists("locked"));
}

// ---- Japanese names -----------------------------------------------------------------------

using JapaneseNames = FileTest;

TEST_F(JapaneseNames, WithABackslashByteWorkEverywhere) {
    // Code page 932 ends these characters with 0x5C, the byte of the backslash.
    ASSERT_STREQ("ソ", "\x83\x5C");
    ASSERT_STREQ("表", "\x95\x5C");
    ASSERT_STREQ("能", "\x94\x5C");

    ASSERT_TRUE(CreateDirectoryA("C:\\ソフト", nullptr));
    ASSERT_TRUE(CreateDirectoryA("C:\\ソフト\\表示", nullptr));
    {
        Handle file = filetest::open("C:\\ソフト\\表示\\表.txt", GENERIC_WRITE, 0, CREATE_NEW);
        ASSERT_TRUE(file.valid());
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(file.value, "data", 4, &written, nullptr));
    }
    EXPECT_EQ(content(filetest::utf8(u8"ソフト/表示/表.txt")), "data");
    EXPECT_EQ(GetFileAttributesA("C:\\ソフト\\表示"), FILE_ATTRIBUTE_DIRECTORY);

    ASSERT_TRUE(SetFileAttributesA("C:\\ソフト\\表示\\表.txt", FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(CopyFileA("C:\\ソフト\\表示\\表.txt", "C:\\ソフト\\能力.txt", TRUE));
    EXPECT_EQ(content(filetest::utf8(u8"ソフト/能力.txt")), "data");
    EXPECT_EQ(GetFileAttributesA("C:\\ソフト\\能力.txt"),
              FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);

    ASSERT_TRUE(MoveFileExA("C:\\ソフト\\能力.txt", "C:\\ソフト\\表示\\ソ.txt", 0));
    FILE* stream = fopen("C:\\ソフト\\表示\\ソ.txt", "rb");
    ASSERT_NE(stream, nullptr);
    char buffer[8] = {};
    EXPECT_EQ(fread(buffer, 1, sizeof buffer, stream), 4u);
    EXPECT_STREQ(buffer, "data");
    EXPECT_FALSE(DeleteFileA("C:\\ソフト\\表示\\ソ.txt"));  // the stream shares no deletion
    fclose(stream);

    ASSERT_TRUE(DeleteFileA("C:\\ソフト\\表示\\ソ.txt"));
    ASSERT_TRUE(DeleteFileA("C:\\ソフト\\表示\\表.txt"));
    ASSERT_TRUE(RemoveDirectoryA("C:\\ソフト\\表示"));
    ASSERT_TRUE(RemoveDirectoryA("C:\\ソフト"));
    EXPECT_FALSE(exists(filetest::utf8(u8"ソフト")));
}

}  // namespace
