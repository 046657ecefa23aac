// Window helpers of the toolkit: character-width tables and path compaction, the clipboard,
// window placement helpers, splitter tracking and drawing, bringing a window to the front.
#pragma once
#include "framework/Framework.h"

// Fills widths[256] with the advance of every 8-bit character in font (NULL: the default GUI
// font). Returns FALSE when the widths cannot be read (the table then holds 8 everywhere).
BOOL GetCharWidthsFont(HFONT font, int widths[256]);
// The same for a stock font; -1 means ANSI_VAR_FONT.
BOOL GetCharWidthsStock(int stockFont, int widths[256]);
// Pixel width of n bytes of text (n -1: up to the terminator) by a width table.
int TextWidthByTable(const char* text, int n, const int widths[256]);
// Shortens path to at most pixelWidth pixels: the drive or server part is kept, then "...\"
// and as many trailing names as fit; a last name that alone is too wide keeps its start and
// ends in "...". The result (terminated, at most size - 1 bytes) goes to output. mode is
// reserved (pass 0 or 2). Returns the length written.
int PathCompactToWidth(const char* path, char* output, int size, int pixelWidth, const int widths[256], int mode);

// Puts text (length -1: up to the terminator) on the clipboard as CF_TEXT. FALSE on failure.
BOOL CopyTextToClipboard(const char* text, int length = -1);

// The window's top-left corner in screen coordinates.
CPoint GetWndRect(HWND hWnd);
// Moves dialog item idMove into the rectangle of item idTarget (same size and place).
BOOL MoveDlgItemToItem(HWND hDlg, int idMove, int idTarget);
// Sizes a window to width x height, or by that much when relative is nonzero.
BOOL SizeWindowTo(HWND hWnd, int width, int height, BOOL relative);
// Brings a window to the front even when another program is in the foreground.
void ForceForegroundWindow(HWND hWnd);

// Keeps a thread that works for long on its own messages answering messages other threads and
// programs send it: Tick, called often, answers them once every interval milliseconds. Input
// and posted messages stay queued, so nothing the user does runs in the middle of the work.
class CSentMessagePump {
public:
  explicit CSentMessagePump(DWORD intervalMs = 50) : m_interval(intervalMs), m_last(::GetTickCount()) {}
  void Tick() {
    if (++m_calls % 256 == 0 && ::GetTickCount() - m_last >= m_interval) Answer();
  }

private:
  void Answer();
  DWORD m_interval, m_last;
  unsigned m_calls = 0;
};

// Tracks a horizontal splitter bar with the mouse (captured until the button goes up).
// limitScreen bounds the bar in screen coordinates; barPos the bar's top in window client
// coordinates, barHeight its height; x and offset are where the drag started. Returns the
// distance moved, 0 when cancelled (Esc or the right button). reserved1 and reserved2 are
// passed as 5 and 12345 by callers and not used.
int TrackSplitter(HWND hWnd, int reserved0, const RECT* limitScreen, int barPos, int x, int offset, int barHeight,
                  int reserved1, int reserved2);
// Draws a splitter bar at row y, width pixels wide (flag reserved).
void DrawFramedBox(HDC hdc, int y, int width, int flag, int height = 7);
