// The geometry of the view.
#include "app/ViewLayout.h"

ViewLayoutRects ComputeViewLayout(ViewLayoutState& s, int w, int h) {
  ViewLayoutRects r = {};
  if (s.firstBar > h) s.firstBar = h - 100;
  if (s.firstBar < 0) s.firstBar = h;
  if (!s.resultShown) {
    SetRect(&r.explorer, 0, 0, w, s.firstBar);
    SetRect(&r.fileList, 0, s.firstBar + kViewBarHeight, w, h);
    SetRect(&r.resultList, 0, h + 1, w, h + 1);
    r.firstBarTop = s.firstBar;
    r.secondBarTop = -1;
    return r;
  }
  int top = s.firstBar - s.resultHeight - kViewBarHeight;
  if (top < 0) top = 0;
  int split = h - s.resultHeight - kViewBarHeight;
  if (split < kViewBarHeight) split = kViewBarHeight;
  SetRect(&r.explorer, 0, 0, w, top);
  SetRect(&r.fileList, 0, top + kViewBarHeight, w, split);
  SetRect(&r.resultList, 0, split + kViewBarHeight, w, h);
  r.firstBarTop = top;
  r.secondBarTop = split;
  return r;
}

ViewDragKind ViewDragKindAt(const ViewLayoutState& s, int h, int y) {
  if (!s.resultShown) return DragFirstBar;
  int split = h - s.resultHeight - kViewBarHeight;
  if (split < kViewBarHeight) split = kViewBarHeight;
  return y >= split ? DragSecondBar : DragFirstBar;
}

void ApplyViewDrag(ViewLayoutState& s, ViewDragKind kind, int d, int h) {
  if (s.resultShown) {
    if (s.resultHeight < 0) s.resultHeight = 0;
    if (s.firstBar < s.resultHeight) s.firstBar = s.resultHeight;
    if (kind == DragSecondBar) {
      // The explorer pane keeps its height: both values move the other way.
      s.resultHeight -= d;
      s.firstBar -= d;
    } else {
      s.firstBar += d;
    }
  } else {
    s.firstBar += d;
  }
  if (s.firstBar > h - kViewBarHeight) s.firstBar = h - kViewBarHeight;
  if (s.resultHeight > h - 2 * kViewBarHeight) s.resultHeight = h - 2 * kViewBarHeight;
  if (s.firstBar < 0) s.firstBar = 0;
  if (s.resultHeight < 0) s.resultHeight = 0;
}

int NextFocusPane(int index, FocusSource source, bool shift, bool resultShown) {
  switch (source) {
    case FromResultList:
      return shift ? PaneFileList : PaneExplorerTree;
    case FromFileList:
      if (shift) return PaneExplorerList;
      return resultShown ? PaneResultList : PaneExplorerTree;
    case FromExplorerList:
      return shift ? PaneExplorerTree : PaneFileList;
    case FromExplorerTree:
      if (!shift) return PaneExplorerList;
      return resultShown ? PaneResultList : PaneFileList;
    case FromExplorerPane:
      if (!shift) return index == PaneExplorerTree ? PaneExplorerList : PaneFileList;
      if (index == PaneExplorerTree) return resultShown ? PaneResultList : PaneFileList;
      return PaneExplorerTree;
    default:
      return index;
  }
}
