// Benchmark (not a test): what a message to a framework window costs. Prints microseconds per
// message for a plain window, a framework window, a notification the parent reflects to its
// wrapped child, and a handle lookup. Usage: fw_msg_bench [count]
#include <windows.h>
#include <cstdio>
#include <cstdlib>
#include "framework/Framework.h"

namespace {

class CBenchWnd : public CWnd {
public:
  LRESULT OnPing(WPARAM w, LPARAM) { return (LRESULT)w + 1; }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CBenchWnd, CWnd)
  ON_MESSAGE(WM_APP, OnPing)
END_MESSAGE_MAP()

class CBenchChild : public CWnd {
public:
  long m_nSeen = 0;
  void OnReflected(NMHDR*, LRESULT* pResult) {
    ++m_nSeen;
    *pResult = 0;
  }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CBenchChild, CWnd)
  ON_NOTIFY_REFLECT(NM_CLICK, OnReflected)
END_MESSAGE_MAP()

double Now() {
  static LARGE_INTEGER f = [] {
    LARGE_INTEGER x;
    ::QueryPerformanceFrequency(&x);
    return x;
  }();
  LARGE_INTEGER c;
  ::QueryPerformanceCounter(&c);
  return (double)c.QuadPart / (double)f.QuadPart;
}

template <class F>
void Measure(const char* what, int n, F f) {
  double t0 = Now();
  for (int i = 0; i < n; ++i) f(i);
  double t = Now() - t0;
  std::printf("%-46s %8d x  %9.3f s  %8.3f us each\n", what, n, t, t * 1e6 / n);
}

}  // namespace

int main(int argc, char** argv) {
  int n = argc > 1 ? std::atoi(argv[1]) : 100000;
  if (n <= 0) n = 100000;
  HWND hPlain = ::CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  CBenchWnd wnd;
  if (!hPlain || !wnd.CreateEx(0, nullptr, "bench", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr)) {
    std::printf("cannot create the windows\n");
    return 1;
  }
  CBenchChild child;
  CRect rc(0, 0, 5, 5);
  if (!child.Create(nullptr, "", WS_VISIBLE, rc, &wnd, 100)) {
    std::printf("cannot create the child\n");
    return 1;
  }
  volatile LRESULT sink = 0;
  Measure("SendMessage to a plain window", n, [&](int i) { sink = ::SendMessageA(hPlain, WM_APP, i, 0); });
  Measure("SendMessage to a framework window", n, [&](int i) { sink = ::SendMessageA(wnd.m_hWnd, WM_APP, i, 0); });
  NMHDR nm = {child.m_hWnd, 100, (UINT)NM_CLICK};
  Measure("WM_NOTIFY reflected to a framework child", n,
          [&](int) { sink = ::SendMessageA(wnd.m_hWnd, WM_NOTIFY, 100, (LPARAM)&nm); });
  Measure("CWnd::FromHandlePermanent", n, [&](int) { sink = (LRESULT)CWnd::FromHandlePermanent(child.m_hWnd); });
  Measure("GetPropA (reference)", n, [&](int) { sink = (LRESULT)::GetPropA(wnd.m_hWnd, "VmFwWnd"); });
  Measure("IsWindow (reference)", n, [&](int) { sink = ::IsWindow(wnd.m_hWnd); });
  Measure("GetWindowThreadProcessId (reference)", n, [&](int) {
    DWORD pid = 0;
    sink = ::GetWindowThreadProcessId(wnd.m_hWnd, &pid);
  });
  Measure("GetWindowLongPtrA (reference)", n, [&](int) { sink = ::GetWindowLongPtrA(wnd.m_hWnd, GWLP_WNDPROC); });
  if (child.m_nSeen != n) {
    std::printf("reflection failed: %ld of %d\n", child.m_nSeen, n);
    return 1;
  }
  wnd.DestroyWindow();
  ::DestroyWindow(hPlain);
  return 0;
}
