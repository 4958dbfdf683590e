// Shortcuts saved by the shell link object, as a reader of the Shell Link Binary File format
// (lnkinfo, of liblnk) sees them.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <map>
#include <string>

#include "platform/shell.h"
#include "platform/standin/test_machine.h"

namespace {

using standin::utf8;

const char kLinkFolder[] = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs";
const char8_t kLinkFolderHost[] = u8"drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs";

// The fields lnkinfo prints ("name : value"), by name; a name that comes again (as each shell
// item's) keeps every value in order.
struct LinkReport {
    int status = -1;
    std::string text;
    std::multimap<std::string, std::string> fields;

    std::string field(const std::string& name) const {
        auto found = fields.find(name);
        return found == fields.end() ? "<none>" : found->second;
    }
    std::vector<std::string> all(const std::string& name) const {
        std::vector<std::string> values;
        for (auto [it, end] = fields.equal_range(name); it != end; ++it)
            values.push_back(it->second);
        return values;
    }
};

LinkReport lnkinfo(const std::string& hostPath) {
    LinkReport report;
    std::string command = "lnkinfo -c windows-932 '" + hostPath + "' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return report;
    char buffer[4096];
    while (size_t read = fread(buffer, 1, sizeof buffer, pipe)) report.text.append(buffer, read);
    int result = pclose(pipe);
    report.status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
    size_t start = 0;
    while (start < report.text.size()) {
        size_t end = report.text.find('\n', start);
        if (end == std::string::npos)
            end = report.text.size();
        std::string line = report.text.substr(start, end - start);
        start = end + 1;
        size_t colon = line.find(": ");
        if (colon == std::string::npos)
            continue;
        std::string name = line.substr(0, colon);
        name.erase(0, name.find_first_not_of('\t'));
        name.erase(name.find_last_not_of(" \t") + 1);
        report.fields.emplace(name, line.substr(colon + 2));
    }
    return report;
}

std::u16string wide(const char* cp932) {
    WCHAR units[MAX_PATH];
    int count = MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, cp932, -1, units, MAX_PATH);
    return count > 0 ? std::u16string(units) : std::u16string();
}

uint32_t u32At(const std::string& bytes, size_t offset) {
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i)
        value |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[offset + i])) << (8 * i);
    return value;
}

struct LinkTest : testing::Test {
    LinkTest() {
        EXPECT_EQ(CoInitialize(nullptr), S_OK);
        EXPECT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&link)),
                  S_OK);
        EXPECT_EQ(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)), S_OK);
    }
    ~LinkTest() override {
        if (persist)
            persist->Release();
        if (link)
            link->Release();
        CoUninitialize();
    }

    HRESULT save(const std::string& name) {
        return persist->Save(wide((std::string(kLinkFolder) + "\\" + name).c_str()).c_str(), TRUE);
    }
    // The saved link's host path, for a name given as UTF-8.
    std::string saved(const char8_t* name) const {
        return machine.path(utf8(kLinkFolderHost) + "/" + utf8(name));
    }

    standin::TestMachine machine;
    IShellLinkA* link = nullptr;
    IPersistFile* persist = nullptr;
};

TEST_F(LinkTest, SavedShortcutNamesItsTargetAndWorkingDirectory) {
    machine.writeFile(utf8(u8"drive_c/Program Files/VANTRE/ゲーム.exe"), "MZ12345");
    ASSERT_EQ(link->SetPath("c:\\program files\\vantre\\ゲーム.EXE"), S_OK);
    ASSERT_EQ(link->SetWorkingDirectory("C:\\Program Files\\VANTRE"), S_OK);
    ASSERT_EQ(link->SetArguments("-window"), S_OK);
    ASSERT_EQ(link->SetDescription("ゲームを始めます"), S_OK);
    ASSERT_EQ(link->SetIconLocation("C:\\Program Files\\VANTRE\\ゲーム.exe", 1), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_OK);
    ASSERT_EQ(save("ゲーム.lnk"), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_FALSE);

    LinkReport report = lnkinfo(saved(u8"ゲーム.lnk"));
    ASSERT_EQ(report.status, 0) << report.text;
    EXPECT_EQ(report.field("Local path"), utf8(u8"C:\\Program Files\\VANTRE\\ゲーム.exe"));
    EXPECT_EQ(report.field("Working directory"), "C:\\Program Files\\VANTRE");
    EXPECT_EQ(report.field("Command line arguments"), "-window");
    EXPECT_EQ(report.field("Description"), utf8(u8"ゲームを始めます"));
    EXPECT_EQ(report.field("Icon location"), utf8(u8"C:\\Program Files\\VANTRE\\ゲーム.exe"));
    EXPECT_EQ(report.field("Icon index"), "1");
    EXPECT_EQ(report.field("File size"), "7 bytes");
    EXPECT_EQ(report.field("Drive type"), "Fixed (3)");
    // The item list: My Computer, the drive, then each component by its stored name.
    EXPECT_EQ(report.field("Shell folder name"), "My Computer");
    EXPECT_EQ(report.field("Volume name"), "C:\\");
    std::vector<std::string> names{"Program Files", "VANTRE", utf8(u8"ゲーム.exe")};
    EXPECT_EQ(report.all("Name"), names);
    EXPECT_EQ(report.all("Long name"), names);
}

TEST_F(LinkTest, KeepsTheShowCommandsTheFormatKnows) {
    // lnkinfo 20181227 prints the file size where the show command and hot key belong, so the
    // header is read here.
    struct Row {
        int given;
        uint32_t stored;
    };
    const Row rows[] = {
        {SW_SHOWNORMAL, SW_SHOWNORMAL},           {SW_SHOW, SW_SHOWNORMAL},
        {SW_SHOWMAXIMIZED, SW_SHOWMAXIMIZED},     {SW_SHOWMINIMIZED, SW_SHOWMINNOACTIVE},
        {SW_SHOWMINNOACTIVE, SW_SHOWMINNOACTIVE},
    };
    machine.writeFile("drive_c/Game/Game.exe", "MZ");
    ASSERT_EQ(link->SetPath("C:\\Game\\Game.exe"), S_OK);
    ASSERT_EQ(link->SetHotkey(static_cast<WORD>(0x41 | (HOTKEYF_CONTROL | HOTKEYF_ALT) << 8)),
              S_OK);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.given);
        ASSERT_EQ(link->SetShowCmd(row.given), S_OK);
        ASSERT_EQ(save("Game.lnk"), S_OK);
        std::string bytes = machine.readFile(utf8(kLinkFolderHost) + "/Game.lnk");
        ASSERT_GE(bytes.size(), 0x4Cu);
        EXPECT_EQ(u32At(bytes, 0), 0x4Cu);
        const unsigned char linkClass[] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                           0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
        EXPECT_EQ(bytes.substr(4, 16), std::string(reinterpret_cast<const char*>(linkClass), 16));
        EXPECT_EQ(u32At(bytes, 0x3C), row.stored);
        EXPECT_EQ(u32At(bytes, 0x40) & 0xFFFF, 0x0641u);
        EXPECT_EQ(lnkinfo(saved(u8"Game.lnk")).status, 0);
    }
}

TEST_F(LinkTest, AMissingTargetStillGivesALink) {
    ASSERT_EQ(link->SetPath("C:\\Game\\missing.exe"), S_OK);
    ASSERT_EQ(link->SetWorkingDirectory("C:\\Game"), S_OK);
    ASSERT_EQ(save("missing.lnk"), S_OK);
    LinkReport report = lnkinfo(saved(u8"missing.lnk"));
    ASSERT_EQ(report.status, 0) << report.text;
    EXPECT_EQ(report.field("Local path"), "C:\\Game\\missing.exe");
    EXPECT_EQ(report.field("Working directory"), "C:\\Game");
    EXPECT_EQ(report.field("File size"), "0 bytes");
    EXPECT_EQ(report.field("File attribute flags"), "0x00000000");
    // The folder on the way is a folder item, the missing file a file item.
    std::vector<std::string> kinds{"0x31 (File entry: Directory)", "0x32 (File entry: File)"};
    std::vector<std::string> indicators = report.all("Class type indicator");
    ASSERT_EQ(indicators.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(indicators.begin() + 2, indicators.end()), kinds);
}

TEST_F(LinkTest, ANameEndingInABackslashByteStaysWhole) {
    machine.writeFile(utf8(u8"drive_c/データ表/ソフト.exe"), "MZ");
    ASSERT_EQ(link->SetPath("C:\\データ表\\ソフト.exe"), S_OK);
    ASSERT_EQ(link->SetWorkingDirectory("C:\\データ表"), S_OK);
    ASSERT_EQ(save("表.lnk"), S_OK);
    LinkReport report = lnkinfo(saved(u8"表.lnk"));
    ASSERT_EQ(report.status, 0) << report.text;
    EXPECT_EQ(report.field("Local path"), utf8(u8"C:\\データ表\\ソフト.exe"));
    EXPECT_EQ(report.field("Working directory"), utf8(u8"C:\\データ表"));
    std::vector<std::string> names{utf8(u8"データ表"), utf8(u8"ソフト.exe")};
    EXPECT_EQ(report.all("Long name"), names);
}

TEST_F(LinkTest, SavingWhereNoFileCanBeFails) {
    ASSERT_EQ(link->SetPath("C:\\Game\\Game.exe"), S_OK);
    ASSERT_TRUE(CreateDirectoryA(
        "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Game.lnk", nullptr));
    struct Row {
        const char* name;
        HRESULT result;
    };
    const Row rows[] = {
        {"Game.lnk", E_ACCESSDENIED},  // a folder of that name
        {"Missing\\Game.lnk", HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(save(row.name), row.result);
    }
    EXPECT_EQ(E_ACCESSDENIED, static_cast<HRESULT>(0x80070005));
    // Nothing saved yet: no file of its own to save to.
    EXPECT_EQ(persist->Save(nullptr, TRUE), E_INVALIDARG);
    LPOLESTR current = nullptr;
    EXPECT_EQ(persist->GetCurFile(&current), S_FALSE);
    EXPECT_EQ(std::u16string(current), u"*.lnk");
    CoTaskMemFree(current);
}

TEST_F(LinkTest, RemembersTheFileItSavedTo) {
    ASSERT_EQ(link->SetPath("C:\\Game\\Game.exe"), S_OK);
    ASSERT_EQ(save("copy.lnk"), S_OK);
    ASSERT_EQ(persist->Save(wide("C:\\other.lnk").c_str(), FALSE), S_OK);
    LPOLESTR current = nullptr;
    ASSERT_EQ(persist->GetCurFile(&current), S_OK);
    EXPECT_EQ(std::u16string(current),
              wide("C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\copy.lnk"));
    CoTaskMemFree(current);
    ASSERT_EQ(link->SetArguments("-again"), S_OK);
    ASSERT_EQ(persist->Save(nullptr, TRUE), S_OK);
    EXPECT_EQ(lnkinfo(saved(u8"copy.lnk")).field("Command line arguments"), "-again");
    EXPECT_EQ(lnkinfo(machine.path("drive_c/other.lnk")).status, 0);
}

}  // namespace
