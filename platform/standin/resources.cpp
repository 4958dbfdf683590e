#include "platform/standin/resources.h"

#include <algorithm>
#include <initializer_list>
#include <string_view>
#include <utility>

#include "platform/standin/machine.h"

// Weak, so that a program that embeds no resources still links and finds none.
extern "C" __attribute__((weak)) const unsigned char standinResources[];
extern "C" __attribute__((weak)) const size_t standinResourcesSize;

namespace standin {
namespace {

constexpr uint32_t kSetFontStyle = 0x40;  // DS_SETFONT, also part of DS_SHELLFONT
constexpr uint16_t kOrdinalMark = 0xFFFF;
constexpr uint32_t kFixedFileInfoSignature = 0xFEEF04BD;
constexpr size_t kFixedFileInfoSize = 13 * 4;
constexpr size_t kVersionBlockHeaderSize = 6;  // wLength, wValueLength, wType
constexpr int32_t kLargestIconSide = 0x10000;

// A bounded read position: every read checks the bytes it needs and, once one falls short, the
// cursor stays failed and gives zeros.
struct Cursor {
    const unsigned char* data = nullptr;
    size_t size = 0;
    size_t pos = 0;
    bool ok = true;
};

bool has(Cursor& c, size_t count) {
    if (c.ok && count <= c.size - c.pos) return true;
    c.ok = false;
    return false;
}

void skip(Cursor& c, size_t count) {
    if (has(c, count)) c.pos += count;
}

uint8_t u8(Cursor& c) { return has(c, 1) ? c.data[c.pos++] : 0; }

uint16_t u16(Cursor& c) {
    if (!has(c, 2)) return 0;
    uint16_t value = static_cast<uint16_t>(c.data[c.pos] | c.data[c.pos + 1] << 8);
    c.pos += 2;
    return value;
}

uint32_t u32(Cursor& c) {
    uint32_t low = u16(c);
    uint32_t high = u16(c);
    return low | high << 16;
}

int16_t s16(Cursor& c) { return static_cast<int16_t>(u16(c)); }

int32_t s32(Cursor& c) { return static_cast<int32_t>(u32(c)); }

uint32_t u32BigEndian(Cursor& c) {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value = value << 8 | u8(c);
    return value;
}

size_t alignedUp(size_t pos, size_t boundary) { return (pos + boundary - 1) / boundary * boundary; }

// Positions are relative to the start of the structure, which the formats keep DWORD aligned.
void align(Cursor& c, size_t boundary) { skip(c, alignedUp(c.pos, boundary) - c.pos); }

// A NUL-terminated UTF-16 string, the terminator consumed.
std::u16string utf16String(Cursor& c) {
    std::u16string text;
    for (char16_t unit = static_cast<char16_t>(u16(c)); c.ok && unit != 0;
         unit = static_cast<char16_t>(u16(c)))
        text.push_back(unit);
    return text;
}

bool cp932String(Cursor& c, std::string& out) {
    std::u16string text = utf16String(c);
    return c.ok && utf16ToCp932(text, out);
}

const char* predefinedClassName(uint16_t atom) {
    switch (atom) {
        case 0x0080: return "Button";
        case 0x0081: return "Edit";
        case 0x0082: return "Static";
        case 0x0083: return "ListBox";
        case 0x0084: return "ScrollBar";
        case 0x0085: return "ComboBox";
        default: return nullptr;
    }
}

// A name-or-ordinal field: 0xFFFF then the ordinal, 0x0000 for none, else a string.
bool nameOrOrdinal(Cursor& c, ResourceName& out, bool controlClass) {
    out = {};
    if (!has(c, 2)) return false;
    if (c.data[c.pos] == 0xFF && c.data[c.pos + 1] == 0xFF) {
        skip(c, 2);
        out.isOrdinal = true;
        out.ordinal = u16(c);
        const char* name = controlClass ? predefinedClassName(out.ordinal) : nullptr;
        if (name) out.text = name;
        return c.ok;
    }
    return cp932String(c, out.text);
}

// One RESOURCEHEADER and its data; the cursor moves to the next DWORD-aligned record.
bool resourceRecord(Cursor& c, ResourceEntry& out) {
    size_t start = c.pos;
    uint32_t dataSize = u32(c);
    uint32_t headerSize = u32(c);
    if (!c.ok || headerSize < 8 || headerSize > c.size - start ||
        dataSize > c.size - start - headerSize)
        return false;
    Cursor header{c.data + start, headerSize, 8};
    if (!nameOrOrdinal(header, out.type, false) || !nameOrOrdinal(header, out.name, false))
        return false;
    align(header, 4);
    u32(header);  // DataVersion
    out.memoryFlags = u16(header);
    out.language = u16(header);
    skip(header, 8);  // Version, Characteristics
    if (!header.ok) return false;
    out.data = c.data + start + headerSize;
    out.size = dataSize;
    // The padding after the last record may be cut off with nothing lost.
    c.pos = std::min(alignedUp(start + headerSize + dataSize, 4), c.size);
    return true;
}

bool dialogItem(Cursor& c, bool extended, DialogItem& item) {
    align(c, 4);
    if (extended) {
        item.helpId = u32(c);
        item.exStyle = u32(c);
        item.style = u32(c);
    } else {
        item.style = u32(c);
        item.exStyle = u32(c);
    }
    item.x = s16(c);
    item.y = s16(c);
    item.cx = s16(c);
    item.cy = s16(c);
    item.id = extended ? u32(c) : u16(c);
    if (!nameOrOrdinal(c, item.windowClass, true) || !nameOrOrdinal(c, item.title, false))
        return false;
    uint16_t extra = u16(c);
    if (!c.ok) return false;
    if (extended) {
        item.creationDataSize = extra;
    } else if (extra != 0) {
        // In the standard form the count includes its own word.
        if (extra < 2) return false;
        item.creationDataSize = extra - 2u;
    }
    skip(c, item.creationDataSize);
    return c.ok;
}

struct VersionBlock {
    size_t end = 0;  // start + wLength
    uint16_t type = 0;
    std::u16string key;
    size_t valueStart = 0;
    size_t valueSize = 0;  // in bytes, within the block
    size_t childrenStart = 0;
};

// The block at `start`, which must end by `limit`. Text values are measured in characters by some
// writers and in bytes by others: a text value is taken up to the end of its block at most.
bool versionBlock(const unsigned char* data, size_t limit, size_t start, VersionBlock& block) {
    Cursor c{data, limit, start};
    uint16_t length = u16(c);
    uint16_t valueLength = u16(c);
    block.type = u16(c);
    if (!c.ok || length < kVersionBlockHeaderSize || length > limit - start) return false;
    block.end = start + length;
    c.size = block.end;
    block.key = utf16String(c);
    if (!c.ok) return false;
    block.valueStart = std::min(alignedUp(c.pos, 4), block.end);
    size_t room = block.end - block.valueStart;
    if (block.type == 1) {
        block.valueSize = std::min<size_t>(valueLength * 2u, room);
    } else {
        if (valueLength > room) return false;
        block.valueSize = valueLength;
    }
    block.childrenStart = std::min(alignedUp(block.valueStart + block.valueSize, 4), block.end);
    return true;
}

// Calls `visit` for each child block of `parent`; false when one is malformed or `visit` fails.
template <typename Visit>
bool versionChildren(const unsigned char* data, const VersionBlock& parent, Visit visit) {
    size_t pos = parent.childrenStart;
    // Fewer bytes than a block header at the end are padding.
    while (parent.end - pos >= kVersionBlockHeaderSize) {
        VersionBlock child;
        if (!versionBlock(data, parent.end, pos, child) || !visit(child)) return false;
        pos = std::min(alignedUp(child.end, 4), parent.end);
    }
    return true;
}

bool versionText(const unsigned char* data, const VersionBlock& block, std::string& out) {
    Cursor c{data, block.valueStart + block.valueSize, block.valueStart};
    std::u16string text;
    while (c.pos < c.size) {
        char16_t unit = static_cast<char16_t>(u16(c));
        if (!c.ok || unit == 0) break;
        text.push_back(unit);
    }
    return utf16ToCp932(text, out);
}

bool stringFileInfo(const unsigned char* data, const VersionBlock& block, VersionInfo& out) {
    return versionChildren(data, block, [&](const VersionBlock& table) {
        std::string tableKey;
        if (!utf16ToCp932(table.key, tableKey)) return false;
        auto& strings = out.stringTables[tableKey];
        return versionChildren(data, table, [&](const VersionBlock& entry) {
            std::string name, value;
            if (!utf16ToCp932(entry.key, name) || !versionText(data, entry, value)) return false;
            strings[name] = value;
            return true;
        });
    });
}

bool varFileInfo(const unsigned char* data, const VersionBlock& block, VersionInfo& out) {
    return versionChildren(data, block, [&](const VersionBlock& var) {
        if (var.key != u"Translation") return true;
        Cursor c{data, var.valueStart + var.valueSize, var.valueStart};
        while (c.pos < c.size) {
            VersionTranslation translation;
            translation.language = u16(c);
            translation.codePage = u16(c);
            out.translations.push_back(translation);
        }
        return c.ok;
    });
}

bool pngImage(Cursor& c, IconImage& out) {
    skip(c, 8);  // signature
    uint32_t headerLength = u32BigEndian(c);
    uint32_t chunkType = u32BigEndian(c);
    uint32_t width = u32BigEndian(c);
    uint32_t height = u32BigEndian(c);
    uint8_t bitDepth = u8(c);
    uint8_t colourType = u8(c);
    if (!c.ok || headerLength != 13 || chunkType != 0x49484452 /* IHDR */ || width == 0 ||
        height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF)
        return false;
    int channels = 0;
    switch (colourType) {
        case 0: channels = 1; break;  // grey
        case 2: channels = 3; break;  // RGB
        case 3: channels = 1; break;  // palette index
        case 4: channels = 2; break;  // grey and alpha
        case 6: channels = 4; break;  // RGB and alpha
        default: return false;
    }
    out.png = true;
    out.width = static_cast<int32_t>(width);
    out.height = static_cast<int32_t>(height);
    out.bitCount = static_cast<uint16_t>(bitDepth * channels);
    return true;
}

bool bitmapImage(Cursor& c, IconImage& out) {
    uint32_t headerSize = u32(c);
    int32_t width = s32(c);
    int32_t storedHeight = s32(c);
    u16(c);  // planes
    uint16_t bitCount = u16(c);
    uint32_t compression = u32(c);
    skip(c, 12);  // image size and resolution
    uint32_t coloursUsed = u32(c);
    if (!c.ok || headerSize < 40 || headerSize > c.size || compression != 0 /* BI_RGB */)
        return false;
    // The stored height covers the colour bitmap and the mask below it.
    if (width <= 0 || width > kLargestIconSide || storedHeight <= 0 ||
        storedHeight > 2 * kLargestIconSide || storedHeight % 2 != 0)
        return false;
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 &&
        bitCount != 32)
        return false;
    uint64_t colours = coloursUsed != 0 ? coloursUsed : (bitCount <= 8 ? 1u << bitCount : 0u);
    uint64_t height = static_cast<uint64_t>(storedHeight) / 2;
    uint64_t colourRow = (static_cast<uint64_t>(width) * bitCount + 31) / 32 * 4;
    uint64_t maskRow = (static_cast<uint64_t>(width) + 31) / 32 * 4;
    uint64_t needed = headerSize + colours * 4 + (colourRow + maskRow) * height;
    if (needed > c.size) return false;
    out.png = false;
    out.width = width;
    out.height = static_cast<int32_t>(height);
    out.bitCount = bitCount;
    return true;
}

}  // namespace

bool readResourceFile(const unsigned char* data, size_t size, std::vector<ResourceEntry>& out) {
    out.clear();
    Cursor c{data, size};
    while (c.pos < c.size) {
        ResourceEntry entry;
        if (!resourceRecord(c, entry)) return false;
        out.push_back(entry);
    }
    return true;
}

bool findResource(const unsigned char* data, size_t size, uint16_t type, uint16_t id,
                  Resource& out) {
    Cursor c{data, size};
    while (c.pos < c.size) {
        ResourceEntry entry;
        if (!resourceRecord(c, entry)) return false;
        if (entry.type.isOrdinal && entry.type.ordinal == type && entry.name.isOrdinal &&
            entry.name.ordinal == id) {
            out = {entry.data, entry.size, entry.language};
            return true;
        }
    }
    return false;
}

bool findProgramResource(uint16_t type, uint16_t id, Resource& out) {
    if (standinResources == nullptr || &standinResourcesSize == nullptr) return false;
    return findResource(standinResources, standinResourcesSize, type, id, out);
}

bool parseDialogTemplate(const unsigned char* data, size_t size, DialogTemplate& out) {
    out = {};
    Cursor c{data, size};
    uint16_t version = u16(c);
    uint16_t signature = u16(c);
    if (!c.ok) return false;
    out.extended = signature == kOrdinalMark;
    if (out.extended && version != 1) return false;
    if (out.extended) {
        out.helpId = u32(c);
        out.exStyle = u32(c);
        out.style = u32(c);
    } else {
        // Those two words were the style's.
        out.style = version | static_cast<uint32_t>(signature) << 16;
        out.exStyle = u32(c);
    }
    uint16_t count = u16(c);
    out.x = s16(c);
    out.y = s16(c);
    out.cx = s16(c);
    out.cy = s16(c);
    if (!c.ok || !nameOrOrdinal(c, out.menu, false) || !nameOrOrdinal(c, out.windowClass, false) ||
        !cp932String(c, out.caption))
        return false;
    if (out.style & kSetFontStyle) {
        out.hasFont = true;
        out.pointSize = u16(c);
        if (out.extended) {
            out.weight = u16(c);
            out.italic = u8(c);
            out.charset = u8(c);
        }
        if (!c.ok || !cp932String(c, out.fontName)) return false;
    }
    for (uint16_t i = 0; i < count; ++i) {
        DialogItem item;
        if (!dialogItem(c, out.extended, item)) return false;
        out.items.push_back(std::move(item));
    }
    return true;
}

bool parseIconGroup(const unsigned char* data, size_t size, IconGroup& out) {
    out = {};
    Cursor c{data, size};
    uint16_t reserved = u16(c);
    uint16_t type = u16(c);
    uint16_t count = u16(c);
    if (!c.ok || reserved != 0 || type != 1 /* icons */) return false;
    for (uint16_t i = 0; i < count; ++i) {
        IconGroupEntry entry;
        entry.width = u8(c);
        entry.height = u8(c);
        entry.colorCount = u8(c);
        u8(c);  // reserved
        entry.planes = u16(c);
        entry.bitCount = u16(c);
        entry.bytes = u32(c);
        entry.id = u16(c);
        if (!c.ok) return false;
        out.entries.push_back(entry);
    }
    return true;
}

bool parseIconImage(const unsigned char* data, size_t size, IconImage& out) {
    out = {};
    static constexpr unsigned char kPngSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Cursor c{data, size};
    if (size >= sizeof kPngSignature &&
        std::string_view(reinterpret_cast<const char*>(data), sizeof kPngSignature) ==
            std::string_view(reinterpret_cast<const char*>(kPngSignature), sizeof kPngSignature))
        return pngImage(c, out);
    return bitmapImage(c, out);
}

bool parseVersionInfo(const unsigned char* data, size_t size, VersionInfo& out) {
    out = {};
    VersionBlock root;
    if (!versionBlock(data, size, 0, root) || root.key != u"VS_VERSION_INFO") return false;
    if (root.valueSize != 0) {
        if (root.type != 0 || root.valueSize < kFixedFileInfoSize) return false;
        Cursor c{data, root.valueStart + root.valueSize, root.valueStart};
        FixedFileInfo& f = out.fixed;
        for (uint32_t* field :
             {&f.signature, &f.structVersion, &f.fileVersionMS, &f.fileVersionLS,
              &f.productVersionMS, &f.productVersionLS, &f.fileFlagsMask, &f.fileFlags, &f.fileOS,
              &f.fileType, &f.fileSubtype, &f.fileDateMS, &f.fileDateLS})
            *field = u32(c);
        if (!c.ok || f.signature != kFixedFileInfoSignature) return false;
        out.hasFixedInfo = true;
    }
    return versionChildren(data, root, [&](const VersionBlock& child) {
        if (child.key == u"StringFileInfo") return stringFileInfo(data, child, out);
        if (child.key == u"VarFileInfo") return varFileInfo(data, child, out);
        return true;
    });
}

}  // namespace standin
