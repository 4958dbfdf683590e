// Shell service (SHELL32, and the COM services of OLE32): COM on a thread, the shell link object
// that writes shortcuts, the shell's allocator and item lists, special folders, the
// folder-browse dialog and ShellExecuteA.
//
// Narrow texts are code page 932; the COM interfaces that take wide texts take UTF-16 (OLECHAR).
#pragma once

#include "platform/kernel.h"
#include "platform/user.h"

#ifdef _WIN32
#include <shellapi.h>
#include <shlobj.h>
#else
#include <cstring>

#define STDMETHODCALLTYPE

typedef int INT;
typedef int32_t HRESULT;
typedef uint32_t ULONG;
typedef uint16_t USHORT;
typedef ULONG_PTR SIZE_T;
typedef WCHAR OLECHAR;
typedef OLECHAR* LPOLESTR;
typedef const OLECHAR* LPCOLESTR;

// ---- Results -----------------------------------------------------------------------------------

#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)
#define FACILITY_WIN32 7

#define S_OK ((HRESULT)0)
#define S_FALSE ((HRESULT)1)
#define E_NOTIMPL ((HRESULT)0x80004001)
#define E_NOINTERFACE ((HRESULT)0x80004002)
#define E_POINTER ((HRESULT)0x80004003)
#define E_ABORT ((HRESULT)0x80004004)
#define E_FAIL ((HRESULT)0x80004005)
#define E_UNEXPECTED ((HRESULT)0x8000FFFF)
#define E_ACCESSDENIED ((HRESULT)0x80070005)
#define E_OUTOFMEMORY ((HRESULT)0x8007000E)
#define E_INVALIDARG ((HRESULT)0x80070057)
#define CLASS_E_NOAGGREGATION ((HRESULT)0x80040110)
#define REGDB_E_CLASSNOTREG ((HRESULT)0x80040154)
#define CO_E_NOTINITIALIZED ((HRESULT)0x800401F0)

// A Win32 error as an HRESULT of the Win32 facility; 0 stays S_OK.
inline HRESULT HRESULT_FROM_WIN32(unsigned long error) {
    return (HRESULT)error <= 0
               ? (HRESULT)error
               : (HRESULT)((error & 0x0000FFFF) | (FACILITY_WIN32 << 16) | 0x80000000);
}

// ---- Identifiers -------------------------------------------------------------------------------

typedef struct _GUID {
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];
} GUID;
typedef GUID IID;
typedef GUID CLSID;
typedef IID* LPIID;
typedef CLSID* LPCLSID;
typedef const GUID& REFGUID;
typedef const IID& REFIID;
typedef const CLSID& REFCLSID;

inline BOOL IsEqualGUID(REFGUID a, REFGUID b) {
    return memcmp(&a, &b, sizeof(GUID)) == 0;
}
#define IsEqualIID(a, b) IsEqualGUID(a, b)
#define IsEqualCLSID(a, b) IsEqualGUID(a, b)
inline bool operator==(REFGUID a, REFGUID b) {
    return IsEqualGUID(a, b) != FALSE;
}
inline bool operator!=(REFGUID a, REFGUID b) {
    return !(a == b);
}

extern const IID IID_IUnknown;       // {00000000-0000-0000-C000-000000000046}
extern const IID IID_IMalloc;        // {00000002-0000-0000-C000-000000000046}
extern const IID IID_IPersist;       // {0000010C-0000-0000-C000-000000000046}
extern const IID IID_IPersistFile;   // {0000010B-0000-0000-C000-000000000046}
extern const IID IID_IShellLinkA;    // {000214EE-0000-0000-C000-000000000046}
extern const CLSID CLSID_ShellLink;  // {00021401-0000-0000-C000-000000000046}

// ---- COM ---------------------------------------------------------------------------------------

#define CLSCTX_INPROC_SERVER 0x1
#define CLSCTX_INPROC_HANDLER 0x2
#define CLSCTX_LOCAL_SERVER 0x4
#define CLSCTX_INPROC (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER)

struct IUnknown {
    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) = 0;
    virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE Release() = 0;
};
typedef IUnknown* LPUNKNOWN;

struct IMalloc : IUnknown {
    virtual void* STDMETHODCALLTYPE Alloc(SIZE_T size) = 0;
    virtual void* STDMETHODCALLTYPE Realloc(void* block, SIZE_T size) = 0;
    virtual void STDMETHODCALLTYPE Free(void* block) = 0;
    virtual SIZE_T STDMETHODCALLTYPE GetSize(void* block) = 0;
    virtual int STDMETHODCALLTYPE DidAlloc(void* block) = 0;
    virtual void STDMETHODCALLTYPE HeapMinimize() = 0;
};
typedef IMalloc* LPMALLOC;

struct IPersist : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetClassID(CLSID* classId) = 0;
};

struct IPersistFile : IPersist {
    virtual HRESULT STDMETHODCALLTYPE IsDirty() = 0;
    virtual HRESULT STDMETHODCALLTYPE Load(LPCOLESTR fileName, DWORD mode) = 0;
    virtual HRESULT STDMETHODCALLTYPE Save(LPCOLESTR fileName, BOOL remember) = 0;
    virtual HRESULT STDMETHODCALLTYPE SaveCompleted(LPCOLESTR fileName) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCurFile(LPOLESTR* fileName) = 0;
};

// S_OK on the thread's first initialisation, S_FALSE when COM is already initialised on it; each
// success wants its CoUninitialize.
HRESULT WINAPI CoInitialize(LPVOID reserved);
void WINAPI CoUninitialize();
// Needs COM initialised on the calling thread (CO_E_NOTINITIALIZED). The stand-in serves
// CLSID_ShellLink in process; any other class is REGDB_E_CLASSNOTREG.
HRESULT WINAPI CoCreateInstance(REFCLSID classId, LPUNKNOWN outer, DWORD context, REFIID riid,
                                LPVOID* object);
// The task allocator, which is also the shell's (SHGetMalloc).
LPVOID WINAPI CoTaskMemAlloc(SIZE_T size);
void WINAPI CoTaskMemFree(LPVOID block);

// ---- Item lists --------------------------------------------------------------------------------

#pragma pack(push, 1)
typedef struct _SHITEMID {
    USHORT cb;  // the item's size, these two bytes included
    BYTE abID[1];
} SHITEMID;
typedef struct _ITEMIDLIST {
    SHITEMID mkid;
} ITEMIDLIST;
#pragma pack(pop)
typedef ITEMIDLIST* LPITEMIDLIST;
typedef const ITEMIDLIST* LPCITEMIDLIST;
typedef ITEMIDLIST* PIDLIST_ABSOLUTE;
typedef const ITEMIDLIST* PCIDLIST_ABSOLUTE;

// The shell's allocator; item lists the shell hands out are freed through it.
HRESULT WINAPI SHGetMalloc(LPMALLOC* malloc);
// The file-system path of an item list into a MAX_PATH buffer; FALSE (and an empty text) for a
// list that names no file-system item.
BOOL WINAPI SHGetPathFromIDListA(PCIDLIST_ABSOLUTE list, LPSTR path);

// ---- The shell link object ---------------------------------------------------------------------

#define SLGP_SHORTPATH 0x1
#define SLGP_UNCPRIORITY 0x2
#define SLGP_RAWPATH 0x4
#define SLR_NO_UI 0x1
#define SLR_UPDATE 0x4

#define SW_SHOWMINIMIZED 2
#define SW_SHOWMAXIMIZED 3
#define SW_SHOWMINNOACTIVE 7

#define HOTKEYF_SHIFT 0x01
#define HOTKEYF_CONTROL 0x02
#define HOTKEYF_ALT 0x04

struct IShellLinkA : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetPath(LPSTR file, int size, WIN32_FIND_DATAA* data,
                                              DWORD flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetIDList(PIDLIST_ABSOLUTE* list) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetIDList(PCIDLIST_ABSOLUTE list) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDescription(LPSTR name, int size) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetDescription(LPCSTR name) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetWorkingDirectory(LPSTR directory, int size) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetWorkingDirectory(LPCSTR directory) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetArguments(LPSTR arguments, int size) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetArguments(LPCSTR arguments) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetHotkey(WORD* hotkey) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetHotkey(WORD hotkey) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetShowCmd(int* showCommand) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetShowCmd(int showCommand) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetIconLocation(LPSTR iconPath, int size, int* icon) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetIconLocation(LPCSTR iconPath, int icon) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetRelativePath(LPCSTR relativePath, DWORD reserved) = 0;
    virtual HRESULT STDMETHODCALLTYPE Resolve(HWND window, DWORD flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetPath(LPCSTR file) = 0;
};

// ---- Special folders ---------------------------------------------------------------------------

#define CSIDL_FONTS 0x0014
#define CSIDL_COMMON_STARTMENU 0x0016
#define CSIDL_COMMON_PROGRAMS 0x0017
#define CSIDL_COMMON_STARTUP 0x0018
#define CSIDL_COMMON_DESKTOPDIRECTORY 0x0019
#define CSIDL_COMMON_APPDATA 0x0023
#define CSIDL_WINDOWS 0x0024
#define CSIDL_PROGRAM_FILES 0x0026
#define CSIDL_PROGRAM_FILES_COMMON 0x002B
#define CSIDL_COMMON_DOCUMENTS 0x002E
#define CSIDL_FLAG_CREATE 0x8000

// The folder into a MAX_PATH buffer. A folder that does not exist gives FALSE unless `create`
// makes it; an unknown CSIDL gives FALSE. The path is empty on failure.
BOOL WINAPI SHGetSpecialFolderPathA(HWND owner, LPSTR path, int csidl, BOOL create);

// ---- The folder-browse dialog ------------------------------------------------------------------

typedef int(CALLBACK* BFFCALLBACK)(HWND window, UINT message, LPARAM lParam, LPARAM data);

typedef struct _browseinfoA {
    HWND hwndOwner;
    PCIDLIST_ABSOLUTE pidlRoot;
    LPSTR pszDisplayName;  // MAX_PATH bytes: the chosen folder's display name
    LPCSTR lpszTitle;
    UINT ulFlags;
    BFFCALLBACK lpfn;
    LPARAM lParam;
    int iImage;
} BROWSEINFOA, *PBROWSEINFOA, *LPBROWSEINFOA;

#define BIF_RETURNONLYFSDIRS 0x0001
#define BIF_DONTGOBELOWDOMAIN 0x0002
#define BIF_STATUSTEXT 0x0004
#define BIF_RETURNFSANCESTORS 0x0008
#define BIF_EDITBOX 0x0010
#define BIF_VALIDATE 0x0020
#define BIF_NEWDIALOGSTYLE 0x0040
#define BIF_NONEWFOLDERBUTTON 0x0200

// Messages to the callback
#define BFFM_INITIALIZED 1
#define BFFM_SELCHANGED 2
#define BFFM_VALIDATEFAILEDA 3
// Messages to the browse window
#define BFFM_SETSTATUSTEXTA (WM_USER + 100)
#define BFFM_ENABLEOK (WM_USER + 101)
#define BFFM_SETSELECTIONA (WM_USER + 102)

// Runs the modal folder-browse dialog; the chosen folder's item list (free it through the
// shell's allocator), or null when the user cancelled.
PIDLIST_ABSOLUTE WINAPI SHBrowseForFolderA(LPBROWSEINFOA info);

// ---- Opening files -----------------------------------------------------------------------------

#define SE_ERR_FNF 2
#define SE_ERR_PNF 3
#define SE_ERR_ACCESSDENIED 5
#define SE_ERR_OOM 8
#define SE_ERR_NOASSOC 31

// Hands a file, folder or address to the front end to open ("open", "explore" or a null verb);
// the program is not told whether anything was started. Returns a value above 32 on success,
// else an SE_ERR_ code: SE_ERR_FNF or SE_ERR_PNF for a missing file, which is not handed on.
HINSTANCE WINAPI ShellExecuteA(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters,
                               LPCSTR directory, INT showCommand);
#endif
