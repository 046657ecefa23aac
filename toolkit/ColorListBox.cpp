// The "ColorListBox" control and its wrapper.
#include "toolkit/ColorListBox.h"
#include <cstdlib>
#include <cstring>
#include <vector>
#include "toolkit/WndHelpers.h"

namespace {

const char kClassName[] = "ColorListBox";

// One line in one block: the header, the text with its terminator, then the colour runs.
// A run is one 16-bit word, the palette index in the low 5 bits and the character count (1 to
// 2047) above: with a million result lines every byte of a line counts.
typedef WORD Run;
const int kRunMax = 2047;
inline int RunCount(Run r) { return r >> 5; }
inline int RunColor(Run r) { return r & 31; }

struct LineBlock {
  int len;
  int nRuns;
  int width;  // pixels, by the font's width table when it was added
  char* Text() { return reinterpret_cast<char*>(this + 1); }
  Run* Runs() { return reinterpret_cast<Run*>(reinterpret_cast<char*>(this + 1) + ((len + 1 + 1) & ~1)); }
};

// The lines' memory: blocks carved one after another from large chunks, all freed together
// when the list is emptied (a deleted line's bytes stay until then). Saves the heap's
// per-allocation header and most of the time of a million single allocations.
class LinePool {
public:
  ~LinePool() { Clear(); }
  void* Allocate(size_t size) {
    size = (size + 3) & ~(size_t)3;
    if (size > m_left) {
      size_t chunk = size > kChunk ? size : kChunk;
      char* p = static_cast<char*>(malloc(chunk));
      if (!p) return nullptr;
      m_chunks.push_back(p);
      m_next = p;
      m_left = chunk;
    }
    void* block = m_next;
    m_next += size;
    m_left -= size;
    return block;
  }
  void Clear() {
    for (char* p : m_chunks) free(p);
    m_chunks.clear();
    m_next = nullptr;
    m_left = 0;
  }

private:
  static const size_t kChunk = 256 * 1024;
  std::vector<char*> m_chunks;
  char* m_next = nullptr;
  size_t m_left = 0;
};

// A line's block from its text and colours (null: none; one per character with perChar, else
// colors[0] for the whole line), its width by widths. One pass over the line gathers the colour
// runs into runs (room for len of them) and the width; the block then takes both.
LineBlock* MakeLine(LinePool& pool, const char* text, int len, const BYTE* colors, bool perChar,
                    const int widths[256], Run* runs) {
  int nRuns = 0, width = 0;
  if (colors && len > 0) {
    int c = (colors[0] & 31), count = 0;
    for (int i = 0; i < len; ++i) {
      width += widths[(BYTE)text[i]];
      int ci = perChar ? (colors[i] & 31) : c;
      if (ci != c || count == kRunMax) {
        runs[nRuns++] = (Run)(count << 5 | c);
        c = ci;
        count = 0;
      }
      ++count;
    }
    runs[nRuns++] = (Run)(count << 5 | c);
  } else {
    width = TextWidthByTable(text, len, widths);
  }
  size_t textBytes = ((size_t)len + 1 + 1) & ~(size_t)1;
  LineBlock* b = static_cast<LineBlock*>(pool.Allocate(sizeof(LineBlock) + textBytes + nRuns * sizeof(Run)));
  if (!b) return nullptr;
  b->len = len;
  b->nRuns = nRuns;
  b->width = width;
  memcpy(b->Text(), text, len);
  b->Text()[len] = 0;
  memcpy(b->Runs(), runs, nRuns * sizeof(Run));
  return b;
}

struct Pos {
  int line;
  int ch;
  bool operator==(const Pos& o) const { return line == o.line && ch == o.ch; }
  bool operator<(const Pos& o) const { return line < o.line || (line == o.line && ch < o.ch); }
};

class ColorList {
public:
  explicit ColorList(HWND h) : m_hWnd(h) {
    for (int i = 0; i < 32; ++i) m_text[i] = m_back[i] = CLR_INVALID;
    SetFont(nullptr);
  }
  ~ColorList() { Reset(); }

  LRESULT Proc(UINT msg, WPARAM wp, LPARAM lp);

private:
  HWND m_hWnd;
  std::vector<LineBlock*> m_lines;
  LinePool m_pool;
  std::vector<Run> m_runs;  // a line's colour runs while it is added
  COLORREF m_text[32], m_back[32];
  HFONT m_hFont = nullptr;
  int m_widths[256] = {};
  int m_fontHeight = 16;
  int m_options[16] = {0, 2};
  DWORD m_style = 0;
  int m_top = 0;
  int m_xOffset = 0;
  int m_maxWidth = 0;
  int m_curSel = -1;
  Pos m_anchor = {0, 0}, m_caret = {0, 0};
  bool m_selecting = false;
  bool m_dragPending = false;
  POINT m_dragStart = {};
  bool m_focus = false;

  int LineHeight() const { return m_options[CLBO_LINEHEIGHT] > 0 ? m_options[CLBO_LINEHEIGHT] : m_fontHeight; }
  int Margin() const { return m_options[CLBO_MARGIN]; }
  int Count() const { return (int)m_lines.size(); }
  int VisibleLines() const {
    RECT rc;
    ::GetClientRect(m_hWnd, &rc);
    return rc.bottom / LineHeight();
  }
  bool HasSelection() const { return !(m_anchor == m_caret); }
  void SelRange(Pos& a, Pos& b) const {
    a = m_anchor < m_caret ? m_anchor : m_caret;
    b = m_anchor < m_caret ? m_caret : m_anchor;
  }
  bool Holding() const { return m_options[CLBO_REDRAW] == 2; }
  void Redraw() {
    if (!Holding()) ::InvalidateRect(m_hWnd, nullptr, FALSE);
  }

  void Reset() {
    m_lines.clear();
    m_lines.shrink_to_fit();
    m_pool.Clear();
    m_top = m_xOffset = m_maxWidth = 0;
    m_curSel = -1;
    m_anchor = m_caret = {0, 0};
  }
  void SetFont(HFONT font) {
    m_hFont = font ? font : (HFONT)::GetStockObject(DEFAULT_GUI_FONT);
    GetCharWidthsFont(m_hFont, m_widths);
    HDC hdc = ::GetDC(m_hWnd);
    HGDIOBJ old = ::SelectObject(hdc, m_hFont);
    TEXTMETRICA tm;
    ::GetTextMetricsA(hdc, &tm);
    ::SelectObject(hdc, old);
    ::ReleaseDC(m_hWnd, hdc);
    m_fontHeight = tm.tmHeight + tm.tmExternalLeading + 1;
    m_maxWidth = 0;
    for (LineBlock* b : m_lines) {
      b->width = TextWidthByTable(b->Text(), b->len, m_widths);
      if (b->width > m_maxWidth) m_maxWidth = b->width;
    }
  }

  void Notify(UINT code) {
    NMHDR nm = {m_hWnd, (UINT_PTR)::GetDlgCtrlID(m_hWnd), code};
    ::SendMessageA(::GetParent(m_hWnd), WM_NOTIFY, nm.idFrom, (LPARAM)&nm);
  }
  void NotifyCommand(WORD code) {
    if (::GetWindowLongA(m_hWnd, GWL_STYLE) & LBS_NOTIFY)
      ::SendMessageA(::GetParent(m_hWnd), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(m_hWnd), code), (LPARAM)m_hWnd);
  }
  void SelChanged() {
    if (m_style & CLBS_SELNOTIFY) Notify(CLN_SELCHANGE);
  }

  // What the bars were last given (max, page, pos); a max of -1 has not been given.
  struct BarState {
    int max = -1, page = 0, pos = 0;
  };
  BarState m_vertBar, m_horzBar;

  // Gives the bars what changed without drawing them at once: the frame is painted with the
  // next WM_PAINT, so that a fill or a scroll costs one paint however often it gets here.
  void UpdateScrollBars() {
    if (Holding()) return;
    RECT rc;
    ::GetClientRect(m_hWnd, &rc);
    bool changed = SetBar(SB_VERT, m_vertBar, Count() ? Count() - 1 : 0, VisibleLines(), m_top);
    if (m_style & CLBS_HSCROLL) changed |= SetBar(SB_HORZ, m_horzBar, m_maxWidth + Margin() * 2, rc.right, m_xOffset);
    if (changed) ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_NOERASE);
  }
  bool SetBar(int bar, BarState& last, int max, int page, int pos) {
    if (last.max == max && last.page == page && last.pos == pos) return false;
    // Noted first: showing or hiding a bar resizes the client and comes back here.
    last.max = max;
    last.page = page;
    last.pos = pos;
    SCROLLINFO si = {sizeof si, SIF_RANGE | SIF_PAGE | SIF_POS};
    // The vertical bar stays, disabled, when everything fits.
    if (bar == SB_VERT) si.fMask |= SIF_DISABLENOSCROLL;
    si.nMax = max;
    si.nPage = (UINT)page;
    si.nPos = pos;
    ::SetScrollInfo(m_hWnd, bar, &si, FALSE);
    return true;
  }
  void ScrollTo(int top) {
    int maxTop = Count() - VisibleLines();
    if (top > maxTop) top = maxTop;
    if (top < 0) top = 0;
    if (top == m_top) return;
    m_top = top;
    UpdateScrollBars();
    Redraw();
  }
  void EnsureVisible(int line) {
    int vis = VisibleLines();
    if (vis < 1) vis = 1;
    if (line < m_top)
      ScrollTo(line);
    else if (line >= m_top + vis)
      ScrollTo(line - vis + 1);
  }

  // The character position under a client point (line clamped into the list).
  Pos HitTest(int x, int y) const {
    Pos p = {0, 0};
    if (Count() == 0) return p;
    int line = m_top + (y >= 0 ? y / LineHeight() : -1 - (-y) / LineHeight());
    if (line < 0) line = 0;
    if (line >= Count()) return {Count() - 1, m_lines[Count() - 1]->len};
    p.line = line;
    const LineBlock* b = m_lines[line];
    int px = x - Margin() + m_xOffset, acc = 0;
    const char* t = const_cast<LineBlock*>(b)->Text();
    while (p.ch < b->len) {
      int w = m_widths[(BYTE)t[p.ch]];
      if (px < acc + w / 2) break;
      acc += w;
      ++p.ch;
    }
    return p;
  }
  bool InSelection(Pos p) const {
    if (!HasSelection()) return false;
    Pos a, b;
    SelRange(a, b);
    return !(p < a) && p < b;
  }

  CString SelectedText() const {
    Pos a, b;
    SelRange(a, b);
    CString s;
    for (int line = a.line; line <= b.line && line < Count(); ++line) {
      LineBlock* blk = m_lines[line];
      int from = line == a.line ? a.ch : 0;
      int to = line == b.line ? b.ch : blk->len;
      if (to > blk->len) to = blk->len;
      if (from < to) s.Append(blk->Text() + from, to - from);
      if (line != b.line) s += "\r\n";
    }
    return s;
  }

  void SetCurSel(int i, bool notify) {
    if (i < -1 || i >= Count()) i = -1;
    m_curSel = i;
    if (i >= 0) {
      m_anchor = m_caret = {i, 0};
      EnsureVisible(i);
    }
    Redraw();
    if (notify) SelChanged();
  }

  int AddLine(const ColorListItem* item) {
    if (!item || !(item->mask & CLIF_TEXT) || !item->pszText) return -1;
    int len = item->cchText < 0 ? (int)strlen(item->pszText) : item->cchText;
    const BYTE* colors = (item->mask & CLIF_COLOR) ? item->pColors : nullptr;
    if (colors && (int)m_runs.size() < len) m_runs.resize(len);
    LineBlock* b = MakeLine(m_pool, item->pszText, len, colors, (item->mask & CLIF_COLORPERCHAR) != 0, m_widths,
                            m_runs.data());
    if (!b) return -1;
    if (b->width > m_maxWidth) m_maxWidth = b->width;
    int index = item->index;
    if (index < 0 || index > Count()) index = Count();
    m_lines.insert(m_lines.begin() + index, b);
    if (m_curSel >= index) ++m_curSel;
    if (Holding()) return index;
    if (index < m_top + VisibleLines() + 1) Redraw();
    UpdateScrollBars();
    return index;
  }

  int AddLines(const ColorListLines* lines) {
    if (!lines || !lines->get) return 0;
    int added = 0;
    if (lines->count > 0) m_lines.reserve(m_lines.size() + lines->count);
    for (int i = 0; i < lines->count; ++i) {
      ColorListItem item = {};
      if (!lines->get(lines->context, i, &item)) break;
      item.index = -1;
      if (AddLine(&item) < 0) break;
      ++added;
    }
    return added;
  }

  int GetLine(ColorListItem* item) const {
    if (!item || item->index < 0 || item->index >= Count()) return -1;
    LineBlock* b = m_lines[item->index];
    if ((item->mask & CLIF_TEXT) && item->pszText && item->cchTextMax > 0) {
      int n = b->len < item->cchTextMax - 1 ? b->len : item->cchTextMax - 1;
      memcpy(item->pszText, b->Text(), n);
      item->pszText[n] = 0;
      item->cchText = n;
    }
    return b->len;
  }

  int DeleteLine(int i) {
    if (i < 0 || i >= Count()) return LB_ERR;
    m_lines.erase(m_lines.begin() + i);
    if (m_curSel > i || m_curSel >= Count()) --m_curSel;
    m_anchor = m_caret = {m_curSel >= 0 ? m_curSel : 0, 0};
    ScrollTo(m_top);
    UpdateScrollBars();
    Redraw();
    return Count();
  }

  COLORREF TextColor(int c) const {
    return m_text[c] != CLR_INVALID ? m_text[c] : ::GetSysColor(COLOR_WINDOWTEXT);
  }
  COLORREF BackColor(int c) const { return m_back[c] != CLR_INVALID ? m_back[c] : ::GetSysColor(COLOR_WINDOW); }

  void PaintLine(HDC hdc, int line, const RECT& row) {
    LineBlock* b = m_lines[line];
    Pos a, z;
    SelRange(a, z);
    bool hasSel = HasSelection() && line >= a.line && line <= z.line;
    int selFrom = hasSel ? (line == a.line ? a.ch : 0) : -1;
    int selTo = hasSel ? (line == z.line ? z.ch : b->len + 1) : -1;
    bool rowHi = m_curSel == line && !HasSelection();
    COLORREF hiText = ::GetSysColor(m_focus ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT);
    COLORREF hiBack = ::GetSysColor(m_focus ? COLOR_HIGHLIGHT : COLOR_BTNFACE);
    int x = row.left + Margin() - m_xOffset;
    // Left margin.
    RECT r = row;
    r.right = x;
    if (r.right > r.left) {
      ::SetBkColor(hdc, rowHi && (m_style & CLBS_ROWSELECT) ? hiBack : BackColor(0));
      ::ExtTextOutA(hdc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
    }
    const char* t = b->Text();
    Run* runs = b->Runs();
    int run = 0, left = b->nRuns ? RunCount(runs[0]) : b->len + 1;
    int dx[256];
    int i = 0;
    while (i < b->len) {
      int color = b->nRuns && run < b->nRuns ? RunColor(runs[run]) : 0;
      bool sel = i >= selFrom && i < selTo;
      // The segment ends at the run's end, a selection edge, the line's end or 256 characters.
      int n = left;
      if (i + n > b->len) n = b->len - i;
      if (selFrom > i && selFrom < i + n) n = selFrom - i;
      if (selTo > i && selTo < i + n) n = selTo - i;
      if (n > 256) n = 256;
      int w = 0;
      for (int k = 0; k < n; ++k) w += dx[k] = m_widths[(BYTE)t[i + k]];
      RECT seg = {x, row.top, x + w, row.bottom};
      if (seg.right > row.left && seg.left < row.right) {
        bool hi = sel || rowHi;
        ::SetTextColor(hdc, hi ? hiText : TextColor(color));
        ::SetBkColor(hdc, hi ? hiBack : BackColor(color));
        ::ExtTextOutA(hdc, x, row.top, ETO_OPAQUE | ETO_CLIPPED, &seg, t + i, n, dx);
      }
      x += w;
      i += n;
      left -= n;
      if (left == 0 && b->nRuns && ++run < b->nRuns) left = RunCount(runs[run]);
    }
    // The rest of the row; a selection that goes on past the line's end marks it.
    r = row;
    r.left = x;
    bool tailSel = hasSel && selTo > b->len;
    if (tailSel) {
      RECT mark = r;
      mark.right = x + m_widths[' '];
      ::SetBkColor(hdc, hiBack);
      ::ExtTextOutA(hdc, 0, 0, ETO_OPAQUE, &mark, nullptr, 0, nullptr);
      r.left = mark.right;
    }
    if (r.right > r.left) {
      ::SetBkColor(hdc, rowHi && (m_style & CLBS_ROWSELECT) ? hiBack : BackColor(0));
      ::ExtTextOutA(hdc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
    }
    if (m_focus && line == m_curSel) ::DrawFocusRect(hdc, &row);
  }

  void Paint() {
    PAINTSTRUCT ps;
    HDC hdc = ::BeginPaint(m_hWnd, &ps);
    RECT rc;
    ::GetClientRect(m_hWnd, &rc);
    HGDIOBJ old = ::SelectObject(hdc, m_hFont);
    int h = LineHeight();
    int first = m_top + ps.rcPaint.top / h;
    int y = (first - m_top) * h;
    for (int line = first; line < Count() && y < ps.rcPaint.bottom; ++line, y += h) {
      RECT row = {rc.left, y, rc.right, y + h};
      PaintLine(hdc, line, row);
    }
    if (y < ps.rcPaint.bottom) {
      RECT rest = {rc.left, y, rc.right, rc.bottom};
      ::SetBkColor(hdc, BackColor(0));
      ::ExtTextOutA(hdc, 0, 0, ETO_OPAQUE, &rest, nullptr, 0, nullptr);
    }
    ::SelectObject(hdc, old);
    ::EndPaint(m_hWnd, &ps);
  }

  void OnVScroll(int code) {
    SCROLLINFO si = {sizeof si, SIF_ALL};
    ::GetScrollInfo(m_hWnd, SB_VERT, &si);
    int top = m_top, page = VisibleLines() > 1 ? VisibleLines() - 1 : 1;
    switch (code) {
      case SB_LINEUP: --top; break;
      case SB_LINEDOWN: ++top; break;
      case SB_PAGEUP: top -= page; break;
      case SB_PAGEDOWN: top += page; break;
      case SB_THUMBTRACK:
      case SB_THUMBPOSITION: top = si.nTrackPos; break;
      case SB_TOP: top = 0; break;
      case SB_BOTTOM: top = Count(); break;
      default: return;
    }
    ScrollTo(top);
  }
  void OnHScroll(int code) {
    SCROLLINFO si = {sizeof si, SIF_ALL};
    ::GetScrollInfo(m_hWnd, SB_HORZ, &si);
    int x = m_xOffset, step = m_widths['x'] * 4;
    switch (code) {
      case SB_LINELEFT: x -= step; break;
      case SB_LINERIGHT: x += step; break;
      case SB_PAGELEFT: x -= (int)si.nPage; break;
      case SB_PAGERIGHT: x += (int)si.nPage; break;
      case SB_THUMBTRACK:
      case SB_THUMBPOSITION: x = si.nTrackPos; break;
      default: return;
    }
    int maxX = m_maxWidth + Margin() * 2 - (int)si.nPage;
    if (x > maxX) x = maxX;
    if (x < 0) x = 0;
    if (x != m_xOffset) {
      m_xOffset = x;
      UpdateScrollBars();
      Redraw();
    }
  }

  void OnKey(UINT vk) {
    // Tab hands the focus back to the parent, which passes it on to the next pane.
    if (vk == VK_TAB) {
      ::SetFocus(::GetParent(m_hWnd));
      return;
    }
    if (Count() == 0) return;
    bool shift = ::GetKeyState(VK_SHIFT) < 0, ctrl = ::GetKeyState(VK_CONTROL) < 0;
    if (ctrl && vk == 'C') {
      ::SendMessageA(m_hWnd, WM_COPY, 0, 0);
      return;
    }
    if (ctrl && vk == 'A') {
      SelectAll();
      return;
    }
    int cur = m_curSel < 0 ? 0 : m_curSel, page = VisibleLines() > 1 ? VisibleLines() - 1 : 1;
    switch (vk) {
      case VK_UP: --cur; break;
      case VK_DOWN: ++cur; break;
      case VK_PRIOR: cur -= page; break;
      case VK_NEXT: cur += page; break;
      case VK_HOME: cur = 0; break;
      case VK_END: cur = Count() - 1; break;
      default: return;
    }
    if (cur < 0) cur = 0;
    if (cur >= Count()) cur = Count() - 1;
    if (shift) {
      // Whole lines from the anchor to the new current line.
      Pos anchor = m_anchor;
      m_curSel = cur;
      m_caret = cur >= anchor.line ? Pos{cur, m_lines[cur]->len} : Pos{cur, 0};
      m_anchor = anchor;
      EnsureVisible(cur);
      Redraw();
      SelChanged();
    } else {
      SetCurSel(cur, true);
    }
  }

  void SelectAll() {
    if (Count() == 0) return;
    m_anchor = {0, 0};
    m_caret = {Count() - 1, m_lines[Count() - 1]->len};
    Redraw();
    SelChanged();
  }

  void OnLButtonDown(int x, int y) {
    ::SetFocus(m_hWnd);
    if (Count() == 0) return;
    Pos p = HitTest(x, y);
    if (::GetKeyState(VK_SHIFT) < 0) {
      m_caret = p;
    } else if ((m_style & CLBS_DRAGNOTIFY) && InSelection(p)) {
      m_dragPending = true;
      m_dragStart = {x, y};
      ::SetCapture(m_hWnd);
      return;
    } else {
      m_anchor = m_caret = p;
    }
    m_curSel = p.line;
    m_selecting = true;
    ::SetCapture(m_hWnd);
    Redraw();
    SelChanged();
  }
  void OnMouseMove(int x, int y) {
    if (m_dragPending) {
      if (abs(x - m_dragStart.x) >= 3 || abs(y - m_dragStart.y) >= 3) {
        m_dragPending = false;
        ::ReleaseCapture();
        Notify(CLN_BEGINDRAG);
      }
      return;
    }
    if (!m_selecting) return;
    RECT rc;
    ::GetClientRect(m_hWnd, &rc);
    if (y < 0)
      ScrollTo(m_top - 1);
    else if (y >= rc.bottom)
      ScrollTo(m_top + 1);
    Pos p = HitTest(x, y);
    if (!(p == m_caret)) {
      m_caret = p;
      m_curSel = p.line;
      Redraw();
      SelChanged();
    }
  }
  void OnLButtonUp(int x, int y) {
    if (m_dragPending) {
      // A click on selected text without a drag places the caret there.
      m_dragPending = false;
      Pos p = HitTest(x, y);
      m_anchor = m_caret = p;
      m_curSel = p.line;
      Redraw();
      SelChanged();
    }
    m_selecting = false;
    if (::GetCapture() == m_hWnd) ::ReleaseCapture();
  }
  void OnRButtonDown(int x, int y) {
    if (Count() == 0) return;
    ::SetFocus(m_hWnd);
    Pos p = HitTest(x, y);
    // A right click outside the text selection moves the current line there.
    if (!InSelection(p)) {
      m_curSel = p.line;
      m_anchor = m_caret = p;
      Redraw();
      SelChanged();
    }
  }
};

LRESULT ColorList::Proc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_PAINT:
      Paint();
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_SIZE:
      ScrollTo(m_top);
      UpdateScrollBars();
      Redraw();
      return 0;
    case WM_SETFONT:
      SetFont((HFONT)wp);
      UpdateScrollBars();
      if (LOWORD(lp)) Redraw();
      return 0;
    case WM_GETFONT:
      return (LRESULT)m_hFont;
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_SETFOCUS:
      m_focus = true;
      Redraw();
      NotifyCommand(LBN_SETFOCUS);
      return 0;
    case WM_KILLFOCUS:
      m_focus = false;
      Redraw();
      NotifyCommand(LBN_KILLFOCUS);
      return 0;
    case WM_VSCROLL:
      OnVScroll(LOWORD(wp));
      return 0;
    case WM_HSCROLL:
      OnHScroll(LOWORD(wp));
      return 0;
    case WM_MOUSEWHEEL:
      ScrollTo(m_top - (short)HIWORD(wp) / WHEEL_DELTA * 3);
      return 0;
    case WM_KEYDOWN:
      OnKey((UINT)wp);
      return 0;
    case WM_LBUTTONDOWN:
      OnLButtonDown((short)LOWORD(lp), (short)HIWORD(lp));
      return 0;
    case WM_MOUSEMOVE:
      OnMouseMove((short)LOWORD(lp), (short)HIWORD(lp));
      return 0;
    case WM_LBUTTONUP:
      OnLButtonUp((short)LOWORD(lp), (short)HIWORD(lp));
      return 0;
    case WM_LBUTTONDBLCLK:
      if (Count()) {
        Pos p = HitTest((short)LOWORD(lp), (short)HIWORD(lp));
        m_curSel = p.line;
        m_anchor = m_caret = p;
        Redraw();
        NotifyCommand(LBN_DBLCLK);
      }
      return 0;
    case WM_RBUTTONDOWN:
      OnRButtonDown((short)LOWORD(lp), (short)HIWORD(lp));
      return 0;
    case WM_CAPTURECHANGED:
      m_selecting = m_dragPending = false;
      return 0;
    case WM_COPY: {
      CString s;
      if (HasSelection())
        s = SelectedText();
      else if (m_curSel >= 0)
        s = CString(m_lines[m_curSel]->Text(), m_lines[m_curSel]->len);
      else
        return 0;
      CopyTextToClipboard(s, s.GetLength());
      return 1;
    }
    case LB_RESETCONTENT:
      Reset();
      UpdateScrollBars();
      Redraw();
      return 0;
    case LB_GETCOUNT:
      return Count();
    case LB_GETCURSEL:
      return m_curSel;
    case LB_SETCURSEL:
      SetCurSel((int)wp, false);
      return (int)wp >= 0 && (int)wp < Count() ? (LRESULT)wp : LB_ERR;
    case LB_DELETESTRING:
      return DeleteLine((int)wp);
    case LB_GETTOPINDEX:
      return m_top;
    case LB_SETTOPINDEX:
      ScrollTo((int)wp);
      return 0;
    case LB_GETTEXTLEN:
      return (int)wp >= 0 && (int)wp < Count() ? m_lines[wp]->len : LB_ERR;
    case LB_GETTEXT:
      if ((int)wp < 0 || (int)wp >= Count() || !lp) return LB_ERR;
      memcpy((char*)lp, m_lines[wp]->Text(), m_lines[wp]->len + 1);
      return m_lines[wp]->len;
    case LB_ADDSTRING: {
      ColorListItem item = {CLIF_TEXT, -1, (char*)lp, -1, 0, nullptr};
      return AddLine(&item);
    }
    case CLB_GETTEXTSEL: {
      Pos a, b;
      SelRange(a, b);
      if (wp) *(DWORD*)wp = (DWORD)a.line;
      if (lp) *(DWORD*)lp = (DWORD)b.line;
      if (!HasSelection()) return 0;
      return a.line == b.line ? 1 : 2;
    }
    case CLB_SELECTALL:
      SelectAll();
      return 0;
    case CLB_GETSELTEXT: {
      CString t = SelectedText();
      if (lp && wp > 0) {
        int n = t.GetLength() < (int)wp - 1 ? t.GetLength() : (int)wp - 1;
        memcpy((char*)lp, (const char*)t, n);
        ((char*)lp)[n] = 0;
        return n;
      }
      return t.GetLength();
    }
    case CLB_OPTION: {
      int n = (int)(wp & 0xFF);
      if (n >= 16) return 0;
      int old = m_options[n];
      if (wp & 0x80000000u) {
        m_options[n] = (int)lp;
        if (n == CLBO_REDRAW && lp != 2) {
          UpdateScrollBars();
          ::InvalidateRect(m_hWnd, nullptr, FALSE);
        } else {
          UpdateScrollBars();
          Redraw();
        }
      }
      return old;
    }
    case CLB_ADDLINE:
      return AddLine(reinterpret_cast<const ColorListItem*>(lp));
    case CLB_ADDLINES:
      return AddLines(reinterpret_cast<const ColorListLines*>(lp));
    case CLB_SETCOLOR: {
      int n = (int)wp;
      if (n < 0 || n >= 64) return 0;
      (n < 32 ? m_text[n] : m_back[n - 32]) = (COLORREF)lp == (COLORREF)-1 ? CLR_INVALID : (COLORREF)lp;
      Redraw();
      return 1;
    }
    case CLB_GETLINE:
      return GetLine(reinterpret_cast<ColorListItem*>(lp));
    case CLB_SETSTYLE: {
      DWORD old = m_style;
      m_style = (m_style & ~(DWORD)wp) | ((DWORD)lp & (DWORD)wp);
      if ((old ^ m_style) & CLBS_HSCROLL) {
        if (!(m_style & CLBS_HSCROLL)) {
          m_xOffset = 0;
          ::ShowScrollBar(m_hWnd, SB_HORZ, FALSE);
        }
        m_horzBar = BarState();
        UpdateScrollBars();
      }
      Redraw();
      return (LRESULT)old;
    }
  }
  return ::DefWindowProcA(m_hWnd, msg, wp, lp);
}

LRESULT CALLBACK ColorListProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  // The state lives in the window's extra bytes: the user data belongs to whoever subclasses.
  ColorList* self = reinterpret_cast<ColorList*>(::GetWindowLongPtrA(h, 0));
  if (msg == WM_NCCREATE) {
    self = new ColorList(h);
    ::SetWindowLongPtrA(h, 0, (LONG_PTR)self);
  }
  if (!self) return ::DefWindowProcA(h, msg, wp, lp);
  if (msg == WM_NCDESTROY) {
    ::SetWindowLongPtrA(h, 0, 0);
    delete self;
    return ::DefWindowProcA(h, msg, wp, lp);
  }
  return self->Proc(msg, wp, lp);
}

}  // namespace

BOOL RegisterColorListBoxClass() {
  static BOOL s_done = FALSE;
  if (s_done) return TRUE;
  WNDCLASSA wc = {};
  HINSTANCE hInst = ::GetModuleHandleA(nullptr);
  if (::GetClassInfoA(hInst, kClassName, &wc)) return s_done = TRUE;
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = ColorListProc;
  wc.cbWndExtra = sizeof(void*);
  wc.hInstance = hInst;
  wc.hCursor = ::LoadCursor(nullptr, IDC_IBEAM);
  wc.lpszClassName = kClassName;
  return s_done = ::RegisterClassA(&wc) != 0;
}

IMPLEMENT_DYNAMIC(CColorListBox, CWnd)

CColorListBox::CColorListBox() {}

CColorListBox::~CColorListBox() {}

BOOL CColorListBox::CreateEx(DWORD dwStyle, DWORD dwExStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
  if (!RegisterColorListBoxClass()) return FALSE;
  return CWnd::CreateEx(dwExStyle, kClassName, nullptr, dwStyle, rect, pParentWnd, nID);
}

BOOL CColorListBox::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
  return CreateEx(dwStyle, 0, rect, pParentWnd, nID);
}

void CColorListBox::SetColors(int n, COLORREF text, COLORREF background) {
  SendMessage(CLB_SETCOLOR, n, (LPARAM)text);
  SendMessage(CLB_SETCOLOR, n + 32, (LPARAM)background);
}

int CColorListBox::GetSelectedText(CString& rString, int bAlways) {
  rString.Empty();
  int kind = (int)SendMessage(CLB_GETTEXTSEL);
  if (kind == 0) return 0;
  if (kind == 1 || bAlways) {
    int len = (int)SendMessage(CLB_GETSELTEXT, 0, 0);
    char* buf = rString.GetBuffer(len + 1);
    if (buf) rString.ReleaseBuffer((int)SendMessage(CLB_GETSELTEXT, len + 1, (LPARAM)buf));
  }
  return kind;
}

int CColorListBox::AddLine(LPCSTR lpszText, int nLength, const BYTE* pColors) {
  ColorListItem item = {CLIF_TEXT | (pColors ? CLIF_COLOR | CLIF_COLORPERCHAR : 0u), -1, const_cast<LPSTR>(lpszText),
                        nLength, 0, pColors};
  return (int)SendMessage(CLB_ADDLINE, 0, (LPARAM)&item);
}

int CColorListBox::GetLineText(int nIndex, CString& rString) const {
  ColorListItem item = {CLIF_TEXT, nIndex, nullptr, 0, 0, nullptr};
  int len = (int)SendMessage(CLB_GETLINE, 0, (LPARAM)&item);
  if (len < 0) {
    rString.Empty();
    return -1;
  }
  item.pszText = rString.GetBuffer(len + 1);
  item.cchTextMax = len + 1;
  len = (int)SendMessage(CLB_GETLINE, 0, (LPARAM)&item);
  rString.ReleaseBuffer(len < 0 ? 0 : len);
  return len;
}
