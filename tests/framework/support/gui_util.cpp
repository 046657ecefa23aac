// Helpers for window tests.
#include "framework/support/gui_util.h"
#include <commctrl.h>
#include <map>

namespace fwtest {

namespace {
std::map<UINT_PTR, std::function<void()>>& Pending() {
  static std::map<UINT_PTR, std::function<void()>> m;
  return m;
}

void CALLBACK LaterProc(HWND, UINT, UINT_PTR id, DWORD) {
  ::KillTimer(nullptr, id);
  auto it = Pending().find(id);
  if (it == Pending().end()) return;
  std::function<void()> fn = std::move(it->second);
  Pending().erase(it);
  fn();
}

struct FindCtx {
  HWND result;
  HWND exclude;
};

BOOL CALLBACK FindDlgProc(HWND h, LPARAM lp) {
  FindCtx* ctx = reinterpret_cast<FindCtx*>(lp);
  char cls[32] = "";
  ::GetClassNameA(h, cls, sizeof cls);
  if (h != ctx->exclude && lstrcmpA(cls, "#32770") == 0 && ::IsWindowVisible(h)) {
    ctx->result = h;
    return FALSE;
  }
  return TRUE;
}
}  // namespace

void PumpFor(int ms) {
  DWORD end = ::GetTickCount() + ms;
  do {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) continue;
      ::TranslateMessage(&msg);
      ::DispatchMessageA(&msg);
    }
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  } while ((int)(end - ::GetTickCount()) > 0);
}

bool PumpUntil(const std::function<bool()>& pred, int timeoutMs) {
  DWORD end = ::GetTickCount() + timeoutMs;
  while (!pred()) {
    if ((int)(end - ::GetTickCount()) <= 0) return pred();
    PumpFor(10);
  }
  return true;
}

void RunLater(int ms, std::function<void()> fn) {
  UINT_PTR id = ::SetTimer(nullptr, 0, ms, LaterProc);
  Pending()[id] = std::move(fn);
}

HWND FindThreadDialog(HWND hExclude) {
  FindCtx ctx = {nullptr, hExclude};
  ::EnumThreadWindows(::GetCurrentThreadId(), FindDlgProc, reinterpret_cast<LPARAM>(&ctx));
  return ctx.result;
}

BOOL CALLBACK FindBoxProc(HWND h, LPARAM lp) {
  char cls[32] = "";
  ::GetClassNameA(h, cls, sizeof cls);
  if (lstrcmpA(cls, "#32770") == 0 && ::IsWindowVisible(h) && ::GetDlgItem(h, 0xFFFF)) {
    *reinterpret_cast<HWND*>(lp) = h;
    return FALSE;
  }
  return TRUE;
}

HWND FindMessageBox() {
  HWND result = nullptr;
  ::EnumThreadWindows(::GetCurrentThreadId(), FindBoxProc, reinterpret_cast<LPARAM>(&result));
  return result;
}

void WhenFound(std::function<HWND()> find, std::function<void(HWND)> fn, int timeoutMs) {
  if (HWND h = find()) {
    fn(h);
    return;
  }
  if (timeoutMs <= 0) return;
  RunLater(20, [find, fn, timeoutMs] { WhenFound(find, fn, timeoutMs - 20); });
}

std::string WindowText(HWND h) {
  char buf[1024] = "";
  ::GetWindowTextA(h, buf, sizeof buf);
  return buf;
}

std::string MessageBoxText(HWND hBox) {
  // The message text is the static with id 0xFFFF.
  return WindowText(::GetDlgItem(hBox, 0xFFFF));
}

void DrainQuit() {
  MSG msg;
  while (::PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
  }
}

void InitControls() {
  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
  ::InitCommonControlsEx(&icc);
}

}  // namespace fwtest
