// The stand-in registry: keys, values and handles as the Windows calls define them, its SQLite
// file shared between processes, and the reg tool on the command line.
//
// Narrow literals are code page 932 at run time (ア is 83 41); u8 literals are the UTF-8 a shell
// hands to the reg tool.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/registry.h"
#include "platform/standin/test_machine.h"

namespace {

using namespace std::string_literals;

// ---- Helpers.

struct OpenKey {
    OpenKey() = default;
    OpenKey(OpenKey&& other) noexcept : handle(std::exchange(other.handle, nullptr)) {}
    OpenKey& operator=(OpenKey&& other) noexcept {
        std::swap(handle, other.handle);
        return *this;
    }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;
    ~OpenKey() {
        if (handle) RegCloseKey(handle);
    }

    HKEY handle = nullptr;
};

LONG createKey(HKEY base, const char* path, OpenKey& key, DWORD* disposition = nullptr) {
    OpenKey created;
    LONG code = RegCreateKeyExA(base, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                nullptr, &created.handle, disposition);
    key = std::move(created);
    return code;
}

OpenKey createKey(HKEY base, const char* path) {
    OpenKey key;
    EXPECT_EQ(createKey(base, path, key), ERROR_SUCCESS) << path;
    return key;
}

LONG openKey(HKEY base, const char* path, OpenKey& key) {
    OpenKey opened;
    LONG code = RegOpenKeyExA(base, path, 0, KEY_READ, &opened.handle);
    key = std::move(opened);
    return code;
}

bool keyExists(const char* path) {
    OpenKey key;
    return openKey(HKEY_LOCAL_MACHINE, path, key) == ERROR_SUCCESS;
}

LONG setValue(HKEY key, const char* name, DWORD type, std::string_view bytes) {
    return RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                          static_cast<DWORD>(bytes.size()));
}

struct Value {
    LONG code = ERROR_SUCCESS;
    DWORD type = REG_NONE;
    std::string bytes;
};

Value readValue(HKEY key, const char* name) {
    Value value;
    DWORD size = 0;
    value.code = RegQueryValueExA(key, name, nullptr, &value.type, nullptr, &size);
    if (value.code != ERROR_SUCCESS) return value;
    value.bytes.assign(size, '\0');
    value.code = RegQueryValueExA(key, name, nullptr, &value.type,
                                  reinterpret_cast<BYTE*>(value.bytes.data()), &size);
    value.bytes.resize(size);
    return value;
}

Value readValue(const char* keyPath, const char* name) {
    OpenKey key;
    Value value;
    value.code = openKey(HKEY_LOCAL_MACHINE, keyPath, key);
    return value.code == ERROR_SUCCESS ? readValue(key.handle, name) : value;
}

std::vector<std::string> subkeyNames(HKEY key) {
    std::vector<std::string> names;
    for (DWORD index = 0;; ++index) {
        char name[256];
        DWORD size = sizeof name;
        LONG code = RegEnumKeyExA(key, index, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (code != ERROR_SUCCESS) {
            EXPECT_EQ(code, ERROR_NO_MORE_ITEMS);
            return names;
        }
        names.emplace_back(name, size);
    }
}

std::vector<std::string> valueNames(HKEY key) {
    std::vector<std::string> names;
    for (DWORD index = 0;; ++index) {
        char name[256];
        DWORD size = sizeof name;
        LONG code = RegEnumValueA(key, index, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (code != ERROR_SUCCESS) {
            EXPECT_EQ(code, ERROR_NO_MORE_ITEMS);
            return names;
        }
        names.emplace_back(name, size);
    }
}

std::string hex(std::string_view bytes) {
    std::string text;
    char digits[4];
    for (char byte : bytes) {
        snprintf(digits, sizeof digits, "%02X", static_cast<unsigned char>(byte));
        text += digits;
    }
    return text;
}

std::string utf8(std::u8string_view text) { return std::string(text.begin(), text.end()); }

HKEY handleValue(uintptr_t value) { return reinterpret_cast<HKEY>(value); }

// Standard error of this process, into a file, for as long as the object lives or until read.
struct StderrCapture {
    explicit StderrCapture(std::string path) : path(std::move(path)) {
        fflush(stderr);
        saved = dup(2);
        int file = open(this->path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(file, 2);
        close(file);
    }
    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;
    ~StderrCapture() { restore(); }

    std::string text() {
        restore();
        std::ifstream file(path, std::ios::binary);
        std::ostringstream content;
        content << file.rdbuf();
        return content.str();
    }
    void restore() {
        if (saved < 0) return;
        fflush(stderr);
        dup2(saved, 2);
        close(saved);
        saved = -1;
    }

    std::string path;
    int saved = -1;
};

struct RegRun {
    int exitCode = -1;  // -1 when the tool did not exit normally
    std::string out;
    std::string err;
};

// Runs the reg tool as its own process on the current machine root.
RegRun runReg(const standin::TestMachine& machine, const std::vector<std::string>& arguments) {
    RegRun run;
    std::string outPath = machine.path("reg.stdout");
    std::string errPath = machine.path("reg.stderr");
    std::vector<std::string> words = {REG_TOOL};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    pid_t child = 0;
    int spawned = posix_spawn(&child, REG_TOOL, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        ADD_FAILURE() << "cannot start " << REG_TOOL;
        return run;
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
    run.out = machine.readFile("reg.stdout");
    run.err = machine.readFile("reg.stderr");
    return run;
}

std::string describe(const RegRun& run) {
    return "exit " + std::to_string(run.exitCode) + "\nstdout:\n" + run.out + "\nstderr:\n" +
           run.err;
}

const char kSuccessLine[] = "The operation completed successfully.\n";
const char kNotFoundLine[] =
    "ERROR: The system was unable to find the specified registry key or value.\n";

class RegistryTest : public ::testing::Test {
protected:
    standin::TestMachine machine;
};

class RegistryKeys : public RegistryTest {};
class RegistryNames : public RegistryTest {};
class RegistryValues : public RegistryTest {};
class RegistryDelete : public RegistryTest {};
class RegistryStorage : public RegistryTest {};
class RegistryTool : public RegistryTest {};

// ---- Keys and handles.

TEST_F(RegistryKeys, CreateMakesParentsAndTellsNewFromExisting) {
    OpenKey game;
    DWORD disposition = 0;
    ASSERT_EQ(createKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\VANTRE\\Game", game, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    EXPECT_TRUE(keyExists("SOFTWARE\\VANTRE"));

    OpenKey again;
    ASSERT_EQ(createKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\VANTRE\\Game", again, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));

    // The last component decides, even when parents were made on the way.
    ASSERT_EQ(createKey(HKEY_LOCAL_MACHINE, "SOFTWARE", again, &disposition), ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
    ASSERT_EQ(createKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Other\\Deep", again, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
}

TEST_F(RegistryKeys, OpeningAMissingKeyFailsAndLeavesNoHandle) {
    createKey(HKEY_LOCAL_MACHINE, "SOFTWARE");
    for (const char* path : {"Missing", "SOFTWARE\\Missing", "SOFTWARE\\Missing\\Deeper"}) {
        SCOPED_TRACE(path);
        HKEY result = handleValue(0x4321);
        EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &result),
                  ERROR_FILE_NOT_FOUND);
        EXPECT_EQ(result, nullptr);
    }
    // Opening never creates.
    EXPECT_FALSE(keyExists("SOFTWARE\\Missing"));
}

TEST_F(RegistryKeys, PathSpellings) {
    createKey(HKEY_LOCAL_MACHINE, "A\\B");
    struct Row {
        const char* label;
        const char* path;
        LONG code;  // for both open and create
    };
    const Row rows[] = {
        {"doubled backslash", "A\\\\B", ERROR_SUCCESS},
        {"trailing backslash", "A\\B\\", ERROR_SUCCESS},
        {"other case", "a\\b", ERROR_SUCCESS},
        {"the root itself", "", ERROR_SUCCESS},
        {"leading backslash", "\\A\\B", ERROR_BAD_PATHNAME},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        OpenKey key;
        EXPECT_EQ(openKey(HKEY_LOCAL_MACHINE, row.path, key), row.code);
        DWORD disposition = 0;
        EXPECT_EQ(createKey(HKEY_LOCAL_MACHINE, row.path, key, &disposition), row.code);
        if (row.code == ERROR_SUCCESS) {
            EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
        }
        // No empty-named or second-spelling keys appear on the way.
        OpenKey a = createKey(HKEY_LOCAL_MACHINE, "A");
        EXPECT_EQ(subkeyNames(HKEY_LOCAL_MACHINE), std::vector<std::string>{"A"});
        EXPECT_EQ(subkeyNames(a.handle), std::vector<std::string>{"B"});
    }
}

TEST_F(RegistryKeys, EveryOpenIsItsOwnHandle) {
    OpenKey created = createKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\VANTRE");
    OpenKey first, second;
    ASSERT_EQ(openKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\VANTRE", first), ERROR_SUCCESS);
    ASSERT_EQ(openKey(HKEY_LOCAL_MACHINE, "software\\vantre", second), ERROR_SUCCESS);
    EXPECT_NE(first.handle, second.handle);
    EXPECT_NE(first.handle, created.handle);

    ASSERT_EQ(RegCloseKey(std::exchange(first.handle, nullptr)), ERROR_SUCCESS);
    EXPECT_EQ(setValue(second.handle, "v", REG_SZ, "x\0"s), ERROR_SUCCESS);
    EXPECT_EQ(readValue(created.handle, "v").bytes, "x\0"s);
}

TEST_F(RegistryKeys, HandlesThatAreNotOpenAreRefused) {
    OpenKey key = createKey(HKEY_LOCAL_MACHINE, "K");
    OpenKey second = createKey(HKEY_LOCAL_MACHINE, "K");
    HKEY closed = std::exchange(second.handle, nullptr);
    ASSERT_EQ(RegCloseKey(closed), ERROR_SUCCESS);
    struct Row {
        const char* label;
        HKEY handle;
    };
    const Row rows[] = {
        {"null", nullptr},
        {"HKEY_CURRENT_USER", handleValue(static_cast<uintptr_t>(static_cast<LONG>(0x80000001)))},
        {"HKEY_LOCAL_MACHINE without its sign extension", handleValue(0x80000002u)},
        {"made up", handleValue(0x5550)},
        {"closed", closed},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        OpenKey opened;
        EXPECT_EQ(openKey(row.handle, "", opened), ERROR_INVALID_HANDLE);
        EXPECT_EQ(createKey(row.handle, "Sub", opened), ERROR_INVALID_HANDLE);
        EXPECT_EQ(readValue(row.handle, "v").code, ERROR_INVALID_HANDLE);
        EXPECT_EQ(setValue(row.handle, "v", REG_SZ, "x"), ERROR_INVALID_HANDLE);
        EXPECT_EQ(RegDeleteKeyA(row.handle, "Sub"), ERROR_INVALID_HANDLE);
        EXPECT_EQ(RegCloseKey(row.handle), ERROR_INVALID_HANDLE);
    }
    // The predefined root is never opened and closing it is harmless.
    EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
    EXPECT_TRUE(keyExists("K"));
}

TEST_F(RegistryKeys, PathsRelativeToAnOpenKey) {
    createKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\VANTRE\\Game");
    OpenKey software;
    ASSERT_EQ(openKey(HKEY_LOCAL_MACHINE, "SOFTWARE", software), ERROR_SUCCESS);

    OpenKey game;
    EXPECT_EQ(openKey(software.handle, "vantre\\GAME", game), ERROR_SUCCESS);
    OpenKey deep;
    DWORD disposition = 0;
    ASSERT_EQ(createKey(software.handle, "New\\Deep", deep, &disposition), ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    EXPECT_TRUE(keyExists("SOFTWARE\\New\\Deep"));

    // An empty path opens the same key once more.
    OpenKey same;
    ASSERT_EQ(openKey(software.handle, "", same), ERROR_SUCCESS);
    EXPECT_NE(same.handle, software.handle);
    ASSERT_EQ(setValue(same.handle, "v", REG_DWORD, "\x01\0\0\0"s), ERROR_SUCCESS);
    EXPECT_EQ(readValue("SOFTWARE", "v").bytes, "\x01\0\0\0"s);
}

TEST_F(RegistryKeys, KeyNamesKeepTheSpellingTheyWereCreatedWith) {
    createKey(HKEY_LOCAL_MACHINE, "Software\\Vantre");
    createKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\VANTRE\\Game");
    EXPECT_EQ(subkeyNames(HKEY_LOCAL_MACHINE), std::vector<std::string>{"Software"});
    OpenKey software;
    ASSERT_EQ(openKey(HKEY_LOCAL_MACHINE, "SOFTWARE", software), ERROR_SUCCESS);
    EXPECT_EQ(subkeyNames(software.handle), std::vector<std::string>{"Vantre"});
}

TEST_F(RegistryKeys, AnotherMachineRootIsAnotherRegistry) {
    createKey(HKEY_LOCAL_MACHINE, "First");
    {
        standin::TestMachine other;
        EXPECT_FALSE(keyExists("First"));
        createKey(HKEY_LOCAL_MACHINE, "Second");
    }
    EXPECT_TRUE(keyExists("First"));
    EXPECT_FALSE(keyExists("Second"));
}

// ---- Names in code page 932.

TEST_F(RegistryNames, OnlySingleByteLettersFoldForKeysAndValues) {
    struct Row {
        const char* label;
        const char* created;
        const char* lookedUp;
        bool same;
    };
    const Row rows[] = {
        {"ASCII letters", "Velmorant", "vELMORANT", true},
        {"trail byte that looks like A or a", "ア", "ヂ", false},  // 83 41 and 83 61
        {"trail byte that looks like Z or z", "セ", "ホ", false},  // 83 5A and 83 7A
        {"letters around a double-byte character", "aアb", "AアB", true},
        {"trail byte in the lead byte range", "亜a", "亜A", true},  // 88 9F, then a letter
        {"half-width katakana is single-byte", "ｱa", "ｱA", true},  // B1, then a letter
        {"full-width letters are double-byte", "Ａ", "ａ", false},  // 82 60 and 82 81
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        standin::TestMachine fresh;
        OpenKey parent = createKey(HKEY_LOCAL_MACHINE, "Names");
        createKey(parent.handle, row.created);
        OpenKey found;
        EXPECT_EQ(openKey(parent.handle, row.lookedUp, found),
                  row.same ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND);
        createKey(parent.handle, row.lookedUp);
        EXPECT_EQ(subkeyNames(parent.handle).size(), row.same ? 1u : 2u);

        ASSERT_EQ(setValue(parent.handle, row.created, REG_SZ, "first"), ERROR_SUCCESS);
        EXPECT_EQ(readValue(parent.handle, row.lookedUp).code,
                  row.same ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND);
        ASSERT_EQ(setValue(parent.handle, row.lookedUp, REG_SZ, "second"), ERROR_SUCCESS);
        std::vector<std::string> expected = {row.created};
        if (!row.same) expected.push_back(row.lookedUp);
        EXPECT_EQ(valueNames(parent.handle), expected);
    }
}

TEST_F(RegistryNames, TrailByte5CIsNotABackslash) {
    struct Row {
        const char* label;
        const char* path;
        std::vector<std::string> names;  // the keys along the path, from the root down
    };
    // ソ is 83 5C and 表 is 95 5C.
    const Row rows[] = {
        {"inside a component", "ソフト\\Sub", {"ソフト", "Sub"}},
        {"at the end of the path", "Data\\表", {"Data", "表"}},
        {"before a trailing backslash", "表\\", {"表"}},
        {"before a real backslash", "ソ\\ソ", {"ソ", "ソ"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        standin::TestMachine fresh;
        createKey(HKEY_LOCAL_MACHINE, row.path);
        EXPECT_TRUE(keyExists(row.path));
        OpenKey current;
        ASSERT_EQ(openKey(HKEY_LOCAL_MACHINE, "", current), ERROR_SUCCESS);
        for (const std::string& name : row.names) {
            ASSERT_EQ(subkeyNames(current.handle), std::vector<std::string>{name});
            OpenKey next;
            ASSERT_EQ(openKey(current.handle, name.c_str(), next), ERROR_SUCCESS);
            current = std::move(next);
        }
        EXPECT_TRUE(subkeyNames(current.handle).empty());
    }
}

// ---- Values.

TEST_F(RegistryValues, KeepTheirTypeAndExactBytes) {
    struct Row {
        const char* label;
        DWORD type;
        std::string bytes;
    };
    const Row rows[] = {
        {"text with its terminator", REG_SZ, "C:\\Game\0"s},
        {"text without a terminator", REG_SZ, "abc"s},
        {"zero-length text", REG_SZ, ""s},
        {"zero-length binary", REG_BINARY, ""s},
        {"binary with NULs", REG_BINARY, "\0\x01\0\xff\0"s},
        {"dword", REG_DWORD, "\x2a\0\0\0"s},
        {"code page 932 text", REG_SZ, "ヴェルモラント\0"s},
        {"expandable text", REG_EXPAND_SZ, "%WINDIR%\\x\0"s},
        {"two texts", REG_MULTI_SZ, "a\0b\0\0"s},
        {"a type Windows does not name", 0x4242, "xyz"s},
    };
    OpenKey key = createKey(HKEY_LOCAL_MACHINE, "Values");
    for (size_t i = 0; i < std::size(rows); ++i) {
        const Row& row = rows[i];
        SCOPED_TRACE(row.label);
        std::string name = "v" + std::to_string(i);
        ASSERT_EQ(setValue(key.handle, name.c_str(), row.type, row.bytes), ERROR_SUCCESS);

        // Nothing is written past the data, not even a terminator.
        std::string buffer(row.bytes.size() + 8, '\xCC');
        DWORD size = static_cast<DWORD>(buffer.size());
        DWORD type = REG_NONE;
        ASSERT_EQ(RegQueryValueExA(key.handle, name.c_str(), nullptr, &type,
                                   reinterpret_cast<BYTE*>(buffer.data()), &size),
                  ERROR_SUCCESS);
        EXPECT_EQ(type, row.type);
        EXPECT_EQ(size, row.bytes.size());
        EXPECT_EQ(hex(buffer.substr(0, row.bytes.size())), hex(row.bytes));
        EXPECT_EQ(buffer.substr(row.bytes.size()), std::string(8, '\xCC'));

        char enumerated[32];
        DWORD enumeratedSize = sizeof enumerated;
        buffer.assign(row.bytes.size() + 8, '\xCC');
        size = static_cast<DWORD>(buffer.size());
        ASSERT_EQ(RegEnumValueA(key.handle, static_cast<DWORD>(i), enumerated, &enumeratedSize,
                                nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size),
                  ERROR_SUCCESS);
        EXPECT_EQ(std::string(enumerated, enumeratedSize), name);
        EXPECT_EQ(type, row.type);
        EXPECT_EQ(hex(buffer.substr(0, size)), hex(row.bytes));
    }
}

TEST_F(RegistryValues, SizeProbeAndDataThatDoesNotFit) {
    OpenKey key = createKey(HKEY_LOCAL_MACHINE, "Values");
    const std::string stored = "0123456789"s;
    ASSERT_EQ(setValue(key.handle, "v", REG_BINARY, stored), ERROR_SUCCESS);
    struct Row {
        const char* label;
        bool withBuffer;
        DWORD room;
        LONG code;
    };
    const Row rows[] = {
        {"size probe", false, 0, ERROR_SUCCESS},
        {"size probe ignores the room", false, 100, ERROR_SUCCESS},
        {"no room", true, 0, ERROR_MORE_DATA},
        {"one byte short", true, 9, ERROR_MORE_DATA},
        {"exact room", true, 10, ERROR_SUCCESS},
        {"more room", true, 20, ERROR_SUCCESS},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        std::string buffer(32, '\0');
        DWORD size = row.room;
        DWORD type = REG_NONE;
        EXPECT_EQ(RegQueryValueExA(
                      key.handle, "v", nullptr, &type,
                      row.withBuffer ? reinterpret_cast<BYTE*>(buffer.data()) : nullptr, &size),
                  row.code);
        EXPECT_EQ(size, stored.size());
        EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
        if (row.withBuffer && row.code == ERROR_SUCCESS) {
            EXPECT_EQ(buffer.substr(0, 10), stored);
        }
    }
    // Asking for neither type nor data only tells that the value is there.
    EXPECT_EQ(RegQueryValueExA(key.handle, "v", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExA(key.handle, "w", nullptr, nullptr, nullptr, nullptr),
              ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryValues, MissingValuesAndTheDefaultValue) {
    OpenKey key = createKey(HKEY_LOCAL_MACHINE, "Values");
    EXPECT_EQ(readValue(key.handle, "missing").code, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteValueA(key.handle, "missing"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(readValue(key.handle, nullptr).code, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(readValue(key.handle, "").code, ERROR_FILE_NOT_FOUND);

    // A null name and "" are both the default value.
    ASSERT_EQ(setValue(key.handle, nullptr, REG_SZ, "default\0"s), ERROR_SUCCESS);
    EXPECT_EQ(readValue(key.handle, "").bytes, "default\0"s);
    ASSERT_EQ(setValue(key.handle, "", REG_SZ, "again\0"s), ERROR_SUCCESS);
    EXPECT_EQ(readValue(key.handle, nullptr).bytes, "again\0"s);
    EXPECT_EQ(valueNames(key.handle), std::vector<std::string>{""});

    ASSERT_EQ(setValue(key.handle, "other", REG_SZ, "x"), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteValueA(key.handle, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(readValue(key.handle, "").code, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(valueNames(key.handle), std::vector<std::string>{"other"});
}

TEST_F(RegistryValues, OverwritingKeepsThePlaceAndTheFirstSpelling) {
    OpenKey key = createKey(HKEY_LOCAL_MACHINE, "Values");
    ASSERT_EQ(setValue(key.handle, "Alpha", REG_SZ, "a"), ERROR_SUCCESS);
    ASSERT_EQ(setValue(key.handle, "InstallPath", REG_SZ, "C:\\Old\0"s), ERROR_SUCCESS);
    ASSERT_EQ(setValue(key.handle, "Omega", REG_SZ, "o"), ERROR_SUCCESS);
    ASSERT_EQ(setValue(key.handle, "INSTALLPATH", REG_BINARY, "\x01\x02"s), ERROR_SUCCESS);

    EXPECT_EQ(valueNames(key.handle), (std::vector<std::string>{"Alpha", "InstallPath", "Omega"}));
    Value value = readValue(key.handle, "installpath");
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(value.bytes, "\x01\x02"s);
}

// Subkeys come sorted by name without regard to case, as the hive keeps them; values in the
// order of their creation.
TEST_F(RegistryValues, EnumerationOrders) {
    OpenKey key = createKey(HKEY_LOCAL_MACHINE, "Order");
    const std::vector<std::string> names = {"b", "a", "C", "0", "ア"};
    const std::vector<std::string> sorted = {"0", "a", "b", "C", "ア"};
    for (const std::string& name : names) {
        createKey(key.handle, name.c_str());
        ASSERT_EQ(setValue(key.handle, name.c_str(), REG_SZ, "x"), ERROR_SUCCESS);
    }
    EXPECT_EQ(subkeyNames(key.handle), sorted);
    EXPECT_EQ(valueNames(key.handle), names);

    // A name made again comes last.
    ASSERT_EQ(RegDeleteKeyA(key.handle, "a"), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteValueA(key.handle, "a"), ERROR_SUCCESS);
    createKey(key.handle, "a");
    ASSERT_EQ(setValue(key.handle, "a", REG_SZ, "x"), ERROR_SUCCESS);
    const std::vector<std::string> reordered = {"b", "C", "0", "ア", "a"};
    EXPECT_EQ(subkeyNames(key.handle), sorted);
    EXPECT_EQ(valueNames(key.handle), reordered);
}

TEST_F(RegistryValues, EnumeratedNamesNeedRoomForTheirTerminator) {
    OpenKey key = createKey(HKEY_LOCAL_MACHINE, "Order");
    createKey(key.handle, "Four");
    ASSERT_EQ(setValue(key.handle, "Four", REG_SZ, "x"), ERROR_SUCCESS);
    struct Row {
        const char* label;
        DWORD room;
        LONG code;
        DWORD sizeAfter;
    };
    const Row rows[] = {
        {"no room for the terminator", 4, ERROR_MORE_DATA, 4},
        {"exact room", 5, ERROR_SUCCESS, 4},
        {"more room", 64, ERROR_SUCCESS, 4},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        char name[64];
        DWORD size = row.room;
        EXPECT_EQ(RegEnumKeyExA(key.handle, 0, name, &size, nullptr, nullptr, nullptr, nullptr),
                  row.code);
        EXPECT_EQ(size, row.sizeAfter);
        if (row.code == ERROR_SUCCESS) {
            EXPECT_STREQ(name, "Four");
        }
        size = row.room;
        EXPECT_EQ(RegEnumValueA(key.handle, 0, name, &size, nullptr, nullptr, nullptr, nullptr),
                  row.code);
        if (row.code == ERROR_SUCCESS) {
            EXPECT_STREQ(name, "Four");
        }
    }
    char name[64];
    DWORD size = sizeof name;
    EXPECT_EQ(RegEnumKeyExA(key.handle, 1, name, &size, nullptr, nullptr, nullptr, nullptr),
              ERROR_NO_MORE_ITEMS);
    size = sizeof name;
    EXPECT_EQ(RegEnumValueA(key.handle, 1, name, &size, nullptr, nullptr, nullptr, nullptr),
              ERROR_NO_MORE_ITEMS);
}

// ---- Deleting.

TEST_F(RegistryDelete, OnlyLeafKeysGoAndTheirParentsStay) {
    createKey(HKEY_LOCAL_MACHINE, "A\\B\\C");
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "A"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "A\\B"), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(keyExists("A\\B\\C"));

    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "a\\b\\c"), ERROR_SUCCESS);
    EXPECT_FALSE(keyExists("A\\B\\C"));
    EXPECT_TRUE(keyExists("A\\B"));
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "A\\B\\C"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Missing\\C"), ERROR_FILE_NOT_FOUND);

    // Relative to an open key, and the open key itself by an empty path.
    OpenKey a;
    ASSERT_EQ(openKey(HKEY_LOCAL_MACHINE, "A", a), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(a.handle, "B"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(a.handle, ""), ERROR_SUCCESS);
    EXPECT_FALSE(keyExists("A"));

    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, ""), ERROR_ACCESS_DENIED);
}

TEST_F(RegistryDelete, ADeletedKeyTakesItsValuesWithIt) {
    {
        OpenKey key = createKey(HKEY_LOCAL_MACHINE, "Gone");
        ASSERT_EQ(setValue(key.handle, "v", REG_SZ, "x"), ERROR_SUCCESS);
    }
    ASSERT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Gone"), ERROR_SUCCESS);
    OpenKey again;
    DWORD disposition = 0;
    ASSERT_EQ(createKey(HKEY_LOCAL_MACHINE, "Gone", again, &disposition), ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    EXPECT_EQ(readValue(again.handle, "v").code, ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(valueNames(again.handle).empty());
}

TEST_F(RegistryDelete, AKeyDeletedWhileOpenAnswersKeyDeleted) {
    createKey(HKEY_LOCAL_MACHINE, "A\\B");
    OpenKey stale;
    ASSERT_EQ(openKey(HKEY_LOCAL_MACHINE, "A\\B", stale), ERROR_SUCCESS);
    ASSERT_EQ(setValue(stale.handle, "v", REG_SZ, "x"), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "A\\B"), ERROR_SUCCESS);
    // The same path made again is another key; the stale handle does not follow it.
    OpenKey remade = createKey(HKEY_LOCAL_MACHINE, "A\\B");
    ASSERT_EQ(setValue(remade.handle, "v", REG_SZ, "y"), ERROR_SUCCESS);
    createKey(remade.handle, "Sub");

    struct Row {
        const char* label;
        std::function<LONG(HKEY)> call;
    };
    const Row rows[] = {
        {"RegOpenKeyExA", [](HKEY key) { OpenKey k; return openKey(key, "", k); }},
        {"RegOpenKeyExA of a subkey", [](HKEY key) { OpenKey k; return openKey(key, "Sub", k); }},
        {"RegCreateKeyExA", [](HKEY key) { OpenKey k; return createKey(key, "New", k); }},
        {"RegQueryValueExA", [](HKEY key) { return readValue(key, "v").code; }},
        {"RegSetValueExA", [](HKEY key) { return setValue(key, "v", REG_SZ, "z"); }},
        {"RegDeleteValueA", [](HKEY key) { return RegDeleteValueA(key, "v"); }},
        {"RegDeleteKeyA", [](HKEY key) { return RegDeleteKeyA(key, ""); }},
        {"RegEnumKeyExA",
         [](HKEY key) {
             char name[64];
             DWORD size = sizeof name;
             return RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr);
         }},
        {"RegEnumValueA",
         [](HKEY key) {
             char name[64];
             DWORD size = sizeof name;
             return RegEnumValueA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr);
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        EXPECT_EQ(row.call(stale.handle), ERROR_KEY_DELETED);
    }
    EXPECT_EQ(readValue(remade.handle, "v").bytes, "y");
    EXPECT_EQ(subkeyNames(remade.handle), std::vector<std::string>{"Sub"});
    EXPECT_EQ(RegCloseKey(std::exchange(stale.handle, nullptr)), ERROR_SUCCESS);
}

// ---- The database file.

TEST_F(RegistryStorage, ADamagedFileFailsEveryCallWithBadDb) {
    struct Damage {
        const char* label;
        std::function<void(const standin::TestMachine&)> apply;
    };
    const Damage damages[] = {
        {"garbage bytes",
         [](const standin::TestMachine& m) {
             std::string garbage;
             for (int i = 0; i < 4096; ++i) garbage += static_cast<char>(i * 7 + 3);
             m.writeFile("registry.db", garbage);
         }},
        {"cut short",
         [](const standin::TestMachine& m) {
             m.writeFile("registry.db", m.readFile("registry.db").substr(0, 4096));
         }},
        {"a folder in its place",
         [](const standin::TestMachine& m) {
             std::filesystem::remove(m.path("registry.db"));
             std::filesystem::create_directory(m.path("registry.db"));
         }},
    };
    struct Call {
        const char* label;
        std::function<LONG(HKEY)> call;
    };
    const Call calls[] = {
        {"RegOpenKeyExA", [](HKEY) { OpenKey k; return openKey(HKEY_LOCAL_MACHINE, "A", k); }},
        {"RegCreateKeyExA", [](HKEY) { OpenKey k; return createKey(HKEY_LOCAL_MACHINE, "B", k); }},
        {"RegQueryValueExA", [](HKEY key) { return readValue(key, "v").code; }},
        {"RegSetValueExA", [](HKEY key) { return setValue(key, "v", REG_SZ, "z"); }},
        {"RegDeleteValueA", [](HKEY key) { return RegDeleteValueA(key, "v"); }},
        {"RegDeleteKeyA", [](HKEY key) { return RegDeleteKeyA(key, "S"); }},
        {"RegEnumKeyExA",
         [](HKEY key) {
             char name[64];
             DWORD size = sizeof name;
             return RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr);
         }},
        {"RegEnumValueA",
         [](HKEY key) {
             char name[64];
             DWORD size = sizeof name;
             return RegEnumValueA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr);
         }},
    };
    for (const Damage& damage : damages) {
        SCOPED_TRACE(damage.label);
        standin::TestMachine fresh;
        OpenKey key = createKey(HKEY_LOCAL_MACHINE, "A");
        ASSERT_EQ(setValue(key.handle, "v", REG_SZ, "x"), ERROR_SUCCESS);
        for (int i = 0; i < 40; ++i) {
            createKey(key.handle, ("S\\" + std::to_string(i)).c_str());
        }
        damage.apply(fresh);
        std::string damaged = fresh.readFile("registry.db");
        for (const Call& call : calls) {
            SCOPED_TRACE(call.label);
            StderrCapture capture(fresh.path("stderr.txt"));
            EXPECT_EQ(call.call(key.handle), ERROR_BADDB);
            EXPECT_NE(capture.text().find(fresh.path("registry.db")), std::string::npos);
        }
        // The damaged file is left for someone to look at, not replaced.
        EXPECT_EQ(fresh.readFile("registry.db"), damaged);
        EXPECT_EQ(RegCloseKey(std::exchange(key.handle, nullptr)), ERROR_SUCCESS);
    }
}

TEST_F(RegistryStorage, InjectedFailuresComeFromTheSettingsFile) {
    OpenKey key = createKey(HKEY_LOCAL_MACHINE, "A");
    createKey(key.handle, "S");
    ASSERT_EQ(setValue(key.handle, "v", REG_SZ, "kept"), ERROR_SUCCESS);
    std::vector<HKEY> unclosed;  // handles whose closing was failed on purpose
    struct Row {
        const char* operation;
        std::function<LONG(HKEY)> call;
    };
    const Row rows[] = {
        {"RegOpenKeyExA", [](HKEY) { OpenKey k; return openKey(HKEY_LOCAL_MACHINE, "A", k); }},
        {"RegCreateKeyExA", [](HKEY) { OpenKey k; return createKey(HKEY_LOCAL_MACHINE, "B", k); }},
        {"RegQueryValueExA", [](HKEY key) { return readValue(key, "v").code; }},
        {"RegSetValueExA", [](HKEY key) { return setValue(key, "w", REG_SZ, "z"); }},
        {"RegDeleteValueA",
         [](HKEY key) {
             setValue(key, "w", REG_SZ, "z");
             return RegDeleteValueA(key, "w");
         }},
        {"RegDeleteKeyA",
         [](HKEY key) {
             OpenKey k;
             createKey(key, "T", k);
             return RegDeleteKeyA(key, "T");
         }},
        {"RegEnumKeyExA",
         [](HKEY key) {
             char name[64];
             DWORD size = sizeof name;
             return RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr);
         }},
        {"RegEnumValueA",
         [](HKEY key) {
             char name[64];
             DWORD size = sizeof name;
             return RegEnumValueA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr);
         }},
        {"RegCloseKey",
         [&unclosed](HKEY key) {
             HKEY extra = nullptr;
             RegOpenKeyExA(key, "", 0, KEY_READ, &extra);
             LONG code = RegCloseKey(extra);
             if (code != ERROR_SUCCESS) unclosed.push_back(extra);
             return code;
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.operation);
        machine.writeFile("settings", "fail "s + row.operation + " 1234\n");
        EXPECT_EQ(row.call(key.handle), 1234);
        machine.writeFile("settings", "");
        // A handle whose closing failed is still open.
        for (HKEY handle : std::exchange(unclosed, {}))
            EXPECT_EQ(RegCloseKey(handle), ERROR_SUCCESS);
        EXPECT_EQ(row.call(key.handle), ERROR_SUCCESS);
    }
}

TEST_F(RegistryStorage, AFailedSetChangesNothing) {
    OpenKey key = createKey(HKEY_LOCAL_MACHINE, "A");
    ASSERT_EQ(setValue(key.handle, "v", REG_SZ, "kept"), ERROR_SUCCESS);
    machine.writeFile("settings", "fail RegSetValueExA 5\n");
    EXPECT_EQ(setValue(key.handle, "v", REG_SZ, "lost"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(setValue(key.handle, "w", REG_SZ, "lost"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(readValue(key.handle, "v").bytes, "kept");
    EXPECT_EQ(readValue(key.handle, "w").code, ERROR_FILE_NOT_FOUND);

    // Without a result the line fails the call with access denied.
    machine.writeFile("settings", "fail RegSetValueExA\n");
    EXPECT_EQ(setValue(key.handle, "v", REG_SZ, "lost"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(readValue(key.handle, "v").bytes, "kept");
}

// Runs `work` in a child process; the child's exit status is 0 when `work` returns true.
pid_t startChild(const std::function<bool()>& work) {
    fflush(nullptr);
    pid_t child = fork();
    if (child == 0) _exit(work() ? 0 : 1);
    return child;
}

int waitForChild(pid_t child) {
    int status = 0;
    if (waitpid(child, &status, 0) != child) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(RegistryStorage, TwoProcessesWriteAtTheSameTime) {
    createKey(HKEY_LOCAL_MACHINE, "Shared");
    const int kWrites = 25;
    std::vector<pid_t> children;
    for (int writer = 0; writer < 2; ++writer) {
        children.push_back(startChild([writer] {
            for (int i = 0; i < kWrites; ++i) {
                std::string name = std::to_string(writer) + "-" + std::to_string(i);
                OpenKey key;
                if (createKey(HKEY_LOCAL_MACHINE, ("Shared\\" + name).c_str(), key) !=
                        ERROR_SUCCESS ||
                    setValue(key.handle, "writer", REG_SZ, name) != ERROR_SUCCESS) {
                    return false;
                }
            }
            return true;
        }));
    }
    for (pid_t child : children) {
        EXPECT_GT(child, 0) << "cannot start a writer";
        if (child > 0) {
            EXPECT_EQ(waitForChild(child), 0);
        }
    }
    if (HasFailure()) return;

    OpenKey shared;
    ASSERT_EQ(openKey(HKEY_LOCAL_MACHINE, "Shared", shared), ERROR_SUCCESS);
    EXPECT_EQ(subkeyNames(shared.handle).size(), 2u * kWrites);
    for (int writer = 0; writer < 2; ++writer) {
        for (int i = 0; i < kWrites; ++i) {
            std::string name = std::to_string(writer) + "-" + std::to_string(i);
            EXPECT_EQ(readValue(("Shared\\" + name).c_str(), "writer").bytes, name);
        }
    }
}

TEST_F(RegistryStorage, AKilledWriterLosesNoFinishedChange) {
    OpenKey key = createKey(HKEY_LOCAL_MACHINE, "Journal");
    int confirmations[2];
    ASSERT_EQ(pipe(confirmations), 0);
    HKEY handle = key.handle;
    pid_t child = startChild([&] {
        close(confirmations[0]);
        for (uint32_t i = 0;; ++i) {
            std::string name = "v" + std::to_string(i);
            std::string data(reinterpret_cast<const char*>(&i), sizeof i);
            if (setValue(handle, name.c_str(), REG_DWORD, data) != ERROR_SUCCESS) return false;
            if (write(confirmations[1], &i, sizeof i) != sizeof i) return false;
        }
    });
    close(confirmations[1]);
    if (child <= 0) {
        close(confirmations[0]);
        FAIL() << "cannot start the writer";
    }
    uint32_t confirmed = 0;
    uint32_t received = 0;
    while (confirmed < 30 &&
           read(confirmations[0], &received, sizeof received) == sizeof received) {
        ++confirmed;
    }
    kill(child, SIGKILL);
    EXPECT_EQ(waitForChild(child), -1) << "the writer stopped by itself";
    while (read(confirmations[0], &received, sizeof received) == sizeof received) ++confirmed;
    close(confirmations[0]);

    ASSERT_GE(confirmed, 30u);
    for (uint32_t i = 0; i < confirmed; ++i) {
        std::string name = "v" + std::to_string(i);
        SCOPED_TRACE(name);
        Value value = readValue(key.handle, name.c_str());
        ASSERT_EQ(value.code, ERROR_SUCCESS);
        EXPECT_EQ(value.bytes, std::string(reinterpret_cast<const char*>(&i), sizeof i));
    }
    // At most the change under way when the writer died is there beyond them, and whole.
    std::vector<std::string> names = valueNames(key.handle);
    EXPECT_GE(names.size(), confirmed);
    EXPECT_LE(names.size(), confirmed + 1);
    EXPECT_EQ(setValue(key.handle, "after", REG_SZ, "x"), ERROR_SUCCESS);
}

// ---- The reg tool.

TEST_F(RegistryTool, AddsQueriesAndDeletesAJapaneseKey) {
    const std::string key = utf8(u8"HKLM\\SOFTWARE\\VANTRE\\ヴェルモラント");
    RegRun run = runReg(machine, {"add", key, "/v", "InstallPath", "/d", utf8(u8"C:\\ゲーム")});
    ASSERT_EQ(run.exitCode, 0) << describe(run);
    EXPECT_EQ(run.out, kSuccessLine);

    // This process sees what the other one wrote, in code page 932.
    Value value = readValue("SOFTWARE\\VANTRE\\ヴェルモラント", "InstallPath");
    ASSERT_EQ(value.code, ERROR_SUCCESS);
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(hex(value.bytes), hex("C:\\ゲーム\0"s));

    run = runReg(machine, {"query", key});
    ASSERT_EQ(run.exitCode, 0) << describe(run);
    EXPECT_EQ(run.out, utf8(u8"\nHKEY_LOCAL_MACHINE\\SOFTWARE\\VANTRE\\ヴェルモラント\n"
                            u8"    InstallPath    REG_SZ    C:\\ゲーム\n"));

    run = runReg(machine, {"delete", key, "/f"});
    ASSERT_EQ(run.exitCode, 0) << describe(run);
    EXPECT_EQ(run.out, kSuccessLine);
    EXPECT_FALSE(keyExists("SOFTWARE\\VANTRE\\ヴェルモラント"));
    EXPECT_TRUE(keyExists("SOFTWARE\\VANTRE"));

    run = runReg(machine, {"query", key});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, kNotFoundLine);
}

TEST_F(RegistryTool, StoresAndShowsEachType) {
    struct Row {
        const char* label;
        std::vector<std::string> typeAndData;
        DWORD type;
        std::string bytes;
        std::string shown;  // the query line
    };
    const Row rows[] = {
        {"text", {"/t", "REG_SZ", "/d", "a b"}, REG_SZ, "a b\0"s, "    v    REG_SZ    a b\n"},
        {"text by default", {"/d", "x"}, REG_SZ, "x\0"s, "    v    REG_SZ    x\n"},
        {"empty text", {"/t", "REG_SZ"}, REG_SZ, "\0"s, "    v    REG_SZ    \n"},
        {"Japanese text", {"/d", utf8(u8"ヴェルモラント")}, REG_SZ, "ヴェルモラント\0"s,
         utf8(u8"    v    REG_SZ    ヴェルモラント\n")},
        {"expandable text", {"/t", "REG_EXPAND_SZ", "/d", "%WINDIR%"}, REG_EXPAND_SZ,
         "%WINDIR%\0"s, "    v    REG_EXPAND_SZ    %WINDIR%\n"},
        {"decimal dword", {"/t", "REG_DWORD", "/d", "42"}, REG_DWORD, "\x2a\0\0\0"s,
         "    v    REG_DWORD    0x2a\n"},
        {"hex dword", {"/t", "reg_dword", "/d", "0xDEADBEEF"}, REG_DWORD, "\xef\xbe\xad\xde"s,
         "    v    REG_DWORD    0xdeadbeef\n"},
        {"binary", {"/t", "REG_BINARY", "/d", "00ff0A00"}, REG_BINARY, "\x00\xff\x0a\x00"s,
         "    v    REG_BINARY    00FF0A00\n"},
        {"empty binary", {"/t", "REG_BINARY", "/d", ""}, REG_BINARY, ""s,
         "    v    REG_BINARY    \n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        std::vector<std::string> arguments = {"add", "HKLM\\T", "/v", "v", "/f"};
        arguments.insert(arguments.end(), row.typeAndData.begin(), row.typeAndData.end());
        RegRun run = runReg(machine, arguments);
        ASSERT_EQ(run.exitCode, 0) << describe(run);

        Value value = readValue("T", "v");
        EXPECT_EQ(value.type, row.type);
        EXPECT_EQ(hex(value.bytes), hex(row.bytes));

        run = runReg(machine, {"query", "HKLM\\T", "/v", "v"});
        ASSERT_EQ(run.exitCode, 0) << describe(run);
        EXPECT_EQ(run.out, "\nHKEY_LOCAL_MACHINE\\T\n" + row.shown + "\n");
    }
}

TEST_F(RegistryTool, ShowsWhatThisProcessWrote) {
    {
        OpenKey key = createKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\T");
        ASSERT_EQ(setValue(key.handle, "Bin", REG_BINARY, "\0\x01\xfe\0"s), ERROR_SUCCESS);
        ASSERT_EQ(setValue(key.handle, "Text", REG_SZ, "abc"), ERROR_SUCCESS);
        ASSERT_EQ(setValue(key.handle, nullptr, REG_SZ, "def\0ghi\0"s), ERROR_SUCCESS);
        ASSERT_EQ(setValue(key.handle, "Odd", REG_DWORD, "\x01\x02"s), ERROR_SUCCESS);
        ASSERT_EQ(setValue(key.handle, "Many", REG_MULTI_SZ, "a\0b\0\0"s), ERROR_SUCCESS);
        createKey(key.handle, "Sub");
        createKey(key.handle, "ソフト");
    }
    RegRun run = runReg(machine, {"query", "hklm\\software\\t\\"});
    ASSERT_EQ(run.exitCode, 0) << describe(run);
    EXPECT_EQ(run.out, utf8(u8"\n"
                            u8"HKEY_LOCAL_MACHINE\\software\\t\n"
                            u8"    Bin    REG_BINARY    0001FE00\n"
                            u8"    Text    REG_SZ    abc\n"
                            u8"    (Default)    REG_SZ    def\n"
                            u8"    Odd    REG_DWORD    0102\n"
                            u8"    Many    REG_MULTI_SZ    6100620000\n"
                            u8"\n"
                            u8"HKEY_LOCAL_MACHINE\\software\\t\\Sub\n"
                            u8"HKEY_LOCAL_MACHINE\\software\\t\\ソフト\n"));

    run = runReg(machine, {"query", "HKLM\\SOFTWARE\\T", "/ve"});
    ASSERT_EQ(run.exitCode, 0) << describe(run);
    EXPECT_EQ(run.out, "\nHKEY_LOCAL_MACHINE\\SOFTWARE\\T\n    (Default)    REG_SZ    def\n\n");
}

TEST_F(RegistryTool, ReplacingAValueNeedsForce) {
    ASSERT_EQ(runReg(machine, {"add", "HKLM\\T", "/v", "v", "/d", "one"}).exitCode, 0);
    RegRun run = runReg(machine, {"add", "HKLM\\T", "/v", "V", "/d", "two"});
    EXPECT_EQ(run.exitCode, 1) << describe(run);
    EXPECT_NE(run.err.find("/f"), std::string::npos) << run.err;
    EXPECT_EQ(readValue("T", "v").bytes, "one\0"s);

    run = runReg(machine, {"add", "HKLM\\T", "/v", "V", "/d", "two", "/f"});
    EXPECT_EQ(run.exitCode, 0) << describe(run);
    EXPECT_EQ(readValue("T", "v").bytes, "two\0"s);
}

TEST_F(RegistryTool, DeletingNeedsForceAndTakesTheWholeTree) {
    {
        OpenKey top = createKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Top");
        ASSERT_EQ(setValue(top.handle, "a", REG_SZ, "x"), ERROR_SUCCESS);
        ASSERT_EQ(setValue(top.handle, "b", REG_SZ, "x"), ERROR_SUCCESS);
        for (const char* path : {"One\\Two\\Three", "One\\Second", "Other"}) {
            OpenKey sub = createKey(top.handle, path);
            ASSERT_EQ(setValue(sub.handle, "v", REG_SZ, "x"), ERROR_SUCCESS);
        }
    }
    struct Row {
        const char* label;
        std::vector<std::string> arguments;
        int exitCode;
        std::function<void()> check;
    };
    const Row rows[] = {
        {"a key without /f", {"delete", "HKLM\\SOFTWARE\\Top"}, 1,
         [] { EXPECT_TRUE(keyExists("SOFTWARE\\Top\\One\\Two\\Three")); }},
        {"a value without /f", {"delete", "HKLM\\SOFTWARE\\Top", "/v", "a"}, 1,
         [] { EXPECT_EQ(readValue("SOFTWARE\\Top", "a").code, ERROR_SUCCESS); }},
        {"a missing value", {"delete", "HKLM\\SOFTWARE\\Top", "/v", "zz", "/f"}, 1, [] {}},
        {"a missing key", {"delete", "HKLM\\SOFTWARE\\Nope", "/f"}, 1, [] {}},
        {"the root", {"delete", "HKLM", "/f"}, 1,
         [] { EXPECT_TRUE(keyExists("SOFTWARE\\Top")); }},
        {"one value", {"delete", "HKLM\\SOFTWARE\\Top", "/v", "A", "/f"}, 0,
         [] {
             EXPECT_EQ(readValue("SOFTWARE\\Top", "a").code, ERROR_FILE_NOT_FOUND);
             EXPECT_EQ(readValue("SOFTWARE\\Top", "b").code, ERROR_SUCCESS);
         }},
        {"all values", {"delete", "HKLM\\SOFTWARE\\Top\\One\\Second", "/va", "/f"}, 0,
         [] {
             EXPECT_EQ(readValue("SOFTWARE\\Top\\One\\Second", "v").code, ERROR_FILE_NOT_FOUND);
             EXPECT_EQ(readValue("SOFTWARE\\Top\\One\\Two\\Three", "v").code, ERROR_SUCCESS);
         }},
        {"a subtree", {"delete", "HKLM\\SOFTWARE\\Top\\One", "/f"}, 0,
         [] {
             EXPECT_FALSE(keyExists("SOFTWARE\\Top\\One"));
             EXPECT_TRUE(keyExists("SOFTWARE\\Top\\Other"));
         }},
        {"the rest", {"delete", "HKLM\\SOFTWARE\\Top", "/f"}, 0,
         [] {
             EXPECT_FALSE(keyExists("SOFTWARE\\Top"));
             EXPECT_TRUE(keyExists("SOFTWARE"));
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        RegRun run = runReg(machine, row.arguments);
        EXPECT_EQ(run.exitCode, row.exitCode) << describe(run);
        EXPECT_EQ(run.out, row.exitCode == 0 ? kSuccessLine : "");
        EXPECT_EQ(run.err.empty(), row.exitCode == 0) << run.err;
        row.check();
    }
}

TEST_F(RegistryTool, CommandLinesAndExitCodes) {
    struct Row {
        const char* label;
        std::vector<std::string> arguments;
        int exitCode;
        std::string out;  // expected somewhere in standard output
        std::string err;  // expected somewhere in standard error
    };
    const Row rows[] = {
        {"help", {"/?"}, 0, "Usage:", ""},
        {"nothing", {}, 1, "", "Usage:"},
        {"unknown operation", {"frobnicate", "HKLM\\X"}, 1, "", "Usage:"},
        {"no key", {"add"}, 1, "", "Usage:"},
        {"another root", {"add", "HKCU\\Software"}, 1, "", "Usage:"},
        {"/v without a name", {"add", "HKLM\\X", "/v"}, 1, "", "Usage:"},
        {"/v and /ve", {"add", "HKLM\\X", "/v", "a", "/ve"}, 1, "", "Usage:"},
        {"/d without a value", {"add", "HKLM\\X", "/d", "x"}, 1, "", "Usage:"},
        {"a switch query does not take", {"query", "HKLM\\X", "/f"}, 1, "", "Usage:"},
        {"/va for add", {"add", "HKLM\\X", "/va"}, 1, "", "Usage:"},
        {"an unknown type", {"add", "HKLM\\X", "/v", "a", "/t", "REG_QWORD"}, 1, "", "REG_QWORD"},
        {"a dword too big", {"add", "HKLM\\X", "/v", "a", "/t", "REG_DWORD", "/d", "4294967296"},
         1, "", "REG_DWORD"},
        {"a negative dword", {"add", "HKLM\\X", "/v", "a", "/t", "REG_DWORD", "/d", "-1"}, 1, "",
         "REG_DWORD"},
        {"a dword with letters", {"add", "HKLM\\X", "/v", "a", "/t", "REG_DWORD", "/d", "12ab"},
         1, "", "REG_DWORD"},
        {"odd hex digits", {"add", "HKLM\\X", "/v", "a", "/t", "REG_BINARY", "/d", "abc"}, 1, "",
         "REG_BINARY"},
        {"not hex", {"add", "HKLM\\X", "/v", "a", "/t", "REG_BINARY", "/d", "zz"}, 1, "",
         "REG_BINARY"},
        {"text outside code page 932", {"add", "HKLM\\X", "/v", utf8(u8"😀")}, 1, "", "932"},
        {"a missing key", {"query", "HKLM\\Missing"}, 1, "", kNotFoundLine},
        {"a missing value", {"query", "HKLM", "/v", "missing"}, 1, "", kNotFoundLine},
        {"a key alone", {"add", "HKLM\\X"}, 0, kSuccessLine, ""},
        {"another spelling", {"ADD", "hkey_local_machine\\X", "-V", "a", "-D", "b"}, 0,
         kSuccessLine, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        RegRun run = runReg(machine, row.arguments);
        EXPECT_EQ(run.exitCode, row.exitCode) << describe(run);
        EXPECT_NE(run.out.find(row.out), std::string::npos) << describe(run);
        EXPECT_NE(run.err.find(row.err), std::string::npos) << describe(run);
        // Failures write nothing; the last row is the one that sets the value.
        if (row.exitCode != 0) {
            EXPECT_EQ(readValue("X", "a").code, ERROR_FILE_NOT_FOUND);
        }
    }
    EXPECT_EQ(readValue("X", "a").bytes, "b\0"s);
}

TEST_F(RegistryTool, ReportsADamagedFile) {
    createKey(HKEY_LOCAL_MACHINE, "X");
    machine.writeFile("registry.db", std::string(2048, 'x'));
    const std::vector<std::string> commandLines[] = {
        {"add", "HKLM\\X", "/v", "a", "/f"},
        {"query", "HKLM\\X"},
        {"delete", "HKLM\\X", "/f"},
    };
    for (const std::vector<std::string>& arguments : commandLines) {
        SCOPED_TRACE(arguments[0]);
        RegRun run = runReg(machine, arguments);
        EXPECT_EQ(run.exitCode, 1) << describe(run);
        EXPECT_NE(run.err.find(machine.path("registry.db")), std::string::npos) << run.err;
    }
}

}  // namespace
