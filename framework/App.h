// The application object: WinMain's partner with the registry key, the recent-file list, the
// command line, the document templates and the message loop that updates command states when
// it is idle. Exactly one application object exists per program.
#pragma once
#include <vector>
#include "framework/DocView.h"

// The standard command line: the first argument that does not start with '-' or '/' is a file
// (here a folder) to open; everything else is left to the application.
class CCommandLineInfo {
public:
  enum Shell { FileNew, FileOpen, FileNothing };
  virtual ~CCommandLineInfo() {}
  // Called for every argument; bFlag when it starts with '-' or '/' (then without that character).
  virtual void ParseParam(LPCSTR pszParam, BOOL bFlag, BOOL bLast);
  Shell m_nShellCommand = FileNew;
  CString m_strFileName;
};

// Most recently opened paths, newest first, without duplicates (paths compare without case).
class CRecentFileList {
public:
  CRecentFileList(UINT nStart, LPCSTR lpszSection, LPCSTR lpszEntryFormat, int nSize);
  int GetSize() const { return m_nSize; }
  int GetCount() const { return (int)m_items.size(); }
  const CString& operator[](int nIndex) const { return m_items[nIndex]; }
  void Add(LPCSTR lpszPathName);
  void Remove(int nIndex);
  // Reads / writes the entries "File1".."FileN" under the section of the application's key.
  void ReadList();
  void WriteList();
  // Replaces the menu item of pCmdUI (the first recent-file command) with the entries.
  void UpdateMenu(CCmdUI* pCmdUI);

private:
  UINT m_nStart;
  CString m_strSection;
  CString m_strEntryFormat;
  int m_nSize;
  std::vector<CString> m_items;
};

class CWinApp : public CCmdTarget {
  DECLARE_DYNAMIC(CWinApp)
public:
  // lpszAppName: the application's name (window title, registry name); NULL takes string
  // resource 0xE000, else the program's file name.
  explicit CWinApp(LPCSTR lpszAppName = nullptr);
  ~CWinApp() override;

  LPCSTR m_pszAppName = nullptr;
  LPCSTR m_pszRegistryKey = nullptr;  // "QV": settings live in HKCU\Software\QV\<profile name>
  LPCSTR m_pszProfileName = nullptr;  // the application's name
  HINSTANCE m_hInstance = nullptr;
  LPSTR m_lpCmdLine = nullptr;
  int m_nCmdShow = SW_SHOWNORMAL;
  CWnd* m_pMainWnd = nullptr;

  virtual BOOL InitInstance() { return TRUE; }
  // Returns the exit code; the base saves the recent-file list.
  virtual int ExitInstance();
  // The message loop until WM_QUIT; returns ExitInstance's result.
  virtual int Run();
  // Idle work: lCount 0 updates the main window's bars; TRUE asks for another call.
  virtual BOOL OnIdle(LONG lCount);
  virtual BOOL PreTranslateMessage(MSG* pMsg);
  // Gets, translates and dispatches one message; FALSE on WM_QUIT.
  BOOL PumpMessage();

  // Registry: sets m_pszRegistryKey ("QV") so that the profile lives under
  // HKCU\Software\<key>\<application name>.
  void SetRegistryKey(LPCSTR lpszRegistryKey);
  // The application's key, created when missing; the caller closes it. NULL without a key.
  HKEY GetAppRegistryKey();
  // "Software\<key>\<application name>", empty without a registry key.
  CString GetAppKeyPath() const;
  HKEY GetSectionKey(LPCSTR lpszSection);
  UINT GetProfileInt(LPCSTR lpszSection, LPCSTR lpszEntry, int nDefault);
  BOOL WriteProfileInt(LPCSTR lpszSection, LPCSTR lpszEntry, int nValue);
  CString GetProfileString(LPCSTR lpszSection, LPCSTR lpszEntry, LPCSTR lpszDefault = nullptr);
  BOOL WriteProfileString(LPCSTR lpszSection, LPCSTR lpszEntry, LPCSTR lpszValue);

  // Reads the recent-file list (nMaxMRU entries, section "Recent File List").
  void LoadStdProfileSettings(UINT nMaxMRU = 4);
  void SaveStdProfileSettings();
  virtual void AddToRecentFileList(LPCSTR lpszPathName);
  CRecentFileList* GetRecentFileList() const { return m_pRecentFileList; }

  // Documents.
  void AddDocTemplate(CDocTemplate* pTemplate);
  POSITION GetFirstDocTemplatePosition() const;
  CDocTemplate* GetNextDocTemplate(POSITION& pos) const;
  virtual CDocument* OpenDocumentFile(LPCSTR lpszFileName);

  // Command line: splits m_lpCmdLine (or the process's) and feeds rCmdInfo.
  void ParseCommandLine(CCommandLineInfo& rCmdInfo);
  // New document or opening the given path; FALSE when that fails.
  BOOL ProcessShellCommand(CCommandLineInfo& rCmdInfo);

  // Standard command handlers (the application maps them in its own message map).
  void OnFileNew();
  void OnFileOpen();
  void OnAppExit();
  BOOL OnOpenRecentFile(UINT nID);

  BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, FwCmdHandlerInfo* pHandlerInfo) override;

protected:
  void OnOpenRecentFileCommand(UINT nID) { OnOpenRecentFile(nID); }
  void OnUpdateRecentFileMenu(CCmdUI* pCmdUI);
  std::vector<CDocTemplate*> m_templates;
  CRecentFileList* m_pRecentFileList = nullptr;
  CString m_strAppName;
  CString m_strRegistryKey;
  int m_nExitCode = 0;
  DECLARE_MESSAGE_MAP()
};

// The application object, or NULL before it is built.
CWinApp* AfxGetApp();
// The application's main window, or NULL.
CWnd* AfxGetMainWnd();
// The program's module (resources are loaded from it unless set otherwise).
HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();
void AfxSetResourceHandle(HINSTANCE hInst);
// Loads string resource nID into rString; FALSE when it does not exist.
BOOL AfxLoadString(UINT nID, CString& rString);
// A message box over the active window with the application's name as its caption.
int AfxMessageBox(LPCSTR lpszText, UINT nType = MB_OK, UINT nIDHelp = 0);
int AfxMessageBox(UINT nIDPrompt, UINT nType = MB_OK, UINT nIDHelp = -1);
// The application's name, "" without an application object.
LPCSTR AfxGetAppName();
// Runs the application object: InitInstance, then Run (or ExitInstance when it fails).
int AfxWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow);

// Hourglass cursor for the lifetime of the object (nested waits keep it until the last ends).
class CWaitCursor {
public:
  CWaitCursor();
  ~CWaitCursor();
  void Restore();
};
