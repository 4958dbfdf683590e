// The shell link object: IShellLinkA to describe a shortcut, IPersistFile to save it as a Shell
// Link Binary File (.lnk) that Windows' shell resolves: header, target item list, link info with
// the volume and local base path, and the strings, in UTF-16.
#include <atomic>
#include <cstring>

#include "platform/standin/files.h"
#include "platform/standin/machine.h"
#include "platform/standin/paths.h"
#include "platform/standin/shell/shell_shared.h"
#include "platform/standin/test_machine.h"

namespace standin::shell {
namespace {

std::atomic<size_t> liveLinks{0};

// Link flags
constexpr uint32_t kHasLinkTargetIdList = 0x1;
constexpr uint32_t kHasLinkInfo = 0x2;
constexpr uint32_t kHasName = 0x4;
constexpr uint32_t kHasWorkingDir = 0x10;
constexpr uint32_t kHasArguments = 0x20;
constexpr uint32_t kHasIconLocation = 0x40;
constexpr uint32_t kIsUnicode = 0x80;

constexpr uint32_t kHeaderSize = 0x4C;
constexpr uint32_t kLinkInfoHeaderSize = 0x24;  // with the offsets of the Unicode paths
constexpr uint32_t kVolumeIdAndLocalBasePath = 0x1;
constexpr uint32_t kVolumeIdHeaderSize = 0x10;

// Copies a text into a caller's buffer of `size` bytes, cut at a character boundary.
HRESULT copyOut(const std::string& text, LPSTR buffer, int size) {
    if (!buffer || size <= 0)
        return E_INVALIDARG;
    copyCut(text, buffer, static_cast<size_t>(size));
    return S_OK;
}

std::u16string utf16Of(const std::string& cp932) {
    std::u16string wide;
    if (!cp932ToUtf16(cp932, wide))
        wide.clear();
    return wide;
}

// MS-SHLLINK keeps three show commands; the rest open normally.
uint32_t storedShowCommand(int showCommand) {
    switch (showCommand) {
        case SW_SHOWMAXIMIZED:
            return SW_SHOWMAXIMIZED;
        case SW_SHOWMINIMIZED:
        case SW_SHOWMINNOACTIVE:
            return SW_SHOWMINNOACTIVE;
        default:
            return SW_SHOWNORMAL;
    }
}

void writeString(ByteWriter& out, const std::string& cp932) {
    std::u16string wide = utf16Of(cp932);
    out.u16(static_cast<unsigned>(wide.size()));
    out.utf16(wide);
}

// The link info: the target's volume and its path on it, in code page 932 and in UTF-16.
std::string linkInfoOf(const std::string& target) {
    std::string root = target.substr(0, 3);
    UINT driveType = GetDriveTypeA(root.c_str());
    char label[MAX_PATH + 1] = "";
    DWORD serial = 0;
    if (!GetVolumeInformationA(root.c_str(), label, sizeof label, &serial, nullptr, nullptr,
                               nullptr, 0)) {
        label[0] = '\0';
        serial = 0;
    }
    std::u16string wideTarget = utf16Of(target);
    uint32_t volumeIdSize = kVolumeIdHeaderSize + static_cast<uint32_t>(strlen(label)) + 1;
    uint32_t localBasePath = kLinkInfoHeaderSize + volumeIdSize;
    uint32_t commonPathSuffix = localBasePath + static_cast<uint32_t>(target.size()) + 1;
    uint32_t localBasePathUnicode = commonPathSuffix + 1;
    uint32_t commonPathSuffixUnicode =
        localBasePathUnicode + 2 * (static_cast<uint32_t>(wideTarget.size()) + 1);
    ByteWriter info;
    info.u32(commonPathSuffixUnicode + 2);
    info.u32(kLinkInfoHeaderSize);
    info.u32(kVolumeIdAndLocalBasePath);
    info.u32(kLinkInfoHeaderSize);
    info.u32(localBasePath);
    info.u32(0);  // no network share
    info.u32(commonPathSuffix);
    info.u32(localBasePathUnicode);
    info.u32(commonPathSuffixUnicode);
    info.u32(volumeIdSize);
    info.u32(driveType);
    info.u32(serial);
    info.u32(kVolumeIdHeaderSize);
    info.raw(label);
    info.u8(0);
    info.raw(target);
    info.u8(0);
    info.u8(0);  // an empty common path suffix
    info.utf16(wideTarget);
    info.u16(0);
    info.u16(0);
    return info.bytes;
}

struct ShellLink final : IShellLinkA, IPersistFile {
    ShellLink() { ++liveLinks; }
    ~ShellLink() { --liveLinks; }
    ShellLink(const ShellLink&) = delete;
    ShellLink& operator=(const ShellLink&) = delete;

    // IUnknown, for both interfaces
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!object)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IShellLinkA) {
            *object = static_cast<IShellLinkA*>(this);
        } else if (riid == IID_IPersistFile || riid == IID_IPersist) {
            *object = static_cast<IPersistFile*>(this);
        } else {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --references;
        if (left == 0)
            delete this;
        return left;
    }

    // IShellLinkA
    HRESULT STDMETHODCALLTYPE GetPath(LPSTR file, int size, WIN32_FIND_DATAA* data,
                                      DWORD) override {
        if (data)
            describeTarget(*data);
        HRESULT result = copyOut(target, file, size);
        return FAILED(result) || !target.empty() ? result : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE GetIDList(PIDLIST_ABSOLUTE* list) override {
        if (!list)
            return E_POINTER;
        *list = nullptr;
        if (target.empty())
            return S_FALSE;
        *list = allocateItemList(itemListOf(target));
        return *list ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE SetIDList(PCIDLIST_ABSOLUTE list) override {
        std::string path;
        if (!pathOfItemList(list, path))
            return E_INVALIDARG;
        return SetPath(path.c_str());
    }
    HRESULT STDMETHODCALLTYPE GetDescription(LPSTR name, int size) override {
        return copyOut(description, name, size);
    }
    HRESULT STDMETHODCALLTYPE SetDescription(LPCSTR name) override {
        return set(description, name);
    }
    HRESULT STDMETHODCALLTYPE GetWorkingDirectory(LPSTR directory, int size) override {
        return copyOut(workingDirectory, directory, size);
    }
    HRESULT STDMETHODCALLTYPE SetWorkingDirectory(LPCSTR directory) override {
        return set(workingDirectory, directory);
    }
    HRESULT STDMETHODCALLTYPE GetArguments(LPSTR text, int size) override {
        return copyOut(arguments, text, size);
    }
    HRESULT STDMETHODCALLTYPE SetArguments(LPCSTR text) override { return set(arguments, text); }
    HRESULT STDMETHODCALLTYPE GetHotkey(WORD* key) override {
        if (!key)
            return E_POINTER;
        *key = hotkey;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetHotkey(WORD key) override {
        hotkey = key;
        dirty = true;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetShowCmd(int* command) override {
        if (!command)
            return E_POINTER;
        *command = showCommand;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetShowCmd(int command) override {
        showCommand = command;
        dirty = true;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetIconLocation(LPSTR path, int size, int* icon) override {
        if (!icon)
            return E_POINTER;
        *icon = iconIndex;
        return copyOut(iconPath, path, size);
    }
    HRESULT STDMETHODCALLTYPE SetIconLocation(LPCSTR path, int icon) override {
        iconIndex = icon;
        return set(iconPath, path);
    }
    // The stand-in's links find their target by its full path alone.
    HRESULT STDMETHODCALLTYPE SetRelativePath(LPCSTR path, DWORD) override {
        return path ? S_OK : E_INVALIDARG;
    }
    // S_FALSE for a target that is not there: nothing is searched for and no one is asked.
    HRESULT STDMETHODCALLTYPE Resolve(HWND, DWORD) override {
        return !target.empty() && factsOf(target).exists ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE SetPath(LPCSTR file) override {
        if (!file)
            return E_INVALIDARG;
        std::string full;
        DWORD error = ERROR_SUCCESS;
        if (*file && !fullWindowsPath(file, full, &error))
            return HRESULT_FROM_WIN32(error);
        // The target is kept as the file system spells it, when it is there.
        std::string spelled;
        target = *file && storedSpelling(full.c_str(), spelled, &error) ? spelled : full;
        dirty = true;
        return S_OK;
    }

    // IPersistFile
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* classId) override {
        if (!classId)
            return E_POINTER;
        *classId = CLSID_ShellLink;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE IsDirty() override { return dirty ? S_OK : S_FALSE; }
    // Shortcuts are only written on the stand-in.
    HRESULT STDMETHODCALLTYPE Load(LPCOLESTR, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Save(LPCOLESTR fileName, BOOL remember) override {
        std::u16string name = fileName ? std::u16string(fileName) : currentFile;
        std::string path;
        if (name.empty() || !utf16ToCp932(name, path))
            return E_INVALIDARG;
        HRESULT result = write(path, linkFile());
        if (FAILED(result))
            return result;
        if (remember || !fileName) {
            currentFile = name;
            dirty = false;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SaveCompleted(LPCOLESTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetCurFile(LPOLESTR* fileName) override {
        if (!fileName)
            return E_POINTER;
        // Without a file of its own, the object offers the default save prompt.
        std::u16string name = currentFile.empty() ? u"*.lnk" : currentFile;
        *fileName = static_cast<LPOLESTR>(CoTaskMemAlloc((name.size() + 1) * sizeof(OLECHAR)));
        if (!*fileName)
            return E_OUTOFMEMORY;
        memcpy(*fileName, name.c_str(), (name.size() + 1) * sizeof(OLECHAR));
        return currentFile.empty() ? S_FALSE : S_OK;
    }

    HRESULT set(std::string& field, LPCSTR text) {
        if (!text)
            return E_INVALIDARG;
        field = text;
        dirty = true;
        return S_OK;
    }

    void describeTarget(WIN32_FIND_DATAA& data) const {
        memset(&data, 0, sizeof data);
        if (target.empty())
            return;
        ItemFacts facts = factsOf(target);
        data.dwFileAttributes = facts.attributes;
        data.ftCreationTime = fileTimeOf(facts.creation);
        data.ftLastAccessTime = fileTimeOf(facts.access);
        data.ftLastWriteTime = fileTimeOf(facts.write);
        data.nFileSizeHigh = static_cast<DWORD>(facts.size >> 32);
        data.nFileSizeLow = static_cast<DWORD>(facts.size);
        std::vector<std::string> components = componentsOf(target);
        copyOut(components.size() > 1 ? components.back() : target, data.cFileName,
                sizeof data.cFileName);
    }

    // The whole .lnk file. A target that is not there gives a link all the same, with its
    // attributes, times and size 0.
    std::string linkFile() const {
        uint32_t flags = kIsUnicode;
        if (!target.empty())
            flags |= kHasLinkTargetIdList | kHasLinkInfo;
        if (!description.empty())
            flags |= kHasName;
        if (!workingDirectory.empty())
            flags |= kHasWorkingDir;
        if (!arguments.empty())
            flags |= kHasArguments;
        if (!iconPath.empty())
            flags |= kHasIconLocation;
        ItemFacts facts = target.empty() ? ItemFacts{} : factsOf(target);
        ByteWriter out;
        out.u32(kHeaderSize);
        out.guid(CLSID_ShellLink);
        out.u32(flags);
        out.u32(facts.attributes);
        out.u64(facts.creation);
        out.u64(facts.access);
        out.u64(facts.write);
        out.u32(static_cast<uint32_t>(facts.size));
        out.u32(static_cast<uint32_t>(iconIndex));
        out.u32(storedShowCommand(showCommand));
        out.u16(hotkey);
        out.u16(0);
        out.u32(0);
        out.u32(0);
        if (!target.empty()) {
            std::string list = itemListOf(target);
            out.u16(static_cast<unsigned>(list.size()));
            out.raw(list);
            out.raw(linkInfoOf(target));
        }
        if (flags & kHasName)
            writeString(out, description);
        if (flags & kHasWorkingDir)
            writeString(out, workingDirectory);
        if (flags & kHasArguments)
            writeString(out, arguments);
        if (flags & kHasIconLocation)
            writeString(out, iconPath);
        out.u32(0);  // the terminal block of the extra data
        return out.bytes;
    }

    // Writes the file whole or leaves none; the failure as an HRESULT of the Win32 error.
    static HRESULT write(const std::string& path, const std::string& content) {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return HRESULT_FROM_WIN32(GetLastError());
        DWORD written = 0;
        bool ok =
            WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
        DWORD error = ok ? ERROR_SUCCESS : GetLastError();
        if (!CloseHandle(file) && ok) {
            ok = false;
            error = GetLastError();
        }
        if (ok)
            return S_OK;
        DeleteFileA(path.c_str());
        return HRESULT_FROM_WIN32(error);
    }

    std::atomic<ULONG> references{1};
    std::string target;  // full Windows path, empty until set
    std::string description;
    std::string workingDirectory;
    std::string arguments;
    std::string iconPath;
    int iconIndex = 0;
    WORD hotkey = 0;
    int showCommand = SW_SHOWNORMAL;
    std::u16string currentFile;
    bool dirty = false;
};

}  // namespace

HRESULT createShellLink(REFIID riid, void** object) {
    auto* link = new ShellLink;
    HRESULT result = link->QueryInterface(riid, object);
    link->Release();
    return result;
}

}  // namespace standin::shell

namespace standin {
size_t liveShellLinks() {
    return shell::liveLinks.load();
}
}  // namespace standin
