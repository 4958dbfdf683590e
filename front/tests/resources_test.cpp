// The updater's resources as front/resources/update.rc compiles and the native build embeds them,
// read back through the stand-in's reader: the dialog, the icon, the version block and the
// manifest, and the reader's robustness on damaged copies of them.
//
// Narrow literals are code page 932 at run time, as the texts the reader gives.
#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <map>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "front/resources/resource.h"
#include "platform/standin/resources.h"

namespace {

using standin::Resource;

constexpr uint16_t kJapanese = 0x0411;      // LANG_JAPANESE, SUBLANG_DEFAULT
constexpr uint16_t kEnglishUs = 0x0409;     // LANG_ENGLISH, SUBLANG_ENGLISH_US
constexpr uint16_t kCancel = 2;             // IDCANCEL
constexpr uint16_t kManifestId = 1;         // CREATEPROCESS_MANIFEST_RESOURCE_ID
constexpr uint16_t kVersionId = 1;          // VS_VERSION_INFO

using Bytes = std::vector<unsigned char>;

Resource programResource(uint16_t type, uint16_t id) {
    Resource found;
    EXPECT_TRUE(standin::findProgramResource(type, id, found)) << type << "/" << id;
    return found;
}

Bytes bytesOf(const Resource& resource) {
    return Bytes(resource.data, resource.data + resource.size);
}

TEST(ProgramResources, HoldsExactlyTheUpdatersResources) {
    std::vector<standin::ResourceEntry> entries;
    ASSERT_TRUE(standin::readResourceFile(standinResources, standinResourcesSize, entries));
    std::set<std::tuple<uint16_t, uint16_t, uint16_t>> found;
    for (const standin::ResourceEntry& entry : entries) {
        ASSERT_TRUE(entry.type.isOrdinal);
        ASSERT_TRUE(entry.name.isOrdinal);
        // The empty record that opens a .res file.
        if (entry.type.ordinal == 0) continue;
        found.insert({entry.type.ordinal, entry.name.ordinal, entry.language});
    }
    EXPECT_EQ(found, (std::set<std::tuple<uint16_t, uint16_t, uint16_t>>{
                         {standin::kResourceIcon, 1, kJapanese},
                         {standin::kResourceDialog, IDD_UPDATE, kJapanese},
                         {standin::kResourceDialog, IDD_SETUP, kJapanese},
                         {standin::kResourceDialog, IDD_COMPONENTS, kJapanese},
                         {standin::kResourceGroupIcon, IDI_APP, kJapanese},
                         {standin::kResourceVersion, kVersionId, kJapanese},
                         {standin::kResourceManifest, kManifestId, kEnglishUs},
                     }));
}

TEST(ProgramResources, UpdateDialog) {
    Resource resource = programResource(standin::kResourceDialog, IDD_UPDATE);
    EXPECT_EQ(resource.language, kJapanese);
    standin::DialogTemplate dialog;
    ASSERT_TRUE(standin::parseDialogTemplate(resource.data, resource.size, dialog));

    EXPECT_FALSE(dialog.extended);
    // WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT, and no WS_SYSMENU.
    EXPECT_EQ(dialog.style, 0x80C000C0u);
    EXPECT_EQ(dialog.exStyle, 0u);
    EXPECT_EQ(dialog.x, 0);
    EXPECT_EQ(dialog.y, 0);
    EXPECT_EQ(dialog.cx, 187);
    EXPECT_EQ(dialog.cy, 51);
    EXPECT_FALSE(dialog.menu.isOrdinal);
    EXPECT_EQ(dialog.menu.text, "");
    EXPECT_FALSE(dialog.windowClass.isOrdinal);
    EXPECT_EQ(dialog.windowClass.text, "");
    EXPECT_EQ(dialog.caption, "ﾀﾞｲｱﾛｸﾞ");
    EXPECT_EQ(dialog.caption, "\xC0\xDE\xB2\xB1\xDB\xB8\xDE");
    EXPECT_TRUE(dialog.hasFont);
    EXPECT_EQ(dialog.pointSize, 9);
    EXPECT_EQ(dialog.fontName, "ＭＳ Ｐゴシック");
    EXPECT_EQ(dialog.fontName, "\x82\x6C\x82\x72\x20\x82\x6F\x83\x53\x83\x56\x83\x62\x83\x4E");

    struct Control {
        uint32_t id;
        uint16_t classAtom;
        const char* className;
        uint32_t style;
        int16_t x, y, cx, cy;
        const char* text;
    };
    const Control expected[] = {
        // BS_DEFPUSHBUTTON | WS_TABSTOP | WS_VISIBLE | WS_CHILD
        {IDC_UPDATE, 0x0080, "Button", 0x50010001, 7, 30, 78, 14, "アップデート"},
        // BS_PUSHBUTTON | WS_TABSTOP | WS_VISIBLE | WS_CHILD
        {kCancel, 0x0080, "Button", 0x50010000, 102, 30, 78, 14, "ｷｬﾝｾﾙ"},
        // SS_LEFT | WS_GROUP | WS_VISIBLE | WS_CHILD
        {IDC_MESSAGE, 0x0082, "Static", 0x50020000, 7, 7, 173, 20, "Static"},
    };
    ASSERT_EQ(dialog.items.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        const Control& e = expected[i];
        const standin::DialogItem& item = dialog.items[i];
        SCOPED_TRACE("control " + std::to_string(e.id));
        EXPECT_EQ(item.id, e.id);
        EXPECT_TRUE(item.windowClass.isOrdinal);
        EXPECT_EQ(item.windowClass.ordinal, e.classAtom);
        EXPECT_EQ(item.windowClass.text, e.className);
        EXPECT_EQ(item.style, e.style);
        EXPECT_EQ(item.exStyle, 0u);
        EXPECT_EQ(item.x, e.x);
        EXPECT_EQ(item.y, e.y);
        EXPECT_EQ(item.cx, e.cx);
        EXPECT_EQ(item.cy, e.cy);
        EXPECT_FALSE(item.title.isOrdinal);
        EXPECT_EQ(item.title.text, e.text);
        EXPECT_EQ(item.creationDataSize, 0u);
    }
}

TEST(ProgramResources, ApplicationIcon) {
    Resource groupResource = programResource(standin::kResourceGroupIcon, IDI_APP);
    EXPECT_EQ(groupResource.language, kJapanese);
    standin::IconGroup group;
    ASSERT_TRUE(standin::parseIconGroup(groupResource.data, groupResource.size, group));
    ASSERT_EQ(group.entries.size(), 1u);
    const standin::IconGroupEntry& entry = group.entries[0];
    EXPECT_EQ(entry.width, 48);
    EXPECT_EQ(entry.height, 48);
    EXPECT_EQ(entry.colorCount, 0);
    EXPECT_EQ(entry.planes, 1);
    EXPECT_EQ(entry.bitCount, 32);

    Resource imageResource = programResource(standin::kResourceIcon, entry.id);
    EXPECT_EQ(imageResource.size, entry.bytes);
    standin::IconImage image;
    ASSERT_TRUE(standin::parseIconImage(imageResource.data, imageResource.size, image));
    EXPECT_FALSE(image.png);
    EXPECT_EQ(image.width, 48);
    EXPECT_EQ(image.height, 48);
    EXPECT_EQ(image.bitCount, 32);
}

TEST(ProgramResources, VersionBlock) {
    Resource resource = programResource(standin::kResourceVersion, kVersionId);
    EXPECT_EQ(resource.language, kJapanese);
    standin::VersionInfo version;
    ASSERT_TRUE(standin::parseVersionInfo(resource.data, resource.size, version));

    ASSERT_TRUE(version.hasFixedInfo);
    EXPECT_EQ(version.fixed.signature, 0xFEEF04BDu);
    EXPECT_EQ(version.fixed.fileVersionMS, 0x00010000u);  // 1,0
    EXPECT_EQ(version.fixed.fileVersionLS, 0x00010001u);  // 1,1
    EXPECT_EQ(version.fixed.productVersionMS, 0x00010000u);
    EXPECT_EQ(version.fixed.productVersionLS, 0x00010001u);
    EXPECT_EQ(version.fixed.fileFlagsMask, 0x3Fu);
    EXPECT_EQ(version.fixed.fileFlags, 0u);
    EXPECT_EQ(version.fixed.fileOS, 4u);    // VOS__WINDOWS32
    EXPECT_EQ(version.fixed.fileType, 1u);  // VFT_APP
    EXPECT_EQ(version.fixed.fileSubtype, 0u);

    using Strings = std::map<std::string, std::string>;
    EXPECT_EQ(version.stringTables, (std::map<std::string, Strings>{
                                        {"041104b0",
                                         {{"Comments", ""},
                                          {"FileDescription", "update"},
                                          {"FileVersion", "1, 0, 1, 1"},
                                          {"OriginalFilename", "update.exe"},
                                          {"ProductName", "update"},
                                          {"ProductVersion", "1, 0, 1, 1"}}},
                                    }));
    ASSERT_EQ(version.translations.size(), 1u);
    EXPECT_EQ(version.translations[0].language, 0x0411);
    EXPECT_EQ(version.translations[0].codePage, 1200);
}

TEST(ProgramResources, Manifest) {
    Resource resource = programResource(standin::kResourceManifest, kManifestId);
    EXPECT_EQ(resource.language, kEnglishUs);
    std::string manifest(reinterpret_cast<const char*>(resource.data), resource.size);
    const char* const supported[] = {
        "{e2011457-1546-43c5-a5fe-008deee3d3f0}",  // Windows Vista
        "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  // Windows 7
    };
    for (const char* id : supported) {
        SCOPED_TRACE(id);
        EXPECT_NE(manifest.find(std::string("<supportedOS Id=\"") + id + "\"/>"),
                  std::string::npos);
    }
    EXPECT_EQ(manifest.find("requestedExecutionLevel"), std::string::npos);
    EXPECT_EQ(manifest.find("trustInfo"), std::string::npos);
}

// ---- The reader on damaged copies of the real resources. Each parse runs on an exact-size heap
// copy, so that the sanitizers stop the test at any read past the end.

struct Parsed {
    bool dialog, group, image, version;
};

Parsed parseAll(const Bytes& bytes) {
    Bytes copy = bytes;
    const unsigned char* data = copy.data();
    size_t size = copy.size();
    standin::DialogTemplate dialog;
    standin::IconGroup group;
    standin::IconImage image;
    standin::VersionInfo version;
    return {standin::parseDialogTemplate(data, size, dialog),
            standin::parseIconGroup(data, size, group), standin::parseIconImage(data, size, image),
            standin::parseVersionInfo(data, size, version)};
}

TEST(ProgramResourcesDamaged, EveryTruncationIsRejected) {
    struct Case {
        const char* name;
        uint16_t type, id;
        bool Parsed::*accepted;
    };
    const Case cases[] = {
        {"dialog", standin::kResourceDialog, IDD_UPDATE, &Parsed::dialog},
        {"icon group", standin::kResourceGroupIcon, IDI_APP, &Parsed::group},
        {"icon image", standin::kResourceIcon, 1, &Parsed::image},
        {"version", standin::kResourceVersion, kVersionId, &Parsed::version},
    };
    for (const Case& c : cases) {
        Bytes whole = bytesOf(programResource(c.type, c.id));
        ASSERT_TRUE(parseAll(whole).*c.accepted) << c.name;
        for (size_t size = 0; size < whole.size(); ++size) {
            SCOPED_TRACE(std::string(c.name) + " cut to " + std::to_string(size));
            EXPECT_FALSE(parseAll(Bytes(whole.begin(), whole.begin() + size)).*c.accepted);
        }
    }
}

// Random cuts and bit flips, from a fixed start so that every run damages the same way. There is
// nothing to expect of damaged data but that it is read within its bounds.
void flipBit(Bytes& bytes, size_t first, size_t last, std::mt19937& random) {
    size_t at = std::uniform_int_distribution<size_t>(first, last)(random);
    int bit = std::uniform_int_distribution<int>(0, 7)(random);
    bytes[at] ^= static_cast<unsigned char>(1u << bit);
}

void damage(Bytes& bytes, std::mt19937& random) {
    std::uniform_int_distribution<int> kind(0, 2);
    int what = kind(random);
    if (what != 1 && !bytes.empty()) {
        bytes.resize(std::uniform_int_distribution<size_t>(0, bytes.size() - 1)(random));
    }
    if (what != 0 && !bytes.empty()) {
        int flips = std::uniform_int_distribution<int>(1, 8)(random);
        for (int i = 0; i < flips; ++i) flipBit(bytes, 0, bytes.size() - 1, random);
    }
}

TEST(ProgramResourcesDamaged, DamagedResourcesAreReadWithinBounds) {
    std::mt19937 random(20240611);
    const std::pair<uint16_t, uint16_t> resources[] = {
        {standin::kResourceDialog, IDD_UPDATE},
        {standin::kResourceGroupIcon, IDI_APP},
        {standin::kResourceVersion, kVersionId},
        {standin::kResourceManifest, kManifestId},
    };
    for (const auto& [type, id] : resources) {
        Bytes whole = bytesOf(programResource(type, id));
        for (int round = 0; round < 3000; ++round) {
            Bytes damaged = whole;
            damage(damaged, random);
            parseAll(damaged);
        }
    }
    // The icon image is mostly pixels: only its header is worth damaging.
    Bytes icon = bytesOf(programResource(standin::kResourceIcon, 1));
    for (int round = 0; round < 3000; ++round) {
        Bytes damaged = icon;
        for (int flip = 0; flip < 4; ++flip) flipBit(damaged, 0, 39, random);
        parseAll(damaged);
    }
}

TEST(ProgramResourcesDamaged, DamagedFileIsReadWithinBounds) {
    std::mt19937 random(7);
    const Bytes whole(standinResources, standinResources + standinResourcesSize);
    for (int round = 0; round < 2000; ++round) {
        Bytes damaged = whole;
        damage(damaged, random);
        Resource found;
        standin::findResource(damaged.data(), damaged.size(), standin::kResourceDialog,
                              IDD_UPDATE, found);
        std::vector<standin::ResourceEntry> entries;
        if (!standin::readResourceFile(damaged.data(), damaged.size(), entries)) continue;
        // The entries point into the file, so each parse gets an exact-size copy of its own.
        for (const standin::ResourceEntry& entry : entries)
            parseAll(Bytes(entry.data, entry.data + entry.size));
    }
}

}  // namespace
