// Window helpers of the toolkit.
#include "toolkit/WndHelpers.h"
#include <cstring>

BOOL GetCharWidthsFont(HFONT font, int widths[256]) {
  for (int i = 0; i < 256; ++i) widths[i] = 8;
  HDC hdc = ::GetDC(nullptr);
  if (!hdc) return FALSE;
  HGDIOBJ old = ::SelectObject(hdc, font ? (HGDIOBJ)font : ::GetStockObject(DEFAULT_GUI_FONT));
  BOOL ok = ::GetCharWidth32A(hdc, 0, 255, widths);
  ::SelectObject(hdc, old);
  ::ReleaseDC(nullptr, hdc);
  return ok;
}

BOOL GetCharWidthsStock(int stockFont, int widths[256]) {
  return GetCharWidthsFont((HFONT)::GetStockObject(stockFont == -1 ? ANSI_VAR_FONT : stockFont), widths);
}

int TextWidthByTable(const char* text, int n, const int widths[256]) {
  if (n < 0) n = (int)strlen(text);
  int w = 0;
  for (int i = 0; i < n; ++i) w += widths[(BYTE)text[i]];
  return w;
}

static int CopyOut(char* output, int size, const char* a, int na, const char* b, int nb) {
  int n = 0;
  for (int i = 0; i < na && n < size - 1; ++i) output[n++] = a[i];
  for (int i = 0; i < nb && n < size - 1; ++i) output[n++] = b[i];
  output[n] = 0;
  return n;
}

int PathCompactToWidth(const char* path, char* output, int size, int pixelWidth, const int widths[256], int) {
  if (size <= 0) return 0;
  int len = (int)strlen(path);
  if (TextWidthByTable(path, len, widths) <= pixelWidth) return CopyOut(output, size, path, len, "", 0);
  // The head that stays: "X:\" or "\\server\share\".
  int head = 0;
  if (len >= 2 && path[1] == ':') {
    head = 2;
    if (head < len && (path[head] == '\\' || path[head] == '/')) ++head;
  } else if (len >= 2 && path[0] == '\\' && path[1] == '\\') {
    int seps = 0;
    for (head = 2; head < len; ++head)
      if ((path[head] == '\\' || path[head] == '/') && ++seps == 2) {
        ++head;
        break;
      }
  }
  static const char kDots[] = "...\\";
  int wHead = TextWidthByTable(path, head, widths) + TextWidthByTable(kDots, 4, widths);
  // The tail: the longest run of trailing names that fits after head and "...\".
  int best = -1;
  for (int i = len - 1; i > head; --i) {
    if (path[i - 1] != '\\' && path[i - 1] != '/') continue;
    if (wHead + TextWidthByTable(path + i, len - i, widths) <= pixelWidth)
      best = i;
    else
      break;
  }
  if (best > 0) {
    int n = CopyOut(output, size, path, head, kDots, 4);
    return n + CopyOut(output + n, size - n, path + best, len - best, "", 0);
  }
  // Not even the last name fits: its start and "...".
  int name = len;
  while (name > 0 && path[name - 1] != '\\' && path[name - 1] != '/') --name;
  int wDots = TextWidthByTable("...", 3, widths);
  int keep = 0, w = 0;
  while (name + keep < len && w + widths[(BYTE)path[name + keep]] + wDots <= pixelWidth) w += widths[(BYTE)path[name + keep++]];
  return CopyOut(output, size, path + name, keep, "...", 3);
}

BOOL CopyTextToClipboard(const char* text, int length) {
  if (!text) return FALSE;
  if (length < 0) length = (int)strlen(text);
  HGLOBAL h = ::GlobalAlloc(GMEM_MOVEABLE, length + 1);
  if (!h) return FALSE;
  char* p = static_cast<char*>(::GlobalLock(h));
  memcpy(p, text, length);
  p[length] = 0;
  ::GlobalUnlock(h);
  // The clipboard may be busy for a moment with another program, and under Wine a set can fail
  // now and then right after the open: try the whole exchange again for about a second.
  for (int tries = 0; tries < 50; ++tries) {
    if (::OpenClipboard(nullptr)) {
      BOOL ok = ::EmptyClipboard() && ::SetClipboardData(CF_TEXT, h) != nullptr;
      ::CloseClipboard();
      if (ok) return TRUE;  // the clipboard owns the memory now
    }
    ::Sleep(20);
  }
  ::GlobalFree(h);
  return FALSE;
}

CPoint GetWndRect(HWND hWnd) {
  RECT r = {};
  ::GetWindowRect(hWnd, &r);
  return CPoint(r.left, r.top);
}

BOOL MoveDlgItemToItem(HWND hDlg, int idMove, int idTarget) {
  HWND hMove = ::GetDlgItem(hDlg, idMove), hTarget = ::GetDlgItem(hDlg, idTarget);
  if (!hMove || !hTarget) return FALSE;
  RECT r;
  ::GetWindowRect(hTarget, &r);
  ::MapWindowPoints(nullptr, hDlg, (LPPOINT)&r, 2);
  return ::SetWindowPos(hMove, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL SizeWindowTo(HWND hWnd, int width, int height, BOOL relative) {
  if (relative) {
    RECT r;
    ::GetWindowRect(hWnd, &r);
    width += r.right - r.left;
    height += r.bottom - r.top;
  }
  return ::SetWindowPos(hWnd, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void ForceForegroundWindow(HWND hWnd) {
  if (!hWnd) return;
  HWND hFore = ::GetForegroundWindow();
  DWORD foreThread = hFore ? ::GetWindowThreadProcessId(hFore, nullptr) : 0;
  DWORD ourThread = ::GetCurrentThreadId();
  // Sharing the foreground thread's input state lets SetForegroundWindow succeed.
  bool attached = foreThread && foreThread != ourThread && ::AttachThreadInput(ourThread, foreThread, TRUE);
  if (::IsIconic(hWnd)) ::ShowWindow(hWnd, SW_RESTORE);
  ::BringWindowToTop(hWnd);
  ::SetForegroundWindow(hWnd);
  ::SetActiveWindow(hWnd);
  if (attached) ::AttachThreadInput(ourThread, foreThread, FALSE);
}

void DrawFramedBox(HDC hdc, int y, int width, int, int height) {
  RECT r = {0, y, width, y + height};
  ::FillRect(hdc, &r, ::GetSysColorBrush(COLOR_BTNFACE));
  ::DrawEdge(hdc, &r, EDGE_RAISED, BF_TOP | BF_BOTTOM);
}

int TrackSplitter(HWND hWnd, int, const RECT* limitScreen, int barPos, int x, int offset, int barHeight, int, int) {
  RECT limit = *limitScreen;
  ::MapWindowPoints(nullptr, hWnd, (LPPOINT)&limit, 2);
  RECT client;
  ::GetClientRect(hWnd, &client);
  int cur = barPos;
  ::SetCapture(hWnd);
  HDC hdc = ::GetDCEx(hWnd, nullptr, DCX_CACHE | DCX_CLIPSIBLINGS | DCX_LOCKWINDOWUPDATE);
  HBRUSH brush = (HBRUSH)::GetStockObject(GRAY_BRUSH);
  auto invert = [&](int top) {
    HGDIOBJ old = ::SelectObject(hdc, brush);
    ::PatBlt(hdc, client.left, top, client.right - client.left, barHeight, PATINVERT);
    ::SelectObject(hdc, old);
  };
  invert(cur);
  bool cancelled = false, done = false;
  while (!done && ::GetCapture() == hWnd) {
    MSG msg;
    if (!::GetMessageA(&msg, nullptr, 0, 0)) {
      ::PostQuitMessage((int)msg.wParam);
      cancelled = true;
      break;
    }
    switch (msg.message) {
      case WM_MOUSEMOVE: {
        int y = (short)HIWORD(msg.lParam);
        int top = y - offset;
        if (top < limit.top) top = limit.top;
        if (top > limit.bottom - barHeight) top = limit.bottom - barHeight;
        if (top != cur) {
          invert(cur);
          cur = top;
          invert(cur);
        }
        break;
      }
      case WM_LBUTTONUP:
        done = true;
        break;
      case WM_RBUTTONDOWN:
        cancelled = done = true;
        break;
      case WM_KEYDOWN:
        if (msg.wParam == VK_ESCAPE) cancelled = done = true;
        break;
      default:
        ::DispatchMessageA(&msg);
    }
  }
  invert(cur);
  ::ReleaseDC(hWnd, hdc);
  if (::GetCapture() == hWnd) ::ReleaseCapture();
  (void)x;
  return cancelled ? 0 : cur - barPos;
}

void CSentMessagePump::Answer() {
  MSG msg;
  ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  m_last = ::GetTickCount();
}
