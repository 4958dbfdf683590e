// The install and the uninstall on the stand-in: the free-space check, the folders, the undoing
// of a failed copy or record, and what an uninstall leaves.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include <string>
#include <vector>

#include "engine/tests/engine_fixture.h"
#include "platform/standin/test_machine.h"
#include "platform/user.h"

namespace {

struct Box {
    std::string text;
    std::string caption;
    UINT type;
};

struct InstallTest : EngineTest {
    InstallTest() {
        standin::setMessageBoxAnswerer([this](HWND, const std::string& text, const std::string& caption,
                                              UINT type) {
            boxes.push_back(Box{text, caption, type});
            return (type & MB_TYPEMASK) == MB_YESNO ? answer : IDOK;
        });
    }
    ~InstallTest() override { standin::setMessageBoxAnswerer(nullptr); }

    // A CD-ROM in q: with the files of both lists, and room enough on c:.
    void SetUp() override {
        machine.writeFile("drives", "c: fixed \"\" drive_c\nd: fixed DATA drive_d\nq: cdrom VELMORANT cdrom\n");
        machine.writeFile("drive_c/Program Files/.keep", "");
        machine.writeFile("drive_d/.keep", "");
        machine.writeFile("drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/.keep", "");
        for (const char* const* list : {startupInstallList(), static_cast<const char* const*>(updateFiles)}) {
            for (size_t i = 0; list[i]; ++i) {
                machine.writeFile(std::string("cdrom/VELMORANT/") + list[i], std::string("content of ") + list[i]);
            }
        }
        machine.writeFile("settings", "freespace c: 5000\nfreespace d: 5000\n");
        initialise();
        ASSERT_STREQ(engine.sourceDir, "q:\\VELMORANT");
    }

    bool exists(const std::string& hostName) {
        struct stat info;
        return stat(machine.path(hostName).c_str(), &info) == 0;
    }

    std::vector<Box> boxes;
    int answer = IDYES;
};

const char kInstalled[] = "drive_c/Program Files/VANTRE/VELMORANT/";

TEST_F(InstallTest, InstallsTheFilesTheRecordAndTheShortcuts) {
    ASSERT_TRUE(engine.runInstall());
    EXPECT_STREQ(engine.installDir, "c:\\Program Files\\VANTRE\\VELMORANT");
    EXPECT_EQ(engine.installed, 1);
    EXPECT_EQ(machine.readFile(std::string(kInstalled) + "zom.pac"), "content of zom.pac");
    EXPECT_EQ(machine.readFile(std::string(kInstalled) + "Rzom.zip"), "content of Rzom.zip");
    const std::string programs = "drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/VANTRE/";
    EXPECT_TRUE(exists(programs + standin::utf8(u8"ヴェルモラント/ヴェルモラント.lnk")));
    EXPECT_TRUE(exists(programs + standin::utf8(u8"ヴェルモラント/README.lnk")));
    EXPECT_TRUE(exists(programs + standin::utf8(u8"ヴェルモラント/アンインストール.lnk")));
    SetupEngine reread;
    ASSERT_TRUE(reread.readInstallRecord());
    EXPECT_STREQ(reread.installDir, "c:\\Program Files\\VANTRE\\VELMORANT");
    EXPECT_STREQ(reread.sourceDir, "q:\\VELMORANT");
    // The folder question, then the completion.
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "c:\\Program Files\\VANTRE\\VELMORANT\nフォルダを作成します。\nよろしいですか？");
    EXPECT_EQ(boxes[0].type, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
    EXPECT_EQ(boxes[1].text, "インストールが完了しました。");
    EXPECT_EQ(boxes[1].caption, "終了");
}

// Each row: the free megabytes of drive c: against the 3570 the install needs.
TEST_F(InstallTest, FreeSpaceDecides) {
    struct Row {
        const char* settings;
        bool goesOn;
    } rows[] = {
        {"freespace c: 3570\n", true},
        {"freespace c: 3569\n", false},
        {"fail GetDiskFreeSpaceExA\n", false},  // a query that fails finds no room
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.settings);
        machine.writeFile("settings", row.settings);
        boxes.clear();
        answer = IDNO;  // stops a going install at the folder question
        EXPECT_FALSE(engine.runInstall());
        ASSERT_FALSE(boxes.empty());
        if (row.goesOn) {
            EXPECT_EQ(boxes[0].type, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
        } else {
            int free = row.settings[0] == 'f' && row.settings[1] == 'r' ? 3569 : 0;
            EXPECT_EQ(boxes[0].text, "c:\\ ドライブの空き容量が足りません。\n今現在のドライブの容量は " +
                                         std::to_string(free) +
                                         "Mです。\nインストールするには 約3570Mの容量が必要です。");
            EXPECT_EQ(boxes.size(), 1u);
        }
    }
}

// Each row: an install base, and the folders that must and must not exist afterwards.
// The user chooses an existing folder, whose drive's free space is read.
TEST_F(InstallTest, InstallBaseForms) {
    machine.writeFile(standin::utf8(u8"drive_d/ソフト/.keep"), "");
    machine.writeFile(standin::utf8(u8"drive_d/データ表/.keep"), "");
    struct Row {
        const char* base;
        const char* installDir;
        std::string made;
    } rows[] = {
        {"c:\\Program Files\\", "c:\\Program Files\\VANTRE\\VELMORANT", kInstalled},
        {"D:\\ソフト", "D:\\ソフト\\VANTRE\\VELMORANT", standin::utf8(u8"drive_d/ソフト/VANTRE/VELMORANT")},
        {"D:\\データ表", "D:\\データ表\\VANTRE\\VELMORANT", standin::utf8(u8"drive_d/データ表/VANTRE/VELMORANT")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.base);
        strcpy(engine.installBase, row.base);
        EXPECT_TRUE(engine.runInstall());
        EXPECT_STREQ(engine.installDir, row.installDir);
        EXPECT_TRUE(exists(row.made));
        EXPECT_TRUE(exists(row.made + "/zom.pac"));
        engine.deleteInstallRecord(registryKey);
        engine.removeStartMenuEntries();
    }
    // Only the folders of the paths: no folder named after the first byte of ソ.
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(machine.path("drive_d"))) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{".keep", standin::utf8(u8"ソフト"), standin::utf8(u8"データ表")}));
}

TEST_F(InstallTest, NoToTheFolderQuestionMakesNothing) {
    answer = IDNO;
    EXPECT_FALSE(engine.runInstall());
    EXPECT_FALSE(exists("drive_c/Program Files/VANTRE"));
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text, "c:\\Program Files\\VANTRE\\VELMORANT フォルダを作成できませんでした。");
    EXPECT_EQ(boxes[1].type, static_cast<UINT>(MB_OK | MB_ICONWARNING));
}

TEST_F(InstallTest, AnExistingFolderIsNotAskedFor) {
    machine.writeFile(std::string(kInstalled) + "own.txt", "mine");
    EXPECT_TRUE(engine.runInstall());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "インストールが完了しました。");
}

TEST_F(InstallTest, ACancelledCopyDeletesTheListedFilesAndKeepsTheFolders) {
    machine.writeFile(std::string(kInstalled) + "wix_2.pac", "from an earlier update");
    machine.writeFile(std::string(kInstalled) + "own.txt", "mine");
    standin::watchHostWrites([this](uint64_t) {
        if (engine.cancelState == CancelState::None) engine.cancelState = CancelState::Requested;
    });
    EXPECT_FALSE(engine.runInstall());
    standin::clearHostFaults();
    EXPECT_EQ(engine.installed, 0);
    for (const char* const* list : {startupInstallList(), static_cast<const char* const*>(updateFiles)}) {
        for (size_t i = 0; list[i]; ++i) EXPECT_FALSE(exists(std::string(kInstalled) + list[i])) << list[i];
    }
    EXPECT_EQ(machine.readFile(std::string(kInstalled) + "own.txt"), "mine");
    EXPECT_FALSE(SetupEngine{}.readInstallRecord());
}

TEST_F(InstallTest, AFailedRecordDeletesTheFilesAndTheKey) {
    machine.writeFile("settings", "freespace c: 5000\nfail RegSetValueExA 5\n");
    EXPECT_FALSE(engine.runInstall());
    EXPECT_FALSE(exists(std::string(kInstalled) + "zom.pac"));
    HKEY key;
    EXPECT_NE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, registryKey, 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(engine.installed, 0);
}

TEST_F(InstallTest, AFailedShortcutLeavesFilesAndRecord) {
    // A folder where the second shortcut would be saved.
    machine.writeFile(standin::utf8(u8"drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/VANTRE/"
                                    u8"ヴェルモラント/README.lnk/.keep"),
                      "");
    EXPECT_FALSE(engine.runInstall());
    EXPECT_EQ(engine.installed, 0);
    EXPECT_TRUE(exists(std::string(kInstalled) + "zom.pac"));
    EXPECT_TRUE(SetupEngine{}.readInstallRecord());
}

TEST_F(InstallTest, UninstallAsksAndLeavesTheFolderAndUnlistedFiles) {
    ASSERT_TRUE(engine.runInstall());
    machine.writeFile(std::string(kInstalled) + "save.dat", "a saved game");
    boxes.clear();
    answer = IDNO;
    EXPECT_FALSE(engine.runUninstall());
    EXPECT_TRUE(exists(std::string(kInstalled) + "zom.pac"));
    EXPECT_EQ(engine.installed, 1);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "ヴェルモラント のアンインストールを開始します。\n開始してもよろしいですか？");

    answer = IDYES;
    EXPECT_TRUE(engine.runUninstall());
    EXPECT_EQ(engine.installed, 0);
    EXPECT_FALSE(exists(std::string(kInstalled) + "zom.pac"));
    EXPECT_EQ(machine.readFile(std::string(kInstalled) + "save.dat"), "a saved game");
    EXPECT_FALSE(exists("drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/VANTRE"));
    EXPECT_FALSE(SetupEngine{}.readInstallRecord());
    EXPECT_EQ(boxes.back().text, "アンインストールが完了しました。");
}

TEST_F(InstallTest, DeletingTheListedFilesClearsReadOnly) {
    machine.writeFile("drive_c/Somewhere/zom.pac", "x");
    machine.writeFile("drive_c/Somewhere/other.pac", "y");
    ASSERT_TRUE(SetFileAttributesA("c:\\Somewhere\\zom.pac", FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(engine.deleteInstalledFiles("c:\\Somewhere"));
    EXPECT_FALSE(exists("drive_c/Somewhere/zom.pac"));
    EXPECT_TRUE(exists("drive_c/Somewhere/other.pac"));
}

}  // namespace
