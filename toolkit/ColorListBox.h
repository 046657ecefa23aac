// The "ColorListBox" control: a list of text lines whose characters are drawn in colours of a
// 32-entry palette, with a current line and a text selection that may span lines (copied to
// the clipboard, dragged as files). CColorListBox is its class wrapper.
#pragma once
#include "framework/Framework.h"

// Private messages.
#define CLB_GETTEXTSEL 0x3801  // (DWORD* first line or NULL, DWORD* last line or NULL) -> 0 none, 1 one line, 2 several
#define CLB_SELECTALL 0x3804   // selects the text of every line
#define CLB_OPTION 0x3805      // (n | 0x80000000, value) sets option n, returns the old value; (n, 0) reads it
#define CLB_ADDLINE 0x3806     // (0, ColorListItem*) inserts (index -1: appends); -> index, -1 on failure
#define CLB_SETCOLOR 0x3809    // (n, COLORREF or -1 for the default): n < 32 text colour n, 32 + n its background
#define CLB_GETLINE 0x3812     // (0, ColorListItem* with index, buffer, size) -> text length, -1 for a bad index
#define CLB_SETSTYLE 0x381B    // (mask, value) -> the former style bits
#define CLB_GETSELTEXT 0x3820  // (buffer size, char* buffer or NULL) -> length of the selected text
#define CLB_ADDLINES 0x3830    // (0, const ColorListLines*) appends lines from a source -> lines added

// Notifications (WM_NOTIFY with an NMHDR) to the parent.
#define CLN_SELCHANGE 0x1302   // the current line or the text selection changed
#define CLN_BEGINDRAG 0x1303   // the mouse moved 3 pixels with the button down on selected text

// Options of CLB_OPTION.
#define CLBO_MARGIN 1          // left margin in pixels (2)
#define CLBO_LINEHEIGHT 2      // line height in pixels (0: from the font)
#define CLBO_REDRAW 11         // 2 holds drawing while the list is being set up; 1 (or 0) draws again

// Style bits of CLB_SETSTYLE.
#define CLBS_DRAGNOTIFY 0x00020000L   // send CLN_BEGINDRAG
#define CLBS_SELNOTIFY 0x00040000L    // send CLN_SELCHANGE
#define CLBS_HSCROLL 0x02000000L      // horizontal scroll bar for long lines
#define CLBS_ROWSELECT 0x80000000L    // the current line is highlighted across the list

// ColorListItem masks.
#define CLIF_COLOR 0x2        // pColors is given
#define CLIF_TEXT 0x4         // pszText is given / wanted
#define CLIF_COLORPERCHAR 0x8 // with CLIF_COLOR: one colour index per character (else one for the line)

// A line for CLB_ADDLINE and CLB_GETLINE.
struct ColorListItem {
  UINT mask;
  int index;             // line; -1 appends (CLB_ADDLINE)
  char* pszText;         // the text (CLB_ADDLINE) or the buffer (CLB_GETLINE)
  int cchText;           // text length, -1 up to the terminator
  int cchTextMax;        // buffer size of CLB_GETLINE
  const BYTE* pColors;   // palette indexes 0..31
};

// A source of lines for CLB_ADDLINES: sets item's mask, text, length and colours for line i
// (index and the buffers stay its own until the next call); FALSE ends the adding early.
typedef BOOL (*ColorListLineFunc)(void* context, int i, ColorListItem* item);
struct ColorListLines {
  int count;               // lines 0..count-1 are asked for in order
  ColorListLineFunc get;
  void* context;
};

// Registers the window class "ColorListBox" (once). FALSE on failure.
BOOL RegisterColorListBoxClass();

class CColorListBox : public CWnd {
  DECLARE_DYNAMIC(CColorListBox)
public:
  CColorListBox();
  ~CColorListBox() override;

  // Creates the control (style as for list boxes: 0x1 notifies the parent; extended style as
  // for windows). FALSE on failure.
  BOOL CreateEx(DWORD dwStyle, DWORD dwExStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);
  virtual BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);

  // Option n (CLB_OPTION with bit 31).
  int SetOption(int n, int value) { return (int)SendMessage(CLB_OPTION, (WPARAM)n | 0x80000000u, value); }
  // Text colour n (-1 default) and its background (-1 default).
  void SetColors(int n, COLORREF text, COLORREF background);
  // 0 no text selection, 1 within one line (its text in rString), 2 over several lines (the
  // text in rString when bAlways is set).
  int GetSelectedText(CString& rString, int bAlways = 0);

  int AddLine(LPCSTR lpszText, int nLength = -1, const BYTE* pColors = nullptr);
  // Appends count lines from get in one message (a million lines do not each pass the
  // window's procedures). Returns the lines added.
  int AddLines(int count, ColorListLineFunc get, void* context) {
    ColorListLines lines = {count, get, context};
    return (int)SendMessage(CLB_ADDLINES, 0, (LPARAM)&lines);
  }
  int GetLineText(int nIndex, CString& rString) const;
  int GetCount() const { return (int)SendMessage(LB_GETCOUNT); }
  int GetCurSel() const { return (int)SendMessage(LB_GETCURSEL); }
  int SetCurSel(int nIndex) { return (int)SendMessage(LB_SETCURSEL, nIndex); }
  void ResetContent() { SendMessage(LB_RESETCONTENT); }
  void SelectAll() { SendMessage(CLB_SELECTALL); }
  void Copy() { SendMessage(WM_COPY); }
};
