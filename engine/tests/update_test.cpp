// The update: the listed files beside the program replace the installed ones with their times,
// and the user hears whether every one of them arrived.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "engine/tests/engine_fixture.h"
#include "engine/tests/machine.h"
#include "platform/user.h"

namespace {

struct Box {
    std::string text;
    std::string caption;
    UINT type;
};

FILETIME timeOf(uint64_t ticks) { return {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)}; }

uint64_t ticksOf(const FILETIME& time) {
    return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

struct UpdateTest : EngineTest {
    UpdateTest() {
        testbed::setMessageBoxAnswerer([this](HWND, const std::string& text, const std::string& caption,
                                              UINT type) {
            boxes.push_back(Box{text, caption, type});
            return IDOK;
        });
        machine.writeFile("drive_c/Installed/.keep", "");
    }
    ~UpdateTest() override { testbed::setMessageBoxAnswerer(nullptr); }

    void SetUp() override {
        initialise();
        strcpy(engine.installDir, "c:\\Installed");
    }

    // A new file in the update folder beside the program, with its own three times.
    void newFile(const std::string& name, const std::string& bytes, uint64_t when) {
        machine.writeFile(testbed::programFile("VELMORANT/" + name), bytes);
        std::string path = sourceOf(name);
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        FILETIME created = timeOf(when), accessed = timeOf(when + 1), written = timeOf(when + 2);
        SetFileTime(file, &created, &accessed, &written);
        CloseHandle(file);
    }

    void installedFile(const std::string& name, const std::string& bytes) {
        machine.writeFile("drive_c/Installed/" + name, bytes);
    }

    // The Windows path of a new file beside the program.
    std::string sourceOf(const std::string& name) {
        return testbed::programFolder() + "\\VELMORANT\\" + name;
    }

    std::string installed(const std::string& name) { return machine.readFile("drive_c/Installed/" + name); }

    std::vector<uint64_t> times(const std::string& path) {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        FILETIME created{}, accessed{}, written{};
        GetFileTime(file, &created, &accessed, &written);
        CloseHandle(file);
        return {ticksOf(created), ticksOf(accessed), ticksOf(written)};
    }

    std::vector<Box> boxes;
};

const std::string kCompleted = "アップデートが完了しました。";

TEST_F(UpdateTest, ReplacesListedFilesWithTheirTimesAndReportsCompletion) {
    const uint64_t when = 132000000000000000;
    newFile("velmorant.exe", "new exe", when);
    newFile("zom.pac", std::string(200000, 'z'), when + 100);
    newFile("wix_6.pac", "new wix 6", when + 200);
    newFile("notlisted.pac", "stranger", when);
    installedFile("velmorant.exe", "old exe");
    installedFile("zom.pac", "old zom");
    installedFile("yk.pac", "old yk");  // no new copy: left alone
    ASSERT_TRUE(SetFileAttributesA("c:\\Installed\\zom.pac", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));

    engine.runUpdate();

    // The times first: reading the content touches the last access time. The copy itself has
    // read the sources, so theirs may have moved on since they were written.
    for (const auto& [name, base] : {std::pair<std::string, uint64_t>{"velmorant.exe", when},
                                     {"zom.pac", when + 100},
                                     {"wix_6.pac", when + 200}}) {
        SCOPED_TRACE(name);
        std::vector<uint64_t> installedTimes = times("c:\\Installed\\" + name);
        EXPECT_EQ(installedTimes, times(sourceOf(name)));
        if (testbed::kKeepsCreationTimes) {
            EXPECT_EQ(installedTimes[0], base);
        }
        EXPECT_EQ(installedTimes[2], base + 2);
        EXPECT_EQ(testbed::attributesOf("c:\\Installed\\" + name),
                  static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));
    }
    EXPECT_EQ(engine.sourceDir, testbed::programFolder());
    EXPECT_EQ(installed("velmorant.exe"), "new exe");
    EXPECT_EQ(installed("zom.pac"), std::string(200000, 'z'));
    EXPECT_EQ(installed("wix_6.pac"), "new wix 6");
    EXPECT_EQ(installed("yk.pac"), "old yk");
    EXPECT_EQ(installed("notlisted.pac"), "");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, kCompleted);
    EXPECT_EQ(boxes[0].caption, "終了");
    EXPECT_EQ(boxes[0].type, static_cast<UINT>(MB_OK | MB_ICONWARNING));
}

TEST_F(UpdateTest, EverySourceMissingStillCompletes) {
    installedFile("zom.pac", "old zom");
    engine.runUpdate();
    EXPECT_EQ(installed("zom.pac"), "old zom");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, kCompleted);
}

TEST_F(UpdateTest, BothListsEmptyOnlyReports) {
    const char* none[] = {nullptr};
    engine.installFiles = engine.copyStringList(engine.installFiles, none);
    engine.updateFiles = engine.copyStringList(engine.updateFiles, none);
    engine.runUpdate();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, kCompleted);
}

TEST_F(UpdateTest, AReadOnlyInstalledFileReceivesTheNewContent) {
    newFile("zom.pac", "new zom", 132000000000000000);
    installedFile("zom.pac", "old zom");
    ASSERT_TRUE(SetFileAttributesA("c:\\Installed\\zom.pac", FILE_ATTRIBUTE_READONLY));
    engine.runUpdate();
    EXPECT_EQ(installed("zom.pac"), "new zom");
    EXPECT_EQ(testbed::attributesOf("c:\\Installed\\zom.pac"), static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, kCompleted);
}

// A file that cannot be replaced is named, the others still arrive, and no completion is claimed.
TEST_F(UpdateTest, AFileThatCannotBeReplacedIsNamed) {
    newFile("zom.pac", "new zom", 132000000000000000);
    newFile("tuv.pac", "new tuv", 132000000000000000);
    installedFile("zom.pac", "old zom");
    HANDLE held = CreateFileA("c:\\Installed\\zom.pac", GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    engine.runUpdate();
    CloseHandle(held);
    EXPECT_EQ(installed("zom.pac"), "old zom");
    EXPECT_EQ(installed("tuv.pac"), "new tuv");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "zom.pac\nをアップデートできませんでした。\nアップデートは完了していません。");
    EXPECT_EQ(boxes[0].caption, "確認");
}

#ifndef _WIN32
struct StandinOnlyUpdateTest : UpdateTest {};

TEST_F(StandinOnlyUpdateTest, AFullDiskKeepsTheInstalledFileAndSaysTheUpdateDidNotComplete) {
    newFile("zom.pac", std::string(300000, 'n'), 132000000000000000);
    installedFile("zom.pac", std::string(250000, 'o'));
    standin::failHostWrites(100000, ENOSPC);
    engine.runUpdate();
    standin::clearHostFaults();
    EXPECT_EQ(installed("zom.pac"), std::string(250000, 'o'));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "zom.pac\nをアップデートできませんでした。\nアップデートは完了していません。");
}
#endif

// Without the install folder nothing can be opened: the first listed file with a new copy is
// named, and nothing past it is touched.
TEST_F(UpdateTest, AMissingInstallFolderIsReported) {
    strcpy(engine.installDir, "c:\\Gone");
    newFile("velmorant.exe", "new exe", 132000000000000000);
    engine.runUpdate();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "velmorant.exe\nをアップデートできませんでした。\nアップデートは完了していません。");
}

// An install folder of 259 bytes cannot hold a file's path: the file is named, and nothing is
// written outside the path buffers.
TEST_F(UpdateTest, AnInstallPathThatDoesNotFitFailsItsFile) {
    memset(engine.installDir, 'd', 259);
    engine.installDir[0] = 'c';
    engine.installDir[1] = ':';
    engine.installDir[2] = '\\';
    engine.installDir[259] = '\0';
    newFile("velmorant.exe", "new exe", 132000000000000000);
    engine.runUpdate();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "velmorant.exe\nをアップデートできませんでした。\nアップデートは完了していません。");
}

}  // namespace
