// The setup program as its user meets it, played through the stand-in's driver: the setup
// dialog, the install on its thread with its control states, Abort, and the commands Uninstall,
// Browse and Manual.
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "engine/setup_engine.h"
#include "front/config.h"
#include "front/resources/resource.h"
#include "platform/registry.h"
#include "platform/standin/driver.h"
#include "platform/standin/test_machine.h"
#include "setup_dialogs/component_dialog.h"
#include "setup_dialogs/setup_commands.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand);

namespace {

const char8_t kSetupDialog[] = u8"dialog 106 \"ヴェルモラント Updata\"";
const char8_t kFailedBox[] =
    u8"messagebox \"確認\" "
    u8"\"インストールが正常に行われませんでした。\\nもう一度ご確認の上、インストールを行って"
    u8"ください。\" ok";
const char8_t kCreateFolderBox[] =
    u8"messagebox \"確認\" \"c:\\\\Program "
    u8"Files\\\\VANTRE\\\\VELMORANT\\nフォルダを作成します。\\nよろしいですか？\" "
    u8"yesno";
const char8_t kCompletedBox[] = u8"messagebox \"終了\" \"インストールが完了しました。\" ok";
const char8_t kInstallLabel[] = u8"text 1000 \"インストール\"";
const char8_t kAbortLabel[] = u8"text 1000 \"中断\"";

std::string u8s(const char8_t* text) { return standin::utf8(text); }

const char* const kSourceFiles[] = {
    "velmorant.exe", "zom.pac",  "tuv.pac",    "yk.pac",         "fob.pac",     "hep.pac",
    "wix.pac",       "ogg.dll",  "vorbis.dll", "vorbisfile.dll", "readme.txt",  "uninst.exe",
    "Pzom.pac",      "Qzom.pac", "Rzom.pac",   "Szom.pac",       "Setting.exe", "Rzom.zip",
};

void writeInstallRecord(const char* installDir) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, registryKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    auto text = [&](const char* name, const char* value) {
        std::string data = std::string(value) + '\0';
        RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.data()),
                       static_cast<DWORD>(data.size()));
    };
    text("Dir", installDir);
    text("CD", "e:\\VELMORANT");
    DWORD type = 2;
    RegSetValueExA(key, "InstType", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&type), 4);
    RegCloseKey(key);
}

// The lines after the first one that starts with `prefix`, that start with `kind`.
std::vector<std::string> linesAfter(const std::vector<std::string>& lines,
                                    const std::string& prefix, const std::string& kind) {
    std::vector<std::string> found;
    bool after = false;
    for (const std::string& line : lines) {
        if (after && line.rfind(kind, 0) == 0) found.push_back(line);
        if (line.rfind(prefix, 0) == 0) after = true;
    }
    return found;
}

// A machine with a fixed drive c:, a second fixed drive d: and the game's disc in e:.
struct SetupTest : testing::Test {
    SetupTest() {
        machine.writeFile("drives",
                          "c: fixed \"\" drive_c\n"
                          "d: fixed DATA drive_d\n"
                          "e: cdrom VELMORANT drive_e\n");
        machine.writeFile("settings", "freespace c: 100000\n");
        machine.writeFile("drive_c/Program Files/desktop.ini", "");
        machine.writeFile("drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/desktop.ini",
                          "");
        machine.writeFile("drive_d/Games/desktop.ini", "");
        for (const char* name : kSourceFiles) {
            machine.writeFile(std::string("drive_e/VELMORANT/") + name, std::string(4096, name[0]));
        }
        standin::setModulePath(machine.path("drive_e/setup.exe"));
        resetEngine();
    }
    ~SetupTest() override {
        standin::clearHostFaults();
        standin::setModulePath("");
        resetEngine();
    }
    void resetEngine() {
        memcpy(setupEngine.installBase, "c:\\Program Files", sizeof "c:\\Program Files");
        for (uint8_t& slot : setupEngine.selected) slot = 1;
        setupEngine.cancelState = CancelState::None;
        setupEngine.setInstallType(0, 0, 9999);
        setupEngine.ownerWindow = nullptr;
        requiredMegabytesSetting = 3570;
        componentChoice = 0;
    }

    void startProgram() {
        driver.start(WinMain);
        ASSERT_EQ(driver.waitFor("dialog "), u8s(kSetupDialog));
    }
    // Install, with the component dialog accepted as it opens.
    void install() {
        driver.click(IDC_INSTALL);
        ASSERT_EQ(driver.waitFor("dialog "), u8s(u8"dialog 109 \"インストールする項目の選択\""));
        driver.click(IDC_COMPONENT_OK);
        ASSERT_EQ(driver.waitFor("closed "), "closed 109 1012");
    }

    standin::TestMachine machine;
    standin::Driver driver;
};

TEST_F(SetupTest, ShowsTemplate106) {
    startProgram();
    std::vector<std::string> lines = driver.lines();
    std::vector<std::string> expected = {
        u8s(kSetupDialog),
        u8s(u8"  1017 static \"インストール先\""),
        "  1004 static \"c:\\\\Program Files\\\\VANTRE\\\\VELMORANT\"",
        u8s(u8"  1018 static \"進行状況\""),
        "  1005 progress \"\"",
        "  1019 static \"\"",
        "  1021 static \"\"",
        u8s(u8"  1000 button \"インストール\" default"),
        u8s(u8"  1001 button \"ゲーム開始\" disabled"),
        u8s(u8"  1014 button \"アンインストール\" disabled"),
        "  1006 button \"README\"",
        u8s(u8"  1020 button \"マニュアル\""),
        u8s(u8"  2 button \"終了\""),
        u8s(u8"  1003 button \"参照...\""),
    };
    ASSERT_GE(lines.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + expected.size()), expected);
    // The engine's boxes and progress bar belong to the dialog.
    EXPECT_EQ(setupEngine.ownerWindow, driver.dialog());
    // Enter presses Install, the first button of the tab order.
    driver.key("enter");
    EXPECT_NE(driver.waitFor("dialog 109"), "");
    driver.click(IDC_COMPONENT_CANCEL);
    EXPECT_EQ(driver.waitFor("closed"), "closed 109 1013");
    driver.key("escape");
    EXPECT_EQ(driver.waitFor("closed"), "closed 106 2");
    EXPECT_EQ(driver.finish(), 0);
}

// An Install that ends before its thread: the component dialog cancelled, or no thread to be had.
TEST_F(SetupTest, InstallWithoutAThreadChangesNothing) {
    struct Row {
        const char* name;
        int button;
        const char* settings;
    } rows[] = {
        {"components cancelled", IDC_COMPONENT_CANCEL, "freespace c: 100000\n"},
        {"no thread", IDC_COMPONENT_OK, "freespace c: 100000\nfail CreateThread\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        machine.writeFile("settings", row.settings);
        standin::Driver rowDriver;
        rowDriver.start(WinMain);
        ASSERT_EQ(rowDriver.waitFor("dialog "), u8s(kSetupDialog));
        rowDriver.click(IDC_INSTALL);
        ASSERT_NE(rowDriver.waitFor("dialog 109"), "");
        rowDriver.click(row.button);
        ASSERT_EQ(rowDriver.waitFor("closed "), "closed 109 " + std::to_string(row.button));
        rowDriver.key("escape");
        EXPECT_EQ(rowDriver.waitFor("closed"), "closed 106 2");
        EXPECT_EQ(rowDriver.finish(), 0);
        EXPECT_EQ(linesAfter(rowDriver.lines(), "closed 109", "text "), std::vector<std::string>{});
        EXPECT_EQ(linesAfter(rowDriver.lines(), "closed 109", "state "),
                  std::vector<std::string>{});
        EXPECT_FALSE(installRunning());
        EXPECT_EQ(machine.readFile("drive_c/Program Files/VANTRE/VELMORANT/zom.pac"), "");
        resetEngine();
    }
}

// The states of the controls through an install that succeeds, one that fails and one aborted
// while it copies, and what the dialog offers afterwards.
TEST_F(SetupTest, InstallOutcomes) {
    struct Row {
        const char* name;
        const char* settings;
        bool abort;
        std::vector<const char8_t*> boxes;  // answered ok, after the folder question
        std::vector<std::string> states;    // from the Install on
        bool installed;
    } rows[] = {
        {"success",
         "freespace c: 100000\n",
         false,
         {kCompletedBox},
         {"state 1006 disabled", "state 1020 disabled", "state 2 disabled", "state 1003 disabled",
          "state 1000 disabled", "state 1014 enabled", "state 1001 enabled", "state 1006 enabled",
          "state 1020 enabled", "state 2 enabled"},
         true},
        {"no room",
         "freespace c: 100\n",
         false,
         {u8"messagebox \"確認\" \"c:\\\\ ドライブ", kFailedBox},
         {"state 1006 disabled", "state 1020 disabled", "state 2 disabled", "state 1003 disabled",
          "state 1006 enabled", "state 1020 enabled", "state 2 enabled", "state 1003 enabled"},
         false},
        {"aborted",
         "freespace c: 100000\n",
         true,
         {kFailedBox},
         {"state 1006 disabled", "state 1020 disabled", "state 2 disabled", "state 1003 disabled",
          "state 1000 disabled", "state 1000 enabled", "state 1006 enabled", "state 1020 enabled",
          "state 2 enabled", "state 1003 enabled"},
         false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        standin::TestMachine rowMachine;
        rowMachine.writeFile("drives", "c: fixed \"\" drive_c\ne: cdrom VELMORANT drive_e\n");
        rowMachine.writeFile("settings", row.settings);
        rowMachine.writeFile("drive_c/Program Files/desktop.ini", "");
        rowMachine.writeFile(
            "drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/desktop.ini", "");
        for (const char* name : kSourceFiles) {
            rowMachine.writeFile(std::string("drive_e/VELMORANT/") + name,
                                 std::string(4096, name[0]));
        }
        // The abort comes while the copy waits after its first write.
        std::mutex lock;
        std::condition_variable changed;
        bool writing = false, released = false;
        if (row.abort) {
            standin::watchHostWrites([&](uint64_t) {
                std::unique_lock<std::mutex> hold(lock);
                writing = true;
                changed.notify_all();
                changed.wait(hold, [&] { return released; });
            });
        }
        standin::Driver rowDriver;
        rowDriver.start(WinMain);
        ASSERT_EQ(rowDriver.waitFor("dialog "), u8s(kSetupDialog));
        rowDriver.click(IDC_INSTALL);
        ASSERT_NE(rowDriver.waitFor("dialog 109"), "");
        rowDriver.click(IDC_COMPONENT_OK);
        ASSERT_EQ(rowDriver.waitFor("closed "), "closed 109 1012");
        if (std::string(row.name) != "no room") {
            ASSERT_EQ(rowDriver.waitFor("messagebox"), u8s(kCreateFolderBox));
            rowDriver.answer("yes");
        }
        if (row.abort) {
            {
                std::unique_lock<std::mutex> hold(lock);
                changed.wait(hold, [&] { return writing; });
            }
            EXPECT_TRUE(setupEngine.isCopying());
            rowDriver.click(IDC_INSTALL);
            EXPECT_EQ(rowDriver.waitFor("state 1000"), "state 1000 disabled");
            std::lock_guard<std::mutex> hold(lock);
            released = true;
            changed.notify_all();
        }
        for (const char8_t* box : row.boxes) {
            EXPECT_EQ(rowDriver.waitFor("messagebox").rfind(u8s(box), 0), 0u);
            rowDriver.answer("ok");
        }
        // The thread may show its first box before the dialog shows the Abort label.
        EXPECT_EQ(rowDriver.waitFor(u8s(kInstallLabel)), u8s(kInstallLabel));
        std::vector<std::string> lines = rowDriver.lines();
        EXPECT_EQ(linesAfter(lines, "closed 109", "state "), row.states);
        std::vector<std::string> labels = linesAfter(lines, "closed 109", "text 1000");
        EXPECT_EQ(labels, (std::vector<std::string>{u8s(kAbortLabel), u8s(kInstallLabel)}));
        EXPECT_EQ(rowDriver.enabled(IDC_INSTALL), !row.installed);
        EXPECT_EQ(rowDriver.enabled(IDC_UNINSTALL), row.installed);
        EXPECT_EQ(rowDriver.enabled(IDC_LAUNCH), row.installed);
        EXPECT_EQ(rowDriver.enabled(IDC_BROWSE), !row.installed);
        EXPECT_TRUE(rowDriver.enabled(IDC_README));
        EXPECT_TRUE(rowDriver.enabled(IDC_MANUAL));
        EXPECT_TRUE(rowDriver.enabled(IDCANCEL));
        EXPECT_EQ(rowDriver.text(IDC_INSTALL), u8s(u8"インストール"));
        EXPECT_EQ(setupEngine.installed, row.installed ? 1 : 0);
        EXPECT_EQ(rowMachine.readFile("drive_c/Program Files/VANTRE/VELMORANT/zom.pac").size(),
                  row.installed ? 4096u : 0u);
        // Once the install is over the dialog closes again.
        rowDriver.key("escape");
        EXPECT_EQ(rowDriver.waitFor("closed"), "closed 106 2");
        EXPECT_EQ(rowDriver.finish(), 0);
        standin::clearHostFaults();
        resetEngine();
    }
}

// While the install thread runs, neither a second Install nor a close command does anything:
// asked while the folder question waits (nothing copying) and while the copy runs.
TEST_F(SetupTest, InstallThreadRefusesASecondInstallAndTheClose) {
    std::mutex lock;
    std::condition_variable changed;
    bool writing = false, released = false;
    standin::watchHostWrites([&](uint64_t) {
        std::unique_lock<std::mutex> hold(lock);
        writing = true;
        changed.notify_all();
        changed.wait(hold, [&] { return released; });
    });
    startProgram();
    install();
    ASSERT_EQ(driver.waitFor("messagebox"), u8s(kCreateFolderBox));
    HWND dialog = driver.dialog();
    EXPECT_FALSE(setupEngine.isCopying());
    for (int id : {IDC_INSTALL, IDCANCEL, IDC_EXIT}) {
        SCOPED_TRACE(id);
        EXPECT_EQ(SendMessageA(dialog, WM_COMMAND, id, 0), TRUE);
    }
    driver.answer("yes");
    {
        std::unique_lock<std::mutex> hold(lock);
        changed.wait(hold, [&] { return writing; });
    }
    for (int id : {IDCANCEL, IDC_EXIT}) {
        SCOPED_TRACE(id);
        EXPECT_EQ(SendMessageA(dialog, WM_COMMAND, id, 0), TRUE);
    }
    // Escape and a user who walks away reach the dialog too, and change nothing either.
    driver.key("escape");
    driver.endInput();
    {
        std::lock_guard<std::mutex> hold(lock);
        released = true;
        changed.notify_all();
    }
    EXPECT_EQ(driver.waitFor("messagebox"), u8s(kCompletedBox));
    EXPECT_EQ(driver.waitFor("closed"), "closed 106 2");
    EXPECT_EQ(driver.finish(), 0);
    std::vector<std::string> lines = driver.lines();
    EXPECT_EQ(linesAfter(lines, "closed 109", "dialog "), std::vector<std::string>{});
    // The install went all the way, its last control step included, before the dialog closed.
    // The label may not come back: once that last step shows, the dialog may be gone first.
    EXPECT_EQ(linesAfter(lines, "closed 109", "closed "), std::vector<std::string>{"closed 106 2"});
    EXPECT_EQ(linesAfter(lines, u8s(kCompletedBox), "closed "),
              std::vector<std::string>{"closed 106 2"});
    EXPECT_EQ(linesAfter(lines, "state 2 enabled", "closed "),
              std::vector<std::string>{"closed 106 2"});
    EXPECT_EQ(setupEngine.installed, 1);
    EXPECT_EQ(machine.readFile("drive_c/Program Files/VANTRE/VELMORANT/Rzom.zip").size(), 4096u);
}

TEST_F(SetupTest, UninstallAsksFirst) {
    struct Row {
        const char* answer;
        std::vector<std::string> states;
        int installed;
    } rows[] = {
        {"no", {}, 1},
        {"yes",
         {"state 1000 enabled", "state 1014 disabled", "state 1001 disabled", "state 1003 enabled"},
         0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.answer);
        standin::TestMachine rowMachine;
        rowMachine.writeFile("drive_c/Game/VELMORANT/zom.pac", "installed");
        writeInstallRecord("c:\\Game\\VELMORANT");
        setupEngine.setInstallType(2, 0, 11);
        standin::Driver rowDriver;
        rowDriver.start(WinMain);
        ASSERT_EQ(rowDriver.waitFor("dialog "), u8s(kSetupDialog));
        ASSERT_TRUE(rowDriver.enabled(IDC_UNINSTALL));
        rowDriver.click(IDC_UNINSTALL);
        EXPECT_EQ(rowDriver.waitFor("messagebox"),
                  u8s(u8"messagebox \"確認\" \"ヴェルモラント "
                      u8"のアンインストールを開始します。\\n開始してもよろしいですか？\" yesno"));
        rowDriver.answer(row.answer);
        if (row.installed == 0) {
            EXPECT_EQ(rowDriver.waitFor("messagebox"),
                      u8s(u8"messagebox \"終了\" \"アンインストールが完了しました。\" ok"));
            rowDriver.answer("ok");
            EXPECT_EQ(rowDriver.waitFor("state 1003"), "state 1003 enabled");
        }
        rowDriver.key("escape");
        EXPECT_EQ(rowDriver.waitFor("closed"), "closed 106 2");
        EXPECT_EQ(rowDriver.finish(), 0);
        EXPECT_EQ(linesAfter(rowDriver.lines(), "dialog 106", "state "), row.states);
        EXPECT_EQ(setupEngine.installed, row.installed);
        if (!row.installed) {
            EXPECT_EQ(setupEngine.installType, 0u);
            EXPECT_EQ(setupEngine.firstIndex, 0);
            EXPECT_EQ(setupEngine.endIndex, 9999);
        }
        EXPECT_EQ(rowMachine.readFile("drive_c/Game/VELMORANT/zom.pac"),
                  row.installed ? "installed" : "");
        resetEngine();
    }
}

// Launch opens the installed game and ends the program as the close button does; Readme opens the
// installed readme and stays.
TEST_F(SetupTest, LaunchAndReadmeOpenTheInstalledFiles) {
    struct Row {
        int id;
        std::string openLine;
        bool closes;
    } rows[] = {
        {IDC_LAUNCH, "open \"c:\\\\Game\\\\VELMORANT\\\\velmorant.exe\" \"\"", true},
        {IDC_README, "open \"c:\\\\Game\\\\VELMORANT\\\\readme.txt\" \"\"", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.id);
        standin::TestMachine rowMachine;
        rowMachine.writeFile("drive_c/Game/VELMORANT/velmorant.exe", "game");
        rowMachine.writeFile("drive_c/Game/VELMORANT/readme.txt", "readme");
        writeInstallRecord("c:\\Game\\VELMORANT");
        standin::Driver rowDriver;
        rowDriver.start(WinMain);
        ASSERT_EQ(rowDriver.waitFor("dialog "), u8s(kSetupDialog));
        rowDriver.click(row.id);
        EXPECT_EQ(rowDriver.waitFor("open "), row.openLine);
        if (!row.closes) rowDriver.key("escape");
        EXPECT_EQ(rowDriver.waitFor("closed"), "closed 106 2");
        EXPECT_EQ(rowDriver.finish(), 0);
        resetEngine();
    }
}

// A drive root loses its backslash, which the path line puts back; a cancel keeps the base.
TEST_F(SetupTest, BrowseSetsTheInstallBase) {
    struct Row {
        const char* folder;  // null: cancel
        const char* base;
        std::string pathLine;
    } rows[] = {
        {"D:\\", "D:", "text 1004 \"D:\\\\VANTRE\\\\VELMORANT\""},
        {"D:\\Games", "D:\\Games", "text 1004 \"D:\\\\Games\\\\VANTRE\\\\VELMORANT\""},
        {nullptr, "c:\\Program Files", "text 1004 \"c:\\\\Program Files\\\\VANTRE\\\\VELMORANT\""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.base);
        standin::Driver rowDriver;
        rowDriver.start(WinMain);
        ASSERT_EQ(rowDriver.waitFor("dialog "), u8s(kSetupDialog));
        rowDriver.click(IDC_BROWSE);
        ASSERT_NE(rowDriver.waitFor("browse "), "");
        if (row.folder) {
            rowDriver.folder(row.folder);
        } else {
            rowDriver.cancelFolder();
        }
        EXPECT_EQ(rowDriver.waitFor("text 1004"), row.pathLine);
        rowDriver.key("escape");
        EXPECT_EQ(rowDriver.waitFor("closed"), "closed 106 2");
        EXPECT_EQ(rowDriver.finish(), 0);
        EXPECT_STREQ(setupEngine.installBase, row.base);
        resetEngine();
    }
}

// The manual lies beside the source folder; the search for the separator steps over
// double-byte characters whose second byte is 0x5C, and a source without one is itself the place.
TEST_F(SetupTest, ManualOpensBesideTheSource) {
    struct Row {
        const char* sourceDir;  // null: as the program found it
        std::string manualFile;
        std::string openLine;
    } rows[] = {
        {nullptr, "drive_e/manual/manual.html", "open \"e:\\\\manual\\\\manual.html\" \"\""},
        {"e:\\データ\\表", u8s(u8"drive_e/データ/manual/manual.html"),
         u8s(u8"open \"e:\\\\データ\\\\manual\\\\manual.html\" \"\"")},
        {"e:\\能力\\ソ", u8s(u8"drive_e/能力/manual/manual.html"),
         u8s(u8"open \"e:\\\\能力\\\\manual\\\\manual.html\" \"\"")},
        {"e:", "drive_e/manual/manual.html", "open \"e:\\\\manual\\\\manual.html\" \"\""},
    };
    for (const Row& row : rows) machine.writeFile(row.manualFile, "<html></html>");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.openLine);
        standin::Driver rowDriver;
        rowDriver.start(WinMain);
        ASSERT_EQ(rowDriver.waitFor("dialog "), u8s(kSetupDialog));
        EXPECT_STREQ(setupEngine.sourceDir, "e:\\VELMORANT");
        if (row.sourceDir)
            snprintf(setupEngine.sourceDir, sizeof setupEngine.sourceDir, "%s", row.sourceDir);
        rowDriver.click(IDC_MANUAL);
        EXPECT_EQ(rowDriver.waitFor("open "), row.openLine);
        rowDriver.key("escape");
        EXPECT_EQ(rowDriver.waitFor("closed"), "closed 106 2");
        EXPECT_EQ(rowDriver.finish(), 0);
    }
}

}  // namespace
