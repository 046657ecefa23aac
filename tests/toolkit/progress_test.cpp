// The progress dialog: a job on a worker thread with 64-bit progress and text lines set from
// that thread, timer and cancel callbacks on the dialog's thread, questions asked on the
// dialog's thread, cancel, and waiting for the worker before the object goes.
#include <gtest/gtest.h>
#include <atomic>
#include <string>
#include "framework/support/gui_util.h"
#include "toolkit/ProgressDlg.h"

namespace {

CWinApp theApp("FwProgressTest");

const UINT IDC_LINE0 = 1100, IDC_BAR = 1110;

struct Counters {
  std::atomic<int> ticks{0};
  std::atomic<int> cancels{0};
  std::atomic<bool> jobEnded{false};
  std::atomic<bool> sawCancel{false};
  std::atomic<bool> seen{false};  // the test has read the open dialog
  DWORD tickThread = 0;
  DWORD jobThread = 0;
};

int CountingJob(CProgressDlg* dlg) {
  Counters* c = reinterpret_cast<Counters*>(dlg->m_dwUser[0]);
  c->jobThread = ::GetCurrentThreadId();
  dlg->SetRange64(1000);
  for (int i = 1; i <= 1000; ++i) {
    dlg->SetPos64(i);
    if (i % 10 == 0) {
      char buf[64];
      wsprintfA(buf, "Schritt %d von 1000", i);
      dlg->SetLineText(1, buf);
    }
    if (i % 100 == 0) ::Sleep(20);
  }
  // A loaded machine may be slow to show the dialog: end only once it was seen and ticked.
  for (int waited = 0; waited < 10000 && !(c->seen && c->ticks > 0); waited += 10) ::Sleep(10);
  c->jobEnded = true;
  return (int)dlg->m_dwUser[1];
}

void Tick(CProgressDlg*, void* arg) {
  Counters* c = static_cast<Counters*>(arg);
  ++c->ticks;
  c->tickThread = ::GetCurrentThreadId();
}

void OnCancelCb(CProgressDlg* dlg, void* arg) { ++static_cast<Counters*>(arg)->cancels; }

int UntilCancelled(CProgressDlg* dlg) {
  Counters* c = reinterpret_cast<Counters*>(dlg->m_dwUser[0]);
  DWORD end = ::GetTickCount() + 10000;
  while (!dlg->m_bCancel && (int)(end - ::GetTickCount()) > 0) ::Sleep(10);
  c->sawCancel = dlg->m_bCancel != 0;
  ::Sleep(100);  // a job that takes a moment to wind down
  c->jobEnded = true;
  return 7;
}

int AskingJob(CProgressDlg* dlg) {
  Counters* c = reinterpret_cast<Counters*>(dlg->m_dwUser[0]);
  int answer = dlg->MessageBox("Datei ist schreibgeschützt.\nTrotzdem ändern ?", "Frage", MB_YESNOCANCEL | MB_ICONQUESTION);
  c->jobEnded = true;
  return answer;
}

class ProgressTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() { fwtest::InitControls(); }
  Counters c;
};

TEST_F(ProgressTest, RunsTheJobOnAWorkerAndShowsItsProgress) {
  CProgressDlg dlg;
  dlg.SetTitle("Textsuche");
  dlg.SetJob(CountingJob, (DWORD_PTR)&c, 42);
  dlg.SetThreadPriority(-2);
  dlg.SetTimerCallback(Tick, 30, &c);
  dlg.SetLineCount(2);
  dlg.SetLineText(0, "Suche in :  C:\\x");
  std::string caption;
  fwtest::WhenFound([] { return fwtest::FindThreadDialog(); }, [&](HWND h) {
    caption = fwtest::WindowText(h);
    c.seen = true;
  });
  EXPECT_EQ(dlg.DoModal(), IDOK);
  EXPECT_EQ(dlg.m_nJobResult, 42);
  EXPECT_TRUE(c.jobEnded);
  EXPECT_EQ(caption, "Textsuche");
  EXPECT_GE(c.ticks.load(), 1);
  EXPECT_EQ(c.tickThread, ::GetCurrentThreadId());
  EXPECT_NE(c.jobThread, ::GetCurrentThreadId());
  EXPECT_EQ(dlg.GetPos64(), 1000u);
  EXPECT_STREQ(dlg.GetLineText(1), "Schritt 1000 von 1000");
  EXPECT_FALSE(dlg.IsRunning());
}

TEST_F(ProgressTest, CancelSetsTheFlagCallsBackOnceAndWaitsForTheJob) {
  CProgressDlg dlg;
  dlg.SetJob(UntilCancelled, (DWORD_PTR)&c);
  dlg.SetCancelCallback(OnCancelCb, &c);
  bool openAfterCancel = false, buttonDisabled = false;
  fwtest::WhenFound([] { return fwtest::FindThreadDialog(); }, [&](HWND h) {
    ::Sleep(100);
    ::SendMessageA(h, WM_COMMAND, IDCANCEL, 0);
    ::SendMessageA(h, WM_CLOSE, 0, 0);  // a second cancel calls nothing more
    openAfterCancel = ::IsWindow(h) != FALSE;
    buttonDisabled = !::IsWindowEnabled(::GetDlgItem(h, IDCANCEL));
  });
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_TRUE(c.sawCancel);
  EXPECT_TRUE(c.jobEnded);
  EXPECT_EQ(c.cancels.load(), 1);
  EXPECT_TRUE(openAfterCancel);
  EXPECT_TRUE(buttonDisabled);
  EXPECT_EQ(dlg.m_nJobResult, 7);
}

TEST_F(ProgressTest, QuestionsFromTheJobAreAskedOnTheDialogsThread) {
  CProgressDlg dlg;
  dlg.SetJob(AskingJob, (DWORD_PTR)&c);
  std::string text, caption;
  HWND owner = nullptr, progress = nullptr;
  fwtest::WhenFound(fwtest::FindMessageBox, [&](HWND box) {
    progress = dlg.m_hWnd;
    text = fwtest::MessageBoxText(box);
    caption = fwtest::WindowText(box);
    owner = ::GetWindow(box, GW_OWNER);
    ::PostMessageA(box, WM_COMMAND, IDNO, 0);
  });
  EXPECT_EQ(dlg.DoModal(), IDOK);
  EXPECT_EQ(dlg.m_nJobResult, IDNO);
  EXPECT_EQ(text, "Datei ist schreibgeschützt.\nTrotzdem ändern ?");
  EXPECT_EQ(caption, "Frage");
  EXPECT_EQ(owner, progress);
  EXPECT_NE(owner, nullptr);
  EXPECT_EQ(fwtest::FindMessageBox(), nullptr);
}

TEST_F(ProgressTest, WaitsForTheWorkerWhenItsWindowGoesEarly) {
  CWnd parent;
  ASSERT_TRUE(parent.CreateEx(0, nullptr, "Haupt", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr));
  {
    CProgressDlg dlg(&parent);
    dlg.SetJob(UntilCancelled, (DWORD_PTR)&c);
    // The owner disappears while the job runs: the dialog goes with it.
    fwtest::RunLater(100, [&] { parent.DestroyWindow(); });
    dlg.DoModal();
    EXPECT_TRUE(c.jobEnded);  // DoModal returned only after the worker
    EXPECT_TRUE(c.sawCancel);
  }
}

TEST_F(ProgressTest, LinesBarsMarqueeAndCompactPaths) {
  CProgressDlg dlg;
  dlg.SetJob([](CProgressDlg* d) -> int {
    d->SetRange64(1000000000000ULL);
    d->SetPos64(500000000000ULL);
    d->SetLineTextCompact(0, "Suche in :  ",
                          "C:\\ein\\sehr\\langer\\Pfad\\mit\\vielen\\Ordnern\\darin\\und\\noch\\mehr\\Ordnern\\"
                          "bis\\zum\\Ende\\der\\Zeile\\datei.txt",
                          2, '@');
    ::Sleep(1000);  // long enough to be shown
    return 0;
  });
  dlg.SetLineCount(3);
  std::string line0;
  int pos = -1, hi = -1, lines = 0;
  bool marquee = false;
  fwtest::WhenFound([] { return fwtest::FindThreadDialog(); }, [&](HWND h) {
    fwtest::PumpFor(150);
    line0 = fwtest::WindowText(::GetDlgItem(h, IDC_LINE0));
    HWND bar = ::GetDlgItem(h, IDC_BAR);
    pos = (int)::SendMessageA(bar, PBM_GETPOS, 0, 0);
    hi = (int)::SendMessageA(bar, PBM_GETRANGE, FALSE, 0);
    for (int i = 0; i < 4; ++i) lines += ::GetDlgItem(h, IDC_LINE0 + i) != nullptr;
    dlg.SetMarquee(200);
    fwtest::PumpFor(50);
    marquee = (::GetWindowLongA(bar, GWL_STYLE) & PBS_MARQUEE) != 0;
  });
  EXPECT_EQ(dlg.DoModal(), IDOK);
  EXPECT_EQ(lines, 3);
  EXPECT_TRUE(marquee);
  ASSERT_GT(hi, 0);
  EXPECT_NEAR((double)pos / hi, 0.5, 0.001);
  EXPECT_EQ(line0.rfind("Suche in :  C:\\...\\", 0), 0u) << line0;
  EXPECT_NE(line0.find("\\datei.txt"), std::string::npos) << line0;
  EXPECT_LT(line0.size(), 120u);
}

// Texts shown on line 0 (counted through a subclass of the static).
struct ShownTexts {
  static ShownTexts* self;
  WNDPROC old = nullptr;
  int sets = 0;
  std::string last;
  static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_SETTEXT) {
      ++self->sets;
      self->last = reinterpret_cast<const char*>(l);
    }
    return ::CallWindowProcA(self->old, h, m, w, l);
  }
};
ShownTexts* ShownTexts::self = nullptr;

struct Burst {
  std::atomic<bool> seen{false};
  std::atomic<DWORD> ms{0};   // how long the job changed its text
};

// A burst of texts while the window shows, a pause, then the last text as the job returns.
int BurstJob(CProgressDlg* dlg) {
  Burst* b = reinterpret_cast<Burst*>(dlg->m_dwUser[0]);
  for (int waited = 0; waited < 10000 && !b->seen; waited += 10) ::Sleep(10);
  DWORD start = ::GetTickCount();
  dlg->SetRange64(20000);
  for (int i = 1; i <= 20000; ++i) {
    char text[32];
    wsprintfA(text, "Datei %d", i);
    dlg->SetLineText(0, text);
    dlg->SetPos64(i);
    if (i % 2000 == 0) ::Sleep(10);
  }
  b->ms = ::GetTickCount() - start;
  ::Sleep(300);  // nothing changes: nothing is drawn
  dlg->SetLineText(0, "Fertig");
  return 0;
}

TEST_F(ProgressTest, TheWindowTakesUpTheLatestTextOnItsTimerAndTheLastOneAtTheEnd) {
  CProgressDlg dlg;
  Burst b;
  ShownTexts shown;
  ShownTexts::self = &shown;
  dlg.SetJob(BurstJob, (DWORD_PTR)&b);
  fwtest::WhenFound([] { return fwtest::FindThreadDialog(); }, [&](HWND h) {
    HWND line = ::GetDlgItem(h, IDC_LINE0);
    shown.old = (WNDPROC)::SetWindowLongPtrA(line, GWLP_WNDPROC, (LONG_PTR)ShownTexts::Proc);
    b.seen = true;
  });
  EXPECT_EQ(dlg.DoModal(), IDOK);
  EXPECT_EQ(shown.last, "Fertig");
  EXPECT_STREQ(dlg.GetLineText(0), "Fertig");
  // At most one text per timer tick while the texts changed, one tick after, and the last one.
  EXPECT_LE(shown.sets, int(b.ms / CProgressDlg::UpdateMs) + 4) << b.ms << " ms";
}

TEST_F(ProgressTest, OnlyAJobThatTakesAWhileShowsItsWindowAndFocusComesBack) {
  CWnd owner;
  ASSERT_TRUE(owner.CreateEx(0, nullptr, "Haupt", WS_POPUP | WS_VISIBLE, 0, 0, 300, 200, nullptr, nullptr));
  HWND edit = ::CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE, 0, 0, 100, 20, owner.m_hWnd, nullptr, nullptr, nullptr);
  ::SetForegroundWindow(owner.m_hWnd);
  ::SetFocus(edit);
  struct Case {
    CProgressDlg::JobFn job;
    INT_PTR result;
    int jobResult;
    bool shown;
  } cases[] = {
      {[](CProgressDlg* d) -> int { return ::IsWindowVisible(d->m_hWnd) || ::IsWindowEnabled(::GetParent(d->m_hWnd)) ? 1 : 5; },
       IDOK, 5, false},
      {UntilCancelled, IDCANCEL, 7, true},
  };
  for (const Case& k : cases) {
    CProgressDlg dlg(&owner);
    dlg.SetJob(k.job, (DWORD_PTR)&c);
    bool shown = false, cancelFocused = false;
    DWORD start = ::GetTickCount(), shownAfter = 0;
    fwtest::WhenFound([] { return fwtest::FindThreadDialog(); }, [&](HWND h) {
      shown = true;
      shownAfter = ::GetTickCount() - start;
      cancelFocused = ::GetFocus() == ::GetDlgItem(h, IDCANCEL);
      ::PostMessageA(::GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0);
    }, 1500);
    EXPECT_EQ(dlg.DoModal(), k.result);
    EXPECT_EQ(dlg.m_nJobResult, k.jobResult);
    EXPECT_EQ(shown, k.shown);
    if (shown) {
      EXPECT_GE(shownAfter + 20, (DWORD)CProgressDlg::ShowDelayMs);
    }
    EXPECT_EQ(cancelFocused, k.shown);
    EXPECT_TRUE(owner.IsWindowEnabled());
    EXPECT_EQ(::GetFocus(), edit);
    fwtest::PumpFor(k.shown ? 0 : 1500);  // the poll ends before the next case
  }
  owner.DestroyWindow();
}

}  // namespace
