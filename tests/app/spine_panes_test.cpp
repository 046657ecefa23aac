// The status-pane service on a real status bar.
#include <gtest/gtest.h>

#include <string>

#include "app/Resource.h"
#include "app/StatusPanes.h"
#include "framework/Framework.h"

namespace {

// A parent that says whether it draws coloured panes.
class CPaneHost : public CWnd {
public:
  BOOL m_bColors = FALSE;
  LRESULT OnSupports(WPARAM, LPARAM) { return m_bColors ? CStatusPaneService::ReadyValue : 0; }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CPaneHost, CWnd)
  ON_MESSAGE(WM_VM_SUPPORTS_COLOR_PANES, OnSupports)
END_MESSAGE_MAP()

struct PaneFixture : ::testing::Test {
  CPaneHost host;
  CStatusBar bar;
  void SetUp() override {
    CStatusPaneService::s_ready = 0;
    ASSERT_TRUE(host.CreateEx(0, nullptr, "host", WS_OVERLAPPEDWINDOW, 0, 0, 800, 300, nullptr, nullptr));
    ASSERT_TRUE(bar.Create(&host, WS_CHILD | WS_VISIBLE | CBRS_BOTTOM, AFX_IDW_STATUS_BAR));
  }
  void TearDown() override {
    if (host.m_hWnd) host.DestroyWindow();
  }
  std::string ControlText(int pane) {
    char buf[256] = "";
    LRESULT r = bar.SendMessage(SB_GETTEXTLENGTHA, pane);
    if (HIWORD(r) & SBT_OWNERDRAW) return "<owner>";
    bar.SendMessage(SB_GETTEXTA, pane, (LPARAM)buf);
    return buf;
  }
};

const UINT kIds[3] = {0, 1, 2};
const int kWidths[3] = {-10, -10, -15};

}  // namespace

TEST_F(PaneFixture, OperationsNeedTheReadyWord) {
  CStatusPaneService svc(&host, &bar);
  EXPECT_EQ(0, svc.SetPaneText(0, "x", FALSE, -1, -1));
  EXPECT_EQ(0, svc.InsertStatusPanes(kIds, kWidths, 1));
  EXPECT_EQ(0, svc.RemoveStatusPanes(2));
  EXPECT_EQ(1, svc.Dispatch(9, nullptr));
  EXPECT_EQ(3, svc.SetStatusPanes(kIds, kWidths, 3));
  EXPECT_EQ((DWORD)CStatusPaneService::ReadyValue, CStatusPaneService::s_ready);
}

TEST_F(PaneFixture, ProgramPanesWidthsAndTexts) {
  CStatusPaneService svc(&host, &bar);
  ASSERT_EQ(3, svc.SetStatusPanes(kIds, kWidths, 3));
  ASSERT_EQ(4, bar.GetCount());
  int unit = StatusWidthUnit();
  EXPECT_GT(unit, 0);
  EXPECT_LE(unit, 25);
  UINT id, style;
  int width;
  bar.GetPaneInfo(3, id, style, width);
  EXPECT_EQ(2u, id);
  EXPECT_EQ(15 * unit, width);
  bar.GetPaneInfo(0, id, style, width);
  EXPECT_TRUE(style & SBPS_STRETCH);

  EXPECT_EQ(1, svc.SetPaneText(0, "17 Einträge", TRUE, -1, -1));
  EXPECT_EQ(1, svc.SetPaneText(-1, "letzte", FALSE, -1, -1));
  EXPECT_EQ(0, svc.SetPaneText(3, "zu weit", FALSE, -1, -1));
  EXPECT_EQ(0, svc.SetPaneText(-5, "zu weit", FALSE, -1, -1));
  EXPECT_EQ("17 Eintr\xE4ge", ControlText(1));
  EXPECT_EQ("letzte", ControlText(3));

  // Setting the panes again keeps no stale panes; a null id list means none.
  EXPECT_EQ(2, svc.SetStatusPanes(kIds, nullptr, 2));
  EXPECT_EQ(3, bar.GetCount());
  bar.GetPaneInfo(1, id, style, width);
  EXPECT_EQ(50, width);
  EXPECT_EQ(0, svc.SetStatusPanes(nullptr, kWidths, 3));
  EXPECT_EQ(1, bar.GetCount());
  // A negative count takes the ids up to the first 0 (here none before the end: at most 8).
  const UINT many[10] = {5, 6, 7, 8, 9, 10, 11, 12, 13, 14};
  EXPECT_EQ(8, svc.SetStatusPanes(many, nullptr, -1));
  EXPECT_EQ(8, svc.SetStatusPanes(many, nullptr, 20));
}

TEST_F(PaneFixture, OwnersInsertAndRemove) {
  CStatusPaneService svc(&host, &bar);
  svc.SetStatusPanes(kIds, kWidths, 3);
  svc.SetPaneText(2, "summary", FALSE, -1, -1);
  const UINT other[2] = {100, 101};
  int tag = svc.InsertStatusPanes(other, nullptr, 2);
  EXPECT_EQ(2, tag);
  ASSERT_EQ(6, bar.GetCount());
  EXPECT_EQ(100u, bar.GetItemID(4));
  EXPECT_EQ("summary", ControlText(3));
  int tag2 = svc.InsertStatusPanes(other, nullptr, 1);
  EXPECT_EQ(3, tag2);
  EXPECT_EQ(7, bar.GetCount());
  // Operation 0 again keeps the panes of other owners behind the program's.
  EXPECT_EQ(2, svc.SetStatusPanes(kIds, kWidths, 2));
  EXPECT_EQ(6, bar.GetCount());
  EXPECT_EQ(100u, bar.GetItemID(3));
  EXPECT_EQ(3, svc.OwnerTag(3));
  EXPECT_EQ(4, svc.RemoveStatusPanes(2));
  EXPECT_EQ(100u, bar.GetItemID(3));
  // Too many other panes: refused.
  UINT lots[8] = {200, 201, 202, 203, 204, 205, 206, 207};
  EXPECT_GT(svc.InsertStatusPanes(lots, nullptr, 8), 0);
  EXPECT_GT(svc.InsertStatusPanes(lots, nullptr, 8), 0);
  EXPECT_EQ(-1, svc.InsertStatusPanes(lots, nullptr, 8));
}

TEST_F(PaneFixture, ColouredPanesOnlyWhenTheFrameDrawsThem) {
  CStatusPaneService svc(&host, &bar);
  svc.SetStatusPanes(kIds, kWidths, 3);
  EXPECT_EQ(1, svc.SetPaneText(0, "rot", TRUE, 0x0000FF, -1));
  EXPECT_EQ("rot", ControlText(1));
  host.m_bColors = TRUE;
  EXPECT_EQ(1, svc.SetPaneText(0, "rot", TRUE, 0x0000FF, -1));
  EXPECT_EQ("<owner>", ControlText(1));
  // A later layout repeats the text and keeps the colours; new text makes the pane plain.
  host.MoveWindow(0, 0, 700, 300);
  EXPECT_EQ("<owner>", ControlText(1));
  EXPECT_EQ(1, svc.SetPaneColors(0, TRUE, -1, -1));
  EXPECT_EQ("rot", ControlText(1));
  EXPECT_EQ(1, svc.SetPaneColors(0, TRUE, 0x00FF00, 0));
  EXPECT_EQ("<owner>", ControlText(1));
  EXPECT_EQ(1, svc.SetPaneText(0, "plain", TRUE, -1, -1));
  EXPECT_EQ("plain", ControlText(1));
  EXPECT_EQ(1, svc.SetPaneText(1, "gruen", TRUE, -1, 0x00FF00));
}


TEST_F(PaneFixture, MessageRequestsWithBadPointersAreRefused) {
  CStatusPaneService svc(&host, &bar);
  // Through the message's argument block, as another module would call it.
  UINT ids[4] = {7, 8, 9, 0};
  int widths[3] = {-5, 60, 70};
  DWORD op0[3] = {(DWORD)(UINT_PTR)ids, (DWORD)(UINT_PTR)widths, (DWORD)-1};
  EXPECT_EQ(3, svc.Dispatch(0, op0));
  UINT id, style;
  int width;
  bar.GetPaneInfo(2, id, style, width);
  EXPECT_EQ(8u, id);
  EXPECT_EQ(60, width);
  DWORD op1[5] = {(DWORD)-1, (DWORD)(UINT_PTR)"zuletzt", 0, (DWORD)-1, (DWORD)-1};
  EXPECT_EQ(1, svc.Dispatch(1, op1));
  EXPECT_EQ("zuletzt", ControlText(3));
  // Pointers into nowhere: refused, no crash.
  EXPECT_EQ(0, svc.Dispatch(0, reinterpret_cast<const DWORD*>(16)));
  DWORD badIds[3] = {16, 0, 2};
  EXPECT_EQ(0, svc.Dispatch(0, badIds));
  DWORD badText[5] = {0, 32, 0, (DWORD)-1, (DWORD)-1};
  EXPECT_EQ(0, svc.Dispatch(1, badText));
  EXPECT_EQ(0, svc.Dispatch(4, nullptr));
  EXPECT_EQ(1, svc.Dispatch(7, nullptr));
  EXPECT_EQ(4, bar.GetCount());
}
