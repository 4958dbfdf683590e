// The engine record: its defaults, its lists and the search for the install medium.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/tests/engine_fixture.h"

namespace {

TEST(SetupEngineRecord, StartsWithItsDefaults) {
    SetupEngine engine;
    EXPECT_STREQ(engine.installBase, "c:\\Program Files");
    EXPECT_EQ(engine.endIndex, 9999);
    EXPECT_EQ(engine.volumeLabelCount, 1);
    for (uint8_t flag : engine.selected) EXPECT_EQ(flag, 1);
    EXPECT_EQ(engine.installFiles, nullptr);
    EXPECT_EQ(engine.installKey, nullptr);
    EXPECT_EQ(engine.cancelState, CancelState::None);
    EXPECT_STREQ(engine.sourceDir, "");
    EXPECT_EQ(engine.installed, 0);
}

TEST(SetupEngineRecord, IsCopyingOnlyForOne) {
    SetupEngine engine;
    for (int32_t value : {0, 1, 2, -1}) {
        engine.copying = value;
        EXPECT_EQ(engine.isCopying(), value == 1) << value;
    }
}

TEST(StringLists, CopyKeepsOrderAndEndsWithAnEmptySlot) {
    SetupEngine engine;
    const char thirtyOne[] = "abcdefghijklmnopqrstuvwxyz01234";
    const char thirtyTwo[] = "abcdefghijklmnopqrstuvwxyz012345";
    const char* config[] = {"first", thirtyOne, thirtyTwo, nullptr};
    StringList list = engine.copyStringList(nullptr, config);
    EXPECT_STREQ(list[0], "first");
    EXPECT_STREQ(list[1], thirtyOne);
    EXPECT_EQ(list[1][31], '\0');
    EXPECT_STREQ(list[2], thirtyOne);  // cut to the slot
    EXPECT_STREQ(list[3], "");

    const char* empty[] = {nullptr};
    list = engine.copyStringList(list, empty);  // frees the old list
    EXPECT_STREQ(list[0], "");
    freeStringList(list);
    freeStringList(nullptr);
}

TEST_F(EngineTest, InitialiseCopiesTheListsWithTheExecutableFirst) {
    initialise();
    EXPECT_STREQ(engine.installFiles[0], "velmorant.exe");
    size_t count = 0;
    while (engine.installFiles[count][0]) ++count;
    EXPECT_EQ(count, 18u);
    EXPECT_STREQ(engine.updateFiles[0], "zom_2.pac");
    EXPECT_STREQ(engine.volumeLabels[0], "VELMORANT");
    EXPECT_STREQ(engine.volumeLabels[1], "");
    EXPECT_STREQ(engine.makerName, "VANTRE");
    EXPECT_STREQ(engine.productTitle, productTitle);
    EXPECT_STREQ(engine.registryKeyText, "Software\\VANTRE\\ヴェルモラント");
    EXPECT_EQ(engine.requiredMegabytes, 3570u);
}

// Without a disc the source is the product folder beside the program, wherever that is.
TEST_F(EngineTest, WithoutADiscTheSourceIsBesideTheProgram) {
    initialise();
    EXPECT_EQ(engine.sourceDir, testbed::programFolder() + "\\VELMORANT");
    EXPECT_EQ(engine.moduleDir, testbed::programFolder());
}

#ifndef _WIN32
// Each row is a machine: its drives, the files on them, and where the source is found.
struct SourceCase {
    const char* name;
    const char* drives;
    std::vector<const char*> files;
    const char* sourceDir;
};

const char kFixedC[] = "c: fixed \"\" drive_c\n";
const char kProgramSource[] = "C:\\Game\\VELMORANT";

const SourceCase kSourceCases[] = {
    {"no CD-ROM drive", "", {}, kProgramSource},
    {"matching disc in e:", "e: cdrom VELMORANT disc_e\n", {"disc_e/VELMORANT/velmorant.exe"},
     "e:\\VELMORANT"},
    {"names on the disc in another case", "e: cdrom VELMORANT disc_e\n",
     {"disc_e/velmorant/VELMORANT.EXE"}, "e:\\VELMORANT"},
    {"label in lowercase", "e: cdrom velmorant disc_e\n", {"disc_e/VELMORANT/velmorant.exe"},
     kProgramSource},
    {"fixed disk with the label", "e: fixed VELMORANT disc_e\n",
     {"disc_e/VELMORANT/velmorant.exe"}, kProgramSource},
    {"matching disc without the probe file", "e: cdrom VELMORANT disc_e\n",
     {"disc_e/VELMORANT/readme.txt"}, kProgramSource},
    {"probe missing in e:, present in g:", "e: cdrom VELMORANT disc_e\ng: cdrom VELMORANT disc_g\n",
     {"disc_e/VELMORANT/readme.txt", "disc_g/VELMORANT/velmorant.exe"}, "g:\\VELMORANT"},
    {"two matching discs", "g: cdrom VELMORANT disc_g\ne: cdrom VELMORANT disc_e\n",
     {"disc_e/VELMORANT/velmorant.exe", "disc_g/VELMORANT/velmorant.exe"}, "e:\\VELMORANT"},
    {"discs in a: and b: are never examined", "a: cdrom VELMORANT disc_a\nb: cdrom VELMORANT disc_b\n",
     {"disc_a/VELMORANT/velmorant.exe", "disc_b/VELMORANT/velmorant.exe"}, kProgramSource},
    {"z: is the last drive examined", "z: cdrom VELMORANT disc_z\n",
     {"disc_z/VELMORANT/velmorant.exe"}, "z:\\VELMORANT"},
    {"empty drive: no disc to read", "e: cdrom VELMORANT disc_e\n", {}, kProgramSource},
    {"unreadable volume takes the label left by the drive before it",
     "d: cdrom VELMORANT disc_d\ne: cdrom - disc_e\n",
     {"disc_d/readme.txt", "disc_e/VELMORANT/velmorant.exe"},
     "e:\\VELMORANT"},
    {"unreadable volume after another label", "d: cdrom OTHER disc_d\ne: cdrom - disc_e\n",
     {"disc_d/readme.txt", "disc_e/VELMORANT/velmorant.exe"}, kProgramSource},
    {"a fixed drive's label is left for the next drive too",
     "d: fixed VELMORANT disc_d\ne: cdrom - disc_e\n",
     {"disc_d/readme.txt", "disc_e/VELMORANT/velmorant.exe"},
     "e:\\VELMORANT"},
};

TEST_F(StandinOnlyEngineTest, SourceSearch) {
    for (const SourceCase& row : kSourceCases) {
        SCOPED_TRACE(row.name);
        standin::TestMachine rowMachine;
        standin::setModulePath(rowMachine.path("drive_c/Game/update.exe"));
        rowMachine.writeFile("drives", std::string(kFixedC) + row.drives);
        rowMachine.writeFile("drive_c/Game/update.exe", "");
        for (const char* file : row.files) rowMachine.writeFile(file, "probe");
        SetupEngine fresh;
        fresh.initialise(startupInstallList(), updateFiles, volumeLabels, nullptr, nullptr,
                         makerName, productTitle, productFolder, requiredMegabytesSetting);
        EXPECT_STREQ(fresh.sourceDir, row.sourceDir);
        bool fellBack = strcmp(row.sourceDir, kProgramSource) == 0;
        EXPECT_STREQ(fresh.moduleDir, fellBack ? "C:\\Game" : "");
        fresh.release();
    }
}

TEST_F(StandinOnlyEngineTest, OnlyTheFirstLabelSlotIsCompared) {
    machine.writeFile("drives", std::string(kFixedC) + "e: cdrom SECOND disc_e\n");
    machine.writeFile("disc_e/VELMORANT/velmorant.exe", "");
    const char* labels[] = {"FIRST", "SECOND", nullptr};
    engine.initialise(startupInstallList(), updateFiles, labels, nullptr, nullptr, makerName,
                      productTitle, productFolder, 0);
    EXPECT_STREQ(engine.sourceDir, kProgramSource);
}

TEST_F(StandinOnlyEngineTest, AnEmptyLabelListMatchesAnEmptyLabel) {
    machine.writeFile("drives", std::string(kFixedC) + "e: cdrom \"\" disc_e\n");
    machine.writeFile("disc_e/VELMORANT/velmorant.exe", "");
    const char* labels[] = {nullptr};
    engine.initialise(startupInstallList(), updateFiles, labels, nullptr, nullptr, makerName,
                      productTitle, productFolder, 0);
    EXPECT_STREQ(engine.sourceDir, "e:\\VELMORANT");
}

// The program's folder is cut at its last separator, never at the second byte of a character.
TEST_F(StandinOnlyEngineTest, ProgramFolderWithDoubleByteNames) {
    standin::setModulePath(machine.path(standin::utf8(u8"drive_c/表示/ソ.exe")));
    initialise();
    EXPECT_STREQ(engine.moduleDir, "C:\\表示");
    EXPECT_STREQ(engine.sourceDir, "C:\\表示\\VELMORANT");
}

TEST_F(StandinOnlyEngineTest, AProgramFolderTooLongForTheSourceLeavesItEmpty) {
    std::string folder = "drive_c/" + std::string(125, 'a') + "/" + std::string(125, 'b');
    standin::setModulePath(machine.path(folder + "/u"));
    initialise();
    EXPECT_EQ(strlen(engine.moduleDir), 254u);
    EXPECT_STREQ(engine.sourceDir, "");
}

TEST_F(StandinOnlyEngineTest, AProgramPathTooLongForTheBufferIsNotCut) {
    std::string folder = "drive_c/" + std::string(200, 'a') + "/" + std::string(100, 'b');
    standin::setModulePath(machine.path(folder + "/update.exe"));
    initialise();
    EXPECT_STREQ(engine.moduleDir, "");
    EXPECT_STREQ(engine.sourceDir, "");
}

TEST_F(StandinOnlyEngineTest, ClassifyDriveMapsEveryType) {
    machine.writeFile("drives",
                      "c: fixed \"\" drive_c\nd: cdrom X d\ne: removable X e\nf: ramdisk X f\n"
                      "g: remote X g\n");
    struct Row {
        const char* root;
        DriveClass expected;
    } rows[] = {{"c:\\", DriveFixed},     {"d:\\", DriveCdRom},   {"e:\\", DriveRemovable},
                {"f:\\", DriveRamDisk},   {"g:\\", DriveNetwork}, {"h:\\", DriveNone}};
    for (const Row& row : rows) {
        char label[MAX_PATH] = "kept";
        EXPECT_EQ(engine.classifyDrive(row.root, label, sizeof label), row.expected) << row.root;
    }
}
#endif

TEST_F(EngineTest, ReleaseWithoutListsStillClosesTheKey) {
    ASSERT_TRUE(engine.createInstallKey(registryKey));
    engine.installFiles = engine.copyStringList(nullptr, updateFiles);
    engine.release();
    engine.installFiles = nullptr;  // release frees the lists but leaves the fields
    EXPECT_EQ(engine.installKey, nullptr);
}

}  // namespace
