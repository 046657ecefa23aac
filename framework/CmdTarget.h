// Command targets and message maps: static tables of typed handler entries per class, chained to
// the base class's table, and the command-state object that menus and control bars update.
#pragma once
#include "framework/Object.h"

class CCmdTarget;
class CCmdUI;
class CMenu;
class CWnd;

// A handler entry calls its member through this thunk. For window messages id is 0; for commands
// it is the command id; wParam/lParam carry what the entry's kind documents below.
typedef LRESULT (*FwMsgThunk)(CCmdTarget* self, UINT id, WPARAM wParam, LPARAM lParam);

// Entry kinds.
enum FwEntryKind : UINT {
  FwKindEnd = 0,
  FwKindMessage,        // window message nMessage: thunk(self, 0, wParam, lParam) -> result
  FwKindCommand,        // WM_COMMAND with notification code nCode from ids nID..nLastID
  FwKindUpdate,         // command-state update of ids nID..nLastID: wParam = CCmdUI*
  FwKindNotify,         // WM_NOTIFY code nCode from ids nID..nLastID: wParam = LRESULT*, lParam = NMHDR*
  FwKindReflectCommand, // WM_COMMAND code nCode reflected to the control itself
  FwKindReflectNotify,  // WM_NOTIFY code nCode reflected to the control itself
  FwKindReflectMessage, // parent message nMessage (owner draw, colours) reflected to the control
};

struct FwMsgEntry {
  UINT nMessage;
  UINT nCode;
  UINT nID;
  UINT nLastID;
  UINT nKind;
  FwMsgThunk pfn;
};

struct FwMsgMap {
  const FwMsgMap* (*pfnGetBaseMap)();
  const FwMsgEntry* pEntries;
};

// Filled instead of calling the handler when a caller only asks whether one exists.
struct FwCmdHandlerInfo {
  CCmdTarget* pTarget;
  const FwMsgEntry* pEntry;
};

// Codes of CCmdTarget::OnCmdMsg. A WM_COMMAND notification code (0..0xFFFF) is passed as it is
// (CN_COMMAND = 0 is a menu, accelerator or button command); a WM_NOTIFY code as CN_NOTIFY_CODE.
#define CN_COMMAND 0
#define CN_UPDATE_COMMAND_UI (-1)
#define CN_NOTIFY_CODE(code) ((int)MAKELONG(LOWORD(code), WM_NOTIFY))

// pExtra of a WM_NOTIFY routed through OnCmdMsg.
struct FwNotifyInfo {
  NMHDR* pNMHDR;
  LRESULT* pResult;
};

class CCmdTarget : public CObject {
  DECLARE_DYNAMIC(CCmdTarget)
public:
  CCmdTarget() {}
  // Looks up nID/nCode in this object's message map chain and calls the handler. With
  // pHandlerInfo set, only reports the handler. Returns TRUE when a handler was found.
  // Derived classes extend the route (view -> document, frame -> view -> frame -> application).
  virtual BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, FwCmdHandlerInfo* pHandlerInfo);

  // Hourglass cursor while a long operation runs on the user-interface thread.
  void BeginWaitCursor();
  void EndWaitCursor();

protected:
  static const FwMsgMap* GetThisMessageMap();
  virtual const FwMsgMap* GetMessageMap() const;
  // The first entry of the map chain for which pred is true, or NULL.
  template <class Pred> const FwMsgEntry* FindEntry(Pred pred) const {
    for (const FwMsgMap* map = GetMessageMap(); map; map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr)
      for (const FwMsgEntry* e = map->pEntries; e->nKind != FwKindEnd; ++e)
        if (pred(*e)) return e;
    return nullptr;
  }
  friend class CWnd;
};

// The state of one command that a menu, a toolbar or a status bar shows. Handlers of
// ON_UPDATE_COMMAND_UI call Enable, SetCheck, SetRadio and SetText on it.
class CCmdUI {
public:
  UINT m_nID = 0;
  UINT m_nIndex = 0;           // position in the menu or bar
  UINT m_nIndexMax = 0;        // number of positions
  CMenu* m_pMenu = nullptr;    // the popup being updated, NULL for bars
  CWnd* m_pOther = nullptr;    // the bar being updated, NULL for menus
  BOOL m_bEnableChanged = FALSE;
  BOOL m_bContinueRouting = FALSE;

  virtual ~CCmdUI() {}
  virtual void Enable(BOOL bOn = TRUE);
  virtual void SetCheck(int nCheck = 1); // 0 off, 1 on, 2 indeterminate
  virtual void SetRadio(BOOL bOn = TRUE);
  virtual void SetText(LPCSTR lpszText);
  // Lets the handler pass the update on to the next target of the route.
  void ContinueRouting() { m_bContinueRouting = TRUE; }
  // Routes the update to pTarget. With bDisableIfNoHndler, a command without an update handler
  // and without a command handler is disabled. Returns TRUE when an update handler ran.
  BOOL DoUpdate(CCmdTarget* pTarget, BOOL bDisableIfNoHndler);
};

// --- Message-map declaration -----------------------------------------------------------------

#define DECLARE_MESSAGE_MAP()                          \
protected:                                             \
  static const FwMsgMap* GetThisMessageMap();          \
  virtual const FwMsgMap* GetMessageMap() const;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                       \
  const FwMsgMap* theClass::GetMessageMap() const { return GetThisMessageMap(); }   \
  const FwMsgMap* theClass::GetThisMessageMap() {                                    \
    using ThisClass [[maybe_unused]] = theClass;                                     \
    using TheBaseClass = baseClass;                                                  \
    static const FwMsgEntry s_entries[] = {

#define END_MESSAGE_MAP()                                                          \
    {0, 0, 0, 0, FwKindEnd, nullptr}};                                             \
    static const FwMsgMap s_map = {&TheBaseClass::GetThisMessageMap, s_entries};   \
    return &s_map;                                                                 \
  }

// Thunk bodies: p is the object, id the command id, w/l the message parameters.
#define FW_THUNK(body) \
  [](CCmdTarget* p_, UINT id_, WPARAM w_, LPARAM l_) -> LRESULT { (void)id_; (void)w_; (void)l_; body }
#define FW_THIS static_cast<ThisClass*>(p_)

// Commands: void fn(); ranges: void fn(UINT nID); update: void fn(CCmdUI*).
#define ON_COMMAND(id, fn) \
  {WM_COMMAND, CN_COMMAND, (UINT)(id), (UINT)(id), FwKindCommand, FW_THUNK(FW_THIS->fn(); return 0;)},
#define ON_COMMAND_RANGE(idFirst, idLast, fn)                                    \
  {WM_COMMAND, CN_COMMAND, (UINT)(idFirst), (UINT)(idLast), FwKindCommand,      \
   FW_THUNK(FW_THIS->fn(id_); return 0;)},
#define ON_UPDATE_COMMAND_UI(id, fn)                                    \
  {WM_COMMAND, 0, (UINT)(id), (UINT)(id), FwKindUpdate,                 \
   FW_THUNK(FW_THIS->fn(reinterpret_cast<CCmdUI*>(w_)); return 0;)},
#define ON_UPDATE_COMMAND_UI_RANGE(idFirst, idLast, fn)                 \
  {WM_COMMAND, 0, (UINT)(idFirst), (UINT)(idLast), FwKindUpdate,        \
   FW_THUNK(FW_THIS->fn(reinterpret_cast<CCmdUI*>(w_)); return 0;)},

// Control notifications by WM_COMMAND: void fn(); ranges: void fn(UINT nID).
#define ON_CONTROL(code, id, fn) \
  {WM_COMMAND, (UINT)(code), (UINT)(id), (UINT)(id), FwKindCommand, FW_THUNK(FW_THIS->fn(); return 0;)},
#define ON_CONTROL_RANGE(code, idFirst, idLast, fn)                              \
  {WM_COMMAND, (UINT)(code), (UINT)(idFirst), (UINT)(idLast), FwKindCommand,    \
   FW_THUNK(FW_THIS->fn(id_); return 0;)},
#define ON_BN_CLICKED(id, fn) ON_CONTROL(BN_CLICKED, id, fn)
#define ON_BN_DOUBLECLICKED(id, fn) ON_CONTROL(BN_DOUBLECLICKED, id, fn)
#define ON_EN_CHANGE(id, fn) ON_CONTROL(EN_CHANGE, id, fn)
#define ON_EN_KILLFOCUS(id, fn) ON_CONTROL(EN_KILLFOCUS, id, fn)
#define ON_CBN_SELCHANGE(id, fn) ON_CONTROL(CBN_SELCHANGE, id, fn)
#define ON_CBN_EDITCHANGE(id, fn) ON_CONTROL(CBN_EDITCHANGE, id, fn)
#define ON_CBN_DROPDOWN(id, fn) ON_CONTROL(CBN_DROPDOWN, id, fn)
#define ON_CBN_SETFOCUS(id, fn) ON_CONTROL(CBN_SETFOCUS, id, fn)
#define ON_CBN_KILLFOCUS(id, fn) ON_CONTROL(CBN_KILLFOCUS, id, fn)
#define ON_LBN_DBLCLK(id, fn) ON_CONTROL(LBN_DBLCLK, id, fn)
#define ON_LBN_SELCHANGE(id, fn) ON_CONTROL(LBN_SELCHANGE, id, fn)
#define ON_LBN_SETFOCUS(id, fn) ON_CONTROL(LBN_SETFOCUS, id, fn)

// WM_NOTIFY: void fn(NMHDR* pNMHDR, LRESULT* pResult); ranges: void fn(UINT nID, NMHDR*, LRESULT*).
#define ON_NOTIFY(code, id, fn)                                                        \
  {WM_NOTIFY, (UINT)LOWORD(code), (UINT)(id), (UINT)(id), FwKindNotify,               \
   FW_THUNK(FW_THIS->fn(reinterpret_cast<NMHDR*>(l_), reinterpret_cast<LRESULT*>(w_)); return 0;)},
#define ON_NOTIFY_RANGE(code, idFirst, idLast, fn)                                     \
  {WM_NOTIFY, (UINT)LOWORD(code), (UINT)(idFirst), (UINT)(idLast), FwKindNotify,      \
   FW_THUNK(FW_THIS->fn(id_, reinterpret_cast<NMHDR*>(l_), reinterpret_cast<LRESULT*>(w_)); return 0;)},

// Any message: LRESULT fn(WPARAM, LPARAM).
#define ON_MESSAGE(msg, fn) \
  {(UINT)(msg), 0, 0, 0, FwKindMessage, FW_THUNK(return FW_THIS->fn(w_, l_);)},

// Reflected to the control that sent them: void fn(); void fn(NMHDR*, LRESULT*).
#define ON_CONTROL_REFLECT(code, fn) \
  {WM_COMMAND, (UINT)(code), 0, 0, FwKindReflectCommand, FW_THUNK(FW_THIS->fn(); return 0;)},
#define ON_NOTIFY_REFLECT(code, fn)                                                    \
  {WM_NOTIFY, (UINT)LOWORD(code), 0, 0, FwKindReflectNotify,                          \
   FW_THUNK(FW_THIS->fn(reinterpret_cast<NMHDR*>(l_), reinterpret_cast<LRESULT*>(w_)); return 0;)},
#define ON_CBN_SELCHANGE_REFLECT(fn) ON_CONTROL_REFLECT(CBN_SELCHANGE, fn)
#define ON_CBN_DROPDOWN_REFLECT(fn) ON_CONTROL_REFLECT(CBN_DROPDOWN, fn)
#define ON_CBN_CLOSEUP_REFLECT(fn) ON_CONTROL_REFLECT(CBN_CLOSEUP, fn)
#define ON_CBN_EDITCHANGE_REFLECT(fn) ON_CONTROL_REFLECT(CBN_EDITCHANGE, fn)
// void DrawItem(LPDRAWITEMSTRUCT); void MeasureItem(LPMEASUREITEMSTRUCT); HBRUSH CtlColor(CDC*, UINT).
#define ON_WM_DRAWITEM_REFLECT()                                                       \
  {WM_DRAWITEM, 0, 0, 0, FwKindReflectMessage,                                        \
   FW_THUNK(FW_THIS->DrawItem(reinterpret_cast<LPDRAWITEMSTRUCT>(l_)); return TRUE;)},
#define ON_WM_MEASUREITEM_REFLECT()                                                    \
  {WM_MEASUREITEM, 0, 0, 0, FwKindReflectMessage,                                     \
   FW_THUNK(FW_THIS->MeasureItem(reinterpret_cast<LPMEASUREITEMSTRUCT>(l_)); return TRUE;)},
#define FW_REFLECT_CTLCOLOR_BODY(kind) \
  CDC dc_; dc_.Attach((HDC)w_); HBRUSH b_ = FW_THIS->CtlColor(&dc_, kind); dc_.Detach(); return (LRESULT)b_;
#define ON_WM_CTLCOLOR_REFLECT()                                                                            \
  {WM_CTLCOLORSTATIC, 0, 0, 0, FwKindReflectMessage, FW_THUNK(FW_REFLECT_CTLCOLOR_BODY(CTLCOLOR_STATIC))}, \
  {WM_CTLCOLOREDIT, 0, 0, 0, FwKindReflectMessage, FW_THUNK(FW_REFLECT_CTLCOLOR_BODY(CTLCOLOR_EDIT))},     \
  {WM_CTLCOLORLISTBOX, 0, 0, 0, FwKindReflectMessage, FW_THUNK(FW_REFLECT_CTLCOLOR_BODY(CTLCOLOR_LISTBOX))},
