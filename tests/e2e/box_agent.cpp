// box-agent: plays the user for a Windows program under test. It watches the program's message
// boxes, writes one log line per box and answers each from a script. It can also hold a named
// mutex, as another program would, and let go of it on cue.
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

namespace {

using e2e::BoxView;
using e2e::Utf8;

constexpr int kExitOk = 0;
constexpr int kExitUsage = 2;
constexpr int kExitTimeout = 3;
constexpr int kExitFailure = 4;
constexpr DWORD kPollMs = 50;

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
            for (int j = i + 1; j < argc; ++j) {
                if (!options->command_line.empty()) options->command_line.push_back(L' ');
                options->command_line += QuoteArgument(argv[j]);
            }
            break;
        } else if (arg == L"--all") {
            options->all = true;
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
        } else {
            std::fprintf(stderr, "box-agent: unknown option %s\n", Utf8(arg).c_str());
            return false;
        }
    }
    if (options->log_path.empty() || options->all == !options->command_line.empty()) {
        std::fprintf(stderr,
                     "usage: box-agent --log FILE [--answers LIST] [--default ANSWER]\n"
                     "         [--hold-mutex NAME] [--check-mutex NAME]... [--timeout SECONDS]\n"
                     "         [--icon-wait MS] (-- PROGRAM [ARGS...] | --all)\n");
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

class Agent {
public:
    explicit Agent(const Options& options) : options_(options) {}

    ~Agent() {
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
        if (!options_.command_line.empty() && !Launch()) return kExitFailure;

        for (;;) {
            Scan();
            if (process_ != nullptr && WaitForSingleObject(process_, 0) == WAIT_OBJECT_0) {
                DWORD code = 0;
                GetExitCodeProcess(process_, &code);
                log_.Line({"exit", std::to_string(code), std::to_string(Elapsed())});
                std::printf("box-agent: the program exited with code %lu\n", code);
                return kExitOk;
            }
            if (Elapsed() >= options_.timeout_ms) {
                log_.Line({"timeout", std::to_string(Elapsed())});
                if (options_.all) return kExitOk;
                std::printf("box-agent: time-out after %lu s\n", options_.timeout_ms / 1000);
                if (process_ != nullptr) TerminateProcess(process_, 1);
                return kExitTimeout;
            }
            Sleep(kPollMs);
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

    void Scan() {
        Search search{options_.all ? 0 : pid_, {}};
        EnumWindows(CollectDialog, reinterpret_cast<LPARAM>(&search));
        // Window handles are not reused while a window lives; forget those that are gone.
        for (auto it = seen_.begin(); it != seen_.end();) {
            it = IsWindow(*it) ? std::next(it) : seen_.erase(it);
        }
        for (HWND dialog : search.found) {
            if (seen_.count(dialog) != 0) continue;
            seen_.insert(dialog);
            Handle(dialog);
        }
    }

    void Handle(HWND dialog) {
        const ULONGLONG seen_at = Elapsed();
        const ULONGLONG since_answer = GetTickCount64() - last_answer_;
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

        if (answer.release) ReleaseMutex();
        if (answer.leave || button == 0) return;
        HWND control = GetDlgItem(dialog, button);
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                     reinterpret_cast<LPARAM>(control));
        last_answer_ = GetTickCount64();
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
