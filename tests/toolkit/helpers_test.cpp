// Toolkit helpers: combo histories through the registry, a combo box taking dropped files,
// the dropped-files block of a result text, the file-dialog enhancement, path compaction,
// the clipboard, button and menu bitmaps, shell icons.
#include <gtest/gtest.h>
#include <fstream>
#include <string>
#include <vector>
#include "common/TempTree.h"
#include "common/WinData.h"
#include "framework/support/gui_util.h"
#include "system/RegKeys.h"
#include "toolkit/ControlHelpers.h"
#include "toolkit/DialogPlace.h"
#include "toolkit/OfnHook.h"
#include "toolkit/WndHelpers.h"

namespace {

CWinApp theApp("FwHelpersTest");

const char kAppKey[] = "Software\\QV\\FwHelpersTest";

std::vector<std::string> ReadMulti(const char* key, const char* value) {
  std::vector<std::string> out;
  HKEY h;
  if (::RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_READ, &h)) return out;
  char buf[4096];
  DWORD size = sizeof buf, type = 0;
  if (!::RegQueryValueExA(h, value, nullptr, &type, (BYTE*)buf, &size) && type == REG_MULTI_SZ)
    for (const char* p = buf; *p; p += strlen(p) + 1) out.push_back(p);
  ::RegCloseKey(h);
  return out;
}

class HelpersTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    fwtest::InitControls();
    CRegKeys::SetAppName("FwHelpersTest");
    ::RegDeleteTreeA(HKEY_CURRENT_USER, kAppKey);
  }
  void SetUp() override {
    ASSERT_TRUE(dlg.CreateEx(0, nullptr, "Dialog", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr));
    ASSERT_TRUE(combo.Create(CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_VISIBLE, CRect(5, 5, 200, 150), &dlg, 1001));
  }
  void TearDown() override { dlg.DestroyWindow(); }
  CWnd dlg;
  CComboBox combo;
};

TEST_F(HelpersTest, ComboHistoriesRoundTripThroughTheRegistry) {
  for (const char* s : {"*.c;*.h", "*.txt", "*.C;*.H", "*.rc"}) combo.AddString(s);
  combo.SetWindowText("*.asm");
  ASSERT_TRUE(SaveComboHistory(dlg, 1001, "FilterPlus", nullptr));
  // The text first, then the entries; "*.C;*.H" equals "*.c;*.h" without case.
  EXPECT_EQ(ReadMulti(kAppKey, "FilterPlus"), (std::vector<std::string>{"*.asm", "*.c;*.h", "*.txt", "*.rc"}));
  // A subkey of the application's key with '#', any HKCU path otherwise.
  ASSERT_TRUE(SaveComboHistory(dlg, 1001, "Strings", "#TextSeach"));
  EXPECT_EQ(ReadMulti("Software\\QV\\FwHelpersTest\\TextSeach", "Strings").size(), 4u);
  ASSERT_TRUE(SaveComboHistory(dlg, 1001, "OfnList", "Software\\QV\\Common\\FwHelpersTest"));
  EXPECT_EQ(ReadMulti("Software\\QV\\Common\\FwHelpersTest", "OfnList").size(), 4u);
  ::RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\QV\\Common\\FwHelpersTest");

  combo.ResetContent();
  combo.SetWindowText("");
  EXPECT_EQ(LoadComboHistory(dlg, 1001, "FilterPlus", nullptr), 4);
  CString s;
  combo.GetLBText(3, s);
  EXPECT_STREQ(s, "*.rc");
  combo.ResetContent();
  CString text;
  EXPECT_EQ(LoadComboHistoryStr(dlg, 1001, "Strings", "#TextSeach", text), 4);
  EXPECT_STREQ(text, "*.asm");
  EXPECT_EQ(fwtest::WindowText(combo.m_hWnd), "*.asm");
  combo.ResetContent();
  text = "gegeben";
  LoadComboHistoryStr(dlg, 1001, "Strings", "#TextSeach", text);
  EXPECT_STREQ(text, "gegeben");
  EXPECT_EQ(LoadComboHistory(dlg, 1001, "Fehlt", nullptr), 0);

  // At most 16 entries are kept.
  combo.ResetContent();
  for (int i = 0; i < 20; ++i) combo.AddString(("e" + std::to_string(i)).c_str());
  combo.SetWindowText("");
  SaveComboHistory(dlg, 1001, "Viele", nullptr);
  auto many = ReadMulti(kAppKey, "Viele");
  ASSERT_EQ(many.size(), 16u);
  EXPECT_EQ(many.front(), "e0");
  EXPECT_EQ(many.back(), "e15");

  // An emptied text kept as the newest entry: the field opens empty, the older entries stay
  // offered, and the next text takes the empty one's place.
  struct Keep {
    const char* text;
    BOOL keepEmpty;
    const char* shown;     // the field's text at the next opening
    int offered;           // entries in the list
  } const keeps[] = {{"", TRUE, "", 15}, {"", FALSE, "e0", 15}, {"*.neu", TRUE, "*.neu", 16}};
  for (const Keep& k : keeps) {
    combo.SetWindowText(k.text);
    ASSERT_TRUE(SaveComboHistory(dlg, 1001, "Viele", nullptr, k.keepEmpty));
    combo.ResetContent();
    CString shown;
    EXPECT_EQ(LoadComboHistoryStr(dlg, 1001, "Viele", nullptr, shown), k.offered) << k.text << k.keepEmpty;
    EXPECT_STREQ(shown, k.shown);
    EXPECT_EQ(fwtest::WindowText(combo.m_hWnd), k.shown);
    combo.GetLBText(0, shown);
    EXPECT_STREQ(shown, *k.text ? k.text : "e0");
  }

  // A filter list longer than 2 KB is kept and offered whole.
  std::string longList;
  for (int i = 0; i < 500; ++i) longList += "*.p" + std::to_string(i) + ";";
  combo.SetWindowText(longList.c_str());
  ASSERT_TRUE(SaveComboHistory(dlg, 1001, "Viele", nullptr));
  EXPECT_EQ(ReadMulti(kAppKey, "Viele").front(), longList);
  combo.ResetContent();
  CString shown;
  LoadComboHistoryStr(dlg, 1001, "Viele", nullptr, shown);
  EXPECT_EQ(std::string(shown), longList);
  EXPECT_EQ(::GetWindowTextLengthA(combo.m_hWnd), int(longList.size()));
}

TEST_F(HelpersTest, DroppedFilesBlockAndTheDropFileCombo) {
  testcommon::TempDir tmp("fwhelpers_");
  const std::string& dir = tmp.Path();
  std::string a = dir + "\\a.c", b = dir + "\\Grüße.txt";
  std::ofstream(a) << "x";
  std::ofstream(b) << "y";
  std::string text = a + "(12): int x;\r\n" + a + "(13): int y;\r\n" + b + "(0x0001F): 41 42\r\n" + dir +
                     "\\fehlt.txt(1): weg\r\n\r\n";
  HGLOBAL h = BuildDropFiles(text.c_str(), (int)text.size());
  ASSERT_NE(h, nullptr);
  HDROP drop = (HDROP)h;
  ASSERT_EQ(::DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0), 2u);
  char path[MAX_PATH];
  ::DragQueryFileA(drop, 0, path, MAX_PATH);
  EXPECT_EQ(std::string(path), a);
  ::DragQueryFileA(drop, 1, path, MAX_PATH);
  EXPECT_EQ(std::string(path), b);
  EXPECT_EQ(BuildDropFiles("nichts hier\r\n", -1), nullptr);
  // A drag while no mouse button is down ends at once: its data and source objects are
  // released again, nothing is dropped.
  EXPECT_EQ(DoDragDropFiles(text.c_str(), (int)text.size()), 0u);

  // The same block dropped on a combo box becomes its text.
  ASSERT_TRUE(SubclassControl(combo.m_hWnd, ComboDropFileProc));
  EXPECT_FALSE(SubclassControl(combo.m_hWnd, ComboDropFileProc));
  EXPECT_NE(combo.GetExStyle() & WS_EX_ACCEPTFILES, 0u);
  combo.SendMessage(WM_DROPFILES, (WPARAM)h);  // frees the block
  EXPECT_EQ(fwtest::WindowText(combo.m_hWnd), a);
}

class CFocusDlg : public CWnd {
public:
  std::vector<int> events;
  LRESULT OnComboFocus(WPARAM id, LPARAM got) {
    events.push_back(got ? (int)id : -(int)id);
    return 0;
  }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CFocusDlg, CWnd)
  ON_MESSAGE(WM_COMBOFOCUS, OnComboFocus)
END_MESSAGE_MAP()

TEST(ComboFocusTest, TheDialogHearsOfFocusChangesAndKeepsTheSelection) {
  fwtest::InitControls();
  CFocusDlg dlg;
  ASSERT_TRUE(dlg.CreateEx(0, nullptr, "d", WS_POPUP | WS_VISIBLE, 0, 0, 300, 200, nullptr, nullptr));
  ::SetForegroundWindow(dlg.m_hWnd);
  CComboBox combo;
  CEdit other;
  ASSERT_TRUE(combo.Create(CBS_DROPDOWN | WS_VISIBLE, CRect(5, 5, 200, 150), &dlg, 1001));
  ASSERT_TRUE(other.Create(WS_VISIBLE, CRect(5, 60, 200, 80), &dlg, 1002));
  ASSERT_TRUE(SubclassControl(combo.m_hWnd, ComboFocusNotifyProc));
  combo.SetWindowText("abcdef");
  combo.SetFocus();
  combo.SetEditSel(2, 4);
  other.SetFocus();
  EXPECT_EQ(dlg.events, (std::vector<int>{1001, -1001}));
  EXPECT_EQ(GetComboLastSel(combo.m_hWnd), (DWORD)MAKELONG(2, 4));
  dlg.DestroyWindow();
}

TEST_F(HelpersTest, FileDialogHistories) {
  OPENFILENAMEA ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.lpstrFilter = "Texte (*.txt;*.log)\0*.txt;*.log\0Alle Dateien (*.*)\0*.*\0";
  ofn.nFilterIndex = 1;
  EXPECT_STREQ(OfnHistoryValueName(&ofn), "OfnListtxt");
  ofn.nFilterIndex = 2;
  EXPECT_STREQ(OfnHistoryValueName(&ofn), "OfnList");
  ofn.lpstrFilter = nullptr;
  EXPECT_STREQ(OfnHistoryValueName(&ofn), "OfnList");

  testcommon::TempDir tmp("fwhelpers_");
  const std::string& dir = tmp.Path();
  EXPECT_STREQ(OfnInitialFolder("OfnListtxt"), "");
  ASSERT_TRUE(OfnRememberFolder("OfnListtxt", "C:\\gibt\\es\\nicht"));
  ASSERT_TRUE(OfnRememberFolder("OfnListtxt", (dir + "\\").c_str()));
  ASSERT_TRUE(OfnRememberFolder("OfnListtxt", "C:\\gibt\\es\\nicht"));
  EXPECT_EQ(ReadMulti(kAppKey, "OfnListtxt"), (std::vector<std::string>{"C:\\gibt\\es\\nicht", dir}));
  // The newest folder that still exists.
  EXPECT_STREQ(OfnInitialFolder("OfnListtxt"), dir.c_str());

  // The program's own dialogs now run through the enhancement.
  FARPROC real = ::GetProcAddress(::GetModuleHandleA("comdlg32.dll"), "GetOpenFileNameA");
  ASSERT_TRUE(InstallOfnHook(nullptr));
  EXPECT_NE((FARPROC)&::GetOpenFileNameA, real);
}

TEST(WndHelpersTest, PathCompactionClipboardAndPlacement) {
  int widths[256];
  for (int i = 0; i < 256; ++i) widths[i] = 5;
  char out[256];
  EXPECT_EQ(PathCompactToWidth("C:\\kurz.txt", out, 256, 1000, widths, 0), 11);
  EXPECT_STREQ(out, "C:\\kurz.txt");
  // 40 pixels: "C:\" (15) + "...\" (20) leaves room for one 1-character name only.
  PathCompactToWidth("C:\\a\\bbbb\\c", out, 256, 40, widths, 0);
  EXPECT_STREQ(out, "C:\\...\\c");
  PathCompactToWidth("C:\\a\\bbbb\\cc\\dd", out, 256, 70, widths, 0);
  EXPECT_STREQ(out, "C:\\...\\cc\\dd");
  PathCompactToWidth("\\\\server\\share\\xxxxxxxx\\y\\zzzz", out, 256, 120, widths, 0);
  EXPECT_STREQ(out, "\\\\server\\share\\...\\zzzz");
  PathCompactToWidth("C:\\a\\sehrlangername.txt", out, 256, 40, widths, 0);
  EXPECT_STREQ(out, "sehrl...");  // 5 characters and "..." make 40 pixels
  PathCompactToWidth("C:\\abcdefgh", out, 5, 1000, widths, 0);
  EXPECT_STREQ(out, "C:\\a");  // cut to the buffer

  ASSERT_TRUE(CopyTextToClipboard("Zeile 1\r\nZeile 2 äö", -1));
  EXPECT_EQ(testcommon::ClipboardText(), "Zeile 1\r\nZeile 2 \xE4\xF6");

  CWnd w;
  ASSERT_TRUE(w.CreateEx(0, nullptr, "w", WS_POPUP, 30, 40, 100, 50, nullptr, nullptr));
  EXPECT_EQ(GetWndRect(w.m_hWnd), CPoint(30, 40));
  SizeWindowTo(w.m_hWnd, 10, 5, TRUE);
  CRect r;
  w.GetWindowRect(&r);
  EXPECT_EQ(r, CRect(30, 40, 140, 95));
  SizeWindowTo(w.m_hWnd, 60, 70, FALSE);
  w.GetWindowRect(&r);
  EXPECT_EQ(r.Size(), CSize(60, 70));
  w.DestroyWindow();
}

// A dialog reopens at its kept corner only when that corner lies strictly inside the bounds of
// the monitor its rectangle overlaps most.
TEST(WndHelpersTest, DialogPlaceTakesOnlyCornersStrictlyInsideTheMonitor) {
  RECT m = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  MONITORINFO mi = {sizeof mi};
  if (GetMonitorInfoA(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &mi)) m = mi.rcMonitor;
  const struct {
    LONG x, y;
    bool moved;
  } rows[] = {
      {m.left - 100, m.top + 50, false}, {m.left - 99, m.top + 50, true},   {m.right - 100, m.top + 50, false},
      {m.right - 101, m.top + 50, true}, {m.left + 50, m.top - 10, false},  {m.left + 50, m.top - 9, true},
      {m.left + 50, m.bottom - 100, false}, {m.left + 50, m.bottom - 101, true},
      {m.right + 500, m.bottom + 500, false},   // on no monitor: the screen's bounds
  };
  for (const auto& r : rows) {
    CWnd kept, shown;
    ASSERT_TRUE(kept.CreateEx(0, nullptr, "kept", WS_POPUP, r.x, r.y, 120, 80, nullptr, nullptr));
    ASSERT_TRUE(shown.CreateEx(0, nullptr, "shown", WS_POPUP, 200, 150, 90, 60, nullptr, nullptr));
    CDialogPlace place;
    place.Restore(shown.m_hWnd);   // nothing kept yet
    place.Remember(kept.m_hWnd);
    place.Restore(shown.m_hWnd);
    CRect now;
    shown.GetWindowRect(&now);
    EXPECT_EQ(r.moved ? CRect(r.x, r.y, r.x + 90, r.y + 60) : CRect(200, 150, 290, 210), now) << r.x << "," << r.y;
    kept.DestroyWindow();
    shown.DestroyWindow();
  }
}

TEST(WndHelpersTest, SplitterDragMovesByTheMouseAndEscCancels) {
  CWnd w;
  ASSERT_TRUE(w.CreateEx(0, nullptr, "w", WS_POPUP | WS_VISIBLE, 0, 0, 300, 300, nullptr, nullptr));
  ::SetForegroundWindow(w.m_hWnd);
  CRect limit(0, 0, 300, 300);
  w.ClientToScreen(&limit);
  // The bar at 100, grabbed 3 pixels below its top, dragged to y 163: it moves by 60.
  w.PostMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(10, 140));
  w.PostMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(10, 163));
  w.PostMessage(WM_LBUTTONUP, 0, MAKELPARAM(10, 163));
  EXPECT_EQ(TrackSplitter(w.m_hWnd, 0, &limit, 100, 10, 3, 7, 5, 12345), 60);
  // Held within the limits.
  w.PostMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(10, 1000));
  w.PostMessage(WM_LBUTTONUP, 0, MAKELPARAM(10, 1000));
  EXPECT_EQ(TrackSplitter(w.m_hWnd, 0, &limit, 100, 10, 3, 7, 5, 12345), 300 - 7 - 100);
  // Esc and the right button cancel.
  w.PostMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(10, 150));
  w.PostMessage(WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_EQ(TrackSplitter(w.m_hWnd, 0, &limit, 100, 10, 3, 7, 5, 12345), 0);
  w.PostMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(10, 150));
  w.PostMessage(WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(10, 150));
  EXPECT_EQ(TrackSplitter(w.m_hWnd, 0, &limit, 100, 10, 3, 7, 5, 12345), 0);
  EXPECT_EQ(::GetCapture(), nullptr);
  w.DestroyWindow();
}

TEST(BitmapHelpersTest, ButtonAndMenuImagesAndShellIcons) {
  fwtest::InitControls();
  CWnd host;
  ASSERT_TRUE(host.CreateEx(0, nullptr, "h", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr));
  CButton b;
  ASSERT_TRUE(b.Create("+", BS_PUSHBUTTON, CRect(0, 0, 30, 20), &host, 1057));
  ASSERT_TRUE(SetButtonBitmap(b.m_hWnd, 141));
  EXPECT_NE(b.GetBitmap(), nullptr);
  EXPECT_NE(b.GetStyle() & BS_BITMAP, 0u);
  FreeButtonBitmap(b.m_hWnd);
  EXPECT_EQ(b.GetBitmap(), nullptr);
  EXPECT_FALSE(SetButtonBitmap(b.m_hWnd, 4711));

  CMenu menu;
  menu.CreatePopupMenu();
  menu.AppendMenu(MF_STRING, 21401, "&Kopieren");
  ASSERT_TRUE(SetMenuItemBitmapFromStrip(menu, 21401, 152, 1, 16));
  MENUITEMINFOA mii = {sizeof mii, MIIM_BITMAP};
  ::GetMenuItemInfoA(menu, 21401, FALSE, &mii);
  EXPECT_NE(mii.hbmpItem, nullptr);
  EXPECT_FALSE(SetMenuItemBitmapFromStrip(menu, 21401, 152, 3, 16));  // past the strip's end

  EXPECT_NE(GetSystemImageList(TRUE), nullptr);
  EXPECT_GE(GetFileIconIndex("x.txt", SHGFI_USEFILEATTRIBUTES), 0);
  host.DestroyWindow();
}

}  // namespace
