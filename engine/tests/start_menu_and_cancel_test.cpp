// The Start-menu entries and a cancelled background copy, on the stand-in and, under Wine, with
// Windows' own shell link object, COM and threads.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "engine/tests/engine_fixture.h"
#include "platform/shell.h"

namespace {

bool exists(const std::string& windowsPath) {
    return GetFileAttributesA(windowsPath.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string commonPrograms() {
    char path[MAX_PATH] = "";
    SHGetSpecialFolderPathA(nullptr, path, CSIDL_COMMON_PROGRAMS, FALSE);
    return path;
}

TEST_F(EngineTest, StartMenuEntriesAreMadeAndRemovedAgain) {
    initialise();
    machine.writeFile("drive_c/Games/VELMORANT/readme.txt", "read me");
    strcpy(engine.installDir, "c:\\Games\\VELMORANT");
    ASSERT_FALSE(commonPrograms().empty());
    ASSERT_TRUE(engine.createStartMenuEntries(1));
    std::string folder = commonPrograms() + "\\VANTRE\\ヴェルモラント";
    for (const char* link : {"ヴェルモラント", "README", "アンインストール"}) {
        EXPECT_TRUE(exists(folder + "\\" + link + ".lnk")) << link;
    }
    engine.removeStartMenuEntries();
    EXPECT_FALSE(exists(folder));
    EXPECT_FALSE(exists(commonPrograms() + "\\VANTRE"));
}

// A request while the copy is among its full blocks: the run is false and the installed file
// keeps its old content.
TEST_F(EngineTest, ABackgroundCopyStopsAtACancelAndLeavesTheFileAsItWas) {
    initialise();
    machine.writeFile("drive_c/CopySource/velmorant.exe", std::string(128u << 20, 'n'));
    machine.writeFile("drive_c/CopyTarget/velmorant.exe", "old");
    strcpy(engine.sourceDir, "c:\\CopySource");
    strcpy(engine.installDir, "c:\\CopyTarget");
    engine.setInstallType(2, 0, 1);
    std::thread user([this] {
        while (engine.bytesCopied < (1u << 20)) std::this_thread::yield();
        engine.cancelState = CancelState::Requested;
    });
    EXPECT_FALSE(engine.copyInBackground());
    user.join();
    EXPECT_EQ(engine.cancelState, CancelState::Acknowledged);
    EXPECT_EQ(machine.readFile("drive_c/CopyTarget/velmorant.exe"), "old");
}

}  // namespace
