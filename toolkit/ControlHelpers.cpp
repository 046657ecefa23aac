// Helpers for the program's controls.
#include "toolkit/ControlHelpers.h"
#include <cstdlib>
#include <ole2.h>
#include <shlobj.h>
#include <map>
#include <string>
#include <utility>
#include <vector>
#include "system/Draw.h"
#include "system/Paths.h"
#include "system/RegKeys.h"
#include "system/StrList.h"

namespace {

const int kHistoryMax = 16;

// Opens the key of a history for reading (mode 0) or writing (mode 2).
BOOL OpenHistoryKey(CRegKeys& keys, LPCSTR lpszKey, int mode) {
  if (!lpszKey) return keys.Open(nullptr, nullptr, mode);
  if (*lpszKey == '#') return keys.Open(nullptr, nullptr, mode) && keys.OpenSubKey(lpszKey + 1);
  return keys.Open(nullptr, lpszKey, mode);
}

}  // namespace

namespace {

// The procedures that the subclass procedures replaced, by window and procedure. A window
// property would cost a round trip to the window server on every message.
class CSubclassTable {
 public:
  CSubclassTable() { ::InitializeSRWLock(&m_lock); }
  bool Add(HWND hWnd, WNDPROC proc, WNDPROC old) {
    ::AcquireSRWLockExclusive(&m_lock);
    bool added = m_old.emplace(Key(hWnd, proc), old).second;
    ::ReleaseSRWLockExclusive(&m_lock);
    return added;
  }
  WNDPROC Find(HWND hWnd, WNDPROC proc, bool remove) {
    WNDPROC old = nullptr;
    if (remove) ::AcquireSRWLockExclusive(&m_lock);
    else ::AcquireSRWLockShared(&m_lock);
    auto it = m_old.find(Key(hWnd, proc));
    if (it != m_old.end()) {
      old = it->second;
      if (remove) m_old.erase(it);
    }
    if (remove) ::ReleaseSRWLockExclusive(&m_lock);
    else ::ReleaseSRWLockShared(&m_lock);
    return old;
  }

 private:
  static std::pair<HWND, WNDPROC> Key(HWND hWnd, WNDPROC proc) { return {hWnd, proc}; }
  SRWLOCK m_lock;
  std::map<std::pair<HWND, WNDPROC>, WNDPROC> m_old;
};

CSubclassTable& Subclasses() {
  static CSubclassTable table;
  return table;
}

}  // namespace

BOOL SubclassControl(HWND hWnd, WNDPROC proc) {
  if (!::IsWindow(hWnd) || !proc) return FALSE;
  WNDPROC old = (WNDPROC)::GetWindowLongPtrA(hWnd, GWLP_WNDPROC);
  if (old == proc || !Subclasses().Add(hWnd, proc, old)) return FALSE;
  ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, (LONG_PTR)proc);
  if (proc == ComboDropFileProc) ::DragAcceptFiles(hWnd, TRUE);
  if (proc == ComboFocusNotifyProc) {
    // The focus of a drop-down combo box lives in its edit field.
    if (HWND hEdit = ::FindWindowExA(hWnd, nullptr, "Edit", nullptr)) SubclassControl(hEdit, proc);
  }
  return TRUE;
}

LRESULT CallSubclassedProc(WNDPROC proc, HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  WNDPROC old = Subclasses().Find(hWnd, proc, message == WM_NCDESTROY);
  if (message == WM_NCDESTROY && old) ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, (LONG_PTR)old);
  return old ? ::CallWindowProcA(old, hWnd, message, wParam, lParam) : ::DefWindowProcA(hWnd, message, wParam, lParam);
}

LRESULT CALLBACK ComboDropFileProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DROPFILES) {
    HDROP hDrop = (HDROP)wParam;
    char path[MAX_PATH] = "";
    if (::DragQueryFileA(hDrop, 0, path, MAX_PATH)) {
      ::SetWindowTextA(hWnd, path);
      ::SendMessageA(::GetParent(hWnd), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(hWnd), CBN_EDITCHANGE), (LPARAM)hWnd);
    }
    ::DragFinish(hDrop);
    return 0;
  }
  return CallSubclassedProc(ComboDropFileProc, hWnd, message, wParam, lParam);
}

LRESULT CALLBACK ComboFocusNotifyProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SETFOCUS || message == WM_KILLFOCUS) {
    char cls[16] = "";
    ::GetClassNameA(hWnd, cls, sizeof cls);
    HWND hCombo = lstrcmpiA(cls, "ComboBox") == 0 ? hWnd : ::GetParent(hWnd);
    HWND hOther = (HWND)wParam;
    // Moves between the combo box and its own edit field are no change for the dialog.
    bool inside = hOther && (hOther == hCombo || ::GetParent(hOther) == hCombo);
    LRESULT r = CallSubclassedProc(ComboFocusNotifyProc, hWnd, message, wParam, lParam);
    if (message == WM_KILLFOCUS) {
      DWORD sel = (DWORD)::SendMessageA(hCombo, CB_GETEDITSEL, 0, 0);
      ::SetPropA(hCombo, "VmComboSel", (HANDLE)(UINT_PTR)(sel + 1));
    }
    if (!inside)
      ::SendMessageA(::GetParent(hCombo), WM_COMBOFOCUS, (WPARAM)::GetDlgCtrlID(hCombo), message == WM_SETFOCUS);
    return r;
  }
  if (message == WM_NCDESTROY) ::RemovePropA(hWnd, "VmComboSel");
  return CallSubclassedProc(ComboFocusNotifyProc, hWnd, message, wParam, lParam);
}

DWORD GetComboLastSel(HWND hCombo) {
  UINT_PTR v = (UINT_PTR)::GetPropA(hCombo, "VmComboSel");
  return v ? (DWORD)(v - 1) : (DWORD)::SendMessageA(hCombo, CB_GETEDITSEL, 0, 0);
}

namespace {

// Fills the combo box's list from the history; *pEmptyFirst tells whether its newest entry is
// the empty text (stored as a leading empty string before the older entries).
int FillComboHistory(HWND hCombo, LPCSTR lpszValue, LPCSTR lpszKey, bool* pEmptyFirst) {
  *pEmptyFirst = false;
  CRegKeys keys;
  char* block = nullptr;
  int size = 0;
  if (!OpenHistoryKey(keys, lpszKey, 0) || !keys.QueryValueAlloc(&block, lpszValue, REG_MULTI_SZ, &size)) return 0;
  const char* p = block;
  const char* end = block + size;
  if (size > 2 && !*p && p[1]) {
    *pEmptyFirst = true;
    ++p;
  }
  int n = 0;
  for (; p < end && *p && n < kHistoryMax; p += strlen(p) + 1, ++n)
    ::SendMessageA(hCombo, CB_ADDSTRING, 0, (LPARAM)p);
  free(block);
  return n;
}

}  // namespace

int LoadComboHistory(HWND hDlg, int nIDCombo, LPCSTR lpszValue, LPCSTR lpszKey, int, int) {
  HWND hCombo = ::GetDlgItem(hDlg, nIDCombo);
  bool emptyFirst;
  return hCombo ? FillComboHistory(hCombo, lpszValue, lpszKey, &emptyFirst) : 0;
}

namespace {

// Entry i of the combo box's list, whole ("" for none).
std::string ComboEntry(HWND hCombo, int i) {
  CString s;
  GetComboBoxEntry(hCombo, i, s);
  return std::string((LPCSTR)s);
}

}  // namespace

int LoadComboHistoryStr(HWND hDlg, int nIDCombo, LPCSTR lpszValue, LPCSTR lpszKey, CString& rString, int) {
  HWND hCombo = ::GetDlgItem(hDlg, nIDCombo);
  if (!hCombo) return 0;
  bool emptyFirst;
  int n = FillComboHistory(hCombo, lpszValue, lpszKey, &emptyFirst);
  // Long filter lists come back whole: a cut one would match other names.
  if (rString.IsEmpty() && n > 0 && !emptyFirst) rString = ComboEntry(hCombo, 0).c_str();
  ::SetWindowTextA(hCombo, rString);
  return n;
}

BOOL SaveComboHistory(HWND hDlg, int nIDCombo, LPCSTR lpszValue, LPCSTR lpszKey, BOOL bKeepEmpty) {
  HWND hCombo = ::GetDlgItem(hDlg, nIDCombo);
  if (!hCombo) return FALSE;
  CStrList list(0);
  list.SetRecentLimit(kHistoryMax, 1);
  std::string text(size_t(::GetWindowTextLengthA(hCombo)) + 1, '\0');
  text.resize(size_t(::GetWindowTextA(hCombo, &text[0], int(text.size()))));
  if (!text.empty() || bKeepEmpty) list.Insert(text.c_str());
  int count = (int)::SendMessageA(hCombo, CB_GETCOUNT, 0, 0);
  for (int i = 0; i < count; ++i) {
    std::string entry = ComboEntry(hCombo, i);
    if (!entry.empty()) list.Insert(entry.c_str());
  }
  int size = 0;
  char* block = list.JoinMulti(0, -1, &size);
  CRegKeys keys;
  BOOL ok = block && OpenHistoryKey(keys, lpszKey, 2) && keys.SetValue(block, size, lpszValue, REG_MULTI_SZ);
  free(block);
  return ok;
}

BOOL SetButtonBitmap(HWND hButton, UINT nIDBitmap) {
  HBITMAP hbm = (HBITMAP)::LoadImageA(AfxGetResourceHandle(), MAKEINTRESOURCEA(nIDBitmap), IMAGE_BITMAP, 0, 0,
                                      LR_LOADMAP3DCOLORS);
  if (!hbm) return FALSE;
  ::SetWindowLongA(hButton, GWL_STYLE, ::GetWindowLongA(hButton, GWL_STYLE) | BS_BITMAP);
  HBITMAP old = (HBITMAP)::SendMessageA(hButton, BM_SETIMAGE, IMAGE_BITMAP, (LPARAM)hbm);
  if (old && old != hbm) ::DeleteObject(old);
  return TRUE;
}

void FreeButtonBitmap(HWND hButton) {
  HBITMAP old = (HBITMAP)::SendMessageA(hButton, BM_SETIMAGE, IMAGE_BITMAP, 0);
  if (old) ::DeleteObject(old);
}

BOOL SetMenuItemBitmapFromStrip(HMENU hMenu, UINT nCommand, UINT nIDBitmap, int nImage, int nWidth) {
  static std::vector<HBITMAP>* s_bitmaps = new std::vector<HBITMAP>;
  HBITMAP strip = (HBITMAP)::LoadImageA(AfxGetResourceHandle(), MAKEINTRESOURCEA(nIDBitmap), IMAGE_BITMAP, 0, 0,
                                        LR_CREATEDIBSECTION);
  if (!strip) return FALSE;
  BITMAP bm;
  ::GetObjectA(strip, sizeof bm, &bm);
  BOOL ok = FALSE;
  if ((nImage + 1) * nWidth <= bm.bmWidth) {
    HDC screen = ::GetDC(nullptr);
    HDC src = ::CreateCompatibleDC(screen), dst = ::CreateCompatibleDC(screen);
    HBITMAP image = ::CreateCompatibleBitmap(screen, nWidth, bm.bmHeight);
    HGDIOBJ oldSrc = ::SelectObject(src, strip), oldDst = ::SelectObject(dst, image);
    RECT r = {0, 0, nWidth, bm.bmHeight};
    ::FillRect(dst, &r, ::GetSysColorBrush(COLOR_MENU));
    COLORREF key = ::GetPixel(src, nImage * nWidth, 0);
    ::TransparentBlt(dst, 0, 0, nWidth, bm.bmHeight, src, nImage * nWidth, 0, nWidth, bm.bmHeight, key);
    ::SelectObject(src, oldSrc);
    ::SelectObject(dst, oldDst);
    ::DeleteDC(src);
    ::DeleteDC(dst);
    ::ReleaseDC(nullptr, screen);
    MENUITEMINFOA mii = {};
    mii.cbSize = sizeof mii;
    mii.fMask = MIIM_BITMAP;
    mii.hbmpItem = image;
    ok = ::SetMenuItemInfoA(hMenu, nCommand, FALSE, &mii);
    if (ok)
      s_bitmaps->push_back(image);
    else
      ::DeleteObject(image);
  }
  ::DeleteObject(strip);
  return ok;
}

int GetFileIconIndex(LPCSTR lpszPath, UINT nFlags) {
  SHFILEINFOA sfi = {};
  if (!::SHGetFileInfoA(lpszPath, FILE_ATTRIBUTE_NORMAL, &sfi, sizeof sfi, SHGFI_SYSICONINDEX | SHGFI_SMALLICON | nFlags))
    return -1;
  return sfi.iIcon;
}

HIMAGELIST GetSystemImageList(BOOL bSmall) { return GetSysImageList(bSmall); }

// --- Dragging files -----------------------------------------------------------------------------

HGLOBAL BuildDropFiles(LPCSTR lpszText, int nLength) {
  if (!lpszText) return nullptr;
  if (nLength < 0) nLength = (int)strlen(lpszText);
  CStrList paths(0);
  paths.SetRecentLimit(0x7FFFFFFF, 1);
  int total = 0;
  for (int i = 0; i < nLength;) {
    int end = i;
    while (end < nLength && lpszText[end] != '\r' && lpszText[end] != '\n') ++end;
    std::string line(lpszText + i, end - i);
    i = end;
    while (i < nLength && (lpszText[i] == '\r' || lpszText[i] == '\n')) ++i;
    // The path ends at the first ':' behind a drive's colon.
    size_t colon = line.find(':', 2);
    if (colon != std::string::npos) line.resize(colon);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.pop_back();
    size_t open = line.rfind('(');
    if (open != std::string::npos && line.back() == ')' &&
        line.find_first_not_of("0123456789abcdefABCDEFxX", open + 1) == line.size() - 1)
      line.resize(open);
    size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos) continue;
    line = line.substr(start);
    if (PathGetKindA(line.c_str()) == 0) continue;
    int before = paths.m_nCount;
    paths.Insert(line.c_str());
    if (paths.m_nCount > before) total += (int)line.size() + 1;
  }
  if (paths.m_nCount == 0) return nullptr;
  HGLOBAL h = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + total + 1);
  if (!h) return nullptr;
  DROPFILES* df = static_cast<DROPFILES*>(::GlobalLock(h));
  df->pFiles = sizeof(DROPFILES);
  df->fWide = FALSE;
  char* p = reinterpret_cast<char*>(df + 1);
  for (int i = 0; i < paths.m_nCount; ++i) {
    int n = paths.GetLength(i);
    memcpy(p, paths.GetString(i), n + 1);
    p += n + 1;
  }
  *p = 0;
  ::GlobalUnlock(h);
  return h;
}

namespace {

// IUnknown of a heap object with one interface: created with one reference, deleted by the
// last Release.
template <class Interface>
class CHeapUnknown : public Interface {
public:
  explicit CHeapUnknown(REFIID iid) : m_iid(iid) {}
  virtual ~CHeapUnknown() {}
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (riid == IID_IUnknown || riid == m_iid) {
      *ppv = static_cast<Interface*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++m_ref; }
  STDMETHODIMP_(ULONG) Release() override {
    ULONG r = --m_ref;
    if (!r) delete this;
    return r;
  }

private:
  const IID m_iid;
  ULONG m_ref = 1;
};

// The smallest data object for one CF_HDROP block, and a drop source that follows the buttons.
class CDropData final : public CHeapUnknown<IDataObject> {
public:
  explicit CDropData(HGLOBAL h) : CHeapUnknown<IDataObject>(IID_IDataObject), m_h(h) {}
  virtual ~CDropData() { ::GlobalFree(m_h); }
  STDMETHODIMP GetData(FORMATETC* fe, STGMEDIUM* sm) override {
    if (QueryGetData(fe) != S_OK) return DV_E_FORMATETC;
    SIZE_T size = ::GlobalSize(m_h);
    HGLOBAL copy = ::GlobalAlloc(GMEM_MOVEABLE, size);
    if (!copy) return E_OUTOFMEMORY;
    memcpy(::GlobalLock(copy), ::GlobalLock(m_h), size);
    ::GlobalUnlock(copy);
    ::GlobalUnlock(m_h);
    sm->tymed = TYMED_HGLOBAL;
    sm->hGlobal = copy;
    sm->pUnkForRelease = nullptr;
    return S_OK;
  }
  STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  STDMETHODIMP QueryGetData(FORMATETC* fe) override {
    return fe->cfFormat == CF_HDROP && (fe->tymed & TYMED_HGLOBAL) && fe->dwAspect == DVASPECT_CONTENT ? S_OK
                                                                                                        : DV_E_FORMATETC;
  }
  STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
    out->ptd = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP EnumFormatEtc(DWORD dir, IEnumFORMATETC** pp) override {
    if (dir != DATADIR_GET) return E_NOTIMPL;
    static FORMATETC fe = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    return ::SHCreateStdEnumFmtEtc(1, &fe, pp);
  }
  STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
  STDMETHODIMP DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
  HGLOBAL m_h;
};

class CDropSource final : public CHeapUnknown<IDropSource> {
public:
  CDropSource() : CHeapUnknown<IDropSource>(IID_IDropSource) {}
  STDMETHODIMP QueryContinueDrag(BOOL escape, DWORD keys) override {
    if (escape || (keys & MK_RBUTTON)) return DRAGDROP_S_CANCEL;
    return (keys & MK_LBUTTON) ? S_OK : DRAGDROP_S_DROP;
  }
  STDMETHODIMP GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }
};

}  // namespace

DWORD DoDragDropFiles(LPCSTR lpszText, int nLength, DWORD) {
  return DoDragDropBlock(BuildDropFiles(lpszText, nLength));
}

DWORD DoDragDropBlock(HGLOBAL h) {
  if (!h) return 0;
  HRESULT init = ::OleInitialize(nullptr);
  CDropData* data = new CDropData(h);
  CDropSource* source = new CDropSource;
  DWORD effect = 0;
  HRESULT r = ::DoDragDrop(data, source, DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK, &effect);
  data->Release();
  source->Release();
  if (SUCCEEDED(init)) ::OleUninitialize();
  return r == DRAGDROP_S_DROP ? effect : 0;
}
