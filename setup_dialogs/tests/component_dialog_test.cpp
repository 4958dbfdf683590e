// The component dialog on its own, played through the stand-in's driver: its boxes, the sizes it
// shows and hands the engine, the install type switch and the ways it ends or stays.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/setup_engine.h"
#include "front/config.h"
#include "front/resources/resource.h"
#include "platform/standin/driver.h"
#include "platform/standin/test_machine.h"
#include "setup_dialogs/component_dialog.h"

namespace {

std::string u8s(const char8_t* text) { return standin::utf8(text); }

INT_PTR dialogResult = 0;

int WINAPI runComponentDialog(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    dialogResult = DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_COMPONENTS), nullptr,
                                   componentDialogProc, 0);
    return 0;
}

// The engine's selection bytes of the three archives, in the boxes' order 1021, 1022, 1023.
struct Choice {
    uint8_t zom, hep, tuv;
};

void select(Choice choice) {
    setupEngine.selected[1] = choice.zom;
    setupEngine.selected[5] = choice.hep;
    setupEngine.selected[2] = choice.tuv;
}

Choice selection() {
    return {setupEngine.selected[1], setupEngine.selected[5], setupEngine.selected[2]};
}

// What the dialog may change, set to values of its own before each run and put back afterwards.
struct ComponentDialogTest : testing::Test {
    ComponentDialogTest() {
        select({1, 1, 1});
        setupEngine.setInstallType(7, 3, 5);
        setupEngine.setRequiredMegabytes(4321);
        requiredMegabytesSetting = 1234;
        componentChoice = 55;
    }
    ~ComponentDialogTest() override {
        select({1, 1, 1});
        setupEngine.setInstallType(0, 0, 9999);
        setupEngine.setRequiredMegabytes(0);
        requiredMegabytesSetting = 3570;
        componentChoice = 0;
    }

    void start(standin::Driver& driver) {
        driver.start(runComponentDialog);
        ASSERT_EQ(driver.waitFor("dialog "), u8s(u8"dialog 109 \"インストールする項目の選択\""));
    }
    // Clicks and waits for the size label the click shows.
    std::string clickForSize(standin::Driver& driver, int id) {
        driver.click(id);
        return driver.waitFor("text 1011 ");
    }

    standin::TestMachine machine;
};

TEST_F(ComponentDialogTest, ChecksTheBoxesOfTheChosenArchives) {
    struct Row {
        Choice choice;
        const char* zom;
        const char* hep;
        const char* tuv;
    } rows[] = {
        {{1, 1, 1}, " checked", " checked", " checked"},
        {{0, 0, 0}, "", "", ""},
        {{1, 0, 2}, " checked", "", ""},
        {{2, 1, 0}, "", " checked", ""},
        {{0, 255, 1}, "", "", " checked"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message()
                     << int(row.choice.zom) << int(row.choice.hep) << int(row.choice.tuv));
        select(row.choice);
        standin::Driver driver;
        start(driver);
        std::vector<std::string> lines = driver.lines();
        std::vector<std::string> expected = {
            u8s(u8"dialog 109 \"インストールする項目の選択\""),
            u8s(u8"  1020 checkbox \"基本ファイル (140M)\" checked"),
            u8s(u8"  1021 checkbox \"zom.pac (1200M)\"") + row.zom,
            u8s(u8"  1022 checkbox \"hep.pac (220M)\"") + row.hep,
            u8s(u8"  1023 checkbox \"tuv.pac (740M)\"") + row.tuv,
            // The size label is left as the template has it until something changes.
            "  1011 static \"\"",
            u8s(u8"  1015 button \"インストールタイプ切替\""),
            "  1012 button \"OK\" default",
            u8s(u8"  1013 button \"キャンセル\""),
        };
        EXPECT_EQ(std::vector<std::string>(lines.begin(),
                                           lines.begin() + std::min(lines.size(), expected.size())),
                  expected);
        EXPECT_EQ(componentChoice, 0);
        // Opening changes nothing the engine keeps.
        EXPECT_EQ(setupEngine.requiredMegabytes, 4321u);
        EXPECT_EQ(setupEngine.installType, 7u);
        driver.click(IDC_COMPONENT_OK);
        EXPECT_EQ(driver.waitFor("closed"), "closed 109 1012");
        EXPECT_EQ(driver.finish(), 0);
        EXPECT_EQ(dialogResult, IDC_COMPONENT_OK);
    }
}

// Each archive's box writes its byte and the size of the base files and the chosen archives.
TEST_F(ComponentDialogTest, ArchiveBoxesSumTheSize) {
    struct Row {
        Choice before;
        std::vector<int> clicks;
        Choice after;
        uint32_t megabytes;
        const char* label;
    } rows[] = {
        {{1, 1, 1}, {IDC_ARCHIVE_ZOM, IDC_ARCHIVE_HEP, IDC_ARCHIVE_TUV}, {0, 0, 0}, 140, "140M"},
        {{0, 0, 0}, {IDC_ARCHIVE_ZOM, IDC_ARCHIVE_HEP, IDC_ARCHIVE_TUV}, {1, 1, 1}, 2300, "2300M"},
        {{1, 1, 1}, {IDC_ARCHIVE_ZOM}, {0, 1, 1}, 1100, "1100M"},
        {{0, 0, 0}, {IDC_ARCHIVE_HEP}, {0, 1, 0}, 360, "360M"},
        {{0, 0, 0}, {IDC_ARCHIVE_TUV}, {0, 0, 1}, 880, "880M"},
        {{0, 0, 0}, {IDC_ARCHIVE_ZOM, IDC_ARCHIVE_ZOM}, {0, 0, 0}, 140, "140M"},
        // A byte that is neither 0 nor 1 leaves its box clear; a click then makes it 1.
        {{2, 0, 0}, {IDC_ARCHIVE_ZOM}, {1, 0, 0}, 1340, "1340M"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        select(row.before);
        standin::Driver driver;
        start(driver);
        std::string last;
        for (int id : row.clicks) last = clickForSize(driver, id);
        EXPECT_EQ(last, std::string("text 1011 \"") + row.label + "\"");
        driver.click(IDC_COMPONENT_OK);
        EXPECT_EQ(driver.waitFor("closed"), "closed 109 1012");
        EXPECT_EQ(driver.finish(), 0);
        Choice after = selection();
        EXPECT_EQ(after.zom, row.after.zom);
        EXPECT_EQ(after.hep, row.after.hep);
        EXPECT_EQ(after.tuv, row.after.tuv);
        EXPECT_EQ(componentMegabytes(), row.megabytes);
        EXPECT_EQ(requiredMegabytesSetting, row.megabytes);
        EXPECT_EQ(setupEngine.requiredMegabytes, row.megabytes);
        // The archives leave the install type alone.
        EXPECT_EQ(setupEngine.installType, 7u);
        EXPECT_EQ(componentChoice, 0);
    }
}

// The switch alternates between the two install types, starting with the first.
TEST_F(ComponentDialogTest, SwitchAlternatesTheInstallType) {
    struct Row {
        int switches;
        int choice;
        DWORD type;
        int32_t endIndex;
        uint32_t megabytes;
    } rows[] = {
        {1, 1, 2, 9999, typeMegabytes[0]},
        {2, 0, 1, 11, typeMegabytes[1]},
        {3, 1, 2, 9999, typeMegabytes[0]},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.switches);
        standin::Driver driver;
        start(driver);
        std::string last;
        for (int i = 0; i < row.switches; ++i) last = clickForSize(driver, IDC_SWITCH_TYPE);
        EXPECT_EQ(last, "text 1011 \"" + std::to_string(row.megabytes) + "M byte\"");
        driver.key("enter");
        EXPECT_EQ(driver.waitFor("closed"), "closed 109 1012");
        EXPECT_EQ(driver.finish(), 0);
        EXPECT_EQ(componentChoice, row.choice);
        EXPECT_EQ(setupEngine.installType, row.type);
        EXPECT_EQ(setupEngine.firstIndex, 0);
        EXPECT_EQ(setupEngine.endIndex, row.endIndex);
        EXPECT_EQ(setupEngine.requiredMegabytes, row.megabytes);
        EXPECT_EQ(requiredMegabytesSetting, 1234u);
    }
}

// Whichever came last decides the engine's size; the archives' setting follows only them.
TEST_F(ComponentDialogTest, TheLastChangeDecidesTheSize) {
    struct Row {
        const char* name;
        std::vector<int> clicks;
        uint32_t required;
        std::string label;
    } rows[] = {
        {"archive, then switch",
         {IDC_ARCHIVE_ZOM, IDC_SWITCH_TYPE},
         typeMegabytes[0],
         std::to_string(typeMegabytes[0]) + "M byte"},
        {"switch, then archive", {IDC_SWITCH_TYPE, IDC_ARCHIVE_ZOM}, 1100, "1100M"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        select({1, 1, 1});
        standin::Driver driver;
        start(driver);
        std::string last;
        for (int id : row.clicks) last = clickForSize(driver, id);
        EXPECT_EQ(last, "text 1011 \"" + row.label + "\"");
        driver.click(IDC_COMPONENT_OK);
        EXPECT_EQ(driver.waitFor("closed"), "closed 109 1012");
        EXPECT_EQ(driver.finish(), 0);
        EXPECT_EQ(setupEngine.requiredMegabytes, row.required);
        EXPECT_EQ(requiredMegabytesSetting, 1100u);
        EXPECT_EQ(setupEngine.installType, 2u);
        EXPECT_EQ(componentChoice, 1);
    }
}

TEST_F(ComponentDialogTest, CancelKeepsTheChangesAndSays99) {
    standin::Driver driver;
    start(driver);
    clickForSize(driver, IDC_ARCHIVE_TUV);
    clickForSize(driver, IDC_SWITCH_TYPE);
    driver.click(IDC_COMPONENT_CANCEL);
    EXPECT_EQ(driver.waitFor("closed"), "closed 109 1013");
    EXPECT_EQ(driver.finish(), 0);
    EXPECT_EQ(dialogResult, IDC_COMPONENT_CANCEL);
    EXPECT_EQ(componentChoice, kComponentsCancelled);
    EXPECT_EQ(setupEngine.selected[2], 0);
    EXPECT_EQ(requiredMegabytesSetting, 1560u);
    EXPECT_EQ(setupEngine.installType, 2u);
    EXPECT_EQ(setupEngine.requiredMegabytes, typeMegabytes[0]);
}

// Escape, the close box and commands the dialog does not know leave everything as it was and
// the dialog open; a user who walks away from it cancels.
TEST_F(ComponentDialogTest, OtherCommandsChangeNothing) {
    struct Row {
        const char* name;
        const char* key;
        int click;
        int command;
    } rows[] = {
        {"escape", "escape", 0, 0},          {"base files box", nullptr, IDC_BASE_FILES, 0},
        {"IDCANCEL", nullptr, 0, IDCANCEL},  {"IDOK", nullptr, 0, IDOK},
        {"1014", nullptr, 0, IDC_UNINSTALL}, {"1016", nullptr, 0, 1016},
        {"1017", nullptr, 0, 1017},          {"1018", nullptr, 0, 1018},
        {"1019", nullptr, 0, 1019},          {"1020", nullptr, 0, 1020},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        standin::Driver driver;
        start(driver);
        if (row.key) driver.key(row.key);
        if (row.click) driver.click(row.click);
        if (row.command) {
            EXPECT_EQ(SendMessageA(driver.dialog(), WM_COMMAND, row.command, 0), 1);
        }
        // The close box: WM_CLOSE, which the dialog procedure leaves alone.
        SendMessageA(driver.dialog(), WM_CLOSE, 0, 0);
        // A change that shows, after the row's command: that command has been handled by now.
        EXPECT_EQ(clickForSize(driver, IDC_ARCHIVE_HEP), "text 1011 \"2080M\"");
        EXPECT_TRUE(IsDlgButtonChecked(driver.dialog(), IDC_BASE_FILES));
        for (const std::string& line : driver.lines())
            EXPECT_NE(line.rfind("closed", 0), 0u) << line;
        EXPECT_EQ(setupEngine.installType, 7u);
        EXPECT_EQ(componentChoice, 0);
        driver.endInput();
        EXPECT_EQ(driver.waitFor("closed"), "closed 109 1013");
        EXPECT_EQ(driver.finish(), 0);
        EXPECT_EQ(componentChoice, kComponentsCancelled);
        select({1, 1, 1});
    }
}

TEST_F(ComponentDialogTest, CentresOnTheWorkArea) {
    struct Row {
        const char* workArea;
        int left, top, right, bottom;
    } rows[] = {
        {"workarea 0 0 1024 768", 0, 0, 1024, 768},
        {"workarea -300 -200 1 1", -300, -200, 1, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.workArea);
        standin::TestMachine rowMachine;
        rowMachine.writeFile("settings", std::string(row.workArea) + "\n");
        standin::Driver driver;
        start(driver);
        RECT rect = driver.dialogRect();
        int width = rect.right - rect.left;
        int height = rect.bottom - rect.top;
        EXPECT_EQ(rect.left, (row.left + row.right - width) >> 1);
        EXPECT_EQ(rect.top, (row.top + row.bottom - height) >> 1);
        driver.click(IDC_COMPONENT_OK);
        EXPECT_EQ(driver.finish(), 0);
    }
}

}  // namespace
