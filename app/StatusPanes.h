// The status-pane service of the main frame: panes that the program (operation 0) or other
// owners (operation 3, each with a tag of its own) add behind the message pane, their texts
// and optional colours (owner-drawn panes carrying a StatusPaneText record).
#pragma once
#include "framework/Framework.h"

// Heap record of an owner-drawn pane; the status bar owns it.
struct StatusPaneText {
  int background;   // COLORREF, negative = COLOR_MENU
  int foreground;   // COLORREF, negative = COLOR_WINDOWTEXT
  int length;       // bytes of text
  char text[1];     // the text with its terminator
};

// Scales pane widths: a negative width counts character units of the icon-title font (-10 is
// ten units, the unit found once per process, at most 25 pixels); other widths stay pixels.
void ScaleStatusWidths(int* widths, int count);
// The unit in pixels that ScaleStatusWidths multiplies by (positive).
int StatusWidthUnit();

class CStatusPaneService {
public:
  enum { MaxPanes = 32, MaxOperationPanes = 8, MaxOtherPanes = 24, ReadyValue = 0x12345678 };

  // frame: the window asked whether coloured panes are drawn (message 0x5E97); bar: the status
  // bar (its window may not exist yet).
  CStatusPaneService(CWnd* frame, CStatusBar* bar);

  // Operation 0: the program's panes behind the message pane (ids null: none; count negative:
  // the ids up to the first 0; at most 8). widths null: 50 pixels each. Returns the count.
  int SetStatusPanes(const UINT* ids, const int* widths, int count);
  // Operation 3: panes of a new owner behind the operation-0 panes. Returns the new owner tag
  // (low 16 bits), -1 when more than 24 other panes would result.
  int InsertStatusPanes(const UINT* ids, const int* widths, int count);
  // Operation 2 (tag 2): drops every later pane with that owner tag. Returns the panes left.
  int RemoveStatusPanes(int tag);
  // Operation 1: index 0 is the pane behind the message pane, -1 the last pane. A colour (not
  // negative) makes the pane owner-drawn when the frame draws coloured panes. 1, 0 when refused.
  int SetPaneText(int index, const char* text, BOOL update, int background, int foreground);
  // Operation 4: keeps the text, changes the colours (both negative: plain text again).
  int SetPaneColors(int index, BOOL update, int background, int foreground);
  // Message 0x524: wParam the operation, args the argument words. Unknown operations give 1;
  // an argument block, list or text that is not readable memory gives 0.
  LRESULT Dispatch(WPARAM operation, const DWORD* args);
  // Draws an owner-drawn pane of the status bar.
  static void DrawPane(const DRAWITEMSTRUCT* dis);

  // Read by tests.
  int OperationCount() const { return m_nCount; }
  int OwnerTag(int pane) const { return pane >= 0 && pane < MaxPanes ? (int)m_tags[pane] : 0; }

  // The process-wide ready word (set by the first operation 0); tests reset it.
  static DWORD s_ready;

private:
  bool Usable() const;
  void ResetIfBare();
  void Reset();
  int PaneIndex(int index) const;   // pane number for an operation index, -1 when out of range
  bool ColorPanesSupported() const;
  void SetOwnerDrawn(int pane, const char* text, int background, int foreground, BOOL update);
  struct PaneCopy {
    UINT id;
    UINT style;
    int width;
    CString text;
    DWORD tag;
  };
  void Rebuild(const PaneCopy* panes, int n);

  CWnd* m_pFrame;
  CStatusBar* m_pBar;
  DWORD m_nextTag = 2;
  int m_nCount = 0;
  int m_nFirst = 1;
  DWORD m_tags[MaxPanes] = {};
};
