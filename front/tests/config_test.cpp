// The product tables: their texts are code page 932 bytes and their lists end where they should.
#include <gtest/gtest.h>

#include <string>

#include "engine/setup_engine.h"
#include "front/config.h"

namespace {

std::string hex(const char* text) {
    std::string out;
    char byte[4];
    for (const char* p = text; *p; ++p) {
        snprintf(byte, sizeof byte, "%s%02X", out.empty() ? "" : " ", static_cast<unsigned char>(*p));
        out += byte;
    }
    return out;
}

size_t countEntries(const char* const* list) {
    size_t count = 0;
    while (list[count]) ++count;
    return count;
}

TEST(ProductTables, TextsAreCodePage932Bytes) {
    struct Row {
        const char* name;
        const char* text;
        const char* bytes;
    } rows[] = {
        {"productTitle", productTitle, "83 94 83 46 83 8B 83 82 83 89 83 93 83 67"},
        {"windowClassName", windowClassName,
         "83 94 83 46 83 8B 83 82 83 89 83 93 83 67 81 40 83 5A 83 62 83 67 83 41 83 62 83 76"},
        {"registryKey", registryKey,
         "53 4F 46 54 57 41 52 45 5C 56 41 4E 54 52 45 5C 83 94 83 46 83 8B 83 82 83 89 83 93 83 "
         "67"},
        {"makerName", makerName, "56 41 4E 54 52 45"},
        {"productExe", productExe, "76 65 6C 6D 6F 72 61 6E 74 2E 65 78 65"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(hex(row.text), row.bytes);
    }
}

TEST(ProductTables, ListsEndAtTheirNullEntry) {
    EXPECT_EQ(countEntries(updateFiles), 10u);
    EXPECT_EQ(countEntries(installFiles), 18u);
    EXPECT_EQ(countEntries(volumeLabels), 1u);
    EXPECT_STREQ(volumeLabels[0], productFolder);
    EXPECT_STREQ(installFiles[0], "ExecuteProgram");
    EXPECT_STREQ(installFiles[10], "readme.txt");
    EXPECT_STREQ(installFiles[11], "uninst.exe");
    EXPECT_STREQ(updateFiles[9], "wix_6.pac");
}

TEST(ProductTables, EveryNameFitsAListSlotAndTheSelectionFlags) {
    for (const char* const* list : {updateFiles, installFiles, volumeLabels}) {
        for (size_t i = 0; list[i]; ++i) {
            SCOPED_TRACE(list[i]);
            EXPECT_LT(strlen(list[i]), kStringSlotSize);
        }
    }
    EXPECT_LE(countEntries(installFiles), kSelectableSlots);
}

}  // namespace
