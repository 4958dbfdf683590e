// Thread message queues, cross-thread sends, the modal loops and the user's commands.
#include <deque>

#include "platform/standin/machine.h"
#include "platform/standin/ui/desktop.h"

namespace standin::ui {
namespace {

struct SentMessage {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    LRESULT result = 0;
    bool done = false;
};

struct ThreadQueue {
    std::deque<MSG> posted;
    std::deque<SentMessage*> sent;
    bool quit = false;
    int quitCode = 0;
};

using Clock = std::chrono::steady_clock;

struct QueuedCommand {
    UserCommand command;
    bool endsInput = false;
    unsigned pauseBefore = 0;  // milliseconds between the command before and this one
};

struct UserInput {
    std::deque<QueuedCommand> commands;
    Clock::time_point dueAt{};  // when the first queued command may be carried out
    bool ended = false;
    unsigned pendingPause = 0;
};

void armFirstCommand(UserInput& state) {
    if (state.commands.empty()) return;
    state.dueAt = Clock::now() + std::chrono::milliseconds(state.commands.front().pauseBefore);
}



std::map<std::thread::id, ThreadQueue>& queues() {
    static std::map<std::thread::id, ThreadQueue> all;
    return all;
}

std::vector<Modal*>& modals() {
    static std::vector<Modal*> stack;
    return stack;
}

UserInput& input() {
    static UserInput state;
    return state;
}

EventSink& sink() {
    static EventSink current;
    return current;
}

unsigned& eventCounter() {
    static unsigned count = 0;
    return count;
}

ThreadQueue& queueOf(std::thread::id thread) { return queues()[thread]; }

void queueCommand(const QueuedCommand& queued) {
    std::lock_guard<std::recursive_mutex> hold(desktopLock());
    UserInput& state = input();
    state.commands.push_back(queued);
    state.commands.back().pauseBefore = state.pendingPause;
    state.pendingPause = 0;
    if (state.commands.size() == 1) armFirstCommand(state);
    wake().notify_all();
}

bool matches(const MSG& msg, HWND window, UINT filterMin, UINT filterMax) {
    if (window && msg.hwnd != window) return false;
    if (filterMin == 0 && filterMax == 0) return true;
    return msg.message >= filterMin && msg.message <= filterMax;
}

// Takes a posted message (or the quit message once the queue holds no other) for this thread.
bool takePosted(MSG* msg, HWND window, UINT filterMin, UINT filterMax, bool remove) {
    std::lock_guard<std::recursive_mutex> hold(desktopLock());
    ThreadQueue& queue = queueOf(std::this_thread::get_id());
    for (auto it = queue.posted.begin(); it != queue.posted.end(); ++it) {
        if (!matches(*it, window, filterMin, filterMax)) continue;
        *msg = *it;
        if (remove) queue.posted.erase(it);
        return true;
    }
    if (queue.quit) {
        *msg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(queue.quitCode), 0, 0, {0, 0}};
        if (remove) queue.quit = false;
        return true;
    }
    return false;
}

bool isTop(const Modal* modal) { return !modals().empty() && modals().back() == modal; }

// The user's next command for this modal, when one is due.
// Whether a command is one for this kind of modal. The end of input is for whoever waits.
bool fits(const QueuedCommand& queued, Modal::Kind kind) {
    if (queued.endsInput) return true;
    switch (queued.command.kind) {
        case UserCommand::Answer: return kind == Modal::Box;
        case UserCommand::Folder:
        case UserCommand::FolderCancel: return kind == Modal::Browse;
        case UserCommand::Click:
        case UserCommand::KeyTab:
        case UserCommand::KeyBackTab: return kind == Modal::Dialog;
        default: return true;
    }
}

// A command that fits not the modal that waits is kept for one while another thread of the
// program works (it may be about to show one); with none working, it is given up after this.
constexpr auto kUnfitPatience = std::chrono::seconds(2);

bool commandDue(const Modal* modal) {
    UserInput& state = input();
    return isTop(modal) && !state.commands.empty() && Clock::now() >= state.dueAt &&
           fits(state.commands.front(), modal->kind);
}

// The first command fits not the modal that waits, and has waited long enough for one it fits.
bool commandStale(const Modal* modal) {
    UserInput& state = input();
    return isTop(modal) && !state.commands.empty() && !fits(state.commands.front(), modal->kind) &&
           threadsRunning() == 0 && Clock::now() >= state.dueAt + kUnfitPatience;
}

// Input is over and the user has not yet walked away from what this modal shows now.
bool leaveDue(const Modal* modal) {
    return isTop(modal) && input().ended && input().commands.empty() &&
           (modal->leaves == 0 || eventCounter() != modal->eventsAtLeave);
}

}  // namespace

std::recursive_mutex& desktopLock() {
    static std::recursive_mutex lock;
    return lock;
}

std::condition_variable_any& wake() {
    static std::condition_variable_any condition;
    return condition;
}

bool threadHasWork(std::thread::id thread) {
    std::lock_guard<std::recursive_mutex> hold(desktopLock());
    ThreadQueue& queue = queueOf(thread);
    return !queue.sent.empty() || !queue.posted.empty() || queue.quit;
}

void handleSentMessages() {
    std::unique_lock<std::recursive_mutex> hold(desktopLock());
    ThreadQueue& queue = queueOf(std::this_thread::get_id());
    while (!queue.sent.empty()) {
        SentMessage* sent = queue.sent.front();
        queue.sent.pop_front();
        hold.unlock();
        LRESULT result = callWindow(sent->window, sent->message, sent->wParam, sent->lParam);
        hold.lock();
        sent->result = result;
        sent->done = true;
        wake().notify_all();
    }
}

void runModal(Modal& modal, const std::function<void()>& shown, const std::function<bool()>& done,
              const std::function<void(const UserCommand&)>& command,
              const std::function<void()>& leave) {
    modal.thread = std::this_thread::get_id();
    {
        std::lock_guard<std::recursive_mutex> hold(desktopLock());
        modals().push_back(&modal);
    }
    shown();
    while (!done() && !modal.quit) {
        handleSentMessages();
        MSG msg;
        if (takePosted(&msg, nullptr, 0, 0, true)) {
            if (msg.message == WM_QUIT) {
                // As on Windows, the quit message ends the modal loop and stays for the
                // program's own loop.
                PostQuitMessage(static_cast<int>(msg.wParam));
                modal.quit = true;
                break;
            }
            DispatchMessageA(&msg);
            continue;
        }
        std::unique_lock<std::recursive_mutex> hold(desktopLock());
        UserInput& state = input();
        if (commandDue(&modal)) {
            QueuedCommand next = state.commands.front();
            state.commands.pop_front();
            armFirstCommand(state);
            if (next.endsInput) {
                state.ended = true;
                continue;
            }
            hold.unlock();
            command(next.command);
            continue;
        }
        if (commandStale(&modal)) {
            fprintf(stderr, "a command was given up: nothing it is meant for was shown\n");
            state.commands.pop_front();
            armFirstCommand(state);
            continue;
        }
        if (leaveDue(&modal)) {
            ++modal.leaves;
            modal.eventsAtLeave = eventCounter();
            hold.unlock();
            leave();
            continue;
        }
        hold.unlock();
        paintDirtyStatics(modal.dialog);
        hold.lock();
        if (done()) break;
        ThreadQueue& queue = queueOf(modal.thread);
        auto ready = [&] {
            return !queue.sent.empty() || !queue.posted.empty() || queue.quit ||
                   commandDue(&modal) || commandStale(&modal) || leaveDue(&modal);
        };
        if (isTop(&modal) && !state.commands.empty()) {
            bool fitting = fits(state.commands.front(), modal.kind);
            wake().wait_until(hold, fitting ? state.dueAt : Clock::now() + kUnfitPatience, ready);
        } else {
            wake().wait(hold, ready);
        }
    }
    std::lock_guard<std::recursive_mutex> hold(desktopLock());
    auto& stack = modals();
    for (auto it = stack.begin(); it != stack.end(); ++it) {
        if (*it == &modal) {
            stack.erase(it);
            break;
        }
    }
    wake().notify_all();
}

void setEventSink(EventSink newSink) {
    std::lock_guard<std::recursive_mutex> hold(desktopLock());
    sink() = std::move(newSink);
}

void emit(const Event& event) {
    EventSink current;
    {
        std::lock_guard<std::recursive_mutex> hold(desktopLock());
        current = sink();
    }
    if (current) current(event);
    std::lock_guard<std::recursive_mutex> hold(desktopLock());
    ++eventCounter();
    wake().notify_all();
}

void pushUserCommand(const UserCommand& command) { queueCommand(QueuedCommand{command, false, 0}); }

void pushPause(unsigned milliseconds) {
    std::lock_guard<std::recursive_mutex> hold(desktopLock());
    input().pendingPause += milliseconds;
}

void resetDesktop() {
    clearDesktop();
    std::lock_guard<std::recursive_mutex> hold(desktopLock());
    queues().clear();
    modals().clear();
    input() = UserInput{};
    sink() = nullptr;
}

void endUserInput() { queueCommand(QueuedCommand{UserCommand{}, true, 0}); }

}  // namespace standin::ui

using namespace standin::ui;

BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    std::lock_guard<std::recursive_mutex> hold(desktopLock());
    std::thread::id thread = std::this_thread::get_id();
    if (window) {
        Window* target = findWindow(window);
        if (!target) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        thread = target->thread;
    }
    queueOf(thread).posted.push_back(MSG{window, message, wParam, lParam, 0, {0, 0}});
    wake().notify_all();
    return TRUE;
}

LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    std::unique_lock<std::recursive_mutex> hold(desktopLock());
    Window* target = findWindow(window);
    if (!target) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    std::thread::id thread = target->thread;
    if (thread == std::this_thread::get_id()) {
        hold.unlock();
        return callWindow(window, message, wParam, lParam);
    }
    SentMessage sent{window, message, wParam, lParam};
    queueOf(thread).sent.push_back(&sent);
    wake().notify_all();
    ThreadQueue& own = queueOf(std::this_thread::get_id());
    while (!sent.done) {
        if (!own.sent.empty()) {
            hold.unlock();
            handleSentMessages();
            hold.lock();
            continue;
        }
        wake().wait(hold, [&] { return sent.done || !own.sent.empty(); });
    }
    return sent.result;
}

BOOL WINAPI PeekMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT remove) {
    handleSentMessages();
    return takePosted(msg, window, filterMin, filterMax, (remove & PM_REMOVE) != 0) ? TRUE : FALSE;
}

BOOL WINAPI GetMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax) {
    for (;;) {
        handleSentMessages();
        if (takePosted(msg, window, filterMin, filterMax, true)) return msg->message != WM_QUIT;
        std::unique_lock<std::recursive_mutex> hold(desktopLock());
        ThreadQueue& queue = queueOf(std::this_thread::get_id());
        wake().wait(hold, [&] { return !queue.sent.empty() || !queue.posted.empty() || queue.quit; });
    }
}

BOOL WINAPI TranslateMessage(const MSG*) { return FALSE; }

LRESULT WINAPI DispatchMessageA(const MSG* msg) {
    if (!msg || !msg->hwnd) return 0;
    return callWindow(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

void WINAPI PostQuitMessage(int exitCode) {
    std::lock_guard<std::recursive_mutex> hold(desktopLock());
    ThreadQueue& queue = queueOf(std::this_thread::get_id());
    queue.quit = true;
    queue.quitCode = exitCode;
    wake().notify_all();
}
