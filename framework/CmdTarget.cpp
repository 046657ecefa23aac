// Runtime classes, the command route through message maps, and command-state objects.
#include "framework/Framework.h"

const CRuntimeClass CObject::classCObject = {"CObject", (int)sizeof(CObject), nullptr, nullptr};

CObject* CRuntimeClass::CreateObject() const { return m_pfnCreateObject ? m_pfnCreateObject() : nullptr; }

BOOL CRuntimeClass::IsDerivedFrom(const CRuntimeClass* pBase) const {
  for (const CRuntimeClass* p = this; p; p = p->m_pBaseClass)
    if (p == pBase) return TRUE;
  return FALSE;
}

IMPLEMENT_DYNAMIC(CCmdTarget, CObject)

const FwMsgMap* CCmdTarget::GetThisMessageMap() {
  static const FwMsgEntry s_entries[] = {{0, 0, 0, 0, FwKindEnd, nullptr}};
  static const FwMsgMap s_map = {nullptr, s_entries};
  return &s_map;
}

const FwMsgMap* CCmdTarget::GetMessageMap() const { return GetThisMessageMap(); }

BOOL CCmdTarget::OnCmdMsg(UINT nID, int nCode, void* pExtra, FwCmdHandlerInfo* pHandlerInfo) {
  const FwMsgEntry* e;
  if (nCode == CN_UPDATE_COMMAND_UI) {
    e = FindEntry([&](const FwMsgEntry& x) { return x.nKind == FwKindUpdate && nID >= x.nID && nID <= x.nLastID; });
  } else if (HIWORD(nCode) == WM_NOTIFY) {
    UINT code = LOWORD(nCode);
    e = FindEntry([&](const FwMsgEntry& x) {
      return x.nKind == FwKindNotify && x.nCode == code && nID >= x.nID && nID <= x.nLastID;
    });
  } else {
    UINT code = (UINT)nCode & 0xFFFF;
    e = FindEntry([&](const FwMsgEntry& x) {
      return x.nKind == FwKindCommand && x.nCode == code && nID >= x.nID && nID <= x.nLastID;
    });
  }
  if (!e) return FALSE;
  if (pHandlerInfo) {
    pHandlerInfo->pTarget = this;
    pHandlerInfo->pEntry = e;
    return TRUE;
  }
  if (nCode == CN_UPDATE_COMMAND_UI) {
    CCmdUI* pCmdUI = static_cast<CCmdUI*>(pExtra);
    pCmdUI->m_bContinueRouting = FALSE;
    e->pfn(this, nID, (WPARAM)pCmdUI, 0);
    // A handler that asks for it lets the next target of the route have the update too.
    return !pCmdUI->m_bContinueRouting;
  }
  if (HIWORD(nCode) == WM_NOTIFY) {
    FwNotifyInfo* info = static_cast<FwNotifyInfo*>(pExtra);
    e->pfn(this, nID, (WPARAM)info->pResult, (LPARAM)info->pNMHDR);
    return TRUE;
  }
  e->pfn(this, nID, 0, 0);
  return TRUE;
}

static int g_nWaitCursorCount = 0;
static HCURSOR g_hcurWaitRestore = nullptr;

void CCmdTarget::BeginWaitCursor() {
  HCURSOR old = ::SetCursor(::LoadCursor(nullptr, IDC_WAIT));
  if (g_nWaitCursorCount++ == 0) g_hcurWaitRestore = old;
}

void CCmdTarget::EndWaitCursor() {
  if (g_nWaitCursorCount == 0) return;
  if (--g_nWaitCursorCount == 0)
    ::SetCursor(g_hcurWaitRestore ? g_hcurWaitRestore : ::LoadCursor(nullptr, IDC_ARROW));
}

CWaitCursor::CWaitCursor() {
  CCmdTarget t;
  t.BeginWaitCursor();
}

CWaitCursor::~CWaitCursor() {
  CCmdTarget t;
  t.EndWaitCursor();
}

void CWaitCursor::Restore() {
  if (g_nWaitCursorCount > 0) ::SetCursor(::LoadCursor(nullptr, IDC_WAIT));
}

// --- CCmdUI: the menu implementation; bars override these ---------------------------------------

void CCmdUI::Enable(BOOL bOn) {
  if (m_pMenu) {
    m_pMenu->EnableMenuItem(m_nIndex, MF_BYPOSITION | (bOn ? MF_ENABLED : (MF_DISABLED | MF_GRAYED)));
  } else if (m_pOther && !bOn && ::GetFocus() == m_pOther->m_hWnd) {
    // A control losing its enabled state must not keep the focus.
    ::SendMessageA(::GetParent(m_pOther->m_hWnd), WM_NEXTDLGCTL, 0, 0);
  }
  if (!m_pMenu && m_pOther) m_pOther->EnableWindow(bOn);
  m_bEnableChanged = TRUE;
}

void CCmdUI::SetCheck(int nCheck) {
  if (m_pMenu)
    m_pMenu->CheckMenuItem(m_nIndex, MF_BYPOSITION | (nCheck ? MF_CHECKED : MF_UNCHECKED));
  else if (m_pOther)
    m_pOther->SendMessage(BM_SETCHECK, nCheck);
}

void CCmdUI::SetRadio(BOOL bOn) {
  if (m_pMenu) {
    MENUITEMINFOA mii = {};
    mii.cbSize = sizeof(mii);
    mii.fMask = MIIM_FTYPE | MIIM_STATE;
    ::GetMenuItemInfoA(m_pMenu->m_hMenu, m_nIndex, TRUE, &mii);
    if (bOn) mii.fType |= MFT_RADIOCHECK;
    mii.fState = bOn ? (mii.fState | MFS_CHECKED) : (mii.fState & ~MFS_CHECKED);
    ::SetMenuItemInfoA(m_pMenu->m_hMenu, m_nIndex, TRUE, &mii);
  } else {
    SetCheck(bOn ? 1 : 0);
  }
}

void CCmdUI::SetText(LPCSTR lpszText) {
  if (m_pMenu) {
    MENUITEMINFOA mii = {};
    mii.cbSize = sizeof(mii);
    mii.fMask = MIIM_STRING;
    mii.dwTypeData = const_cast<LPSTR>(lpszText ? lpszText : "");
    ::SetMenuItemInfoA(m_pMenu->m_hMenu, m_nIndex, TRUE, &mii);
  } else if (m_pOther) {
    m_pOther->SetWindowText(lpszText);
  }
}

BOOL CCmdUI::DoUpdate(CCmdTarget* pTarget, BOOL bDisableIfNoHndler) {
  // Separators and system commands have no state of ours.
  if (m_nID == 0 || m_nID >= 0xF000) return TRUE;
  m_bEnableChanged = FALSE;
  BOOL bResult = pTarget->OnCmdMsg(m_nID, CN_UPDATE_COMMAND_UI, this, nullptr);
  if (bDisableIfNoHndler && !m_bEnableChanged) {
    FwCmdHandlerInfo info = {};
    Enable(pTarget->OnCmdMsg(m_nID, CN_COMMAND, this, &info));
  }
  return bResult;
}
