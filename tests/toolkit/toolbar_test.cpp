// The frame's toolbar: buttons from a toolbar resource, the bar-style bits kept from the
// window, layout in the frame, command states when idle, the flat style, tooltips.
#include <gtest/gtest.h>
#include "framework/support/gui_util.h"
#include "toolkit/ToolBarNew.h"

namespace {

CWinApp theApp("FwToolbarTest");

class CBarFrame : public CFrameWnd {
public:
  CToolBarNew m_bar;
  CStatusBar m_status;
  bool checked = true;
  int cuts = 0;
  void OnCut() { ++cuts; }
  void OnUpdateSearch(CCmdUI* p) {
    p->Enable(TRUE);
    p->SetCheck(checked ? 1 : 0);
  }
  int OnCreate(LPCREATESTRUCTA lpcs) {
    if (CFrameWnd::OnCreate(lpcs) == -1) return -1;
    if (!m_bar.CreateEx(this, TBSTYLE_FLAT, 0x50402834, CRect(2, 2, 2, 2), 0xE800) || !m_bar.LoadToolBar(128)) return -1;
    if (!m_status.Create(this, 0x50008200, 0xE801)) return -1;
    return 0;
  }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CBarFrame, CFrameWnd)
  ON_WM_CREATE()
  ON_COMMAND(57635, OnCut)
  ON_UPDATE_COMMAND_UI(32772, OnUpdateSearch)
END_MESSAGE_MAP()

class ToolbarTest : public ::testing::Test {
protected:
  void SetUp() override {
    fwtest::InitControls();
    frame = new CBarFrame;
    ASSERT_TRUE(frame->LoadFrame(999));
    frame->SetWindowPos(nullptr, 0, 0, 600, 400, SWP_NOZORDER);
    frame->ShowWindow(SW_SHOWNOACTIVATE);
    theApp.m_pMainWnd = frame;
  }
  void TearDown() override {
    frame->DestroyWindow();
    fwtest::DrainQuit();
  }
  CBarFrame* frame = nullptr;
};

TEST_F(ToolbarTest, ButtonsFromTheResourceAndLayout) {
  CToolBarNew& bar = frame->m_bar;
  ASSERT_EQ(bar.GetButtonCount(), 4);
  EXPECT_EQ(bar.GetItemID(0), 57635u);
  EXPECT_EQ(bar.GetItemID(2), 0u);
  EXPECT_EQ(bar.GetItemID(3), 32772u);
  EXPECT_EQ(bar.CommandToIndex(32772), 3);
  EXPECT_EQ(bar.GetBarStyle(), 0x00402834u);
  char cls[64] = "";
  ::GetClassNameA(bar.m_hWnd, cls, sizeof cls);
  EXPECT_STREQ(cls, "ToolbarExWindow32");
  EXPECT_NE(bar.GetStyle() & TBSTYLE_FLAT, 0u);
  // One tip per button: the bar keeps its own tooltip window.
  ASSERT_NE(bar.GetToolTips(), nullptr);
  EXPECT_EQ(::SendMessageA(bar.GetToolTips(), TTM_GETTOOLCOUNT, 0, 0), 3);
  CRect client, rb;
  frame->GetClientRect(&client);
  bar.GetWindowRect(&rb);
  frame->ScreenToClient(&rb);
  int cy = bar.CalcFixedLayout(TRUE, TRUE).cy;
  EXPECT_GE(cy, 15 + 4);
  EXPECT_EQ(rb, CRect(0, 0, client.right, cy));
  EXPECT_EQ(frame->GetViewRect().top, cy);
}

TEST_F(ToolbarTest, StatesWhenIdleAndCommands) {
  theApp.OnIdle(0);
  CToolBarNew& bar = frame->m_bar;
  EXPECT_TRUE(bar.IsButtonEnabled(57635));
  EXPECT_FALSE(bar.IsButtonEnabled(57634));  // no handler
  EXPECT_TRUE(bar.IsButtonEnabled(32772));
  EXPECT_TRUE(bar.IsButtonChecked(32772));
  frame->checked = false;
  theApp.OnIdle(0);
  EXPECT_FALSE(bar.IsButtonChecked(32772));
  // A click arrives as WM_COMMAND from the toolbar and is routed as a command.
  frame->SendMessage(WM_COMMAND, MAKEWPARAM(57635, BN_CLICKED), (LPARAM)bar.m_hWnd);
  EXPECT_EQ(frame->cuts, 1);
  // The flat style can be toggled on the window.
  bar.ModifyStyle(TBSTYLE_FLAT, 0);
  EXPECT_EQ(bar.GetStyle() & TBSTYLE_FLAT, 0u);
  // Hidden and shown again through the frame's command.
  frame->SendMessage(WM_COMMAND, ID_VIEW_TOOLBAR);
  EXPECT_FALSE(bar.IsVisible());
  EXPECT_EQ(frame->GetViewRect().top, 0);
  frame->SendMessage(WM_COMMAND, ID_VIEW_TOOLBAR);
  EXPECT_TRUE(bar.IsVisible());
}

TEST_F(ToolbarTest, TooltipAndPromptComeFromTheCommandString) {
  CToolBarNew& bar = frame->m_bar;
  // The tooltip asks the bar, which hands the question to the frame.
  NMTTDISPINFOA di = {};
  di.hdr.hwndFrom = bar.GetToolTips();
  di.hdr.idFrom = 32772;
  di.hdr.code = TTN_GETDISPINFOA;
  bar.SendMessage(WM_NOTIFY, 0, (LPARAM)&di);
  ASSERT_NE(di.lpszText, nullptr);
  EXPECT_STREQ(di.lpszText, "Text Suche");
  // The prompt follows the pointer over a button; the control's timer tick notices it left.
  CRect r;
  ASSERT_TRUE(bar.SendMessage(TB_GETITEMRECT, 0, (LPARAM)&r));
  CPoint pt = r.CenterPoint();
  bar.ClientToScreen(&pt);
  ::SetCursorPos(pt.x, pt.y);
  bar.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(r.CenterPoint().x, r.CenterPoint().y));
  EXPECT_STREQ(frame->m_status.GetPaneText(0), "Schneidet aus");
  ::SetCursorPos(pt.x, pt.y + 200);
  EXPECT_EQ(bar.SendMessage(WM_TIMER, TBX_TIMER), 0);
  EXPECT_STREQ(frame->m_status.GetPaneText(0), "Bereit");
}

}  // namespace
