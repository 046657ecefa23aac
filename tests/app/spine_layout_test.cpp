// The view's geometry: pane rectangles, bar drags and the focus order.
#include <gtest/gtest.h>

#include "app/ViewLayout.h"

namespace {

void ExpectRect(const RECT& r, int l, int t, int rr, int b) {
  EXPECT_EQ(l, r.left);
  EXPECT_EQ(t, r.top);
  EXPECT_EQ(rr, r.right);
  EXPECT_EQ(b, r.bottom);
}

}  // namespace

TEST(ViewLayout, HiddenResultList) {
  ViewLayoutState s;
  ViewLayoutRects r = ComputeViewLayout(s, 640, 480);
  ExpectRect(r.explorer, 0, 0, 640, 300);
  ExpectRect(r.fileList, 0, 307, 640, 480);
  ExpectRect(r.resultList, 0, 481, 640, 481);
  EXPECT_EQ(-1, r.secondBarTop);
  // A view lower than the bar moves the bar into it.
  s = ViewLayoutState();
  r = ComputeViewLayout(s, 640, 250);
  EXPECT_EQ(150, s.firstBar);
  ExpectRect(r.explorer, 0, 0, 640, 150);
  s.firstBar = -5;
  ComputeViewLayout(s, 640, 250);
  EXPECT_EQ(250, s.firstBar);
}

TEST(ViewLayout, ShownResultList) {
  ViewLayoutState s;
  s.resultShown = true;
  s.firstBar = 120;
  s.resultHeight = 100;
  ViewLayoutRects r = ComputeViewLayout(s, 300, 200);
  ExpectRect(r.explorer, 0, 0, 300, 13);
  ExpectRect(r.fileList, 0, 20, 300, 93);
  ExpectRect(r.resultList, 0, 100, 300, 200);
  EXPECT_EQ(93, r.secondBarTop);
  // Tall results: the explorer pane and the split keep their minimums.
  s.resultHeight = 250;
  r = ComputeViewLayout(s, 300, 200);
  EXPECT_EQ(0, r.explorer.bottom);
  EXPECT_EQ(7, r.fileList.bottom);
  EXPECT_EQ(14, r.resultList.top);
}

TEST(ViewLayout, Drags) {
  ViewLayoutState s;
  EXPECT_EQ(DragFirstBar, ViewDragKindAt(s, 480, 400));
  ApplyViewDrag(s, DragFirstBar, 50, 480);
  EXPECT_EQ(350, s.firstBar);
  ApplyViewDrag(s, DragFirstBar, 500, 480);
  EXPECT_EQ(473, s.firstBar);
  ApplyViewDrag(s, DragFirstBar, -1000, 480);
  EXPECT_EQ(0, s.firstBar);

  // The lower bar moves the result list; the explorer pane keeps its height.
  s = ViewLayoutState();
  s.resultShown = true;
  s.firstBar = 300;
  s.resultHeight = 100;
  EXPECT_EQ(DragSecondBar, ViewDragKindAt(s, 480, 373));
  EXPECT_EQ(DragFirstBar, ViewDragKindAt(s, 480, 372));
  ViewLayoutRects before = ComputeViewLayout(s, 640, 480);
  ApplyViewDrag(s, DragSecondBar, -40, 480);
  EXPECT_EQ(140, s.resultHeight);
  EXPECT_EQ(340, s.firstBar);
  ViewLayoutRects after = ComputeViewLayout(s, 640, 480);
  EXPECT_EQ(before.explorer.bottom, after.explorer.bottom);
  ApplyViewDrag(s, DragSecondBar, -1000, 480);
  EXPECT_EQ(466, s.resultHeight);
  EXPECT_EQ(473, s.firstBar);
}

TEST(ViewFocus, Table) {
  EXPECT_EQ(PaneExplorerTree, NextFocusPane(3, FromResultList, false, true));
  EXPECT_EQ(PaneFileList, NextFocusPane(3, FromResultList, true, true));
  EXPECT_EQ(PaneExplorerTree, NextFocusPane(2, FromFileList, false, false));
  EXPECT_EQ(PaneResultList, NextFocusPane(2, FromFileList, false, true));
  EXPECT_EQ(PaneExplorerList, NextFocusPane(2, FromFileList, true, true));
  EXPECT_EQ(PaneFileList, NextFocusPane(1, FromExplorerList, false, false));
  EXPECT_EQ(PaneExplorerTree, NextFocusPane(1, FromExplorerList, true, false));
  EXPECT_EQ(PaneExplorerList, NextFocusPane(0, FromExplorerTree, false, false));
  EXPECT_EQ(PaneFileList, NextFocusPane(0, FromExplorerTree, true, false));
  EXPECT_EQ(PaneResultList, NextFocusPane(0, FromExplorerTree, true, true));
  EXPECT_EQ(PaneExplorerList, NextFocusPane(0, FromExplorerPane, false, false));
  EXPECT_EQ(PaneFileList, NextFocusPane(2, FromExplorerPane, false, false));
  EXPECT_EQ(PaneResultList, NextFocusPane(0, FromExplorerPane, true, true));
  EXPECT_EQ(PaneFileList, NextFocusPane(0, FromExplorerPane, true, false));
  EXPECT_EQ(PaneExplorerTree, NextFocusPane(2, FromExplorerPane, true, true));
  EXPECT_EQ(2, NextFocusPane(2, FromOther, true, true));
}
