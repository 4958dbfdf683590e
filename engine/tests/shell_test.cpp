// The engine's shell operations on the stand-in: the Start-menu entries, COM's lifetime around
// each operation, opening through the shell, and the folder-browse dialog.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <thread>
#include <vector>

#include "engine/folder_picker.h"
#include "engine/shell.h"
#include "engine/tests/engine_fixture.h"
#include "engine/tests/status_dialog.h"
#include "platform/shell.h"
#include "platform/standin/driver.h"
#include "platform/user.h"

namespace {

const std::string kStartMenu = "drive_c/ProgramData/Microsoft/Windows/Start Menu";
const std::string kPrograms = kStartMenu + "/Programs";

struct ShellTest : EngineTest {
    void SetUp() override {
        initialise();
        strcpy(engine.installDir, "c:\\Games\\VELMORANT");
        machine.writeFile("drive_c/Games/VELMORANT/readme.txt", "read me");
        standin::clearComCalls();
        standin::setMessageBoxAnswerer([this](HWND, const std::string& text, const std::string& caption, UINT) {
            boxes.push_back(caption + ": " + text);
            return IDOK;
        });
    }
    void TearDown() override { standin::setMessageBoxAnswerer(nullptr); }

    bool exists(const std::string& hostName) {
        struct stat info;
        return stat(machine.path(hostName).c_str(), &info) == 0;
    }
    std::string productFolder(const std::string& base) {
        return base + "/VANTRE/" + standin::utf8(u8"ヴェルモラント");
    }
    standin::ComCalls comCalls() { return standin::comCallsOf(std::this_thread::get_id()); }

    std::vector<std::string> boxes;
};

// Each row: the kind, the folder the entries go to, and the result.
TEST_F(ShellTest, StartMenuEntriesByKind) {
    struct Row {
        int kind;
        std::string folder;
        bool made;
    } rows[] = {
        {2, "", false},
        {1, kPrograms, true},
        {0, kStartMenu, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.kind);
        EXPECT_EQ(engine.createStartMenuEntries(row.kind), row.made);
        if (!row.made) {
            EXPECT_STREQ(engine.startMenuDir, "");
            EXPECT_FALSE(exists(kStartMenu + "/VANTRE"));
            EXPECT_FALSE(exists(kPrograms + "/VANTRE"));
            continue;
        }
        for (const std::string& link : {standin::utf8(u8"ヴェルモラント"), std::string("README"),
                                       standin::utf8(u8"アンインストール")}) {
            EXPECT_TRUE(exists(productFolder(row.folder) + "/" + link + ".lnk")) << link;
        }
    }
    // COM lives for each shortcut: three times in, three times out, each time.
    EXPECT_EQ(comCalls().initializes, 6u);
    EXPECT_EQ(comCalls().uninitializes, 6u);
    EXPECT_EQ(standin::liveShellLinks(), 0u);
}

TEST_F(ShellTest, AShortcutThatCannotBeSavedStopsTheRest) {
    machine.writeFile(productFolder(kPrograms) + "/README.lnk/.keep", "");
    EXPECT_FALSE(engine.createStartMenuEntries(1));
    EXPECT_TRUE(exists(productFolder(kPrograms) + "/" + standin::utf8(u8"ヴェルモラント.lnk")));
    EXPECT_FALSE(exists(productFolder(kPrograms) + "/" + standin::utf8(u8"アンインストール.lnk")));
    EXPECT_EQ(comCalls().initializes, 2u);
}

TEST_F(ShellTest, RemovingKeepsWhatIsNotTheProducts) {
    ASSERT_TRUE(engine.createStartMenuEntries(1));
    ASSERT_TRUE(engine.createStartMenuEntries(0));
    machine.writeFile(kPrograms + "/VANTRE/Other Game.lnk", "");
    engine.removeStartMenuEntries();
    EXPECT_FALSE(exists(productFolder(kPrograms)));
    EXPECT_TRUE(exists(kPrograms + "/VANTRE/Other Game.lnk"));
    // Entries in the common Start menu itself are not looked for.
    EXPECT_TRUE(exists(productFolder(kStartMenu) + "/README.lnk"));
    std::remove(machine.path(kPrograms + "/VANTRE/Other Game.lnk").c_str());
    engine.removeStartMenuEntries();
    EXPECT_FALSE(exists(kPrograms + "/VANTRE"));
}

// Each row: what CoInitialize answers, and what createShortcut and openWithShell then do.
TEST_F(ShellTest, ComInitialisationResults) {
    struct Row {
        const char* settings;
        bool shortcut;
        bool opened;
        unsigned uninitializes;  // after both operations
    } rows[] = {
        {"", true, true, 2},
        {"fail CoInitialize 0x8007000E\n", false, false, 0},
        {"fail CoInitialize 0x8000FFFF\n", false, false, 0},
        {"fail CoInitialize 0x80070057\n", false, false, 0},
        {"fail CoInitialize 0x80004005\n", false, true, 2},  // goes on: the link object is refused
        {"fail CoCreateInstance 0x80040154\n", false, true, 2},
        {"fail CoCreateInstance 0x80040110\n", false, true, 2},
    };
    machine.writeFile("drive_c/Links/.keep", "");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.settings);
        machine.writeFile("settings", row.settings);
        standin::clearComCalls();
        EXPECT_EQ(engine.createShortcut("c:\\Links", engine.installDir, "readme.txt", "README"), row.shortcut);
        EXPECT_EQ(openWithShell("c:\\Games\\VELMORANT\\readme.txt", ""), row.opened);
        EXPECT_EQ(comCalls().initializes, 2u);
        EXPECT_EQ(comCalls().uninitializes, row.uninitializes);
        EXPECT_EQ(standin::liveShellLinks(), 0u);
    }
}

// Opening and browsing, with the driver seeing what the shell is asked for.
struct ShellDriverTest : ShellTest {
    void SetUp() override {
        ShellTest::SetUp();
        driver.start(runStatusDialog);
        ASSERT_NE(driver.waitFor("dialog 901"), "");
        folderPicker.init(nullptr, driver.dialog());
    }
    void TearDown() override {
        EXPECT_EQ(driver.finish(), 0);
        ShellTest::TearDown();
    }

    // Runs the folder-browse dialog here while a user answers it once it is shown: each answer a
    // folder (UTF-8), or empty to cancel. The line that announced the dialog goes to *shown.
    bool browse(char* path, int kind, bool trailing, std::vector<std::string> answers,
                std::string* shown = nullptr) {
        std::thread user([&] {
            std::string line = driver.waitFor("browse");
            if (shown) *shown = line;
            for (const std::string& answer : answers) {
                if (answer.empty()) {
                    driver.cancelFolder();
                } else {
                    driver.folder(answer);
                }
            }
        });
        bool chosen = folderPicker.browseForFolder(path, MAX_PATH, kind, trailing);
        user.join();
        return chosen;
    }

    standin::Driver driver;
};

TEST_F(ShellDriverTest, OpeningTheReadmeAndTheProduct) {
    machine.writeFile("drive_c/Source/VELMORANT/readme.txt", "read me first");
    strcpy(engine.sourceDir, "c:\\source\\VELMORANT");
    engine.installed = 0;
    EXPECT_TRUE(engine.openReadme());
    // The long form: each component as it is stored.
    EXPECT_EQ(driver.waitFor("open"), "open \"c:\\\\Source\\\\VELMORANT\\\\readme.txt\" \"\"");
    engine.installed = 1;
    EXPECT_TRUE(engine.openReadme());
    EXPECT_EQ(driver.waitFor("open"), "open \"c:\\\\Games\\\\VELMORANT\\\\readme.txt\" \"\"");
    // A missing product still counts as handed to the shell, from its own folder.
    EXPECT_TRUE(engine.launchProduct());
    char current[MAX_PATH];
    GetCurrentDirectoryA(sizeof current, current);
    EXPECT_STREQ(current, "C:\\Games\\VELMORANT");
    SetCurrentDirectoryA("c:\\");
}

// Each row: the folder the user chooses, whether a backslash is asked for, and the result.
TEST_F(ShellDriverTest, BrowsingForAFolder) {
    machine.writeFile("drive_c/Start/.keep", "");
    machine.writeFile("drive_c/Games/.keep", "");
    machine.writeFile(standin::utf8(u8"drive_c/データ表/.keep"), "");
    struct Row {
        const char* answer;  // UTF-8 as the plain protocol takes it; empty: cancel
        bool trailing;
        bool chosen;
        const char* path;  // code page 932
    } rows[] = {
        {"c:\\Games", false, true, "C:\\Games"},
        {"c:\\Games", true, true, "C:\\Games\\"},
        {reinterpret_cast<const char*>(u8"c:\\データ表"), true, true, "C:\\データ表\\"},
        {"c:\\", true, true, "C:\\"},
        {"", true, false, "c:\\Start"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path);
        char path[MAX_PATH] = "c:\\Start";
        std::string shown;
        EXPECT_EQ(browse(path, 0, row.trailing, {row.answer}, &shown), row.chosen);
        EXPECT_STREQ(path, row.path);
        EXPECT_EQ(standin::liveItemLists(), 0u);
        // The dialog opens at the folder the path named.
        EXPECT_EQ(shown, standin::utf8(u8"browse \"フォルダを選択してください\" \"C:\\\\Start\""));
    }
}

TEST_F(ShellDriverTest, NoAllocatorShowsItsBoxAndKeepsThePath) {
    machine.writeFile("drive_c/Games/.keep", "");
    machine.writeFile("settings", "fail SHGetMalloc 0x80004005\n");
    char path[MAX_PATH] = "c:\\Start";
    EXPECT_FALSE(browse(path, 0, false, {"c:\\Games"}));
    EXPECT_STREQ(path, "c:\\Start");
    EXPECT_EQ(boxes, (std::vector<std::string>{"Error: SHGetMalloc Error"}));
    EXPECT_EQ(standin::liveItemLists(), 0u);
}

TEST_F(ShellDriverTest, ATypedNameThatIsNoFolderIsRefusedAndTheDialogStays) {
    machine.writeFile("drive_c/Games/.keep", "");
    char path[MAX_PATH] = "c:\\Start";
    EXPECT_TRUE(browse(path, 1, false, {"c:\\No Such Folder", "c:\\Games"}));
    EXPECT_STREQ(path, "C:\\Games");
    EXPECT_EQ(boxes, (std::vector<std::string>{"Error: 不正なフォルダです"}));
}

}  // namespace
