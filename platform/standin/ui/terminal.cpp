// The terminal front end. One thread owns every ncurses call: it draws the open dialogs and
// message boxes from the desktop's records and turns the keys it reads into the user's commands.
// The event sink only notes what is open and marks the screen dirty, since it runs on the
// program's threads, sometimes under the desktop lock.
#include "platform/standin/ui/terminal.h"

#include <curses.h>
#include <dirent.h>
#include <langinfo.h>
#include <spawn.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <future>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/standin/machine.h"
#include "platform/standin/paths.h"
#include "platform/standin/shell/shell_shared.h"
#include "platform/standin/ui/desktop.h"
#include "platform/standin/ui/plain.h"

extern char** environ;

namespace standin::ui {
namespace {

// A character cell is four dialog units wide and eight high, as a dialog's base units are a
// quarter of its font's width and an eighth of its height.
constexpr int kUnitsPerColumn = 4;
constexpr int kUnitsPerRow = 8;
constexpr int kPollMilliseconds = 50;
// Statics are painted without an event, so while polling the screen is also redrawn this often
// (in polls).
constexpr int kPollsPerRedraw = 5;
// Long enough for an arrow key's bytes to arrive together, short enough that Escape feels
// immediate.
constexpr int kEscapeMilliseconds = 25;
constexpr wint_t kEscape = 27;
constexpr wint_t kRedrawKey = 12;  // Ctrl-L, after something else wrote over the screen

// Button and static styles beyond those the platform header names.
constexpr DWORD kRadioButton = 4;
constexpr DWORD kThreeState = 5;
constexpr DWORD kAutoThreeState = 6;
constexpr DWORD kGroupBox = 7;
constexpr DWORD kAutoRadioButton = 9;
constexpr DWORD kStaticTypeMask = 0x1F;
constexpr DWORD kStaticCenter = 1;
constexpr DWORD kStaticRight = 2;
constexpr DWORD kStaticSimple = 0x0B;
constexpr DWORD kStaticNoWordWrap = 0x0C;
constexpr DWORD kStaticNoPrefix = 0x80;

struct OpenBox {
    std::string caption;  // code page 932
    std::string text;
    bool yesNo = false;
    bool onNo = false;      // the focus is on No rather than Yes
    bool answered = false;  // its answer is on the way: keys wait for the next box
};

// The folder chooser that shows a folder-browse dialog: one folder's subfolders at a time, or
// the machine's drives. Paths are Windows paths in code page 932.
struct Chooser {
    HWND browse = nullptr;
    std::string title;
    std::string start;                 // the folder the dialog has selected, shown highlighted
    bool listed = false;               // `folder` and `entries` follow `start`
    std::string folder;                // empty: the drives
    std::vector<std::string> entries;  // ".." first inside a folder, then the folders; drive roots
    size_t highlighted = 0;
    bool answered = false;  // its answer is on the way: keys wait until it is shown again
};

// A file or address the shell was asked to open.
struct OpenRequest {
    std::string given;   // code page 932
    std::string target;  // host path or address, UTF-8
    bool address = false;
};

// What the sink leaves for the terminal thread, under a lock of its own.
struct Shared {
    std::mutex lock;
    std::vector<HWND> dialogs;  // open, in the order shown: the last is on top
    std::vector<OpenBox> boxes;
    std::optional<Chooser> chooser;
    std::vector<OpenRequest> opens;  // for the terminal thread to carry out
    std::wstring note;               // shown on the bottom line until the next key
    bool dirty = true;
};

struct Terminal {
    std::mutex control;  // start and stop, from the program or from exit
    std::thread thread;
    std::atomic<bool> stopping{false};
    bool colours = false;  // terminal thread only
};

Shared& shared() {
    static Shared state;
    return state;
}

Terminal& terminal() {
    static Terminal state;
    return state;
}

void takeEvent(const Event& event) {
    Shared& state = shared();
    std::lock_guard<std::mutex> hold(state.lock);
    switch (event.kind) {
        case Event::DialogShown:
            state.dialogs.push_back(event.window);
            break;
        case Event::DialogClosed:
            std::erase(state.dialogs, event.window);
            break;
        case Event::BoxOpened:
            state.boxes.push_back(OpenBox{event.caption, event.text, (event.type & MB_TYPEMASK) == MB_YESNO});
            break;
        case Event::BoxClosed:
            if (!state.boxes.empty()) state.boxes.pop_back();
            break;
        case Event::Browse:
            // Shown again after a folder it refused: the same chooser takes keys again.
            if (state.chooser && state.chooser->browse == event.window) {
                state.chooser->answered = false;
            } else {
                state.chooser = Chooser{};
                state.chooser->browse = event.window;
                state.chooser->title = event.caption;
                state.chooser->start = event.text;
            }
            break;
        case Event::BrowseClosed:
            state.chooser.reset();
            break;
        case Event::Open:
            state.opens.push_back(OpenRequest{event.text, event.target, event.target.find('/') != 0});
            break;
        default:
            break;
    }
    state.dirty = true;
}

// The folder chooser's paths

bool isDriveRoot(const std::string& folder) { return shell::componentsOf(folder).size() == 1; }

std::string parentOf(const std::string& folder) {
    std::vector<std::string> components = shell::componentsOf(folder);
    if (components.size() <= 1) return {};
    std::string parent = components[0] + "\\";
    for (size_t i = 1; i + 1 < components.size(); ++i) parent += (i > 1 ? "\\" : "") + components[i];
    return parent;
}

std::string childOf(const std::string& folder, const std::string& entry) {
    if (folder.empty()) return entry;
    if (entry == "..") return parentOf(folder);
    return isDriveRoot(folder) ? shell::componentsOf(folder)[0] + "\\" + entry : folder + "\\" + entry;
}

// The entry that names a folder in its parent's listing.
std::string entryOf(const std::string& folder) {
    std::vector<std::string> components = shell::componentsOf(folder);
    if (components.size() == 1) return components[0] + "\\";
    return components.empty() ? std::string() : components.back();
}

std::vector<std::string> foldersIn(const std::string& folder) {
    std::vector<std::string> entries;
    if (folder.empty()) {
        std::vector<Drive> drives;
        readDrives(drives);
        for (const Drive& drive : drives) {
            entries.push_back(std::string(1, static_cast<char>(toupper(drive.letter))) + ":\\");
        }
        return entries;
    }
    entries.push_back("..");
    std::string host;
    DWORD error = ERROR_SUCCESS;
    DIR* dir = hostPathOf(folder.c_str(), host, &error) ? opendir(host.c_str()) : nullptr;
    if (!dir) return entries;
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        struct stat info;
        std::string cp932;
        if (name == "." || name == ".." || stat((host + "/" + name).c_str(), &info) != 0 ||
            !S_ISDIR(info.st_mode) || !utf8ToCp932(name, cp932)) {
            continue;
        }
        entries.push_back(cp932);
    }
    closedir(dir);
    std::sort(entries.begin() + 1, entries.end());
    return entries;
}

// Lists a folder with one of its entries highlighted (the first when it has none of that name).
void showFolder(Chooser& chooser, const std::string& folder, const std::string& highlight) {
    chooser.folder = folder;
    chooser.entries = foldersIn(folder);
    auto found = std::find(chooser.entries.begin(), chooser.entries.end(), highlight);
    chooser.highlighted = found == chooser.entries.end() ? 0 : static_cast<size_t>(found - chooser.entries.begin());
    chooser.listed = true;
}

// The dialog's selection is shown in its parent's listing, so that one key chooses it.
void listChooser(Chooser& chooser) {
    if (chooser.listed) return;
    showFolder(chooser, chooser.start.empty() ? "" : parentOf(chooser.start),
               chooser.start.empty() ? "" : entryOf(chooser.start));
}

// What is drawn, copied out of the desktop's records so that drawing holds no lock.
struct ControlView {
    ControlKind kind = ControlKind::Other;
    DWORD style = 0;
    RECT units{};
    std::string text;  // code page 932
    bool enabled = true;
    bool focused = false;
    bool checked = false;
    Appearance appearance;
    int rangeMin = 0;
    int rangeMax = 100;
    int position = 0;
};

struct DialogView {
    std::string caption;
    RECT units{};
    std::vector<ControlView> controls;
};

struct Scene {
    std::vector<DialogView> dialogs;
    std::vector<OpenBox> boxes;
    std::optional<Chooser> chooser;
    std::wstring note;
};

Scene takeScene() {
    Scene scene;
    std::vector<HWND> open;
    {
        Shared& state = shared();
        std::lock_guard<std::mutex> hold(state.lock);
        open = state.dialogs;
        scene.boxes = state.boxes;
        if (state.chooser) listChooser(*state.chooser);
        scene.chooser = state.chooser;
        scene.note = state.note;
        state.dirty = false;
    }
    std::lock_guard<std::recursive_mutex> hold(desktopLock());
    for (HWND handle : open) {
        Window* dialog = findWindow(handle);
        if (!dialog || !dialog->visible) continue;
        DialogView view{dialog->text, dialog->unitRect, {}};
        for (HWND controlHandle : dialog->controls) {
            Window* control = findWindow(controlHandle);
            if (!control || !control->visible) continue;
            view.controls.push_back(ControlView{control->kind, control->style, control->unitRect, control->text,
                                                control->enabled, controlHandle == dialog->focus,
                                                control->checked, control->appearance, control->rangeMin,
                                                control->rangeMax, control->position});
        }
        scene.dialogs.push_back(std::move(view));
    }
    return scene;
}

bool isDirty() {
    Shared& state = shared();
    std::lock_guard<std::mutex> hold(state.lock);
    return state.dirty;
}

// Texts

std::wstring wide(const std::string& cp932) {
    std::string utf8;
    if (!cp932ToUtf8(cp932, utf8)) utf8 = "?";
    std::wstring out;
    std::mbstate_t state{};
    const char* next = utf8.data();
    const char* end = next + utf8.size();
    while (next < end) {
        wchar_t c = 0;
        size_t used = std::mbrtowc(&c, next, static_cast<size_t>(end - next), &state);
        if (used == static_cast<size_t>(-1) || used == static_cast<size_t>(-2)) {
            out += L'?';
            state = std::mbstate_t{};
            ++next;
            continue;
        }
        out += c;
        next += used == 0 ? 1 : used;
    }
    return out;
}

// Cells a character takes; one that cannot be shown is drawn as a question mark.
int cellsOf(wchar_t c) {
    int cells = wcwidth(c);
    return cells < 0 ? 1 : cells;
}

int cellsOf(const std::wstring& text) {
    int cells = 0;
    for (wchar_t c : text) cells += cellsOf(c);
    return cells;
}

// A control's text as shown: "&x" marks x as the mnemonic, "&&" is an ampersand.
std::wstring withoutPrefixes(const std::wstring& text) {
    std::wstring out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'&' && ++i == text.size()) break;
        out += text[i];
    }
    return out;
}

std::vector<std::wstring> splitLines(const std::wstring& text) {
    std::vector<std::wstring> lines(1);
    for (wchar_t c : text) {
        if (c == L'\n') {
            lines.emplace_back();
        } else if (c == L'\t') {
            lines.back() += L' ';
        } else if (c != L'\r') {
            lines.back() += c;
        }
    }
    return lines;
}

// Breaks a line into pieces of at most `columns` cells, after a space when the piece holds one.
std::vector<std::wstring> wrapLine(std::wstring rest, int columns) {
    std::vector<std::wstring> pieces;
    while (cellsOf(rest) > columns) {
        size_t fit = 0;
        for (int used = 0; fit < rest.size() && used + cellsOf(rest[fit]) <= columns; ++fit) {
            used += cellsOf(rest[fit]);
        }
        size_t cut = std::max<size_t>(fit, 1);
        if (fit > 0 && fit < rest.size() && rest[fit] != L' ') {
            size_t space = rest.find_last_of(L' ', fit - 1);
            if (space != std::wstring::npos && space > 0) cut = space + 1;
        }
        std::wstring piece = rest.substr(0, cut);
        while (!piece.empty() && piece.back() == L' ') piece.pop_back();
        pieces.push_back(piece);
        rest.erase(0, cut);
        rest.erase(0, std::min(rest.find_first_not_of(L' '), rest.size()));
    }
    pieces.push_back(rest);
    return pieces;
}

// Drawing. Every write is clipped to an area that lies inside the screen, so that a terminal
// too small for a dialog shows the part that fits.

struct Area {
    int top = 0;
    int left = 0;
    int rows = 0;
    int columns = 0;
};

Area intersect(const Area& a, const Area& b) {
    int top = std::max(a.top, b.top);
    int left = std::max(a.left, b.left);
    int bottom = std::min(a.top + a.rows, b.top + b.rows);
    int right = std::min(a.left + a.columns, b.left + b.columns);
    return Area{top, left, std::max(0, bottom - top), std::max(0, right - left)};
}

Area screenArea() { return Area{0, 0, LINES, COLS}; }

bool inside(const Area& area, int y, int x) {
    return y >= area.top && y < area.top + area.rows && x >= area.left && x < area.left + area.columns;
}

struct Look {
    attr_t attributes = A_NORMAL;
    short pair = 0;
};

// Writes a character at (y, x), a double-width one only where both its cells are inside the
// clip; returns the cells it takes.
int putChar(const Area& clip, int y, int x, wchar_t c, const Look& look) {
    int cells = cellsOf(c);
    if (wcwidth(c) < 0) c = L'?';
    if (cells == 0 || !inside(clip, y, x) || !inside(clip, y, x + cells - 1)) return cells;
    wchar_t text[2] = {c, L'\0'};
    cchar_t cell;
    setcchar(&cell, text, look.attributes, look.pair, nullptr);
    mvadd_wch(y, x, &cell);
    return cells;
}

int putText(const Area& clip, int y, int x, const std::wstring& text, const Look& look) {
    int start = x;
    for (wchar_t c : text) x += putChar(clip, y, x, c, look);
    return x - start;
}

// A line-drawing symbol, as ncurses has it for this terminal.
void putSymbol(const Area& clip, int y, int x, const cchar_t* symbol, const Look& look) {
    if (!inside(clip, y, x)) return;
    wchar_t text[CCHARW_MAX + 1] = {};
    attr_t attributes = 0;
    short pair = 0;
    getcchar(symbol, text, &attributes, &pair, nullptr);
    cchar_t cell;
    setcchar(&cell, text, attributes | look.attributes, look.pair, nullptr);
    mvadd_wch(y, x, &cell);
}

void fill(const Area& clip, const Area& area, const Look& look) {
    Area shown = intersect(clip, area);
    for (int y = shown.top; y < shown.top + shown.rows; ++y) {
        for (int x = shown.left; x < shown.left + shown.columns; ++x) putChar(clip, y, x, L' ', look);
    }
}

// A frame around `area` (the frame's own cells included) with the title in its top line.
void drawFrame(const Area& clip, const Area& area, const std::wstring& title, const Look& look) {
    if (area.rows < 2 || area.columns < 2) return;
    int bottom = area.top + area.rows - 1;
    int right = area.left + area.columns - 1;
    for (int x = area.left + 1; x < right; ++x) {
        putSymbol(clip, area.top, x, WACS_HLINE, look);
        putSymbol(clip, bottom, x, WACS_HLINE, look);
    }
    for (int y = area.top + 1; y < bottom; ++y) {
        putSymbol(clip, y, area.left, WACS_VLINE, look);
        putSymbol(clip, y, right, WACS_VLINE, look);
    }
    putSymbol(clip, area.top, area.left, WACS_ULCORNER, look);
    putSymbol(clip, area.top, right, WACS_URCORNER, look);
    putSymbol(clip, bottom, area.left, WACS_LLCORNER, look);
    putSymbol(clip, bottom, right, WACS_LRCORNER, look);
    if (title.empty()) return;
    Area titleArea = intersect(clip, Area{area.top, area.left + 2, 1, area.columns - 4});
    putText(titleArea, area.top, area.left + 2, L" " + title + L" ", look);
}

// The curses colour nearest to a COLORREF; black and white give the terminal's own foreground,
// which is what stays readable on its background.
short pairOf(COLORREF color) {
    if (!terminal().colours) return 0;
    int red = static_cast<int>(color & 0xFF);
    int green = static_cast<int>((color >> 8) & 0xFF);
    int blue = static_cast<int>((color >> 16) & 0xFF);
    short nearest = COLOR_BLACK;
    long best = -1;
    for (short candidate = COLOR_BLACK; candidate <= COLOR_WHITE; ++candidate) {
        // Curses colour numbers hold red, green and blue in their three bits.
        long dr = red - (candidate & 1 ? 255 : 0);
        long dg = green - (candidate & 2 ? 255 : 0);
        long db = blue - (candidate & 4 ? 255 : 0);
        long distance = dr * dr + dg * dg + db * db;
        if (best < 0 || distance < best) {
            best = distance;
            nearest = candidate;
        }
    }
    return nearest == COLOR_BLACK || nearest == COLOR_WHITE ? 0 : nearest;
}

// A control's cells inside its dialog's client area.
Area cellsOfControl(const RECT& units, const Area& client) {
    int left = (units.left + kUnitsPerColumn / 2) / kUnitsPerColumn;
    int top = (units.top + kUnitsPerRow / 2) / kUnitsPerRow;
    int right = (units.right + kUnitsPerColumn / 2) / kUnitsPerColumn;
    int bottom = (units.bottom + kUnitsPerRow / 2) / kUnitsPerRow;
    return Area{client.top + top, client.left + left, std::max(1, bottom - top), std::max(1, right - left)};
}

// The row a one-line control sits on: the one nearest its middle.
int middleRow(const RECT& units, const Area& client) {
    return client.top + static_cast<int>(units.top + units.bottom + kUnitsPerRow) / (2 * kUnitsPerRow);
}

std::wstring clipped(const std::wstring& text, int columns) {
    std::wstring out;
    int used = 0;
    for (wchar_t c : text) {
        if (used + cellsOf(c) > columns) break;
        used += cellsOf(c);
        out += c;
    }
    return out;
}

Look lookOf(const ControlView& control) {
    Look look;
    if (!control.enabled) look.attributes |= A_DIM;
    if (control.focused) look.attributes |= A_REVERSE;
    return look;
}

void drawPushButton(const Area& clip, const ControlView& control, const Area& cells, int row) {
    bool isDefault = (control.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
    std::wstring text = clipped(withoutPrefixes(wide(control.text)), std::max(0, cells.columns - 4));
    std::wstring label = (isDefault ? L"< " : L"[ ") + text + (isDefault ? L" >" : L" ]");
    int x = cells.left + std::max(0, (cells.columns - cellsOf(label)) / 2);
    putText(clip, row, x, label, lookOf(control));
}

void drawCheck(const Area& clip, const ControlView& control, const Area& cells, int row, bool radio) {
    std::wstring mark = radio ? (control.checked ? L"(*) " : L"( ) ") : (control.checked ? L"[x] " : L"[ ] ");
    putText(clip, row, cells.left, mark + withoutPrefixes(wide(control.text)), lookOf(control));
}

void drawStatic(const Area& clip, const ControlView& control, const Area& cells) {
    DWORD type = control.style & kStaticTypeMask;
    std::wstring text = wide(control.text);
    if (control.kind == ControlKind::Static && !(control.style & kStaticNoPrefix)) text = withoutPrefixes(text);
    Look look = lookOf(control);
    if (control.appearance.painted) {
        if (control.appearance.bold) look.attributes |= A_BOLD;
        look.pair = pairOf(control.appearance.textColor);
    }
    bool wrap = type != kStaticSimple && type != kStaticNoWordWrap;
    std::vector<std::wstring> lines;
    for (const std::wstring& line : splitLines(text)) {
        if (!wrap) {
            lines.push_back(line);
            continue;
        }
        for (std::wstring& piece : wrapLine(line, std::max(1, cells.columns))) lines.push_back(std::move(piece));
    }
    for (int i = 0; i < cells.rows && i < static_cast<int>(lines.size()); ++i) {
        int spare = std::max(0, cells.columns - cellsOf(lines[i]));
        int x = cells.left + (type == kStaticCenter ? spare / 2 : type == kStaticRight ? spare : 0);
        putText(clip, cells.top + i, x, lines[i], look);
    }
}

void drawProgress(const Area& clip, const ControlView& control, const Area& cells, int row) {
    int inner = std::max(0, cells.columns - 2);
    long range = static_cast<long>(control.rangeMax) - control.rangeMin;
    long done = std::clamp(static_cast<long>(control.position) - control.rangeMin, 0L, std::max(range, 0L));
    int filled = range > 0 ? static_cast<int>(done * inner / range) : 0;
    std::wstring bar = L"[" + std::wstring(static_cast<size_t>(filled), L'#') +
                       std::wstring(static_cast<size_t>(inner - filled), L'.') + L"]";
    putText(clip, row, cells.left, bar, lookOf(control));
}

void drawControl(const Area& client, const ControlView& control) {
    Area cells = cellsOfControl(control.units, client);
    Area clip = intersect(client, screenArea());
    int row = middleRow(control.units, client);
    DWORD type = control.style & BS_TYPEMASK;
    switch (control.kind) {
        case ControlKind::CheckBox:
            drawCheck(clip, control, cells, row, false);
            return;
        case ControlKind::Button:
            if (type == kGroupBox) {
                drawFrame(clip, cells, withoutPrefixes(wide(control.text)), lookOf(control));
            } else if (type == kRadioButton || type == kAutoRadioButton) {
                drawCheck(clip, control, cells, row, true);
            } else if (type == kThreeState || type == kAutoThreeState) {
                drawCheck(clip, control, cells, row, false);
            } else {
                drawPushButton(clip, control, cells, row);
            }
            return;
        case ControlKind::Progress:
            drawProgress(clip, control, cells, row);
            return;
        default:
            drawStatic(clip, control, cells);
            return;
    }
}

// A frame centred on the screen around a client area of the given size.
Area centredFrame(int rows, int columns) {
    int frameRows = rows + 2;
    int frameColumns = columns + 2;
    return Area{std::max(0, (LINES - frameRows) / 2), std::max(0, (COLS - frameColumns) / 2), frameRows,
                frameColumns};
}

void drawDialog(const DialogView& dialog) {
    int columns = (static_cast<int>(dialog.units.right - dialog.units.left) + kUnitsPerColumn - 1) / kUnitsPerColumn;
    int rows = (static_cast<int>(dialog.units.bottom - dialog.units.top) + kUnitsPerRow - 1) / kUnitsPerRow;
    Area frame = centredFrame(std::max(rows, 1), std::max(columns, 1));
    Area screen = screenArea();
    fill(screen, frame, Look{});
    drawFrame(screen, frame, wide(dialog.caption), Look{});
    Area client{frame.top + 1, frame.left + 1, frame.rows - 2, frame.columns - 2};
    for (const ControlView& control : dialog.controls) drawControl(client, control);
}

void drawBox(const OpenBox& box) {
    // The box's Japanese button names are code page 932 like every other narrow text here.
    std::vector<std::pair<std::wstring, bool>> buttons;
    if (box.yesNo) {
        buttons = {{L"[ " + wide("はい") + L" ]", !box.onNo}, {L"[ " + wide("いいえ") + L" ]", box.onNo}};
    } else {
        buttons = {{L"[ OK ]", true}};
    }
    constexpr int kGap = 2;
    int buttonsWidth = -kGap;
    for (const auto& button : buttons) buttonsWidth += cellsOf(button.first) + kGap;
    std::wstring caption = wide(box.caption);
    // Two cells of margin inside the frame on either side.
    int textRoom = std::max(1, COLS - 6);
    std::vector<std::wstring> lines;
    for (const std::wstring& line : splitLines(wide(box.text))) {
        for (std::wstring& piece : wrapLine(line, textRoom)) lines.push_back(std::move(piece));
    }
    int widest = std::max(buttonsWidth, cellsOf(caption) + 2);
    for (const std::wstring& line : lines) widest = std::max(widest, cellsOf(line));
    int lineCount = static_cast<int>(lines.size());
    Area frame = centredFrame(lineCount + 4, widest + 4);
    Area screen = screenArea();
    fill(screen, frame, Look{});
    drawFrame(screen, frame, caption, Look{A_BOLD, 0});
    Area client = intersect(screen, Area{frame.top + 1, frame.left + 1, frame.rows - 2, frame.columns - 2});
    for (int i = 0; i < lineCount; ++i) putText(client, frame.top + 2 + i, frame.left + 3, lines[i], Look{});
    int x = frame.left + 1 + std::max(0, (frame.columns - 2 - buttonsWidth) / 2);
    int row = frame.top + 3 + lineCount;
    for (const auto& [label, focused] : buttons) {
        x += putText(client, row, x, label, Look{focused ? A_REVERSE : A_NORMAL, 0}) + kGap;
    }
}

void drawChooser(const Chooser& chooser) {
    constexpr int kListRows = 12;
    static const std::wstring kHint = L"Enter: open  Space: choose  s: this folder  Esc: cancel";
    std::wstring title = wide(chooser.title);
    std::wstring place = chooser.folder.empty() ? L"(drives)" : wide(chooser.folder);
    int columns = std::min(std::max({cellsOf(kHint), cellsOf(title), 40}), std::max(1, COLS - 2));
    Area frame = centredFrame(kListRows + 4, columns + 2);
    Area screen = screenArea();
    fill(screen, frame, Look{});
    drawFrame(screen, frame, wide("フォルダーの参照"), Look{A_BOLD, 0});
    Area client = intersect(screen, Area{frame.top + 1, frame.left + 2, frame.rows - 2, frame.columns - 4});
    putText(client, client.top, client.left, clipped(title, client.columns), Look{});
    putText(client, client.top + 1, client.left, clipped(place, client.columns), Look{A_DIM, 0});
    // The listing scrolls so that the highlighted entry stays in view.
    size_t first = chooser.highlighted >= kListRows ? chooser.highlighted - kListRows + 1 : 0;
    for (size_t i = first; i < chooser.entries.size() && i < first + kListRows; ++i) {
        std::wstring name = chooser.entries[i] == ".." ? L".. (up)" : wide(chooser.entries[i]);
        Look look{i == chooser.highlighted ? A_REVERSE : A_NORMAL, 0};
        int row = client.top + 2 + static_cast<int>(i - first);
        putText(client, row, client.left, clipped(name, client.columns), look);
    }
    putText(client, client.top + 2 + kListRows, client.left, clipped(kHint, client.columns), Look{A_DIM, 0});
}

void draw(const Scene& scene) {
    erase();
    for (const DialogView& dialog : scene.dialogs) drawDialog(dialog);
    if (scene.chooser) drawChooser(*scene.chooser);
    for (const OpenBox& box : scene.boxes) drawBox(box);
    if (!scene.note.empty()) {
        Area screen = screenArea();
        putText(screen, LINES - 1, 0, clipped(scene.note, COLS), Look{A_REVERSE, 0});
    }
    refresh();
}

// Keys

struct KeyBinding {
    wint_t key;
    bool function;  // a curses key code rather than a character
    UserCommand::Kind command;
};

constexpr KeyBinding kKeys[] = {
    {L'\t', false, UserCommand::KeyTab},       {KEY_RIGHT, true, UserCommand::KeyTab},
    {KEY_DOWN, true, UserCommand::KeyTab},     {KEY_BTAB, true, UserCommand::KeyBackTab},
    {KEY_LEFT, true, UserCommand::KeyBackTab}, {KEY_UP, true, UserCommand::KeyBackTab},
    {L'\n', false, UserCommand::KeyEnter},     {L'\r', false, UserCommand::KeyEnter},
    {KEY_ENTER, true, UserCommand::KeyEnter},  {L' ', false, UserCommand::KeySpace},
    {kEscape, false, UserCommand::KeyEscape},
};

std::optional<UserCommand::Kind> commandOf(wint_t key, bool function) {
    for (const KeyBinding& binding : kKeys) {
        if (binding.key == key && binding.function == function) return binding.command;
    }
    return std::nullopt;
}

// The answer a key gives the open box, or empty; Tab and the arrows move its focus instead.
// The caller holds the shared lock.
std::string answerOf(OpenBox& box, wint_t key, bool function, std::optional<UserCommand::Kind> command) {
    if (!function) {
        wint_t letter = std::towlower(key);
        if (box.yesNo && letter == L'y') return "yes";
        if (box.yesNo && letter == L'n') return "no";
        if (!box.yesNo && letter == L'o') return "ok";
    }
    if (!command) return {};
    switch (*command) {
        case UserCommand::KeyTab:
        case UserCommand::KeyBackTab:
            box.onNo = box.yesNo && !box.onNo;
            shared().dirty = true;
            return {};
        case UserCommand::KeyEnter:
        case UserCommand::KeySpace:
            return box.yesNo ? (box.onNo ? "no" : "yes") : "ok";
        case UserCommand::KeyEscape:
            return box.yesNo ? "" : "ok";
        default:
            return {};
    }
}

// A key for the folder chooser: the arrows move through the listing, Enter opens a folder, Left
// or Backspace goes up; Space chooses the highlighted folder, s the one listed, Escape cancels.
// The caller holds the shared lock.
std::optional<UserCommand> chooserKey(Chooser& chooser, wint_t key, bool function) {
    listChooser(chooser);
    bool any = chooser.highlighted < chooser.entries.size();
    std::string entry = any ? chooser.entries[chooser.highlighted] : "";
    bool up = function && (key == KEY_UP || key == KEY_BTAB);
    bool down = function ? key == KEY_DOWN : key == L'\t';
    bool open = function ? (key == KEY_RIGHT || key == KEY_ENTER) : (key == L'\n' || key == L'\r');
    bool back = function ? (key == KEY_LEFT || key == KEY_BACKSPACE) : (key == 127 || key == 8);
    if (up && chooser.highlighted > 0) --chooser.highlighted;
    if (down && chooser.highlighted + 1 < chooser.entries.size()) ++chooser.highlighted;
    if (open && !entry.empty()) {
        std::string from = chooser.folder;
        showFolder(chooser, childOf(from, entry), entry == ".." ? entryOf(from) : "");
    }
    if (back && !chooser.folder.empty()) {
        std::string from = chooser.folder;
        showFolder(chooser, parentOf(from), entryOf(from));
    }
    std::string chosen;
    if (!function && key == L' ' && !entry.empty()) {
        chosen = entry == ".." ? chooser.folder : childOf(chooser.folder, entry);
    }
    if (!function && std::towlower(key) == L's') chosen = chooser.folder;
    if (!chosen.empty()) {
        chooser.answered = true;
        return UserCommand{UserCommand::Folder, 0, chosen};
    }
    if (!function && key == kEscape) {
        chooser.answered = true;
        return UserCommand{UserCommand::FolderCancel, 0, ""};
    }
    return std::nullopt;
}

// Keys reach the innermost box when one is open, else the folder chooser, else the top dialog;
// with nothing open they are dropped rather than kept for whatever opens next.
void pressKey(wint_t key, bool function) {
    std::optional<UserCommand::Kind> command = commandOf(key, function);
    std::optional<UserCommand> toSend;
    {
        Shared& state = shared();
        std::lock_guard<std::mutex> hold(state.lock);
        state.note.clear();
        state.dirty = true;
        if (!state.boxes.empty()) {
            OpenBox& box = state.boxes.back();
            if (box.answered) return;
            std::string answer = answerOf(box, key, function, command);
            if (!answer.empty()) {
                box.answered = true;
                toSend = UserCommand{UserCommand::Answer, 0, answer};
            }
        } else if (state.chooser) {
            if (!state.chooser->answered) toSend = chooserKey(*state.chooser, key, function);
        } else if (!state.dialogs.empty() && command) {
            toSend = UserCommand{*command, 0, ""};
        }
    }
    // Outside our lock: the desktop's lock is taken before ours by the sink.
    if (toSend) pushUserCommand(*toSend);
}

// Opening files

// A program of the Windows machine, which the terminal does not run.
bool isProgram(const std::string& path) {
    static const char* const kProgramExtensions[] = {".exe", ".com", ".bat", ".cmd", ".pif", ".scr", ".msi"};
    for (const char* extension : kProgramExtensions) {
        size_t length = strlen(extension);
        if (path.size() >= length && strcasecmp(path.c_str() + path.size() - length, extension) == 0) return true;
    }
    return false;
}

bool onPath(const std::string& program) {
    const char* path = getenv("PATH");
    std::string folders = path ? path : "";
    for (size_t start = 0; start <= folders.size();) {
        size_t end = std::min(folders.find(':', start), folders.size());
        std::string folder = folders.substr(start, end - start);
        if (!folder.empty() && access((folder + "/" + program).c_str(), X_OK) == 0) return true;
        start = end + 1;
    }
    return false;
}

// The machine's `opener` setting, else xdg-open where it is installed.
std::string openerCommand() {
    Settings settings = readSettings();
    if (!settings.opener.empty()) return settings.opener;
    return onPath("xdg-open") ? "xdg-open" : "";
}

// Starts the opener without waiting for it: a shell starts it in the background, its output
// kept off the screen, and ends at once.
bool startOpener(const std::string& opener, const std::string& target) {
    std::string script = opener + " \"$1\" </dev/null >/dev/null 2>&1 &";
    const char* arguments[] = {"sh", "-c", script.c_str(), "sh", target.c_str(), nullptr};
    pid_t child = 0;
    if (posix_spawn(&child, "/bin/sh", nullptr, nullptr, const_cast<char* const*>(arguments), environ) != 0) {
        return false;
    }
    int status = 0;
    return waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Opens what the shell was asked to open, and says what became of it.
std::wstring carryOut(const OpenRequest& request) {
    std::wstring given = wide(request.given);
    if (!request.address && isProgram(request.given)) {
        return L"not started: " + given + L" is a program of the Windows machine";
    }
    std::string opener = openerCommand();
    if (opener.empty()) return L"nothing opens " + given + L": the machine's settings have no opener line";
    if (!startOpener(opener, request.target)) return L"the opener could not be started for " + given;
    return L"opened " + given;
}

void carryOutOpens() {
    Shared& state = shared();
    std::vector<OpenRequest> opens;
    {
        std::lock_guard<std::mutex> hold(state.lock);
        opens.swap(state.opens);
    }
    if (opens.empty()) return;
    std::wstring note;
    for (const OpenRequest& request : opens) note = carryOut(request);
    std::lock_guard<std::mutex> hold(state.lock);
    state.note = note;
    state.dirty = true;
}

void setUpColours() {
    if (!has_colors() || start_color() == ERR || use_default_colors() == ERR) return;
    for (short colour = COLOR_RED; colour <= COLOR_WHITE; ++colour) init_pair(colour, colour, -1);
    terminal().colours = true;
}

void run(std::promise<bool>& ready) {
    SCREEN* screen = newterm(nullptr, stdout, stdin);
    if (!screen) {
        ready.set_value(false);
        return;
    }
    cbreak();
    noecho();
    keypad(stdscr, TRUE);
    set_escdelay(kEscapeMilliseconds);
    timeout(kPollMilliseconds);
    curs_set(0);
    setUpColours();
    ready.set_value(true);
    draw(takeScene());
    for (int polls = 0; !terminal().stopping; ++polls) {
        wint_t key = 0;
        int got = get_wch(&key);
        bool function = got == KEY_CODE_YES;
        bool redraw = got != ERR || isDirty() || polls % kPollsPerRedraw == 0;
        if (got == ERR || (function && key == KEY_RESIZE)) {
            // Nothing pressed; a resize only needs the redraw.
        } else if (!function && key == kRedrawKey) {
            clearok(curscr, TRUE);
        } else {
            pressKey(key, function);
        }
        carryOutOpens();
        if (redraw || isDirty()) draw(takeScene());
    }
    endwin();
    delscreen(screen);
}

// Wide-character curses needs a UTF-8 character type; the rest of the locale stays "C" so that
// the program's number formatting does not change.
void chooseLocale() {
    setlocale(LC_CTYPE, "");
    if (strcmp(nl_langinfo(CODESET), "UTF-8") != 0) setlocale(LC_CTYPE, "C.UTF-8");
}

}  // namespace

void startTerminalFrontEnd() {
    Terminal& state = terminal();
    shared();  // made before the exit handler is registered, so it outlives the handler's run
    std::lock_guard<std::mutex> hold(state.control);
    if (state.thread.joinable()) return;
    static const bool stopsAtExit = std::atexit([] { stopTerminalFrontEnd(); }) == 0;
    (void)stopsAtExit;
    chooseLocale();
    setEventSink(takeEvent);
    std::promise<bool> ready;
    std::future<bool> started = ready.get_future();
    state.stopping = false;
    // The promise moves to the thread, which may still be inside set_value when get returns.
    state.thread = std::thread([ready = std::move(ready)]() mutable { run(ready); });
    if (started.get()) return;
    state.thread.join();
    setEventSink(nullptr);
    fprintf(stderr, "the terminal cannot be used (TERM=%s): reading commands as lines instead\n",
            getenv("TERM") ? getenv("TERM") : "");
    startPlainFrontEnd(stdin, stdout);
}

void stopTerminalFrontEnd() {
    Terminal& state = terminal();
    std::lock_guard<std::mutex> hold(state.control);
    if (!state.thread.joinable()) return;
    setEventSink(nullptr);
    state.stopping = true;
    state.thread.join();
    Shared& open = shared();
    std::lock_guard<std::mutex> holdOpen(open.lock);
    open.dialogs.clear();
    open.boxes.clear();
    open.chooser.reset();
    open.opens.clear();
    open.note.clear();
    open.dirty = true;
}

}  // namespace standin::ui
