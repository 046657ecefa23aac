// The geometry of the view: three panes stacked from top to bottom between two 7-pixel bars,
// the arithmetic of dragging a bar, and the choice of the pane that gets the focus next.
#pragma once
#include <windows.h>

struct ViewLayoutState {
  int firstBar = 300;        // position of the first bar; the explorer pane's height
  int resultHeight = 100;    // height of the result list, counted from the bottom
  bool resultShown = false;  // the result list is hidden until the first search
};

struct ViewLayoutRects {
  RECT explorer;
  RECT fileList;
  RECT resultList;
  int firstBarTop;   // where the first bar is drawn
  int secondBarTop;  // where the second bar is drawn (-1 while the result list is hidden)
};

enum { kViewBarHeight = 7 };

// Lays out a client area of w x h (both must be non-zero); may move the first bar into the
// view (below h: to h-100; negative: to h).
ViewLayoutRects ComputeViewLayout(ViewLayoutState& state, int w, int h);

// Which bar a button press at y grabs, and the drag's limits.
enum ViewDragKind { DragFirstBar, DragSecondBar };
ViewDragKind ViewDragKindAt(const ViewLayoutState& state, int h, int y);
// Applies a finished drag of distance d (non-zero) to the state, then bounds both values by h.
void ApplyViewDrag(ViewLayoutState& state, ViewDragKind kind, int d, int h);

// Focus passing: the panes by index, and where the focus came from.
enum ViewPane { PaneExplorerTree = 0, PaneExplorerList = 1, PaneFileList = 2, PaneResultList = 3 };
enum FocusSource { FromResultList, FromFileList, FromExplorerList, FromExplorerTree, FromExplorerPane, FromOther };
// The pane that gets the focus next, from the former index, the source, Shift and whether the
// result list is shown. FromOther keeps the index.
int NextFocusPane(int currentIndex, FocusSource source, bool shift, bool resultShown);
