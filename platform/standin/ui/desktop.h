// The stand-in's windows, thread queues and modal loops, shared by its user-interface files.
// Only the stand-in includes this header.
#pragma once

#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/drawing.h"
#include "platform/user.h"

namespace standin::ui {

enum class ControlKind { Window, Dialog, Button, CheckBox, Static, Progress, Other };

// How a static looked when it was last painted, as its dialog's WM_CTLCOLORSTATIC left it.
struct Appearance {
    bool painted = false;
    bool bold = false;
    COLORREF textColor = 0;
    COLORREF backgroundColor = 0xFFFFFF;
    int backgroundMode = OPAQUE;
    LRESULT answer = 0;  // what the dialog answered: a brush, or another value
};

struct Window {
    HWND handle = nullptr;
    ControlKind kind = ControlKind::Window;
    std::string className;
    WNDPROC windowProc = nullptr;
    DLGPROC dialogProc = nullptr;
    std::string text;  // code page 932
    DWORD style = 0;
    DWORD exStyle = 0;
    RECT rect{};        // screen pixels
    RECT unitRect{};    // a control's place in its dialog, in dialog units
    HWND parent = nullptr;
    HWND owner = nullptr;
    int id = 0;
    bool enabled = true;
    bool visible = false;
    std::thread::id thread;
    // Dialogs
    int templateId = 0;
    bool shown = false;  // initialised and told to the front end
    bool ended = false;
    INT_PTR result = 0;
    HWND focus = nullptr;
    std::vector<HWND> controls;  // in template order
    // Controls
    bool checked = false;
    int rangeMin = 0;
    int rangeMax = 100;
    int position = 0;
    int step = 10;
    bool dirty = false;  // a static waiting to be painted
    Appearance appearance;
};

// A dialog's frame and caption around its client area, in pixels, and the pixels of four
// horizontal and eight vertical dialog units.
constexpr int kFramePixels = 3;
constexpr int kCaptionPixels = 20;
constexpr int kBaseUnitX = 6;
constexpr int kBaseUnitY = 12;

// The one lock over windows, queues, modal loops and the user's commands; `wake` is notified on
// every change that a waiting thread may be waiting for.
std::recursive_mutex& desktopLock();
std::condition_variable_any& wake();

// The window of a handle, or null. Call with the lock held; the record lives until
// DestroyWindow.
Window* findWindow(HWND handle);
Window* createWindowRecord();
// The control of a dialog with this ID, or null. Call with the lock held.
Window* controlOf(HWND dialog, int id);
std::vector<Window*> windowsOfThread(std::thread::id thread);
// Calls the window's procedure on this thread (the lock must not be held).
LRESULT callWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
bool findClass(const char* name, WNDCLASSA* found);
// Sets a window's text and tells the front end when it is a control of a shown dialog.
void setWindowText(Window* window, const char* text);
// WM_SETTEXT, WM_GETTEXT and WM_GETTEXTLENGTH on the window's own text.
LRESULT defaultTextProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// What the dialog manager does with a message its dialog procedure left alone.
LRESULT defaultDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// What a button, static or progress bar of ours does with a message.
LRESULT controlMessage(HWND control, UINT message, WPARAM wParam, LPARAM lParam);
// Sends WM_DESTROY, then forgets the window and its controls.
void destroyWindowRecord(HWND window);
// Forgets every window and class, as the end of a program does (for in-process test runs).
void clearDesktop();

// Handles the messages that other threads have sent to this one.
void handleSentMessages();
// True when this thread has something to do: a sent or posted message.
bool threadHasWork(std::thread::id thread);

// The user's command, as the front ends give it.
struct UserCommand {
    enum Kind { Click, KeyEnter, KeyEscape, KeyTab, KeyBackTab, KeySpace, Answer, Folder, FolderCancel };
    Kind kind = Click;
    int controlId = 0;
    std::string text;  // the answer word, or a folder's Windows path (code page 932)
};

// A modal loop waiting for its user: a dialog, a message box or a folder-browse dialog.
struct Modal {
    enum Kind { Dialog, Box, Browse };
    Kind kind = Dialog;
    std::thread::id thread;
    HWND dialog = nullptr;
    UINT boxType = 0;
    bool quit = false;            // the quit message ended the loop
    int leaves = 0;               // how often the user has walked away from it
    unsigned eventsAtLeave = 0;   // events printed when the user last walked away
};

// Runs a modal loop on this thread until `done` says so, handling sent and posted messages.
// `shown` tells the front end about the modal once it takes the user's commands.
// While the modal is the innermost one, it takes the user's commands and hands each to
// `command`; when input has ended, `leave` acts for the user who walked away, once, and again
// only after the front end has shown something new. The callbacks run without the lock.
void runModal(Modal& modal, const std::function<void()>& shown, const std::function<bool()>& done,
              const std::function<void(const UserCommand&)>& command,
              const std::function<void()>& leave);

// Paints the statics that changed since they were last painted (WM_CTLCOLORSTATIC to their
// dialog), on the dialog's thread.
void paintDirtyStatics(HWND dialog);
void paintStatic(HWND dialog, HWND control);
// GDI objects made and not yet deleted (stock objects aside).
size_t liveGdiObjects();

// What the stand-in tells its front end.
struct Event {
    // Browse: the folder-browse dialog waits for a folder (again after a folder it refused);
    // caption is its title, text the folder selected in it (empty for none), type its BIF_ flags.
    // Open: the shell opens a file or address; text is the path as the program gave it, caption
    // the parameters and target what an opener is given (a host path, or the address).
    enum Kind {
        DialogShown, DialogClosed, TextChanged, StateChanged, ProgressChanged, BoxOpened, BoxClosed,
        Browse, BrowseClosed, Open
    };
    Kind kind = DialogShown;
    HWND window = nullptr;  // the dialog, or the control
    int id = 0;             // template or control ID
    INT_PTR result = 0;
    std::string caption;    // code page 932
    std::string text;
    UINT type = 0;
    std::string target;     // host path, UTF-8
};

// Starts the event of a control of a shown dialog (kind, window, ID); false, and nothing to tell
// the front end, when its dialog is not shown. Call with the lock held.
bool controlEvent(const Window* control, Event::Kind kind, Event& event);

// A front end: told every event, in order, from whichever thread makes it.
using EventSink = std::function<void(const Event&)>;
void setEventSink(EventSink sink);
void emit(const Event& event);

// The user's commands, from the front end, in order.
void pushUserCommand(const UserCommand& command);
// The next command is due only after this many milliseconds.
void pushPause(unsigned milliseconds);
void endUserInput();
// Forgets windows, classes, queues, input and front end, as the end of a program does.
void resetDesktop();

}  // namespace standin::ui
