// Item lists of file-system paths, in the form Windows' shell writes them: the My Computer root
// item, the drive's volume item, then a file entry item for each component with its long name
// in an extension block (the form Windows XP introduced, which later versions still read).
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>

#include <cstring>

#include "platform/standin/files.h"
#include "platform/standin/machine.h"
#include "platform/standin/paths.h"
#include "platform/standin/shell/shell_shared.h"

namespace standin::shell {
namespace {

// {20D04FE0-3AEA-1069-A2D8-08002B30309D}
constexpr GUID kMyComputer = {
    0x20D04FE0, 0x3AEA, 0x1069, {0xA2, 0xD8, 0x08, 0x00, 0x2B, 0x30, 0x30, 0x9D}};

constexpr unsigned kRootItem = 0x1F;
constexpr unsigned kRootItemSize = 20;
constexpr unsigned kMyComputerSortIndex = 0x50;
constexpr unsigned kVolumeItem = 0x2F;   // a volume item with a name
constexpr size_t kVolumeNameBytes = 22;  // the name and the bytes after it
constexpr unsigned kFolderItem = 0x31;
constexpr unsigned kFileItem = 0x32;
constexpr unsigned kItemKindMask = 0x70;
constexpr unsigned kVolumeKind = 0x20;
constexpr unsigned kFileEntryKind = 0x30;
constexpr size_t kPrimaryNameOffset = 14;
constexpr uint32_t kFileEntryExtension = 0xBEEF0004;
constexpr unsigned kFileEntryExtensionVersion = 3;
constexpr unsigned kLongNameOffset = 0x14;  // in the version 3 extension block

// A FAT date in the low word and time in the high word, in UTC; 0 outside what FAT can hold.
uint32_t fatTimeOf(uint64_t ticks) {
    constexpr uint64_t kTicksPerSecond = 10000000;
    constexpr int64_t kUnixEpochSeconds = 11644473600;
    if (ticks == 0)
        return 0;
    time_t seconds =
        static_cast<time_t>(static_cast<int64_t>(ticks / kTicksPerSecond) - kUnixEpochSeconds);
    struct tm fields;
    if (!gmtime_r(&seconds, &fields) || fields.tm_year < 80 || fields.tm_year > 207)
        return 0;
    uint32_t date = static_cast<uint32_t>((fields.tm_year - 80) << 9 | (fields.tm_mon + 1) << 5 |
                                          fields.tm_mday);
    uint32_t time =
        static_cast<uint32_t>(fields.tm_hour << 11 | fields.tm_min << 5 | fields.tm_sec / 2);
    return date | time << 16;
}

std::string fileEntryItem(const std::string& name, const ItemFacts& facts, bool folder) {
    ByteWriter item;
    item.u16(0);
    item.u8(folder ? kFolderItem : kFileItem);
    item.u8(0);
    item.u32(folder ? 0 : static_cast<uint32_t>(facts.size));
    item.u32(fatTimeOf(facts.write));
    item.u16(facts.attributes & 0xFFFF);
    item.raw(name);
    item.u8(0);
    if (item.size() % 2)
        item.u8(0);
    size_t extension = item.size();
    std::u16string longName;
    if (!cp932ToUtf16(name, longName))
        longName.clear();
    item.u16(0);
    item.u16(kFileEntryExtensionVersion);
    item.u32(kFileEntryExtension);
    item.u32(fatTimeOf(facts.creation));
    item.u32(fatTimeOf(facts.access));
    item.u16(kLongNameOffset);
    item.u16(0);  // no localised name
    item.utf16(longName);
    item.u16(0);
    item.u16(static_cast<unsigned>(extension));
    item.put16(extension, static_cast<unsigned>(item.size() - extension));
    item.put16(0, static_cast<unsigned>(item.size()));
    return item.bytes;
}

}  // namespace

ItemFacts factsOf(const std::string& windowsPath) {
    ItemFacts facts;
    std::string host;
    DWORD ignored = 0;
    if (!hostPathOf(windowsPath.c_str(), host, &ignored))
        return facts;
    UniqueFd file(open(host.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    struct stat info;
    if (file.fd < 0 || fstat(file.fd, &info) != 0)
        return facts;
    facts.exists = true;
    facts.folder = S_ISDIR(info.st_mode);
    facts.size = facts.folder ? 0 : static_cast<uint64_t>(info.st_size);
    facts.attributes = attributesOf(host, info);
    facts.creation = creationTicks(file.fd, info);
    facts.access = ticksOf(info.st_atim);
    facts.write = ticksOf(info.st_mtim);
    return facts;
}

std::string itemListOf(const std::string& fullPath) {
    std::vector<std::string> components = componentsOf(fullPath);
    ByteWriter list;
    list.u16(kRootItemSize);
    list.u8(kRootItem);
    list.u8(kMyComputerSortIndex);
    list.guid(kMyComputer);
    if (!components.empty()) {
        std::string volume = components.front() + "\\";
        volume.resize(kVolumeNameBytes, '\0');
        list.u16(static_cast<unsigned>(3 + kVolumeNameBytes));
        list.u8(kVolumeItem);
        list.raw(volume);
    }
    std::string partial = components.empty() ? "" : components.front();
    for (size_t i = 1; i < components.size(); ++i) {
        partial += "\\" + components[i];
        ItemFacts facts = factsOf(partial);
        // What does not exist is a folder on the way, or the file at its end.
        bool folder = facts.exists ? facts.folder : i + 1 < components.size();
        if (!facts.exists && folder)
            facts.attributes = FILE_ATTRIBUTE_DIRECTORY;
        list.raw(fileEntryItem(components[i], facts, folder));
    }
    list.u16(0);
    return list.bytes;
}

bool pathOfItemList(PCIDLIST_ABSOLUTE list, std::string& path) {
    path.clear();
    if (!list)
        return false;
    const auto* item = reinterpret_cast<const unsigned char*>(list);
    bool named = false;
    bool atRoot = true;  // a name ending in a double-byte character may end in a backslash byte
    for (;;) {
        unsigned size = item[0] | item[1] << 8;
        if (size == 0)
            break;
        if (size < 3)
            return false;
        unsigned type = item[2];
        if (type == kRootItem) {
            if (!path.empty() || size != kRootItemSize)
                return false;
            ByteWriter expected;
            expected.guid(kMyComputer);
            if (memcmp(item + 4, expected.bytes.data(), 16) != 0)
                return false;
        } else if ((type & kItemKindMask) == kVolumeKind) {
            if (named || size < 6 || item[4] != ':')
                return false;
            path.assign(reinterpret_cast<const char*>(item + 3), 2);
            path += "\\";
            named = true;
        } else if ((type & kItemKindMask) == kFileEntryKind) {
            if (!named || size <= kPrimaryNameOffset)
                return false;
            const char* name = reinterpret_cast<const char*>(item + kPrimaryNameOffset);
            size_t length = strnlen(name, size - kPrimaryNameOffset);
            if (!atRoot)
                path += "\\";
            path.append(name, length);
            atRoot = false;
        } else {
            return false;
        }
        item += size;
    }
    return named;
}

}  // namespace standin::shell

BOOL WINAPI SHGetPathFromIDListA(PCIDLIST_ABSOLUTE list, LPSTR path) {
    if (!path)
        return FALSE;
    path[0] = '\0';
    std::string found;
    if (!standin::shell::pathOfItemList(list, found) || found.size() >= MAX_PATH)
        return FALSE;
    memcpy(path, found.c_str(), found.size() + 1);
    return TRUE;
}
