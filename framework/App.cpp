// The application object, its registry profile, recent files, command line and message loop.
#include "framework/Framework.h"

namespace {
CWinApp* g_pApp = nullptr;
HINSTANCE g_hResource = nullptr;
}  // namespace

CWinApp* AfxGetApp() { return g_pApp; }

CWnd* AfxGetMainWnd() { return g_pApp ? g_pApp->m_pMainWnd : nullptr; }

HINSTANCE AfxGetInstanceHandle() {
  return g_pApp && g_pApp->m_hInstance ? g_pApp->m_hInstance : ::GetModuleHandleA(nullptr);
}

HINSTANCE AfxGetResourceHandle() { return g_hResource ? g_hResource : AfxGetInstanceHandle(); }

void AfxSetResourceHandle(HINSTANCE hInst) { g_hResource = hInst; }

LPCSTR AfxGetAppName() { return g_pApp && g_pApp->m_pszAppName ? g_pApp->m_pszAppName : ""; }

BOOL AfxLoadString(UINT nID, CString& rString) {
  // LoadString gives the string's length only through the read-only resource pointer form
  // of the UTF-16 call; the ANSI text is then converted in one go.
  const WCHAR* p = nullptr;
  int n = ::LoadStringW(AfxGetResourceHandle(), nID, reinterpret_cast<LPWSTR>(&p), 0);
  if (n <= 0 || !p) {
    rString.Empty();
    return FALSE;
  }
  int len = ::WideCharToMultiByte(CP_ACP, 0, p, n, nullptr, 0, nullptr, nullptr);
  char* buf = rString.GetBuffer(len + 1);
  if (!buf) return FALSE;
  ::WideCharToMultiByte(CP_ACP, 0, p, n, buf, len, nullptr, nullptr);
  rString.ReleaseBuffer(len);
  return TRUE;
}

static HWND MessageBoxOwner() {
  HWND h = ::GetActiveWindow();
  if (!h) {
    CWnd* pMain = AfxGetMainWnd();
    h = pMain ? pMain->m_hWnd : nullptr;
  }
  if (h) {
    HWND popup = ::GetLastActivePopup(h);
    if (popup && ::IsWindowEnabled(popup)) h = popup;
  }
  return h;
}

int AfxMessageBox(LPCSTR lpszText, UINT nType, UINT) {
  return ::MessageBoxA(MessageBoxOwner(), lpszText, AfxGetAppName(), nType);
}

int AfxMessageBox(UINT nIDPrompt, UINT nType, UINT) {
  CString s;
  AfxLoadString(nIDPrompt, s);
  return AfxMessageBox(s, nType);
}

int AfxWinMain(HINSTANCE hInstance, HINSTANCE, LPSTR lpCmdLine, int nCmdShow) {
  CWinApp* app = AfxGetApp();
  if (!app) return -1;
  app->m_hInstance = hInstance;
  app->m_lpCmdLine = lpCmdLine;
  app->m_nCmdShow = nCmdShow;
  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES | ICC_BAR_CLASSES | ICC_USEREX_CLASSES |
                                              ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_LINK_CLASS};
  ::InitCommonControlsEx(&icc);
  if (!app->InitInstance()) {
    if (app->m_pMainWnd && app->m_pMainWnd->m_hWnd) app->m_pMainWnd->DestroyWindow();
    return app->ExitInstance();
  }
  return app->Run();
}

// The program's entry point when it is built as a windows program; it lives here so that every
// program with an application object links it.
int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow) {
  return AfxWinMain(hInstance, hPrevInstance, lpCmdLine, nCmdShow);
}

// --- CCommandLineInfo ---------------------------------------------------------------------------

void CCommandLineInfo::ParseParam(LPCSTR pszParam, BOOL bFlag, BOOL) {
  if (!bFlag && m_strFileName.IsEmpty()) {
    m_strFileName = pszParam;
    m_nShellCommand = FileOpen;
  }
}

// --- CRecentFileList ----------------------------------------------------------------------------

CRecentFileList::CRecentFileList(UINT nStart, LPCSTR lpszSection, LPCSTR lpszEntryFormat, int nSize)
    : m_nStart(nStart), m_strSection(lpszSection), m_strEntryFormat(lpszEntryFormat), m_nSize(nSize < 1 ? 1 : nSize) {
  if (m_nSize > 16) m_nSize = 16;
}

void CRecentFileList::Add(LPCSTR lpszPathName) {
  if (!lpszPathName || !*lpszPathName) return;
  CString path(lpszPathName);
  for (size_t i = 0; i < m_items.size(); ++i)
    if (m_items[i].CompareNoCase(path) == 0) {
      m_items.erase(m_items.begin() + i);
      break;
    }
  m_items.insert(m_items.begin(), path);
  if ((int)m_items.size() > m_nSize) m_items.resize(m_nSize);
}

void CRecentFileList::Remove(int nIndex) {
  if (nIndex >= 0 && nIndex < (int)m_items.size()) m_items.erase(m_items.begin() + nIndex);
}

void CRecentFileList::ReadList() {
  CWinApp* app = AfxGetApp();
  m_items.clear();
  if (!app) return;
  for (int i = 1; i <= m_nSize; ++i) {
    char name[32];
    wsprintfA(name, m_strEntryFormat, i);
    CString s = app->GetProfileString(m_strSection, name, "");
    if (!s.IsEmpty()) m_items.push_back(s);
  }
}

void CRecentFileList::WriteList() {
  CWinApp* app = AfxGetApp();
  if (!app) return;
  HKEY hApp = app->GetAppRegistryKey();
  if (!hApp) return;
  ::RegDeleteKeyA(hApp, m_strSection);
  ::RegCloseKey(hApp);
  for (size_t i = 0; i < m_items.size(); ++i) {
    char name[32];
    wsprintfA(name, m_strEntryFormat, (int)i + 1);
    app->WriteProfileString(m_strSection, name, m_items[i]);
  }
}

// The menu text of one entry: "&n path" with '&' doubled and long paths shortened in the middle.
static CString MenuEntryText(int n, const CString& path) {
  CString p = path;
  if (p.GetLength() > 64) {
    int name = p.ReverseFind('\\');
    CString tail = name >= 0 ? p.Mid(name) : p.Right(40);
    if (tail.GetLength() > 48) tail = tail.Right(48);
    p = p.Left(64 - tail.GetLength() - 3) + "..." + tail;
  }
  CString text;
  text.Format("&%d ", n);
  for (int i = 0; i < p.GetLength(); ++i) {
    if (p[i] == '&') text += '&';
    text += p[i];
  }
  return text;
}

void CRecentFileList::UpdateMenu(CCmdUI* pCmdUI) {
  CMenu* m = pCmdUI->m_pMenu;
  if (!m) {
    pCmdUI->Enable(!m_items.empty());
    return;
  }
  UINT first = ID_FILE_MRU_FIRST + m_nStart;
  CString original;
  if (!m_items.empty() || true) m->GetMenuString(pCmdUI->m_nIndex, original, MF_BYPOSITION);
  for (int i = 0; i < 16; ++i) m->DeleteMenu(first + i, MF_BYCOMMAND);
  if (m_items.empty()) {
    // Keep the placeholder item, greyed.
    if (original.IsEmpty() || original[0] == '&') original = "Letzte Datei";
    m->InsertMenu(pCmdUI->m_nIndex, MF_BYPOSITION | MF_STRING | MF_GRAYED, first, original);
    pCmdUI->m_bEnableChanged = TRUE;
    return;
  }
  for (size_t i = 0; i < m_items.size(); ++i)
    m->InsertMenu(pCmdUI->m_nIndex + (UINT)i, MF_BYPOSITION | MF_STRING, first + (UINT)i,
                  MenuEntryText((int)i + 1, m_items[i]));
  pCmdUI->m_bEnableChanged = TRUE;
}

// --- CWinApp ------------------------------------------------------------------------------------

IMPLEMENT_DYNAMIC(CWinApp, CCmdTarget)

BEGIN_MESSAGE_MAP(CWinApp, CCmdTarget)
  ON_COMMAND(ID_APP_EXIT, OnAppExit)
  ON_COMMAND_RANGE(ID_FILE_MRU_FIRST, ID_FILE_MRU_LAST, OnOpenRecentFileCommand)
  ON_UPDATE_COMMAND_UI(ID_FILE_MRU_FILE1, OnUpdateRecentFileMenu)
END_MESSAGE_MAP()

CWinApp::CWinApp(LPCSTR lpszAppName) {
  g_pApp = this;
  if (lpszAppName) {
    m_strAppName = lpszAppName;
  } else if (!AfxLoadString(0xE000, m_strAppName)) {
    char path[MAX_PATH] = "";
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    CString p(path);
    int slash = p.ReverseFind('\\');
    p = p.Mid(slash + 1);
    int dot = p.ReverseFind('.');
    m_strAppName = dot > 0 ? p.Left(dot) : p;
  }
  m_pszAppName = m_strAppName;
  m_pszProfileName = m_strAppName;
}

CWinApp::~CWinApp() {
  for (CDocTemplate* t : m_templates) delete t;
  delete m_pRecentFileList;
  if (g_pApp == this) g_pApp = nullptr;
}

void CWinApp::SetRegistryKey(LPCSTR lpszRegistryKey) {
  m_strRegistryKey = lpszRegistryKey ? lpszRegistryKey : "";
  m_pszRegistryKey = m_strRegistryKey.IsEmpty() ? nullptr : (LPCSTR)m_strRegistryKey;
  m_pszProfileName = m_pszAppName;
}

CString CWinApp::GetAppKeyPath() const {
  if (!m_pszRegistryKey || !m_pszProfileName) return CString();
  return CString("Software\\") + m_pszRegistryKey + "\\" + m_pszProfileName;
}

HKEY CWinApp::GetAppRegistryKey() {
  CString path = GetAppKeyPath();
  if (path.IsEmpty()) return nullptr;
  HKEY h = nullptr;
  if (::RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &h, nullptr) != ERROR_SUCCESS)
    return nullptr;
  return h;
}

HKEY CWinApp::GetSectionKey(LPCSTR lpszSection) {
  HKEY hApp = GetAppRegistryKey();
  if (!hApp) return nullptr;
  HKEY h = nullptr;
  LONG r = ::RegCreateKeyExA(hApp, lpszSection, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &h, nullptr);
  ::RegCloseKey(hApp);
  return r == ERROR_SUCCESS ? h : nullptr;
}

UINT CWinApp::GetProfileInt(LPCSTR lpszSection, LPCSTR lpszEntry, int nDefault) {
  HKEY h = GetSectionKey(lpszSection);
  if (!h) return nDefault;
  DWORD v = 0, type = 0, size = sizeof v;
  LONG r = ::RegQueryValueExA(h, lpszEntry, nullptr, &type, reinterpret_cast<BYTE*>(&v), &size);
  ::RegCloseKey(h);
  return r == ERROR_SUCCESS && type == REG_DWORD ? v : (UINT)nDefault;
}

BOOL CWinApp::WriteProfileInt(LPCSTR lpszSection, LPCSTR lpszEntry, int nValue) {
  HKEY h = GetSectionKey(lpszSection);
  if (!h) return FALSE;
  DWORD v = (DWORD)nValue;
  LONG r = ::RegSetValueExA(h, lpszEntry, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v);
  ::RegCloseKey(h);
  return r == ERROR_SUCCESS;
}

CString CWinApp::GetProfileString(LPCSTR lpszSection, LPCSTR lpszEntry, LPCSTR lpszDefault) {
  HKEY h = GetSectionKey(lpszSection);
  CString def(lpszDefault);
  if (!h) return def;
  DWORD type = 0, size = 0;
  LONG r = ::RegQueryValueExA(h, lpszEntry, nullptr, &type, nullptr, &size);
  if (r != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) {
    ::RegCloseKey(h);
    return def;
  }
  CString s;
  char* buf = s.GetBuffer((int)size + 1);
  if (buf) {
    r = ::RegQueryValueExA(h, lpszEntry, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
    buf[r == ERROR_SUCCESS ? size : 0] = 0;
    s.ReleaseBuffer();
  }
  ::RegCloseKey(h);
  return s;
}

BOOL CWinApp::WriteProfileString(LPCSTR lpszSection, LPCSTR lpszEntry, LPCSTR lpszValue) {
  HKEY h = GetSectionKey(lpszSection);
  if (!h) return FALSE;
  LONG r;
  if (lpszValue)
    r = ::RegSetValueExA(h, lpszEntry, 0, REG_SZ, reinterpret_cast<const BYTE*>(lpszValue), lstrlenA(lpszValue) + 1);
  else
    r = ::RegDeleteValueA(h, lpszEntry);
  ::RegCloseKey(h);
  return r == ERROR_SUCCESS;
}

void CWinApp::LoadStdProfileSettings(UINT nMaxMRU) {
  delete m_pRecentFileList;
  m_pRecentFileList = nullptr;
  if (nMaxMRU == 0) return;
  m_pRecentFileList = new CRecentFileList(0, "Recent File List", "File%d", (int)nMaxMRU);
  m_pRecentFileList->ReadList();
}

void CWinApp::SaveStdProfileSettings() {
  if (m_pRecentFileList) m_pRecentFileList->WriteList();
}

void CWinApp::AddToRecentFileList(LPCSTR lpszPathName) {
  if (m_pRecentFileList) m_pRecentFileList->Add(lpszPathName);
}

int CWinApp::ExitInstance() {
  SaveStdProfileSettings();
  return m_nExitCode;
}

void CWinApp::AddDocTemplate(CDocTemplate* pTemplate) { m_templates.push_back(pTemplate); }

POSITION CWinApp::GetFirstDocTemplatePosition() const {
  return m_templates.empty() ? nullptr : reinterpret_cast<POSITION>((UINT_PTR)1);
}

CDocTemplate* CWinApp::GetNextDocTemplate(POSITION& pos) const {
  size_t i = (size_t)(UINT_PTR)pos;
  if (i == 0 || i > m_templates.size()) {
    pos = nullptr;
    return nullptr;
  }
  pos = i < m_templates.size() ? reinterpret_cast<POSITION>((UINT_PTR)(i + 1)) : nullptr;
  return m_templates[i - 1];
}

CDocument* CWinApp::OpenDocumentFile(LPCSTR lpszFileName) {
  if (m_templates.empty()) return nullptr;
  return m_templates.front()->OpenDocumentFile(lpszFileName);
}

void CWinApp::OnFileNew() {
  if (!m_templates.empty()) m_templates.front()->OpenDocumentFile(nullptr);
}

void CWinApp::OnFileOpen() {
  CFileDialog dlg(TRUE, nullptr, nullptr, OFN_HIDEREADONLY | OFN_FILEMUSTEXIST, "Alle Dateien (*.*)|*.*||");
  if (dlg.DoModal() == IDOK) OpenDocumentFile(dlg.GetPathName());
}

void CWinApp::OnAppExit() {
  if (m_pMainWnd && m_pMainWnd->m_hWnd) m_pMainWnd->SendMessage(WM_CLOSE);
}

BOOL CWinApp::OnOpenRecentFile(UINT nID) {
  if (!m_pRecentFileList) return FALSE;
  int i = (int)(nID - ID_FILE_MRU_FIRST);
  if (i < 0 || i >= m_pRecentFileList->GetCount()) return FALSE;
  CString path = (*m_pRecentFileList)[i];
  if (!OpenDocumentFile(path)) m_pRecentFileList->Remove(i);
  return TRUE;
}

void CWinApp::OnUpdateRecentFileMenu(CCmdUI* pCmdUI) {
  if (m_pRecentFileList)
    m_pRecentFileList->UpdateMenu(pCmdUI);
  else
    pCmdUI->Enable(FALSE);
}

BOOL CWinApp::OnCmdMsg(UINT nID, int nCode, void* pExtra, FwCmdHandlerInfo* pHandlerInfo) {
  return CCmdTarget::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
}

// Splits a command line as the C runtime does: blanks separate, double quotes group, a
// backslash escapes a quote only when it precedes one.
static std::vector<CString> SplitCommandLine(const char* p) {
  std::vector<CString> args;
  while (*p) {
    while (*p == ' ' || *p == '\t') ++p;
    if (!*p) break;
    CString a;
    bool quoted = false;
    while (*p && (quoted || (*p != ' ' && *p != '\t'))) {
      int slashes = 0;
      while (*p == '\\') {
        ++slashes;
        ++p;
      }
      if (*p == '"') {
        for (int i = 0; i < slashes / 2; ++i) a += '\\';
        if (slashes % 2) {
          a += '"';
        } else if (quoted && p[1] == '"') {
          a += '"';
          ++p;
        } else {
          quoted = !quoted;
        }
        ++p;
      } else {
        for (int i = 0; i < slashes; ++i) a += '\\';
        if (*p && (quoted || (*p != ' ' && *p != '\t'))) a += *p++;
      }
    }
    args.push_back(a);
  }
  return args;
}

void CWinApp::ParseCommandLine(CCommandLineInfo& rCmdInfo) {
  std::vector<CString> args;
  if (m_lpCmdLine) {
    args = SplitCommandLine(m_lpCmdLine);
  } else {
    args = SplitCommandLine(::GetCommandLineA());
    if (!args.empty()) args.erase(args.begin());
  }
  for (size_t i = 0; i < args.size(); ++i) {
    const CString& a = args[i];
    BOOL bFlag = a.GetLength() > 0 && (a[0] == '-' || a[0] == '/');
    rCmdInfo.ParseParam(bFlag ? (LPCSTR)a + 1 : (LPCSTR)a, bFlag, i + 1 == args.size());
  }
}

BOOL CWinApp::ProcessShellCommand(CCommandLineInfo& rCmdInfo) {
  switch (rCmdInfo.m_nShellCommand) {
    case CCommandLineInfo::FileNew:
      OnFileNew();
      return m_templates.empty() || m_pMainWnd != nullptr;
    case CCommandLineInfo::FileOpen:
      return OpenDocumentFile(rCmdInfo.m_strFileName) != nullptr;
    default:
      return TRUE;
  }
}

BOOL CWinApp::PreTranslateMessage(MSG* pMsg) {
  HWND hStop = m_pMainWnd ? m_pMainWnd->m_hWnd : nullptr;
  return CWnd::WalkPreTranslateTree(hStop, pMsg);
}

BOOL CWinApp::PumpMessage() {
  MSG msg;
  if (!::GetMessageA(&msg, nullptr, 0, 0)) {
    m_nExitCode = (int)msg.wParam;
    return FALSE;
  }
  if (!PreTranslateMessage(&msg)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
  }
  return TRUE;
}

BOOL CWinApp::OnIdle(LONG lCount) {
  if (lCount == 0) {
    if (m_pMainWnd && m_pMainWnd->m_hWnd && m_pMainWnd->IsWindowVisible()) {
      BOOL disable = TRUE;
      if (m_pMainWnd->IsKindOf(RUNTIME_CLASS(CFrameWnd))) disable = static_cast<CFrameWnd*>(m_pMainWnd)->m_bAutoMenuEnable;
      m_pMainWnd->SendMessage(WM_IDLEUPDATECMDUI, disable);
      m_pMainWnd->SendMessageToDescendants(WM_IDLEUPDATECMDUI, disable, 0, TRUE);
    }
    return TRUE;
  }
  CWnd::DeleteTempMap();
  return FALSE;
}

// Messages that do not change what the bars show do not restart the idle updates.
static BOOL IsIdleMessage(const MSG& msg) {
  static POINT s_last = {-1, -1};
  if (msg.message == WM_MOUSEMOVE || msg.message == WM_NCMOUSEMOVE) {
    if (msg.pt.x == s_last.x && msg.pt.y == s_last.y) return FALSE;
    s_last = msg.pt;
    return TRUE;
  }
  return msg.message != WM_PAINT && msg.message != 0x0118;
}

int CWinApp::Run() {
  BOOL bIdle = TRUE;
  LONG lIdleCount = 0;
  MSG msg;
  for (;;) {
    while (bIdle && !::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
      if (!OnIdle(lIdleCount++)) bIdle = FALSE;
    }
    do {
      if (!PumpMessage()) return ExitInstance();
      if (IsIdleMessage(msg)) {
        bIdle = TRUE;
        lIdleCount = 0;
      }
    } while (::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
  }
}
