// The application object: start-up in a fixed order (splash, registry, document template,
// command line, the file list from "-p:"/"-m:"), and the about and command-line help dialogs.
#pragma once
#include "framework/Framework.h"

class CVellmorantDoc;

// The splash window shown while the program starts (dialog 136 with bitmap 137).
class CSplashDlg : public CDialog {
public:
  CSplashDlg();
  // Sizes the window so that its client area is 281 x 256 pixels.
  BOOL OnInitDialog() override;
};

class CVellmorantApp : public CWinApp {
public:
  CVellmorantApp();
  // The start-up; FALSE ends the program.
  BOOL InitInstance() override;
  int ExitInstance() override;
  // The single document, or null before it exists.
  CVellmorantDoc* GetDocument();

  void OnAppAbout();
  void OnCommandLineHelp();

protected:
  void OnFileNewCommand() { OnFileNew(); }
  void OnFileOpenCommand() { OnFileOpen(); }
  BOOL m_bOleInitialized = FALSE;
  DECLARE_MESSAGE_MAP()
};
