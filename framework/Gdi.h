// Device contexts and GDI objects: thin owners of HDC, HPEN, HBRUSH, HFONT, HBITMAP and HRGN.
// Each object deletes only what it created or was given with Attach.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include "framework/String.h"
#include "framework/Types.h"

class CWnd;

// Base of the GDI object owners. Attach takes ownership; Detach gives it back.
class CGdiObject {
public:
  HGDIOBJ m_hObject = nullptr;
  CGdiObject() {}
  virtual ~CGdiObject() { DeleteObject(); }
  CGdiObject(const CGdiObject&) = delete;
  CGdiObject& operator=(const CGdiObject&) = delete;
  HGDIOBJ GetSafeHandle() const { return m_hObject; }
  // FALSE when this object already holds a handle or hObject is NULL.
  BOOL Attach(HGDIOBJ hObject);
  HGDIOBJ Detach();
  // Deletes the held object (stock objects are left alone by GDI). FALSE when none was held.
  BOOL DeleteObject();
  int GetObject(int nCount, LPVOID lpObject) const { return ::GetObjectA(m_hObject, nCount, lpObject); }
};

class CPen : public CGdiObject {
public:
  CPen() {}
  CPen(int nPenStyle, int nWidth, COLORREF crColor) { CreatePen(nPenStyle, nWidth, crColor); }
  BOOL CreatePen(int nPenStyle, int nWidth, COLORREF crColor) { return Attach(::CreatePen(nPenStyle, nWidth, crColor)); }
  operator HPEN() const { return (HPEN)m_hObject; }
};

class CBrush : public CGdiObject {
public:
  CBrush() {}
  explicit CBrush(COLORREF crColor) { CreateSolidBrush(crColor); }
  BOOL CreateSolidBrush(COLORREF crColor) { return Attach(::CreateSolidBrush(crColor)); }
  BOOL CreateSysColorBrush(int nIndex) { return Attach(::GetSysColorBrush(nIndex)); }
  BOOL CreatePatternBrush(HBITMAP hBitmap) { return Attach(::CreatePatternBrush(hBitmap)); }
  operator HBRUSH() const { return (HBRUSH)m_hObject; }
};

class CFont : public CGdiObject {
public:
  BOOL CreateFontIndirect(const LOGFONTA* lpLogFont) { return Attach(::CreateFontIndirectA(lpLogFont)); }
  operator HFONT() const { return (HFONT)m_hObject; }
};

class CBitmap : public CGdiObject {
public:
  BOOL LoadBitmap(UINT nIDResource);
  BOOL LoadBitmap(HINSTANCE hInst, LPCSTR lpszResourceName) { return Attach(::LoadBitmapA(hInst, lpszResourceName)); }
  BOOL CreateCompatibleBitmap(HDC hDC, int nWidth, int nHeight) {
    return Attach(::CreateCompatibleBitmap(hDC, nWidth, nHeight));
  }
  BOOL CreateBitmap(int nWidth, int nHeight, UINT nPlanes, UINT nBitcount, const void* lpBits) {
    return Attach(::CreateBitmap(nWidth, nHeight, nPlanes, nBitcount, lpBits));
  }
  int GetBitmap(BITMAP* pBitMap) const { return GetObject(sizeof(BITMAP), pBitMap); }
  operator HBITMAP() const { return (HBITMAP)m_hObject; }
};

class CRgn : public CGdiObject {
public:
  BOOL CreateRectRgn(int l, int t, int r, int b) { return Attach(::CreateRectRgn(l, t, r, b)); }
  BOOL CreateRectRgnIndirect(LPCRECT r) { return Attach(::CreateRectRgnIndirect(r)); }
  operator HRGN() const { return (HRGN)m_hObject; }
};

// A device context. The base class owns a DC made by CreateCompatibleDC (deleted at the end) or
// wraps one it was given by Attach (left alone at the end). Selections made through SelectObject
// are undone by RestoreSelections and at destruction.
class CDC {
public:
  HDC m_hDC = nullptr;
  CDC() {}
  virtual ~CDC();
  CDC(const CDC&) = delete;
  CDC& operator=(const CDC&) = delete;
  operator HDC() const { return m_hDC; }
  HDC GetSafeHdc() const { return m_hDC; }

  // Wraps an existing DC without owning it.
  BOOL Attach(HDC hDC);
  HDC Detach();
  // A memory DC compatible with pDC (the screen when NULL), owned by this object.
  BOOL CreateCompatibleDC(CDC* pDC);
  BOOL DeleteDC();

  int SaveDC() { return ::SaveDC(m_hDC); }
  BOOL RestoreDC(int nSavedDC) { return ::RestoreDC(m_hDC, nSavedDC); }
  HGDIOBJ SelectObject(HGDIOBJ hObject);
  HGDIOBJ SelectObject(CGdiObject* pObject) { return SelectObject(pObject ? pObject->m_hObject : nullptr); }
  HGDIOBJ SelectStockObject(int nIndex) { return SelectObject(::GetStockObject(nIndex)); }
  // Puts back the objects that were selected before the first SelectObject.
  void RestoreSelections();

  COLORREF SetTextColor(COLORREF c) { return ::SetTextColor(m_hDC, c); }
  COLORREF SetBkColor(COLORREF c) { return ::SetBkColor(m_hDC, c); }
  int SetBkMode(int nMode) { return ::SetBkMode(m_hDC, nMode); }
  UINT SetTextAlign(UINT nFlags) { return ::SetTextAlign(m_hDC, nFlags); }
  int SetMapMode(int nMode) { return ::SetMapMode(m_hDC, nMode); }
  int GetDeviceCaps(int nIndex) const { return ::GetDeviceCaps(m_hDC, nIndex); }

  BOOL TextOut(int x, int y, LPCSTR s, int n) { return ::TextOutA(m_hDC, x, y, s, n); }
  BOOL TextOut(int x, int y, const CString& s) { return TextOut(x, y, s, s.GetLength()); }
  BOOL ExtTextOut(int x, int y, UINT nOptions, LPCRECT r, LPCSTR s, UINT n, const int* lpDx = nullptr) {
    return ::ExtTextOutA(m_hDC, x, y, nOptions, r, s, n, lpDx);
  }
  int DrawText(LPCSTR s, int n, LPRECT r, UINT nFormat) { return ::DrawTextA(m_hDC, s, n, r, nFormat); }
  int DrawText(const CString& s, LPRECT r, UINT nFormat) { return DrawText(s, s.GetLength(), r, nFormat); }
  CSize GetTextExtent(LPCSTR s, int n) const;
  CSize GetTextExtent(const CString& s) const { return GetTextExtent(s, s.GetLength()); }
  BOOL GetTextMetrics(TEXTMETRICA* tm) const { return ::GetTextMetricsA(m_hDC, tm); }

  void FillSolidRect(LPCRECT r, COLORREF c);
  void FillSolidRect(int x, int y, int cx, int cy, COLORREF c);
  void FillRect(LPCRECT r, HBRUSH hBrush) { ::FillRect(m_hDC, r, hBrush); }
  void FrameRect(LPCRECT r, HBRUSH hBrush) { ::FrameRect(m_hDC, r, hBrush); }
  void Draw3dRect(LPCRECT r, COLORREF clrTopLeft, COLORREF clrBottomRight);
  BOOL DrawEdge(LPRECT r, UINT nEdge, UINT nFlags) { return ::DrawEdge(m_hDC, r, nEdge, nFlags); }
  BOOL DrawFocusRect(LPCRECT r) { return ::DrawFocusRect(m_hDC, r); }
  BOOL Rectangle(int l, int t, int r, int b) { return ::Rectangle(m_hDC, l, t, r, b); }
  BOOL Rectangle(LPCRECT r) { return Rectangle(r->left, r->top, r->right, r->bottom); }
  CPoint MoveTo(int x, int y);
  BOOL LineTo(int x, int y) { return ::LineTo(m_hDC, x, y); }
  BOOL BitBlt(int x, int y, int w, int h, CDC* pSrc, int xSrc, int ySrc, DWORD dwRop) {
    return ::BitBlt(m_hDC, x, y, w, h, pSrc ? pSrc->m_hDC : nullptr, xSrc, ySrc, dwRop);
  }
  BOOL PatBlt(int x, int y, int w, int h, DWORD dwRop) { return ::PatBlt(m_hDC, x, y, w, h, dwRop); }
  COLORREF GetPixel(int x, int y) const { return ::GetPixel(m_hDC, x, y); }
  COLORREF SetPixel(int x, int y, COLORREF c) { return ::SetPixel(m_hDC, x, y, c); }
  BOOL DrawIcon(int x, int y, HICON hIcon) { return ::DrawIcon(m_hDC, x, y, hIcon); }
  int IntersectClipRect(LPCRECT r) { return ::IntersectClipRect(m_hDC, r->left, r->top, r->right, r->bottom); }
  int SelectClipRgn(CRgn* pRgn) { return ::SelectClipRgn(m_hDC, pRgn ? (HRGN)pRgn->m_hObject : nullptr); }
  int ExcludeClipRect(LPCRECT r) { return ::ExcludeClipRect(m_hDC, r->left, r->top, r->right, r->bottom); }
  int GetClipBox(LPRECT r) const { return ::GetClipBox(m_hDC, r); }

protected:
  BOOL m_bOwned = FALSE; // created by CreateCompatibleDC
  struct Saved {
    UINT type;
    HGDIOBJ h;
  };
  Saved m_saved[6] = {};
  int m_nSaved = 0;
};

// BeginPaint/EndPaint around a WM_PAINT handler.
class CPaintDC : public CDC {
public:
  explicit CPaintDC(CWnd* pWnd);
  ~CPaintDC();
  PAINTSTRUCT m_ps;

private:
  HWND m_hWnd;
};

// GetDC/ReleaseDC of a window's client area.
class CClientDC : public CDC {
public:
  explicit CClientDC(CWnd* pWnd);
  ~CClientDC();

private:
  HWND m_hWnd;
};


