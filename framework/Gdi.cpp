// Device contexts, GDI objects and image lists.
#include "framework/Framework.h"

BOOL CGdiObject::Attach(HGDIOBJ hObject) {
  if (m_hObject || !hObject) return FALSE;
  m_hObject = hObject;
  return TRUE;
}

HGDIOBJ CGdiObject::Detach() {
  HGDIOBJ h = m_hObject;
  m_hObject = nullptr;
  return h;
}

BOOL CGdiObject::DeleteObject() {
  if (!m_hObject) return FALSE;
  ::DeleteObject(Detach());
  return TRUE;
}

BOOL CBitmap::LoadBitmap(UINT nIDResource) {
  return Attach(::LoadBitmapA(AfxGetResourceHandle(), MAKEINTRESOURCEA(nIDResource)));
}

CDC::~CDC() {
  if (m_hDC) {
    RestoreSelections();
    if (m_bOwned) ::DeleteDC(m_hDC);
  }
}

BOOL CDC::Attach(HDC hDC) {
  if (m_hDC || !hDC) return FALSE;
  m_hDC = hDC;
  m_bOwned = FALSE;
  return TRUE;
}

HDC CDC::Detach() {
  HDC h = m_hDC;
  m_hDC = nullptr;
  m_nSaved = 0;
  m_bOwned = FALSE;
  return h;
}

BOOL CDC::CreateCompatibleDC(CDC* pDC) {
  if (m_hDC) return FALSE;
  m_hDC = ::CreateCompatibleDC(pDC ? pDC->m_hDC : nullptr);
  m_bOwned = m_hDC != nullptr;
  return m_bOwned;
}

BOOL CDC::DeleteDC() {
  if (!m_hDC) return FALSE;
  RestoreSelections();
  if (m_bOwned) ::DeleteDC(m_hDC);
  m_hDC = nullptr;
  m_bOwned = FALSE;
  return TRUE;
}

HGDIOBJ CDC::SelectObject(HGDIOBJ hObject) {
  if (!m_hDC || !hObject) return nullptr;
  HGDIOBJ old = ::SelectObject(m_hDC, hObject);
  UINT type = ::GetObjectType(hObject);
  // Remember the first object of each kind that our selections displaced.
  if (old && type != OBJ_REGION) {
    bool known = false;
    for (int i = 0; i < m_nSaved; ++i)
      if (m_saved[i].type == type) known = true;
    if (!known && m_nSaved < 6) m_saved[m_nSaved++] = {type, old};
  }
  return old;
}

void CDC::RestoreSelections() {
  for (int i = m_nSaved - 1; i >= 0; --i) ::SelectObject(m_hDC, m_saved[i].h);
  m_nSaved = 0;
}

CSize CDC::GetTextExtent(LPCSTR s, int n) const {
  SIZE sz = {0, 0};
  ::GetTextExtentPoint32A(m_hDC, s, n, &sz);
  return CSize(sz);
}

void CDC::FillSolidRect(LPCRECT r, COLORREF c) {
  COLORREF old = ::SetBkColor(m_hDC, c);
  ::ExtTextOutA(m_hDC, 0, 0, ETO_OPAQUE, r, nullptr, 0, nullptr);
  ::SetBkColor(m_hDC, old);
}

void CDC::FillSolidRect(int x, int y, int cx, int cy, COLORREF c) {
  RECT r = {x, y, x + cx, y + cy};
  FillSolidRect(&r, c);
}

void CDC::Draw3dRect(LPCRECT r, COLORREF clrTopLeft, COLORREF clrBottomRight) {
  int x = r->left, y = r->top, cx = r->right - r->left, cy = r->bottom - r->top;
  FillSolidRect(x, y, cx - 1, 1, clrTopLeft);
  FillSolidRect(x, y, 1, cy - 1, clrTopLeft);
  FillSolidRect(x + cx, y, -1, cy, clrBottomRight);
  FillSolidRect(x, y + cy, cx, -1, clrBottomRight);
}

CPoint CDC::MoveTo(int x, int y) {
  POINT p = {0, 0};
  ::MoveToEx(m_hDC, x, y, &p);
  return CPoint(p);
}

CPaintDC::CPaintDC(CWnd* pWnd) : m_hWnd(pWnd->m_hWnd) {
  Attach(::BeginPaint(m_hWnd, &m_ps));
}

CPaintDC::~CPaintDC() {
  RestoreSelections();
  ::EndPaint(m_hWnd, &m_ps);
  Detach();
}

CClientDC::CClientDC(CWnd* pWnd) : m_hWnd(pWnd ? pWnd->m_hWnd : nullptr) { Attach(::GetDC(m_hWnd)); }

CClientDC::~CClientDC() {
  RestoreSelections();
  ::ReleaseDC(m_hWnd, Detach());
}
