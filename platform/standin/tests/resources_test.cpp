// The reader of compiled resources on small hand-made .res data, dialog templates, icon groups,
// icon images and version blocks, whole and damaged.
//
// Narrow literals are code page 932 at run time; u"" literals give the UTF-16 that resources hold.
#include "platform/standin/resources.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace {

using standin::DialogTemplate;
using standin::IconGroup;
using standin::IconImage;
using standin::Resource;
using standin::ResourceEntry;
using standin::VersionInfo;

// ---- Byte builders, little-endian as the formats are.

using Bytes = std::vector<unsigned char>;

void put16(Bytes& out, uint16_t value) {
    out.push_back(static_cast<unsigned char>(value & 0xFF));
    out.push_back(static_cast<unsigned char>(value >> 8));
}

void put32(Bytes& out, uint32_t value) {
    put16(out, static_cast<uint16_t>(value & 0xFFFF));
    put16(out, static_cast<uint16_t>(value >> 16));
}

void putText(Bytes& out, std::u16string_view text) {
    for (char16_t unit : text) put16(out, unit);
    put16(out, 0);
}

void putOrdinal(Bytes& out, uint16_t ordinal) {
    put16(out, 0xFFFF);
    put16(out, ordinal);
}

void pad4(Bytes& out) {
    while (out.size() % 4 != 0) out.push_back(0);
}

void append(Bytes& out, const Bytes& more) { out.insert(out.end(), more.begin(), more.end()); }

// A type or name field of a record header, already encoded.
Bytes ordinal(uint16_t id) {
    Bytes field;
    putOrdinal(field, id);
    return field;
}

Bytes named(std::u16string_view name) {
    Bytes field;
    putText(field, name);
    return field;
}

// One RESOURCEHEADER with its data, padded to the next DWORD.
Bytes record(const Bytes& type, const Bytes& name, uint16_t language, const Bytes& data) {
    Bytes header;
    append(header, type);
    append(header, name);
    pad4(header);
    put32(header, 0);       // DataVersion
    put16(header, 0x1030);  // MemoryFlags
    put16(header, language);
    put32(header, 0);  // Version
    put32(header, 0);  // Characteristics
    Bytes out;
    put32(out, static_cast<uint32_t>(data.size()));
    put32(out, static_cast<uint32_t>(header.size() + 8));
    append(out, header);
    append(out, data);
    pad4(out);
    return out;
}

// The empty record that opens a 32-bit .res file.
Bytes marker() { return record(ordinal(0), ordinal(0), 0, {}); }

std::string text(const Resource& resource) {
    return std::string(reinterpret_cast<const char*>(resource.data), resource.size);
}

// Runs a parser on an exact-size copy, so that the sanitizers see any read past its end.
template <typename Result>
bool parseCopy(const Bytes& bytes, size_t size,
               bool (*parse)(const unsigned char*, size_t, Result&)) {
    Bytes copy(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size));
    Result result;
    return parse(copy.data(), copy.size(), result);
}

// ---- .res files.

Bytes sampleFile() {
    Bytes file = marker();
    append(file, record(ordinal(5), ordinal(105), 0x0411, {1, 2, 3}));
    append(file, record(named(u"DATA"), named(u"README"), 0x0409, {'h', 'i'}));
    append(file, record(ordinal(24), ordinal(1), 0x0409, {'<', 'x', '/', '>'}));
    return file;
}

TEST(ResourceFile, ReadsEveryRecordInOrder) {
    Bytes file = sampleFile();
    std::vector<ResourceEntry> entries;
    ASSERT_TRUE(standin::readResourceFile(file.data(), file.size(), entries));
    ASSERT_EQ(entries.size(), 4u);

    EXPECT_TRUE(entries[0].type.isOrdinal);
    EXPECT_EQ(entries[0].type.ordinal, 0);
    EXPECT_EQ(entries[0].size, 0u);

    EXPECT_TRUE(entries[1].type.isOrdinal);
    EXPECT_EQ(entries[1].type.ordinal, 5);
    EXPECT_EQ(entries[1].name.ordinal, 105);
    EXPECT_EQ(entries[1].language, 0x0411);
    EXPECT_EQ(entries[1].memoryFlags, 0x1030);
    EXPECT_EQ(Bytes(entries[1].data, entries[1].data + entries[1].size), (Bytes{1, 2, 3}));

    EXPECT_FALSE(entries[2].type.isOrdinal);
    EXPECT_EQ(entries[2].type.text, "DATA");
    EXPECT_FALSE(entries[2].name.isOrdinal);
    EXPECT_EQ(entries[2].name.text, "README");
    EXPECT_EQ(std::string(entries[2].data, entries[2].data + entries[2].size), "hi");

    EXPECT_EQ(entries[3].type.ordinal, 24);
    EXPECT_EQ(entries[3].language, 0x0409);
}

TEST(ResourceFile, FindsByTypeAndId) {
    Bytes file = sampleFile();
    Resource found;
    ASSERT_TRUE(standin::findResource(file.data(), file.size(), 24, 1, found));
    EXPECT_EQ(text(found), "<x/>");
    EXPECT_EQ(found.language, 0x0409);

    EXPECT_FALSE(standin::findResource(file.data(), file.size(), 24, 2, found));
    EXPECT_FALSE(standin::findResource(file.data(), file.size(), 16, 105, found));
}

TEST(ResourceFile, LastRecordMayLackItsPadding) {
    Bytes file = marker();
    append(file, record(ordinal(24), ordinal(1), 0x0409, {'a'}));
    file.resize(file.size() - 3);
    Resource found;
    ASSERT_TRUE(standin::findResource(file.data(), file.size(), 24, 1, found));
    EXPECT_EQ(text(found), "a");
}

TEST(ResourceFile, ProgramWithoutResourcesFindsNothing) {
    Resource found;
    EXPECT_FALSE(standin::findProgramResource(standin::kResourceDialog, 105, found));
}

TEST(ResourceFile, RejectsMalformedRecords) {
    struct Case {
        const char* name;
        std::function<void(Bytes&)> damage;
    };
    // Offsets are those of the second record, which starts after the 32-byte marker.
    const Case cases[] = {
        {"header size below its own fields", [](Bytes& f) { f[36] = 4; }},
        {"header size past the end", [](Bytes& f) { f[37] = 0x10; }},
        {"data size past the end", [](Bytes& f) { f[33] = 0x10; }},
        {"header too short for its fixed fields", [](Bytes& f) { f[36] = 20; }},
        {"name without its terminator",
         [](Bytes& f) {
             Bytes file = marker();
             Bytes name = named(u"AB");
             name.resize(name.size() - 2);
             Bytes header;
             putOrdinal(header, 10);
             append(header, name);
             put32(file, 0);
             put32(file, static_cast<uint32_t>(header.size() + 8));
             append(file, header);
             f = file;
         }},
        {"record cut short", [](Bytes& f) { f.resize(40); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes file = sampleFile();
        c.damage(file);
        std::vector<ResourceEntry> entries;
        EXPECT_FALSE(standin::readResourceFile(file.data(), file.size(), entries));
        Resource found;
        EXPECT_FALSE(standin::findResource(file.data(), file.size(), 24, 1, found));
    }
}

// ---- Dialog templates.

constexpr uint32_t kDialogStyle = 0x80C000C0;  // WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT

// A standard template: a default push button, a progress bar by class name with creation data,
// and a static icon whose title is an ordinal.
Bytes standardTemplate() {
    Bytes t;
    put32(t, kDialogStyle);
    put32(t, 0x00000008);  // WS_EX_TOPMOST
    put16(t, 3);
    put16(t, 10);
    put16(t, 20);
    put16(t, 187);
    put16(t, 51);
    put16(t, 0);  // no menu
    put16(t, 0);  // standard dialog class
    putText(t, u"ﾀﾞｲｱﾛｸﾞ");
    put16(t, 9);
    putText(t, u"ＭＳ Ｐゴシック");

    pad4(t);
    put32(t, 0x50010001);
    put32(t, 0);
    put16(t, 7);
    put16(t, 30);
    put16(t, 78);
    put16(t, 14);
    put16(t, 1008);
    putOrdinal(t, 0x0080);
    putText(t, u"アップデート");
    put16(t, 0);

    pad4(t);
    put32(t, 0x50800000);
    put32(t, 0x00020000);
    put16(t, 7);
    put16(t, 50);
    put16(t, 173);
    put16(t, 8);
    put16(t, 1005);
    putText(t, u"msctls_progress32");
    putText(t, u"");
    put16(t, 6);  // the count word and four bytes
    put32(t, 0xDDCCBBAA);

    pad4(t);
    put32(t, 0x50000003);
    put32(t, 0);
    put16(t, 1);
    put16(t, 1);
    put16(t, 32);
    put16(t, 32);
    put16(t, 0xFFFF);  // IDC_STATIC
    putOrdinal(t, 0x0082);
    putOrdinal(t, 104);
    put16(t, 0);
    return t;
}

// An extended template with a menu and class by name, a bold italic font and one edit control
// carrying creation data.
Bytes extendedTemplate() {
    Bytes t;
    put16(t, 1);
    put16(t, 0xFFFF);
    put32(t, 77);  // helpID
    put32(t, 0x00000100);
    put32(t, 0x80C80048);  // WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_SHELLFONT
    put16(t, 1);
    put16(t, 1);
    put16(t, 2);
    put16(t, 300);
    put16(t, 200);
    putText(t, u"MAINMENU");
    putText(t, u"UpdaterDialog");
    putText(t, u"Setup");
    put16(t, 8);
    put16(t, 700);
    t.push_back(1);
    t.push_back(0x80);  // SHIFTJIS_CHARSET
    putText(t, u"MS Shell Dlg");

    pad4(t);
    put32(t, 5);  // helpID
    put32(t, 0x00000200);
    put32(t, 0x50810080);
    put16(t, 4);
    put16(t, 5);
    put16(t, 100);
    put16(t, 12);
    put32(t, 70000);
    putOrdinal(t, 0x0081);
    putText(t, u"C:\\ヴェルモラント");
    put16(t, 3);
    t.insert(t.end(), {9, 9, 9});
    return t;
}

TEST(DialogTemplate, ReadsTheStandardForm) {
    Bytes t = standardTemplate();
    DialogTemplate d;
    ASSERT_TRUE(standin::parseDialogTemplate(t.data(), t.size(), d));
    EXPECT_FALSE(d.extended);
    EXPECT_EQ(d.style, kDialogStyle);
    EXPECT_EQ(d.exStyle, 0x00000008u);
    EXPECT_EQ(d.x, 10);
    EXPECT_EQ(d.y, 20);
    EXPECT_EQ(d.cx, 187);
    EXPECT_EQ(d.cy, 51);
    EXPECT_FALSE(d.menu.isOrdinal);
    EXPECT_EQ(d.menu.text, "");
    EXPECT_FALSE(d.windowClass.isOrdinal);
    EXPECT_EQ(d.windowClass.text, "");
    EXPECT_EQ(d.caption, "ﾀﾞｲｱﾛｸﾞ");
    EXPECT_TRUE(d.hasFont);
    EXPECT_EQ(d.pointSize, 9);
    EXPECT_EQ(d.fontName, "ＭＳ Ｐゴシック");
    ASSERT_EQ(d.items.size(), 3u);

    struct Expected {
        uint32_t id, style, exStyle;
        int16_t x, y, cx, cy;
        bool classIsAtom;
        uint16_t atom;
        const char* className;
        bool titleIsOrdinal;
        uint16_t titleOrdinal;
        const char* title;
        size_t creationDataSize;
    };
    const Expected expected[] = {
        {1008, 0x50010001, 0, 7, 30, 78, 14, true, 0x80, "Button", false, 0, "アップデート", 0},
        {1005, 0x50800000, 0x00020000, 7, 50, 173, 8, false, 0, "msctls_progress32", false, 0,
         "", 4},
        {0xFFFF, 0x50000003, 0, 1, 1, 32, 32, true, 0x82, "Static", true, 104, "", 0},
    };
    for (size_t i = 0; i < d.items.size(); ++i) {
        SCOPED_TRACE("control " + std::to_string(i));
        const standin::DialogItem& item = d.items[i];
        const Expected& e = expected[i];
        EXPECT_EQ(item.id, e.id);
        EXPECT_EQ(item.style, e.style);
        EXPECT_EQ(item.exStyle, e.exStyle);
        EXPECT_EQ(item.x, e.x);
        EXPECT_EQ(item.y, e.y);
        EXPECT_EQ(item.cx, e.cx);
        EXPECT_EQ(item.cy, e.cy);
        EXPECT_EQ(item.windowClass.isOrdinal, e.classIsAtom);
        EXPECT_EQ(item.windowClass.ordinal, e.atom);
        EXPECT_EQ(item.windowClass.text, e.className);
        EXPECT_EQ(item.title.isOrdinal, e.titleIsOrdinal);
        EXPECT_EQ(item.title.ordinal, e.titleOrdinal);
        EXPECT_EQ(item.title.text, e.title);
        EXPECT_EQ(item.creationDataSize, e.creationDataSize);
    }
}

TEST(DialogTemplate, ReadsTheExtendedForm) {
    Bytes t = extendedTemplate();
    DialogTemplate d;
    ASSERT_TRUE(standin::parseDialogTemplate(t.data(), t.size(), d));
    EXPECT_TRUE(d.extended);
    EXPECT_EQ(d.helpId, 77u);
    EXPECT_EQ(d.exStyle, 0x00000100u);
    EXPECT_EQ(d.style, 0x80C80048u);
    EXPECT_EQ(d.cx, 300);
    EXPECT_EQ(d.cy, 200);
    EXPECT_EQ(d.menu.text, "MAINMENU");
    EXPECT_EQ(d.windowClass.text, "UpdaterDialog");
    EXPECT_EQ(d.caption, "Setup");
    EXPECT_TRUE(d.hasFont);
    EXPECT_EQ(d.pointSize, 8);
    EXPECT_EQ(d.weight, 700);
    EXPECT_EQ(d.italic, 1);
    EXPECT_EQ(d.charset, 0x80);
    EXPECT_EQ(d.fontName, "MS Shell Dlg");
    ASSERT_EQ(d.items.size(), 1u);
    const standin::DialogItem& edit = d.items[0];
    EXPECT_EQ(edit.helpId, 5u);
    EXPECT_EQ(edit.exStyle, 0x00000200u);
    EXPECT_EQ(edit.style, 0x50810080u);
    EXPECT_EQ(edit.x, 4);
    EXPECT_EQ(edit.y, 5);
    EXPECT_EQ(edit.cx, 100);
    EXPECT_EQ(edit.cy, 12);
    EXPECT_EQ(edit.id, 70000u);
    EXPECT_EQ(edit.windowClass.text, "Edit");
    EXPECT_EQ(edit.title.text, "C:\\ヴェルモラント");
    EXPECT_EQ(edit.creationDataSize, 3u);
}

TEST(DialogTemplate, ReadsNoFontWithoutSetFont) {
    Bytes t;
    put32(t, 0x80C00080);
    put32(t, 0);
    put16(t, 0);
    for (int i = 0; i < 4; ++i) put16(t, 5);
    putOrdinal(t, 200);  // menu
    putOrdinal(t, 0x8002);
    putText(t, u"");
    DialogTemplate d;
    ASSERT_TRUE(standin::parseDialogTemplate(t.data(), t.size(), d));
    EXPECT_FALSE(d.hasFont);
    EXPECT_EQ(d.fontName, "");
    EXPECT_TRUE(d.menu.isOrdinal);
    EXPECT_EQ(d.menu.ordinal, 200);
    EXPECT_TRUE(d.windowClass.isOrdinal);
    EXPECT_EQ(d.windowClass.ordinal, 0x8002);
    EXPECT_EQ(d.windowClass.text, "");
    EXPECT_TRUE(d.items.empty());
}

TEST(DialogTemplate, RejectsEveryTruncation) {
    const std::pair<const char*, Bytes> templates[] = {
        {"standard", standardTemplate()},
        {"extended", extendedTemplate()},
    };
    for (const auto& [name, t] : templates) {
        for (size_t size = 0; size < t.size(); ++size) {
            SCOPED_TRACE(std::string(name) + " cut to " + std::to_string(size));
            EXPECT_FALSE(parseCopy(t, size, standin::parseDialogTemplate));
        }
    }
}

TEST(DialogTemplate, RejectsMalformedFields) {
    struct Case {
        const char* name;
        std::function<Bytes()> make;
    };
    const Case cases[] = {
        {"extended signature with another version",
         [] {
             Bytes t = extendedTemplate();
             t[0] = 2;
             return t;
         }},
        {"standard creation data count below its own word",
         [] {
             Bytes t = standardTemplate();
             // The last control's count word is the template's last word.
             t[t.size() - 2] = 1;
             return t;
         }},
        {"creation data past the end",
         [] {
             Bytes t = extendedTemplate();
             t[t.size() - 5] = 4;
             return t;
         }},
        {"caption that code page 932 cannot hold",
         [] {
             Bytes t;
             put32(t, 0x80C00080);
             put32(t, 0);
             put16(t, 0);
             for (int i = 0; i < 4; ++i) put16(t, 0);
             put16(t, 0);
             put16(t, 0);
             putText(t, u"\xD800");  // a lone surrogate
             return t;
         }},
        {"more controls than the template holds",
         [] {
             Bytes t = standardTemplate();
             t[8] = 4;
             return t;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes t = c.make();
        DialogTemplate d;
        EXPECT_FALSE(standin::parseDialogTemplate(t.data(), t.size(), d));
    }
}

// ---- Icon groups and images.

Bytes iconGroup(uint16_t type, std::initializer_list<uint16_t> ids) {
    Bytes g;
    put16(g, 0);
    put16(g, type);
    put16(g, static_cast<uint16_t>(ids.size()));
    for (uint16_t id : ids) {
        g.insert(g.end(), {48, 48, 0, 0});
        put16(g, 1);
        put16(g, 32);
        put32(g, 9640);
        put16(g, id);
    }
    return g;
}

TEST(IconGroup, ReadsEachEntry) {
    Bytes g = iconGroup(1, {1, 7});
    g[6 + 14] = 16;  // the second image is 16 wide and 4 bits
    g[6 + 14 + 6] = 4;
    IconGroup group;
    ASSERT_TRUE(standin::parseIconGroup(g.data(), g.size(), group));
    ASSERT_EQ(group.entries.size(), 2u);
    EXPECT_EQ(group.entries[0].width, 48);
    EXPECT_EQ(group.entries[0].height, 48);
    EXPECT_EQ(group.entries[0].colorCount, 0);
    EXPECT_EQ(group.entries[0].planes, 1);
    EXPECT_EQ(group.entries[0].bitCount, 32);
    EXPECT_EQ(group.entries[0].bytes, 9640u);
    EXPECT_EQ(group.entries[0].id, 1);
    EXPECT_EQ(group.entries[1].width, 16);
    EXPECT_EQ(group.entries[1].bitCount, 4);
    EXPECT_EQ(group.entries[1].id, 7);
}

TEST(IconGroup, RejectsMalformedGroups) {
    struct Case {
        const char* name;
        Bytes group;
    };
    Bytes reserved = iconGroup(1, {1});
    reserved[0] = 1;
    Bytes cut = iconGroup(1, {1, 2});
    cut.pop_back();
    const Case cases[] = {
        {"a cursor group", iconGroup(2, {1})},
        {"reserved word set", reserved},
        {"fewer entries than counted", cut},
        {"no header", {0, 0, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        IconGroup group;
        EXPECT_FALSE(standin::parseIconGroup(c.group.data(), c.group.size(), group));
    }
}

// A bottom-up bitmap with its mask: BITMAPINFOHEADER, colours (for 8 bits and fewer), pixels.
Bytes bitmap(int32_t width, int32_t height, uint16_t bitCount, uint32_t compression = 0) {
    Bytes b;
    put32(b, 40);
    put32(b, static_cast<uint32_t>(width));
    put32(b, static_cast<uint32_t>(height * 2));
    put16(b, 1);
    put16(b, bitCount);
    put32(b, compression);
    for (int i = 0; i < 5; ++i) put32(b, 0);
    size_t colours = bitCount <= 8 ? size_t{1} << bitCount : 0;
    size_t colourRow = (static_cast<size_t>(width) * bitCount + 31) / 32 * 4;
    size_t maskRow = (static_cast<size_t>(width) + 31) / 32 * 4;
    b.resize(b.size() + colours * 4 + (colourRow + maskRow) * static_cast<size_t>(height));
    return b;
}

Bytes png(uint32_t width, uint32_t height, uint8_t bitDepth, uint8_t colourType) {
    Bytes p = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    for (uint32_t value : {width, height})
        for (int shift = 24; shift >= 0; shift -= 8) p.push_back((value >> shift) & 0xFF);
    p.insert(p.end(), {bitDepth, colourType, 0, 0, 0});
    return p;
}

TEST(IconImage, ReadsBitmapAndPngHeaders) {
    struct Case {
        const char* name;
        Bytes image;
        bool png;
        int32_t width, height;
        uint16_t bitCount;
    };
    const Case cases[] = {
        {"32-bit bitmap", bitmap(48, 48, 32), false, 48, 48, 32},
        {"4-bit bitmap with its colours", bitmap(16, 16, 4), false, 16, 16, 4},
        {"odd width padded rows", bitmap(5, 3, 24), false, 5, 3, 24},
        {"RGBA png", png(256, 256, 8, 6), true, 256, 256, 32},
        {"palette png", png(32, 32, 4, 3), true, 32, 32, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        IconImage image;
        ASSERT_TRUE(standin::parseIconImage(c.image.data(), c.image.size(), image));
        EXPECT_EQ(image.png, c.png);
        EXPECT_EQ(image.width, c.width);
        EXPECT_EQ(image.height, c.height);
        EXPECT_EQ(image.bitCount, c.bitCount);
    }
}

TEST(IconImage, RejectsMalformedImages) {
    struct Case {
        const char* name;
        Bytes image;
    };
    Bytes shortPixels = bitmap(48, 48, 32);
    shortPixels.pop_back();
    Bytes oddHeight = bitmap(4, 4, 32);
    oddHeight[8] = 7;
    Bytes negativeWidth = bitmap(4, 4, 32);
    negativeWidth[7] = 0x80;
    Bytes hugeColours = bitmap(4, 4, 8);
    hugeColours[35] = 0x40;  // biClrUsed
    Bytes wrongChunk = png(48, 48, 8, 6);
    wrongChunk[12] = 'X';
    Bytes cutPng = png(48, 48, 8, 6);
    cutPng.resize(20);
    Bytes headerAlone = bitmap(1, 1, 1);
    headerAlone.resize(40);
    const Case cases[] = {
        {"pixels cut short", shortPixels},
        {"stored height not twice the image's", oddHeight},
        {"negative width", negativeWidth},
        {"compressed bitmap", bitmap(4, 4, 32, 3)},
        {"bit count of 7", bitmap(4, 4, 7)},
        {"colour table past the end", hugeColours},
        {"png without its header chunk first", wrongChunk},
        {"png cut inside its header", cutPng},
        {"png of an unknown colour type", png(48, 48, 8, 5)},
        {"header alone", headerAlone},
        {"nothing", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(parseCopy(c.image, c.image.size(), standin::parseIconImage));
    }
}

// ---- Version blocks.

// A version block with its wLength worked out; text values count characters, binary ones bytes.
Bytes versionBlock(std::u16string_view key, uint16_t type, const Bytes& value,
                   uint16_t valueLength, const std::vector<Bytes>& children = {}) {
    Bytes b(6, 0);
    putText(b, key);
    pad4(b);
    append(b, value);
    for (const Bytes& child : children) {
        pad4(b);
        append(b, child);
    }
    b[0] = static_cast<unsigned char>(b.size() & 0xFF);
    b[1] = static_cast<unsigned char>(b.size() >> 8);
    b[2] = static_cast<unsigned char>(valueLength & 0xFF);
    b[3] = static_cast<unsigned char>(valueLength >> 8);
    b[4] = static_cast<unsigned char>(type);
    return b;
}

Bytes stringValue(std::u16string_view key, std::u16string_view value) {
    Bytes text;
    putText(text, value);
    return versionBlock(key, 1, text, static_cast<uint16_t>(value.size() + 1));
}

Bytes fixedFileInfo() {
    Bytes f;
    for (uint32_t value : {0xFEEF04BDu, 0x00010000u, 0x00010000u, 0x00010001u, 0x00020000u,
                           0x00030004u, 0x3Fu, 0x2u, 0x4u, 0x1u, 0x0u, 0x0u, 0x0u})
        put32(f, value);
    return f;
}

Bytes versionResource(const Bytes& fixed, const Bytes& translation) {
    Bytes table = versionBlock(u"041104b0", 1, {}, 0,
                               {stringValue(u"FileDescription", u"アップデート"),
                                stringValue(u"Comments", u""), stringValue(u"FileVersion", u"2")});
    Bytes strings = versionBlock(u"StringFileInfo", 1, {}, 0, {table});
    Bytes var = versionBlock(u"Translation", 0, translation,
                             static_cast<uint16_t>(translation.size()));
    Bytes vars = versionBlock(u"VarFileInfo", 1, {}, 0, {var});
    return versionBlock(u"VS_VERSION_INFO", 0, fixed, static_cast<uint16_t>(fixed.size()),
                        {strings, vars});
}

Bytes translation(std::initializer_list<uint16_t> words) {
    Bytes t;
    for (uint16_t word : words) put16(t, word);
    return t;
}

TEST(VersionInfo, ReadsFixedInfoStringsAndTranslations) {
    Bytes v = versionResource(fixedFileInfo(), translation({0x0411, 1200, 0x0409, 1252}));
    VersionInfo info;
    ASSERT_TRUE(standin::parseVersionInfo(v.data(), v.size(), info));
    ASSERT_TRUE(info.hasFixedInfo);
    EXPECT_EQ(info.fixed.signature, 0xFEEF04BDu);
    EXPECT_EQ(info.fixed.fileVersionMS, 0x00010000u);
    EXPECT_EQ(info.fixed.fileVersionLS, 0x00010001u);
    EXPECT_EQ(info.fixed.productVersionMS, 0x00020000u);
    EXPECT_EQ(info.fixed.productVersionLS, 0x00030004u);
    EXPECT_EQ(info.fixed.fileFlagsMask, 0x3Fu);
    EXPECT_EQ(info.fixed.fileFlags, 0x2u);
    EXPECT_EQ(info.fixed.fileOS, 0x4u);
    EXPECT_EQ(info.fixed.fileType, 0x1u);
    using Strings = std::map<std::string, std::string>;
    EXPECT_EQ(info.stringTables, (std::map<std::string, Strings>{
                                     {"041104b0",
                                      {{"FileDescription", "アップデート"},
                                       {"Comments", ""},
                                       {"FileVersion", "2"}}},
                                 }));
    ASSERT_EQ(info.translations.size(), 2u);
    EXPECT_EQ(info.translations[0].language, 0x0411);
    EXPECT_EQ(info.translations[0].codePage, 1200);
    EXPECT_EQ(info.translations[1].language, 0x0409);
    EXPECT_EQ(info.translations[1].codePage, 1252);
}

TEST(VersionInfo, TakesTextLengthsInBytesAsWell) {
    // Some writers give a string's wValueLength in bytes: the value still ends at its NUL.
    Bytes text;
    putText(text, u"update");
    Bytes entry = versionBlock(u"ProductName", 1, text, static_cast<uint16_t>(text.size()));
    Bytes table = versionBlock(u"040904b0", 1, {}, 0, {entry});
    Bytes v = versionBlock(u"VS_VERSION_INFO", 0, {}, 0,
                           {versionBlock(u"StringFileInfo", 1, {}, 0, {table})});
    VersionInfo info;
    ASSERT_TRUE(standin::parseVersionInfo(v.data(), v.size(), info));
    EXPECT_FALSE(info.hasFixedInfo);
    EXPECT_EQ(info.stringTables["040904b0"]["ProductName"], "update");
}

TEST(VersionInfo, RejectsEveryTruncation) {
    Bytes v = versionResource(fixedFileInfo(), translation({0x0411, 1200}));
    for (size_t size = 0; size < v.size(); ++size) {
        SCOPED_TRACE("cut to " + std::to_string(size));
        EXPECT_FALSE(parseCopy(v, size, standin::parseVersionInfo));
    }
}

TEST(VersionInfo, RejectsMalformedBlocks) {
    struct Case {
        const char* name;
        std::function<Bytes()> make;
    };
    const Case cases[] = {
        {"another root key",
         [] { return versionBlock(u"VS_VERSION_INFX", 0, fixedFileInfo(), 52); }},
        {"fixed info with a wrong signature",
         [] {
             Bytes fixed = fixedFileInfo();
             fixed[0] = 0;
             return versionResource(fixed, translation({0x0411, 1200}));
         }},
        {"fixed info too short",
         [] {
             Bytes fixed = fixedFileInfo();
             fixed.resize(48);
             return versionResource(fixed, translation({0x0411, 1200}));
         }},
        {"binary value past its block",
         [] { return versionBlock(u"VS_VERSION_INFO", 0, fixedFileInfo(), 60); }},
        {"translation of an odd size",
         [] { return versionResource(fixedFileInfo(), translation({0x0411})); }},
        {"child longer than its parent",
         [] {
             Bytes v = versionResource(fixedFileInfo(), translation({0x0411, 1200}));
             // The first child, StringFileInfo, follows the root's header and key (padded to 40
             // bytes) and its fixed info.
             size_t child = 40 + 52;
             v[child] = 0xFF;
             v[child + 1] = 0x7F;
             return v;
         }},
        {"block shorter than its own header",
         [] {
             Bytes v = versionResource(fixedFileInfo(), translation({0x0411, 1200}));
             size_t child = 40 + 52;
             v[child] = 4;
             v[child + 1] = 0;
             return v;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes v = c.make();
        VersionInfo info;
        EXPECT_FALSE(standin::parseVersionInfo(v.data(), v.size(), info));
    }
}

}  // namespace
