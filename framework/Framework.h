// The framework layer in one include: strings, windows, message maps, dialogs, document/view,
// frames and bars, the application object, GDI and menus.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include "framework/String.h"
#include "framework/Types.h"
#include "framework/Object.h"
#include "framework/CmdTarget.h"
#include "framework/Wnd.h"
#include "framework/Gdi.h"
#include "framework/Menu.h"
#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "framework/Ids.h"
#include "framework/Frame.h"
#include "framework/DocView.h"
#include "framework/App.h"
#include "framework/CommonDlg.h"
#include "framework/Sync.h"

// Helpers of the message-map entries that need the GDI and menu classes.
template <class T> LRESULT FwCallEraseBkgnd(T* p, HDC hdc) {
  CDC dc;
  dc.Attach(hdc);
  LRESULT r = p->OnEraseBkgnd(&dc);
  dc.Detach();
  return r;
}
template <class T> LRESULT FwCallInitMenuPopup(T* p, HMENU hMenu, UINT nIndex, BOOL bSysMenu) {
  CMenu menu;
  menu.AttachShared(hMenu);
  p->OnInitMenuPopup(&menu, nIndex, bSysMenu);
  return 0;
}
template <class T> LRESULT FwCallCtlColor(T* p, HDC hdc, HWND hCtl, UINT nCtlColor) {
  CDC dc;
  dc.Attach(hdc);
  HBRUSH h = p->OnCtlColor(&dc, CWnd::FromHandle(hCtl), nCtlColor);
  dc.Detach();
  return (LRESULT)h;
}
template <class T> LRESULT FwReflectCtlColor(T* p, WPARAM hdc, UINT nCtlColor) {
  CDC dc;
  dc.Attach((HDC)hdc);
  HBRUSH h = p->CtlColor(&dc, nCtlColor);
  dc.Detach();
  return (LRESULT)h;
}
