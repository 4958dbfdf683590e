// The install record: HKEY_LOCAL_MACHINE\<registryKey> with Dir, CD and InstType.
#include <cstring>

#include "engine/setup_engine.h"

namespace {

// Text values are stored as the text, its terminator and one further zero byte.
bool writeTextValue(SetupEngine& engine, const char* name, const char* text) {
    char data[MAX_PATH + 1] = {};
    size_t length = strnlen(text, MAX_PATH - 1);
    memcpy(data, text, length);
    return engine.writeInstallValue(name, REG_SZ, data, static_cast<DWORD>(length + 2));
}

}  // namespace

bool SetupEngine::readInstallRecord() {
    if (!openInstallKey(registryKey)) return false;
    debugTrace("open <%s>", registryKey);
    if (!readInstallValue("Dir", REG_SZ, installDir, sizeof installDir)) return false;
    debugTrace("Dir <%s>", installDir);
    if (!readInstallValue("CD", REG_SZ, sourceDir, sizeof sourceDir)) return false;
    debugTrace("CD <%s>", sourceDir);
    if (!readInstallValue("InstType", REG_DWORD, &installType, sizeof installType)) return false;
    debugTrace("InstType <%d>", static_cast<int>(installType));
    closeInstallKey();
    return true;
}

bool SetupEngine::writeInstallRecord() {
    if (!createInstallKey(registryKey)) return false;
    debugTrace("create <%s>", registryKey);
    if (!writeTextValue(*this, "Dir", installDir)) return false;
    debugTrace("Dir <%s>", installDir);
    if (!writeTextValue(*this, "CD", sourceDir)) return false;
    debugTrace("CD <%s>", sourceDir);
    if (!writeInstallValue("InstType", REG_DWORD, &installType, sizeof installType)) return false;
    debugTrace("InstType <%d>", static_cast<int>(installType));
    closeInstallKey();
    return true;
}

bool SetupEngine::deleteInstallRecord(const char* keyPath) {
    return RegDeleteKeyA(HKEY_LOCAL_MACHINE, keyPath) == ERROR_SUCCESS;
}

bool SetupEngine::openInstallKey(const char* keyPath) {
    closeInstallKey();
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_ALL_ACCESS, &installKey) != ERROR_SUCCESS) {
        installKey = nullptr;
        return false;
    }
    return true;
}

bool SetupEngine::createInstallKey(const char* keyPath) {
    closeInstallKey();
    DWORD disposition;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &installKey, &disposition) != ERROR_SUCCESS) {
        installKey = nullptr;
        return false;
    }
    return true;
}

void SetupEngine::closeInstallKey() {
    if (!installKey) return;
    RegCloseKey(installKey);
    installKey = nullptr;
}

// A text read into a field is always terminated inside it: a value too long for the field, or
// one whose bytes the platform left undefined, leaves the field empty rather than cut.
bool SetupEngine::readInstallValue(const char* name, DWORD type, void* buffer, DWORD bufferSize) {
    DWORD storedType = REG_NONE;
    DWORD size = bufferSize;
    auto* bytes = static_cast<BYTE*>(buffer);
    LONG result = installKey ? RegQueryValueExA(installKey, name, nullptr, &storedType, bytes, &size)
                             : ERROR_INVALID_HANDLE;
    bool read = result == ERROR_SUCCESS;
    if (type == REG_SZ && read && !memchr(bytes, '\0', size)) {
        read = size < bufferSize;
        bytes[read ? size : 0] = '\0';
    } else if (type == REG_SZ && result == ERROR_MORE_DATA) {
        bytes[0] = '\0';
    }
    if (!read) closeInstallKey();
    return read;
}

bool SetupEngine::writeInstallValue(const char* name, DWORD type, const void* data,
                                    DWORD byteCount) {
    bool written = installKey && RegSetValueExA(installKey, name, 0, type,
                                                static_cast<const BYTE*>(data),
                                                byteCount) == ERROR_SUCCESS;
    if (!written) closeInstallKey();
    return written;
}
