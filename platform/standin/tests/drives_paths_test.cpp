// The stand-in's drives file, path translation, current directory and program path.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <string>

#include "platform/kernel.h"
#include "platform/standin/paths.h"
#include "platform/standin/test_machine.h"

namespace {

std::string hostPath(const char* windowsPath, DWORD* error = nullptr) {
    std::string host;
    DWORD ignored = 0;
    if (!standin::hostPathOf(windowsPath, host, error ? error : &ignored)) return "<fails>";
    return host;
}

std::string captureStderr(void (*action)()) {
    testing::internal::CaptureStderr();
    action();
    return testing::internal::GetCapturedStderr();
}

TEST(MachineRoot, IsCreatedWithTheDefaultDrives) {
    standin::TestMachine machine;
    EXPECT_EQ(GetDriveTypeA("c:\\"), static_cast<UINT>(DRIVE_FIXED));
    EXPECT_NE(machine.readFile("drives").find("c: fixed \"\" drive_c"), std::string::npos);
    struct stat info;
    EXPECT_EQ(stat(machine.path("drive_c").c_str(), &info), 0);
    EXPECT_EQ(GetDriveTypeA("z:\\"), static_cast<UINT>(DRIVE_FIXED));
    EXPECT_EQ(hostPath("z:\\etc"), "/etc");
}

TEST(Drives, TypesAndLabels) {
    standin::TestMachine machine;
    machine.writeFile("drives",
                      std::string("# a comment\n"
                      "c: fixed \"\" drive_c\n"
                      "\n"
                      "D: cdrom VELMORANT disc\n"
                      "e: removable - stick\n"
                      "f: remote \"TWO WORDS\" /tmp\n") +
                          standin::utf8(u8"g: ramdisk ラベル ram\n"));
    machine.writeFile("drive_c/x", "");
    machine.writeFile("disc/x", "");
    machine.writeFile("stick/x", "");
    machine.writeFile("ram/x", "");
    struct Row {
        const char* root;
        UINT type;
        bool readable;
        const char* label;
        const char* fileSystem;
    } rows[] = {
        {"c:\\", DRIVE_FIXED, true, "", "NTFS"},
        {"d:\\", DRIVE_CDROM, true, "VELMORANT", "CDFS"},
        {"D:", DRIVE_CDROM, true, "VELMORANT", "CDFS"},
        {"e:\\", DRIVE_REMOVABLE, false, nullptr, nullptr},
        {"f:\\", DRIVE_REMOTE, true, "TWO WORDS", "NTFS"},
        {"g:\\", DRIVE_RAMDISK, true, "ラベル", "FAT32"},
        {"h:\\", DRIVE_NO_ROOT_DIR, false, nullptr, nullptr},
        {"c:\\Windows", DRIVE_NO_ROOT_DIR, false, nullptr, nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.root);
        EXPECT_EQ(GetDriveTypeA(row.root), row.type);
        char label[256] = "untouched";
        char fileSystem[16] = "";
        DWORD serial = 0;
        BOOL read = GetVolumeInformationA(row.root, label, sizeof label, &serial, nullptr, nullptr,
                                          fileSystem, sizeof fileSystem);
        EXPECT_EQ(read != FALSE, row.readable);
        if (row.readable) {
            EXPECT_STREQ(label, row.label);
            EXPECT_STREQ(fileSystem, row.fileSystem);
        }
    }
}

TEST(Drives, ACdRomWithoutItsFolderHasNoDisc) {
    standin::TestMachine machine;
    machine.writeFile("drives", "c: fixed \"\" drive_c\ne: cdrom VELMORANT missing\n");
    char label[32];
    EXPECT_EQ(GetDriveTypeA("e:\\"), static_cast<UINT>(DRIVE_CDROM));
    EXPECT_FALSE(GetVolumeInformationA("e:\\", label, sizeof label, nullptr, nullptr, nullptr,
                                       nullptr, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_READY));
}

TEST(Drives, ALabelLongerThanTheBufferFails) {
    standin::TestMachine machine;
    machine.writeFile("drives", "c: fixed LONGLABEL drive_c\n");
    char label[4];
    EXPECT_FALSE(GetVolumeInformationA("c:\\", label, sizeof label, nullptr, nullptr, nullptr,
                                       nullptr, 0));
}

TEST(Drives, ABadLineIsReportedWithItsFileAndNumber) {
    const char* badLines[] = {
        "c: fixed \"\" drive_c\nq: floppy X q\n",
        "c: fixed \"\" drive_c\nq: cdrom X\n",
        "c: fixed \"\" drive_c\nqq cdrom X q\n",
        "c: fixed \"\" drive_c\nc: cdrom X q\n",
    };
    for (const char* drives : badLines) {
        SCOPED_TRACE(drives);
        standin::TestMachine machine;
        machine.writeFile("drives", drives);
        std::string message = captureStderr([] { EXPECT_EQ(GetDriveTypeA("c:\\"), 0u); });
        EXPECT_NE(message.find(machine.path("drives") + ":2:"), std::string::npos) << message;
    }
}

TEST(Paths, TranslateToHostPaths) {
    standin::TestMachine machine;
    machine.writeFile("drive_c/Program Files/VANTRE/Game.exe", "");
    machine.writeFile(standin::utf8(u8"drive_c/ソフト/表/能"), "");
    std::string c = machine.path("drive_c");
    struct Row {
        const char* windows;
        std::string host;
    } rows[] = {
        {"c:\\Program Files\\VANTRE\\Game.exe", c + "/Program Files/VANTRE/Game.exe"},
        {"C:\\PROGRAM FILES\\vantre\\game.EXE", c + "/Program Files/VANTRE/Game.exe"},
        {"c:/Program Files/VANTRE/", c + "/Program Files/VANTRE"},
        {"c:\\Program Files\\new\\file.txt", c + "/Program Files/new/file.txt"},
        {"c:\\a\\..\\Program Files\\.\\VANTRE", c + "/Program Files/VANTRE"},
        {"c:\\..\\..", c},
        {"c:\\", c},
        // Second bytes 0x5C of ソ, 表 and 能 are no separators.
        {"c:\\ソフト\\表\\能", c + standin::utf8(u8"/ソフト/表/能")},
        {"q:\\anything", "<fails>"},
        {"\\\\server\\share", "<fails>"},
        {"c:\\bad|name", "<fails>"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.windows);
        EXPECT_EQ(hostPath(row.windows), row.host);
    }
}

TEST(Paths, RelativePathsFollowTheCurrentDirectory) {
    standin::TestMachine machine;
    machine.writeFile("drive_c/Work/Sub/file", "");
    std::string c = machine.path("drive_c");
    ASSERT_TRUE(SetCurrentDirectoryA("c:\\work"));
    char current[MAX_PATH];
    EXPECT_EQ(GetCurrentDirectoryA(sizeof current, current), 7u);
    EXPECT_STREQ(current, "C:\\work");
    EXPECT_EQ(hostPath("sub\\FILE"), c + "/Work/Sub/file");
    EXPECT_EQ(hostPath("..\\Work"), c + "/Work");
    EXPECT_EQ(hostPath("\\Work"), c + "/Work");
    EXPECT_EQ(hostPath("c:sub"), c + "/Work/Sub");
    EXPECT_FALSE(SetCurrentDirectoryA("c:\\missing"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    char small[4];
    EXPECT_EQ(GetCurrentDirectoryA(sizeof small, small), 8u);
    ASSERT_TRUE(SetCurrentDirectoryA("c:\\"));
}

TEST(Paths, HostPathsInWindowsForm) {
    standin::TestMachine machine;
    machine.writeFile("drives", "c: fixed \"\" drive_c\nd: fixed \"\" drive_c/inner\nz: fixed \"\" /\n");
    struct Row {
        std::string host;
        const char* windows;
    } rows[] = {
        {machine.path("drive_c/Game/update.exe"), "C:\\Game\\update.exe"},
        {machine.path("drive_c/inner/x"), "D:\\x"},
        {machine.path("drive_c/innerx"), "C:\\innerx"},
        {machine.path("drive_c"), "C:\\"},
        {"/usr/bin", "Z:\\usr\\bin"},
        {machine.path(standin::utf8(u8"drive_c/ソフト")), "C:\\ソフト"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.host);
        std::string windows;
        ASSERT_TRUE(standin::windowsPathOf(row.host, windows));
        EXPECT_EQ(windows, row.windows);
    }
}

TEST(ModulePath, IsTheProgramInWindowsForm) {
    standin::TestMachine machine;
    standin::setModulePath(machine.path("drive_c/Game/update.exe"));
    char path[MAX_PATH];
    EXPECT_EQ(GetModuleFileNameA(nullptr, path, sizeof path), 18u);
    EXPECT_STREQ(path, "C:\\Game\\update.exe");
    char small[8];
    EXPECT_EQ(GetModuleFileNameA(nullptr, small, sizeof small), 8u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_STREQ(small, "C:\\Game");
    standin::setModulePath("");
    ASSERT_GT(GetModuleFileNameA(nullptr, path, sizeof path), 0u);
    EXPECT_EQ(strncmp(path, "Z:\\", 3), 0) << path;
}

}  // namespace
