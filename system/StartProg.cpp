// CStartProg: the process runner.
#include "system/StartProg.h"

#include <cstdarg>
#include <cstring>
#include <cwchar>

#include "system/Paths.h"
#include "text/Format.h"

namespace {

class CLock {
public:
    explicit CLock(CRITICAL_SECTION* cs) : m_cs(cs) { EnterCriticalSection(cs); }
    ~CLock() { LeaveCriticalSection(m_cs); }
    CLock(const CLock&) = delete;
    CLock& operator=(const CLock&) = delete;

private:
    CRITICAL_SECTION* m_cs;
};

inline bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

CString QuoteCommandArg(const char* text, int length) {
    if (!text) text = "";
    if (length < 0) length = int(strlen(text));
    bool quote = length == 0;
    // The characters that cmd.exe acts on are quoted too: a batch file gets the argument whole.
    for (int i = 0; i < length && !quote; ++i)
        if (text[i] && strchr(" \t\n\v\"&|<>^", text[i])) quote = true;
    if (!quote) return CString(text, length);
    CString out("\"");
    int backslashes = 0;
    for (int i = 0; i < length; ++i) {
        char c = text[i];
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            // Backslashes before a quote are doubled, and the quote itself escaped.
            out += CString('\\', backslashes * 2 + 1);
        } else if (backslashes) {
            out += CString('\\', backslashes);
        }
        backslashes = 0;
        out += c;
    }
    // Backslashes before the closing quote are doubled.
    if (backslashes) out += CString('\\', backslashes * 2);
    out += '"';
    return out;
}

namespace {

bool IsBatchFile(const char* path) { return PathMatchExtensionListA(path, "bat;cmd") > 0; }

// Variables through which a batch file's program path and arguments reach its interpreter.
const char kBatchVarPrefix[] = "VELLMORANT_ARG";

// An argument in double quotes for a batch file's command line, read back by the C runtime
// as it is: backslashes before a quote doubled and each '"' written as '""' (the interpreter
// toggles its quotes twice there, so no character of the argument is ever outside them, also
// when the batch passes %* on). One holding '%' goes as a reference to a new variable (the
// interpreter expands names in quotes too, but not the text it took from a variable).
CString BatchQuoted(const CString& text, std::vector<std::pair<CString, CString>>& vars) {
    CString inner;
    int backslashes = 0;
    for (int i = 0; i < text.GetLength(); ++i) {
        char c = text[i];
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        inner += CString('\\', c == '"' ? backslashes * 2 : backslashes);
        backslashes = 0;
        inner += c == '"' ? CString("\"\"") : CString(c, 1);
    }
    inner += CString('\\', backslashes * 2);
    if (inner.Find('%') < 0) return "\"" + inner + "\"";
    char name[32];
    wsprintfA(name, "%s%d", kBatchVarPrefix, int(vars.size()));
    vars.emplace_back(name, inner);
    return CString("\"%") + name + "%\"";
}

// The environment of this process with vars added (replacing those of the same names), as a
// wide block; empty when it cannot be read.
std::vector<wchar_t> EnvironmentBlock(const std::vector<std::pair<CString, CString>>& vars) {
    std::vector<wchar_t> block;
    auto wide = [](const CString& s) {
        std::vector<wchar_t> w(size_t(s.GetLength()) + 1, L'\0');
        if (s.GetLength()) MultiByteToWideChar(CP_ACP, 0, s.GetString(), s.GetLength(), w.data(), int(w.size()));
        w.resize(wcslen(w.data()));
        return w;
    };
    std::vector<std::vector<wchar_t>> names;
    for (const auto& v : vars) names.push_back(wide(v.first));
    wchar_t* env = GetEnvironmentStringsW();
    if (!env) return block;
    for (const wchar_t* p = env; *p; p += wcslen(p) + 1) {
        bool replaced = false;
        for (const auto& n : names)
            if (!_wcsnicmp(p, n.data(), n.size()) && p[n.size()] == L'=') replaced = true;
        if (!replaced) block.insert(block.end(), p, p + wcslen(p) + 1);
    }
    FreeEnvironmentStringsW(env);
    for (const auto& v : vars) {
        std::vector<wchar_t> n = wide(v.first), value = wide(v.second);
        block.insert(block.end(), n.begin(), n.end());
        block.push_back(L'=');
        block.insert(block.end(), value.begin(), value.end());
        block.push_back(L'\0');
    }
    block.push_back(L'\0');
    if (block.size() == 1) block.push_back(L'\0');
    return block;
}

bool IsSkippedClass(HWND hwnd) {
    char cls[64];
    if (!GetClassNameA(hwnd, cls, sizeof cls)) return true;
    return lstrcmpiA(cls, "IME") == 0 || lstrcmpiA(cls, "MSCTFIME UI") == 0 ||
           lstrcmpiA(cls, "tooltips_class32") == 0 || lstrcmpiA(cls, "tooltips_class") == 0;
}

struct FindWindowState {
    DWORD pid;
    HWND visible;
    HWND hidden;
};

BOOL CALLBACK FindWindowProc(HWND hwnd, LPARAM lParam) {
    FindWindowState* st = reinterpret_cast<FindWindowState*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != st->pid || GetWindow(hwnd, GW_OWNER) || IsSkippedClass(hwnd)) return TRUE;
    if (IsWindowVisible(hwnd)) {
        st->visible = hwnd;
        return FALSE;
    }
    if (!st->hidden) st->hidden = hwnd;
    return TRUE;
}

bool WindowOfProcess(HWND hwnd, DWORD pid) {
    DWORD owner = 0;
    return hwnd && IsWindow(hwnd) && GetWindowThreadProcessId(hwnd, &owner) && owner == pid;
}

// An inheritable copy of a standard handle of ours, or null.
HANDLE InheritableStd(DWORD which) {
    HANDLE h = GetStdHandle(which);
    if (!h || h == INVALID_HANDLE_VALUE) return nullptr;
    HANDLE dup = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), h, GetCurrentProcess(), &dup, 0, TRUE, DUPLICATE_SAME_ACCESS))
        return nullptr;
    return dup;
}

}  // namespace

CStartProg::CStartProg()
    : m_nArgs(0), m_nShow(-1), m_hChildStdin(nullptr), m_hProcess(nullptr), m_dwProcessId(0),
      m_dwExitCode(0xFFFFFFFFu), m_hMainWnd(nullptr) {
    InitializeCriticalSection(&m_lock);
}

CStartProg::~CStartProg() {
    Reset();
    DeleteCriticalSection(&m_lock);
}

void CStartProg::Reset() {
    {
        CLock lock(&m_lock);
        CloseProcess();
    }
    if (m_hChildStdin) CloseHandle(m_hChildStdin);
    m_hChildStdin = nullptr;
    m_program.Empty();
    for (int i = 0; i < m_nArgs; ++i) m_args[i].Empty();
    m_nArgs = 0;
    m_env.clear();
    m_workDir.Empty();
    m_cmdLine.Empty();
    m_nShow = -1;
    m_dwProcessId = 0;
    m_dwExitCode = 0xFFFFFFFFu;
}

void CStartProg::CloseProcess() {
    if (m_hProcess) CloseHandle(m_hProcess);
    m_hProcess = nullptr;
    m_hMainWnd = nullptr;
}

HANDLE CStartProg::DupProcess() {
    CLock lock(&m_lock);
    HANDLE dup = nullptr;
    if (m_hProcess &&
        !DuplicateHandle(GetCurrentProcess(), m_hProcess, GetCurrentProcess(), &dup, 0, FALSE, DUPLICATE_SAME_ACCESS))
        dup = nullptr;
    return dup;
}

BOOL CStartProg::SetProgram(const char* path) {
    m_program.Empty();
    if (!path || !*path) return FALSE;
    if (path[0] == '#') {
        char dir[MAX_PATH];
        GetProgramDirectoryA(dir, sizeof dir);
        m_program = CString(dir) + (path + 1);
    } else if (path[0] == '*') {
        char found[MAX_PATH];
        if (PathSearchProgramA(found, path + 1, sizeof found, "exe;bat;com"))
            m_program = found;
        else
            m_program = path + 1;
    } else if (path[0] == '?') {
        m_program = path + 1;
    } else {
        m_program = path;
    }
    return PathGetKindA(m_program) == 1;
}

bool CStartProg::AppendArg(const CString& encoded) {
    if (m_nArgs >= MaxArgs) return false;
    m_raw[m_nArgs].Empty();
    m_bRaw[m_nArgs] = false;
    m_args[m_nArgs++] = encoded;
    return true;
}

BOOL CStartProg::AddArg(const char* text, int length) {
    if (!text) text = "";
    if (length < 0) length = int(strlen(text));
    if (m_nArgs >= MaxArgs) return FALSE;
    if (!AppendArg(QuoteCommandArg(text, length))) return FALSE;
    m_raw[m_nArgs - 1] = CString(text, length);
    m_bRaw[m_nArgs - 1] = true;
    return TRUE;
}

BOOL CStartProg::SetEnv(const char* name, const char* value) {
    if (!name || !*name || strchr(name, '=')) return FALSE;
    for (auto& v : m_env)
        if (v.first.CompareNoCase(name) == 0) {
            v.second = value;
            return TRUE;
        }
    m_env.emplace_back(name, value);
    return TRUE;
}

int CStartProg::AddArgs(const char* text, int length) {
    if (!text) return 0;
    if (length < 0) length = int(strlen(text));
    int added = 0;
    int i = 0;
    while (i < length) {
        while (i < length && IsBlank(text[i])) ++i;
        if (i >= length || m_nArgs >= MaxArgs) break;
        int start = i;
        if (m_nArgs == MaxArgs - 1) {
            // The last slot keeps the rest as it stands.
            int end = length;
            while (end > start && IsBlank(text[end - 1])) --end;
            AppendArg(CString(text + start, end - start));
            ++added;
            break;
        }
        bool inQuotes = false;
        int backslashes = 0;
        for (; i < length; ++i) {
            char c = text[i];
            if (!inQuotes && IsBlank(c)) break;
            if (c == '"' && backslashes % 2 == 0) inQuotes = !inQuotes;
            backslashes = (c == '\\') ? backslashes + 1 : 0;
        }
        AppendArg(CString(text + start, i - start));
        ++added;
    }
    return added;
}

void CStartProg::SetWorkingDir(const char* folder) { m_workDir = folder; }

void CStartProg::SetShowWindow(int show) { m_nShow = show; }

BOOL CStartProg::CreateStdinPipe(HANDLE* pWrite, int flags, HANDLE* pChildEnd, DWORD bufferSize) {
    if (pWrite) *pWrite = nullptr;
    if (pChildEnd) *pChildEnd = nullptr;
    if (!pWrite || flags != PipeAnonymous) return FALSE;
    if (m_hChildStdin) CloseHandle(m_hChildStdin);
    m_hChildStdin = nullptr;
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    HANDLE r = nullptr, w = nullptr;
    if (!CreatePipe(&r, &w, &sa, bufferSize)) return FALSE;
    // Only the child's end may be inherited: an inherited write end would keep the pipe
    // open in the child, which then never sees the end of its input.
    if (!SetHandleInformation(w, HANDLE_FLAG_INHERIT, 0)) {
        CloseHandle(r);
        CloseHandle(w);
        return FALSE;
    }
    m_hChildStdin = r;
    *pWrite = w;
    if (pChildEnd) *pChildEnd = r;
    return TRUE;
}

BOOL CStartProg::Start(DWORD flags, const char* format, ...) {
    CString extra;
    if (format) {
        va_list args;
        va_start(args, format);
        extra.FormatV(format, args);
        va_end(args);
    }
    // Build the command line.
    CString line;
    CString app;
    if (m_program.IsEmpty()) {
        if (m_hChildStdin) CloseHandle(m_hChildStdin);
        m_hChildStdin = nullptr;
        return FALSE;
    }
    const bool batch = IsBatchFile(m_program);
    std::vector<std::pair<CString, CString>> env = m_env;
    CString prog = QuoteCommandArg(m_program, m_program.GetLength());
    if (prog[0] != '"') prog = "\"" + prog + "\"";
    if (batch) prog = BatchQuoted(m_program, env);
    CString rest;
    for (int i = 0; i < m_nArgs; ++i) {
        rest += ' ';
        if (!batch || !m_bRaw[i]) {
            rest += m_args[i];
            continue;
        }
        // The interpreter reads the line before the batch does: a CR or LF would end it.
        const CString& raw = m_raw[i];
        if (raw.Find('\r') >= 0 || raw.Find('\n') >= 0 || raw.GetLength() != int(strlen(raw))) {
            if (m_hChildStdin) CloseHandle(m_hChildStdin);
            m_hChildStdin = nullptr;
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        // Always in quotes: an interpreter that mangles a '%' of %* (Wine's drops it with the
        // text up to the next ':') then drops as many quotes as it passes, and nothing acts.
        rest += BatchQuoted(raw, env);
    }
    if (!extra.IsEmpty()) {
        rest += ' ';
        rest += extra;
    }
    if (batch) {
        char comspec[MAX_PATH];
        DWORD n = GetEnvironmentVariableA("COMSPEC", comspec, sizeof comspec);
        if (n == 0 || n >= sizeof comspec) {
            UINT s = GetSystemDirectoryA(comspec, sizeof comspec - 16);
            if (s == 0 || s >= sizeof comspec - 16) return FALSE;
            strcat(comspec, "\\cmd.exe");
        }
        app = comspec;
        // cmd strips the outer pair of quotes after /c. With delayed expansion (a registry
        // value can turn it on) a '!' in an argument would name a variable.
        line = "\"" + app + "\" /v:off /c \"" + prog + rest + "\"";
    } else {
        if (PathFileNameOffsetA(-1, m_program) > 0) app = m_program;
        line = prog + rest;
    }
    m_cmdLine = line;

    STARTUPINFOA si;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    if (m_nShow >= 0) {
        si.dwFlags |= STARTF_USESHOWWINDOW;
        si.wShowWindow = WORD(m_nShow);
    }
    HANDLE out = nullptr, err = nullptr;
    BOOL inherit = FALSE;
    if (m_hChildStdin) {
        si.dwFlags |= STARTF_USESTDHANDLES;
        si.hStdInput = m_hChildStdin;
        si.hStdOutput = out = InheritableStd(STD_OUTPUT_HANDLE);
        si.hStdError = err = InheritableStd(STD_ERROR_HANDLE);
        inherit = TRUE;
    }
    PROCESS_INFORMATION pi;
    memset(&pi, 0, sizeof pi);
    char* buf = line.GetBuffer(line.GetLength());
    std::vector<wchar_t> block;
    if (!env.empty()) {
        block = EnvironmentBlock(env);
        if (block.empty()) {
            if (m_hChildStdin) CloseHandle(m_hChildStdin);
            m_hChildStdin = nullptr;
            return FALSE;
        }
    }
    BOOL ok = buf && CreateProcessA(app.IsEmpty() ? nullptr : app.GetString(), buf, nullptr, nullptr, inherit,
                                    block.empty() ? 0 : CREATE_UNICODE_ENVIRONMENT,
                                    block.empty() ? nullptr : block.data(),
                                    m_workDir.IsEmpty() ? nullptr : m_workDir.GetString(), &si, &pi);
    DWORD err0 = GetLastError();
    if (out) CloseHandle(out);
    if (err) CloseHandle(err);
    if (m_hChildStdin) CloseHandle(m_hChildStdin);
    m_hChildStdin = nullptr;
    if (!ok) {
        SetLastError(err0);
        return FALSE;
    }
    CloseHandle(pi.hThread);
    {
        CLock lock(&m_lock);
        CloseProcess();
        m_hProcess = pi.hProcess;
        m_dwProcessId = pi.dwProcessId;
        m_dwExitCode = STILL_ACTIVE;
    }
    if (flags & FlagWait) Wait(-1);
    return TRUE;
}

BOOL CStartProg::StartProgram(const char* program, DWORD flags, const char* argText) {
    SetProgram(program);
    if (argText && *argText) return Start(flags, "%s", argText);
    return Start(flags);
}

BOOL CStartProg::IsRunning() {
    CLock lock(&m_lock);
    if (!m_hProcess) return FALSE;
    if (WaitForSingleObject(m_hProcess, 0) == WAIT_TIMEOUT) return TRUE;
    DWORD code = 0;
    if (GetExitCodeProcess(m_hProcess, &code)) m_dwExitCode = code;
    CloseProcess();
    return FALSE;
}

BOOL CStartProg::Wait(int timeoutMs) {
    HANDLE h = DupProcess();
    if (!h) return TRUE;
    DWORD r = WaitForSingleObject(h, timeoutMs < 0 ? INFINITE : DWORD(timeoutMs));
    CloseHandle(h);
    if (r == WAIT_TIMEOUT) return FALSE;
    IsRunning();  // keeps the exit code and closes the handles
    return TRUE;
}

DWORD CStartProg::WaitForInputIdle(int timeoutMs) {
    HANDLE h = DupProcess();
    if (!h) return WAIT_FAILED;
    DWORD r = ::WaitForInputIdle(h, timeoutMs < 0 ? DWORD(MaxWindowWaitMs) : DWORD(timeoutMs));
    CloseHandle(h);
    return r;
}

HWND CStartProg::FindMainWindow(int timeoutMs) {
    DWORD pid = m_dwProcessId;
    if (!pid) return nullptr;
    if (WindowOfProcess(m_hMainWnd, pid) && IsWindowVisible(m_hMainWnd)) return m_hMainWnd;
    HANDLE h = DupProcess();
    if (!h) {
        m_hMainWnd = nullptr;
        return nullptr;
    }
    DWORD limit = timeoutMs < 0 ? DWORD(MaxWindowWaitMs) : DWORD(timeoutMs);
    DWORD start = GetTickCount();
    FindWindowState st = {pid, nullptr, nullptr};
    for (;;) {
        st.visible = st.hidden = nullptr;
        EnumWindows(FindWindowProc, reinterpret_cast<LPARAM>(&st));
        if (st.visible) break;
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= limit) break;
        DWORD step = limit - elapsed < 100 ? limit - elapsed : 100;
        if (WaitForSingleObject(h, step) != WAIT_TIMEOUT) {
            // The program ended: one last look.
            st.visible = st.hidden = nullptr;
            EnumWindows(FindWindowProc, reinterpret_cast<LPARAM>(&st));
            break;
        }
    }
    CloseHandle(h);
    m_hMainWnd = st.visible ? st.visible : st.hidden;
    return m_hMainWnd;
}

BOOL CStartProg::ActivateMainWindow() {
    HWND hwnd = FindMainWindow(-1);
    if (!hwnd) return FALSE;
    if (IsIconic(hwnd)) ShowWindow(hwnd, SW_RESTORE);
    SetForegroundWindow(hwnd);
    SetActiveWindow(hwnd);
    SetFocus(hwnd);
    return TRUE;
}

LRESULT CStartProg::SendToMainWindow(UINT message, WPARAM wParam, LPARAM lParam, int findTimeoutMs) {
    if (!IsRunning()) return 0;
    HWND hwnd = FindMainWindow(findTimeoutMs);
    if (!hwnd) return 0;
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(hwnd, message, wParam, lParam, SMTO_NORMAL | SMTO_ABORTIFHUNG, MaxWindowWaitMs, &result))
        return 0;
    return LRESULT(result);
}

BOOL CStartProg::Terminate(UINT exitCode) {
    CLock lock(&m_lock);
    if (!m_hProcess) return FALSE;
    BOOL ok = TerminateProcess(m_hProcess, exitCode);
    // A waiting thread holds a duplicate of the handle: closing ours is safe.
    WaitForSingleObject(m_hProcess, 5000);
    DWORD code = 0;
    if (GetExitCodeProcess(m_hProcess, &code)) m_dwExitCode = code;
    CloseProcess();
    return ok;
}
