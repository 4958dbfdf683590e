// The background copy: its copy range, its totals and steps, a cancel in a file and between
// files, the spinner and the clock of the status line, and a worker that cannot start.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <thread>
#include <vector>

#include "engine/background_copy.h"
#include "engine/main_dialog.h"
#include "engine/tests/engine_fixture.h"
#include "engine/tests/status_dialog.h"
#include "platform/standin/driver.h"
#include "platform/timer.h"
#include "platform/user.h"

namespace {

// The engine copies from c:\src to c:\dst with a dialog of its own showing the bar and lines.
struct BackgroundCopyTest : EngineTest {
    void SetUp() override {
        initialise();
        strcpy(engine.sourceDir, "c:\\src");
        strcpy(engine.installDir, "c:\\dst");
        machine.writeFile("drive_c/dst/.keep", "");
        driver.start(runStatusDialog);
        ASSERT_NE(driver.waitFor("dialog 901"), "");
        engine.ownerWindow = driver.dialog();
        engine.progressControlId = 1005;
        mainDialog = driver.dialog();
    }
    void TearDown() override {
        mainDialog = nullptr;
        standin::setClock(nullptr);
        EXPECT_EQ(driver.finish(), 0);
    }

    void source(int slot, size_t bytes) {
        machine.writeFile(std::string("drive_c/src/") + engine.installFiles[slot], std::string(bytes, 's'));
    }
    bool copied(int slot) {
        return !machine.readFile(std::string("drive_c/dst/") + engine.installFiles[slot]).empty();
    }
    int barPosition() {
        return static_cast<int>(SendDlgItemMessageA(driver.dialog(), 1005, PBM_GETPOS, 0, 0));
    }

    standin::Driver driver;
};

// Each row: the copy range and selection, and the slots that are copied.
TEST_F(BackgroundCopyTest, CopiesTheSelectedEntriesOfTheRange) {
    struct Row {
        const char* name;
        int32_t first, end;
        std::vector<std::pair<int, uint8_t>> selection;  // slot, selection byte
        std::vector<int> copiedSlots;
    } rows[] = {
        {"the whole list", 0, 9999, {}, {0, 1, 2, 3, 10, 11, 17}},
        {"install type 1 stops before slot 11", 0, 11, {}, {0, 1, 2, 3, 10}},
        {"a later start", 2, 9999, {}, {2, 3, 10, 11, 17}},
        {"selection bytes 0 and 2 are skipped", 0, 9999, {{1, 0}, {2, 2}}, {0, 3, 10, 11, 17}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        for (int slot : {0, 1, 2, 3, 10, 11, 17}) {
            source(slot, 100 + slot);
            DeleteFileA((std::string("c:\\dst\\") + engine.installFiles[slot]).c_str());
        }
        engine.setInstallType(2, row.first, row.end);
        for (uint8_t& flag : engine.selected) flag = 1;
        uint32_t expectedTotal = 0;
        for (auto [slot, flag] : row.selection) engine.selected[slot] = flag;
        for (int slot : row.copiedSlots) expectedTotal += 100 + slot;
        EXPECT_EQ(engine.selectedBytes(), expectedTotal);
        EXPECT_TRUE(engine.copyInBackground());
        for (int slot : {0, 1, 2, 3, 10, 11, 17}) {
            bool expected = std::find(row.copiedSlots.begin(), row.copiedSlots.end(), slot) !=
                            row.copiedSlots.end();
            EXPECT_EQ(copied(slot), expected) << slot;
        }
        EXPECT_EQ(engine.copying, 0);
        EXPECT_NE(engine.workerThreadId, 0u);
    }
}

// Each row: the bytes of the one selected file, and the steps the bar was sent.
TEST_F(BackgroundCopyTest, StepsFollowTheBytesCopied) {
    struct Row {
        size_t bytes;
        int32_t steps;
        int position;  // the bar's, which starts again from 0 past its top
    } rows[] = {
        {1000000, 1000, 1000},
        {1500, 1500, 500},
        {999, 1000, 1000},  // fewer bytes than steps: a step is a thousandth of the total
        {0, 1000, 1000},    // nothing to copy: the bar is full at once
    };
    engine.setInstallType(2, 0, 1);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.bytes);
        source(0, row.bytes);
        EXPECT_TRUE(engine.copyInBackground());
        EXPECT_EQ(engine.progressShown, row.steps);
        EXPECT_EQ(barPosition(), row.position);
    }
}

// A request while a large file is among its full blocks: the copy stops at a block boundary, the
// installed file keeps its old content, and the worker stops at its next entry.
TEST_F(BackgroundCopyTest, ACancelInsideAFileLeavesItsDestinationAsItWas) {
    source(0, 8 * 65536);
    source(1, 1000);
    machine.writeFile("drive_c/dst/velmorant.exe", "old");
    engine.setInstallType(2, 0, 9999);
    standin::watchHostWrites([this](uint64_t written) {
        if (written >= 3 * 65536 && engine.cancelState == CancelState::None) {
            engine.cancelState = CancelState::Requested;
        }
    });
    EXPECT_FALSE(engine.copyInBackground());
    standin::clearHostFaults();
    EXPECT_EQ(engine.cancelState, CancelState::Stopped);
    EXPECT_EQ(machine.readFile("drive_c/dst/velmorant.exe"), "old");
    EXPECT_FALSE(copied(1));
    EXPECT_EQ(engine.copying, 0);
}

// A request between two copies: the next copy acknowledges it without copying, and the worker
// stops after it; at the end of the range the run ends acknowledged.
TEST_F(BackgroundCopyTest, ACancelBetweenCopies) {
    struct Row {
        const char* name;
        int32_t end;
        CancelState after;
    } rows[] = {
        {"more entries follow", 9999, CancelState::Stopped},
        {"the acknowledging entry is the last", 2, CancelState::Acknowledged},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        source(0, 5000);
        source(1, 7000);
        source(2, 9000);
        machine.writeFile("drive_c/dst/zom.pac", "old");
        DeleteFileA("c:\\dst\\tuv.pac");
        engine.setInstallType(2, 0, row.end);
        standin::watchHostWrites([this](uint64_t written) {
            if (written >= 5000 && engine.cancelState == CancelState::None) {
                engine.cancelState = CancelState::Requested;
            }
        });
        EXPECT_FALSE(engine.copyInBackground());
        standin::clearHostFaults();
        EXPECT_EQ(engine.cancelState, row.after);
        EXPECT_TRUE(copied(0));
        EXPECT_EQ(machine.readFile("drive_c/dst/zom.pac"), "old");
        EXPECT_FALSE(copied(2));
    }
}

TEST_F(BackgroundCopyTest, AWorkerThatCannotStartGivesFalseWithTheBarAtZero) {
    source(0, 5000);
    machine.writeFile("settings", "fail CreateThread\n");
    engine.setInstallType(2, 0, 9999);
    EXPECT_FALSE(engine.copyInBackground());
    EXPECT_EQ(engine.workerThreadId, 0u);
    EXPECT_EQ(engine.copying, 0);
    EXPECT_EQ(barPosition(), 0);
    EXPECT_FALSE(copied(0));
}

// A window of the monitoring thread, to see what its loop dispatches.
int dispatched = 0;
LRESULT CALLBACK countingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_USER + 7) ++dispatched;
    return DefWindowProcA(window, message, wParam, lParam);
}

TEST_F(BackgroundCopyTest, TheLoopDispatchesItsThreadsMessagesAndGoesOnAfterAQuit) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = countingProc;
    windowClass.lpszClassName = "counting";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, "counting", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    source(0, 3 * 65536);
    engine.setInstallType(2, 0, 1);
    dispatched = 0;
    PostQuitMessage(3);
    PostMessageA(window, WM_USER + 7, 0, 0);
    EXPECT_TRUE(engine.copyInBackground());
    EXPECT_EQ(dispatched, 1);
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));  // the quit message was taken
    EXPECT_TRUE(copied(0));
    DestroyWindow(window);
}

// The file line: the entry, a blank and the next glyph, written once in 131072 passes; the cycle
// goes on from one run to the next.
TEST_F(BackgroundCopyTest, TheSpinnerTurnsAcrossRuns) {
    standin::setClock([] { return DWORD{0}; });
    clockBase = 0;
    setCurrentName("readme.txt");
    passCounter = 0;
    spinnerIndex = 0;
    const char* glyphs[] = {"｜", "／", "―", "＼", "｜"};
    for (const char* glyph : glyphs) {
        updateStatusLine();
        char line[64];
        GetDlgItemTextA(driver.dialog(), 1019, line, sizeof line);
        EXPECT_EQ(std::string(line), std::string("readme.txt ") + glyph);
        for (uint32_t pass = 1; pass < kPassesPerSpin; ++pass) updateStatusLine();
    }
    // A run leaves the cycle where it was.
    source(0, 10);
    engine.setInstallType(2, 0, 1);
    uint32_t before = spinnerIndex;
    passCounter = 0;
    EXPECT_TRUE(engine.copyInBackground());
    EXPECT_EQ(spinnerIndex, (before + 1) % 4);
    // The run's first pass may still show the name the last run left.
    std::string line(64, '\0');
    line.resize(GetDlgItemTextA(driver.dialog(), 1019, line.data(), 64));
    EXPECT_TRUE(line.ends_with(std::string(" ") + glyphs[before])) << line;
}

// The time line keeps whole seconds from the worker's start and catches up a second a pass.
TEST_F(BackgroundCopyTest, TheClockLine) {
    struct Row {
        DWORD elapsedMilliseconds;
        int passes;
        const char* line;
    } rows[] = {
        {1000, 1, ""},  // not yet more than a second
        {1001, 1, "0:00:01"},
        {3600 * 1000 + 1, 3600, "1:00:00"},
        {36000 * 1000 + 1, 36000, "10:00:00"},
    };
    setCurrentName("zom.pac");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        SetDlgItemTextA(driver.dialog(), 1021, "");
        clockBase = 4000000000u;  // the clock wraps past 2^32 on its way
        elapsedHours = elapsedMinutes = elapsedSeconds = 0;
        DWORD now = 4000000000u + row.elapsedMilliseconds;
        standin::setClock([now] { return now; });
        for (int pass = 0; pass < row.passes; ++pass) updateStatusLine();
        char line[64];
        GetDlgItemTextA(driver.dialog(), 1021, line, sizeof line);
        EXPECT_STREQ(line, row.line);
    }
}

}  // namespace
