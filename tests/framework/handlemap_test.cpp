// Which wrapper a window handle leads to: wrappers are found from any thread, leave with their
// windows, and a window that ended unseen (attached only, or ended with its thread) does not
// lend its wrapper to a later window that gets the same handle value.
#include <gtest/gtest.h>
#include <memory>
#include <vector>
#include "framework/Framework.h"

namespace {

const UINT WM_PROBE = WM_APP + 1;

// Answers WM_PROBE with its own address.
class CProbeWnd : public CWnd {
public:
  LRESULT OnProbe(WPARAM, LPARAM) { return (LRESULT)this; }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CProbeWnd, CWnd)
  ON_MESSAGE(WM_PROBE, OnProbe)
END_MESSAGE_MAP()

// A message-only window: no display window behind it, so making many is cheap.
HWND RawWindow() {
  return ::CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 1, 1, HWND_MESSAGE, nullptr, nullptr, nullptr);
}

// A window with the handle value of hDead, a window that no longer exists, or NULL. A handle
// is a slot and a 16-bit generation that grows (1..0xFFFE) each time the slot is handed out,
// and freed slots are handed out last-freed first: cycling menus (cheap user objects) through
// the slot brings the old value round again. Other programs share the slots: the slots they
// free in between are held for a while, and a lap they spoil is followed by another.
HWND RecreateHandle(HWND hDead) {
  const UINT_PTR dead = (UINT_PTR)hDead;
  std::vector<HMENU> held;
  HWND hNew = nullptr;
  for (int i = 0; i < 3 * 0xFFFF && !hNew; ++i) {
    HMENU m = ::CreateMenu();
    if (!m) break;
    UINT_PTR v = (UINT_PTR)m;
    if (LOWORD(v) != LOWORD(dead)) {
      // Slots freed after ours come first; many of them mean another program took ours.
      held.push_back(m);
      if (held.size() >= 256) {
        for (HMENU x : held) ::DestroyMenu(x);
        held.clear();
      }
      continue;
    }
    ::DestroyMenu(m);
    UINT next = HIWORD(v) + 1;
    if (next >= 0xFFFF) next = 1;
    if (next != HIWORD(dead)) continue;
    HWND h = RawWindow();
    if (h == hDead)
      hNew = h;
    else if (h)
      ::DestroyWindow(h);
  }
  for (HMENU m : held) ::DestroyMenu(m);
  return hNew;
}

LRESULT Probe(HWND h) { return ::SendMessageA(h, WM_PROBE, 0, 0); }

// Runs fn on a thread of its own and waits for it to end.
template <class F>
bool RunOnThread(F fn) {
  struct Call {
    static DWORD WINAPI Run(LPVOID p) {
      (*static_cast<F*>(p))();
      return 0;
    }
  };
  HANDLE t = ::CreateThread(nullptr, 0, &Call::Run, &fn, 0, nullptr);
  if (!t) return false;
  ::WaitForSingleObject(t, INFINITE);
  ::CloseHandle(t);
  return true;
}

}  // namespace

TEST(HandleMap, WrappersAreFoundFromEveryThreadAndLeaveWithTheirWindows) {
  // Windows come and go in between, so stale entries would pile up and collide.
  std::vector<std::unique_ptr<CProbeWnd>> live;
  std::vector<HWND> gone;
  for (int i = 0; i < 60; ++i) {
    auto w = std::make_unique<CProbeWnd>();
    ASSERT_TRUE(w->CreateEx(0, nullptr, "p", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr));
    if (i % 3 == 0) {
      HWND h = w->m_hWnd;
      ASSERT_TRUE(w->DestroyWindow());
      EXPECT_EQ(w->m_hWnd, nullptr);
      gone.push_back(h);
    } else {
      live.push_back(std::move(w));
    }
  }
  for (auto& w : live) {
    EXPECT_EQ(CWnd::FromHandlePermanent(w->m_hWnd), w.get());
    EXPECT_EQ(Probe(w->m_hWnd), (LRESULT)w.get());
  }
  for (HWND h : gone) EXPECT_EQ(CWnd::FromHandlePermanent(h), nullptr);

  // A worker finds the interface thread's wrappers, and finds nothing for foreign handles.
  std::vector<CWnd*> found;
  CWnd* foreign = reinterpret_cast<CWnd*>(1);
  ASSERT_TRUE(RunOnThread([&] {
    for (auto& w : live) found.push_back(CWnd::FromHandlePermanent(w->m_hWnd));
    foreign = CWnd::FromHandlePermanent(::GetDesktopWindow());
  }));
  ASSERT_EQ(found.size(), live.size());
  for (size_t i = 0; i < live.size(); ++i) EXPECT_EQ(found[i], live[i].get());
  EXPECT_EQ(foreign, nullptr);

  // Destroying a wrapper destroys its window and forgets it.
  HWND h = live[0]->m_hWnd;
  live[0].reset();
  EXPECT_FALSE(::IsWindow(h));
  EXPECT_EQ(CWnd::FromHandlePermanent(h), nullptr);
}

TEST(HandleMap, DetachedAndUnsubclassedWindowsCanBeTakenAgain) {
  HWND h = RawWindow();
  ASSERT_NE(h, nullptr);
  CProbeWnd a, b;
  ASSERT_TRUE(a.SubclassWindow(h));
  EXPECT_FALSE(b.Attach(h));
  EXPECT_FALSE(b.SubclassWindow(h));
  EXPECT_EQ(Probe(h), (LRESULT)&a);
  EXPECT_EQ(a.UnsubclassWindow(), h);
  EXPECT_EQ(Probe(h), 0);
  ASSERT_TRUE(b.Attach(h));
  EXPECT_EQ(CWnd::FromHandlePermanent(h), &b);
  EXPECT_FALSE(a.SubclassWindow(h));
  EXPECT_EQ(Probe(h), 0);  // attached only: no messages reach the map
  EXPECT_EQ(b.Detach(), h);
  EXPECT_EQ(CWnd::FromHandlePermanent(h), nullptr);
  ASSERT_TRUE(a.SubclassWindow(h));
  EXPECT_EQ(Probe(h), (LRESULT)&a);
  ::DestroyWindow(h);
  EXPECT_EQ(a.m_hWnd, nullptr);
  EXPECT_EQ(CWnd::FromHandlePermanent(h), nullptr);
}

TEST(HandleMap, AttachedWindowThatEndedUnseenDoesNotLendItsWrapperToItsHandle) {
  HWND h = RawWindow();
  ASSERT_NE(h, nullptr);
  auto a = std::make_unique<CProbeWnd>();
  ASSERT_TRUE(a->Attach(h));
  ASSERT_EQ(CWnd::FromHandlePermanent(h), a.get());
  ::DestroyWindow(h);  // the wrapper only holds the handle: it is not told
  ASSERT_EQ(a->m_hWnd, h);

  ASSERT_EQ(RecreateHandle(h), h) << "the handle value did not come round again";
  EXPECT_EQ(CWnd::FromHandlePermanent(h), nullptr);
  CWnd* temp = CWnd::FromHandle(h);
  EXPECT_NE(temp, a.get());
  CProbeWnd b;
  ASSERT_TRUE(b.SubclassWindow(h));
  EXPECT_EQ(CWnd::FromHandlePermanent(h), &b);
  EXPECT_EQ(Probe(h), (LRESULT)&b);
  // The old wrapper ends without touching the new window.
  a.reset();
  EXPECT_TRUE(::IsWindow(h));
  EXPECT_EQ(CWnd::FromHandlePermanent(h), &b);
  EXPECT_EQ(Probe(h), (LRESULT)&b);
  ASSERT_TRUE(b.DestroyWindow());
  EXPECT_EQ(CWnd::FromHandlePermanent(h), nullptr);
  CWnd::DeleteTempMap();
}

TEST(HandleMap, WindowThatEndedWithItsThreadDoesNotLendItsWrapperToItsHandle) {
  // The system destroys a thread's windows when it ends, without WM_NCDESTROY.
  auto old = std::make_unique<CProbeWnd>();
  HWND h = nullptr;
  ASSERT_TRUE(RunOnThread([&] {
    if (old->CreateEx(0, nullptr, "t", WS_CHILD, 0, 0, 1, 1, HWND_MESSAGE, nullptr)) h = old->m_hWnd;
  }));
  ASSERT_NE(h, nullptr);
  ASSERT_EQ(old->m_hWnd, h);

  ASSERT_EQ(RecreateHandle(h), h) << "the handle value did not come round again";
  EXPECT_EQ(CWnd::FromHandlePermanent(h), nullptr);
  CProbeWnd b;
  ASSERT_TRUE(b.SubclassWindow(h));
  EXPECT_EQ(Probe(h), (LRESULT)&b);
  old.reset();
  EXPECT_TRUE(::IsWindow(h));
  EXPECT_EQ(CWnd::FromHandlePermanent(h), &b);
  ASSERT_TRUE(b.DestroyWindow());
}
