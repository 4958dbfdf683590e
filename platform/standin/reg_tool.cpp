// reg: adds, queries and deletes keys and values in the registry of the stand-in machine at
// $WINDOWS_ROOT, with the command line of Windows' reg.exe. Arguments are UTF-8 and become code
// page 932 in the registry; what is printed is UTF-8 again.
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"
#include "platform/standin/machine.h"

namespace {

const char kUsage[] =
    "Usage:\n"
    "  reg add    <key> [/v <name> | /ve] [/t <type>] [/d <data>] [/f]\n"
    "  reg query  <key> [/v <name> | /ve]\n"
    "  reg delete <key> [/v <name> | /ve | /va] [/f]\n"
    "\n"
    "  <key>   HKLM\\<subkey> or HKEY_LOCAL_MACHINE\\<subkey>, in the machine at $WINDOWS_ROOT\n"
    "  /v      the value <name>; /ve the default value; /va (delete) every value of the key\n"
    "  /t      REG_SZ (the default), REG_EXPAND_SZ, REG_DWORD or REG_BINARY\n"
    "  /d      the data: text; for REG_DWORD a number, decimal or 0x hex; for REG_BINARY\n"
    "          hex digits, two a byte (\"0a0b\")\n"
    "  /f      this tool never asks for confirmation: replacing an existing value and\n"
    "          deleting need /f, and without it the tool refuses and exits with 1\n"
    "\n"
    "Exit code 0 on success, 1 on failure.\n";

const char kNotFound[] =
    "ERROR: The system was unable to find the specified registry key or value.";

enum ExitCode { kSuccess = 0, kFailure = 1 };

struct Options {
    std::string operation;                 // add, query or delete
    std::string keyDisplay;                // HKEY_LOCAL_MACHINE\... in UTF-8, as printed
    std::string subKey;                    // code page 932
    std::optional<std::string> valueName;  // code page 932; "" for /ve
    bool allValues = false;
    std::optional<std::string> type;
    std::optional<std::string> data;       // code page 932
    bool force = false;
};

struct KeyOwner {
    KeyOwner() = default;
    KeyOwner(const KeyOwner&) = delete;
    KeyOwner& operator=(const KeyOwner&) = delete;
    ~KeyOwner() {
        if (key) RegCloseKey(key);
    }

    HKEY key = nullptr;
};

bool sameLetters(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i] >= 'a' && a[i] <= 'z' ? static_cast<char>(a[i] - 'a' + 'A') : a[i];
        char y = b[i] >= 'a' && b[i] <= 'z' ? static_cast<char>(b[i] - 'a' + 'A') : b[i];
        if (x != y) return false;
    }
    return true;
}

int usageError(const std::string& complaint) {
    fprintf(stderr, "ERROR: Invalid syntax. %s\n\n%s", complaint.c_str(), kUsage);
    return kFailure;
}

int failure(const std::string& message) {
    fprintf(stderr, "%s\n", message.c_str());
    return kFailure;
}

int registryFailure(LONG code) {
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
            return failure(kNotFound);
        case ERROR_ACCESS_DENIED:
            return failure("ERROR: Access is denied.");
        case ERROR_BAD_PATHNAME:
            return failure("ERROR: Invalid key name.");
        case ERROR_BADDB:
            return failure("ERROR: The configuration registry database is corrupt.");
        default:
            return failure("ERROR: The registry call failed with error " + std::to_string(code) +
                           ".");
    }
}

int succeeded() {
    printf("The operation completed successfully.\n");
    return kSuccess;
}

std::string toUtf8(std::string_view cp932) {
    std::string utf8;
    return standin::cp932ToUtf8(cp932, utf8) ? utf8 : std::string(cp932);
}

// ---- The command line.

bool isSwitch(const std::string& argument, std::string_view name) {
    return argument.size() == name.size() + 1 && (argument[0] == '/' || argument[0] == '-') &&
           sameLetters(std::string_view(argument).substr(1), name);
}

// Splits the key into its root and subkey; false when the root is not HKEY_LOCAL_MACHINE.
bool readKey(const std::string& key, Options& options) {
    size_t slash = key.find('\\');
    std::string root = key.substr(0, slash);
    if (!sameLetters(root, "HKLM") && !sameLetters(root, "HKEY_LOCAL_MACHINE")) return false;
    std::string rest = slash == std::string::npos ? std::string() : key.substr(slash + 1);
    while (!rest.empty() && rest.back() == '\\') rest.pop_back();
    options.keyDisplay = "HKEY_LOCAL_MACHINE" + (rest.empty() ? std::string() : "\\" + rest);
    return standin::utf8ToCp932(rest, options.subKey);
}

// Reads the command line into `options`; an empty string, or the complaint for the user.
std::string readArguments(const std::vector<std::string>& arguments, Options& options) {
    if (arguments.empty()) return "No operation was given.";
    const std::string& operation = arguments[0];
    for (const char* known : {"add", "query", "delete"}) {
        if (sameLetters(operation, known)) options.operation = known;
    }
    if (options.operation.empty()) return "Unknown operation \"" + operation + "\".";
    if (arguments.size() < 2) return "No key was given.";
    if (!readKey(arguments[1], options)) {
        return "The key must be HKLM\\<subkey> or HKEY_LOCAL_MACHINE\\<subkey>, in code page 932.";
    }
    bool adding = options.operation == "add";
    bool deleting = options.operation == "delete";
    for (size_t i = 2; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        bool hasNext = i + 1 < arguments.size();
        if (isSwitch(argument, "v") || isSwitch(argument, "ve") ||
            (deleting && isSwitch(argument, "va"))) {
            if (options.valueName || options.allValues) return "Give one of /v, /ve and /va.";
            if (isSwitch(argument, "va")) {
                options.allValues = true;
            } else if (isSwitch(argument, "ve")) {
                options.valueName = std::string();
            } else {
                if (!hasNext) return "/v needs a value name.";
                std::string name;
                if (!standin::utf8ToCp932(arguments[++i], name)) {
                    return "The value name cannot be written in code page 932.";
                }
                options.valueName = name;
            }
        } else if (adding && isSwitch(argument, "t")) {
            if (options.type || !hasNext) return "/t needs one type.";
            options.type = arguments[++i];
        } else if (adding && isSwitch(argument, "d")) {
            if (options.data || !hasNext) return "/d needs one data.";
            std::string data;
            if (!standin::utf8ToCp932(arguments[++i], data)) {
                return "The data cannot be written in code page 932.";
            }
            options.data = data;
        } else if ((adding || deleting) && isSwitch(argument, "f")) {
            options.force = true;
        } else {
            return "Unexpected \"" + argument + "\".";
        }
    }
    if ((options.type || options.data) && !options.valueName) {
        return "/t and /d need /v <name> or /ve.";
    }
    return {};
}

// ---- Value data.

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A REG_DWORD's data: decimal or 0x hex; no data at all is 0.
std::optional<DWORD> readDword(const std::string& data) {
    if (data.empty()) return 0;
    bool isHex = data.size() > 2 && data[0] == '0' && (data[1] == 'x' || data[1] == 'X');
    std::string digits = isHex ? data.substr(2) : data;
    if (digits.size() > 10) return std::nullopt;
    unsigned long long number = 0;
    for (char c : digits) {
        int digit = hexDigit(c);
        if (digit < 0 || (!isHex && digit >= 10)) return std::nullopt;
        number = number * (isHex ? 16 : 10) + static_cast<unsigned>(digit);
    }
    if (number > 0xFFFFFFFFull) return std::nullopt;
    return static_cast<DWORD>(number);
}

// The bytes reg.exe stores for the data; nullopt (and a message) when the data does not fit the
// type.
std::optional<std::string> encodeData(DWORD type, const std::string& data) {
    if (type == REG_SZ || type == REG_EXPAND_SZ) return data + '\0';
    if (type == REG_DWORD) {
        std::optional<DWORD> number = readDword(data);
        if (!number) {
            failure("ERROR: REG_DWORD data must be a number from 0 to 4294967295, decimal or "
                    "0x hex.");
            return std::nullopt;
        }
        std::string bytes(4, '\0');
        for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((*number >> (8 * i)) & 0xFF);
        return bytes;
    }
    std::string bytes;
    for (size_t i = 0; i + 1 < data.size(); i += 2) {
        int high = hexDigit(data[i]);
        int low = hexDigit(data[i + 1]);
        if (high < 0 || low < 0) break;
        bytes += static_cast<char>(high * 16 + low);
    }
    if (bytes.size() * 2 != data.size()) {
        failure("ERROR: REG_BINARY data must be hex digits, two a byte.");
        return std::nullopt;
    }
    return bytes;
}

std::optional<DWORD> typeNamed(const std::string& name) {
    if (sameLetters(name, "REG_SZ")) return REG_SZ;
    if (sameLetters(name, "REG_EXPAND_SZ")) return REG_EXPAND_SZ;
    if (sameLetters(name, "REG_DWORD")) return REG_DWORD;
    if (sameLetters(name, "REG_BINARY")) return REG_BINARY;
    return std::nullopt;
}

std::string typeName(DWORD type) {
    switch (type) {
        case REG_NONE:
            return "REG_NONE";
        case REG_SZ:
            return "REG_SZ";
        case REG_EXPAND_SZ:
            return "REG_EXPAND_SZ";
        case REG_BINARY:
            return "REG_BINARY";
        case REG_DWORD:
            return "REG_DWORD";
        case REG_MULTI_SZ:
            return "REG_MULTI_SZ";
        default: {
            char number[16];
            snprintf(number, sizeof number, "0x%x", type);
            return number;
        }
    }
}

// The data as reg.exe shows it: text up to the first NUL, a DWORD as 0x hex, anything else as
// the exact bytes in upper-case hex.
std::string showData(DWORD type, const std::string& bytes) {
    if (type == REG_SZ || type == REG_EXPAND_SZ) return toUtf8(bytes.substr(0, bytes.find('\0')));
    char text[16];
    if (type == REG_DWORD && bytes.size() == 4) {
        DWORD number = 0;
        for (int i = 3; i >= 0; --i) number = (number << 8) | static_cast<unsigned char>(bytes[i]);
        snprintf(text, sizeof text, "0x%x", number);
        return text;
    }
    std::string hex;
    for (char byte : bytes) {
        snprintf(text, sizeof text, "%02X", static_cast<unsigned char>(byte));
        hex += text;
    }
    return hex;
}

void showValue(const std::string& name, DWORD type, const std::string& bytes) {
    std::string shownName = name.empty() ? "(Default)" : toUtf8(name);
    printf("    %s    %s    %s\n", shownName.c_str(), typeName(type).c_str(),
           showData(type, bytes).c_str());
}

// Reads a whole value, growing the buffer if another process grew the value meanwhile.
LONG readValue(HKEY key, const std::string& name, DWORD& type, std::string& bytes) {
    DWORD size = 0;
    LONG code = RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size);
    while (code == ERROR_SUCCESS || code == ERROR_MORE_DATA) {
        bytes.assign(size, '\0');
        code = RegQueryValueExA(key, name.c_str(), nullptr, &type,
                                reinterpret_cast<BYTE*>(bytes.data()), &size);
        if (code == ERROR_SUCCESS) {
            bytes.resize(size);
            return code;
        }
    }
    return code;
}

// The names of a key's values or subkeys, in their order.
LONG valueNames(HKEY key, std::vector<std::string>& names) {
    for (DWORD index = 0;; ++index) {
        std::string name(16384, '\0');
        DWORD size = static_cast<DWORD>(name.size());
        LONG code =
            RegEnumValueA(key, index, name.data(), &size, nullptr, nullptr, nullptr, nullptr);
        if (code == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
        if (code != ERROR_SUCCESS) return code;
        names.push_back(name.substr(0, size));
    }
}

LONG subkeyNames(HKEY key, std::vector<std::string>& names) {
    for (DWORD index = 0;; ++index) {
        std::string name(16384, '\0');
        DWORD size = static_cast<DWORD>(name.size());
        LONG code = RegEnumKeyExA(key, index, name.data(), &size, nullptr, nullptr, nullptr,
                                  nullptr);
        if (code == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
        if (code != ERROR_SUCCESS) return code;
        names.push_back(name.substr(0, size));
    }
}

// ---- The operations.

int add(const Options& options) {
    DWORD type = REG_SZ;
    if (options.type) {
        std::optional<DWORD> named = typeNamed(*options.type);
        if (!named) {
            return failure("ERROR: This tool writes REG_SZ, REG_EXPAND_SZ, REG_DWORD and "
                           "REG_BINARY, not \"" + *options.type + "\".");
        }
        type = *named;
    }
    std::optional<std::string> bytes;
    if (options.valueName) {
        bytes = encodeData(type, options.data.value_or(std::string()));
        if (!bytes) return kFailure;
    }
    KeyOwner key;
    LONG code =
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, options.subKey.c_str(), 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key.key, nullptr);
    if (code != ERROR_SUCCESS) return registryFailure(code);
    if (!options.valueName) return succeeded();
    const char* name = options.valueName->c_str();
    if (!options.force) {
        code = RegQueryValueExA(key.key, name, nullptr, nullptr, nullptr, nullptr);
        if (code == ERROR_SUCCESS) {
            std::string shown =
                options.valueName->empty() ? "(Default)" : toUtf8(*options.valueName);
            return failure("ERROR: The value " + shown +
                           " exists. This tool does not ask; give /f to overwrite it.");
        }
        if (code != ERROR_FILE_NOT_FOUND) return registryFailure(code);
    }
    code = RegSetValueExA(key.key, name, 0, type, reinterpret_cast<const BYTE*>(bytes->data()),
                          static_cast<DWORD>(bytes->size()));
    if (code != ERROR_SUCCESS) return registryFailure(code);
    return succeeded();
}

int query(const Options& options) {
    KeyOwner key;
    LONG code = RegOpenKeyExA(HKEY_LOCAL_MACHINE, options.subKey.c_str(), 0, KEY_READ, &key.key);
    if (code != ERROR_SUCCESS) return registryFailure(code);
    if (options.valueName) {
        DWORD type = REG_NONE;
        std::string bytes;
        code = readValue(key.key, *options.valueName, type, bytes);
        if (code == ERROR_FILE_NOT_FOUND && options.valueName->empty()) {
            printf("\n%s\n    (Default)    REG_SZ    (value not set)\n\n",
                   options.keyDisplay.c_str());
            return kSuccess;
        }
        if (code != ERROR_SUCCESS) return registryFailure(code);
        printf("\n%s\n", options.keyDisplay.c_str());
        showValue(*options.valueName, type, bytes);
        printf("\n");
        return kSuccess;
    }
    std::vector<std::string> values;
    std::vector<std::string> subkeys;
    code = valueNames(key.key, values);
    if (code == ERROR_SUCCESS) code = subkeyNames(key.key, subkeys);
    if (code != ERROR_SUCCESS) return registryFailure(code);
    printf("\n%s\n", options.keyDisplay.c_str());
    for (const std::string& name : values) {
        DWORD type = REG_NONE;
        std::string bytes;
        code = readValue(key.key, name, type, bytes);
        if (code != ERROR_SUCCESS) return registryFailure(code);
        showValue(name, type, bytes);
    }
    if (!subkeys.empty()) printf("\n");
    for (const std::string& name : subkeys) {
        printf("%s\\%s\n", options.keyDisplay.c_str(), toUtf8(name).c_str());
    }
    return kSuccess;
}

// Deletes every key below `key`, deepest first, since RegDeleteKeyA only removes a leaf.
LONG deleteSubkeys(HKEY key) {
    std::vector<std::string> names;
    LONG code = subkeyNames(key, names);
    for (const std::string& name : names) {
        if (code != ERROR_SUCCESS) break;
        KeyOwner subkey;
        code = RegOpenKeyExA(key, name.c_str(), 0, KEY_ALL_ACCESS, &subkey.key);
        if (code == ERROR_SUCCESS) code = deleteSubkeys(subkey.key);
        if (code == ERROR_SUCCESS) code = RegDeleteKeyA(key, name.c_str());
    }
    return code;
}

int remove(const Options& options) {
    bool wholeKey = !options.valueName && !options.allValues;
    if (wholeKey && options.subKey.empty()) {
        return failure("ERROR: HKEY_LOCAL_MACHINE itself cannot be deleted.");
    }
    KeyOwner key;
    LONG code = RegOpenKeyExA(HKEY_LOCAL_MACHINE, options.subKey.c_str(), 0, KEY_ALL_ACCESS,
                              &key.key);
    if (code != ERROR_SUCCESS) return registryFailure(code);
    if (options.valueName) {
        code = RegQueryValueExA(key.key, options.valueName->c_str(), nullptr, nullptr, nullptr,
                                nullptr);
        if (code != ERROR_SUCCESS) return registryFailure(code);
    }
    if (!options.force) {
        std::string what = wholeKey ? "the key " + options.keyDisplay
                           : options.allValues ? "all values of " + options.keyDisplay
                           : options.valueName->empty() ? std::string("the value (Default)")
                                                        : "the value " + toUtf8(*options.valueName);
        return failure("ERROR: Deleting " + what + " needs /f: this tool does not ask.");
    }
    if (options.valueName) {
        code = RegDeleteValueA(key.key, options.valueName->c_str());
    } else if (options.allValues) {
        std::vector<std::string> names;
        code = valueNames(key.key, names);
        for (size_t i = 0; code == ERROR_SUCCESS && i < names.size(); ++i) {
            code = RegDeleteValueA(key.key, names[i].c_str());
        }
    } else {
        code = deleteSubkeys(key.key);
        if (code == ERROR_SUCCESS) code = RegDeleteKeyA(key.key, "");
    }
    if (code != ERROR_SUCCESS) return registryFailure(code);
    return succeeded();
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    if (arguments.size() == 1 && (arguments[0] == "/?" || arguments[0] == "-?")) {
        printf("%s", kUsage);
        return kSuccess;
    }
    Options options;
    std::string complaint = readArguments(arguments, options);
    if (!complaint.empty()) return usageError(complaint);
    if (options.operation == "add") return add(options);
    if (options.operation == "query") return query(options);
    return remove(options);
}
