// What the shell shows through the front end, played through the driver: the folder-browse
// dialog and opening files with ShellExecuteA, as the plain protocol tells them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/shell.h"
#include "platform/standin/driver.h"
#include "platform/standin/test_machine.h"

namespace {

using standin::utf8;

const char kTitle[] = "フォルダを選択してください";
const char8_t kBrowseLine[] = u8"browse \"フォルダを選択してください\" ";

// What a run of the browsing program does and what it saw; set before the driver starts it and
// read after the driver has waited for it.
struct BrowseRun {
    UINT flags = 0;
    std::string start;           // the callback selects it once the dialog is up
    int validateAnswer = 1;      // the callback's answer to BFFM_VALIDATEFAILEDA
    bool boxOnValidate = false;  // the callback warns with a message box owned by the dialog
    bool chosen = false;
    std::string path;
    std::string displayName;
    std::vector<std::string> selected;  // BFFM_SELCHANGED
    std::vector<std::string> refused;   // BFFM_VALIDATEFAILEDA
};
BrowseRun run;

int CALLBACK browseCallback(HWND window, UINT message, LPARAM value, LPARAM) {
    switch (message) {
        case BFFM_INITIALIZED:
            if (!run.start.empty())
                SendMessageA(window, BFFM_SETSELECTIONA, TRUE,
                             reinterpret_cast<LPARAM>(run.start.c_str()));
            return 0;
        case BFFM_SELCHANGED: {
            char path[MAX_PATH];
            SHGetPathFromIDListA(reinterpret_cast<PCIDLIST_ABSOLUTE>(value), path);
            run.selected.push_back(path);
            return 0;
        }
        case BFFM_VALIDATEFAILEDA:
            run.refused.push_back(reinterpret_cast<LPCSTR>(value));
            if (run.boxOnValidate)
                MessageBoxA(window, "不正なフォルダです", "Error", MB_OK);
            return run.validateAnswer;
        default:
            return 0;
    }
}

int WINAPI browsingProgram(HINSTANCE, HINSTANCE, LPSTR, int) {
    char displayName[MAX_PATH] = "";
    BROWSEINFOA info = {};
    info.pszDisplayName = displayName;
    info.lpszTitle = kTitle;
    info.ulFlags = run.flags;
    info.lpfn = browseCallback;
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderA(&info);
    if (!chosen)
        return 0;
    char path[MAX_PATH] = "";
    run.chosen = SHGetPathFromIDListA(chosen, path) != FALSE;
    run.path = path;
    run.displayName = displayName;
    IMalloc* allocator = nullptr;
    if (SUCCEEDED(SHGetMalloc(&allocator))) {
        allocator->Free(chosen);
        allocator->Release();
    }
    return 1;
}

struct BrowseTest : testing::Test {
    BrowseTest() {
        run = BrowseRun{};
        machine.writeFile("drive_c/Games/Old/.keep", "");
        machine.writeFile(utf8(u8"drive_c/データ表/.keep"), "");
        machine.writeFile("drive_c/notes.txt", "");
    }
    ~BrowseTest() override { EXPECT_EQ(standin::liveItemLists(), 0u); }

    // The browse line with the folder the dialog opens at, as the protocol quotes it (UTF-8).
    static std::string browseLine(const char8_t* start) {
        return utf8(kBrowseLine) + "\"" + utf8(start) + "\"";
    }

    standin::TestMachine machine;
    standin::Driver driver;
};

TEST_F(BrowseTest, GivesTheChosenFolder) {
    struct Row {
        const char8_t* answer;
        const char* path;
        const char* displayName;
    };
    const Row rows[] = {
        {u8"c:\\games\\old", "C:\\Games\\Old", "Old"},
        {u8"C:\\GAMES", "C:\\Games", "Games"},
        {u8"C:\\データ表", "C:\\データ表", "データ表"},
        {u8"C:\\", "C:\\", "ローカル ディスク (C:)"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path);
        run = BrowseRun{};
        driver.start(browsingProgram);
        EXPECT_EQ(driver.waitFor("browse "), browseLine(u8""));
        driver.folder(utf8(row.answer));
        EXPECT_EQ(driver.finish(), 1);
        EXPECT_TRUE(run.chosen);
        EXPECT_EQ(run.path, row.path);
        EXPECT_EQ(run.displayName, row.displayName);
        EXPECT_EQ(run.selected, std::vector<std::string>{row.path});
    }
}

TEST_F(BrowseTest, OpensAtTheFolderTheCallbackSelects) {
    run.start = "c:\\GAMES\\";
    driver.start(browsingProgram);
    EXPECT_EQ(driver.waitFor("browse "), browseLine(u8"C:\\\\Games"));
    driver.key("enter");
    EXPECT_EQ(driver.finish(), 1);
    EXPECT_EQ(run.path, "C:\\Games");
    EXPECT_EQ(run.selected, std::vector<std::string>{"C:\\Games"});
}

TEST_F(BrowseTest, OpensAtTheFolderWhoseNameEndsInABackslashByte) {
    run.start = "C:\\データ表";
    driver.start(browsingProgram);
    EXPECT_EQ(driver.waitFor("browse "), browseLine(u8"C:\\\\データ表"));
    testing::internal::CaptureStderr();
    driver.folder(utf8(u8"Sub"));  // no such folder below it
    EXPECT_EQ(driver.waitFor("browse "), browseLine(u8"C:\\\\データ表"));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("folder Sub: it is not a folder"),
              std::string::npos);
    driver.key("enter");
    EXPECT_EQ(driver.finish(), 1);
    EXPECT_EQ(run.path, "C:\\データ表");
    EXPECT_EQ(run.displayName, "データ表");
}

TEST_F(BrowseTest, CancelledOrLeftGivesNothing) {
    struct Row {
        const char* name;
        void (*answer)(standin::Driver&);
    };
    const Row rows[] = {
        {"folder cancel", [](standin::Driver& d) { d.cancelFolder(); }},
        {"escape", [](standin::Driver& d) { d.key("escape"); }},
        {"the user walks away", [](standin::Driver& d) { d.endInput(); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        run = BrowseRun{};
        run.start = "C:\\Games";
        driver.start(browsingProgram);
        EXPECT_EQ(driver.waitFor("browse "), browseLine(u8"C:\\\\Games"));
        row.answer(driver);
        EXPECT_EQ(driver.finish(), 0);
        EXPECT_FALSE(run.chosen);
    }
}

TEST_F(BrowseTest, ATypedNameThatIsNoFolderGoesToTheCallback) {
    run.flags = BIF_EDITBOX | BIF_VALIDATE;
    run.boxOnValidate = true;
    driver.start(browsingProgram);
    EXPECT_EQ(driver.waitFor("browse "), browseLine(u8""));
    driver.folder(utf8(u8"C:\\notes.txt"));
    EXPECT_EQ(driver.waitFor("messagebox "),
              utf8(u8"messagebox \"Error\" \"不正なフォルダです\" ok"));
    driver.answer("ok");
    // Kept open by the callback's answer, the dialog waits again.
    EXPECT_EQ(driver.waitFor("browse "), browseLine(u8""));
    driver.folder(utf8(u8"C:\\Games"));
    EXPECT_EQ(driver.finish(), 1);
    EXPECT_EQ(run.refused, std::vector<std::string>{"C:\\notes.txt"});
    EXPECT_EQ(run.path, "C:\\Games");
}

TEST_F(BrowseTest, ATypedNameTheCallbackRejectsCancels) {
    run.flags = BIF_EDITBOX | BIF_VALIDATE;
    run.validateAnswer = 0;
    driver.start(browsingProgram);
    EXPECT_EQ(driver.waitFor("browse "), browseLine(u8""));
    driver.folder(utf8(u8"C:\\Missing\\データ表"));
    EXPECT_EQ(driver.finish(), 0);
    EXPECT_EQ(run.refused, std::vector<std::string>{"C:\\Missing\\データ表"});
    EXPECT_FALSE(run.chosen);
}

TEST_F(BrowseTest, WithoutAnEditBoxANonFolderIsRefused) {
    run.flags = BIF_VALIDATE;
    driver.start(browsingProgram);
    EXPECT_EQ(driver.waitFor("browse "), browseLine(u8""));
    testing::internal::CaptureStderr();
    driver.folder(utf8(u8"C:\\notes.txt"));
    EXPECT_EQ(driver.waitFor("browse "), browseLine(u8""));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("not a folder"), std::string::npos);
    driver.folder(utf8(u8"C:\\Games\\Old"));
    EXPECT_EQ(driver.finish(), 1);
    EXPECT_TRUE(run.refused.empty());
    EXPECT_EQ(run.path, "C:\\Games\\Old");
}

// ---- ShellExecuteA ----------------------------------------------------------------------------

struct OpenRun {
    const char* file = nullptr;
    const char* parameters = nullptr;
    const char* directory = nullptr;
    uintptr_t result = 0;
    DWORD error = 0;
};
OpenRun opening;

int WINAPI openingProgram(HINSTANCE, HINSTANCE, LPSTR, int) {
    HINSTANCE result = ShellExecuteA(nullptr, "open", opening.file, opening.parameters,
                                     opening.directory, SW_SHOWNORMAL);
    opening.result = reinterpret_cast<uintptr_t>(result);
    opening.error = GetLastError();
    return 0;
}

TEST(ShellExecute, TellsTheFrontEndWhatToOpen) {
    standin::TestMachine machine;
    machine.writeFile("drive_c/Game/readme.txt", "read me");
    machine.writeFile(utf8(u8"drive_c/データ表/説明.txt"), "");
    struct Row {
        const char* file;
        const char* parameters;
        const char* directory;
        const char8_t* line;  // empty: nothing is opened
        uintptr_t result;
    };
    const Row rows[] = {
        {"c:\\game\\README.TXT", "", "", u8"open \"c:\\\\game\\\\README.TXT\" \"\"", 42},
        {"readme.txt", "-x \"y\"", "C:\\Game", u8"open \"readme.txt\" \"-x \\\"y\\\"\"", 42},
        {"C:\\データ表\\説明.txt", nullptr, nullptr, u8"open \"C:\\\\データ表\\\\説明.txt\" \"\"",
         42},
        {"https://example.com/", nullptr, nullptr, u8"open \"https://example.com/\" \"\"", 42},
        {"C:\\Game\\missing.txt", "", "", u8"", SE_ERR_FNF},
        {"C:\\Missing\\readme.txt", "", "", u8"", SE_ERR_PNF},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file);
        opening = OpenRun{row.file, row.parameters, row.directory};
        standin::Driver driver;
        driver.start(openingProgram);
        EXPECT_EQ(driver.finish(), 0);
        std::vector<std::string> opened;
        for (const std::string& line : driver.lines()) {
            if (line.rfind("open ", 0) == 0)
                opened.push_back(line);
        }
        std::vector<std::string> expected;
        if (*row.line)
            expected.push_back(utf8(row.line));
        EXPECT_EQ(opened, expected);
        EXPECT_EQ(opening.result, row.result);
        if (row.result <= 32) {
            EXPECT_EQ(opening.error,
                      static_cast<DWORD>(row.result == SE_ERR_FNF ? ERROR_FILE_NOT_FOUND
                                                                  : ERROR_PATH_NOT_FOUND));
        }
    }
}

}  // namespace
