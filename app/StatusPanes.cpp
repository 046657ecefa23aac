// The status-pane service.
#include "app/StatusPanes.h"

#include <stdlib.h>
#include <string.h>

#include "app/Resource.h"

DWORD CStatusPaneService::s_ready = 0;

// --- widths -------------------------------------------------------------------------------------

int StatusWidthUnit() {
  static int unit = 0;
  if (unit == 0) {
    int u = -7;
    LOGFONTA lf = {};
    if (::SystemParametersInfoA(SPI_GETICONTITLELOGFONT, sizeof lf, &lf, 0)) {
      if (lf.lfWidth != 0)
        u = lf.lfWidth;
      else if (lf.lfHeight * 2 / 3 != 0)
        u = lf.lfHeight * 2 / 3;
    }
    if (u > 0) u = -u;
    if (u < -25) u = -25;
    unit = u;
  }
  return -unit;
}

void ScaleStatusWidths(int* widths, int count) {
  if (!widths) return;
  int unit = StatusWidthUnit();
  for (int i = 0; i < count; ++i)
    if (widths[i] < 0) widths[i] = -widths[i] * unit;
}

// --- owner-drawn records ------------------------------------------------------------------------

namespace {

// The records of the owner-drawn panes, kept beside the status bar that owns them.
HWND g_hBar = nullptr;
WNDPROC g_pfnBarProc = nullptr;
StatusPaneText* g_records[CStatusPaneService::MaxPanes] = {};

void FreeRecord(int pane) {
  if (pane < 0 || pane >= CStatusPaneService::MaxPanes) return;
  free(g_records[pane]);
  g_records[pane] = nullptr;
}

LRESULT CALLBACK StatusBarProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  WNDPROC next = g_pfnBarProc;
  if (message == WM_DESTROY) {
    for (int i = 0; i < CStatusPaneService::MaxPanes; ++i) FreeRecord(i);
    ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, (LONG_PTR)next);
    g_hBar = nullptr;
    g_pfnBarProc = nullptr;
  } else if (message == SB_SETTEXTA && !(wParam & SBT_OWNERDRAW)) {
    int pane = (int)(wParam & 0xFF);
    if (pane < CStatusPaneService::MaxPanes && g_records[pane]) {
      // The bar repeating the pane's text keeps it coloured; a new text makes it plain.
      const char* text = lParam ? reinterpret_cast<const char*>(lParam) : "";
      if (!strcmp(text, g_records[pane]->text)) return TRUE;
      FreeRecord(pane);
    }
  }
  return ::CallWindowProcA(next, hWnd, message, wParam, lParam);
}

void SubclassBar(HWND hBar) {
  if (g_hBar == hBar) return;
  g_hBar = hBar;
  g_pfnBarProc = (WNDPROC)::SetWindowLongPtrA(hBar, GWLP_WNDPROC, (LONG_PTR)StatusBarProc);
}

StatusPaneText* MakeRecord(const char* text, int background, int foreground) {
  int n = text ? (int)strlen(text) : 0;
  auto* rec = static_cast<StatusPaneText*>(malloc(sizeof(StatusPaneText) + n));
  if (!rec) return nullptr;
  rec->background = background;
  rec->foreground = foreground;
  rec->length = n;
  if (n) memcpy(rec->text, text, n);
  rec->text[n] = 0;
  return rec;
}

// The number of panes a request names: count, or up to the first zero id when count is
// negative; none without ids; at most the operation's limit.
int RequestedPanes(const UINT* ids, int count) {
  const int limit = CStatusPaneService::MaxOperationPanes;
  if (!ids) return 0;
  if (count < 0) {
    count = 0;
    while (count < limit && ids[count] != 0) ++count;
  }
  return count > limit ? limit : count;
}

}  // namespace

// --- the service --------------------------------------------------------------------------------

CStatusPaneService::CStatusPaneService(CWnd* frame, CStatusBar* bar) : m_pFrame(frame), m_pBar(bar) {}

bool CStatusPaneService::Usable() const { return m_pBar && m_pBar->m_hWnd && ::IsWindow(m_pBar->m_hWnd); }

void CStatusPaneService::Reset() {
  m_nextTag = 2;
  m_nCount = 0;
  m_nFirst = 1;
  memset(m_tags, 0, sizeof m_tags);
}

void CStatusPaneService::ResetIfBare() {
  if (m_pBar->GetCount() < 2) Reset();
}

void CStatusPaneService::Rebuild(const PaneCopy* panes, int n) {
  if (g_hBar == m_pBar->m_hWnd)
    for (int i = 0; i < MaxPanes; ++i) FreeRecord(i);
  UINT ids[MaxPanes];
  for (int i = 0; i < n; ++i) ids[i] = panes[i].id;
  m_pBar->SetIndicators(ids, n);
  for (int i = 0; i < n; ++i) {
    m_pBar->SetPaneInfo(i, panes[i].id, panes[i].style & ~(SBPS_OWNERDRAW | SBPS_POPOUT), panes[i].width);
    m_pBar->SetPaneText(i, panes[i].text, FALSE);
    m_tags[i] = panes[i].tag;
  }
  for (int i = n; i < MaxPanes; ++i) m_tags[i] = 0;
  m_pBar->Invalidate();
}

int CStatusPaneService::SetStatusPanes(const UINT* ids, const int* widths, int count) {
  s_ready = ReadyValue;
  if (!Usable()) return 0;
  ResetIfBare();
  count = RequestedPanes(ids, count);
  int scaled[MaxOperationPanes];
  for (int i = 0; i < count; ++i) scaled[i] = widths ? widths[i] : 50;
  ScaleStatusWidths(scaled, count);

  PaneCopy panes[MaxPanes];
  int n = 0, total = m_pBar->GetCount();
  auto copyPane = [&](int i) {
    PaneCopy& p = panes[n++];
    m_pBar->GetPaneInfo(i, p.id, p.style, p.width);
    p.text = m_pBar->GetPaneText(i);
    p.tag = m_tags[i];
  };
  copyPane(0);
  for (int i = 0; i < count; ++i) panes[n++] = PaneCopy{ids[i], SBPS_NORMAL, scaled[i], CString(), 1};
  for (int i = m_nFirst; i < total && n < MaxPanes; ++i) copyPane(i);
  Rebuild(panes, n);
  m_nCount = count;
  m_nFirst = count + 1;
  return count;
}

int CStatusPaneService::InsertStatusPanes(const UINT* ids, const int* widths, int count) {
  if (s_ready != ReadyValue || !Usable()) return 0;
  ResetIfBare();
  count = RequestedPanes(ids, count);
  int total = m_pBar->GetCount();
  int others = total - m_nCount;  // the message pane and the panes of other owners
  if (others + count > MaxOtherPanes) return -1;
  int scaled[MaxOperationPanes];
  for (int i = 0; i < count; ++i) scaled[i] = widths ? widths[i] : 50;
  ScaleStatusWidths(scaled, count);

  DWORD tag = m_nextTag;
  m_nextTag = m_nextTag >= 0xFFFF ? 2 : m_nextTag + 1;
  PaneCopy panes[MaxPanes];
  int n = 0;
  auto copyPane = [&](int i) {
    PaneCopy& p = panes[n++];
    m_pBar->GetPaneInfo(i, p.id, p.style, p.width);
    p.text = m_pBar->GetPaneText(i);
    p.tag = m_tags[i];
  };
  for (int i = 0; i < m_nFirst && i < total; ++i) copyPane(i);
  for (int i = 0; i < count; ++i) panes[n++] = PaneCopy{ids[i], SBPS_NORMAL, scaled[i], CString(), tag};
  for (int i = m_nFirst; i < total && n < MaxPanes; ++i) copyPane(i);
  Rebuild(panes, n);
  return (int)(tag & 0xFFFF);
}

int CStatusPaneService::RemoveStatusPanes(int tag) {
  if (s_ready != ReadyValue || !Usable()) return 0;
  ResetIfBare();
  PaneCopy panes[MaxPanes];
  int n = 0, total = m_pBar->GetCount();
  for (int i = 0; i < total && n < MaxPanes; ++i) {
    if (i >= m_nFirst && m_tags[i] == (DWORD)tag) continue;
    PaneCopy& p = panes[n++];
    m_pBar->GetPaneInfo(i, p.id, p.style, p.width);
    p.text = m_pBar->GetPaneText(i);
    p.tag = m_tags[i];
  }
  if (n != total) Rebuild(panes, n);
  return n;
}

int CStatusPaneService::PaneIndex(int index) const {
  int total = m_pBar->GetCount();
  int pane = index < 0 ? total + index : index + 1;
  return pane >= 1 && pane < total && pane < MaxPanes ? pane : -1;
}

bool CStatusPaneService::ColorPanesSupported() const {
  return m_pFrame && m_pFrame->m_hWnd && m_pFrame->SendMessage(WM_VM_SUPPORTS_COLOR_PANES) == ReadyValue;
}

void CStatusPaneService::SetOwnerDrawn(int pane, const char* text, int background, int foreground, BOOL update) {
  SubclassBar(m_pBar->m_hWnd);
  StatusPaneText* rec = MakeRecord(text, background, foreground);
  if (!rec) {
    m_pBar->SetPaneText(pane, text, update);
    return;
  }
  UINT id, style;
  int width;
  m_pBar->GetPaneInfo(pane, id, style, width);
  FreeRecord(pane);
  // The framework keeps the text (for later layouts); the control gets the record.
  m_pBar->SetPaneInfo(pane, id, style | SBPS_POPOUT, width);
  m_pBar->SetPaneText(pane, text, FALSE);
  FreeRecord(pane);
  g_records[pane] = rec;
  m_pBar->SendMessage(SB_SETTEXTA, (WPARAM)(pane | SBT_OWNERDRAW | SBT_POPOUT), (LPARAM)rec);
  if (update) m_pBar->UpdateWindow();
}

int CStatusPaneService::SetPaneText(int index, const char* text, BOOL update, int background, int foreground) {
  if (s_ready != ReadyValue || !Usable()) return 0;
  ResetIfBare();
  int pane = PaneIndex(index);
  if (pane < 0) return 0;
  if (!text) text = "";
  if ((background >= 0 || foreground >= 0) && ColorPanesSupported()) {
    SetOwnerDrawn(pane, text, background, foreground, update);
    return 1;
  }
  if (g_hBar == m_pBar->m_hWnd && g_records[pane]) {
    FreeRecord(pane);
    UINT id, style;
    int width;
    m_pBar->GetPaneInfo(pane, id, style, width);
    m_pBar->SetPaneInfo(pane, id, style & ~SBPS_POPOUT, width);
  }
  m_pBar->SetPaneText(pane, text, update);
  return 1;
}

int CStatusPaneService::SetPaneColors(int index, BOOL update, int background, int foreground) {
  if (s_ready != ReadyValue || !Usable()) return 0;
  ResetIfBare();
  int pane = PaneIndex(index);
  if (pane < 0) return 0;
  CString text = m_pBar->GetPaneText(pane);
  StatusPaneText* rec = g_hBar == m_pBar->m_hWnd ? g_records[pane] : nullptr;
  if (background < 0 && foreground < 0) {
    if (rec) return SetPaneText(index, text, update, -1, -1);
    return 1;
  }
  if (rec && rec->background == background && rec->foreground == foreground) return 1;
  if (!ColorPanesSupported()) return 1;
  SetOwnerDrawn(pane, text, background, foreground, update);
  return 1;
}

namespace {

// True when size bytes at p are committed, readable memory of this process. The service's
// pointers come with a window message that any program can send.
bool Readable(const void* p, size_t size) {
  if (!p) return false;
  const char* at = static_cast<const char*>(p);
  const char* end = at + size;
  while (at < end) {
    MEMORY_BASIC_INFORMATION mbi;
    if (!::VirtualQuery(at, &mbi, sizeof mbi) || mbi.State != MEM_COMMIT) return false;
    DWORD prot = mbi.Protect & 0xFF;
    if ((mbi.Protect & PAGE_GUARD) || prot == PAGE_NOACCESS || prot == PAGE_EXECUTE) return false;
    at = static_cast<const char*>(mbi.BaseAddress) + mbi.RegionSize;
  }
  return true;
}

// A NUL-terminated text of at most max bytes that lies in readable memory, copied; false
// when it does not.
bool ReadText(const char* p, CString& out, int max = 1024) {
  if (!p) {
    out.Empty();
    return true;
  }
  int n = 0;
  while (n < max) {
    if (!Readable(p + n, 1)) return false;
    if (!p[n]) break;
    ++n;
  }
  out = CString(p, n);
  return true;
}

// The id or width list of a request: count entries, or (count negative) the ids up to the
// first 0; at most MaxOperationPanes. *pCount gets the entries read. False when the list is
// not readable.
bool ReadList(DWORD address, int count, UINT* out, int* pCount) {
  *pCount = 0;
  const UINT* p = reinterpret_cast<const UINT*>(address);
  int max = count < 0 || count > CStatusPaneService::MaxOperationPanes ? CStatusPaneService::MaxOperationPanes : count;
  int n = 0;
  while (n < max) {
    if (!Readable(p + n, sizeof(UINT))) return false;
    if (count < 0 && p[n] == 0) break;
    out[n] = p[n];
    ++n;
  }
  *pCount = n;
  return true;
}

}  // namespace

LRESULT CStatusPaneService::Dispatch(WPARAM operation, const DWORD* a) {
  if (operation > 4) return 1;
  if (operation == 2) return RemoveStatusPanes(2);
  static const int kWords[5] = {3, 5, 0, 3, 4};
  if (!Readable(a, kWords[operation] * sizeof(DWORD))) return 0;
  switch (operation) {
    case 0:
    case 3: {
      UINT ids[MaxOperationPanes] = {}, widths[MaxOperationPanes] = {};
      int count = (int)a[2], n = 0, nWidths = 0;
      if (a[0] && !ReadList(a[0], count, ids, &n)) return 0;
      if (a[0] && a[1] && !ReadList(a[1], n, widths, &nWidths)) return 0;
      const UINT* pIds = a[0] ? ids : nullptr;
      const int* pWidths = a[1] ? reinterpret_cast<const int*>(widths) : nullptr;
      return operation == 0 ? SetStatusPanes(pIds, pWidths, n) : InsertStatusPanes(pIds, pWidths, n);
    }
    case 1: {
      CString text;
      if (!ReadText(reinterpret_cast<const char*>(a[1]), text)) return 0;
      return SetPaneText((int)a[0], text, (BOOL)a[2], (int)a[3], (int)a[4]);
    }
    default:
      return SetPaneColors((int)a[0], (BOOL)a[1], (int)a[2], (int)a[3]);
  }
}

void CStatusPaneService::DrawPane(const DRAWITEMSTRUCT* dis) {
  const auto* rec = reinterpret_cast<const StatusPaneText*>(dis->itemData);
  if (!rec) return;
  HDC dc = dis->hDC;
  COLORREF back = rec->background < 0 ? ::GetSysColor(COLOR_MENU) : (COLORREF)rec->background;
  COLORREF fore = rec->foreground < 0 ? ::GetSysColor(COLOR_WINDOWTEXT) : (COLORREF)rec->foreground;
  COLORREF oldBack = ::SetBkColor(dc, back);
  COLORREF oldFore = ::SetTextColor(dc, fore);
  UINT oldAlign = ::SetTextAlign(dc, TA_CENTER | TA_BOTTOM);
  const RECT& r = dis->rcItem;
  ::ExtTextOutA(dc, (r.left + r.right) / 2, r.bottom - 1, ETO_OPAQUE | ETO_CLIPPED, &r, rec->text, rec->length,
                nullptr);
  ::SetTextAlign(dc, oldAlign);
  ::SetTextColor(dc, oldFore);
  ::SetBkColor(dc, oldBack);
}
