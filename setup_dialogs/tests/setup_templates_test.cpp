// The setup dialog's and the component dialog's templates as the build embeds them: their
// controls, and room for every text both in Windows' dialog manager and on the terminal.
#include <gtest/gtest.h>

#include <strings.h>

#include <string>
#include <vector>

#include "front/resources/resource.h"
#include "platform/standin/resources.h"
#include "platform/user.h"

namespace {

constexpr uint16_t kJapanese = 0x0411;

struct Expected {
    uint32_t id;
    const char* className;
    uint32_t type;  // the button or static type bits; for other classes 0
    const char* text;
};

standin::DialogTemplate dialogTemplate(uint16_t id) {
    standin::Resource resource;
    standin::DialogTemplate parsed;
    EXPECT_TRUE(standin::findProgramResource(standin::kResourceDialog, id, resource));
    EXPECT_EQ(resource.language, kJapanese);
    EXPECT_TRUE(standin::parseDialogTemplate(resource.data, resource.size, parsed));
    return parsed;
}

// Terminal cells of a code page 932 text: two for a double-byte character, one for any other.
int cellsOf(const std::string& text) {
    int cells = 0;
    for (size_t i = 0; i < text.size(); ++i, ++cells) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) {
            ++i;
            ++cells;
        }
    }
    return cells;
}

// Units a text needs at the dialog's font: a terminal cell is four units wide, about what a
// half-width character takes in the dialog manager. A push button adds two cells each side for
// its brackets, a check box four for its mark.
int unitsNeeded(const standin::DialogItem& item) {
    int cells = cellsOf(item.title.text);
    if (item.windowClass.text == "Button") cells += 4;
    return cells * 4;
}

void checkTemplate(uint16_t id, const std::vector<Expected>& expected) {
    standin::DialogTemplate parsed = dialogTemplate(id);
    // WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT, as the update dialog.
    EXPECT_EQ(parsed.style, 0x80C000C0u);
    EXPECT_EQ(parsed.pointSize, 9);
    EXPECT_EQ(parsed.fontName, "ＭＳ Ｐゴシック");
    ASSERT_EQ(parsed.items.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const standin::DialogItem& item = parsed.items[i];
        SCOPED_TRACE(item.id);
        EXPECT_EQ(item.id, expected[i].id);
        // Class names are compared without regard to case; windres writes them in capitals.
        EXPECT_EQ(strcasecmp(item.windowClass.text.c_str(), expected[i].className), 0)
            << item.windowClass.text;
        EXPECT_EQ(item.style & 0xF, expected[i].type);
        EXPECT_EQ(item.title.text, expected[i].text);
        EXPECT_TRUE(item.style & WS_VISIBLE);
        EXPECT_FALSE(item.style & WS_DISABLED);
        EXPECT_LE(unitsNeeded(item), item.cx);
        EXPECT_GE(item.x, 0);
        EXPECT_GE(item.y, 0);
        EXPECT_LE(item.x + item.cx, parsed.cx);
        EXPECT_LE(item.y + item.cy, parsed.cy);
        // No two controls share a place.
        for (size_t j = 0; j < i; ++j) {
            const standin::DialogItem& other = parsed.items[j];
            bool apart = item.x >= other.x + other.cx || other.x >= item.x + item.cx ||
                         item.y >= other.y + other.cy || other.y >= item.y + item.cy;
            EXPECT_TRUE(apart) << "overlaps " << other.id;
        }
    }
}

TEST(SetupTemplates, SetupDialog) {
    checkTemplate(IDD_SETUP, {
                                 {IDC_LABEL_WHITE, "Static", SS_LEFT, "インストール先"},
                                 {IDC_INSTALL_PATH, "Static", SS_LEFT, ""},
                                 {IDC_LABEL_BLACK, "Static", SS_LEFT, "進行状況"},
                                 {IDC_PROGRESS, "msctls_progress32", 0, ""},
                                 {IDC_STATUS_FILE, "Static", SS_LEFT, ""},
                                 {IDC_STATUS_TIME, "Static", SS_LEFT, ""},
                                 {IDC_INSTALL, "Button", BS_DEFPUSHBUTTON, "インストール"},
                                 {IDC_LAUNCH, "Button", BS_PUSHBUTTON, "ゲーム開始"},
                                 {IDC_UNINSTALL, "Button", BS_PUSHBUTTON, "アンインストール"},
                                 {IDC_README, "Button", BS_PUSHBUTTON, "README"},
                                 {IDC_MANUAL, "Button", BS_PUSHBUTTON, "マニュアル"},
                                 {IDCANCEL, "Button", BS_PUSHBUTTON, "終了"},
                                 {IDC_BROWSE, "Button", BS_PUSHBUTTON, "参照..."},
                             });
    // The path line holds the default install folder; the button shows Abort too.
    standin::DialogTemplate parsed = dialogTemplate(IDD_SETUP);
    EXPECT_GE(parsed.items[1].cx, cellsOf("c:\\Program Files\\VANTRE\\VELMORANT") * 4);
}

TEST(SetupTemplates, ComponentDialog) {
    checkTemplate(IDD_COMPONENTS,
                  {
                      {IDC_BASE_FILES, "Button", BS_CHECKBOX, "基本ファイル (140M)"},
                      {IDC_ARCHIVE_ZOM, "Button", BS_AUTOCHECKBOX, "zom.pac (1200M)"},
                      {IDC_ARCHIVE_HEP, "Button", BS_AUTOCHECKBOX, "hep.pac (220M)"},
                      {IDC_ARCHIVE_TUV, "Button", BS_AUTOCHECKBOX, "tuv.pac (740M)"},
                      {IDC_COMPONENT_SIZE, "Static", SS_LEFT, ""},
                      {IDC_SWITCH_TYPE, "Button", BS_PUSHBUTTON, "インストールタイプ切替"},
                      {IDC_COMPONENT_OK, "Button", BS_DEFPUSHBUTTON, "OK"},
                      {IDC_COMPONENT_CANCEL, "Button", BS_PUSHBUTTON, "キャンセル"},
                  });
    // The size label's longest text.
    standin::DialogTemplate parsed = dialogTemplate(IDD_COMPONENTS);
    EXPECT_GE(parsed.items[4].cx, cellsOf("9999M byte") * 4);
}

}  // namespace
