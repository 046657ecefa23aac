// The application object's start-up and its two information dialogs.
#include "app/VellmorantApp.h"

#include <ole2.h>
#include <stdlib.h>

#include "app/MainFrm.h"
#include "app/Resource.h"
#include "app/StartOptions.h"
#include "app/VellmorantDoc.h"
#include "app/VellmorantView.h"
#include "system/RegKeys.h"
#include "toolkit/OfnHook.h"

// --- splash -------------------------------------------------------------------------------------

CSplashDlg::CSplashDlg() : CDialog() {}

BOOL CSplashDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  CRect client, window;
  GetClientRect(&client);
  GetWindowRect(&window);
  int width = window.Width() + (281 - client.Width());
  int height = window.Height() + (256 - client.Height());
  SetWindowPos(nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  CenterWindow();
  return TRUE;
}

// --- application --------------------------------------------------------------------------------

BEGIN_MESSAGE_MAP(CVellmorantApp, CWinApp)
  ON_COMMAND(ID_APP_ABOUT, OnAppAbout)
  ON_COMMAND(ID_APP_CMDLINE_HELP, OnCommandLineHelp)
  ON_COMMAND(ID_FILE_NEW, OnFileNewCommand)
  ON_COMMAND(ID_FILE_OPEN, OnFileOpenCommand)
END_MESSAGE_MAP()

CVellmorantApp::CVellmorantApp() : CWinApp("Vellmorant") {}

BOOL CVellmorantApp::InitInstance() {
  CSplashDlg splash;

  InstallOfnHook(nullptr);
  m_bOleInitialized = SUCCEEDED(::OleInitialize(nullptr));

  SetRegistryKey("QV");
  CRegKeys::SetAppName(m_pszProfileName);
  LoadStdProfileSettings(9);

  if (splash.Create(IDD_SPLASH, nullptr)) {
    splash.ShowWindow(SW_SHOW);
    splash.UpdateWindow();
  }

  AddDocTemplate(new CSingleDocTemplate(IDR_MAINFRAME, RUNTIME_CLASS(CVellmorantDoc), RUNTIME_CLASS(CMainFrame),
                                        RUNTIME_CLASS(CVellmorantView)));

  CCommandLineInfo cmdInfo;
  ParseCommandLine(cmdInfo);
  if (!ProcessShellCommand(cmdInfo)) return FALSE;

  CVellmorantDoc* doc = GetDocument();
  StartOptions options = ParseStartOptions(__argc, __argv);
  if (options.FillsList() && doc)
    doc->AddFilesFromCommandLine(options.hasPlus ? (const char*)options.plus : nullptr,
                                 options.hasMinus ? (const char*)options.minus : nullptr, options.subDirs);

  if (m_pMainWnd) {
    m_pMainWnd->ShowWindow(SW_SHOW);
    m_pMainWnd->UpdateWindow();
  }
  if (splash.m_hWnd) splash.DestroyWindow();
  return TRUE;
}

int CVellmorantApp::ExitInstance() {
  int code = CWinApp::ExitInstance();
  if (m_bOleInitialized) ::OleUninitialize();
  m_bOleInitialized = FALSE;
  return code;
}

CVellmorantDoc* CVellmorantApp::GetDocument() {
  POSITION pos = GetFirstDocTemplatePosition();
  CDocTemplate* tmpl = pos ? GetNextDocTemplate(pos) : nullptr;
  if (!tmpl) return nullptr;
  POSITION docPos = tmpl->GetFirstDocPosition();
  CDocument* doc = docPos ? tmpl->GetNextDoc(docPos) : nullptr;
  return doc && doc->IsKindOf(RUNTIME_CLASS(CVellmorantDoc)) ? static_cast<CVellmorantDoc*>(doc) : nullptr;
}

void CVellmorantApp::OnAppAbout() {
  CDialog dlg(IDD_ABOUTBOX);
  dlg.DoModal();
}

void CVellmorantApp::OnCommandLineHelp() {
  CDialog dlg(IDD_CMDLINE_HELP);
  dlg.DoModal();
}
