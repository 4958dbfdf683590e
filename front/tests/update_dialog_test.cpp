// The updater as its user meets it, played through the stand-in's driver.
#include <gtest/gtest.h>

#include <string>

#include "engine/setup_engine.h"
#include "front/config.h"
#include "front/resources/resource.h"
#include "platform/registry.h"
#include "platform/standin/driver.h"
#include "platform/standin/test_machine.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand);

namespace {

const char8_t kNotInstalledBox[] =
    u8"messagebox \"確認\" \"インストールがされてませんでした。\\nインストールを行ってからアップデートして"
    u8"ください。\" ok";
const char8_t kCompletedBox[] = u8"messagebox \"終了\" \"アップデートが完了しました。\" ok";

std::string u8s(const char8_t* text) { return standin::utf8(text); }

void writeInstallRecord(const char* installDir) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, registryKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    auto text = [&](const char* name, const char* value) {
        std::string data = std::string(value) + '\0' + '\0';
        RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.data()),
                       static_cast<DWORD>(data.size()));
    };
    text("Dir", installDir);
    text("CD", "q:\\VELMORANT");
    DWORD type = 2;
    RegSetValueExA(key, "InstType", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&type), 4);
    RegCloseKey(key);
}

struct UpdaterTest : testing::Test {
    UpdaterTest() { standin::setModulePath(machine.path("drive_c/Game/update.exe")); }
    ~UpdaterTest() override { standin::setModulePath(""); }

    // Starts the program and waits for its dialog.
    void startProgram() {
        driver.start(WinMain);
        ASSERT_EQ(driver.waitFor("dialog "), u8s(u8"dialog 105 \"ヴェルモラント Updata\""));
    }

    standin::TestMachine machine;
    standin::Driver driver;
};

TEST_F(UpdaterTest, ShowsTemplate105WithItsTexts) {
    startProgram();
    std::vector<std::string> lines = driver.lines();
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0], u8s(u8"dialog 105 \"ヴェルモラント Updata\""));
    EXPECT_EQ(lines[1], u8s(u8"  1008 button \"アップデート\" default"));
    EXPECT_EQ(lines[2], u8s(u8"  2 button \"ｷｬﾝｾﾙ\""));
    EXPECT_EQ(lines[3], u8s(u8"  1009 static \"ヴェルモラント　を\\nアップデートしますか？\""));

    // The program's own bytes, as Windows gives them to a reader of the dialog.
    char caption[64], message[64];
    GetWindowTextA(driver.dialog(), caption, sizeof caption);
    GetDlgItemTextA(driver.dialog(), IDC_MESSAGE, message, sizeof message);
    EXPECT_STREQ(caption, "ヴェルモラント Updata");
    EXPECT_STREQ(message, "ヴェルモラント　を\nアップデートしますか？");
    EXPECT_EQ(driver.finish(), 0);
}

TEST_F(UpdaterTest, UpdateWithoutARecordWarnsAndStays) {
    startProgram();
    for (int attempt = 0; attempt < 2; ++attempt) {
        SCOPED_TRACE(attempt);
        driver.click(IDC_UPDATE);
        EXPECT_EQ(driver.waitFor("messagebox"), u8s(kNotInstalledBox));
        driver.answer("ok");
    }
    driver.key("escape");
    EXPECT_EQ(driver.waitFor("closed"), "closed 105 2");
    EXPECT_EQ(driver.finish(), 0);
}

// Each way of closing the dialog ends the program with 0 and touches no file.
TEST_F(UpdaterTest, EveryCloseEndsWithZeroAndChangesNothing) {
    const char* ways[] = {"cancel button", "escape", "exit command", "walk away"};
    for (const char* way : ways) {
        SCOPED_TRACE(way);
        standin::TestMachine rowMachine;
        standin::setModulePath(rowMachine.path("drive_c/Game/update.exe"));
        writeInstallRecord("c:\\Installed");
        rowMachine.writeFile("drive_c/Installed/zom.pac", "old");
        rowMachine.writeFile("drive_c/Game/VELMORANT/zom.pac", "new");
        standin::Driver rowDriver;
        rowDriver.start(WinMain);
        ASSERT_NE(rowDriver.waitFor("dialog 105"), "");
        std::string w = way;
        if (w == "cancel button") rowDriver.click(IDCANCEL);
        if (w == "escape") rowDriver.key("escape");
        if (w == "exit command") PostMessageA(rowDriver.dialog(), WM_COMMAND, IDC_EXIT, 0);
        if (w == "walk away") rowDriver.endInput();
        EXPECT_EQ(rowDriver.waitFor("closed"), "closed 105 2");
        EXPECT_EQ(rowDriver.finish(), 0);
        EXPECT_EQ(rowMachine.readFile("drive_c/Installed/zom.pac"), "old");
    }
}

TEST_F(UpdaterTest, UpdateWithARecordUpdatesOnceAndCloses) {
    writeInstallRecord("c:\\Installed");
    machine.writeFile("drive_c/Installed/zom.pac", "old");
    machine.writeFile("drive_c/Game/VELMORANT/zom.pac", "new");
    startProgram();
    driver.key("enter");  // the default button is Update
    EXPECT_EQ(driver.waitFor("messagebox"), u8s(kCompletedBox));
    driver.answer("ok");
    EXPECT_EQ(driver.waitFor("closed"), "closed 105 2");
    EXPECT_EQ(driver.finish(), 0);
    EXPECT_EQ(machine.readFile("drive_c/Installed/zom.pac"), "new");
}

TEST_F(UpdaterTest, ControlsTheTemplateLacksChangeNothing) {
    startProgram();
    for (int id : {IDC_INSTALL, IDC_UNINSTALL, IDC_LAUNCH, IDC_BROWSE, IDC_INSTALL_PATH}) {
        EXPECT_FALSE(driver.exists(id)) << id;
    }
    for (const std::string& line : driver.lines()) {
        EXPECT_NE(line.rfind("state ", 0), 0u) << line;
        EXPECT_NE(line.rfind("text ", 0), 0u) << line;
    }
    EXPECT_EQ(driver.finish(), 0);
}

// The dialog is centred on the work area; an odd sum loses its half toward minus infinity.
TEST_F(UpdaterTest, CentresOnTheWorkArea) {
    struct Row {
        const char* workArea;
        int left, top, right, bottom;
    } rows[] = {
        {"workarea 0 0 1024 768", 0, 0, 1024, 768},
        {"workarea -300 -200 0 0", -300, -200, 0, 0},
        {"workarea 10 8 800 600", 10, 8, 800, 600},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.workArea);
        standin::TestMachine rowMachine;
        rowMachine.writeFile("settings", std::string(row.workArea) + "\n");
        standin::setModulePath(rowMachine.path("drive_c/Game/update.exe"));
        standin::Driver rowDriver;
        rowDriver.start(WinMain);
        ASSERT_NE(rowDriver.waitFor("dialog 105"), "");
        RECT rect = rowDriver.dialogRect();
        int width = rect.right - rect.left;
        int height = rect.bottom - rect.top;
        auto floorHalf = [](int sum) { return sum >= 0 ? sum / 2 : -((-sum + 1) / 2); };
        EXPECT_EQ(rect.left, floorHalf(row.left + row.right - width));
        EXPECT_EQ(rect.top, floorHalf(row.top + row.bottom - height));
        EXPECT_EQ(rowDriver.finish(), 0);
    }
}

}  // namespace
