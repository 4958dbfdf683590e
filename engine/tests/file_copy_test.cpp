// The block copy: sizes at the block edges, the cancel states it meets, and a destination that
// only ever holds its old content or the whole new one.
#include <gtest/gtest.h>

#include <dirent.h>

#include <cerrno>
#include <string>
#include <vector>

#include "engine/file_copy.h"
#include "engine/tests/engine_fixture.h"

namespace {

std::string content(size_t size, char first) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(first + i * 7 + i / 251);
    return bytes;
}

std::vector<std::string> folderEntries(const std::string& hostFolder) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(hostFolder.c_str())) {
        while (dirent* entry = readdir(dir)) {
            if (entry->d_name[0] != '.') names.push_back(entry->d_name);
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

struct CopyTest : EngineTest {
    void SetUp() override { machine.writeFile("drive_c/dst/.keep", ""); }
    const char* source = "c:\\src\\file.pac";
    const char* destination = "c:\\dst\\file.pac";
};

TEST_F(CopyTest, CopiesEverySizeWhole) {
    for (size_t size : {size_t{0}, size_t{1000}, size_t{65535}, size_t{65536}, size_t{65537},
                        size_t{3 * 65536 + 17}}) {
        SCOPED_TRACE(size);
        std::string bytes = content(size, static_cast<char>(size));
        machine.writeFile("drive_c/src/file.pac", bytes);
        machine.writeFile("drive_c/dst/file.pac", "old content");
        engine.bytesCopied = 10;
        EXPECT_TRUE(engine.copyFile(destination, source));
        EXPECT_EQ(machine.readFile("drive_c/dst/file.pac"), bytes);
        EXPECT_EQ(engine.bytesCopied, 10 + size);
        EXPECT_EQ(engine.srcFile, nullptr);
        EXPECT_EQ(engine.dstFile, nullptr);
        EXPECT_EQ(folderEntries(machine.path("drive_c/dst")),
                  (std::vector<std::string>{"file.pac"}));
    }
}

// Each row: the state a copy starts in, whether the destination takes the new content, and the
// state the copy leaves.
TEST_F(CopyTest, StartingCancelStates) {
    struct Row {
        CancelState start;
        bool replaced;
        CancelState after;
    } rows[] = {
        {CancelState::None, true, CancelState::None},
        {CancelState::Requested, false, CancelState::Acknowledged},
        {CancelState::Acknowledged, true, CancelState::Acknowledged},
        {CancelState::Stopped, true, CancelState::Stopped},
    };
    std::string bytes = content(2 * 65536 + 5, 'a');
    for (const Row& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.start));
        machine.writeFile("drive_c/src/file.pac", bytes);
        machine.writeFile("drive_c/dst/file.pac", "old content");
        engine.cancelState = row.start;
        engine.bytesCopied = 0;
        EXPECT_TRUE(engine.copyFile(destination, source));
        EXPECT_EQ(engine.cancelState, row.after);
        EXPECT_EQ(machine.readFile("drive_c/dst/file.pac"), row.replaced ? bytes : "old content");
        EXPECT_EQ(engine.bytesCopied, row.replaced ? bytes.size() : 0u);
        EXPECT_EQ(folderEntries(machine.path("drive_c/dst")),
                  (std::vector<std::string>{"file.pac"}));
    }
}

TEST_F(CopyTest, FailsWithoutSourceOrWritableDestination) {
    machine.writeFile("drive_c/dst/file.pac", "old content");
    EXPECT_FALSE(engine.copyFile(destination, source));  // no source
    machine.writeFile("drive_c/src/file.pac", "new");
    EXPECT_FALSE(engine.copyFile("c:\\missing\\file.pac", source));
    ASSERT_TRUE(SetFileAttributesA(destination, FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(engine.copyFile(destination, source));
    EXPECT_EQ(machine.readFile("drive_c/dst/file.pac"), "old content");
    EXPECT_EQ(engine.bytesCopied, 0u);
    EXPECT_EQ(engine.srcFile, nullptr);
}

TEST_F(CopyTest, ADestinationHeldOpenWithoutSharingKeepsItsContent) {
    machine.writeFile("drive_c/src/file.pac", "new");
    machine.writeFile("drive_c/dst/file.pac", "old content");
    HANDLE held = CreateFileA(destination, GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(engine.copyFile(destination, source));
    CloseHandle(held);
    EXPECT_EQ(machine.readFile("drive_c/dst/file.pac"), "old content");
    EXPECT_EQ(folderEntries(machine.path("drive_c/dst")),
              (std::vector<std::string>{"file.pac"}));
}

#ifndef _WIN32
struct StandinOnlyCopyTest : CopyTest {};

// A full disk or a failing device midway: the installed file keeps its old content whole.
TEST_F(StandinOnlyCopyTest, AFaultMidwayLeavesTheDestinationAsItWas) {
    struct Row {
        const char* name;
        bool writes;
        int error;
    } rows[] = {{"disk full", true, ENOSPC}, {"write error", true, EIO}, {"read error", false, EIO}};
    std::string bytes = content(5 * 65536 + 3, 'q');
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        machine.writeFile("drive_c/src/file.pac", bytes);
        machine.writeFile("drive_c/dst/file.pac", "old content");
        if (row.writes) {
            standin::failHostWrites(100000, row.error);
        } else {
            standin::failHostReads(100000, row.error);
        }
        EXPECT_FALSE(engine.copyFile(destination, source));
        standin::clearHostFaults();
        EXPECT_EQ(machine.readFile("drive_c/dst/file.pac"), "old content");
        EXPECT_EQ(folderEntries(machine.path("drive_c/dst")),
                  (std::vector<std::string>{"file.pac"}));
    }
}
#endif

TEST_F(CopyTest, FileSizeOfMissingAndHeldFilesIsZero) {
    machine.writeFile("drive_c/src/file.pac", content(70000, 'z'));
    EXPECT_EQ(fileSize(source), 70000u);
    EXPECT_EQ(fileSize("c:\\src\\missing.pac"), 0u);
    HANDLE held = CreateFileA(source, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_EQ(fileSize(source), 0u);  // the size query asks for the file alone
    CloseHandle(held);
}

}  // namespace
