// Application, single-document template, frame and document: the frame, document and view
// built from resource 128, the caption "folder - title", the recent-file list of 9 entries in
// the registry, the command line, accelerators (Esc closes; Ctrl+S saves nothing) and the
// message loop with its idle updates.
#include <gtest/gtest.h>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>
#include "framework/Framework.h"
#include "framework/support/gui_util.h"

namespace {

class CDocApp : public CWinApp {
public:
  CDocApp() : CWinApp("FwDocTest") {}
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CDocApp, CWinApp)
  ON_COMMAND(ID_FILE_NEW, OnFileNew)
  ON_COMMAND(ID_FILE_OPEN, OnFileOpen)
END_MESSAGE_MAP()

CDocApp theApp;

// Like the program's document: it reads nothing and stands for a folder.
class CFolderDoc : public CDocument {
  DECLARE_DYNCREATE(CFolderDoc)
public:
  int opens = 0;
  BOOL OnOpenDocument(LPCSTR) override {
    ++opens;
    return TRUE;
  }
};
IMPLEMENT_DYNCREATE(CFolderDoc, CDocument)

// The view sets the title to the folder of the document's path.
class CFolderView : public CView {
  DECLARE_DYNCREATE(CFolderView)
public:
  int updates = 0;
  void OnUpdate(CView*, LPARAM, CObject*) override {
    ++updates;
    CString path = GetDocument()->GetPathName();
    if (path.IsEmpty()) return;
    if (::GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES &&
        !(::GetFileAttributesA(path) & FILE_ATTRIBUTE_DIRECTORY))
      path = path.Left(path.ReverseFind('\\'));
    GetDocument()->SetTitle(path);
  }
};
IMPLEMENT_DYNCREATE(CFolderView, CView)

class CIdleBar : public CControlBar {
public:
  int updates = 0;
  BOOL Create(CWnd* parent) { return CreateBar(0, nullptr, WS_CHILD | WS_VISIBLE | CBRS_TOP, parent, AFX_IDW_TOOLBAR); }
  CSize CalcFixedLayout(BOOL, BOOL) override { return CSize(32767, 20); }
  void OnUpdateCmdUI(CFrameWnd*, BOOL) override { ++updates; }
};

class CMainTestFrame : public CFrameWnd {
  DECLARE_DYNCREATE(CMainTestFrame)
public:
  CIdleBar m_bar;
  CStatusBar m_status;
  int OnCreate(LPCREATESTRUCTA lpcs) {
    if (CFrameWnd::OnCreate(lpcs) == -1) return -1;
    if (!m_bar.Create(this) || !m_status.Create(this)) return -1;
    return 0;
  }
  DECLARE_MESSAGE_MAP()
};
IMPLEMENT_DYNCREATE(CMainTestFrame, CFrameWnd)
BEGIN_MESSAGE_MAP(CMainTestFrame, CFrameWnd)
  ON_WM_CREATE()
END_MESSAGE_MAP()

std::string TempDir() {
  char tmp[MAX_PATH];
  ::GetTempPathA(MAX_PATH, tmp);
  std::string d = std::string(tmp) + "fwdoc_test";
  ::CreateDirectoryA(d.c_str(), nullptr);
  return d;
}

std::string ReadAll(const std::string& p) {
  std::ifstream f(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

class DocFrameTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    fwtest::InitControls();
    ::RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\QV\\FwDocTest");
    theApp.SetRegistryKey("QV");
    theApp.LoadStdProfileSettings(9);
    theApp.AddDocTemplate(new CSingleDocTemplate(128, RUNTIME_CLASS(CFolderDoc), RUNTIME_CLASS(CMainTestFrame),
                                                 RUNTIME_CLASS(CFolderView)));
  }
  void TearDown() override {
    if (theApp.m_pMainWnd) theApp.m_pMainWnd->SendMessage(WM_CLOSE);
    fwtest::DrainQuit();
    BYTE keys[256];
    ::GetKeyboardState(keys);
    keys[VK_CONTROL] = 0;
    ::SetKeyboardState(keys);
  }
  CMainTestFrame* Frame() { return static_cast<CMainTestFrame*>(theApp.m_pMainWnd); }
  CFolderDoc* Doc() { return Frame() ? static_cast<CFolderDoc*>(Frame()->GetActiveDocument()) : nullptr; }
  // A key through the main loop's translation (accelerators), as the loop would do it.
  void Key(UINT vk, bool ctrl) {
    BYTE keys[256];
    ::GetKeyboardState(keys);
    keys[VK_CONTROL] = ctrl ? 0x80 : 0;
    ::SetKeyboardState(keys);
    MSG msg = {Frame()->GetActiveView()->m_hWnd, WM_KEYDOWN, vk, 1};
    if (!theApp.PreTranslateMessage(&msg)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageA(&msg);
    }
  }
};

TEST_F(DocFrameTest, CommandLineOpensTheFolderInFrameDocumentAndViewFromResource128) {
  std::string dir = TempDir();
  std::string cmd = "\"" + dir + "\" -p:*.c /s";
  theApp.m_lpCmdLine = const_cast<LPSTR>(cmd.c_str());
  CCommandLineInfo info;
  theApp.ParseCommandLine(info);
  theApp.m_lpCmdLine = nullptr;
  EXPECT_EQ(info.m_nShellCommand, CCommandLineInfo::FileOpen);
  EXPECT_STREQ(info.m_strFileName, dir.c_str());
  ASSERT_TRUE(theApp.ProcessShellCommand(info));
  ASSERT_NE(Frame(), nullptr);
  ASSERT_NE(Doc(), nullptr);
  EXPECT_EQ(Doc()->opens, 1);
  EXPECT_STREQ(Doc()->GetPathName(), dir.c_str());
  EXPECT_NE(Frame()->GetMenuHandle(), nullptr);
  EXPECT_NE(Frame()->m_hAccelTable, nullptr);
  EXPECT_EQ(fwtest::WindowText(Frame()->m_hWnd), dir + " - FwDocTest");
  CString s;
  POSITION pos = theApp.GetFirstDocTemplatePosition();
  ASSERT_TRUE(theApp.GetNextDocTemplate(pos)->GetDocString(s, CDocTemplate::regFileTypeId));
  EXPECT_STREQ(s, "FwDocTest.Document");

  // Opening again reuses document, frame and view.
  CFrameWnd* frame = Frame();
  CDocument* doc = Doc();
  EXPECT_EQ(theApp.OpenDocumentFile("C:\\windows"), doc);
  EXPECT_EQ(Frame(), frame);
  EXPECT_EQ(fwtest::WindowText(frame->m_hWnd), "C:\\windows - FwDocTest");
}

TEST_F(DocFrameTest, SaveCommandLeavesAnOpenedFileUnchanged) {
  std::string file = TempDir() + "\\inhalt.txt";
  {
    std::ofstream f(file, std::ios::binary);
    f << "Daten, die bleiben\r\n";
  }
  WIN32_FILE_ATTRIBUTE_DATA before, after;
  ::GetFileAttributesExA(file.c_str(), GetFileExInfoStandard, &before);
  ASSERT_NE(theApp.OpenDocumentFile(file.c_str()), nullptr);
  Doc()->SetModifiedFlag(TRUE);
  Key('S', true);                                     // Ctrl+S through the accelerators
  Frame()->SendMessage(WM_COMMAND, ID_FILE_SAVE, 0);  // and the command itself
  // The menu item has no handler and is greyed.
  CMenu* view = nullptr;
  CMenu bar;
  bar.AttachShared(Frame()->GetMenuHandle());
  view = bar.GetSubMenu(1);
  Frame()->SendMessage(WM_INITMENUPOPUP, (WPARAM)view->m_hMenu, MAKELPARAM(1, FALSE));
  EXPECT_NE(view->GetMenuState(ID_FILE_SAVE, MF_BYCOMMAND) & MF_GRAYED, 0u);
  // Closing a modified document asks nothing and writes nothing.
  Key(VK_ESCAPE, false);
  EXPECT_EQ(theApp.m_pMainWnd, nullptr);
  ::GetFileAttributesExA(file.c_str(), GetFileExInfoStandard, &after);
  EXPECT_EQ(ReadAll(file), "Daten, die bleiben\r\n");
  EXPECT_EQ(::CompareFileTime(&before.ftLastWriteTime, &after.ftLastWriteTime), 0);
  ::DeleteFileA(file.c_str());
}

TEST_F(DocFrameTest, RecentFileListKeepsNineEntriesInTheRegistryAndInTheMenu) {
  std::vector<std::string> paths;
  for (int i = 0; i < 11; ++i) paths.push_back("C:\\Ordner" + std::to_string(i));
  for (const auto& p : paths) ASSERT_NE(theApp.OpenDocumentFile(p.c_str()), nullptr);
  theApp.OpenDocumentFile("c:\\ordner4");  // again, other case: moves to the front
  CRecentFileList* mru = theApp.GetRecentFileList();
  ASSERT_NE(mru, nullptr);
  ASSERT_EQ(mru->GetCount(), 9);
  EXPECT_STREQ((*mru)[0], "c:\\ordner4");
  EXPECT_STREQ((*mru)[1], "C:\\Ordner10");
  EXPECT_STREQ((*mru)[8], "C:\\Ordner2");  // Ordner4 left the middle

  // The file menu shows the entries in place of "Letzte Datei"; a click reopens one.
  CMenu bar;
  bar.AttachShared(Frame()->GetMenuHandle());
  CMenu* file = bar.GetSubMenu(0);
  Frame()->SendMessage(WM_INITMENUPOPUP, (WPARAM)file->m_hMenu, MAKELPARAM(0, FALSE));
  EXPECT_EQ(file->GetMenuItemCount(), 11);
  CString text;
  file->GetMenuString(ID_FILE_MRU_FILE1 + 2, text, MF_BYCOMMAND);
  EXPECT_STREQ(text, "&3 C:\\Ordner9");
  EXPECT_EQ(file->GetMenuState(ID_FILE_MRU_FILE1 + 8, MF_BYCOMMAND) & MF_GRAYED, 0u);
  Frame()->SendMessage(WM_COMMAND, ID_FILE_MRU_FILE1 + 2, 0);
  EXPECT_STREQ(Doc()->GetPathName(), "C:\\Ordner9");
  EXPECT_STREQ((*mru)[0], "C:\\Ordner9");

  // Saved at exit as File1..File9 under "Recent File List"; read back in the same order.
  theApp.SaveStdProfileSettings();
  HKEY h;
  ASSERT_EQ(::RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\QV\\FwDocTest\\Recent File List", 0, KEY_READ, &h), 0);
  char buf[MAX_PATH];
  DWORD size = sizeof buf, type = 0;
  EXPECT_EQ(::RegQueryValueExA(h, "File1", nullptr, &type, (BYTE*)buf, &size), 0);
  EXPECT_EQ(type, (DWORD)REG_SZ);
  EXPECT_STREQ(buf, "C:\\Ordner9");
  size = sizeof buf;
  EXPECT_EQ(::RegQueryValueExA(h, "File9", nullptr, &type, (BYTE*)buf, &size), 0);
  size = sizeof buf;
  EXPECT_NE(::RegQueryValueExA(h, "File10", nullptr, &type, (BYTE*)buf, &size), 0);
  ::RegCloseKey(h);
  CRecentFileList again(0, "Recent File List", "File%d", 9);
  again.ReadList();
  ASSERT_EQ(again.GetCount(), 9);
  for (int i = 0; i < 9; ++i) EXPECT_STREQ(again[i], (*mru)[i]);

  // Emptied, the menu keeps the greyed placeholder.
  while (mru->GetCount()) mru->Remove(0);
  Frame()->SendMessage(WM_INITMENUPOPUP, (WPARAM)file->m_hMenu, MAKELPARAM(0, FALSE));
  EXPECT_EQ(file->GetMenuItemCount(), 3);
  file->GetMenuString(0, text, MF_BYPOSITION);
  EXPECT_STREQ(text, "Letzte Datei");
  EXPECT_NE(file->GetMenuState(0, MF_BYPOSITION) & MF_GRAYED, 0u);
}

TEST_F(DocFrameTest, MessageLoopUpdatesBarsWhenIdleAndEndsWithTheMainWindow) {
  ASSERT_NE(theApp.OpenDocumentFile(nullptr), nullptr);
  CMainTestFrame* frame = Frame();
  frame->ShowWindow(SW_SHOW);
  EXPECT_EQ(fwtest::WindowText(frame->m_hWnd), "Unbenannt - FwDocTest");
  int updatesAtExit = -1;
  fwtest::RunLater(200, [&] {
    updatesAtExit = frame->m_bar.updates;
    frame->PostMessage(WM_COMMAND, ID_APP_EXIT);
  });
  EXPECT_EQ(theApp.Run(), 0);
  EXPECT_GT(updatesAtExit, 0);
  EXPECT_EQ(theApp.m_pMainWnd, nullptr);
}

class CResourceDlg : public CDialog {
public:
  CResourceDlg() : CDialog(130) {}
  CString m_path = "C:\\Quellen";
  int m_subDirs = 1;
  void DoDataExchange(CDataExchange* pDX) override {
    DDX_CBString(pDX, 1001, m_path);
    DDX_Check(pDX, 1045, m_subDirs);
  }
};

TEST_F(DocFrameTest, DialogFromAResourceTemplate) {
  CResourceDlg dlg;
  std::string caption;
  fwtest::WhenFound([] { return fwtest::FindThreadDialog(); }, [&](HWND h) {
    caption = fwtest::WindowText(h);
    ::SetDlgItemTextA(h, 1001, "D:\\Neu");
    ::CheckDlgButton(h, 1045, BST_UNCHECKED);
    ::PostMessageA(h, WM_COMMAND, IDOK, 0);
  });
  EXPECT_EQ(dlg.DoModal(), IDOK);
  EXPECT_EQ(caption, "Dateien suchen");
  EXPECT_STREQ(dlg.m_path, "D:\\Neu");
  EXPECT_EQ(dlg.m_subDirs, 0);
  CDialog missing(4711);
  EXPECT_EQ(missing.DoModal(), -1);
}

}  // namespace
