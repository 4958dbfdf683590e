// The shell's special folders, long path names and the conversion of narrow texts to UTF-16.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <string>

#include "platform/shell.h"
#include "platform/standin/test_machine.h"

namespace {

using standin::utf8;

struct ShellFolders : testing::Test {
    standin::TestMachine machine;
};

TEST_F(ShellFolders, AreWhereCurrentWindowsKeepsThem) {
    struct Row {
        int csidl;
        const char* path;
        bool inNewMachine;
    };
    const Row rows[] = {
        {CSIDL_COMMON_STARTMENU, "C:\\ProgramData\\Microsoft\\Windows\\Start Menu", true},
        {CSIDL_COMMON_PROGRAMS, "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs", true},
        {CSIDL_PROGRAM_FILES, "C:\\Program Files", true},
        {CSIDL_COMMON_APPDATA, "C:\\ProgramData", true},
        {CSIDL_COMMON_STARTUP, "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Startup",
         false},
        {CSIDL_COMMON_DESKTOPDIRECTORY, "C:\\Users\\Public\\Desktop", false},
        {CSIDL_WINDOWS, "C:\\Windows", false},
        {CSIDL_PROGRAM_FILES_COMMON, "C:\\Program Files\\Common Files", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path);
        char path[MAX_PATH] = "stale";
        EXPECT_EQ(SHGetSpecialFolderPathA(nullptr, path, row.csidl, FALSE),
                  row.inNewMachine ? TRUE : FALSE);
        EXPECT_STREQ(path, row.inNewMachine ? row.path : "");
        // Asked to, the shell makes the folder.
        EXPECT_TRUE(SHGetSpecialFolderPathA(nullptr, path, row.csidl, TRUE));
        EXPECT_STREQ(path, row.path);
        EXPECT_NE(GetFileAttributesA(row.path) & FILE_ATTRIBUTE_DIRECTORY, 0u);
    }
}

TEST_F(ShellFolders, CreateFlagInTheCsidlMakesTheFolder) {
    char path[MAX_PATH];
    EXPECT_TRUE(SHGetSpecialFolderPathA(nullptr, path, CSIDL_WINDOWS | CSIDL_FLAG_CREATE, FALSE));
    EXPECT_STREQ(path, "C:\\Windows");
    struct stat info;
    EXPECT_EQ(stat(machine.path("drive_c/Windows").c_str(), &info), 0);
}

TEST_F(ShellFolders, UnknownCsidlGivesNothing) {
    char path[MAX_PATH] = "stale";
    EXPECT_FALSE(SHGetSpecialFolderPathA(nullptr, path, 0x7F, TRUE));
    EXPECT_STREQ(path, "");
}

// ---- GetLongPathNameA -------------------------------------------------------------------------

TEST_F(ShellFolders, LongPathsSpellEachComponentAsStored) {
    machine.writeFile("drive_c/Program Files/VANTRE/Game.exe", "");
    machine.writeFile(utf8(u8"drive_c/データ表/中身.txt"), "");
    struct Row {
        const char* given;
        const char* spelled;
    };
    const Row rows[] = {
        {"c:\\PROGRAM FILES\\vantre\\GAME.EXE", "c:\\Program Files\\VANTRE\\Game.exe"},
        {"C:\\program files\\vantre\\", "C:\\Program Files\\VANTRE\\"},
        {"C:/program files/VANTRE", "C:/Program Files/VANTRE"},
        {"C:\\", "C:\\"},
        {"C:\\データ表\\中身.TXT", "C:\\データ表\\中身.txt"},
        {"C:\\データ表", "C:\\データ表"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.given);
        char spelled[MAX_PATH] = {};
        DWORD length = GetLongPathNameA(row.given, spelled, sizeof spelled);
        EXPECT_STREQ(spelled, row.spelled);
        EXPECT_EQ(length, strlen(row.spelled));
    }
}

TEST_F(ShellFolders, LongPathsAreRelativeWhenGivenSo) {
    machine.writeFile("drive_c/Game/Data/file.bin", "");
    char previous[MAX_PATH];
    ASSERT_NE(GetCurrentDirectoryA(sizeof previous, previous), 0u);
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\game"));
    char spelled[MAX_PATH] = {};
    EXPECT_EQ(GetLongPathNameA("data\\FILE.BIN", spelled, sizeof spelled), 13u);
    EXPECT_STREQ(spelled, "Data\\file.bin");
    SetCurrentDirectoryA(previous);
}

TEST_F(ShellFolders, LongPathsOfMissingFilesFail) {
    machine.writeFile("drive_c/Game/file.bin", "");
    struct Row {
        const char* given;
        DWORD error;
    };
    const Row rows[] = {
        {"C:\\Game\\missing.bin", ERROR_FILE_NOT_FOUND},
        {"C:\\Missing\\file.bin", ERROR_PATH_NOT_FOUND},
        {"C:\\Game\\file.bin\\below", ERROR_PATH_NOT_FOUND},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.given);
        char spelled[MAX_PATH] = "untouched";
        SetLastError(0);
        EXPECT_EQ(GetLongPathNameA(row.given, spelled, sizeof spelled), 0u);
        EXPECT_EQ(GetLastError(), row.error);
        EXPECT_STREQ(spelled, "untouched");
    }
}

TEST_F(ShellFolders, LongPathsTellTheSizeTheyNeed) {
    machine.writeFile("drive_c/Game/file.bin", "");
    const char* spelledForm = "C:\\Game\\file.bin";
    char small[8] = "keep";
    EXPECT_EQ(GetLongPathNameA("c:\\game\\FILE.bin", small, sizeof small), strlen(spelledForm) + 1);
    EXPECT_STREQ(small, "keep");
    char exact[17];
    EXPECT_EQ(GetLongPathNameA("c:\\game\\FILE.bin", exact, sizeof exact), strlen(spelledForm));
    EXPECT_STREQ(exact, "c:\\Game\\file.bin");
    // In place, as Windows allows.
    char path[MAX_PATH] = "C:\\GAME";
    EXPECT_EQ(GetLongPathNameA(path, path, sizeof path), 7u);
    EXPECT_STREQ(path, "C:\\Game");
}

// ---- MultiByteToWideChar ----------------------------------------------------------------------

TEST(WideTexts, ComeFromCodePage932AndUtf8) {
    struct Row {
        const char* name;
        UINT codePage;
        std::string narrow;
        std::u16string wide;
    };
    const Row rows[] = {
        {"ascii", CP_ACP, "C:\\a.lnk", u"C:\\a.lnk"},
        {"double-byte with a backslash byte", CP_ACP, "C:\\表\\ソフト.lnk", u"C:\\表\\ソフト.lnk"},
        {"half-width katakana", CP_OEMCP, "ｷｬﾝｾﾙ", u"ｷｬﾝｾﾙ"},
        {"utf-8", CP_UTF8, utf8(u8"データ"), u"データ"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        WCHAR wide[MAX_PATH];
        int units = MultiByteToWideChar(row.codePage, MB_PRECOMPOSED, row.narrow.c_str(), -1, wide,
                                        MAX_PATH);
        EXPECT_EQ(units, static_cast<int>(row.wide.size()) + 1);
        EXPECT_EQ(std::u16string(wide), row.wide);
        EXPECT_EQ(MultiByteToWideChar(row.codePage, 0, row.narrow.c_str(), -1, nullptr, 0), units);
    }
}

TEST(WideTexts, KeepToTheirBufferAndLength) {
    WCHAR wide[4] = {u'x', u'x', u'x', u'x'};
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abcdef", -1, wide, 4), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    // A given length takes no terminator.
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abcdef", 2, wide, 4), 2);
    EXPECT_EQ(wide[0], u'a');
    EXPECT_EQ(wide[1], u'b');
    EXPECT_EQ(wide[2], u'x');
}

TEST(WideTexts, BytesThatAreNoCharacter) {
    const char broken[] = {'a', static_cast<char>(0x81), '\0'};  // a lead byte without its partner
    WCHAR wide[8];
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, broken, 2, wide, 8), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, broken, 2, wide, 8), 2);
    EXPECT_EQ(wide[0], u'a');
    EXPECT_EQ(wide[1], u'\uFFFD');
    EXPECT_EQ(MultiByteToWideChar(12345, 0, "a", -1, wide, 8), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

}  // namespace
