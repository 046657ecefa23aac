// Window wrapper: attaching, subclassing at creation, dispatch through the message maps,
// command routing and reflection of child notifications.
#include "framework/Framework.h"
#include <map>
#include <set>
#include <string>
#include <unordered_map>

namespace {

const char kPropWnd[] = "VmFwWnd";     // the CWnd* of a window attached without subclassing
const char kPropSuper[] = "VmFwSuper"; // the window procedure under FwWndProc

// Which wrapper each attached window has. Window properties would do, but Wine answers them
// through its server (tens of microseconds) and every message needs the lookup; one map for
// the process under a reader/writer lock costs well under a microsecond, and other threads
// (workers) still find the wrappers of the interface thread's windows.
class CHandleMap {
public:
  struct Entry {
    CWnd* pWnd;
    DWORD dwThread;    // the window's thread: its windows end with it
    bool bSubclassed;  // FwWndProc sees its WM_NCDESTROY; else the property vouches for it
  };

  // The wrapper for a window whose message FwWndProc is handling (the window is alive and runs
  // through FwWndProc, so a subclassed entry is its own), or NULL.
  CWnd* Find(HWND h) {
    ::AcquireSRWLockShared(&m_lock);
    auto it = m_map.find(h);
    CWnd* p = it != m_map.end() ? it->second.pWnd : nullptr;
    ::ReleaseSRWLockShared(&m_lock);
    return p;
  }

  // The wrapper for any handle, checked against the window that has the handle now: a window
  // that ended unseen (attached only, or with its thread) leaves an entry that a later window
  // with the same handle value must not inherit. Drops such entries; NULL when none.
  CWnd* FindChecked(HWND h) {
    ::AcquireSRWLockShared(&m_lock);
    auto it = m_map.find(h);
    bool bFound = it != m_map.end();
    Entry e = bFound ? it->second : Entry{};
    ::ReleaseSRWLockShared(&m_lock);
    if (!bFound) return nullptr;
    if (IsCurrent(h, e)) return e.pWnd;
    ::AcquireSRWLockExclusive(&m_lock);
    it = m_map.find(h);
    if (it != m_map.end() && it->second.pWnd == e.pWnd && !IsCurrent(h, it->second)) m_map.erase(it);
    ::ReleaseSRWLockExclusive(&m_lock);
    return nullptr;
  }

  // Enters pWnd for h (a window of this process). FALSE when h already has a current wrapper
  // or the property of an unsubclassed window could not be set.
  bool Add(HWND h, CWnd* pWnd, DWORD dwThread, bool bSubclassed) {
    ::AcquireSRWLockExclusive(&m_lock);
    auto it = m_map.find(h);
    bool bOk = true;
    if (it != m_map.end()) {
      if (IsCurrent(h, it->second))
        bOk = false;
      else
        m_map.erase(it);
    }
    if (bOk && !bSubclassed) bOk = ::SetPropA(h, kPropWnd, pWnd) != FALSE;
    if (bOk) m_map[h] = Entry{pWnd, dwThread, bSubclassed};
    ::ReleaseSRWLockExclusive(&m_lock);
    return bOk;
  }

  // Removes the entry of h when it is pWnd's (NULL: whoever's) and its property.
  void Remove(HWND h, CWnd* pWnd) {
    ::AcquireSRWLockExclusive(&m_lock);
    auto it = m_map.find(h);
    if (it != m_map.end() && (!pWnd || it->second.pWnd == pWnd)) {
      if (!it->second.bSubclassed) ::RemovePropA(h, kPropWnd);
      m_map.erase(it);
    }
    ::ReleaseSRWLockExclusive(&m_lock);
  }

  // Forgets the windows of an ending thread: the system destroys them without messages.
  void RemoveThread(DWORD dwThread) {
    ::AcquireSRWLockExclusive(&m_lock);
    for (auto it = m_map.begin(); it != m_map.end();) {
      if (it->second.dwThread == dwThread)
        it = m_map.erase(it);
      else
        ++it;
    }
    ::ReleaseSRWLockExclusive(&m_lock);
  }

private:
  // TRUE when the window that has handle h now is the one the entry was made for. A subclassed
  // window leaves at WM_NCDESTROY or with its thread; an attached one carries its property.
  static bool IsCurrent(HWND h, const Entry& e) {
    if (!::IsWindow(h) || ::GetWindowThreadProcessId(h, nullptr) != e.dwThread) return false;
    return e.bSubclassed || ::GetPropA(h, kPropWnd) == static_cast<HANDLE>(e.pWnd);
  }

  SRWLOCK m_lock = SRWLOCK_INIT;
  std::unordered_map<HWND, Entry> m_map;
};

// Never freed: wrappers of static objects look windows up while the program ends.
CHandleMap& Handles() {
  static CHandleMap* s_pMap = new CHandleMap;
  return *s_pMap;
}

struct ThreadState {
  CWnd* pWndInit = nullptr; // the wrapper that the next created window attaches to
  HHOOK hHook = nullptr;
  int nHookDepth = 0;
  MSG lastMsg = {};
  std::map<HWND, CWnd*>* temps = nullptr;
};
thread_local ThreadState t_state;

// A thread's windows end with it, without WM_NCDESTROY: a fiber-local slot calls back when a
// thread that owns wrapped windows ends (a thread_local destructor finds its storage already
// freed in threads made by CreateThread).
VOID WINAPI ForgetThreadWindows(PVOID) { Handles().RemoveThread(::GetCurrentThreadId()); }

void WatchThreadEnd() {
  static DWORD s_slot = ::FlsAlloc(ForgetThreadWindows);
  if (s_slot != FLS_OUT_OF_INDEXES && !::FlsGetValue(s_slot)) ::FlsSetValue(s_slot, reinterpret_cast<PVOID>(1));
}

// Disabled commands from menus and accelerators are not run.
class CTestCmdUI : public CCmdUI {
public:
  BOOL m_bEnabled = TRUE;
  void Enable(BOOL bOn) override {
    m_bEnabled = bOn;
    m_bEnableChanged = TRUE;
  }
  void SetCheck(int) override {}
  void SetRadio(BOOL) override {}
  void SetText(LPCSTR) override {}
};

}  // namespace

IMPLEMENT_DYNAMIC(CWnd, CCmdTarget)

BEGIN_MESSAGE_MAP(CWnd, CCmdTarget)
END_MESSAGE_MAP()

LRESULT CALLBACK FwCbtHook(int nCode, WPARAM wParam, LPARAM lParam) {
  if (nCode == HCBT_CREATEWND && t_state.pWndInit) {
    HWND h = (HWND)wParam;
    char cls[64] = "";
    ::GetClassNameA(h, cls, sizeof cls);
    // Windows the system creates on its own behalf are not ours.
    if (lstrcmpiA(cls, "IME") != 0 && lstrcmpiA(cls, "MSCTFIME UI") != 0) {
      CWnd* p = t_state.pWndInit;
      t_state.pWndInit = nullptr;
      p->SubclassWindow(h);
    }
  }
  return ::CallNextHookEx(t_state.hHook, nCode, wParam, lParam);
}

void FwHookWindowCreate(CWnd* pWnd) {
  if (!t_state.hHook)
    t_state.hHook = ::SetWindowsHookExA(WH_CBT, FwCbtHook, nullptr, ::GetCurrentThreadId());
  ++t_state.nHookDepth;
  t_state.pWndInit = pWnd;
}

void FwUnhookWindowCreate() {
  t_state.pWndInit = nullptr;
  if (--t_state.nHookDepth == 0 && t_state.hHook) {
    ::UnhookWindowsHookEx(t_state.hHook);
    t_state.hHook = nullptr;
  }
}

LRESULT CALLBACK FwWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  CWnd* p = Handles().Find(hWnd);
  if (!p) {
    WNDPROC super = (WNDPROC)::GetPropA(hWnd, kPropSuper);
    return super ? ::CallWindowProcA(super, hWnd, message, wParam, lParam)
                 : ::DefWindowProcA(hWnd, message, wParam, lParam);
  }
  MSG saved = t_state.lastMsg;
  t_state.lastMsg.hwnd = hWnd;
  t_state.lastMsg.message = message;
  t_state.lastMsg.wParam = wParam;
  t_state.lastMsg.lParam = lParam;
  LRESULT r = p->WindowProc(message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    if (p->m_hWnd == hWnd) {
      // The last message: unhook, let go of the handle and let the object end itself.
      if ((WNDPROC)::GetWindowLongPtrA(hWnd, GWLP_WNDPROC) == FwWndProc && p->m_pfnSuper)
        ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, (LONG_PTR)p->m_pfnSuper);
      ::RemovePropA(hWnd, kPropSuper);
      p->Detach();
      p->m_pfnSuper = nullptr;
      p->PostNcDestroy();
    } else {
      // The handle dies with its window whatever the object holds now.
      Handles().Remove(hWnd, p);
    }
  }
  t_state.lastMsg = saved;
  return r;
}

CWnd::CWnd() {}

CWnd::~CWnd() {
  if (m_hWnd && !m_bTemporary) {
    if (m_pfnSuper && FromHandlePermanent(m_hWnd) == this) ::DestroyWindow(m_hWnd);
    // Also forgets a window that ended unseen (its handle may belong to another window now).
    if (m_hWnd) Detach();
  }
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd) {
  return hWnd ? Handles().FindChecked(hWnd) : nullptr;
}

CWnd* CWnd::FromHandle(HWND hWnd) {
  if (!hWnd) return nullptr;
  if (CWnd* p = FromHandlePermanent(hWnd)) return p;
  if (!t_state.temps) t_state.temps = new std::map<HWND, CWnd*>;
  CWnd*& slot = (*t_state.temps)[hWnd];
  if (!slot) {
    slot = new CWnd;
    slot->m_hWnd = hWnd;
    slot->m_bTemporary = TRUE;
  }
  return slot;
}

void CWnd::DeleteTempMap() {
  if (!t_state.temps) return;
  for (auto& kv : *t_state.temps) {
    kv.second->m_hWnd = nullptr;
    delete kv.second;
  }
  t_state.temps->clear();
}

BOOL CWnd::Attach(HWND hWnd) { return AttachHandle(hWnd, FALSE); }

BOOL CWnd::AttachHandle(HWND hWnd, BOOL bSubclass) {
  if (m_hWnd || !hWnd || !::IsWindow(hWnd)) return FALSE;
  DWORD pid = 0;
  DWORD tid = ::GetWindowThreadProcessId(hWnd, &pid);
  if (pid != ::GetCurrentProcessId()) {
    // Another program's window: it can be wrapped but neither subclassed nor looked up.
    if (bSubclass) return FALSE;
  } else if (!Handles().Add(hWnd, this, tid, bSubclass != FALSE)) {
    return FALSE;
  } else if (tid == ::GetCurrentThreadId()) {
    WatchThreadEnd();
  }
  m_hWnd = hWnd;
  if (t_state.temps) {
    auto it = t_state.temps->find(hWnd);
    if (it != t_state.temps->end()) {
      it->second->m_hWnd = nullptr;
      delete it->second;
      t_state.temps->erase(it);
    }
  }
  return TRUE;
}

HWND CWnd::Detach() {
  HWND h = m_hWnd;
  if (h && !m_bTemporary) Handles().Remove(h, this);
  m_hWnd = nullptr;
  return h;
}

BOOL CWnd::SubclassWindow(HWND hWnd) {
  if (!AttachHandle(hWnd, TRUE)) return FALSE;
  WNDPROC old = (WNDPROC)::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, (LONG_PTR)FwWndProc);
  if (old == FwWndProc) old = (WNDPROC)::GetPropA(hWnd, kPropSuper);
  m_pfnSuper = old;
  ::SetPropA(hWnd, kPropSuper, (HANDLE)old);
  return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT nID, CWnd* pParent) {
  HWND h = ::GetDlgItem(pParent->m_hWnd, nID);
  return h ? SubclassWindow(h) : FALSE;
}

HWND CWnd::UnsubclassWindow() {
  if (!m_hWnd) return nullptr;
  if (m_pfnSuper) {
    ::SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, (LONG_PTR)m_pfnSuper);
    ::RemovePropA(m_hWnd, kPropSuper);
    m_pfnSuper = nullptr;
  }
  return Detach();
}

BOOL CWnd::PreCreateWindow(CREATESTRUCTA& cs) {
  if (!cs.lpszClass) cs.lpszClass = AfxRegisterWndClass(CS_DBLCLKS, ::LoadCursor(nullptr, IDC_ARROW),
                                                        (HBRUSH)(COLOR_WINDOW + 1));
  return TRUE;
}

BOOL CWnd::CreateEx(DWORD dwExStyle, LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle, int x, int y,
                    int nWidth, int nHeight, HWND hWndParent, HMENU nIDorHMenu, LPVOID lpParam) {
  if (m_hWnd) return FALSE;
  CREATESTRUCTA cs = {};
  cs.dwExStyle = dwExStyle;
  cs.lpszClass = lpszClassName;
  cs.lpszName = lpszWindowName;
  cs.style = dwStyle;
  cs.x = x;
  cs.y = y;
  cs.cx = nWidth;
  cs.cy = nHeight;
  cs.hwndParent = hWndParent;
  cs.hMenu = nIDorHMenu;
  cs.hInstance = AfxGetInstanceHandle();
  cs.lpCreateParams = lpParam;
  if (!PreCreateWindow(cs)) return FALSE;
  if (cs.hwndParent && !(cs.style & WS_POPUP)) cs.style |= WS_CHILD;
  FwHookWindowCreate(this);
  HWND h = ::CreateWindowExA(cs.dwExStyle, cs.lpszClass, cs.lpszName, cs.style, cs.x, cs.y, cs.cx, cs.cy,
                             cs.hwndParent, cs.hMenu, cs.hInstance, cs.lpCreateParams);
  FwUnhookWindowCreate();
  if (!h) {
    // A window that failed in WM_CREATE was attached and is gone again.
    if (m_hWnd && !::IsWindow(m_hWnd)) Detach();
    return FALSE;
  }
  return m_hWnd == h;
}

BOOL CWnd::CreateEx(DWORD dwExStyle, LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
                    CWnd* pParentWnd, UINT nID, LPVOID lpParam) {
  return CreateEx(dwExStyle, lpszClassName, lpszWindowName, dwStyle, rect.left, rect.top, rect.right - rect.left,
                  rect.bottom - rect.top, pParentWnd ? pParentWnd->m_hWnd : nullptr,
                  (HMENU)(UINT_PTR)nID, lpParam);
}

BOOL CWnd::Create(LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd,
                  UINT nID, CCreateContext* pContext) {
  return CreateEx(0, lpszClassName, lpszWindowName, dwStyle | WS_CHILD, rect, pParentWnd, nID, pContext);
}

BOOL CWnd::DestroyWindow() {
  if (!m_hWnd) return FALSE;
  return ::DestroyWindow(m_hWnd);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT r = 0;
  if (!OnWndMsg(message, wParam, lParam, &r)) r = DefWindowProc(message, wParam, lParam);
  return r;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (m_pfnSuper) return ::CallWindowProcA(m_pfnSuper, m_hWnd, message, wParam, lParam);
  return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default() {
  const MSG& m = t_state.lastMsg;
  return DefWindowProc(m.message, m.wParam, m.lParam);
}

// The child that a reflectable parent message comes from, or NULL.
static HWND ReflectTarget(HWND hParent, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DRAWITEM: {
      auto* d = reinterpret_cast<LPDRAWITEMSTRUCT>(lParam);
      return d->CtlType == ODT_MENU ? nullptr : d->hwndItem;
    }
    case WM_MEASUREITEM: {
      auto* m = reinterpret_cast<LPMEASUREITEMSTRUCT>(lParam);
      return m->CtlType == ODT_MENU ? nullptr : ::GetDlgItem(hParent, m->CtlID);
    }
    case WM_COMPAREITEM:
      return reinterpret_cast<LPCOMPAREITEMSTRUCT>(lParam)->hwndItem;
    case WM_DELETEITEM:
      return reinterpret_cast<LPDELETEITEMSTRUCT>(lParam)->hwndItem;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORSCROLLBAR:
      return (HWND)lParam;
    default:
      return nullptr;
  }
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  if (message == WM_COMMAND) {
    if (!OnCommand(wParam, lParam)) return FALSE;
    *pResult = 0;
    return TRUE;
  }
  if (message == WM_NOTIFY) {
    LRESULT r = 0;
    if (!OnNotify(wParam, lParam, &r)) return FALSE;
    *pResult = r;
    return TRUE;
  }
  const FwMsgEntry* e = FindEntry([&](const FwMsgEntry& x) { return x.nKind == FwKindMessage && x.nMessage == message; });
  if (e) {
    *pResult = e->pfn(this, 0, wParam, lParam);
    return TRUE;
  }
  if (HWND hChild = ReflectTarget(m_hWnd, message, wParam, lParam))
    return ReflectChildNotify(hChild, message, wParam, lParam, pResult);
  return FALSE;
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam) {
  UINT nID = LOWORD(wParam);
  int nCode = HIWORD(wParam);
  HWND hCtl = (HWND)lParam;
  if (hCtl) {
    LRESULT r = 0;
    if (ReflectChildNotify(hCtl, WM_COMMAND, wParam, lParam, &r)) return TRUE;
  } else {
    if (nCode == 1) nCode = CN_COMMAND;  // accelerator
    if (nID == 0) return FALSE;
    // A command whose state is disabled is not run (accelerators reach disabled commands).
    CTestCmdUI state;
    state.m_nID = nID;
    OnCmdMsg(nID, CN_UPDATE_COMMAND_UI, &state, nullptr);
    if (!state.m_bEnabled) return TRUE;
  }
  return OnCmdMsg(nID, nCode, nullptr, nullptr);
}

BOOL CWnd::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  NMHDR* pNMHDR = reinterpret_cast<NMHDR*>(lParam);
  if (!pNMHDR) return FALSE;
  if (pNMHDR->hwndFrom && ReflectChildNotify(pNMHDR->hwndFrom, WM_NOTIFY, wParam, lParam, pResult)) return TRUE;
  FwNotifyInfo info = {pNMHDR, pResult};
  return OnCmdMsg((UINT)pNMHDR->idFrom, CN_NOTIFY_CODE(pNMHDR->code), &info, nullptr);
}

BOOL CWnd::ReflectChildNotify(HWND hWndChild, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  CWnd* p = FromHandlePermanent(hWndChild);
  return p ? p->OnChildNotify(message, wParam, lParam, pResult) : FALSE;
}

BOOL CWnd::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  const FwMsgEntry* e;
  if (message == WM_COMMAND) {
    UINT code = HIWORD(wParam);
    e = FindEntry([&](const FwMsgEntry& x) { return x.nKind == FwKindReflectCommand && x.nCode == code; });
    if (!e) return FALSE;
    e->pfn(this, LOWORD(wParam), 0, 0);
    *pResult = 0;
    return TRUE;
  }
  if (message == WM_NOTIFY) {
    NMHDR* nm = reinterpret_cast<NMHDR*>(lParam);
    UINT code = LOWORD(nm->code);
    e = FindEntry([&](const FwMsgEntry& x) { return x.nKind == FwKindReflectNotify && x.nCode == code; });
    if (!e) return FALSE;
    *pResult = 0;
    e->pfn(this, (UINT)nm->idFrom, (WPARAM)pResult, lParam);
    return TRUE;
  }
  e = FindEntry([&](const FwMsgEntry& x) { return x.nKind == FwKindReflectMessage && x.nMessage == message; });
  if (!e) return FALSE;
  LRESULT r = e->pfn(this, 0, wParam, lParam);
  // A colour handler that returns no brush leaves the colours to the parent.
  if (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC && r == 0) return FALSE;
  *pResult = r;
  return TRUE;
}

void CWnd::OnDrawItem(int, LPDRAWITEMSTRUCT lpDIS) {
  LRESULT r;
  if (lpDIS->CtlType != ODT_MENU && ReflectChildNotify(lpDIS->hwndItem, WM_DRAWITEM, 0, (LPARAM)lpDIS, &r)) return;
  Default();
}

void CWnd::OnMeasureItem(int, LPMEASUREITEMSTRUCT lpMIS) {
  LRESULT r;
  if (lpMIS->CtlType != ODT_MENU &&
      ReflectChildNotify(::GetDlgItem(m_hWnd, lpMIS->CtlID), WM_MEASUREITEM, 0, (LPARAM)lpMIS, &r))
    return;
  Default();
}

HBRUSH CWnd::OnCtlColor(CDC* pDC, CWnd* pWnd, UINT) {
  const MSG& m = t_state.lastMsg;
  LRESULT r = 0;
  if (pWnd && ReflectChildNotify(pWnd->m_hWnd, m.message, m.wParam, m.lParam, &r)) return (HBRUSH)r;
  return (HBRUSH)Default();
}

void CWnd::OnNcDestroy() { Default(); }

BOOL CWnd::PreTranslateMessage(MSG*) { return FALSE; }

BOOL CWnd::WalkPreTranslateTree(HWND hWndStop, MSG* pMsg) {
  for (HWND h = pMsg->hwnd; h; h = ::GetParent(h)) {
    CWnd* p = FromHandlePermanent(h);
    if (p && p->PreTranslateMessage(pMsg)) return TRUE;
    if (h == hWndStop) break;
  }
  return FALSE;
}

void CWnd::SendMessageToDescendants(UINT message, WPARAM wParam, LPARAM lParam, BOOL bDeep) {
  SendMessageToDescendants(m_hWnd, message, wParam, lParam, bDeep);
}

void CWnd::SendMessageToDescendants(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam, BOOL bDeep) {
  for (HWND h = ::GetTopWindow(hWnd); h; h = ::GetNextWindow(h, GW_HWNDNEXT)) {
    ::SendMessageA(h, message, wParam, lParam);
    if (bDeep && ::GetTopWindow(h)) SendMessageToDescendants(h, message, wParam, lParam, bDeep);
  }
}

void CWnd::GetWindowText(CString& rString) const {
  int n = ::GetWindowTextLengthA(m_hWnd);
  char* buf = rString.GetBuffer(n + 1);
  if (!buf) return;
  int got = ::GetWindowTextA(m_hWnd, buf, n + 1);
  rString.ReleaseBuffer(got);
}

int CWnd::GetDlgItemText(int nID, CString& rString) const {
  HWND h = ::GetDlgItem(m_hWnd, nID);
  if (!h) {
    rString.Empty();
    return 0;
  }
  int n = ::GetWindowTextLengthA(h);
  char* buf = rString.GetBuffer(n + 1);
  if (!buf) return 0;
  int got = ::GetWindowTextA(h, buf, n + 1);
  rString.ReleaseBuffer(got);
  return got;
}

CWnd* CWnd::GetDlgItem(int nID) const { return FromHandle(::GetDlgItem(m_hWnd, nID)); }

CWnd* CWnd::GetTopLevelParent() const { return FromHandle(::GetAncestor(m_hWnd, GA_ROOT)); }

CFrameWnd* CWnd::GetParentFrame() const {
  for (HWND h = ::GetParent(m_hWnd); h; h = ::GetParent(h)) {
    CWnd* p = FromHandlePermanent(h);
    if (p && p->IsKindOf(RUNTIME_CLASS(CFrameWnd))) return static_cast<CFrameWnd*>(p);
  }
  return nullptr;
}

void CWnd::ClientToScreen(LPRECT r) const {
  ::ClientToScreen(m_hWnd, reinterpret_cast<LPPOINT>(r));
  ::ClientToScreen(m_hWnd, reinterpret_cast<LPPOINT>(r) + 1);
}

void CWnd::ScreenToClient(LPRECT r) const {
  ::ScreenToClient(m_hWnd, reinterpret_cast<LPPOINT>(r));
  ::ScreenToClient(m_hWnd, reinterpret_cast<LPPOINT>(r) + 1);
}

void CWnd::CenterWindow(CWnd* pAlternateOwner) {
  CRect rc, area;
  GetWindowRect(&rc);
  HWND hOwner = pAlternateOwner ? pAlternateOwner->m_hWnd
                                : ((GetStyle() & WS_CHILD) ? ::GetParent(m_hWnd) : ::GetWindow(m_hWnd, GW_OWNER));
  if (hOwner && ::IsWindowVisible(hOwner) && !::IsIconic(hOwner)) {
    ::GetWindowRect(hOwner, &area);
  } else {
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
  }
  int x = area.left + (area.Width() - rc.Width()) / 2;
  int y = area.top + (area.Height() - rc.Height()) / 2;
  if (GetStyle() & WS_CHILD) {
    POINT p = {x, y};
    ::ScreenToClient(::GetParent(m_hWnd), &p);
    x = p.x;
    y = p.y;
  }
  ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL CWnd::ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT nFlags) {
  DWORD style = GetStyle();
  DWORD newStyle = (style & ~dwRemove) | dwAdd;
  if (style == newStyle) return FALSE;
  ::SetWindowLongA(m_hWnd, GWL_STYLE, (LONG)newStyle);
  if (nFlags)
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED | nFlags);
  return TRUE;
}

BOOL CWnd::ModifyStyleEx(DWORD dwRemove, DWORD dwAdd, UINT nFlags) {
  DWORD style = GetExStyle();
  DWORD newStyle = (style & ~dwRemove) | dwAdd;
  if (style == newStyle) return FALSE;
  ::SetWindowLongA(m_hWnd, GWL_EXSTYLE, (LONG)newStyle);
  if (nFlags)
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED | nFlags);
  return TRUE;
}

void CWnd::SetFont(CFont* pFont, BOOL bRedraw) {
  SendMessage(WM_SETFONT, (WPARAM)(pFont ? (HFONT)pFont->m_hObject : nullptr), bRedraw);
}

int CWnd::MessageBox(LPCSTR lpszText, LPCSTR lpszCaption, UINT nType) {
  return ::MessageBoxA(m_hWnd, lpszText, lpszCaption ? lpszCaption : AfxGetAppName(), nType);
}

LPCSTR AfxRegisterWndClass(UINT nClassStyle, HCURSOR hCursor, HBRUSH hbrBackground, HICON hIcon) {
  static CCriticalSection s_lock;
  static std::set<std::string>* s_names = new std::set<std::string>;
  char name[96];
  wsprintfA(name, "VmFw:%X:%X:%X:%X", nClassStyle, (UINT)(UINT_PTR)hCursor, (UINT)(UINT_PTR)hbrBackground,
            (UINT)(UINT_PTR)hIcon);
  CCritSecLock lock(s_lock);
  auto it = s_names->find(name);
  if (it != s_names->end()) return it->c_str();
  WNDCLASSA wc = {};
  HINSTANCE hInst = AfxGetInstanceHandle();
  if (!::GetClassInfoA(hInst, name, &wc)) {
    wc.style = nClassStyle;
    wc.lpfnWndProc = ::DefWindowProcA;
    wc.hInstance = hInst;
    wc.hCursor = hCursor;
    wc.hbrBackground = hbrBackground;
    wc.hIcon = hIcon;
    wc.lpszClassName = name;
    if (!::RegisterClassA(&wc)) return nullptr;
  }
  return s_names->insert(name).first->c_str();
}
