// The main dialog's steps for the controls of a full setup dialog, which template 105 lacks:
// the enable states, the install path line and the colours of the statics.
#include <gtest/gtest.h>

#include "engine/setup_engine.h"
#include "front/resources/resource.h"
#include "front/update_dialog.h"
#include "platform/drawing.h"
#include "platform/standin/driver.h"
#include "platform/standin/test_machine.h"

namespace {

constexpr int kFullDialog = 900;

int WINAPI runFullDialog(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    DialogBoxParamA(instance, MAKEINTRESOURCEA(kFullDialog), nullptr, mainDialogProc, 0);
    return 0;
}

struct FullDialogTest : testing::Test {
    void start(int installed) {
        setupEngine.installed = installed;
        driver.start(runFullDialog);
        ASSERT_NE(driver.waitFor("dialog 900"), "");
    }
    ~FullDialogTest() override { setupEngine.installed = 0; }

    standin::TestMachine machine;
    standin::Driver driver;
};

TEST_F(FullDialogTest, EnablesTheSetupCommandsByTheInstallRecord) {
    struct Row {
        int installed;
        bool install, uninstall, launch, browse;
    } rows[] = {{0, true, false, false, true}, {1, false, true, true, false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.installed);
        standin::Driver rowDriver;
        setupEngine.installed = row.installed;
        rowDriver.start(runFullDialog);
        ASSERT_NE(rowDriver.waitFor("dialog 900"), "");
        EXPECT_EQ(rowDriver.enabled(IDC_INSTALL), row.install);
        EXPECT_EQ(rowDriver.enabled(IDC_UNINSTALL), row.uninstall);
        EXPECT_EQ(rowDriver.enabled(IDC_LAUNCH), row.launch);
        EXPECT_EQ(rowDriver.enabled(IDC_BROWSE), row.browse);
        EXPECT_EQ(rowDriver.text(IDC_INSTALL_PATH), "c:\\Program Files\\VANTRE\\VELMORANT");
        EXPECT_EQ(rowDriver.finish(), 0);
    }
}

TEST_F(FullDialogTest, PaintsTheLabelsBoldAndTheOtherStaticsPlain) {
    start(0);
    struct Row {
        int id;
        bool bold;
        uint32_t textColor;
        int backgroundMode;
        bool hollowBrush;
    } rows[] = {
        {IDC_LABEL_WHITE, true, RGB(255, 255, 255), TRANSPARENT, true},
        {IDC_LABEL_BLACK, true, RGB(0, 0, 0), TRANSPARENT, true},
        {IDC_INSTALL_PATH, false, 0, OPAQUE, false},
        {IDC_MESSAGE, false, 0, OPAQUE, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.id);
        standin::StaticLook look = driver.look(row.id);
        EXPECT_TRUE(look.painted);
        EXPECT_EQ(look.bold, row.bold);
        EXPECT_EQ(look.textColor, row.textColor);
        EXPECT_EQ(look.backgroundMode, row.backgroundMode);
        if (row.hollowBrush) {
            EXPECT_EQ(look.answer, reinterpret_cast<intptr_t>(GetStockObject(NULL_BRUSH)));
        } else {
            EXPECT_EQ(look.answer, 1);
        }
    }
    EXPECT_EQ(driver.look(IDC_INSTALL_PATH).backgroundColor, RGB(236, 233, 216));
    EXPECT_EQ(driver.finish(), 0);
}

TEST_F(FullDialogTest, RepeatedPaintsShareOneFontThatGoesWithTheDialog) {
    start(0);
    for (int paint = 0; paint < 20; ++paint) {
        SetDlgItemTextA(driver.dialog(), IDC_LABEL_WHITE, paint % 2 ? "white" : "WHITE");
        EXPECT_TRUE(driver.look(IDC_LABEL_WHITE).bold);
    }
    EXPECT_EQ(standin::liveDrawingObjects(), 1u);
    EXPECT_EQ(driver.finish(), 0);
    EXPECT_EQ(standin::liveDrawingObjects(), 0u);
}

}  // namespace
