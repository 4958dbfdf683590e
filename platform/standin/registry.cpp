// The stand-in registry: HKEY_LOCAL_MACHINE kept in an SQLite database in the machine root.
//
// Every call opens the database, does its work in one transaction and closes it again, so that
// another process's changes are seen at once, WINDOWS_ROOT may move between calls, and a change
// is on disk (synchronous=FULL) when the call returns. Writers take the write lock up front and
// wait on the busy timeout, so two processes can use the registry at the same time.
//
// A key handle stands for the key's row id. Row ids are never reused (AUTOINCREMENT), so a
// handle whose key was deleted answers ERROR_KEY_DELETED even after the same path is created
// again.
//
// Paths: empty components from doubled or trailing backslashes are skipped; a subkey that
// begins with a backslash is refused with ERROR_BAD_PATHNAME, as RegCreateKeyEx documents, by
// every call that takes a subkey.
#include "platform/registry.h"

#include <sqlite3.h>
#include <time.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/standin/machine.h"

namespace {

// HKEY_LOCAL_MACHINE itself has no row; its subkeys have this parent.
constexpr int64_t kRootKey = 0;
constexpr int kBusyMilliseconds = 10000;
constexpr int kFormatVersion = 1;
// What a `fail` line without a result makes a call return: the refusal a registry call meets most.
constexpr LONG kInjectedFallback = ERROR_ACCESS_DENIED;

const char kSchema[] =
    "CREATE TABLE keys ("
    "  id INTEGER PRIMARY KEY AUTOINCREMENT,"
    "  parent INTEGER NOT NULL,"
    "  name BLOB NOT NULL,"
    "  folded BLOB NOT NULL,"
    "  written INTEGER NOT NULL,"
    "  UNIQUE (parent, folded));"
    "CREATE TABLE vals ("
    "  id INTEGER PRIMARY KEY AUTOINCREMENT,"
    "  key INTEGER NOT NULL,"
    "  name BLOB NOT NULL,"
    "  folded BLOB NOT NULL,"
    "  type INTEGER NOT NULL,"
    "  data BLOB NOT NULL,"
    "  UNIQUE (key, folded));";

// ---- Names and paths, in code page 932 bytes.

// The names along a subkey path. A trail byte 0x5C (ソ is 83 5C) is not a separator.
std::vector<std::string> splitPath(const char* path) {
    std::vector<std::string> names;
    std::string current;
    for (size_t i = 0; path && path[i] != '\0'; ++i) {
        unsigned char byte = static_cast<unsigned char>(path[i]);
        if (byte == '\\') {
            if (!current.empty()) names.push_back(current);
            current.clear();
            continue;
        }
        current += path[i];
        if (standin::isLeadByte932(byte) && path[i + 1] != '\0') current += path[++i];
    }
    if (!current.empty()) names.push_back(current);
    return names;
}

bool startsWithBackslash(const char* path) { return path && path[0] == '\\'; }

std::string valueNameOf(const char* name) { return name ? std::string(name) : std::string(); }

int64_t fileTimeNow() {
    constexpr int64_t kUnixEpochAsFileTime = 116444736000000000LL;
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<int64_t>(now.tv_sec) * 10000000 + now.tv_nsec / 100 + kUnixEpochAsFileTime;
}

// ---- The database.

// Thrown when the database cannot be used; the call reports it and fails with ERROR_BADDB.
struct DbFailure {
    std::string message;
};

struct Connection {
    Connection() = default;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    ~Connection() { sqlite3_close_v2(db); }

    sqlite3* db = nullptr;
    std::string path;
};

[[noreturn]] void fail(const Connection& connection, int code) {
    const char* reason = connection.db ? sqlite3_errmsg(connection.db) : sqlite3_errstr(code);
    throw DbFailure{"the registry file " + connection.path + " cannot be used: " + reason};
}

void execute(Connection& connection, const char* sql) {
    int code = sqlite3_exec(connection.db, sql, nullptr, nullptr, nullptr);
    if (code != SQLITE_OK) fail(connection, code);
}

struct Statement {
    Statement(Connection& connection, const char* sql) : connection(connection) {
        int code = sqlite3_prepare_v2(connection.db, sql, -1, &statement, nullptr);
        if (code != SQLITE_OK) fail(connection, code);
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement() { sqlite3_finalize(statement); }

    void bind(int index, int64_t value) { check(sqlite3_bind_int64(statement, index, value)); }
    // Always a blob, never a null: names and data compare and come back byte for byte.
    void bind(int index, std::string_view bytes) {
        static const char kNothing = 0;
        check(sqlite3_bind_blob64(statement, index, bytes.empty() ? &kNothing : bytes.data(),
                                  bytes.size(), SQLITE_TRANSIENT));
    }
    // True for a row, false when done.
    bool step() {
        int code = sqlite3_step(statement);
        if (code == SQLITE_ROW) return true;
        if (code != SQLITE_DONE) fail(connection, code);
        return false;
    }
    int64_t integer(int column) { return sqlite3_column_int64(statement, column); }
    std::string bytes(int column) {
        const void* data = sqlite3_column_blob(statement, column);
        int size = sqlite3_column_bytes(statement, column);
        return data ? std::string(static_cast<const char*>(data), static_cast<size_t>(size))
                    : std::string();
    }
    void check(int code) {
        if (code != SQLITE_OK) fail(connection, code);
    }

    Connection& connection;
    sqlite3_stmt* statement = nullptr;
};

// Rolled back unless committed.
struct Transaction {
    Transaction(Connection& connection, bool writing) : connection(connection) {
        execute(connection, writing ? "BEGIN IMMEDIATE" : "BEGIN");
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    ~Transaction() {
        if (open) sqlite3_exec(connection.db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    void commit() {
        execute(connection, "COMMIT");
        open = false;
    }

    Connection& connection;
    bool open = true;
};

int formatVersion(Connection& connection) {
    Statement query(connection, "PRAGMA user_version");
    return query.step() ? static_cast<int>(query.integer(0)) : 0;
}

void openRegistry(Connection& connection) {
    connection.path = standin::machinePath("registry.db");
    if (connection.path.empty()) throw DbFailure{"the registry is not available"};
    int code = sqlite3_open_v2(connection.path.c_str(), &connection.db,
                               SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (code != SQLITE_OK) fail(connection, code);
    sqlite3_busy_timeout(connection.db, kBusyMilliseconds);
    execute(connection, "PRAGMA synchronous=FULL");
    int version = formatVersion(connection);
    if (version == kFormatVersion) return;
    if (version != 0) {
        throw DbFailure{"the registry file " + connection.path + " has the unknown format " +
                        std::to_string(version)};
    }
    Transaction transaction(connection, true);
    if (formatVersion(connection) == 0) {
        execute(connection, kSchema);
        execute(connection, ("PRAGMA user_version=" + std::to_string(kFormatVersion)).c_str());
    }
    transaction.commit();
}

bool keyExists(Connection& connection, int64_t key) {
    if (key == kRootKey) return true;
    Statement query(connection, "SELECT 1 FROM keys WHERE id = ?");
    query.bind(1, key);
    return query.step();
}

std::optional<int64_t> findSubkey(Connection& connection, int64_t parent, std::string_view name) {
    Statement query(connection, "SELECT id FROM keys WHERE parent = ? AND folded = ?");
    query.bind(1, parent);
    query.bind(2, standin::foldName932(name));
    if (!query.step()) return std::nullopt;
    return query.integer(0);
}

// Follows a path down from `key`; nullopt when a key along it is missing.
std::optional<int64_t> findPath(Connection& connection, int64_t key, const char* path) {
    for (const std::string& name : splitPath(path)) {
        std::optional<int64_t> next = findSubkey(connection, key, name);
        if (!next) return std::nullopt;
        key = *next;
    }
    return key;
}

void touchKey(Connection& connection, int64_t key) {
    if (key == kRootKey) return;
    Statement update(connection, "UPDATE keys SET written = ? WHERE id = ?");
    update.bind(1, fileTimeNow());
    update.bind(2, key);
    update.step();
}

// ---- Handles.

struct HandleTable {
    std::mutex lock;
    std::map<uintptr_t, int64_t> keys;  // handle value -> key row id
    uintptr_t next = 0x1000;
};

HandleTable& handleTable() {
    static HandleTable table;
    return table;
}

// The key a handle stands for; nullopt when it is not an open handle of this process.
std::optional<int64_t> keyOf(HKEY handle) {
    if (handle == HKEY_LOCAL_MACHINE) return kRootKey;
    HandleTable& table = handleTable();
    std::lock_guard<std::mutex> guard(table.lock);
    auto found = table.keys.find(reinterpret_cast<uintptr_t>(handle));
    if (found == table.keys.end()) return std::nullopt;
    return found->second;
}

HKEY newHandle(int64_t key) {
    HandleTable& table = handleTable();
    std::lock_guard<std::mutex> guard(table.lock);
    uintptr_t value = table.next;
    table.next += 4;
    table.keys[value] = key;
    return reinterpret_cast<HKEY>(value);
}

bool closeHandle(HKEY handle) {
    HandleTable& table = handleTable();
    std::lock_guard<std::mutex> guard(table.lock);
    return table.keys.erase(reinterpret_cast<uintptr_t>(handle)) == 1;
}

// ---- Common steps of the calls.

// Runs a call: an injected failure from the settings file first, then the body, whose database
// failures are reported and become ERROR_BADDB.
template <typename Body>
LONG guarded(const char* operation, Body body) {
    try {
        uint32_t injected = 0;
        if (standin::injectedFailure(operation, kInjectedFallback, &injected)) {
            return static_cast<LONG>(injected);
        }
        return body();
    } catch (const DbFailure& failure) {
        standin::reportProblem(failure.message);
        return ERROR_BADDB;
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

// Hands over data as RegQueryValueExA does: the size always, the bytes when they fit.
LONG deliver(const std::string& bytes, LPBYTE data, LPDWORD dataSize) {
    if (!dataSize) return ERROR_SUCCESS;
    DWORD room = *dataSize;
    *dataSize = static_cast<DWORD>(bytes.size());
    if (!data) return ERROR_SUCCESS;
    if (bytes.size() > room) return ERROR_MORE_DATA;
    if (!bytes.empty()) memcpy(data, bytes.data(), bytes.size());
    return ERROR_SUCCESS;
}

// Copies a name with its terminator when it fits in *size characters; *size becomes its length.
LONG deliverName(const std::string& name, LPSTR buffer, LPDWORD size) {
    if (name.size() + 1 > *size) return ERROR_MORE_DATA;
    memcpy(buffer, name.data(), name.size());
    buffer[name.size()] = '\0';
    *size = static_cast<DWORD>(name.size());
    return ERROR_SUCCESS;
}

}  // namespace

LONG WINAPI RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD, REGSAM, PHKEY result) {
    if (result) *result = nullptr;
    return guarded("RegOpenKeyExA", [&]() -> LONG {
        if (!result) return ERROR_INVALID_PARAMETER;
        std::optional<int64_t> base = keyOf(key);
        if (!base) return ERROR_INVALID_HANDLE;
        if (startsWithBackslash(subKey)) return ERROR_BAD_PATHNAME;
        Connection connection;
        openRegistry(connection);
        Transaction transaction(connection, false);
        if (!keyExists(connection, *base)) return ERROR_KEY_DELETED;
        std::optional<int64_t> found = findPath(connection, *base, subKey);
        if (!found) return ERROR_FILE_NOT_FOUND;
        *result = newHandle(*found);
        return ERROR_SUCCESS;
    });
}

LONG WINAPI RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD, LPSTR, DWORD, REGSAM,
                            const SECURITY_ATTRIBUTES*, PHKEY result, LPDWORD disposition) {
    if (result) *result = nullptr;
    return guarded("RegCreateKeyExA", [&]() -> LONG {
        if (!result || !subKey) return ERROR_INVALID_PARAMETER;
        std::optional<int64_t> base = keyOf(key);
        if (!base) return ERROR_INVALID_HANDLE;
        if (startsWithBackslash(subKey)) return ERROR_BAD_PATHNAME;
        Connection connection;
        openRegistry(connection);
        Transaction transaction(connection, true);
        if (!keyExists(connection, *base)) return ERROR_KEY_DELETED;
        int64_t current = *base;
        bool created = false;
        for (const std::string& name : splitPath(subKey)) {
            std::optional<int64_t> next = findSubkey(connection, current, name);
            created = !next;
            if (!next) {
                Statement insert(connection,
                                 "INSERT INTO keys (parent, name, folded, written) "
                                 "VALUES (?, ?, ?, ?)");
                insert.bind(1, current);
                insert.bind(2, name);
                insert.bind(3, standin::foldName932(name));
                insert.bind(4, fileTimeNow());
                insert.step();
                touchKey(connection, current);
                next = sqlite3_last_insert_rowid(connection.db);
            }
            current = *next;
        }
        transaction.commit();
        *result = newHandle(current);
        if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
        return ERROR_SUCCESS;
    });
}

LONG WINAPI RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type,
                             LPBYTE data, LPDWORD dataSize) {
    return guarded("RegQueryValueExA", [&]() -> LONG {
        if (reserved || (data && !dataSize)) return ERROR_INVALID_PARAMETER;
        std::optional<int64_t> owner = keyOf(key);
        if (!owner) return ERROR_INVALID_HANDLE;
        Connection connection;
        openRegistry(connection);
        Transaction transaction(connection, false);
        if (!keyExists(connection, *owner)) return ERROR_KEY_DELETED;
        Statement query(connection, "SELECT type, data FROM vals WHERE key = ? AND folded = ?");
        query.bind(1, *owner);
        query.bind(2, standin::foldName932(valueNameOf(valueName)));
        if (!query.step()) return ERROR_FILE_NOT_FOUND;
        if (type) *type = static_cast<DWORD>(query.integer(0));
        return deliver(query.bytes(1), data, dataSize);
    });
}

LONG WINAPI RegSetValueExA(HKEY key, LPCSTR valueName, DWORD, DWORD type, const BYTE* data,
                           DWORD dataSize) {
    return guarded("RegSetValueExA", [&]() -> LONG {
        if (!data && dataSize != 0) return ERROR_INVALID_PARAMETER;
        std::optional<int64_t> owner = keyOf(key);
        if (!owner) return ERROR_INVALID_HANDLE;
        Connection connection;
        openRegistry(connection);
        Transaction transaction(connection, true);
        if (!keyExists(connection, *owner)) return ERROR_KEY_DELETED;
        // An existing value keeps its place in the enumeration and the spelling of its name.
        Statement upsert(connection,
                         "INSERT INTO vals (key, name, folded, type, data) VALUES (?, ?, ?, ?, ?) "
                         "ON CONFLICT (key, folded) DO UPDATE SET type = excluded.type, "
                         "data = excluded.data");
        std::string name = valueNameOf(valueName);
        upsert.bind(1, *owner);
        upsert.bind(2, name);
        upsert.bind(3, standin::foldName932(name));
        upsert.bind(4, static_cast<int64_t>(type));
        upsert.bind(5, std::string_view(reinterpret_cast<const char*>(data), dataSize));
        upsert.step();
        touchKey(connection, *owner);
        transaction.commit();
        return ERROR_SUCCESS;
    });
}

LONG WINAPI RegDeleteValueA(HKEY key, LPCSTR valueName) {
    return guarded("RegDeleteValueA", [&]() -> LONG {
        std::optional<int64_t> owner = keyOf(key);
        if (!owner) return ERROR_INVALID_HANDLE;
        Connection connection;
        openRegistry(connection);
        Transaction transaction(connection, true);
        if (!keyExists(connection, *owner)) return ERROR_KEY_DELETED;
        Statement remove(connection, "DELETE FROM vals WHERE key = ? AND folded = ?");
        remove.bind(1, *owner);
        remove.bind(2, standin::foldName932(valueNameOf(valueName)));
        remove.step();
        if (sqlite3_changes(connection.db) == 0) return ERROR_FILE_NOT_FOUND;
        touchKey(connection, *owner);
        transaction.commit();
        return ERROR_SUCCESS;
    });
}

LONG WINAPI RegDeleteKeyA(HKEY key, LPCSTR subKey) {
    return guarded("RegDeleteKeyA", [&]() -> LONG {
        if (!subKey) return ERROR_INVALID_PARAMETER;
        std::optional<int64_t> base = keyOf(key);
        if (!base) return ERROR_INVALID_HANDLE;
        if (startsWithBackslash(subKey)) return ERROR_BAD_PATHNAME;
        Connection connection;
        openRegistry(connection);
        Transaction transaction(connection, true);
        if (!keyExists(connection, *base)) return ERROR_KEY_DELETED;
        std::optional<int64_t> target = findPath(connection, *base, subKey);
        if (!target) return ERROR_FILE_NOT_FOUND;
        if (*target == kRootKey) return ERROR_ACCESS_DENIED;
        {
            Statement children(connection, "SELECT 1 FROM keys WHERE parent = ? LIMIT 1");
            children.bind(1, *target);
            if (children.step()) return ERROR_ACCESS_DENIED;
        }
        int64_t parent = kRootKey;
        {
            Statement query(connection, "SELECT parent FROM keys WHERE id = ?");
            query.bind(1, *target);
            if (query.step()) parent = query.integer(0);
        }
        Statement values(connection, "DELETE FROM vals WHERE key = ?");
        values.bind(1, *target);
        values.step();
        Statement row(connection, "DELETE FROM keys WHERE id = ?");
        row.bind(1, *target);
        row.step();
        touchKey(connection, parent);
        transaction.commit();
        return ERROR_SUCCESS;
    });
}

LONG WINAPI RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD reserved,
                          LPSTR keyClass, LPDWORD classSize, PFILETIME lastWriteTime) {
    return guarded("RegEnumKeyExA", [&]() -> LONG {
        if (!name || !nameSize || reserved || (keyClass && !classSize)) {
            return ERROR_INVALID_PARAMETER;
        }
        std::optional<int64_t> owner = keyOf(key);
        if (!owner) return ERROR_INVALID_HANDLE;
        Connection connection;
        openRegistry(connection);
        Transaction transaction(connection, false);
        if (!keyExists(connection, *owner)) return ERROR_KEY_DELETED;
        Statement query(connection,
                        "SELECT name, written FROM keys WHERE parent = ? ORDER BY folded "
                        "LIMIT 1 OFFSET ?");
        query.bind(1, *owner);
        query.bind(2, static_cast<int64_t>(index));
        if (!query.step()) return ERROR_NO_MORE_ITEMS;
        // Keys have no class here: an empty one.
        if (keyClass && *classSize < 1) return ERROR_MORE_DATA;
        LONG delivered = deliverName(query.bytes(0), name, nameSize);
        if (delivered != ERROR_SUCCESS) return delivered;
        if (keyClass) keyClass[0] = '\0';
        if (classSize) *classSize = 0;
        if (lastWriteTime) {
            uint64_t written = static_cast<uint64_t>(query.integer(1));
            lastWriteTime->dwLowDateTime = static_cast<DWORD>(written);
            lastWriteTime->dwHighDateTime = static_cast<DWORD>(written >> 32);
        }
        return ERROR_SUCCESS;
    });
}

LONG WINAPI RegEnumValueA(HKEY key, DWORD index, LPSTR valueName, LPDWORD valueNameSize,
                          LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD dataSize) {
    return guarded("RegEnumValueA", [&]() -> LONG {
        if (!valueName || !valueNameSize || reserved || (data && !dataSize)) {
            return ERROR_INVALID_PARAMETER;
        }
        std::optional<int64_t> owner = keyOf(key);
        if (!owner) return ERROR_INVALID_HANDLE;
        Connection connection;
        openRegistry(connection);
        Transaction transaction(connection, false);
        if (!keyExists(connection, *owner)) return ERROR_KEY_DELETED;
        Statement query(connection,
                        "SELECT name, type, data FROM vals WHERE key = ? ORDER BY id "
                        "LIMIT 1 OFFSET ?");
        query.bind(1, *owner);
        query.bind(2, static_cast<int64_t>(index));
        if (!query.step()) return ERROR_NO_MORE_ITEMS;
        LONG delivered = deliverName(query.bytes(0), valueName, valueNameSize);
        if (delivered != ERROR_SUCCESS) return delivered;
        if (type) *type = static_cast<DWORD>(query.integer(1));
        return deliver(query.bytes(2), data, dataSize);
    });
}

LONG WINAPI RegCloseKey(HKEY key) {
    return guarded("RegCloseKey", [&]() -> LONG {
        // The predefined root is never opened, so closing it has nothing to do.
        if (key == HKEY_LOCAL_MACHINE) return ERROR_SUCCESS;
        return closeHandle(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
    });
}

namespace standin {
size_t openRegistryKeys() {
    HandleTable& table = handleTable();
    std::lock_guard<std::mutex> guard(table.lock);
    return table.keys.size();
}
}  // namespace standin
