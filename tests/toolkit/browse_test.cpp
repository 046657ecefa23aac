// The explorer pane: drives in the tree, selecting a folder opens the tree down to it and
// reads its entries into the pane's list, notifications to the parent, hit tests and item
// texts, a file's folder with the file chosen, refreshing.
#include <gtest/gtest.h>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>
#include "framework/support/gui_util.h"
#include "toolkit/BrowseCtrl.h"

namespace {

CWinApp theApp("FwBrowseTest");

class CPaneHost : public CWnd {
public:
  std::vector<std::string> paths;
  std::vector<std::string> summaries;
  std::vector<int> focus;
  void OnPathChanged(NMHDR* nm, LRESULT* r) {
    paths.push_back(reinterpret_cast<NMBROWSEPATH*>(nm)->pszPath);
    *r = 0;
  }
  void OnSummary(NMHDR* nm, LRESULT* r) {
    auto* s = reinterpret_cast<NMBROWSESUMMARY*>(nm);
    summaries.push_back(std::string(s->pszText1) + "|" + s->pszText2);
    *r = 0;
  }
  void OnFocus(NMHDR* nm, LRESULT* r) {
    focus.push_back(reinterpret_cast<NMBROWSEFOCUS*>(nm)->nPart);
    *r = 0;
  }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CPaneHost, CWnd)
  ON_NOTIFY(BCN_PATHCHANGED, 21395, OnPathChanged)
  ON_NOTIFY(BCN_SUMMARY, 21395, OnSummary)
  ON_NOTIFY(NM_SETFOCUS, 21395, OnFocus)
END_MESSAGE_MAP()

std::string MakeTree() {
  char tmp[MAX_PATH];
  ::GetTempPathA(MAX_PATH, tmp);
  std::string base = std::string(tmp) + "fwbrowse";
  ::CreateDirectoryA(base.c_str(), nullptr);
  ::CreateDirectoryA((base + "\\Alpha").c_str(), nullptr);
  ::CreateDirectoryA((base + "\\Alpha\\Innen").c_str(), nullptr);
  ::CreateDirectoryA((base + "\\Beta").c_str(), nullptr);
  for (const char* f : {"\\eins.txt", "\\zwei.c", "\\Alpha\\drei.h"}) std::ofstream(base + f) << "Inhalt";
  return base;
}

class BrowseTest : public ::testing::Test {
protected:
  void SetUp() override {
    fwtest::InitControls();
    base = MakeTree();
    ASSERT_TRUE(host.CreateEx(0, nullptr, "Host", WS_POPUP | WS_VISIBLE, 0, 0, 700, 400, nullptr, nullptr));
    ASSERT_TRUE(pane.Create(0, 0x100008D0 | WS_VISIBLE, CRect(0, 0, 700, 400), &host, 21395));
  }
  void TearDown() override { host.DestroyWindow(); }
  // Waits until the pane's list has read n entries.
  bool WaitForEntries(int n) {
    return fwtest::PumpUntil([&] { return pane.m_List.m_DirList.m_nCount == n && !pane.m_List.IsReading(); });
  }
  std::string base;
  CPaneHost host;
  CBrowseCtrl pane;
};

TEST_F(BrowseTest, SelectingAFolderOpensTheTreeAndReadsTheList) {
  EXPECT_NE(pane.m_Tree.GetRootItem(), nullptr);  // the drives
  EXPECT_EQ(pane.GetCurrentPath(1), "");
  ASSERT_TRUE(pane.SelectPath(base.c_str()));
  EXPECT_STREQ(pane.GetCurrentPath(1), base.c_str());
  ASSERT_EQ(host.paths.size(), 1u);
  EXPECT_EQ(host.paths[0], base);
  ASSERT_TRUE(WaitForEntries(4));  // Alpha, Beta, eins.txt, zwei.c
  HTREEITEM sel = pane.m_Tree.GetSelectedItem();
  EXPECT_STREQ(pane.m_Tree.GetItemText(sel), "fwbrowse");
  char buf[260];
  EXPECT_GT(pane.GetItemText(BHT_TREE, (INT_PTR)sel, buf, sizeof buf, 0), 0);
  EXPECT_EQ(std::string(buf), base);

  // The same folder again tells nothing new; another one does.
  ASSERT_TRUE(pane.SelectPath((base + "/").c_str()));
  EXPECT_EQ(host.paths.size(), 1u);
  ASSERT_TRUE(pane.SelectPath((base + "\\Alpha\\Innen").c_str()));
  EXPECT_EQ(host.paths.back(), base + "\\Alpha\\Innen");
  EXPECT_STREQ(pane.m_Tree.GetItemText(pane.m_Tree.GetSelectedItem()), "Innen");
  ASSERT_TRUE(WaitForEntries(0));
  EXPECT_FALSE(pane.SelectPath((base + "\\fehlt").c_str()));
  EXPECT_STREQ(pane.GetCurrentPath(1), (base + "\\Alpha\\Innen").c_str());
}

TEST_F(BrowseTest, AFilesFolderIsShownWithTheFileChosen) {
  ASSERT_TRUE(pane.SelectPath((base + "\\Alpha\\drei.h").c_str()));
  EXPECT_STREQ(pane.GetCurrentPath(), (base + "\\Alpha").c_str());
  ASSERT_TRUE(WaitForEntries(2));  // Innen, drei.h
  ASSERT_TRUE(fwtest::PumpUntil([&] { return pane.m_List.SendMessage(LVM_GETNEXTITEM, (WPARAM)-1, LVNI_FOCUSED) >= 0; }));
  int focused = (int)pane.m_List.SendMessage(LVM_GETNEXTITEM, (WPARAM)-1, LVNI_FOCUSED);
  char buf[260];
  ASSERT_GT(pane.GetItemText(BHT_LIST, focused, buf, sizeof buf, 0), 0);
  EXPECT_EQ(std::string(buf), base + "\\Alpha\\drei.h");
  ASSERT_GT(pane.GetItemText(BHT_LIST, focused, buf, sizeof buf, 1), 0);
  EXPECT_STREQ(buf, "drei.h");
  EXPECT_EQ(pane.GetItemText(BHT_LIST, 99, buf, sizeof buf, 0), -1);
  EXPECT_FALSE(host.summaries.empty());

  // A new file shows after a refresh.
  std::ofstream(base + "\\Alpha\\neu.txt") << "x";
  pane.TriggerUpdate();
  EXPECT_TRUE(WaitForEntries(3));
  ::DeleteFileA((base + "\\Alpha\\neu.txt").c_str());
}

TEST_F(BrowseTest, FocusOfThePartsIsReported) {
  ::SetForegroundWindow(host.m_hWnd);
  pane.FocusPane(1);
  pane.FocusPane(0);
  EXPECT_EQ(host.focus, (std::vector<int>{0, 1}));
  // Tab in the tree hands the focus to the pane's parent.
  pane.m_Tree.SetFocus();
  pane.m_Tree.SendMessage(WM_KEYDOWN, VK_TAB);
  EXPECT_EQ(::GetFocus(), host.m_hWnd);
}

TEST_F(BrowseTest, HitTestFindsTreeItemsAndNothingElsewhere) {
  ASSERT_TRUE(pane.SelectPath(base.c_str()));
  RECT r;
  HTREEITEM sel = pane.m_Tree.GetSelectedItem();
  memcpy(&r, &sel, sizeof sel);  // TVM_GETITEMRECT takes the item in the rectangle
  ASSERT_TRUE(pane.m_Tree.SendMessage(TVM_GETITEMRECT, TRUE, (LPARAM)&r));
  POINT p = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  ::ClientToScreen(pane.m_Tree.m_hWnd, &p);
  INT_PTR item = 0;
  int column = 0;
  EXPECT_EQ(pane.HitTest(p, &item, &column), BHT_TREE);
  EXPECT_EQ((HTREEITEM)item, sel);
  POINT outside = {-5000, -5000};
  EXPECT_EQ(pane.HitTest(outside, &item, &column), BHT_NONE);
}

}  // namespace
