// The stand-in's reader of compiled resources: the .res data that windres makes from the
// program's .rc and that cmake/Resources.cmake embeds into the native program.
//
// Every parser takes outside bytes: it checks each length against the data it was given and
// answers false for anything malformed, never reading past the end. Texts in the results are
// code page 932, as the program's narrow Windows calls give them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

// The program's compiled resources, defined by the source that add_program_resources generates.
// A program without resources leaves them undefined: the reader then finds nothing.
extern "C" const unsigned char standinResources[];
extern "C" const size_t standinResourcesSize;

namespace standin {

// Resource types, by their documented ordinals.
constexpr uint16_t kResourceIcon = 3;
constexpr uint16_t kResourceDialog = 5;
constexpr uint16_t kResourceGroupIcon = 14;
constexpr uint16_t kResourceVersion = 16;
constexpr uint16_t kResourceManifest = 24;

// A type, name, menu, class or title field: an ordinal, or a text.
struct ResourceName {
    bool isOrdinal = false;
    uint16_t ordinal = 0;
    std::string text;  // code page 932; for a predefined control class, the class's name
};

// One record of a .res file; data points into the bytes it was read from.
struct ResourceEntry {
    ResourceName type;
    ResourceName name;
    uint16_t language = 0;
    uint16_t memoryFlags = 0;
    const unsigned char* data = nullptr;
    size_t size = 0;
};

// A found resource's bytes (inside the data searched) and language.
struct Resource {
    const unsigned char* data = nullptr;
    size_t size = 0;
    uint16_t language = 0;
};

// Every record of .res data in order, the empty one that opens a .res file included. False when
// any record is malformed.
bool readResourceFile(const unsigned char* data, size_t size, std::vector<ResourceEntry>& out);

// The first resource of this type and numeric id in .res data. False when there is none, or when
// the data is malformed before it.
bool findResource(const unsigned char* data, size_t size, uint16_t type, uint16_t id,
                  Resource& out);

// findResource on the program's own embedded resources; false for a program without any.
bool findProgramResource(uint16_t type, uint16_t id, Resource& out);

// A control of a dialog template (DLGITEMTEMPLATE or DLGITEMTEMPLATEEX).
struct DialogItem {
    uint32_t helpId = 0;  // extended templates only
    uint32_t style = 0;
    uint32_t exStyle = 0;
    int16_t x = 0;
    int16_t y = 0;
    int16_t cx = 0;
    int16_t cy = 0;
    uint32_t id = 0;
    ResourceName windowClass;  // atoms 0x0080..0x0085 carry the predefined class's name
    ResourceName title;
    size_t creationDataSize = 0;  // skipped
};

// A dialog template (DLGTEMPLATE or DLGTEMPLATEEX) with its controls in order.
struct DialogTemplate {
    bool extended = false;
    uint32_t helpId = 0;  // extended templates only
    uint32_t style = 0;
    uint32_t exStyle = 0;
    int16_t x = 0;
    int16_t y = 0;
    int16_t cx = 0;
    int16_t cy = 0;
    ResourceName menu;         // ordinal 0 with no text: no menu
    ResourceName windowClass;  // ordinal 0 with no text: the standard dialog class
    std::string caption;
    bool hasFont = false;  // DS_SETFONT: the font fields below were present
    uint16_t pointSize = 0;
    uint16_t weight = 0;   // extended templates only
    uint8_t italic = 0;    // extended templates only
    uint8_t charset = 0;   // extended templates only
    std::string fontName;
    std::vector<DialogItem> items;
};

bool parseDialogTemplate(const unsigned char* data, size_t size, DialogTemplate& out);

// One GRPICONDIRENTRY: an image of the group, kept as an icon resource of its own under `id`.
struct IconGroupEntry {
    uint8_t width = 0;  // 0 means 256
    uint8_t height = 0;
    uint8_t colorCount = 0;
    uint16_t planes = 0;
    uint16_t bitCount = 0;
    uint32_t bytes = 0;
    uint16_t id = 0;
};

// An icon group resource (GRPICONDIR).
struct IconGroup {
    std::vector<IconGroupEntry> entries;
};

bool parseIconGroup(const unsigned char* data, size_t size, IconGroup& out);

// The header of one icon image: a BITMAPINFOHEADER followed by its colour and mask bitmaps, or a
// PNG. Width and height are the image's own (for a bitmap, half the stored height).
struct IconImage {
    bool png = false;
    int32_t width = 0;
    int32_t height = 0;
    uint16_t bitCount = 0;
    uint32_t compression = 0;  // bitmaps only
};

bool parseIconImage(const unsigned char* data, size_t size, IconImage& out);

// VS_FIXEDFILEINFO.
struct FixedFileInfo {
    uint32_t signature = 0;
    uint32_t structVersion = 0;
    uint32_t fileVersionMS = 0;
    uint32_t fileVersionLS = 0;
    uint32_t productVersionMS = 0;
    uint32_t productVersionLS = 0;
    uint32_t fileFlagsMask = 0;
    uint32_t fileFlags = 0;
    uint32_t fileOS = 0;
    uint32_t fileType = 0;
    uint32_t fileSubtype = 0;
    uint32_t fileDateMS = 0;
    uint32_t fileDateLS = 0;
};

// One language and code page pair of the VarFileInfo Translation value.
struct VersionTranslation {
    uint16_t language = 0;
    uint16_t codePage = 0;
};

// A version resource (VS_VERSIONINFO): its fixed part, each string table by its key ("041104b0")
// with names and values in code page 932, and the translations.
struct VersionInfo {
    bool hasFixedInfo = false;
    FixedFileInfo fixed;
    std::map<std::string, std::map<std::string, std::string>> stringTables;
    std::vector<VersionTranslation> translations;
};

bool parseVersionInfo(const unsigned char* data, size_t size, VersionInfo& out);

}  // namespace standin
