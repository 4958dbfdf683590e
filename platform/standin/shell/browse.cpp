// The folder-browse dialog: a modal of ours, owned by the program's window, that the front end
// shows and its user answers with a folder or a cancel. The program's callback hears of it as
// on Windows: BFFM_INITIALIZED once it is up, BFFM_SELCHANGED when the selection moves and
// BFFM_VALIDATEFAILEDA for a typed name that is no folder.
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>

#include "platform/standin/machine.h"
#include "platform/standin/shell/shell_shared.h"
#include "platform/standin/ui/desktop.h"

namespace standin::shell {
namespace {

using ui::Event;
using ui::UserCommand;

const char kCaption[] = "フォルダーの参照";
const char kUnlabelledDrive[] = "ローカル ディスク";

struct Browse {
    HWND window = nullptr;
    UINT flags = 0;
    BFFCALLBACK callback = nullptr;
    LPARAM data = 0;
    std::string title;
    std::string root;       // the folder the user may not leave; empty: the whole machine
    std::string selection;  // as the file system spells it; empty: none yet
    bool okEnabled = true;
    bool done = false;
    std::string chosen;  // empty when cancelled
};

// The open dialogs by window, for their window procedure.
struct OpenBrowses {
    std::mutex lock;
    std::map<HWND, Browse*> byWindow;
};

OpenBrowses& openBrowses() {
    static OpenBrowses state;
    return state;
}

Browse* browseOf(HWND window) {
    OpenBrowses& state = openBrowses();
    std::lock_guard<std::mutex> hold(state.lock);
    auto found = state.byWindow.find(window);
    return found == state.byWindow.end() ? nullptr : found->second;
}

std::string utf8Of(const std::string& cp932) {
    std::string utf8;
    return cp932ToUtf8(cp932, utf8) ? utf8 : "?";
}

int tellCallback(const Browse& browse, UINT message, LPARAM value) {
    return browse.callback ? browse.callback(browse.window, message, value, browse.data) : 0;
}

bool existingFolder(const std::string& path, std::string& folder) {
    DWORD error = ERROR_SUCCESS;
    return storedSpelling(path.c_str(), folder, &error) && factsOf(folder).folder;
}

bool withinRoot(const Browse& browse, const std::string& folder) {
    if (browse.root.empty() || folder == browse.root)
        return true;
    std::string prefix = componentsOf(browse.root).size() == 1 ? browse.root : browse.root + "\\";
    return folder.compare(0, prefix.size(), prefix) == 0;
}

// Moves the selection as a click in the tree does.
void select(Browse& browse, const std::string& folder) {
    if (folder == browse.selection)
        return;
    browse.selection = folder;
    std::string list = itemListOf(folder);
    tellCallback(browse, BFFM_SELCHANGED, reinterpret_cast<LPARAM>(list.data()));
}

void refuse(const std::string& path, const char* reason) {
    fprintf(stderr, "folder %s: %s; the folder-browse dialog stays open\n", utf8Of(path).c_str(),
            reason);
}

// OK on a folder: chosen, unless the program has disabled OK for it.
void choose(Browse& browse, const std::string& folder) {
    if (folder.empty()) {
        fprintf(stderr,
                "the folder-browse dialog has no folder selected; it takes folder <path> or folder "
                "cancel\n");
        return;
    }
    if (!browse.okEnabled) {
        refuse(folder, "the program does not let it be chosen");
        return;
    }
    browse.chosen = folder;
    browse.done = true;
}

// A folder the user picked or typed: a name without a drive is taken below the selection.
void take(Browse& browse, const std::string& typed) {
    bool absolute = (typed.size() >= 2 && typed[1] == ':') || (!typed.empty() && typed[0] == '\\');
    std::string path =
        absolute || browse.selection.empty() ? typed : browse.selection + "\\" + typed;
    std::string folder;
    if (existingFolder(path, folder)) {
        if (!withinRoot(browse, folder)) {
            refuse(typed, "it lies outside the folder the dialog shows");
            return;
        }
        select(browse, folder);
        choose(browse, folder);
        return;
    }
    if ((browse.flags & BIF_EDITBOX) && (browse.flags & BIF_VALIDATE)) {
        // The callback keeps the dialog open with a non-zero answer; 0 dismisses it as cancelled.
        if (tellCallback(browse, BFFM_VALIDATEFAILEDA, reinterpret_cast<LPARAM>(typed.c_str())) ==
            0) {
            browse.done = true;
        }
        return;
    }
    refuse(typed, "it is not a folder of this machine");
}

void command(Browse& browse, const UserCommand& given) {
    switch (given.kind) {
        case UserCommand::Folder:
            take(browse, given.text);
            return;
        case UserCommand::FolderCancel:
        case UserCommand::KeyEscape:
            browse.done = true;
            return;
        case UserCommand::KeyEnter:
            choose(browse, browse.selection);
            return;
        default:
            fprintf(stderr, "the folder-browse dialog takes folder <path> or folder cancel\n");
            return;
    }
}

INT_PTR CALLBACK browseProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Browse* browse = browseOf(window);
    if (!browse)
        return FALSE;
    switch (message) {
        case BFFM_SETSELECTIONA: {
            // wParam TRUE: lParam is a path; FALSE: an item list.
            std::string path, folder;
            if (wParam && lParam)
                path = reinterpret_cast<LPCSTR>(lParam);
            if (!wParam && !pathOfItemList(reinterpret_cast<PCIDLIST_ABSOLUTE>(lParam), path))
                return TRUE;
            if (existingFolder(path, folder) && withinRoot(*browse, folder))
                select(*browse, folder);
            return TRUE;
        }
        case BFFM_ENABLEOK:
            browse->okEnabled = lParam != 0;
            return TRUE;
        case BFFM_SETSTATUSTEXTA:
            // The front ends show no status line.
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK)
                choose(*browse, browse->selection);
            if (LOWORD(wParam) == IDCANCEL)
                browse->done = true;
            return TRUE;
        default:
            return FALSE;
    }
}

// The name the dialog shows for a folder: its last component, or the drive's label for a drive.
std::string displayNameOf(const std::string& folder) {
    std::vector<std::string> components = componentsOf(folder);
    if (components.size() > 1)
        return components.back();
    char label[MAX_PATH + 1] = "";
    std::string root = folder.substr(0, 2) + "\\";
    if (!GetVolumeInformationA(root.c_str(), label, sizeof label, nullptr, nullptr, nullptr,
                               nullptr, 0) ||
        !label[0]) {
        strcpy(label, kUnlabelledDrive);
    }
    return std::string(label) + " (" + folder.substr(0, 2) + ")";
}

HWND createBrowseWindow(HWND owner) {
    std::lock_guard<std::recursive_mutex> hold(ui::desktopLock());
    ui::Window* record = ui::createWindowRecord();
    record->kind = ui::ControlKind::Dialog;
    record->className = "#32770";
    record->dialogProc = browseProc;
    record->text = kCaption;
    record->owner = owner;
    record->visible = true;
    return record->handle;
}

}  // namespace
}  // namespace standin::shell

using namespace standin::shell;

PIDLIST_ABSOLUTE WINAPI SHBrowseForFolderA(LPBROWSEINFOA info) {
    if (!info)
        return nullptr;
    Browse browse;
    browse.flags = info->ulFlags;
    browse.callback = info->lpfn;
    browse.data = info->lParam;
    browse.title = info->lpszTitle ? info->lpszTitle : "";
    if (info->pidlRoot && !pathOfItemList(info->pidlRoot, browse.root))
        browse.root.clear();
    browse.window = createBrowseWindow(info->hwndOwner);
    {
        OpenBrowses& state = openBrowses();
        std::lock_guard<std::mutex> hold(state.lock);
        state.byWindow[browse.window] = &browse;
    }
    tellCallback(browse, BFFM_INITIALIZED, 0);
    auto waiting = [&browse] {
        Event event;
        event.kind = Event::Browse;
        event.window = browse.window;
        event.caption = browse.title;
        event.text = browse.selection;
        event.type = browse.flags;
        standin::ui::emit(event);
    };
    standin::ui::Modal modal;
    modal.kind = standin::ui::Modal::Browse;
    modal.dialog = browse.window;
    standin::ui::runModal(
        modal, waiting, [&browse] { return browse.done; },
        [&](const UserCommand& given) {
            command(browse, given);
            if (!browse.done)
                waiting();
        },
        [&browse] {
            command(browse, UserCommand{UserCommand::FolderCancel, 0, ""});
        });
    {
        OpenBrowses& state = openBrowses();
        std::lock_guard<std::mutex> hold(state.lock);
        state.byWindow.erase(browse.window);
    }
    standin::ui::destroyWindowRecord(browse.window);
    Event closed;
    closed.kind = Event::BrowseClosed;
    closed.window = browse.window;
    closed.result = browse.chosen.empty() ? 0 : 1;
    standin::ui::emit(closed);
    if (browse.chosen.empty())
        return nullptr;
    if (info->pszDisplayName)
        copyCut(displayNameOf(browse.chosen), info->pszDisplayName, MAX_PATH);
    info->iImage = 0;
    return allocateItemList(itemListOf(browse.chosen));
}
