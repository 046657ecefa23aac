// The colour list box: lines with colours set and read back, insertion and deletion, the
// current line, text selections by mouse and by "select all", copying to the clipboard,
// notifications, options, style bits and a subclass that uses the window's user data.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "common/WinData.h"
#include "framework/support/gui_util.h"
#include "toolkit/ColorListBox.h"
#include "toolkit/WndHelpers.h"

namespace {

CWinApp theApp("FwColorListTest");

const UINT IDC_RESULTS = 21397;

class CHost : public CWnd {
public:
  std::vector<std::string> events;
  void OnDblClk() { events.push_back("dblclk"); }
  void OnFocus() { events.push_back("setfocus"); }
  void OnBeginDrag(NMHDR* nm, LRESULT* r) {
    events.push_back("begindrag");
    *r = 0;
  }
  void OnSelChange(NMHDR*, LRESULT*) { events.push_back("selchange"); }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CHost, CWnd)
  ON_CONTROL(LBN_DBLCLK, IDC_RESULTS, OnDblClk)
  ON_CONTROL(LBN_SETFOCUS, IDC_RESULTS, OnFocus)
  ON_NOTIFY(CLN_BEGINDRAG, IDC_RESULTS, OnBeginDrag)
  ON_NOTIFY(CLN_SELCHANGE, IDC_RESULTS, OnSelChange)
END_MESSAGE_MAP()

using testcommon::ClipboardText;

int AddColored(CWnd& list, const std::string& text, BYTE color, int index = -1) {
  std::vector<BYTE> colors(text.size(), color);
  ColorListItem item = {CLIF_TEXT | CLIF_COLOR | CLIF_COLORPERCHAR, index, const_cast<char*>(text.c_str()),
                        (int)text.size(), 0, colors.data()};
  return (int)list.SendMessage(CLB_ADDLINE, 0, (LPARAM)&item);
}

std::string Line(CWnd& list, int i) {
  char buf[300];
  ColorListItem item = {CLIF_TEXT, i, buf, 0, (int)sizeof buf, nullptr};
  int n = (int)list.SendMessage(CLB_GETLINE, 0, (LPARAM)&item);
  return n < 0 ? "<none>" : std::string(buf);
}

class ColorListTest : public ::testing::Test {
protected:
  void SetUp() override {
    fwtest::InitControls();
    ASSERT_TRUE(host.CreateEx(0, nullptr, "Ergebnisse", WS_POPUP | WS_VISIBLE, 10, 10, 500, 300, nullptr, nullptr));
    ASSERT_TRUE(list.CreateEx(0x50000101, 0x20000, CRect(0, 0, 480, 280), &host, IDC_RESULTS));
    list.SendMessage(CLB_SETSTYLE, 0x82000000, 0x82000000);
    list.SetOption(CLBO_REDRAW, 2);
    list.SendMessage(CLB_SETCOLOR, 4, 0x800000);
    list.SetColors(12, 0x800080, (COLORREF)-1);
    list.SendMessage(CLB_SETSTYLE, 0x60000, 0x60000);
    list.SendMessage(WM_SETFONT, 0, TRUE);
    list.SetOption(CLBO_REDRAW, 1);
    GetCharWidthsFont(nullptr, widths);
  }
  void TearDown() override { host.DestroyWindow(); }
  // Client x of the character boundary before character ch of a line.
  int XOf(const std::string& text, int ch) { return 2 + TextWidthByTable(text.c_str(), ch, widths); }
  CHost host;
  CColorListBox list;
  int widths[256];
};

TEST_F(ColorListTest, LinesRoundTripWithTheirTextsInsertAndDelete) {
  EXPECT_EQ(AddColored(list, "C:\\src\\a.c(12): int x = 10;", 4), 0);
  EXPECT_EQ(AddColored(list, "C:\\src\\Müller.txt(3): Grüße \xA7", 12), 1);
  EXPECT_EQ(list.AddLine("Keine Einträge gefunden."), 2);
  EXPECT_EQ(AddColored(list, "eingefügt", 5, 1), 1);
  ASSERT_EQ(list.GetCount(), 4);
  EXPECT_EQ(Line(list, 0), "C:\\src\\a.c(12): int x = 10;");
  EXPECT_EQ(Line(list, 1), "eingefügt");
  EXPECT_EQ(Line(list, 2), "C:\\src\\M\xFCller.txt(3): Gr\xFC\xDF" "e \xA7");
  EXPECT_EQ(Line(list, 3), "Keine Eintr\xE4ge gefunden.");
  EXPECT_EQ(Line(list, 4), "<none>");
  // A short buffer gets what fits, terminated.
  char small[5];
  ColorListItem item = {CLIF_TEXT, 0, small, 0, (int)sizeof small, nullptr};
  EXPECT_EQ(list.SendMessage(CLB_GETLINE, 0, (LPARAM)&item), 27);
  EXPECT_STREQ(small, "C:\\s");
  // The list-box reads: length first, then the text; a null buffer or a bad index is an error.
  char whole[64] = "";
  EXPECT_EQ(list.SendMessage(LB_GETTEXTLEN, 3), 24);
  EXPECT_EQ(list.SendMessage(LB_GETTEXT, 3, (LPARAM)whole), 24);
  EXPECT_STREQ(whole, "Keine Eintr\xE4ge gefunden.");
  EXPECT_EQ(list.SendMessage(LB_GETTEXT, 3, 0), LB_ERR);
  EXPECT_EQ(list.SendMessage(LB_GETTEXT, 4, (LPARAM)whole), LB_ERR);
  EXPECT_EQ(list.SendMessage(LB_GETTEXTLEN, 4), LB_ERR);
  CString s;
  EXPECT_EQ(list.GetLineText(3, s), 24);
  EXPECT_STREQ(s, "Keine Eintr\xE4ge gefunden.");

  // Current line, deletion with the list's value, reset.
  EXPECT_EQ(list.SetCurSel(3), 3);
  EXPECT_EQ(list.GetCurSel(), 3);
  EXPECT_EQ(list.SendMessage(LB_DELETESTRING, 1, 0xBD000001), 3);
  EXPECT_EQ(list.GetCurSel(), 2);
  EXPECT_EQ(Line(list, 1), "C:\\src\\M\xFCller.txt(3): Gr\xFC\xDF" "e \xA7");
  EXPECT_EQ(list.SendMessage(LB_DELETESTRING, 7, 0xBD000001), LB_ERR);
  EXPECT_EQ(list.SetCurSel(9), LB_ERR);
  EXPECT_EQ(list.GetCurSel(), -1);
  list.ResetContent();
  EXPECT_EQ(list.GetCount(), 0);
  EXPECT_EQ(list.SendMessage(CLB_GETTEXTSEL), 0);
}

TEST_F(ColorListTest, SelectAllAndCopyToTheClipboard) {
  AddColored(list, "erste Zeile", 4);
  AddColored(list, "zweite Zeile", 6);
  AddColored(list, "dritte Zeile mit Ä", 8);
  DWORD first = 99, last = 99;
  list.SelectAll();
  EXPECT_EQ(list.SendMessage(CLB_GETTEXTSEL, (WPARAM)&first, (LPARAM)&last), 2);
  EXPECT_EQ(first, 0u);
  EXPECT_EQ(last, 2u);
  list.Copy();
  EXPECT_EQ(ClipboardText(), "erste Zeile\r\nzweite Zeile\r\ndritte Zeile mit \xC4");
  CString s;
  EXPECT_EQ(list.GetSelectedText(s), 2);
  EXPECT_STREQ(s, "");
  EXPECT_EQ(list.GetSelectedText(s, 1), 2);
  EXPECT_STREQ(s, "erste Zeile\r\nzweite Zeile\r\ndritte Zeile mit \xC4");
  // Without a text selection the current line is copied.
  list.SetCurSel(1);
  EXPECT_EQ(list.SendMessage(CLB_GETTEXTSEL), 0);
  list.Copy();
  EXPECT_EQ(ClipboardText(), "zweite Zeile");
}

TEST_F(ColorListTest, MouseSelectionWithinOneLineAndAcrossLines) {
  std::string l0 = "C:\\src\\main.cpp(7): printf(text);", l1 = "C:\\src\\b.h(1): #include <x.h>";
  AddColored(list, l0, 4);
  AddColored(list, l1, 4);
  int h = (int)list.SetOption(CLBO_LINEHEIGHT, 0);
  (void)h;
  int lineHeight = 0;
  {
    HDC dc = ::GetDC(nullptr);
    HGDIOBJ old = ::SelectObject(dc, ::GetStockObject(DEFAULT_GUI_FONT));
    TEXTMETRICA tm;
    ::GetTextMetricsA(dc, &tm);
    ::SelectObject(dc, old);
    ::ReleaseDC(nullptr, dc);
    lineHeight = tm.tmHeight + tm.tmExternalLeading + 1;
  }
  int y0 = lineHeight / 2, y1 = lineHeight + lineHeight / 2;
  // Drag from before "printf" to after it.
  int from = (int)l0.find("printf"), to = from + 6;
  host.events.clear();
  list.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(XOf(l0, from) + 1, y0));
  list.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(XOf(l0, to) + 1, y0));
  list.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(XOf(l0, to) + 1, y0));
  CString s;
  EXPECT_EQ(list.GetSelectedText(s), 1);
  EXPECT_STREQ(s, "printf");
  EXPECT_EQ(list.GetCurSel(), 0);
  ASSERT_GE(host.events.size(), 2u);
  EXPECT_EQ(host.events[0], "setfocus");
  EXPECT_EQ(host.events[1], "selchange");

  // Pressing on the selection and moving 3 pixels asks the parent to start a drag; the
  // selection stays.
  host.events.clear();
  int inside = XOf(l0, from + 2) + 1;
  list.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(inside, y0));
  list.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(inside + 1, y0));
  EXPECT_TRUE(host.events.empty());
  list.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(inside + 3, y0));
  EXPECT_EQ(host.events, std::vector<std::string>{"begindrag"});
  list.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(inside + 3, y0));
  EXPECT_EQ(list.GetSelectedText(s), 1);
  EXPECT_STREQ(s, "printf");

  // Across two lines.
  list.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(XOf(l0, 8) + 1, y0));
  list.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(XOf(l1, 3) + 1, y1));
  list.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(XOf(l1, 3) + 1, y1));
  EXPECT_EQ(list.GetSelectedText(s, 1), 2);
  EXPECT_EQ(std::string(s), l0.substr(8) + "\r\n" + l1.substr(0, 3));

  // A double click reports to the parent and makes that line current.
  host.events.clear();
  list.SendMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, y1));
  EXPECT_EQ(host.events, std::vector<std::string>{"dblclk"});
  EXPECT_EQ(list.GetCurSel(), 1);
}

TEST_F(ColorListTest, KeysMoveTheCurrentLineAndTabHandsTheFocusBack) {
  for (int i = 0; i < 50; ++i) list.AddLine(("Zeile " + std::to_string(i)).c_str());
  ::SetForegroundWindow(host.m_hWnd);
  list.SetFocus();
  list.SetCurSel(0);
  list.SendMessage(WM_KEYDOWN, VK_DOWN);
  list.SendMessage(WM_KEYDOWN, VK_DOWN);
  EXPECT_EQ(list.GetCurSel(), 2);
  list.SendMessage(WM_KEYDOWN, VK_END);
  EXPECT_EQ(list.GetCurSel(), 49);
  EXPECT_GT(list.SendMessage(LB_GETTOPINDEX), 0);  // scrolled into view
  list.SendMessage(WM_KEYDOWN, VK_HOME);
  EXPECT_EQ(list.GetCurSel(), 0);
  EXPECT_EQ(list.SendMessage(LB_GETTOPINDEX), 0);
  list.SendMessage(WM_KEYDOWN, VK_UP);
  EXPECT_EQ(list.GetCurSel(), 0);
  list.SendMessage(WM_KEYDOWN, VK_TAB);
  EXPECT_EQ(::GetFocus(), host.m_hWnd);
}

TEST_F(ColorListTest, ColoursOptionsAndStyleBits) {
  list.SendMessage(CLB_SETCOLOR, 7, RGB(0, 0, 255));
  list.SendMessage(CLB_SETCOLOR, 32 + 7, RGB(0, 255, 0));
  AddColored(list, "WWWWWWWW", 7);
  list.SetCurSel(-1);
  list.Invalidate();
  list.UpdateWindow();
  HDC dc = ::GetDC(list.m_hWnd);
  // The background of a character cell is colour 7's background.
  COLORREF back = ::GetPixel(dc, XOf("W", 0) + 1, 1);
  ::ReleaseDC(list.m_hWnd, dc);
  EXPECT_EQ(back, RGB(0, 255, 0));

  EXPECT_EQ(list.SetOption(CLBO_LINEHEIGHT, 20), 0);
  EXPECT_EQ(list.SendMessage(CLB_OPTION, CLBO_LINEHEIGHT), 20);
  DWORD old = (DWORD)list.SendMessage(CLB_SETSTYLE, 0x40000, 0);
  EXPECT_EQ(old, 0x82060000u);
  EXPECT_EQ((DWORD)list.SendMessage(CLB_SETSTYLE, 0, 0), 0x82020000u);
}

// Lines from a source in one message go after the others; the source may end early.
TEST_F(ColorListTest, AddLinesTakesLinesFromASource) {
  ASSERT_EQ(list.AddLine("erste"), 0);
  static const char* const kTexts[] = {"zwei", "drei", "vier"};
  auto get = [](void*, int i, ColorListItem* item) -> BOOL {
    if (i == 2) return FALSE;
    item->mask = CLIF_TEXT;
    item->pszText = const_cast<char*>(kTexts[i]);
    item->cchText = -1;
    return TRUE;
  };
  EXPECT_EQ(list.AddLines(3, get, nullptr), 2);
  ASSERT_EQ(list.GetCount(), 3);
  EXPECT_EQ(Line(list, 1), "zwei");
  EXPECT_EQ(Line(list, 2), "drei");
}

// A run of one colour longer than a stored run (2047 characters) keeps its colour to its end.
TEST_F(ColorListTest, LongRunsKeepTheirColours) {
  list.SendMessage(CLB_SETCOLOR, 32 + 7, RGB(0, 255, 0));
  list.SendMessage(CLB_SETCOLOR, 32 + 9, RGB(255, 0, 0));
  std::string text = std::string(2100, 'i') + std::string(40, 'W');
  std::vector<BYTE> colors(2100, 7);
  colors.resize(text.size(), 9);
  ColorListItem item = {CLIF_TEXT | CLIF_COLOR | CLIF_COLORPERCHAR, -1, &text[0], (int)text.size(), 0, colors.data()};
  ASSERT_EQ(list.SendMessage(CLB_ADDLINE, 0, (LPARAM)&item), 0);
  list.SetCurSel(-1);
  for (int i = 0; i < 100 && ::GetScrollPos(list.m_hWnd, SB_HORZ) + 400 < XOf(text, 2110); ++i)
    list.SendMessage(WM_HSCROLL, SB_PAGERIGHT);
  int pos = ::GetScrollPos(list.m_hWnd, SB_HORZ);
  list.Invalidate();
  list.UpdateWindow();
  HDC dc = ::GetDC(list.m_hWnd);
  COLORREF before = ::GetPixel(dc, XOf(text, 2099) - pos, 1), after = ::GetPixel(dc, XOf(text, 2101) - pos + 1, 1);
  ::ReleaseDC(list.m_hWnd, dc);
  EXPECT_EQ(before, RGB(0, 255, 0));
  EXPECT_EQ(after, RGB(255, 0, 0));
}

LRESULT CALLBACK KeyProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  WNDPROC old = (WNDPROC)::GetWindowLongPtrA(h, GWLP_USERDATA);
  if (msg == WM_KEYDOWN && wp == VK_DELETE) return 4711;
  return ::CallWindowProcA(old, h, msg, wp, lp);
}

TEST_F(ColorListTest, ASubclassMayUseTheUserData) {
  LONG_PTR old = ::SetWindowLongPtrA(list.m_hWnd, GWLP_WNDPROC, (LONG_PTR)KeyProc);
  ::SetWindowLongPtrA(list.m_hWnd, GWLP_USERDATA, old);
  EXPECT_EQ(list.AddLine("eins"), 0);
  EXPECT_EQ(list.SendMessage(WM_KEYDOWN, VK_DELETE), 4711);
  EXPECT_EQ(Line(list, 0), "eins");
  ::SetWindowLongPtrA(list.m_hWnd, GWLP_WNDPROC, old);
}

TEST(ColorListCreateTest, CreateAddsWsChildAndTheClassName) {
  fwtest::InitControls();
  CWnd host;
  ASSERT_TRUE(host.CreateEx(0, nullptr, "h", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr));
  CColorListBox list;
  ASSERT_TRUE(list.Create(0x10200101, CRect(0, 0, 50, 50), &host, 21397));
  EXPECT_NE(list.GetStyle() & WS_CHILD, 0u);
  char cls[32];
  ::GetClassNameA(list.m_hWnd, cls, sizeof cls);
  EXPECT_STREQ(cls, "ColorListBox");
  EXPECT_STREQ(list.GetRuntimeClass()->m_lpszClassName, "CColorListBox");
  // Many lines stay cheap.
  for (int i = 0; i < 20000; ++i) list.AddLine("C:\\ordner\\datei.txt(1): eine Zeile mit Inhalt");
  EXPECT_EQ(list.GetCount(), 20000);
  list.SendMessage(LB_SETTOPINDEX, 19990);
  host.DestroyWindow();
}

}  // namespace
