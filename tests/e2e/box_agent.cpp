// box-agent: plays the user for a Windows program under test. It watches the program's message
// boxes, writes one log line per box and answers each from a script. It can also hold a named
// mutex, as another program would, and let go of it on cue, and watch the program's splash
// window: whether its indicator changes while no box is up, and whether it comes back to the
// centre, on top, after it was moved away and another window was activated.
//
//   box-agent --log FILE [options] -- PROGRAM [ARGS...]   start PROGRAM and watch it
//   box-agent --log FILE [options] --all                  watch every process's boxes until
//                                                         the time-out
//
// options:
//   --answers LIST      one answer per box, in order, comma-separated: a button name (OK,
//                       Cancel, Retry, Abort, Ignore, Yes, No, TryAgain, Continue, Help) or
//                       "none" to leave the box to a person; "release+NAME" first lets go of
//                       the held mutex
//   --default ANSWER    the answer once the list is used up: a button, "none", or "auto"
//                       (OK, else Cancel, else the first button); "auto" unless given.
//                       The log shows an automatic answer as auto:BUTTON
//   --hold-mutex NAME   create and hold this mutex from the start
//   --check-mutex NAME  note in each box's line whether this mutex exists (repeatable)
//   --timeout SECONDS   give up after this long, ending a started program (default 600)
//   --icon-wait MS      how long to wait for a box to be painted to tell its icon (2000)
//   --splash CLASS      watch the started program's top-level window of this class: the
//                       corner its indicator is drawn in is sampled from the screen between
//                       the first box and the next
//   --splash-bitmaps BACKGROUND,INDICATOR
//                       the ids of the bitmaps in the program's resources that the splash
//                       shows; the indicator is drawn at the window's bottom-right corner
//                       (109,111 unless given)
//   --move-splash       while the first box is up, move the splash to (0,0) and out of the
//                       top-most band; once the box has gone and the indicator has shown (a
//                       pump ran with the splash still active), activate a top-most window of
//                       the agent's own and watch for the splash to come back to the centre,
//                       top-most, above that window
//
// Log lines are tab-separated; tabs, line breaks and carriage returns inside a field are
// written as \t, \n and \r:
//   box  N  ms-since-start  ms-since-last-answer  title  text  buttons  icon  owner  mutexes
//        answer
//   exit  CODE  ms-since-start          the watched program ended
//   timeout  ms-since-start             the time-out came first
//   error  MESSAGE
// buttons are left to right, comma-separated; icon is error, warning, information, question,
// none or unknown; owner is "none" or CLASS:TITLE; mutexes lists the checked names that exist,
// comma-separated, or "-".
// With --splash, also:
//   splash  ms-since-start  X,Y  centre|off-centre  WIDTHxHEIGHT  topmost|normal  keyed|opaque
//        CORNER   the splash as first seen painted (or as it was when the first box came);
//        centre is as this process's system metrics put it; CORNER is off (the background
//        alone), on (the indicator drawn) or other (neither)
//   moved  ms-since-start  X,Y  topmost|normal  at-target|not-at-target   the splash after it
//        was moved to (0,0) and out of the top-most band, before the first box was answered
//   held  ms-after-the-first-box  X,Y   where the splash was at the first sample with the
//        indicator drawn, before another window was activated
//   activated  ms-after-the-first-box  foreground|not-foreground  the agent's own window,
//        activated right after that
//   indicator  SAMPLES  OFF  ON  OTHER  CHANGES   the corner samples taken from the first box's
//        closing to the next box (or the program's end), by state, and how often the state
//        went between off and on, starting from the splash line's CORNER
//   recentred  ms-after-the-first-box|never  centre|X,Y  topmost|normal  above|below|-
//        the first sample with the splash back at the centre, top-most and above the agent's
//        window; with "never", the last sample
//
// Exit status: 0 when the started program ended (or, with --all, at the time-out), 3 on a
// time-out, 2 on a usage error, 4 when the program cannot be started or the log written.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <set>
#include <string>
#include <vector>

#include "box_inspect.h"
#include "splash_watch.h"

namespace {

using e2e::BoxView;
using e2e::Corner;
using e2e::Utf8;

constexpr int kExitOk = 0;
constexpr int kExitUsage = 2;
constexpr int kExitTimeout = 3;
constexpr int kExitFailure = 4;
constexpr DWORD kPollMs = 50;
// Samples of the splash's corner come faster: the indicator may show for only 0.6 s.
constexpr DWORD kSplashPollMs = 20;
// The splash's corner counts as painted when two captures this far apart agree.
constexpr DWORD kSettleMs = 300;
// How long a move or an activation may take to show.
constexpr DWORD kSettleLimitMs = 3000;
constexpr wchar_t kOwnWindowClass[] = L"BoxAgentWindow";

struct Answer {
    bool release = false;   // let go of the held mutex first
    bool leave = false;     // "none": a person answers
    bool automatic = false; // "auto"
    int button = 0;
    std::string spelled;
};

struct Options {
    std::wstring log_path;
    std::vector<Answer> answers;
    Answer fallback;
    std::wstring hold_mutex;
    std::vector<std::wstring> check_mutexes;
    DWORD timeout_ms = 600 * 1000;
    DWORD icon_wait_ms = 2000;
    bool all = false;
    std::wstring command_line;
    std::wstring program;  // the program's path, as given
    std::wstring splash_class;
    int background_id = 109;
    int indicator_id = 111;
    bool move_splash = false;
};

bool ParseAnswer(const std::string& spelled, Answer* answer) {
    *answer = Answer();
    answer->spelled = spelled;
    std::string rest = spelled;
    const std::string release = "release+";
    if (rest.compare(0, release.size(), release) == 0) {
        answer->release = true;
        rest = rest.substr(release.size());
    }
    if (rest == "none") {
        answer->leave = true;
        return true;
    }
    if (rest == "auto") {
        answer->automatic = true;
        return true;
    }
    answer->button = e2e::ButtonIdForName(rest);
    return answer->button != 0;
}

bool ParseAnswerList(const std::string& list, std::vector<Answer>* answers) {
    size_t start = 0;
    while (start <= list.size() && !list.empty()) {
        size_t comma = list.find(',', start);
        std::string item = list.substr(start, comma == std::string::npos ? std::string::npos
                                                                         : comma - start);
        Answer answer;
        if (!ParseAnswer(item, &answer)) {
            std::fprintf(stderr, "box-agent: unknown answer '%s'\n", item.c_str());
            return false;
        }
        answers->push_back(answer);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return true;
}

// Quotes one argument so that the program's start-up code splits it back out unchanged.
std::wstring QuoteArgument(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"') {
            quoted.append(backslashes * 2 + 1, L'\\');
        } else {
            quoted.append(backslashes, L'\\');
        }
        backslashes = 0;
        quoted.push_back(c);
    }
    quoted.append(backslashes * 2, L'\\');
    quoted.push_back(L'"');
    return quoted;
}

bool ParseOptions(int argc, wchar_t** argv, Options* options) {
    for (int i = 1; i < argc; ++i) {
        std::wstring arg = argv[i];
        bool has_value = i + 1 < argc;
        if (arg == L"--") {
            if (i + 1 < argc) options->program = argv[i + 1];
            for (int j = i + 1; j < argc; ++j) {
                if (!options->command_line.empty()) options->command_line.push_back(L' ');
                options->command_line += QuoteArgument(argv[j]);
            }
            break;
        } else if (arg == L"--all") {
            options->all = true;
        } else if (arg == L"--move-splash") {
            options->move_splash = true;
        } else if (!has_value) {
            std::fprintf(stderr, "box-agent: %s needs a value or is unknown\n", Utf8(arg).c_str());
            return false;
        } else if (arg == L"--log") {
            options->log_path = argv[++i];
        } else if (arg == L"--answers") {
            if (!ParseAnswerList(Utf8(argv[++i]), &options->answers)) return false;
        } else if (arg == L"--default") {
            std::string spelled = Utf8(argv[++i]);
            if (!ParseAnswer(spelled, &options->fallback)) {
                std::fprintf(stderr, "box-agent: unknown answer '%s'\n", spelled.c_str());
                return false;
            }
        } else if (arg == L"--hold-mutex") {
            options->hold_mutex = argv[++i];
        } else if (arg == L"--check-mutex") {
            options->check_mutexes.push_back(argv[++i]);
        } else if (arg == L"--timeout") {
            options->timeout_ms = static_cast<DWORD>(std::wcstoul(argv[++i], nullptr, 10) * 1000);
        } else if (arg == L"--icon-wait") {
            options->icon_wait_ms = static_cast<DWORD>(std::wcstoul(argv[++i], nullptr, 10));
        } else if (arg == L"--splash") {
            options->splash_class = argv[++i];
        } else if (arg == L"--splash-bitmaps") {
            wchar_t* end = nullptr;
            options->background_id = static_cast<int>(std::wcstol(argv[++i], &end, 10));
            if (*end != L',') {
                std::fprintf(stderr, "box-agent: --splash-bitmaps wants BACKGROUND,INDICATOR\n");
                return false;
            }
            options->indicator_id = static_cast<int>(std::wcstol(end + 1, &end, 10));
        } else {
            std::fprintf(stderr, "box-agent: unknown option %s\n", Utf8(arg).c_str());
            return false;
        }
    }
    const bool splash_without_program =
        (!options->splash_class.empty() || options->move_splash) &&
        (options->all || options->splash_class.empty());
    if (options->log_path.empty() || options->all == !options->command_line.empty() ||
        splash_without_program) {
        std::fprintf(stderr,
                     "usage: box-agent --log FILE [--answers LIST] [--default ANSWER]\n"
                     "         [--hold-mutex NAME] [--check-mutex NAME]... [--timeout SECONDS]\n"
                     "         [--icon-wait MS] [--splash CLASS [--splash-bitmaps BG,IND]\n"
                     "         [--move-splash]] (-- PROGRAM [ARGS...] | --all)\n");
        return false;
    }
    return true;
}

// Makes a field safe for a tab-separated line.
std::string Field(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\t') {
            out += "\\t";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else {
            out.push_back(c);
        }
    }
    return out;
}

class Log {
public:
    bool Open(const std::wstring& path) {
        file_ = _wfopen(path.c_str(), L"wb");
        return file_ != nullptr;
    }
    ~Log() {
        if (file_ != nullptr) std::fclose(file_);
    }
    // Every line is flushed at once, so a reader sees the boxes of a run that is cut short.
    void Line(const std::vector<std::string>& fields) {
        std::string line;
        for (size_t i = 0; i < fields.size(); ++i) {
            if (i > 0) line.push_back('\t');
            line += Field(fields[i]);
        }
        line.push_back('\n');
        std::fwrite(line.data(), 1, line.size(), file_);
        std::fflush(file_);
    }

private:
    FILE* file_ = nullptr;
};

bool MutexExists(const std::wstring& name) {
    HANDLE handle = OpenMutexW(SYNCHRONIZE, FALSE, name.c_str());
    if (handle != nullptr) {
        CloseHandle(handle);
        return true;
    }
    // Denied access still means the name is there.
    return GetLastError() == ERROR_ACCESS_DENIED;
}

std::string ExistingMutexes(const std::vector<std::wstring>& names) {
    std::string list;
    for (const std::wstring& name : names) {
        if (!MutexExists(name)) continue;
        if (!list.empty()) list.push_back(',');
        list += Utf8(name);
    }
    return list.empty() ? "-" : list;
}

std::string ButtonList(const std::vector<int>& buttons) {
    std::string list;
    for (int id : buttons) {
        if (!list.empty()) list.push_back(',');
        list += e2e::ButtonName(id);
    }
    return list.empty() ? "-" : list;
}

bool HasButton(const BoxView& view, int id) {
    for (int button : view.buttons) {
        if (button == id) return true;
    }
    return false;
}

int AutomaticButton(const BoxView& view) {
    if (HasButton(view, IDOK)) return IDOK;
    if (HasButton(view, IDCANCEL)) return IDCANCEL;
    return view.buttons.empty() ? 0 : view.buttons.front();
}

struct Search {
    DWORD pid;       // 0: any process but this one
    std::vector<HWND> found;
};

BOOL CALLBACK CollectDialog(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    bool wanted = search->pid != 0 ? pid == search->pid : pid != GetCurrentProcessId();
    // A dialog turns visible only once it is initialised, so its texts are complete by then.
    if (wanted && IsWindowVisible(window) && e2e::IsDialogWindow(window)) {
        search->found.push_back(window);
    }
    return TRUE;
}

// Runs this thread's window messages until the time is up: the agent's own window has to
// answer while it waits.
void WaitPumping(DWORD ms) {
    const ULONGLONG end = GetTickCount64() + ms;
    for (;;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        const ULONGLONG now = GetTickCount64();
        if (now >= end) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
    }
}

std::string Position(const RECT& rect) {
    return std::to_string(rect.left) + "," + std::to_string(rect.top);
}

// Where the agent stands with the splash window, in the order the run goes through.
enum class SplashPhase {
    kOff,         // not asked for
    kLooking,     // the window is not up yet
    kSettling,    // up; waiting for its corner to show steadily
    kSettled,     // recorded; waiting for the first box
    kFirstBoxUp,  // the first box has been answered (or left) and has not gone yet
    kSampling,    // between the first box and the next
    kDone,
};

class Agent {
public:
    explicit Agent(const Options& options) : options_(options) {}

    ~Agent() {
        if (own_window_ != nullptr) DestroyWindow(own_window_);
        if (held_ != nullptr) CloseHandle(held_);
        if (process_ != nullptr) CloseHandle(process_);
    }

    int Run() {
        if (!log_.Open(options_.log_path)) {
            std::fprintf(stderr, "box-agent: cannot write %s\n", Utf8(options_.log_path).c_str());
            return kExitFailure;
        }
        start_ = GetTickCount64();
        last_answer_ = start_;
        if (!options_.hold_mutex.empty() && !HoldMutex()) return kExitFailure;
        if (!options_.splash_class.empty() && !LoadSplashPictures()) return kExitFailure;
        if (!options_.command_line.empty() && !Launch()) return kExitFailure;

        for (;;) {
            const bool box_up = Scan();
            WatchSplash(box_up);
            if (process_ != nullptr && WaitForSingleObject(process_, 0) == WAIT_OBJECT_0) {
                EndSplashWatch();
                DWORD code = 0;
                GetExitCodeProcess(process_, &code);
                log_.Line({"exit", std::to_string(code), std::to_string(Elapsed())});
                std::printf("box-agent: the program exited with code %lu\n", code);
                return kExitOk;
            }
            if (Elapsed() >= options_.timeout_ms) {
                EndSplashWatch();
                log_.Line({"timeout", std::to_string(Elapsed())});
                if (options_.all) return kExitOk;
                std::printf("box-agent: time-out after %lu s\n", options_.timeout_ms / 1000);
                if (process_ != nullptr) TerminateProcess(process_, 1);
                return kExitTimeout;
            }
            WaitPumping(splash_phase_ == SplashPhase::kSampling ? kSplashPollMs : kPollMs);
        }
    }

private:
    ULONGLONG Elapsed() const { return GetTickCount64() - start_; }

    bool HoldMutex() {
        held_ = CreateMutexW(nullptr, FALSE, options_.hold_mutex.c_str());
        if (held_ == nullptr) {
            Error("cannot create the mutex " + Utf8(options_.hold_mutex));
            return false;
        }
        return true;
    }

    void ReleaseMutex() {
        if (held_ != nullptr) CloseHandle(held_);
        held_ = nullptr;
    }

    bool Launch() {
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info = {};
        std::wstring command = options_.command_line;
        if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &info)) {
            Error("cannot start " + Utf8(options_.command_line) + " (error " +
                  std::to_string(GetLastError()) + ")");
            return false;
        }
        CloseHandle(info.hThread);
        process_ = info.hProcess;
        pid_ = info.dwProcessId;
        return true;
    }

    void Error(const std::string& message) {
        log_.Line({"error", message});
        std::fprintf(stderr, "box-agent: %s\n", message.c_str());
    }

    const Answer& NextAnswer() {
        if (next_answer_ < options_.answers.size()) return options_.answers[next_answer_++];
        return options_.fallback;
    }

    std::vector<HWND> VisibleBoxes() const {
        Search search{options_.all ? 0 : pid_, {}};
        EnumWindows(CollectDialog, reinterpret_cast<LPARAM>(&search));
        return search.found;
    }

    // Handles the boxes that have come up; true while any box is visible.
    bool Scan() {
        const std::vector<HWND> found = VisibleBoxes();
        // Window handles are not reused while a window lives; forget those that are gone.
        for (auto it = seen_.begin(); it != seen_.end();) {
            it = IsWindow(*it) ? std::next(it) : seen_.erase(it);
        }
        for (HWND dialog : found) {
            if (seen_.count(dialog) != 0) continue;
            seen_.insert(dialog);
            Handle(dialog);
        }
        return !found.empty();
    }

    void Handle(HWND dialog) {
        const ULONGLONG seen_at = Elapsed();
        const ULONGLONG since_answer = GetTickCount64() - last_answer_;
        // The next box ends the sampling before it can cover the corner.
        if (splash_phase_ == SplashPhase::kSampling) EndSampling();
        const bool first = boxes_ == 0;
        if (first && (splash_phase_ == SplashPhase::kLooking ||
                      splash_phase_ == SplashPhase::kSettling)) {
            RecordSplash();
        }
        BoxView view;
        if (!e2e::InspectBox(dialog, options_.icon_wait_ms, &view)) {
            Error("a box closed before it could be read");
            return;
        }
        const std::string mutexes = ExistingMutexes(options_.check_mutexes);
        const Answer& answer = NextAnswer();
        ++boxes_;

        std::string given = answer.spelled;
        int button = 0;
        if (!answer.leave) {
            button = answer.automatic ? AutomaticButton(view) : answer.button;
            if (!HasButton(view, button)) {
                // The run went off the script; answer something so it can carry on and show
                // where it went.
                given = "missing:" + given;
                button = AutomaticButton(view);
            }
            if (answer.automatic || given.compare(0, 8, "missing:") == 0) {
                given += std::string(":") + (button != 0 ? e2e::ButtonName(button) : "nothing");
            }
        }
        log_.Line({"box", std::to_string(boxes_), std::to_string(seen_at),
                   std::to_string(since_answer), view.title, view.text, ButtonList(view.buttons),
                   view.icon, view.owner, mutexes, given});
        std::printf("box %d: [%s] %s (%s, %s, owner %s) -> %s\n", boxes_, view.title.c_str(),
                    Field(view.text).c_str(), ButtonList(view.buttons).c_str(),
                    view.icon.c_str(), view.owner.c_str(), given.c_str());
        std::fflush(stdout);

        if (first && splash_phase_ == SplashPhase::kSettled) {
            if (options_.move_splash) MoveSplashAway();
            first_box_ = dialog;
            splash_phase_ = SplashPhase::kFirstBoxUp;
        }
        if (answer.release) ReleaseMutex();
        if (answer.leave || button == 0) return;
        HWND control = GetDlgItem(dialog, button);
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                     reinterpret_cast<LPARAM>(control));
        last_answer_ = GetTickCount64();
    }

    // --- The splash window

    bool LoadSplashPictures() {
        std::string why;
        if (!e2e::LoadCornerPictures(options_.program, options_.background_id,
                                     options_.indicator_id, &pictures_, &why)) {
            Error(why);
            return false;
        }
        splash_phase_ = SplashPhase::kLooking;
        return true;
    }

    void WatchSplash(bool box_up) {
        switch (splash_phase_) {
            case SplashPhase::kLooking:
                splash_ = e2e::FindProcessWindow(pid_, options_.splash_class);
                if (splash_ == nullptr) return;
                keyed_ = e2e::ColourKeyOf(splash_, &key_);
                e2e::CaptureCorner(splash_, pictures_.width, pictures_.height, &settle_capture_);
                settle_at_ = GetTickCount64();
                splash_phase_ = SplashPhase::kSettling;
                return;
            case SplashPhase::kSettling:
                Settle();
                return;
            case SplashPhase::kFirstBoxUp:
                // Closing the box gives the activation back to its owner, so the agent's window
                // must come after that.
                if (IsWindow(first_box_)) return;
                closed_at_ = GetTickCount64();
                holding_ = options_.move_splash;
                splash_phase_ = SplashPhase::kSampling;
                return;
            case SplashPhase::kSampling:
                if (!IsWindow(splash_)) {
                    EndSampling();
                    return;
                }
                if (!box_up) SampleCorner();
                if (own_window_ != nullptr) TrackPlace();
                return;
            default:
                return;
        }
    }

    // The corner counts as painted once two captures a little apart agree and show one of
    // the two pictures.
    void Settle() {
        if (GetTickCount64() - settle_at_ < kSettleMs) return;
        std::vector<uint32_t> shown;
        if (!e2e::CaptureCorner(splash_, pictures_.width, pictures_.height, &shown)) return;
        settle_corner_ = e2e::ClassifyCorner(pictures_, shown, keyed_, key_);
        if (shown == settle_capture_ && settle_corner_ != Corner::kOther) {
            RecordSplash();
            return;
        }
        settle_capture_ = shown;
        settle_at_ = GetTickCount64();
    }

    void RecordSplash() {
        if (splash_ == nullptr) {
            log_.Line({"splash", std::to_string(Elapsed()), "none"});
            std::printf("splash: not found\n");
            splash_phase_ = SplashPhase::kDone;
            return;
        }
        RECT rect = {};
        GetWindowRect(splash_, &rect);
        const std::string size = std::to_string(rect.right - rect.left) + "x" +
                                 std::to_string(rect.bottom - rect.top);
        const POINT centre = e2e::CentredOrigin(rect.right - rect.left, rect.bottom - rect.top);
        const bool centred = rect.left == centre.x && rect.top == centre.y;
        log_.Line({"splash", std::to_string(Elapsed()), Position(rect),
                   centred ? "centre" : "off-centre", size,
                   e2e::IsTopMost(splash_) ? "topmost" : "normal", keyed_ ? "keyed" : "opaque",
                   e2e::CornerName(settle_corner_)});
        std::printf("splash: at %s, %s, corner %s\n", Position(rect).c_str(), size.c_str(),
                    e2e::CornerName(settle_corner_));
        std::fflush(stdout);
        // The indicator changes only in the activity pump, which runs after the first box, so
        // the samples continue from this state.
        last_steady_ = settle_corner_;
        splash_phase_ = SplashPhase::kSettled;
    }

    // Waits until the condition holds or the limit is reached; true when it held.
    template <typename Condition>
    bool WaitFor(Condition condition) {
        const ULONGLONG end = GetTickCount64() + kSettleLimitMs;
        for (;;) {
            if (condition()) return true;
            if (GetTickCount64() >= end) return false;
            WaitPumping(kSplashPollMs);
        }
    }

    // Out of the top-most band too, so that only putting it back there makes it top-most again.
    // Asynchronously, so that the program's thread makes the move in the box's own loop; the
    // agent sees it done before it answers.
    void MoveSplashAway() {
        SetWindowPos(splash_, HWND_NOTOPMOST, 0, 0, 0, 0,
                     SWP_NOSIZE | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
        RECT rect = {};
        const bool moved = WaitFor([&] {
            return GetWindowRect(splash_, &rect) && rect.left == 0 && rect.top == 0 &&
                   !e2e::IsTopMost(splash_);
        });
        log_.Line({"moved", std::to_string(Elapsed()), Position(rect),
                   e2e::IsTopMost(splash_) ? "topmost" : "normal",
                   moved ? "at-target" : "not-at-target"});
        std::printf("splash: moved to %s\n", Position(rect).c_str());
        std::fflush(stdout);
    }

    // A top-most window of the agent's own, small and in the bottom-left corner, away from
    // both the centre and the place the splash was moved to.
    void ActivateOwnWindow() {
        WNDCLASSEXW window_class = {};
        window_class.cbSize = sizeof(window_class);
        window_class.lpfnWndProc = DefWindowProcW;
        window_class.hInstance = GetModuleHandleW(nullptr);
        window_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(DKGRAY_BRUSH));
        window_class.lpszClassName = kOwnWindowClass;
        RegisterClassExW(&window_class);
        const int width = 200;
        const int height = 120;
        own_window_ = CreateWindowExW(WS_EX_TOPMOST, kOwnWindowClass, L"box-agent",
                                      WS_POPUP | WS_BORDER, 0,
                                      GetSystemMetrics(SM_CYSCREEN) - height - 40, width, height,
                                      nullptr, nullptr, window_class.hInstance, nullptr);
        bool foreground = false;
        if (own_window_ != nullptr) {
            ShowWindow(own_window_, SW_SHOW);
            SetForegroundWindow(own_window_);
            SetActiveWindow(own_window_);
            foreground = WaitFor([&] { return GetForegroundWindow() == own_window_; });
        } else {
            Error("cannot create a window (error " + std::to_string(GetLastError()) + ")");
        }
        log_.Line({"activated", std::to_string(GetTickCount64() - closed_at_),
                   foreground ? "foreground" : "not-foreground"});
        std::printf("own window: %s\n", foreground ? "foreground" : "not foreground");
        std::fflush(stdout);
    }

    void SampleCorner() {
        std::vector<uint32_t> shown;
        if (!e2e::CaptureCorner(splash_, pictures_.width, pictures_.height, &shown)) return;
        // A box that came up during the capture may cover the corner.
        if (!VisibleBoxes().empty()) return;
        const Corner corner = e2e::ClassifyCorner(pictures_, shown, keyed_, key_);
        ++samples_[static_cast<int>(corner)];
        if (corner == Corner::kOther) return;
        if (last_steady_ != Corner::kOther && corner != last_steady_) ++changes_;
        last_steady_ = corner;
        if (holding_ && corner == Corner::kOn) {
            // The indicator is drawn by the pump, so a pump has run while the splash was still
            // the active window; only now does another window take the activation.
            holding_ = false;
            RECT rect = {};
            GetWindowRect(splash_, &rect);
            log_.Line({"held", std::to_string(GetTickCount64() - closed_at_), Position(rect)});
            std::printf("splash: at %s when the indicator first showed\n",
                        Position(rect).c_str());
            ActivateOwnWindow();
        }
    }

    void TrackPlace() {
        if (recentred_) return;
        RECT rect = {};
        if (!GetWindowRect(splash_, &rect)) return;
        const POINT centre = e2e::CentredOrigin(rect.right - rect.left, rect.bottom - rect.top);
        const bool centred = rect.left == centre.x && rect.top == centre.y;
        const bool topmost = e2e::IsTopMost(splash_);
        const char* above = own_window_ == nullptr ? "-"
                            : e2e::IsAbove(splash_, own_window_) ? "above" : "below";
        place_ = {centred ? "centre" : Position(rect), topmost ? "topmost" : "normal", above};
        recentred_ = centred && topmost && std::string(above) == "above";
        if (recentred_) recentred_after_ = GetTickCount64() - closed_at_;
    }

    void EndSampling() {
        const int off = samples_[static_cast<int>(Corner::kOff)];
        const int on = samples_[static_cast<int>(Corner::kOn)];
        const int other = samples_[static_cast<int>(Corner::kOther)];
        log_.Line({"indicator", std::to_string(off + on + other), std::to_string(off),
                   std::to_string(on), std::to_string(other), std::to_string(changes_)});
        std::printf("indicator: %d samples, off %d, on %d, other %d; %d changes\n",
                    off + on + other, off, on, other, changes_);
        if (options_.move_splash) {
            std::vector<std::string> line = {"recentred", recentred_
                                                              ? std::to_string(recentred_after_)
                                                              : std::string("never")};
            line.insert(line.end(), place_.begin(), place_.end());
            log_.Line(line);
            if (recentred_) {
                std::printf("splash: back at the centre, on top, %llu ms after the first box\n",
                            recentred_after_);
            } else {
                std::printf("splash: not back at the centre, on top (%s, %s, %s)\n",
                            place_[0].c_str(), place_[1].c_str(), place_[2].c_str());
            }
        }
        std::fflush(stdout);
        splash_phase_ = SplashPhase::kDone;
    }

    // The program ended (or time ran out) before the watch came to its end.
    void EndSplashWatch() {
        switch (splash_phase_) {
            case SplashPhase::kLooking:
            case SplashPhase::kSettling:
                RecordSplash();
                break;
            case SplashPhase::kSampling:
                EndSampling();
                break;
            default:
                break;
        }
    }

    const Options& options_;
    Log log_;
    HANDLE held_ = nullptr;
    HANDLE process_ = nullptr;
    DWORD pid_ = 0;
    ULONGLONG start_ = 0;
    ULONGLONG last_answer_ = 0;
    size_t next_answer_ = 0;
    int boxes_ = 0;
    std::set<HWND> seen_;

    SplashPhase splash_phase_ = SplashPhase::kOff;
    e2e::CornerPictures pictures_;
    HWND splash_ = nullptr;
    bool keyed_ = false;
    uint32_t key_ = 0;
    std::vector<uint32_t> settle_capture_;
    ULONGLONG settle_at_ = 0;
    Corner settle_corner_ = Corner::kOther;
    HWND first_box_ = nullptr;
    ULONGLONG closed_at_ = 0;
    bool holding_ = false;  // moved, and waiting for a pump before activating another window
    HWND own_window_ = nullptr;
    int samples_[3] = {0, 0, 0};  // by Corner
    int changes_ = 0;
    Corner last_steady_ = Corner::kOther;
    bool recentred_ = false;
    ULONGLONG recentred_after_ = 0;
    std::vector<std::string> place_ = {"-", "-", "-"};
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
    Options options;
    options.fallback.automatic = true;
    options.fallback.spelled = "auto";
    if (!ParseOptions(argc, argv, &options)) return kExitUsage;
    Agent agent(options);
    return agent.Run();
}
