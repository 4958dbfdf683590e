// Drives update.exe from another process, as a user at the screen would: starts it, waits for its
// dialog, reads the texts, presses buttons, reads and answers its message boxes, and reports the
// exit code. One step per argument group; each step prints what it saw, in code page 932.
//   update_driver <update.exe> step...
//   start                 start the program and wait for its dialog; print the dialog's texts
//   click <id>            press a button of the dialog
//   box <id>              wait for a message box, print its caption and text, press button <id>
//   dialog                print whether the dialog is still there
//   exit                  wait for the program's end; print its exit code
//   second                run a second instance while the first one runs; print its exit code
//   rect                  print the dialog's place on the screen: left top width height
//   until <path>          wait until a file exists (another program's signal)
//   stat <path>           print a file's attributes, size and last write time
//   attributes <path> <hex>  set a file's attributes
//   text <id> <text>      wait until a control of the dialog shows the text
//   choose <id>...        wait for the component dialog, press its buttons in turn (the last closes it)
#include <windows.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const char kDialogClass[] = "#32770";
const char kCaption[] = "ヴェルモラント Updata";
const char kComponentsCaption[] = "インストールする項目の選択";
// The message box's text control, in Windows' and Wine's message boxes alike.
const int kBoxTextId = 0xFFFF;
// Polls every 50 ms; a cold Wine may take many seconds for a first window.
const int kPollMs = 50;
const int kPatienceMs = 60000;

struct Program {
    std::string path;
    PROCESS_INFORMATION process{};
    HWND dialog = nullptr;
};

[[noreturn]] void fail(const char* what) {
    printf("FAILED: %s (error %lu)\n", what, GetLastError());
    fflush(stdout);
    exit(2);
}

std::string windowText(HWND window) {
    char text[1024] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string controlText(HWND dialog, int id) {
    char text[1024] = "";
    if (!GetDlgItemTextA(dialog, id, text, sizeof text) && !GetDlgItem(dialog, id)) return "<none>";
    return text;
}

// Newlines shown as \n, so that each report stays one line.
std::string oneLine(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') {
            out += "\\n";
        } else if (c != '\r') {
            out += c;
        }
    }
    return out;
}

PROCESS_INFORMATION startProcess(const std::string& path) {
    std::string commandLine = "\"" + path + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        fail("CreateProcessA");
    }
    CloseHandle(process.hThread);
    process.hThread = nullptr;
    return process;
}

DWORD waitForExit(HANDLE process) {
    if (WaitForSingleObject(process, kPatienceMs) != WAIT_OBJECT_0) fail("the program does not end");
    DWORD code = 0;
    if (!GetExitCodeProcess(process, &code)) fail("GetExitCodeProcess");
    return code;
}

struct BoxSearch {
    DWORD processId;
    HWND dialog;
    HWND found;
};

BOOL CALLBACK findBox(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<BoxSearch*>(parameter);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    char className[64] = "";
    GetClassNameA(window, className, sizeof className);
    if (processId == search->processId && window != search->dialog && IsWindowVisible(window) &&
        strcmp(className, kDialogClass) == 0 && GetDlgItem(window, kBoxTextId)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND waitForBox(const Program& program) {
    for (int waited = 0; waited < kPatienceMs; waited += kPollMs) {
        BoxSearch search{program.process.dwProcessId, program.dialog, nullptr};
        EnumWindows(findBox, reinterpret_cast<LPARAM>(&search));
        if (search.found) return search.found;
        if (WaitForSingleObject(program.process.hProcess, kPollMs) == WAIT_OBJECT_0) {
            fail("the program ended without a message box");
        }
    }
    fail("no message box");
}

void start(Program& program) {
    program.process = startProcess(program.path);
    for (int waited = 0; waited < kPatienceMs && !program.dialog; waited += kPollMs) {
        HWND dialog = FindWindowA(kDialogClass, kCaption);
        DWORD processId = 0;
        if (dialog) GetWindowThreadProcessId(dialog, &processId);
        if (processId == program.process.dwProcessId && IsWindowVisible(dialog)) {
            program.dialog = dialog;
        } else if (WaitForSingleObject(program.process.hProcess, kPollMs) == WAIT_OBJECT_0) {
            fail("the program ended without its dialog");
        }
    }
    if (!program.dialog) fail("no dialog");
    printf("dialog \"%s\"\n", windowText(program.dialog).c_str());
    for (int id : {1008, 2, 1009}) {
        printf("  %d \"%s\"%s\n", id, oneLine(controlText(program.dialog, id)).c_str(),
               IsWindowEnabled(GetDlgItem(program.dialog, id)) ? "" : " disabled");
    }
}

void click(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    if (!button) fail("no such button");
    // Posted: the click may open a modal box, and this process must go on to answer it.
    if (!PostMessageA(button, BM_CLICK, 0, 0)) fail("PostMessageA BM_CLICK");
}

void answerBox(const Program& program, int id) {
    HWND box = waitForBox(program);
    printf("messagebox \"%s\" \"%s\"\n", windowText(box).c_str(),
           oneLine(controlText(box, kBoxTextId)).c_str());
    click(box, id);
    for (int waited = 0; IsWindow(box) && waited < kPatienceMs; waited += kPollMs) Sleep(kPollMs);
    if (IsWindow(box)) fail("the message box stays");
}

void waitForText(HWND dialog, int id, const char* text) {
    for (int waited = 0; waited < kPatienceMs; waited += kPollMs) {
        if (controlText(dialog, id) == text) return;
        Sleep(kPollMs);
    }
    fail("the control never shows the text");
}

HWND waitForComponents(const Program& program) {
    for (int waited = 0; waited < kPatienceMs; waited += kPollMs) {
        HWND dialog = FindWindowA(kDialogClass, kComponentsCaption);
        DWORD processId = 0;
        if (dialog) GetWindowThreadProcessId(dialog, &processId);
        if (processId == program.process.dwProcessId && IsWindowVisible(dialog)) return dialog;
        Sleep(kPollMs);
    }
    fail("no component dialog");
}

uint64_t ticks(const FILETIME& time) {
    return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

void printFileState(const char* path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) {
        printf("%s: missing\n", path);
        return;
    }
    printf("%s: attributes 0x%lx size %lu written %llu\n", path, data.dwFileAttributes,
           data.nFileSizeLow, static_cast<unsigned long long>(ticks(data.ftLastWriteTime)));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: update_driver <update.exe> step...\n");
        return 2;
    }
    Program program;
    program.path = argv[1];
    for (int i = 2; i < argc; ++i) {
        std::string step = argv[i];
        auto argument = [&]() -> const char* {
            if (i + 1 >= argc) fail("a step lacks its argument");
            return argv[++i];
        };
        if (step == "start") {
            start(program);
        } else if (step == "click") {
            click(program.dialog, atoi(argument()));
        } else if (step == "box") {
            answerBox(program, atoi(argument()));
        } else if (step == "dialog") {
            printf("dialog %s\n", IsWindow(program.dialog) ? "open" : "closed");
        } else if (step == "exit") {
            printf("exit %lu\n", waitForExit(program.process.hProcess));
            CloseHandle(program.process.hProcess);
            program.process.hProcess = nullptr;
        } else if (step == "second") {
            PROCESS_INFORMATION second = startProcess(program.path);
            printf("second exit %lu\n", waitForExit(second.hProcess));
            CloseHandle(second.hProcess);
        } else if (step == "rect") {
            RECT rect{};
            if (!GetWindowRect(program.dialog, &rect)) fail("GetWindowRect");
            printf("rect %ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left,
                   rect.bottom - rect.top);
        } else if (step == "until") {
            const char* path = argument();
            int waited = 0;
            for (; GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES && waited < kPatienceMs;
                 waited += kPollMs) {
                Sleep(kPollMs);
            }
            if (waited >= kPatienceMs) fail("no signal");
        } else if (step == "stat") {
            printFileState(argument());
        } else if (step == "text") {
            int id = atoi(argument());
            waitForText(program.dialog, id, argument());
        } else if (step == "choose") {
            HWND components = waitForComponents(program);
            printf("components \"%s\"\n", windowText(components).c_str());
            while (i + 1 < argc && isdigit(static_cast<unsigned char>(argv[i + 1][0]))) {
                click(components, atoi(argv[++i]));
                Sleep(200);
            }
        } else if (step == "attributes") {
            const char* path = argument();
            if (!SetFileAttributesA(path, strtoul(argument(), nullptr, 16))) fail("SetFileAttributesA");
        } else {
            fail("unknown step");
        }
        fflush(stdout);
    }
    if (program.process.hProcess) {
        // A run that did not wait for the end leaves no program behind.
        TerminateProcess(program.process.hProcess, 1);
        CloseHandle(program.process.hProcess);
    }
    return 0;
}
