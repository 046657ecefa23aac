// Stand-in child for the process-runner tests. Controlled by environment variables:
//   VMSTUB_OUT     file that receives a report of what the program got
//   VMSTUB_STDIN   1: read the standard input to its end and report it
//   VMSTUB_SLEEP   milliseconds to wait before exiting
//   VMSTUB_WINDOW  a title: show a top-level window with it (plus a hidden one) and run a
//                  message loop until VMSTUB_SLEEP ends or the window is closed
//   VMSTUB_EXIT    exit code
// Report: one record per line, "<tag> <length>:<bytes>"; tags w (argument of
// CommandLineToArgvW, UTF-8), a (argv entry, ANSI), i (the standard input), c (command line).
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string Env(const char* name) {
    char buf[1024];
    DWORD n = GetEnvironmentVariableA(name, buf, sizeof buf);
    return (n && n < sizeof buf) ? std::string(buf, n) : std::string();
}

void Record(std::string& out, char tag, const std::string& bytes) {
    out += tag;
    out += ' ';
    out += std::to_string(bytes.size());
    out += ':';
    out += bytes;
    out += '\n';
}

std::string ToUtf8(const wchar_t* w) {
    int n = WideCharToMultiByte(CP_UTF8, 0, w, -1, nullptr, 0, nullptr, nullptr);
    std::string s(size_t(n > 0 ? n - 1 : 0), '\0');
    if (n > 1) WideCharToMultiByte(CP_UTF8, 0, w, -1, &s[0], n, nullptr, nullptr);
    return s;
}

LRESULT CALLBACK StubProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_DESTROY) PostQuitMessage(0);
    if (msg == WM_APP + 7) return LRESULT(wp + lp);  // answers the message test
    return DefWindowProcA(hwnd, msg, wp, lp);
}

}  // namespace

int main(int argc, char** argv) {
    std::string report;
    Record(report, 'c', ToUtf8(GetCommandLineW()));
    int wargc = 0;
    LPWSTR* wargv = CommandLineToArgvW(GetCommandLineW(), &wargc);
    for (int i = 1; i < wargc; ++i) Record(report, 'w', ToUtf8(wargv[i]));
    LocalFree(wargv);
    for (int i = 1; i < argc; ++i) Record(report, 'a', argv[i]);
    if (Env("VMSTUB_STDIN") == "1") {
        std::string in;
        char buf[4096];
        DWORD got = 0;
        HANDLE h = GetStdHandle(STD_INPUT_HANDLE);
        while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got) in.append(buf, got);
        Record(report, 'i', in);
    }
    std::string out = Env("VMSTUB_OUT");
    if (!out.empty()) {
        HANDLE f = CreateFileA(out.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD put = 0;
        if (f != INVALID_HANDLE_VALUE) {
            WriteFile(f, report.data(), DWORD(report.size()), &put, nullptr);
            CloseHandle(f);
        }
    }
    int sleepMs = atoi(Env("VMSTUB_SLEEP").c_str());
    std::string title = Env("VMSTUB_WINDOW");
    if (!title.empty()) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = StubProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "VmStubWindow";
        RegisterClassA(&wc);
        // A hidden helper first, so that the visible one must be preferred.
        CreateWindowA("VmStubWindow", "hidden helper", WS_OVERLAPPEDWINDOW, 0, 0, 50, 50, nullptr, nullptr,
                      wc.hInstance, nullptr);
        HWND main = CreateWindowA("VmStubWindow", title.c_str(), WS_OVERLAPPEDWINDOW, 10, 10, 200, 100, nullptr,
                                  nullptr, wc.hInstance, nullptr);
        ShowWindow(main, SW_SHOWNORMAL);
        SetTimer(main, 1, sleepMs > 0 ? UINT(sleepMs) : 10000, nullptr);
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
            if (msg.message == WM_TIMER && msg.hwnd == main) break;
            DispatchMessageA(&msg);
        }
    } else if (sleepMs > 0) {
        Sleep(DWORD(sleepMs));
    }
    return atoi(Env("VMSTUB_EXIT").c_str());
}
