// The framework layer in one include: strings, windows, message maps, dialogs, document/view,
// frames and bars, the application object, GDI and menus.
//
// An application declares:
//   class CMyApp : public CWinApp { public: CMyApp() : CWinApp("Name") {}
//     BOOL InitInstance() override; DECLARE_MESSAGE_MAP() };  and one global CMyApp object;
//     WinMain comes with the layer (link as a windows program). InitInstance calls
//     SetRegistryKey, LoadStdProfileSettings, AddDocTemplate(new CSingleDocTemplate(id,
//     RUNTIME_CLASS(CMyDoc), RUNTIME_CLASS(CMyFrame), RUNTIME_CLASS(CMyView))), ParseCommandLine,
//     ProcessShellCommand, then shows m_pMainWnd itself.
//   Document, frame and view classes carry DECLARE_DYNCREATE / IMPLEMENT_DYNCREATE.
//   Message maps: DECLARE_MESSAGE_MAP() in the class; BEGIN_MESSAGE_MAP(Class, Base) ...
//     END_MESSAGE_MAP() in its source, with ON_COMMAND, ON_COMMAND_RANGE, ON_UPDATE_COMMAND_UI(_RANGE),
//     ON_NOTIFY(_RANGE), ON_CONTROL(_RANGE), ON_BN_CLICKED and the like, ON_MESSAGE, ON_WM_xxx (the
//     handler names and signatures are fixed by Wnd.h), ON_CONTROL_REFLECT, ON_NOTIFY_REFLECT.
//   Commands go view -> document -> frame -> application; the first handler found runs.
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
