// Registry service (ADVAPI32): keys and values under the predefined roots.
//
// Every operation returns ERROR_SUCCESS or a Win32 error code (it does not set the last error).
// Key and value names are case-insensitive; values keep their type and exact bytes. A key handle
// from RegOpenKeyExA or RegCreateKeyExA is the caller's and is released with RegCloseKey.
#pragma once

#include "platform/win_types.h"

#ifndef _WIN32
struct HKEY__;
typedef HKEY__* HKEY;
typedef HKEY* PHKEY;
typedef DWORD REGSAM;

// The predefined root is a sign-extended 32-bit value, as the SDK defines it.
#define HKEY_LOCAL_MACHINE ((HKEY)(ULONG_PTR)((LONG)0x80000002))

#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_MULTI_SZ 7

#define KEY_QUERY_VALUE 0x0001
#define KEY_SET_VALUE 0x0002
#define KEY_CREATE_SUB_KEY 0x0004
#define KEY_ENUMERATE_SUB_KEYS 0x0008
#define KEY_READ 0x20019
#define KEY_WRITE 0x20006
#define KEY_ALL_ACCESS 0xF003F

#define REG_OPTION_NON_VOLATILE 0
#define REG_CREATED_NEW_KEY 1
#define REG_OPENED_EXISTING_KEY 2

LONG WINAPI RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result);
// Creates missing keys along the path; *disposition says whether the last one was new.
LONG WINAPI RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR keyClass, DWORD options,
                            REGSAM access, const SECURITY_ATTRIBUTES* security, PHKEY result,
                            LPDWORD disposition);
// With data null, reports the size in *dataSize; when the data does not fit, ERROR_MORE_DATA and
// the needed size in *dataSize. A null name is the key's default value.
LONG WINAPI RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type,
                             LPBYTE data, LPDWORD dataSize);
LONG WINAPI RegSetValueExA(HKEY key, LPCSTR valueName, DWORD reserved, DWORD type,
                           const BYTE* data, DWORD dataSize);
LONG WINAPI RegDeleteValueA(HKEY key, LPCSTR valueName);
// Removes one key that has no subkeys (ERROR_ACCESS_DENIED when it has some).
LONG WINAPI RegDeleteKeyA(HKEY key, LPCSTR subKey);
// Subkeys come sorted by name, as the hive keeps them, values in the order of their creation;
// ERROR_NO_MORE_ITEMS past the end. *nameSize is in
// characters without the terminator on success, as Windows reports it.
LONG WINAPI RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD reserved,
                          LPSTR keyClass, LPDWORD classSize, PFILETIME lastWriteTime);
LONG WINAPI RegEnumValueA(HKEY key, DWORD index, LPSTR valueName, LPDWORD valueNameSize,
                          LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD dataSize);
LONG WINAPI RegCloseKey(HKEY key);
#endif
