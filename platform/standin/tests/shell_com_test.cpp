// COM on a thread, its injected failures, the shell link object's COM contract and the shell's
// allocator.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "platform/shell.h"
#include "platform/standin/test_machine.h"

namespace {

HRESULT createLink(IShellLinkA** link) {
    return CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                            reinterpret_cast<void**>(link));
}

struct ComTest : testing::Test {
    ComTest() { standin::clearComCalls(); }
    standin::TestMachine machine;
};

TEST_F(ComTest, InitialisationNestsOnEachThread) {
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
    std::thread::id otherId;
    std::thread other([&otherId] {
        otherId = std::this_thread::get_id();
        EXPECT_EQ(CoInitialize(nullptr), S_OK);
        CoUninitialize();
    });
    other.join();
    CoUninitialize();
    IShellLinkA* link = nullptr;
    EXPECT_EQ(createLink(&link), S_OK);  // still initialised once
    link->Release();
    CoUninitialize();

    link = reinterpret_cast<IShellLinkA*>(1);
    EXPECT_EQ(createLink(&link), CO_E_NOTINITIALIZED);
    EXPECT_EQ(link, nullptr);
    standin::ComCalls calls = standin::comCallsOf(std::this_thread::get_id());
    EXPECT_EQ(calls.initializes, 2u);
    EXPECT_EQ(calls.uninitializes, 2u);
    standin::ComCalls otherCalls = standin::comCallsOf(otherId);
    EXPECT_EQ(otherCalls.initializes, 1u);
    EXPECT_EQ(otherCalls.uninitializes, 1u);
}

TEST_F(ComTest, UnbalancedUninitialisationIsReported) {
    testing::internal::CaptureStderr();
    CoUninitialize();
    EXPECT_NE(testing::internal::GetCapturedStderr().find("CoUninitialize without a CoInitialize"),
              std::string::npos);
    EXPECT_EQ(standin::comCallsOf(std::this_thread::get_id()).uninitializes, 1u);
}

TEST_F(ComTest, FailuresComeFromTheMachinesSettings) {
    struct Row {
        const char* settings;
        HRESULT initialised;
        HRESULT created;
    };
    const Row rows[] = {
        {"fail CoInitialize 0x8007000E\n", E_OUTOFMEMORY, CO_E_NOTINITIALIZED},
        {"fail CoInitialize 0x8000FFFF\n", E_UNEXPECTED, CO_E_NOTINITIALIZED},
        {"fail CoInitialize 0x80070057\n", E_INVALIDARG, CO_E_NOTINITIALIZED},
        {"fail CoInitialize\n", E_OUTOFMEMORY, CO_E_NOTINITIALIZED},
        {"fail CoCreateInstance 0x80040154\n", S_OK, REGDB_E_CLASSNOTREG},
        {"fail CoCreateInstance 0x80040110\n", S_OK, CLASS_E_NOAGGREGATION},
        {"fail CoCreateInstance\n", S_OK, REGDB_E_CLASSNOTREG},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.settings);
        standin::clearComCalls();
        machine.writeFile("settings", row.settings);
        HRESULT initialised = CoInitialize(nullptr);
        EXPECT_EQ(initialised, row.initialised);
        IShellLinkA* link = nullptr;
        EXPECT_EQ(createLink(&link), row.created);
        EXPECT_EQ(link, nullptr);
        if (SUCCEEDED(initialised))
            CoUninitialize();
        standin::ComCalls calls = standin::comCallsOf(std::this_thread::get_id());
        EXPECT_EQ(calls.initializes, 1u);
        EXPECT_EQ(calls.uninitializes, SUCCEEDED(initialised) ? 1u : 0u);
        EXPECT_EQ(standin::liveShellLinks(), 0u);
    }
}

TEST_F(ComTest, OnlyTheShellLinkClassIsServed) {
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    const CLSID unknownClass = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
    void* object = nullptr;
    EXPECT_EQ(CoCreateInstance(unknownClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object),
              REGDB_E_CLASSNOTREG);
    EXPECT_EQ(
        CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown, &object),
        REGDB_E_CLASSNOTREG);
    IUnknown* outer = reinterpret_cast<IUnknown*>(&object);
    EXPECT_EQ(CoCreateInstance(CLSID_ShellLink, outer, CLSCTX_INPROC_SERVER, IID_IUnknown, &object),
              CLASS_E_NOAGGREGATION);
    EXPECT_EQ(
        CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IMalloc, &object),
        E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(standin::liveShellLinks(), 0u);
    CoUninitialize();
}

TEST_F(ComTest, TheShellLinkAnswersItsInterfacesAndLivesUntilItsLastReference) {
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    IShellLinkA* link = nullptr;
    ASSERT_EQ(createLink(&link), S_OK);
    EXPECT_EQ(standin::liveShellLinks(), 1u);

    IPersistFile* persist = nullptr;
    ASSERT_EQ(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)), S_OK);
    IPersist* persistBase = nullptr;
    ASSERT_EQ(persist->QueryInterface(IID_IPersist, reinterpret_cast<void**>(&persistBase)), S_OK);
    EXPECT_EQ(persistBase, persist);
    // One identity whichever interface is asked.
    IUnknown* fromLink = nullptr;
    IUnknown* fromPersist = nullptr;
    ASSERT_EQ(link->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&fromLink)), S_OK);
    ASSERT_EQ(persist->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&fromPersist)), S_OK);
    EXPECT_EQ(fromLink, fromPersist);
    IShellLinkA* back = nullptr;
    ASSERT_EQ(persist->QueryInterface(IID_IShellLinkA, reinterpret_cast<void**>(&back)), S_OK);
    EXPECT_EQ(back, link);
    void* other = reinterpret_cast<void*>(1);
    EXPECT_EQ(link->QueryInterface(IID_IMalloc, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
    EXPECT_EQ(link->QueryInterface(IID_IShellLinkA, nullptr), E_POINTER);
    CLSID classId{};
    EXPECT_EQ(persist->GetClassID(&classId), S_OK);
    EXPECT_TRUE(IsEqualCLSID(classId, CLSID_ShellLink));

    EXPECT_EQ(link->AddRef(), 7u);
    EXPECT_EQ(link->Release(), 6u);
    EXPECT_EQ(back->Release(), 5u);
    EXPECT_EQ(fromPersist->Release(), 4u);
    EXPECT_EQ(fromLink->Release(), 3u);
    EXPECT_EQ(persistBase->Release(), 2u);
    // COM's end does not end an object that still has a reference.
    CoUninitialize();
    EXPECT_EQ(link->Release(), 1u);
    EXPECT_EQ(standin::liveShellLinks(), 1u);
    EXPECT_EQ(persist->Release(), 0u);
    EXPECT_EQ(standin::liveShellLinks(), 0u);
}

TEST_F(ComTest, TheShellLinkKeepsWhatItIsGiven) {
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    machine.writeFile("drive_c/Game/Game.exe", "MZ");
    IShellLinkA* link = nullptr;
    ASSERT_EQ(createLink(&link), S_OK);
    char text[MAX_PATH];
    EXPECT_EQ(link->GetPath(text, sizeof text, nullptr, 0), S_FALSE);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(link->SetPath("c:\\GAME\\game.EXE"), S_OK);
    WIN32_FIND_DATAA data;
    EXPECT_EQ(link->GetPath(text, sizeof text, &data, 0), S_OK);
    EXPECT_STREQ(text, "C:\\Game\\Game.exe");
    EXPECT_STREQ(data.cFileName, "Game.exe");
    EXPECT_EQ(data.nFileSizeLow, 2u);
    char small[6];
    EXPECT_EQ(link->GetPath(small, sizeof small, nullptr, 0), S_OK);
    EXPECT_STREQ(small, "C:\\Ga");

    EXPECT_EQ(link->SetDescription("ゲーム"), S_OK);
    EXPECT_EQ(link->SetArguments("-window"), S_OK);
    EXPECT_EQ(link->SetWorkingDirectory("C:\\Game"), S_OK);
    EXPECT_EQ(link->SetIconLocation("C:\\Game\\Game.exe", 2), S_OK);
    EXPECT_EQ(link->SetHotkey(0x0241), S_OK);
    EXPECT_EQ(link->SetShowCmd(SW_SHOWMAXIMIZED), S_OK);
    EXPECT_EQ(link->GetDescription(text, sizeof text), S_OK);
    EXPECT_STREQ(text, "ゲーム");
    // A cut never splits a double-byte character.
    EXPECT_EQ(link->GetDescription(small, 4), S_OK);
    EXPECT_STREQ(small, "ゲ");
    EXPECT_EQ(link->GetArguments(text, sizeof text), S_OK);
    EXPECT_STREQ(text, "-window");
    EXPECT_EQ(link->GetWorkingDirectory(text, sizeof text), S_OK);
    EXPECT_STREQ(text, "C:\\Game");
    int icon = 0;
    EXPECT_EQ(link->GetIconLocation(text, sizeof text, &icon), S_OK);
    EXPECT_STREQ(text, "C:\\Game\\Game.exe");
    EXPECT_EQ(icon, 2);
    WORD hotkey = 0;
    EXPECT_EQ(link->GetHotkey(&hotkey), S_OK);
    EXPECT_EQ(hotkey, 0x0241);
    int show = 0;
    EXPECT_EQ(link->GetShowCmd(&show), S_OK);
    EXPECT_EQ(show, SW_SHOWMAXIMIZED);
    EXPECT_EQ(link->Resolve(nullptr, SLR_NO_UI), S_OK);

    // The target's item list names it again.
    PIDLIST_ABSOLUTE list = nullptr;
    ASSERT_EQ(link->GetIDList(&list), S_OK);
    EXPECT_EQ(standin::liveItemLists(), 1u);
    ASSERT_TRUE(SHGetPathFromIDListA(list, text));
    EXPECT_STREQ(text, "C:\\Game\\Game.exe");
    EXPECT_EQ(link->SetPath("C:\\elsewhere.exe"), S_OK);
    EXPECT_EQ(link->Resolve(nullptr, SLR_NO_UI), S_FALSE);
    EXPECT_EQ(link->SetIDList(list), S_OK);
    EXPECT_EQ(link->GetPath(text, sizeof text, nullptr, 0), S_OK);
    EXPECT_STREQ(text, "C:\\Game\\Game.exe");
    CoTaskMemFree(list);
    EXPECT_EQ(standin::liveItemLists(), 0u);
    link->Release();
    CoUninitialize();
}

TEST_F(ComTest, TheShellsAllocatorKnowsItsBlocks) {
    IMalloc* allocator = nullptr;
    ASSERT_EQ(SHGetMalloc(&allocator), S_OK);
    void* block = allocator->Alloc(10);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(allocator->GetSize(block), 10u);
    EXPECT_EQ(allocator->DidAlloc(block), 1);
    int own = 0;
    EXPECT_EQ(allocator->DidAlloc(&own), 0);
    block = allocator->Realloc(block, 100);
    EXPECT_EQ(allocator->GetSize(block), 100u);
    allocator->Free(block);
    EXPECT_EQ(allocator->DidAlloc(block), 0);
    allocator->Free(nullptr);
    IMalloc* again = nullptr;
    EXPECT_EQ(allocator->QueryInterface(IID_IMalloc, reinterpret_cast<void**>(&again)), S_OK);
    EXPECT_EQ(again, allocator);
    again->Release();
    allocator->Release();
}

TEST_F(ComTest, TheShellsAllocatorCanBeRefused) {
    machine.writeFile("settings", "fail SHGetMalloc 0x80004005\n");
    IMalloc* allocator = reinterpret_cast<IMalloc*>(1);
    EXPECT_EQ(SHGetMalloc(&allocator), E_FAIL);
    EXPECT_EQ(allocator, nullptr);
}

}  // namespace
