// Message maps and command routing: route order view -> document -> frame -> application,
// command states of menus (when they open) and bars (when idle), reflection of control
// notifications and owner draw to the controls, subclassing and attaching.
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>
#include "framework/Framework.h"
#include "framework/support/gui_util.h"

namespace {

std::vector<std::string> g_log;

enum : UINT {
  ID_ALL = 40001,      // handled by view, document, frame and application
  ID_DOC_APP,          // document and application
  ID_FRAME_APP,        // frame and application
  ID_APP_ONLY,         // application
  ID_ORDER,            // update handlers everywhere that pass the update on
  ID_NOHANDLER,        // nobody
  ID_CHECKED,          // update handler: checked, new text
  ID_DISABLED,         // command handler, but the update handler disables it
  ID_RANGE_FIRST = 40100,
  ID_RANGE_LAST = 40109,
  ID_LIST = 500,
  ID_COMBO = 501,
  ID_EDIT = 502,
};

class CRouteApp : public CWinApp {
public:
  CRouteApp() : CWinApp("FwRouteTest") {}
  void OnAll() { g_log.push_back("app"); }
  void OnDocApp() { g_log.push_back("app"); }
  void OnFrameApp() { g_log.push_back("app"); }
  void OnAppOnly() { g_log.push_back("app"); }
  void OnUpdateOrder(CCmdUI* p) {
    g_log.push_back("app");
    p->Enable(TRUE);
  }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CRouteApp, CWinApp)
  ON_COMMAND(ID_ALL, OnAll)
  ON_COMMAND(ID_DOC_APP, OnDocApp)
  ON_COMMAND(ID_FRAME_APP, OnFrameApp)
  ON_COMMAND(ID_APP_ONLY, OnAppOnly)
  ON_UPDATE_COMMAND_UI(ID_ORDER, OnUpdateOrder)
END_MESSAGE_MAP()

CRouteApp theApp;

int g_docsAlive = 0;
int g_viewsAlive = 0;

class CRouteDoc : public CDocument {
  DECLARE_DYNCREATE(CRouteDoc)
public:
  CRouteDoc() { ++g_docsAlive; }
  ~CRouteDoc() override { --g_docsAlive; }
  void OnAll() { g_log.push_back("doc"); }
  void OnDocApp() { g_log.push_back("doc"); }
  void OnUpdateOrder(CCmdUI* p) {
    g_log.push_back("doc");
    p->ContinueRouting();
  }
  DECLARE_MESSAGE_MAP()
};
IMPLEMENT_DYNCREATE(CRouteDoc, CDocument)
BEGIN_MESSAGE_MAP(CRouteDoc, CDocument)
  ON_COMMAND(ID_ALL, OnAll)
  ON_COMMAND(ID_DOC_APP, OnDocApp)
  ON_UPDATE_COMMAND_UI(ID_ORDER, OnUpdateOrder)
END_MESSAGE_MAP()

// An owner-drawn list box that draws and measures its own items.
class COwnerList : public CListBox {
public:
  int drawn = 0;
  int measured = 0;
  void DrawItem(LPDRAWITEMSTRUCT) override { ++drawn; }
  void MeasureItem(LPMEASUREITEMSTRUCT m) override {
    ++measured;
    m->itemHeight = 17;
  }
};

// A combo box that handles its own selection change.
class CSelfCombo : public CComboBox {
public:
  int selChanges = 0;
  void OnSelChange() { ++selChanges; }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CSelfCombo, CComboBox)
  ON_CONTROL_REFLECT(CBN_SELCHANGE, OnSelChange)
END_MESSAGE_MAP()

class CRouteView : public CView {
  DECLARE_DYNCREATE(CRouteView)
public:
  CRouteView() { ++g_viewsAlive; }
  ~CRouteView() override { --g_viewsAlive; }
  COwnerList m_list;
  CSelfCombo m_combo;
  int m_sizeCx = -1, m_sizeCy = -1;
  int m_dropDowns = 0;
  int m_parentSelChanges = 0;
  std::vector<UINT> m_rangeIds;
  std::vector<std::string> m_notes;
  WPARAM m_userW = 0;
  LPARAM m_userL = 0;

  void OnAll() { g_log.push_back("view"); }
  void OnDisabled() { g_log.push_back("disabled-ran"); }
  void OnUpdateDisabled(CCmdUI* p) { p->Enable(FALSE); }
  void OnUpdateOrder(CCmdUI* p) {
    g_log.push_back("view");
    p->ContinueRouting();
  }
  void OnUpdateChecked(CCmdUI* p) {
    p->SetCheck(1);
    p->SetText("Neuer Text");
  }
  void OnRange(UINT id) { m_rangeIds.push_back(id); }
  void OnSize(UINT, int cx, int cy) {
    m_sizeCx = cx;
    m_sizeCy = cy;
  }
  void OnComboDropDown() { ++m_dropDowns; }
  void OnComboSelChange() { ++m_parentSelChanges; }
  void OnSummary(NMHDR* nm, LRESULT* r) {
    m_notes.push_back("summary " + std::to_string(nm->idFrom));
    *r = 77;
  }
  void OnRClick(NMHDR*, LRESULT* r) {
    m_notes.push_back("rclick");
    *r = 1;
  }
  LRESULT OnUser(WPARAM w, LPARAM l) {
    m_userW = w;
    m_userL = l;
    return 0x1234;
  }
  int OnCreate(LPCREATESTRUCTA lpcs) {
    if (CView::OnCreate(lpcs) == -1) return -1;
    m_list.Create(LBS_OWNERDRAWVARIABLE | LBS_HASSTRINGS | WS_VSCROLL | WS_VISIBLE, CRect(0, 0, 100, 100), this, ID_LIST);
    m_combo.Create(CBS_DROPDOWNLIST | WS_VISIBLE, CRect(0, 100, 100, 200), this, ID_COMBO);
    return 0;
  }
  DECLARE_MESSAGE_MAP()
};
IMPLEMENT_DYNCREATE(CRouteView, CView)
BEGIN_MESSAGE_MAP(CRouteView, CView)
  ON_WM_CREATE()
  ON_WM_SIZE()
  ON_COMMAND(ID_ALL, OnAll)
  ON_COMMAND(ID_DISABLED, OnDisabled)
  ON_UPDATE_COMMAND_UI(ID_DISABLED, OnUpdateDisabled)
  ON_UPDATE_COMMAND_UI(ID_ORDER, OnUpdateOrder)
  ON_UPDATE_COMMAND_UI(ID_CHECKED, OnUpdateChecked)
  ON_COMMAND_RANGE(ID_RANGE_FIRST, ID_RANGE_LAST, OnRange)
  ON_CONTROL(CBN_DROPDOWN, ID_COMBO, OnComboDropDown)
  ON_CONTROL(CBN_SELCHANGE, ID_COMBO, OnComboSelChange)
  ON_NOTIFY(0x1206, ID_LIST, OnSummary)
  ON_NOTIFY(NM_RCLICK, ID_LIST, OnRClick)
  ON_MESSAGE(WM_USER + 7, OnUser)
END_MESSAGE_MAP()

// A bar that records the states the idle update gives its "buttons".
class CRecordBar : public CControlBar {
public:
  std::vector<UINT> ids;
  std::map<UINT, int> enabled, checked;
  int height = 30;
  BOOL Create(CWnd* parent, DWORD style, UINT id) { return CreateBar(0, nullptr, style, parent, id); }
  CSize CalcFixedLayout(BOOL, BOOL bHorz) override { return bHorz ? CSize(32767, height) : CSize(height, 32767); }
  void OnUpdateCmdUI(CFrameWnd* pTarget, BOOL bDisable) override {
    struct UI : CCmdUI {
      CRecordBar* bar;
      void Enable(BOOL on) override {
        bar->enabled[m_nID] = on;
        m_bEnableChanged = TRUE;
      }
      void SetCheck(int c) override { bar->checked[m_nID] = c; }
      void SetText(LPCSTR) override {}
    } ui;
    ui.bar = this;
    ui.m_pOther = this;
    for (size_t i = 0; i < ids.size(); ++i) {
      ui.m_nIndex = (UINT)i;
      ui.m_nID = ids[i];
      ui.DoUpdate(pTarget, bDisable);
    }
  }
};

class CRouteFrame : public CFrameWnd {
  DECLARE_DYNCREATE(CRouteFrame)
public:
  CRecordBar m_bar;
  CStatusBar m_status;
  void OnAll() { g_log.push_back("frame"); }
  void OnFrameApp() { g_log.push_back("frame"); }
  void OnUpdateOrder(CCmdUI* p) {
    g_log.push_back("frame");
    p->ContinueRouting();
  }
  int OnCreate(LPCREATESTRUCTA lpcs) {
    if (CFrameWnd::OnCreate(lpcs) == -1) return -1;
    if (!m_bar.Create(this, 0x50402834, AFX_IDW_TOOLBAR)) return -1;
    if (!m_status.Create(this)) return -1;
    m_bar.ids = {ID_ALL, ID_NOHANDLER, ID_CHECKED, ID_DISABLED};
    return 0;
  }
  DECLARE_MESSAGE_MAP()
};
IMPLEMENT_DYNCREATE(CRouteFrame, CFrameWnd)
BEGIN_MESSAGE_MAP(CRouteFrame, CFrameWnd)
  ON_WM_CREATE()
  ON_COMMAND(ID_ALL, OnAll)
  ON_COMMAND(ID_FRAME_APP, OnFrameApp)
  ON_UPDATE_COMMAND_UI(ID_ORDER, OnUpdateOrder)
END_MESSAGE_MAP()

class RouteTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    fwtest::InitControls();
    theApp.AddDocTemplate(new CSingleDocTemplate(999, RUNTIME_CLASS(CRouteDoc), RUNTIME_CLASS(CRouteFrame),
                                                 RUNTIME_CLASS(CRouteView)));
  }
  void SetUp() override {
    g_log.clear();
    doc = theApp.OpenDocumentFile(nullptr);
    ASSERT_NE(doc, nullptr);
    frame = static_cast<CRouteFrame*>(theApp.m_pMainWnd);
    ASSERT_NE(frame, nullptr);
    view = static_cast<CRouteView*>(frame->GetActiveView());
    ASSERT_NE(view, nullptr);
    frame->SetWindowPos(nullptr, 0, 0, 640, 480, SWP_NOZORDER);
    frame->ShowWindow(SW_SHOWNOACTIVATE);
  }
  void TearDown() override {
    if (theApp.m_pMainWnd) theApp.m_pMainWnd->SendMessage(WM_CLOSE);
    fwtest::DrainQuit();
    EXPECT_EQ(theApp.m_pMainWnd, nullptr);
  }
  void Command(UINT id, WORD code = 0) { frame->SendMessage(WM_COMMAND, MAKEWPARAM(id, code), 0); }
  CDocument* doc = nullptr;
  CRouteFrame* frame = nullptr;
  CRouteView* view = nullptr;
};

TEST_F(RouteTest, CommandsGoViewThenDocumentThenFrameThenApplication) {
  Command(ID_ALL);
  Command(ID_DOC_APP);
  Command(ID_FRAME_APP);
  Command(ID_APP_ONLY);
  EXPECT_EQ(g_log, (std::vector<std::string>{"view", "doc", "frame", "app"}));

  // Update handlers that pass the update on show the whole route in order.
  g_log.clear();
  CCmdUI ui;
  ui.m_nID = ID_ORDER;
  EXPECT_TRUE(ui.DoUpdate(frame, TRUE));
  EXPECT_EQ(g_log, (std::vector<std::string>{"view", "doc", "frame", "app"}));
}

TEST_F(RouteTest, CommandRangesAndAcceleratorsOfDisabledCommands) {
  Command(ID_RANGE_FIRST + 3);
  Command(ID_RANGE_LAST);
  Command(ID_RANGE_LAST + 1);
  EXPECT_EQ(view->m_rangeIds, (std::vector<UINT>{ID_RANGE_FIRST + 3, ID_RANGE_LAST}));
  // From an accelerator (code 1) or a menu (code 0) a disabled command does not run.
  Command(ID_DISABLED, 1);
  Command(ID_DISABLED, 0);
  EXPECT_TRUE(g_log.empty());
}

TEST_F(RouteTest, MenuStatesWhenThePopupOpens) {
  CMenu popup;
  ASSERT_TRUE(popup.CreatePopupMenu());
  popup.AppendMenu(MF_STRING, ID_ALL, "Alle");
  popup.AppendMenu(MF_STRING, ID_NOHANDLER, "Keiner");
  popup.AppendMenu(MF_SEPARATOR);
  popup.AppendMenu(MF_STRING, ID_CHECKED, "Alt");
  popup.AppendMenu(MF_STRING, ID_DISABLED, "Aus");
  popup.AppendMenu(MF_STRING | MF_GRAYED, ID_APP_ONLY, "App");
  frame->SendMessage(WM_INITMENUPOPUP, (WPARAM)popup.m_hMenu, MAKELPARAM(0, FALSE));
  EXPECT_EQ(popup.GetMenuState(ID_ALL, MF_BYCOMMAND) & MF_GRAYED, 0u);
  EXPECT_NE(popup.GetMenuState(ID_NOHANDLER, MF_BYCOMMAND) & MF_GRAYED, 0u);
  EXPECT_NE(popup.GetMenuState(ID_CHECKED, MF_BYCOMMAND) & MF_CHECKED, 0u);
  EXPECT_NE(popup.GetMenuState(ID_DISABLED, MF_BYCOMMAND) & MF_GRAYED, 0u);
  EXPECT_EQ(popup.GetMenuState(ID_APP_ONLY, MF_BYCOMMAND) & MF_GRAYED, 0u);
  CString text;
  popup.GetMenuString(ID_CHECKED, text, MF_BYCOMMAND);
  EXPECT_STREQ(text, "Neuer Text");
  // The bar-visibility commands carry check marks.
  popup.AppendMenu(MF_STRING, ID_VIEW_TOOLBAR, "Symbolleiste");
  popup.AppendMenu(MF_STRING, ID_VIEW_STATUS_BAR, "Statusleiste");
  frame->ShowControlBar(&frame->m_status, FALSE);
  frame->SendMessage(WM_INITMENUPOPUP, (WPARAM)popup.m_hMenu, MAKELPARAM(0, FALSE));
  EXPECT_NE(popup.GetMenuState(ID_VIEW_TOOLBAR, MF_BYCOMMAND) & MF_CHECKED, 0u);
  EXPECT_EQ(popup.GetMenuState(ID_VIEW_STATUS_BAR, MF_BYCOMMAND) & MF_CHECKED, 0u);
}

TEST_F(RouteTest, BarStatesWhenIdle) {
  theApp.OnIdle(0);
  EXPECT_EQ(frame->m_bar.enabled[ID_ALL], TRUE);
  EXPECT_EQ(frame->m_bar.enabled[ID_NOHANDLER], FALSE);
  EXPECT_EQ(frame->m_bar.enabled[ID_DISABLED], FALSE);
  EXPECT_EQ(frame->m_bar.checked[ID_CHECKED], 1);
  // A hidden bar is not updated.
  frame->m_bar.enabled.clear();
  frame->ShowControlBar(&frame->m_bar, FALSE);
  theApp.OnIdle(0);
  EXPECT_TRUE(frame->m_bar.enabled.empty());
}

TEST_F(RouteTest, BarsAreLaidOutAndTheViewFillsTheRest) {
  // The bar kept its bar-style bits; the window got only the window bits.
  EXPECT_EQ(frame->m_bar.GetBarStyle(), 0x00402834u);
  EXPECT_EQ(frame->m_bar.GetStyle() & 0x0040FFFF, 0u);
  EXPECT_NE(frame->m_bar.GetStyle() & WS_CHILD, 0u);
  CRect client, bar, status, vw;
  frame->GetClientRect(&client);
  frame->m_bar.GetWindowRect(&bar);
  frame->m_status.GetWindowRect(&status);
  view->GetWindowRect(&vw);
  frame->ScreenToClient(&bar);
  frame->ScreenToClient(&status);
  frame->ScreenToClient(&vw);
  int cyStatus = frame->m_status.CalcFixedLayout(TRUE, TRUE).cy;
  ASSERT_GT(cyStatus, 10);
  EXPECT_EQ(bar, CRect(0, 0, client.right, 30));
  EXPECT_EQ(status, CRect(0, client.bottom - cyStatus, client.right, client.bottom));
  EXPECT_EQ(vw, CRect(0, 30, client.right, client.bottom - cyStatus));
  EXPECT_EQ(view->m_sizeCx, client.right);
  EXPECT_EQ(view->m_sizeCy, client.bottom - cyStatus - 30);

  // 59392 / 59393 hide and show the bars; the view takes their room.
  Command(ID_VIEW_TOOLBAR);
  EXPECT_FALSE(frame->m_bar.IsVisible());
  view->GetWindowRect(&vw);
  frame->ScreenToClient(&vw);
  EXPECT_EQ(vw, CRect(0, 0, client.right, client.bottom - cyStatus));
  Command(ID_VIEW_STATUS_BAR);
  view->GetWindowRect(&vw);
  frame->ScreenToClient(&vw);
  EXPECT_EQ(vw, client);
  Command(ID_VIEW_TOOLBAR);
  Command(ID_VIEW_STATUS_BAR);
  view->GetWindowRect(&vw);
  frame->ScreenToClient(&vw);
  EXPECT_EQ(vw, CRect(0, 30, client.right, client.bottom - cyStatus));
}

TEST_F(RouteTest, StatusBarPanes) {
  UINT ids[] = {0, 1, 2, 3};
  ASSERT_TRUE(frame->m_status.SetIndicators(ids, 4));
  frame->m_status.SetPaneInfo(1, 1, SBPS_NORMAL, 80);
  frame->m_status.SetPaneInfo(2, 2, SBPS_NORMAL, 60);
  frame->m_status.SetPaneInfo(3, 3, SBPS_NORMAL, 100);
  EXPECT_TRUE(frame->m_status.SetPaneText(2, "17 Dateien"));
  EXPECT_STREQ(frame->m_status.GetPaneText(2), "17 Dateien");
  EXPECT_STREQ(frame->m_status.GetStatusBarCtrl().GetText(2), "17 Dateien");
  EXPECT_EQ(frame->m_status.CommandToIndex(3), 3);
  int edges[4] = {};
  ASSERT_EQ(frame->m_status.GetStatusBarCtrl().GetParts(4, edges), 4);
  EXPECT_EQ(edges[2] - edges[1], 60);
  EXPECT_EQ(edges[1] - edges[0], 80);
  frame->SetMessageText("Hallo");
  EXPECT_STREQ(frame->m_status.GetPaneText(0), "Hallo");
  EXPECT_FALSE(frame->m_status.SetPaneText(4, "x"));
}

TEST_F(RouteTest, NotificationsControlsAndReflection) {
  // WM_NOTIFY by code and id, results passed back.
  NMHDR nm = {view->m_list.m_hWnd, ID_LIST, 0x1206};
  EXPECT_EQ(view->SendMessage(WM_NOTIFY, ID_LIST, (LPARAM)&nm), 77);
  nm.code = (UINT)NM_RCLICK;
  EXPECT_EQ(view->SendMessage(WM_NOTIFY, ID_LIST, (LPARAM)&nm), 1);
  nm.idFrom = ID_COMBO;
  EXPECT_EQ(view->SendMessage(WM_NOTIFY, ID_COMBO, (LPARAM)&nm), 0);
  EXPECT_EQ(view->m_notes, (std::vector<std::string>{"summary 500", "rclick"}));

  // A combo notification the control handles itself is reflected to it; another reaches the view.
  view->SendMessage(WM_COMMAND, MAKEWPARAM(ID_COMBO, CBN_SELCHANGE), (LPARAM)view->m_combo.m_hWnd);
  view->SendMessage(WM_COMMAND, MAKEWPARAM(ID_COMBO, CBN_DROPDOWN), (LPARAM)view->m_combo.m_hWnd);
  EXPECT_EQ(view->m_combo.selChanges, 1);
  EXPECT_EQ(view->m_parentSelChanges, 0);
  EXPECT_EQ(view->m_dropDowns, 1);

  // Owner draw: measuring and drawing reach the list box through its parent.
  view->m_list.AddString("eins");
  view->m_list.AddString("zwei");
  EXPECT_EQ(view->m_list.measured, 2);
  EXPECT_EQ(view->m_list.SendMessage(LB_GETITEMHEIGHT, 1), 17);
  view->m_list.Invalidate();
  view->m_list.UpdateWindow();
  EXPECT_GE(view->m_list.drawn, 2);

  // User messages.
  EXPECT_EQ(view->SendMessage(WM_USER + 7, 5, 6), 0x1234);
  EXPECT_EQ(view->m_userW, 5u);
  EXPECT_EQ(view->m_userL, 6);
}

TEST_F(RouteTest, AViewDestroyedAloneLeavesTheRouteSafe) {
  view->DestroyWindow();
  EXPECT_EQ(g_viewsAlive, 0);
  EXPECT_EQ(frame->GetActiveView(), nullptr);
  Command(ID_ALL);
  EXPECT_EQ(g_log, (std::vector<std::string>{"frame"}));
}

TEST_F(RouteTest, ClosingTheFrameEndsViewAndDocument) {
  EXPECT_EQ(g_docsAlive, 1);
  EXPECT_EQ(g_viewsAlive, 1);
  frame->SendMessage(WM_CLOSE);
  EXPECT_EQ(g_docsAlive, 0);
  EXPECT_EQ(g_viewsAlive, 0);
  EXPECT_EQ(theApp.m_pMainWnd, nullptr);
  MSG msg;
  EXPECT_TRUE(::PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

// --- Subclassing and attaching, without document and frame -------------------------------------

class CNoX : public CWnd {
public:
  void OnChar(UINT ch, UINT, UINT) {
    if (ch != 'x') Default();
  }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CNoX, CWnd)
  ON_WM_CHAR()
END_MESSAGE_MAP()

class CBaseHandler : public CWnd {
public:
  std::string last;
  void OnA() { last = "base-a"; }
  void OnB() { last = "base-b"; }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CBaseHandler, CWnd)
  ON_COMMAND(1, OnA)
  ON_COMMAND(2, OnB)
END_MESSAGE_MAP()

class CDerivedHandler : public CBaseHandler {
public:
  void OnA2() { last = "derived-a"; }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CDerivedHandler, CBaseHandler)
  ON_COMMAND(1, OnA2)
END_MESSAGE_MAP()

TEST(WndTest, SubclassUnsubclassAttachDetach) {
  fwtest::InitControls();
  HWND hEdit = ::CreateWindowExA(0, "EDIT", "", WS_POPUP, 0, 0, 100, 20, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(hEdit, nullptr);
  {
    CNoX w;
    ASSERT_TRUE(w.SubclassWindow(hEdit));
    EXPECT_EQ(CWnd::FromHandlePermanent(hEdit), &w);
    EXPECT_FALSE(CNoX().Attach(hEdit));  // already taken
    ::SendMessageA(hEdit, WM_CHAR, 'x', 0);
    ::SendMessageA(hEdit, WM_CHAR, 'y', 0);
    EXPECT_EQ(fwtest::WindowText(hEdit), "y");
    EXPECT_EQ(w.UnsubclassWindow(), hEdit);
    EXPECT_EQ(CWnd::FromHandlePermanent(hEdit), nullptr);
    ::SendMessageA(hEdit, WM_CHAR, 'x', 0);
    EXPECT_EQ(fwtest::WindowText(hEdit), "yx");
    // Attach does not route messages; Detach lets go without destroying.
    ASSERT_TRUE(w.Attach(hEdit));
    ::SendMessageA(hEdit, WM_CHAR, 'x', 0);
    EXPECT_EQ(fwtest::WindowText(hEdit), "yxx");
    EXPECT_EQ(w.Detach(), hEdit);
  }
  EXPECT_TRUE(::IsWindow(hEdit));
  // An unattached window gets a temporary wrapper until the temporaries are freed.
  CWnd* temp = CWnd::FromHandle(hEdit);
  ASSERT_NE(temp, nullptr);
  EXPECT_EQ(temp->m_hWnd, hEdit);
  EXPECT_EQ(CWnd::FromHandle(hEdit), temp);
  CWnd::DeleteTempMap();
  EXPECT_TRUE(::IsWindow(hEdit));
  ::DestroyWindow(hEdit);
}

TEST(WndTest, DerivedMapEntriesComeFirstAndBaseEntriesStillWork) {
  CDerivedHandler w;
  ASSERT_TRUE(w.CreateEx(0, nullptr, "t", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr));
  w.SendMessage(WM_COMMAND, 1);
  EXPECT_EQ(w.last, "derived-a");
  w.SendMessage(WM_COMMAND, 2);
  EXPECT_EQ(w.last, "base-b");
  // Runtime classes.
  EXPECT_TRUE(w.IsKindOf(RUNTIME_CLASS(CWnd)));
  EXPECT_STREQ(RUNTIME_CLASS(CFrameWnd)->m_lpszClassName, "CFrameWnd");
  EXPECT_TRUE(RUNTIME_CLASS(CStatusBar)->IsDerivedFrom(RUNTIME_CLASS(CControlBar)));
  EXPECT_FALSE(RUNTIME_CLASS(CControlBar)->IsDerivedFrom(RUNTIME_CLASS(CStatusBar)));
  w.DestroyWindow();
  EXPECT_EQ(w.m_hWnd, nullptr);
}

TEST(WndTest, ChildCreateAddsWsChild) {
  CWnd parent, child;
  ASSERT_TRUE(parent.CreateEx(0, nullptr, "p", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr));
  // Pane styles without WS_CHILD still give a child window.
  ASSERT_TRUE(child.Create(nullptr, nullptr, 0x10000000, CRect(0, 0, 10, 10), &parent, 21396));
  EXPECT_NE(child.GetStyle() & WS_CHILD, 0u);
  EXPECT_EQ(child.GetParent(), &parent);
  EXPECT_EQ(parent.GetDlgItem(21396), &child);
  parent.DestroyWindow();
  EXPECT_EQ(child.m_hWnd, nullptr);
}

}  // namespace
