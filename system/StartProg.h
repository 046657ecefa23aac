// CStartProg: starts one program with arguments, working folder, window state and optional
// waiting, hands it a text on its standard input, and finds and talks to its main window.
#pragma once

#include <windows.h>

#include <utility>
#include <vector>

#include "framework/String.h"

// One argument as the C runtime and CommandLineToArgvW read it back unchanged: an empty one or
// one with blanks, tabs, line ends, double quotes or one of cmd.exe's & | < > ^ is quoted and
// escaped (length -1: up to the NUL).
CString QuoteCommandArg(const char* text, int length = -1);

class CStartProg {
public:
    enum : int {
        MaxArgs = 32,
        PipeAnonymous = 4,          // CreateStdinPipe: an anonymous pipe (the only kind)
        MaxWindowWaitMs = 30000,    // cap of FindMainWindow(-1) and WaitForInputIdle(-1)
    };
    static const DWORD FlagWait = 0x80000000u;  // Start: wait for the program's end

    CStartProg();
    // Closes the runner's handles and pipes; the program goes on running.
    ~CStartProg();
    CStartProg(const CStartProg&) = delete;
    CStartProg& operator=(const CStartProg&) = delete;

    // Forgets program, arguments, folder, show state, pipe and the last process (which goes on
    // running) before a new start.
    void Reset();

    // The program to start. A leading '#': relative to the running program's folder; '*':
    // searched in the program's folder and on PATH with the suffixes "exe;bat;com"; '?': the
    // rest as given; otherwise the path as given. True when the resulting file exists (the
    // path is kept either way; a '*' name that is not found stays bare).
    BOOL SetProgram(const char* path);
    const char* GetProgram() const { return m_program; }

    // Appends one argument (length -1: up to its NUL). It reaches the child's argv unchanged,
    // through a batch file's %* too: an argument is quoted and escaped as QuoteCommandArg
    // says. For a batch file every argument goes in double quotes with each '"' written as
    // '""' (as the C runtime reads it; the interpreter then never sees a character of it
    // outside quotes), one holding '%' through a variable of the interpreter's environment
    // (so no name in it is expanded), and one holding CR or LF, which would end the
    // interpreter's line, makes Start fail. False when MaxArgs arguments are there already.
    BOOL AddArg(const char* text, int length = -1);
    // Splits a command-line text at blanks and tabs (double quotes group, a quote after an odd
    // number of backslashes does not) and appends the pieces as they are written, quotes
    // included. When the argument slots run out, the last one takes the rest of the text.
    // Returns the number of pieces appended.
    int AddArgs(const char* text, int length = -1);
    int GetArgCount() const { return m_nArgs; }

    // Gives the next started program the variable name=value (code page 1252) in addition to
    // this process's environment (replacing one of the same name). False for an empty name or
    // one holding '='.
    BOOL SetEnv(const char* name, const char* value);

    // The working folder (null or "": the caller's).
    void SetWorkingDir(const char* folder);
    // The STARTUPINFO show state (SW_...); -1 leaves it to the program.
    void SetShowWindow(int show);

    // Gives the next started program an anonymous pipe as its standard input. *pWrite gets
    // the write end, which the caller owns: it writes the text and closes the handle, and the
    // child then sees the end of its input (the write end is never inherited). *pChildEnd
    // (when given) shows the child's end, which the runner owns and closes after the start.
    // flags must be PipeAnonymous; bufferSize 0 takes the system's default. False on failure.
    // Start such a program without FlagWait, write and close, then Wait: waiting first would
    // leave a reading child and this thread waiting for each other.
    BOOL CreateStdinPipe(HANDLE* pWrite, int flags = PipeAnonymous, HANDLE* pChildEnd = nullptr, DWORD bufferSize = 0);

    // Starts the program with the arguments added so far, followed by the text that format
    // and its arguments give (taken as written, not quoted; null: none). With FlagWait it
    // waits for the end (without a limit: cancel by Terminate from another thread) and keeps
    // the exit code. A batch file (.bat, .cmd) runs through the command interpreter.
    // The interpreter runs with delayed expansion off ("/v:off"), whatever the registry says.
    // Nonzero on success; 0 when the program cannot be started or a batch file's argument
    // cannot be passed (last error ERROR_INVALID_PARAMETER); nothing runs then.
    BOOL Start(DWORD flags, const char* format = nullptr, ...);
    // SetProgram(program), then Start(flags) with argText appended as written.
    BOOL StartProgram(const char* program, DWORD flags, const char* argText = nullptr);
    // The command line of the last start (for messages).
    const char* GetCommandLine() const { return m_cmdLine; }

    // Nonzero while the last started program runs; once it has ended, its exit code is kept
    // and its handles are closed.
    BOOL IsRunning();
    // Waits for the program's end (timeoutMs -1: no limit) and keeps its exit code. True when
    // it has ended (or nothing runs), false on time-out.
    BOOL Wait(int timeoutMs = -1);
    // Waits until the program waits for input (timeoutMs -1: at most MaxWindowWaitMs).
    // Returns the result of the system's WaitForInputIdle (0 idle, WAIT_TIMEOUT, WAIT_FAILED
    // for console programs and when nothing runs).
    DWORD WaitForInputIdle(int timeoutMs = -1);
    // Exit code of the last program that ended; STILL_ACTIVE while it runs, 0xFFFFFFFF when
    // none was started.
    DWORD GetExitCode() const { return m_dwExitCode; }
    DWORD GetProcessId() const { return m_dwProcessId; }

    // The program's main window: its first top-level window that is not owned by another
    // window and is no input-method ("IME", "MSCTFIME UI") or tooltip window, visible ones
    // first (a hidden one only when no visible one appeared in time). Polls every 100 ms
    // while the program runs: timeoutMs 0 looks once, -1 waits as long as the program runs
    // but at most MaxWindowWaitMs. The window is kept for later calls while it lives.
    // Null when there is none.
    HWND FindMainWindow(int timeoutMs);
    // Brings the main window to the front (restoring it when minimised). False without one.
    BOOL ActivateMainWindow();
    // Sends a message to the main window (found within findTimeoutMs, see FindMainWindow).
    // 0 when the program does not run or has no window; else the window's answer. A window
    // that does not answer within MaxWindowWaitMs gives 0.
    LRESULT SendToMainWindow(UINT message, WPARAM wParam, LPARAM lParam, int findTimeoutMs = -1);

    // Ends the program with the exit code and closes its handles (safe while another thread
    // waits in Wait or Start). False when nothing runs.
    BOOL Terminate(UINT exitCode);

private:
    void CloseProcess();            // under the lock
    HANDLE DupProcess();            // a duplicate of the process handle, or null
    bool AppendArg(const CString& encoded);

    CString m_program;
    CString m_args[MaxArgs];        // each as it goes onto the command line
    CString m_raw[MaxArgs];         // an AddArg argument as given
    bool m_bRaw[MaxArgs];           // m_raw holds it (AddArgs pieces go on as written)
    int m_nArgs;
    std::vector<std::pair<CString, CString>> m_env;   // SetEnv variables
    CString m_workDir;
    CString m_cmdLine;
    int m_nShow;
    HANDLE m_hChildStdin;           // the child's end of the stdin pipe until the start
    HANDLE m_hProcess;
    DWORD m_dwProcessId;
    DWORD m_dwExitCode;
    HWND m_hMainWnd;
    CRITICAL_SECTION m_lock;        // guards the process handle between threads
};
