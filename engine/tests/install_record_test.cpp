// The install record through the registry (the stand-in's, or Wine's): its values, byte counts
// and key handling.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/tests/engine_fixture.h"

namespace {

// The registry keys this process holds open: the stand-in counts them; Windows does not tell.
void expectOpenKeys([[maybe_unused]] size_t count) {
#ifndef _WIN32
    EXPECT_EQ(standin::openRegistryKeys(), count);
#endif
}

// The stored bytes and type of one value of the product's key.
struct StoredValue {
    bool found = false;
    DWORD type = REG_NONE;
    std::string bytes;
};

StoredValue storedValue(const char* name) {
    StoredValue value;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, registryKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return value;
    }
    char data[1024];
    DWORD size = sizeof data;
    if (RegQueryValueExA(key, name, nullptr, &value.type, reinterpret_cast<BYTE*>(data), &size) ==
        ERROR_SUCCESS) {
        value.found = true;
        value.bytes.assign(data, size);
    }
    RegCloseKey(key);
    return value;
}

void storeValue(const char* name, DWORD type, const std::string& bytes) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, registryKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                             static_cast<DWORD>(bytes.size())),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

bool keyExists(const char* path) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

std::string text(const char* s) { return std::string(s, strlen(s) + 1); }
std::string dword(uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); }

TEST_F(EngineTest, WriteStoresTextsWithTwoZeroBytesAndTheTypeAsFourBytes) {
    strcpy(engine.installDir, "c:\\Program Files\\VANTRE\\VELMORANT");
    strcpy(engine.sourceDir, "q:\\VELMORANT");
    engine.installType = 2;
    ASSERT_TRUE(engine.writeInstallRecord());
    EXPECT_EQ(engine.installKey, nullptr);
    expectOpenKeys(0);

    StoredValue dir = storedValue("Dir");
    EXPECT_EQ(dir.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(dir.bytes, std::string("c:\\Program Files\\VANTRE\\VELMORANT") + '\0' + '\0');
    StoredValue cd = storedValue("CD");
    EXPECT_EQ(cd.bytes, std::string("q:\\VELMORANT") + '\0' + '\0');
    StoredValue type = storedValue("InstType");
    EXPECT_EQ(type.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(type.bytes, std::string("\x02\x00\x00\x00", 4));
}

TEST_F(EngineTest, WriteOfTextsAtTheEdgesOfTheField) {
    engine.installDir[0] = '\0';
    memset(engine.sourceDir, 'X', 259);
    engine.sourceDir[259] = '\0';
    ASSERT_TRUE(engine.writeInstallRecord());
    EXPECT_EQ(storedValue("Dir").bytes, std::string(2, '\0'));
    // 259 bytes of text, then two zero bytes: nothing from beyond the field.
    EXPECT_EQ(storedValue("CD").bytes, std::string(259, 'X') + '\0' + '\0');
}

TEST_F(EngineTest, ReadTakesAllThreeValues) {
    storeValue("Dir", REG_SZ, text("d:\\Games\\VANTRE\\VELMORANT"));
    storeValue("CD", REG_SZ, text("q:\\VELMORANT"));
    storeValue("InstType", REG_DWORD, dword(1));
    ASSERT_TRUE(engine.readInstallRecord());
    EXPECT_STREQ(engine.installDir, "d:\\Games\\VANTRE\\VELMORANT");
    EXPECT_STREQ(engine.sourceDir, "q:\\VELMORANT");
    EXPECT_EQ(engine.installType, 1u);
    EXPECT_EQ(engine.installKey, nullptr);
    expectOpenKeys(0);
}

#ifndef _WIN32
TEST_F(StandinOnlyEngineTest, InitialiseWithARecordTakesItWhateverTheSearchFound) {
    machine.writeFile("drives", "c: fixed \"\" drive_c\ne: cdrom VELMORANT disc_e\n");
    machine.writeFile("disc_e/VELMORANT/velmorant.exe", "");
    storeValue("Dir", REG_SZ, text("d:\\Games\\VANTRE\\VELMORANT"));
    storeValue("CD", REG_SZ, text("f:\\VELMORANT"));
    storeValue("InstType", REG_DWORD, dword(2));
    initialise();
    EXPECT_EQ(engine.installed, 1);
    EXPECT_STREQ(engine.sourceDir, "f:\\VELMORANT");
    EXPECT_STREQ(engine.installDir, "d:\\Games\\VANTRE\\VELMORANT");
    EXPECT_EQ(engine.installType, 2u);
    EXPECT_EQ(engine.installKey, nullptr);
    expectOpenKeys(0);
}
#endif

TEST_F(EngineTest, InitialiseWithoutARecordIsNotInstalled) {
    initialise();
    EXPECT_EQ(engine.installed, 0);
    EXPECT_STREQ(engine.installDir, "");
    EXPECT_EQ(engine.installKey, nullptr);
    expectOpenKeys(0);
}

TEST_F(EngineTest, ARecordWithoutInstTypeKeepsTheValuesBeforeIt) {
    storeValue("Dir", REG_SZ, text("d:\\Games\\VANTRE\\VELMORANT"));
    storeValue("CD", REG_SZ, text("q:\\VELMORANT"));
    initialise();
    EXPECT_EQ(engine.installed, 0);
    EXPECT_STREQ(engine.installDir, "d:\\Games\\VANTRE\\VELMORANT");
    EXPECT_STREQ(engine.sourceDir, "q:\\VELMORANT");
    EXPECT_EQ(engine.installType, 0u);
    EXPECT_EQ(engine.installKey, nullptr);
    expectOpenKeys(0);
}

// Each row stores one value over a complete record and says whether the read still succeeds.
struct ValueCase {
    const char* name;
    const char* value;
    DWORD type;
    std::string bytes;
    bool reads;
    const char* installDir;  // what the field holds afterwards, when the row looks at Dir
};

TEST_F(EngineTest, ReadOfStoredValuesOfEveryShape) {
    const ValueCase rows[] = {
        {"Dir of 259 bytes", "Dir", REG_SZ, std::string(259, 'd') + '\0', true, nullptr},
        {"Dir of 260 bytes with its terminator over the field", "Dir", REG_SZ,
         std::string(260, 'd') + '\0', false, ""},
        {"Dir without a terminator is terminated", "Dir", REG_SZ, "c:\\Games", true, "c:\\Games"},
        {"Dir of 260 bytes without a terminator", "Dir", REG_SZ, std::string(260, 'd'), false, ""},
        {"Dir stored as binary that fits", "Dir", REG_BINARY, text("c:\\Bin"), true, "c:\\Bin"},
        {"Dir as an empty value", "Dir", REG_SZ, "", true, ""},
        {"InstType stored as a text that fits", "InstType", REG_SZ, std::string("2\0", 2), true,
         nullptr},
        {"InstType longer than four bytes", "InstType", REG_BINARY, std::string(8, '\1'), false,
         nullptr},
    };
    for (const ValueCase& row : rows) {
        SCOPED_TRACE(row.name);
        TestMachine rowMachine;
        storeValue("Dir", REG_SZ, text("c:\\Dir"));
        storeValue("CD", REG_SZ, text("q:\\VELMORANT"));
        storeValue("InstType", REG_DWORD, dword(1));
        storeValue(row.value, row.type, row.bytes);
        SetupEngine fresh;
        EXPECT_EQ(fresh.readInstallRecord(), row.reads);
        EXPECT_EQ(fresh.installKey, nullptr);
        expectOpenKeys(0);
        EXPECT_LT(strlen(fresh.installDir), sizeof fresh.installDir);
        if (row.installDir) {
            EXPECT_STREQ(fresh.installDir, row.installDir);
        }
    }
}

TEST_F(EngineTest, DeleteRemovesOnlyTheProductKey) {
    EXPECT_FALSE(engine.deleteInstallRecord(registryKey));
    ASSERT_TRUE(engine.writeInstallRecord());
    EXPECT_TRUE(engine.deleteInstallRecord(registryKey));
    EXPECT_FALSE(keyExists(registryKey));
    EXPECT_TRUE(keyExists("SOFTWARE\\VANTRE"));
    EXPECT_FALSE(engine.deleteInstallRecord(registryKey));
}

#ifndef _WIN32
TEST_F(StandinOnlyEngineTest, AFailedWriteClosesTheKeyAndKeepsWhatWasWritten) {
    machine.writeFile("settings", "fail RegSetValueExA 5\n");
    strcpy(engine.installDir, "c:\\x");
    EXPECT_FALSE(engine.writeInstallRecord());
    EXPECT_EQ(engine.installKey, nullptr);
    expectOpenKeys(0);
    EXPECT_TRUE(keyExists(registryKey));  // the caller deletes it
}
#endif

TEST_F(EngineTest, OpeningAKeyClosesTheOneOpenBefore) {
    ASSERT_TRUE(engine.createInstallKey(registryKey));
    ASSERT_TRUE(engine.openInstallKey(registryKey));
    expectOpenKeys(1);
    engine.closeInstallKey();
    EXPECT_EQ(engine.installKey, nullptr);
    expectOpenKeys(0);
    EXPECT_FALSE(engine.openInstallKey("SOFTWARE\\VANTRE\\missing"));
    EXPECT_EQ(engine.installKey, nullptr);
    expectOpenKeys(0);
}

}  // namespace
