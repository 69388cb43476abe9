// The Windows transport: the decoder side and the feedback side are threads
// of the caller's process, and messages travel as thread messages (to the
// decoder thread and to the caller's thread) or as window messages (to the
// feedback thread's hidden control window and to the caller's own window).
#include "transport/channel.h"
#include "messages/posted_messages.h"

#include <windows.h>

#include <process.h>

#include <cstdio>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace melvox {
namespace {

constexpr int post_attempts = 11;
constexpr DWORD post_retry_ms = 10;

enum class destination_kind { none = 0, window = 1, thread = 2 };

struct destination {
    destination_kind kind = destination_kind::none;
    HWND window = nullptr;
    DWORD thread_id = 0;
};

// Posts m to a destination. A destination that refuses the message is given
// 11 attempts, 10 ms apart; then the message is dropped and the post still
// counts as done (the receiver is gone or its queue is full).
int post_to(const destination& to, const player_message& m)
{
    if (to.kind == destination_kind::none)
        return error_internal;
    posted_message p;
    if (int r = pack_posted(m, p); r < 0)
        return r;
    for (int attempt = 0; attempt < post_attempts; ++attempt) {
        BOOL posted = to.kind == destination_kind::window ? PostMessageA(to.window, p.id, p.wparam, p.lparam)
                                                          : PostThreadMessageA(to.thread_id, p.id, p.wparam, p.lparam);
        if (posted)
            return 0;
        Sleep(post_retry_ms);
    }
    release_posted(p);
    return 0;
}

// Milliseconds left until a deadline; INFINITE without one.
class wait_deadline {
public:
    explicit wait_deadline(long long timeout_us)
        : endless_(timeout_us < 0), end_(GetTickCount64() + (timeout_us < 0 ? 0 : timeout_us / 1000))
    {
    }

    DWORD remaining_ms() const
    {
        if (endless_)
            return INFINITE;
        ULONGLONG now = GetTickCount64();
        return now >= end_ ? 0 : static_cast<DWORD>(end_ - now);
    }

private:
    bool endless_;
    ULONGLONG end_;
};

// Waits until the thread's queue has input: 0, error_timeout, or
// error_select_failed when the wait itself fails (as select's failure is on
// the pipes of the other build).
int wait_for_queued_message(DWORD ms)
{
    DWORD r = MsgWaitForMultipleObjectsEx(0, nullptr, ms, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (r == WAIT_OBJECT_0)
        return 0;
    return r == WAIT_TIMEOUT ? error_timeout : error_select_failed;
}

// Frees the heap copies of player messages left in this thread's queue when
// it stops taking messages.
void drop_queued_player_messages()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, posted_message_base, posted_message_base + 159, PM_REMOVE))
        release_posted({msg.message, msg.wParam, msg.lParam});
}

using message_handler = void (*)(void* user_data, const player_message& m);

// What one side's thread owns: its destinations, its text buffer, its hidden
// window and the handler that the window hands unpacked messages to.
struct channel_block {
    destination a;
    destination b;
    message_handler handler = nullptr;
    void* handler_data = nullptr;
    posted_text_buffer text;
    HANDLE peer_thread = nullptr; // the thread this side ends and waits for
    HANDLE sync_event = nullptr;  // signalled when command_sync is taken
    HWND window = nullptr;
    std::string window_class;
};

LRESULT CALLBACK control_window_procedure(HWND window, UINT id, WPARAM wparam, LPARAM lparam)
{
    if (id < posted_message_base)
        return DefWindowProcA(window, id, wparam, lparam);
    auto block = reinterpret_cast<channel_block*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    posted_message p{id, wparam, lparam};
    if (block == nullptr || block->handler == nullptr || !is_posted_player_message(id)) {
        release_posted(p);
        return 0;
    }
    player_message m;
    if (unpack_posted(p, block->text, m) == 0)
        block->handler(block->handler_data, m);
    return 0;
}

// Creates the thread's hidden control window, of class "MvCoHW%08x" with the
// thread id; its user data is the block.
bool create_control_window(channel_block& block)
{
    char name[16];
    std::snprintf(name, sizeof name, "MvCoHW%08lx", static_cast<unsigned long>(GetCurrentThreadId()));
    block.window_class = name;
    WNDCLASSA wc{};
    wc.lpfnWndProc = control_window_procedure;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = block.window_class.c_str();
    if (RegisterClassA(&wc) == 0)
        return false;
    block.window = CreateWindowExA(0, name, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    if (block.window == nullptr) {
        UnregisterClassA(name, wc.hInstance);
        return false;
    }
    SetWindowLongPtrA(block.window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&block));
    return true;
}

void destroy_control_window(channel_block& block)
{
    if (block.window == nullptr)
        return;
    DestroyWindow(block.window);
    UnregisterClassA(block.window_class.c_str(), GetModuleHandleA(nullptr));
    block.window = nullptr;
}

// The decoder's and the feedback side's endpoint. The decoder posts to the
// caller (A) and to the feedback window (B); the feedback side posts to the
// caller (its B).
class win32_side_channel final : public decoder_channel {
public:
    win32_side_channel(channel_block& block, const destination& to_caller, const destination& to_feedback)
        : block_(block), to_caller_(to_caller), to_feedback_(to_feedback)
    {
        block_.handler = &take_from_window;
        block_.handler_data = this;
    }

    ~win32_side_channel() override { block_.handler = nullptr; }

    int post(const player_message& m) override { return post_to(to_caller_, m); }

    int post_to_feedback(const player_message& m) override { return post_to(to_feedback_, m); }

    int receive(player_message& out, long long timeout_us) override
    {
        // The playing decoder looks once per frame: asking whether anything
        // is queued costs less than a PeekMessage that finds nothing (Wine
        // yields the processor on every empty peek).
        if (timeout_us == 0 && HIWORD(GetQueueStatus(QS_ALLINPUT)) == 0)
            return error_timeout;
        wait_deadline deadline(timeout_us);
        for (;;) {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (msg.hwnd == nullptr && is_posted_player_message(msg.message)) {
                    int r = unpack_posted({msg.message, msg.wParam, msg.lParam}, block_.text, out);
                    if (r < 0)
                        return r;
                    if (out.code == command_sync && block_.sync_event != nullptr)
                        SetEvent(block_.sync_event);
                    return 1;
                }
                // Messages for the hidden window reach take_from_window.
                taken_ = false;
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
                if (taken_) {
                    out = window_message_;
                    return 1;
                }
            }
            DWORD ms = deadline.remaining_ms();
            if (ms == 0)
                return error_timeout;
            if (int r = wait_for_queued_message(ms); r < 0)
                return r;
        }
    }

    void end_feedback(int timeout_ms) override
    {
        if (block_.peer_thread == nullptr)
            return;
        player_message exit{};
        exit.code = command_feedback_exit;
        post_to(to_feedback_, exit);
        WaitForSingleObject(block_.peer_thread, static_cast<DWORD>(timeout_ms));
        CloseHandle(block_.peer_thread);
        block_.peer_thread = nullptr;
    }

private:
    static void take_from_window(void* self, const player_message& m)
    {
        auto channel = static_cast<win32_side_channel*>(self);
        channel->window_message_ = m;
        channel->taken_ = true;
    }

    channel_block& block_;
    destination to_caller_;
    destination to_feedback_;
    player_message window_message_{};
    bool taken_ = false;
};

// A copy of the caller's hook list that the decoder thread owns, so that the
// caller's list need not outlive player_new.
class owned_hook_list {
public:
    explicit owned_hook_list(const player_hook_list* hooks)
    {
        if (hooks == nullptr || hooks->hooks == nullptr || hooks->count <= 0)
            return;
        auto count = static_cast<size_t>(hooks->count);
        names_.reserve(count);
        pairs_.reserve(count);
        for (size_t i = 0; i < count; ++i) {
            const player_hook& h = hooks->hooks[i];
            names_.push_back(h.name != nullptr ? h.name : "");
            pairs_.push_back(h.pair != nullptr ? *h.pair : player_hook_pair{});
            entries_.push_back({h.name != nullptr ? names_.back().c_str() : nullptr,
                                h.pair != nullptr ? &pairs_.back() : nullptr, h.type});
        }
        list_ = {static_cast<intptr_t>(entries_.size()), entries_.data()};
    }

    const player_hook_list* list() const { return &list_; }

private:
    std::vector<std::string> names_;
    std::vector<player_hook_pair> pairs_;
    std::vector<player_hook> entries_;
    player_hook_list list_{0, nullptr};
};

enum class side { decoder, feedback };

// What the creator hands a starting thread; the thread reads it before it
// signals started and never touches it afterwards.
struct side_start {
    side which;
    destination to_caller;
    destination to_feedback;
    HANDLE feedback_thread = nullptr; // the decoder's own copy
    HANDLE sync_event = nullptr;
    const player_hook_list* hooks = nullptr;
    const side_loops* loops = nullptr;
    HANDLE started = nullptr;
    // Filled by the thread before it signals started.
    bool ready = false;
    HWND window = nullptr;
};

unsigned __stdcall side_thread(void* argument)
{
    auto& start = *static_cast<side_start*>(argument);
    MSG msg;
    PeekMessageA(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE); // gives the thread its message queue
    std::unique_ptr<channel_block> block(new (std::nothrow) channel_block);
    std::unique_ptr<owned_hook_list> hooks;
    bool ready = block != nullptr;
    side which = start.which;
    const side_loops loops = *start.loops; // start is the creator's, gone once started is signalled
    if (ready && which == side::feedback)
        ready = create_control_window(*block);
    if (ready && which == side::decoder) {
        try {
            hooks = std::make_unique<owned_hook_list>(start.hooks);
        } catch (const std::bad_alloc&) {
            ready = false;
        }
    }
    destination to_caller = start.to_caller, to_feedback = start.to_feedback;
    if (ready) {
        block->peer_thread = start.feedback_thread;
        block->sync_event = start.sync_event;
        if (which == side::decoder) {
            block->a = to_caller;
            block->b = to_feedback;
        } else {
            block->b = to_caller;
        }
        start.window = block->window;
    } else if (block != nullptr) {
        destroy_control_window(*block);
    }
    start.ready = ready;
    SetEvent(start.started);
    if (!ready)
        return 1;
    {
        win32_side_channel channel(*block, to_caller, to_feedback);
        if (which == side::decoder)
            loops.decoder(channel, hooks->list());
        else
            loops.feedback(channel);
        channel.end_feedback(side_end_timeout_ms);
    }
    destroy_control_window(*block);
    drop_queued_player_messages();
    return 0;
}

// Starts a side's thread and waits until it has set itself up.
int start_side(side_start& start, HANDLE& thread, DWORD& thread_id)
{
    start.started = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (start.started == nullptr)
        return error_out_of_resources;
    unsigned id = 0;
    auto handle = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, side_thread, &start, 0, &id));
    if (handle == nullptr) {
        CloseHandle(start.started);
        return error_out_of_resources;
    }
    WaitForSingleObject(start.started, INFINITE);
    CloseHandle(start.started);
    if (!start.ready) {
        WaitForSingleObject(handle, INFINITE);
        CloseHandle(handle);
        return error_out_of_resources;
    }
    thread = handle;
    thread_id = id;
    return 0;
}

constexpr int thread_priorities[] = {THREAD_PRIORITY_IDLE, THREAD_PRIORITY_BELOW_NORMAL, THREAD_PRIORITY_NORMAL,
                                     THREAD_PRIORITY_ABOVE_NORMAL, THREAD_PRIORITY_HIGHEST};

// The caller's endpoint: commands to the decoder thread, notifications from
// the decoder and the feedback thread through the caller's thread queue (or
// the caller's window).
class win32_caller_channel final : public caller_channel {
public:
    win32_caller_channel(DWORD decoder_id, HANDLE decoder, HANDLE feedback, HANDLE sync_event)
        : decoder_thread_(decoder), feedback_thread_(feedback), sync_event_(sync_event)
    {
        to_decoder_.kind = destination_kind::thread;
        to_decoder_.thread_id = decoder_id;
    }

    ~win32_caller_channel() override { shut_down(side_end_timeout_ms); }

    int post(const player_message& m) override { return post_to(to_decoder_, m); }

    int receive(player_message& out, long long timeout_us) override
    {
        wait_deadline deadline(timeout_us);
        for (;;) {
            MSG msg;
            if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (is_posted_player_message(msg.message)) {
                    int r = unpack_posted({msg.message, msg.wParam, msg.lParam}, text_, out);
                    return r < 0 ? r : 1;
                }
                // The caller's own windows get their messages as usual.
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
                out = player_message{};
                return 1;
            }
            DWORD ms = deadline.remaining_ms();
            if (ms == 0)
                return error_timeout;
            if (int r = wait_for_queued_message(ms); r < 0)
                return r;
        }
    }

    int sync(uint32_t, int timeout_ms) override
    {
        // The decoder thread signals the event when it takes command_sync;
        // the record carries no tag, so the decoder sends nothing back.
        ResetEvent(sync_event_);
        if (int r = post(make_command_sync()); r < 0)
            return r;
        HANDLE waits[] = {sync_event_, decoder_thread_};
        DWORD r = WaitForMultipleObjects(2, waits, FALSE, timeout_ms < 0 ? INFINITE : static_cast<DWORD>(timeout_ms));
        if (r == WAIT_OBJECT_0)
            return 0;
        if (r == WAIT_TIMEOUT)
            return error_timeout;
        return error_internal; // the decoder thread has ended
    }

    void shut_down(int timeout_ms) override
    {
        if (decoder_thread_ == nullptr)
            return;
        player_message exit{};
        exit.code = command_exit;
        post(exit);
        bool ended = WaitForSingleObject(decoder_thread_, static_cast<DWORD>(timeout_ms)) == WAIT_OBJECT_0;
        // The feedback thread ends with the decoder thread, which waits for it.
        if (ended)
            WaitForSingleObject(feedback_thread_, static_cast<DWORD>(timeout_ms));
        drop_queued_player_messages();
        CloseHandle(decoder_thread_);
        CloseHandle(feedback_thread_);
        // A decoder thread that is still running may yet signal its event.
        if (ended)
            CloseHandle(sync_event_);
        decoder_thread_ = feedback_thread_ = nullptr;
    }

    int set_priority(int priority_class) override
    {
        return SetThreadPriority(decoder_thread_, thread_priorities[priority_class]) ? 0 : error_internal;
    }

    int get_priority() override
    {
        int priority = GetThreadPriority(decoder_thread_);
        if (priority == THREAD_PRIORITY_TIME_CRITICAL)
            return player_priority_highest;
        for (int c = 0; c < 5; ++c)
            if (thread_priorities[c] == priority)
                return c;
        return error_internal; // a priority that no class gives
    }

    int unpack(player_message& out, unsigned id, uintptr_t wparam, intptr_t lparam) override
    {
        if (!is_posted_player_message(id))
            return error_invalid_parameters;
        return unpack_posted({id, wparam, lparam}, text_, out);
    }

private:
    destination to_decoder_;
    HANDLE decoder_thread_;
    HANDLE feedback_thread_;
    HANDLE sync_event_;
    posted_text_buffer text_;
};

// Tells a feedback thread whose decoder never started to end.
void end_lonely_feedback(HWND feedback_window, HANDLE feedback_thread)
{
    player_message exit{};
    exit.code = command_feedback_exit;
    post_to({destination_kind::window, feedback_window, 0}, exit);
    WaitForSingleObject(feedback_thread, side_end_timeout_ms);
    CloseHandle(feedback_thread);
}

} // namespace

int start_player_sides(const side_loops& loops, const player_hook_list* hooks, void* client,
                       std::unique_ptr<caller_channel>& out)
{
    // The caller's thread needs a message queue before anything posts to it.
    MSG msg;
    PeekMessageA(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    destination caller;
    if (client != nullptr) {
        caller.kind = destination_kind::window;
        caller.window = static_cast<HWND>(client);
    } else {
        caller.kind = destination_kind::thread;
        caller.thread_id = GetCurrentThreadId();
    }

    side_start feedback{side::feedback, caller, {}};
    feedback.loops = &loops;
    HANDLE feedback_thread = nullptr;
    DWORD feedback_id = 0;
    if (int r = start_side(feedback, feedback_thread, feedback_id); r < 0)
        return r;
    SetThreadPriority(feedback_thread, THREAD_PRIORITY_ABOVE_NORMAL);

    HANDLE sync_event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HANDLE decoder_copy = nullptr;
    if (sync_event == nullptr || !DuplicateHandle(GetCurrentProcess(), feedback_thread, GetCurrentProcess(),
                                                  &decoder_copy, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
        if (sync_event != nullptr)
            CloseHandle(sync_event);
        end_lonely_feedback(feedback.window, feedback_thread);
        return error_out_of_resources;
    }
    side_start decoder{side::decoder, caller, {destination_kind::window, feedback.window, 0}};
    decoder.feedback_thread = decoder_copy;
    decoder.sync_event = sync_event;
    decoder.hooks = hooks;
    decoder.loops = &loops;
    HANDLE decoder_thread = nullptr;
    DWORD decoder_id = 0;
    if (int r = start_side(decoder, decoder_thread, decoder_id); r < 0) {
        CloseHandle(decoder_copy);
        CloseHandle(sync_event);
        end_lonely_feedback(feedback.window, feedback_thread);
        return r;
    }
    SetThreadPriority(decoder_thread, THREAD_PRIORITY_HIGHEST);
    try {
        out = std::make_unique<win32_caller_channel>(decoder_id, decoder_thread, feedback_thread, sync_event);
    } catch (const std::bad_alloc&) {
        win32_caller_channel(decoder_id, decoder_thread, feedback_thread, sync_event).shut_down(side_end_timeout_ms);
        return error_out_of_memory;
    }
    return 0;
}

} // namespace melvox
