// The path combo box: paths set, refused and split into segments, the row's layout, chosen
// segments, the worker's folder lists, destruction while the worker reads, the window text,
// typed paths, dropped files, the dragged block, clipboard copies, style changes and the keys
// in the folder dialog.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "common/TempTree.h"
#include "framework/support/gui_util.h"
#include "system/RegKeys.h"
#include "system/StrList.h"
#include "toolkit/PathComboBox.h"
#include "toolkit/PathDlg.h"

namespace {

CWinApp theApp("FwPathComboTest");
const UINT IDC_COMBO = 1001;

struct Note {
  UINT code;
  int kind;
  std::string path;
};

class CHost : public CWnd {
public:
  std::vector<Note> notes;
  LRESULT dragAnswer = 0;

protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_NOTIFY && reinterpret_cast<NMHDR*>(lParam)->idFrom == IDC_COMBO) {
      auto* nm = reinterpret_cast<NMPATHCOMBO*>(lParam);
      notes.push_back({nm->hdr.code, nm->nValue2, nm->pszPath});
      return nm->hdr.code == PCN_BEGINDRAG ? dragAnswer : 0;
    }
    return CWnd::WindowProc(message, wParam, lParam);
  }
};

std::string Clipboard() {
  std::string s;
  if (!::OpenClipboard(nullptr)) return "<busy>";
  if (HANDLE h = ::GetClipboardData(CF_TEXT)) {
    s = static_cast<const char*>(::GlobalLock(h));
    ::GlobalUnlock(h);
  }
  ::CloseClipboard();
  return s;
}

POINT Center(const RECT& r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }
LPARAM At(POINT p) { return MAKELPARAM(p.x, p.y); }

class PathComboTest : public ::testing::Test {
protected:
  void SetUp() override {
    fwtest::InitControls();
    ASSERT_FALSE(tmp.Path().empty());
    for (const char* d : {"d1", "d1\\zeta", "d1\\Alpha", "d1\\beta", "d1\\geheim", "d1\\Alpha\\leer", "d2", "d2\\x"})
      ::CreateDirectoryA((tmp / d).c_str(), nullptr);
    ::SetFileAttributesA((tmp / "d1\\geheim").c_str(), FILE_ATTRIBUTE_HIDDEN);
    tmp.Write("d1\\f.txt", "x");
    ASSERT_TRUE(host.CreateEx(0, nullptr, "Pfad", WS_POPUP | WS_VISIBLE, 10, 10, 900, 200, nullptr, nullptr));
  }
  void TearDown() override { host.DestroyWindow(); }
  // A new combo on the host with the options.
  void Make(DWORD flags, int width = 860) {
    combo.reset(new CPathComboBox);
    ASSERT_TRUE(combo->Create(flags | WS_VISIBLE, CRect(10, 10, 10 + width, 300), &host, IDC_COMBO));
    host.notes.clear();
  }
  // Waits until the last segment's folder list is read; its names.
  std::vector<std::string> LastList() {
    CStrList list(0);
    int n = combo->GetSegmentCount();
    if (!fwtest::PumpUntil([&] { return combo->GetFolderList(n, &list) != FALSE; })) return {"<none>"};
    std::vector<std::string> names;
    for (int i = 0; i < list.m_nCount; ++i) names.push_back(list.GetString(i));
    return names;
  }
  testcommon::TempDir tmp{"vmpathcombo_"};
  CHost host;
  std::unique_ptr<CPathComboBox> combo;
};

TEST_F(PathComboTest, SetPathNormalisesRefusesAndSplits) {
  std::string d1 = tmp / "d1", deep = "C:";
  for (int i = 0; i < 32; ++i) deep += "\\k" + std::to_string(i);
  std::string longPath = tmp.Path() + "\\" + std::string(251 - tmp.Path().size() - 1, 'n');
  struct Case {
    DWORD flags;
    std::string before, input;
    int result;
    std::string path;
    int segments, notes;
  } cases[] = {
      {0, "", "d1\\Alpha", 1, tmp / "d1\\Alpha", -1, 1},               // relative to the current folder
      {0, d1, tmp.Path() + "/d1/beta/", 1, tmp / "d1\\beta", -1, 1},  // '/' and a trailing separator
      {0, d1, longPath + "n", 0, d1, -1, 0},                          // 252 characters refused
      {0, d1, longPath, 1, longPath, -1, 1},                          // 251 taken
      {0, d1, tmp / "D1", 1, d1, -1, 0},                              // a case-only change changes nothing
      {0, "", deep, 1, deep, 32, 1},                                  // 33 components: 32 segments
      {0, "", "C:\\", 1, "C:", 1, 1},                                 // a drive
      {PCO_MUSTEXIST, d1, tmp / "fehlt", 0, d1, -1, 0},
      {PCO_NOUNC, d1, "\\\\server\\share", 0, d1, -1, 0},
      {0, d1, "\\\\server\\share\\dir", 1, "\\\\server\\share\\dir", 3, 1},
      {0, d1, tmp / "M\xFCller\\\xC4rger", 1, tmp / "M\xFCller\\\xC4rger", -1, 1},
      {0, d1, tmp / "fehlt\\..\\d2", 1, tmp / "d2", -1, 1},
      {0, d1, std::string(300, 'x'), 0, d1, -1, 0},
      {0, d1, "", 0, d1, -1, 0},
  };
  ::SetCurrentDirectoryA(tmp.Path().c_str());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input);
    Make(c.flags);
    if (!c.before.empty()) {
      ASSERT_EQ(combo->SetPath(c.before.c_str()), 1);
    }
    host.notes.clear();
    EXPECT_EQ(combo->SetPath(c.input.c_str()), c.result);
    EXPECT_EQ(std::string(combo->GetPath()), c.path);
    EXPECT_EQ(fwtest::WindowText(combo->m_hWnd), c.path);
    if (c.segments >= 0) {
      EXPECT_EQ(combo->GetSegmentCount(), c.segments);
    }
    ASSERT_EQ((int)host.notes.size(), c.notes);
    if (c.notes) {
      EXPECT_EQ(host.notes[0].path, c.path);
    }
  }
}

TEST_F(PathComboTest, LayoutKeepsTheRightEndAndShowsExactFits) {
  const int edges[] = {0, 10, 30, 40, 60, 70};
  struct Case {
    int elements, room, first, hidden;
  } cases[] = {{5, 70, 0, 0}, {5, 60, 1, 10}, {5, 59, 2, 30}, {5, 10, 4, 60}, {5, 9, 5, 70}, {0, 50, 0, 0}};
  for (const Case& c : cases) {
    PathRowLayout lay = CPathComboBox::LayoutSegments(edges, c.elements, c.room);
    EXPECT_EQ(lay.nFirst, c.first) << c.room;
    EXPECT_EQ(lay.nEnd, c.elements);
    EXPECT_EQ(lay.nHiddenWidth, c.hidden) << c.room;
  }
}

TEST_F(PathComboTest, ChoosingASegmentCutsThePath) {
  Make(0);
  std::string leaf = tmp / "d1\\Alpha\\leer";
  ASSERT_EQ(combo->SetPath(leaf.c_str()), 1);
  int count = combo->GetSegmentCount();
  host.notes.clear();
  combo->ChooseSegment(count - 1);  // the last segment: nothing happens
  EXPECT_TRUE(host.notes.empty());
  // A click in the middle of a painted segment chooses it.
  RECT r;
  ASSERT_TRUE(combo->GetElementRect(2 * (count - 3) + 1, &r));
  combo->SendMessage(WM_LBUTTONDOWN, 0, At(Center(r)));
  combo->SendMessage(WM_LBUTTONUP, 0, At(Center(r)));
  EXPECT_EQ(std::string(combo->GetPath()), tmp / "d1");
  EXPECT_EQ(combo->GetSegmentCount(), count - 2);
  EXPECT_EQ(combo->GetLayout().nEnd, 2 * (count - 3) + 3);
  ASSERT_EQ(host.notes.size(), 1u);
  EXPECT_EQ(host.notes[0].code, PCN_PATHCHANGED);
  EXPECT_EQ(host.notes[0].path, tmp / "d1");
}

TEST_F(PathComboTest, WorkerListsSortedVisibleFoldersOfTheLastPath) {
  Make(0);
  for (const char* d : {"d2", "d1\\Alpha", "d2", "d1"}) combo->SetPath((tmp / d).c_str());
  EXPECT_EQ(LastList(), (std::vector<std::string>{"Alpha", "beta", "zeta"}));
  fwtest::PumpFor(50);
  EXPECT_EQ(combo->GetLayout().nEnd, 2 * combo->GetSegmentCount() + 1);
  // A folder without sub-folders: the row ends with its segment.
  combo->SetPath((tmp / "d1\\Alpha\\leer").c_str());
  EXPECT_TRUE(LastList().empty());
  fwtest::PumpFor(50);
  EXPECT_EQ(combo->GetLayout().nEnd, 2 * combo->GetSegmentCount());
}

TEST_F(PathComboTest, DestroyingWhileTheWorkerReadsIsSafe) {
  std::string many = tmp / "viele";
  ::CreateDirectoryA(many.c_str(), nullptr);
  for (int i = 0; i < 2000; ++i) ::CreateDirectoryA((many + "\\o" + std::to_string(i)).c_str(), nullptr);
  for (int wait : {0, 5, 30, 100}) {
    Make(0);
    combo->SetPath(many.c_str());
    fwtest::PumpFor(wait);
    combo.reset();
  }
  fwtest::PumpFor(1500);
  Make(0);
  combo->SetPath(many.c_str());
  EXPECT_EQ(LastList().size(), 2000u);
}

TEST_F(PathComboTest, WindowTextFitsSmallBuffers) {
  Make(0);
  combo->SetPath("C:\\windows");
  struct Case {
    int size;
    LRESULT length;
    std::string text;
  } cases[] = {{5, 4, "C:\\w"}, {1, 0, ""}, {0, 0, "#"}, {64, 10, "C:\\windows"}};
  for (const Case& c : cases) {
    char buf[64] = "#";
    EXPECT_EQ(combo->SendMessage(WM_GETTEXT, c.size, (LPARAM)buf), c.length);
    EXPECT_EQ(std::string(buf), c.text);
  }
  EXPECT_EQ(combo->SendMessage(WM_GETTEXTLENGTH), 10);
}

TEST_F(PathComboTest, TypedPathsKeepSixteenNewestFirst) {
  Make(PCO_TYPEDLIST);
  HWND edit = ::GetWindow(combo->m_hWnd, GW_CHILD);
  auto type = [&](const std::string& path) {
    combo->SendMessage(WM_KEYDOWN, VK_RETURN);  // no focused segment: edit mode
    ASSERT_TRUE(combo->IsEditMode());
    ::SetWindowTextA(edit, path.c_str());
    ::SendMessageA(edit, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_FALSE(combo->IsEditMode());
  };
  for (int i = 0; i < 18; ++i) type("C:\\t" + std::to_string(i));
  type("C:\\t5");
  ASSERT_EQ(combo->GetCount(), 16);
  std::vector<std::string> want = {"C:\\t5", "C:\\t17", "C:\\t16", "C:\\t15", "C:\\t14", "C:\\t13", "C:\\t12", "C:\\t11",
                                   "C:\\t10", "C:\\t9", "C:\\t8", "C:\\t7", "C:\\t6", "C:\\t4", "C:\\t3", "C:\\t2"};
  for (int i = 0; i < 16; ++i) {
    CString s;
    combo->GetLBText(i, s);
    EXPECT_EQ(std::string(s), want[i]) << i;
  }
  EXPECT_EQ(std::string(combo->GetPath()), "C:\\t5");
  // A refused text stays in the field rather than passing for the old path.
  combo->SendMessage(WM_KEYDOWN, VK_RETURN);
  std::string tooLong = "C:\\" + std::string(260, 'x');
  ::SetWindowTextA(edit, tooLong.c_str());
  ::SendMessageA(edit, WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_TRUE(combo->IsEditMode());
  EXPECT_EQ(fwtest::WindowText(combo->m_hWnd), tooLong);
  EXPECT_EQ(std::string(combo->GetPath()), "C:\\t5");
}

TEST_F(PathComboTest, DroppedFilesAndTheDraggedBlock) {
  Make(PCO_DROPFILES | PCO_DRAG);
  struct Case {
    std::string dropped, path;
  } cases[] = {{tmp / "d1\\f.txt", tmp / "d1"}, {tmp / "d2\\x", tmp / "d2\\x"}};
  for (const Case& c : cases) {
    host.notes.clear();
    combo->SendMessage(WM_DROPFILES, (WPARAM)CPathComboBox::MakeDropBlock(c.dropped.c_str()));
    EXPECT_EQ(std::string(combo->GetPath()), c.path);
    ASSERT_EQ(host.notes.size(), 1u);
    EXPECT_EQ(host.notes[0].code, PCN_PATHCHANGED);
  }
  // The block: a 20-byte header, the path and a double NUL.
  HGLOBAL h = CPathComboBox::MakeDropBlock("C:\\x");
  ASSERT_TRUE(h);
  ASSERT_GE(::GlobalSize(h), 26u);
  const char* p = static_cast<const char*>(::GlobalLock(h));
  EXPECT_EQ(std::string(p, 26), std::string("\x14\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0C:\\x\0\0", 26));
  ::GlobalUnlock(h);
  ::GlobalFree(h);
  EXPECT_EQ(CPathComboBox::MakeDropBlock(""), nullptr);
  EXPECT_EQ(CPathComboBox::MakeDropBlock(std::string(261, 'a').c_str()), nullptr);
  // A parent that refuses the drag stops it before anything leaves: one notification only.
  host.notes.clear();
  host.dragAnswer = 1;
  combo->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 8));
  combo->SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(12, 8));
  ASSERT_EQ(host.notes.size(), 1u);
  EXPECT_EQ(host.notes[0].code, PCN_BEGINDRAG);
  EXPECT_EQ(host.notes[0].kind, PCK_FOLDER);
}

TEST_F(PathComboTest, CopyCommandsPutPathAndSegmentOnTheClipboard) {
  Make(0);
  combo->SetPath((tmp / "d1\\Alpha").c_str());
  combo->PostMessage(WM_COMMAND, PCM_COPYPATH);  // as the context menu does
  fwtest::PumpFor(100);
  EXPECT_EQ(Clipboard(), tmp / "d1\\Alpha");
  RECT r;
  ASSERT_TRUE(combo->GetElementRect(2 * (combo->GetSegmentCount() - 2) + 1, &r));
  combo->SendMessage(WM_MOUSEMOVE, 0, At(Center(r)));
  combo->SendMessage(WM_COMMAND, PCM_COPYSEGMENT);
  EXPECT_EQ(Clipboard(), "d1");
}

TEST_F(PathComboTest, RewritingTheStyleResetsTheOptions) {
  Make(PCO_DRAG | PCO_TYPEDLIST);
  combo->SetPath("C:\\");
  EXPECT_FALSE(combo->IsEditMode());
  ::SetWindowLongA(combo->m_hWnd, GWL_EXSTYLE, ::GetWindowLongA(combo->m_hWnd, GWL_EXSTYLE));
  EXPECT_EQ(combo->GetOptions(), (DWORD)(PCO_DRAG | PCO_TYPEDLIST));
  ::SetWindowLongA(combo->m_hWnd, GWL_STYLE, ::GetWindowLongA(combo->m_hWnd, GWL_STYLE));
  EXPECT_EQ(combo->GetOptions() & 0x15F, (DWORD)(PCO_DROPFILES | PCO_MUSTEXIST | PCO_TABNEXT));
  EXPECT_TRUE(combo->IsEditMode());
  EXPECT_EQ(::GetWindowLongA(combo->m_hWnd, GWL_STYLE) & 0x25F, 0x252);
}

// Stored lists may hold entries of any length: the combo's own list draws them whole.
TEST_F(PathComboTest, LongListEntriesAreDrawnWithoutHarm) {
  const std::string longEntry = "C:\\" + std::string(2000, 'x');
  Make(0);
  combo->AddString(longEntry.c_str());
  combo->AddString("C:\\");
  HDC dc = ::GetDC(combo->m_hWnd);
  for (UINT i = 0; i < 2; ++i) {
    DRAWITEMSTRUCT dis = {ODT_COMBOBOX, IDC_COMBO, i, ODA_DRAWENTIRE, ODS_SELECTED, combo->m_hWnd, dc, {0, 0, 400, 20}, 0};
    host.SendMessage(WM_DRAWITEM, IDC_COMBO, (LPARAM)&dis);
  }
  ::ReleaseDC(combo->m_hWnd, dc);
  CString back;
  EXPECT_EQ(combo->GetLBText(0, back), (int)longEntry.size());
  EXPECT_EQ(std::string(back), longEntry);
}

// The folder dialog leaves out recent entries that cannot be a path, and its list drops down.
TEST_F(PathComboTest, TheFolderDialogLeavesOutRecentEntriesTooLongForAPath) {
  const std::string longEntry = "C:\\" + std::string(2000, 'x');
  CRegKeys::SetAppName("FwPathComboTest");
  std::string recent = longEntry + '\0' + tmp / "d1" + '\0' + '\0';
  {
    CRegKeys keys;
    ASSERT_TRUE(keys.Open(nullptr, nullptr, 2));
    ASSERT_TRUE(keys.SetValue(recent.data(), (int)recent.size(), "LangLast", REG_MULTI_SZ));
  }
  CPathDlg dlg;
  int count = -1;
  std::string shown;
  fwtest::WhenFound([] { return fwtest::FindThreadDialog(); }, [&](HWND h) {
    HWND field = ::GetDlgItem(h, CPathDlg::IDC_PATH);
    count = (int)::SendMessageA(field, CB_GETCOUNT, 0, 0);
    shown = fwtest::WindowText(field);
    // Each entry drawn as the dropped-down list has it drawn.
    HDC dc = ::GetDC(field);
    for (int i = 0; i < count; ++i) {
      DRAWITEMSTRUCT dis = {ODT_COMBOBOX, CPathDlg::IDC_PATH, (UINT)i, ODA_DRAWENTIRE, 0, field, dc, {0, 0, 400, 20}, 0};
      ::SendMessageA(h, WM_DRAWITEM, CPathDlg::IDC_PATH, (LPARAM)&dis);
    }
    ::ReleaseDC(field, dc);
    ::SendMessageA(field, CB_SHOWDROPDOWN, TRUE, 0);
    fwtest::RunLater(200, [h, field] {
      ::SendMessageA(field, CB_SHOWDROPDOWN, FALSE, 0);
      ::PostMessageA(h, WM_COMMAND, IDCANCEL, 0);
    });
  });
  EXPECT_EQ(dlg.DoModalEx("Lang", 0), 0);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(shown, tmp / "d1");
  ::RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\QV\\FwPathComboTest");
}

// Keys reach the field through the dialog manager: arrows move the focus over the segments,
// Enter chooses one, Down opens its list, a letter finds an entry, Enter takes it; with nothing
// focused Enter is the dialog's OK.
TEST_F(PathComboTest, KeysInTheFolderDialog) {
  CPathDlg dlg;
  dlg.SetPath((tmp / "d1\\Alpha\\leer").c_str());
  struct Step {
    UINT key;
    std::string path;
  } steps[] = {{VK_LEFT, "d1\\Alpha\\leer"}, {VK_LEFT, "d1\\Alpha\\leer"}, {VK_LEFT, "d1\\Alpha\\leer"},
               {VK_RETURN, "d1"},          {VK_DOWN, "d1"},          {'Z', "d1"},
               {VK_RETURN, "d1\\zeta"}};
  std::vector<std::string> seen;
  const size_t n = sizeof steps / sizeof steps[0];
  // Posts step i's key to the edit field (it has the focus; posted to it, the keys need no
  // activation of the dialog), then waits until the path is as expected and an opened list
  // shows (at most 3 s) before the next step.
  std::function<void(HWND, size_t, int)> step = [&](HWND h, size_t i, int waited) {
    HWND field = ::GetDlgItem(h, CPathDlg::IDC_PATH), edit = ::GetWindow(field, GW_CHILD);
    if (waited < 0) {
      if (i == n) {
        ::PostMessageA(edit, WM_KEYDOWN, VK_RETURN, 1);  // nothing focused: OK
        fwtest::RunLater(3000, [h] {
          if (::IsWindow(h)) ::PostMessageA(h, WM_COMMAND, IDCANCEL, 0);
        });
        return;
      }
      ::PostMessageA(edit, WM_KEYDOWN, steps[i].key, 1);
      if (steps[i].key == 'Z') ::PostMessageA(edit, WM_CHAR, 'z', 1);
      waited = 0;
    }
    auto* combo = static_cast<CPathComboBox*>(CWnd::FromHandlePermanent(field));
    bool ready = fwtest::WindowText(field) == tmp / steps[i].path &&
                 (steps[i].key != VK_DOWN || ::IsWindowVisible(combo->GetListWindow()));
    if (!ready && waited < 3000) {
      fwtest::RunLater(50, [&, h, i, waited] { step(h, i, waited + 50); });
      return;
    }
    seen.push_back(fwtest::WindowText(field));
    fwtest::RunLater(50, [&, h, i] { step(h, i + 1, -1); });
  };
  fwtest::WhenFound([] { return fwtest::FindThreadDialog(); }, [&](HWND h) { fwtest::RunLater(300, [&, h] { step(h, 0, -1); }); });
  EXPECT_EQ(dlg.DoModal(), IDOK);
  ASSERT_EQ(seen.size(), sizeof steps / sizeof steps[0]);
  for (size_t i = 0; i < seen.size(); ++i)
    EXPECT_EQ(seen[i], tmp / steps[i].path) << i;
  EXPECT_STREQ(dlg.GetPath(), (tmp / "d1\\zeta").c_str());
}

}  // namespace
