// The "ToolbarExWindow32" control on a real window: the command lookup, adding and inserting
// buttons, state bits and groups, clicks, strings, value limits, hit tests, the insert mark,
// the layout, the size for a length, and painting into a memory device context.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "framework/support/gui_util.h"
#include "toolkit/ToolbarEx.h"

namespace {

std::vector<std::pair<WPARAM, LPARAM>> g_commands;
std::vector<int> g_notes;
int g_contextMenus = 0;

LRESULT CALLBACK ParentProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_COMMAND) g_commands.push_back({w, l});
  if (m == WM_NOTIFY) g_notes.push_back((int)reinterpret_cast<NMHDR*>(l)->code);
  if (m == WM_CONTEXTMENU) ++g_contextMenus;
  return DefWindowProcA(h, m, w, l);
}

struct Btn {
  int image, command;
  BYTE state, style;
  WORD flags;
  DWORD data;
  int string;
};

// Three 16 x 16 images: red, green and blue squares inside a magenta (key) border.
HBITMAP MakeImages() {
  BITMAPINFO bi = {};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), 48, -16, 1, 32, BI_RGB};
  void* bits = nullptr;
  HBITMAP bm = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  DWORD* p = static_cast<DWORD*>(bits);
  const DWORD fill[3] = {0xFF0000, 0x00FF00, 0x0000FF};
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 48; ++x) {
      bool border = x % 16 < 3 || x % 16 > 12 || y < 3 || y > 12;
      p[y * 48 + x] = border ? 0xFF00FF : fill[x / 16];
    }
  return bm;
}

class ToolbarEx : public ::testing::Test {
protected:
  void SetUp() override {
    HINSTANCE inst = GetModuleHandleA(nullptr);
    ASSERT_EQ(1, RegisterToolbarExClass(inst));
    ASSERT_EQ(1, RegisterToolbarExClass(inst));
    WNDCLASSA wc = {};
    wc.lpfnWndProc = ParentProc;
    wc.hInstance = inst;
    wc.lpszClassName = "TbxParent";
    RegisterClassA(&wc);
    parent = CreateWindowA("TbxParent", "p", WS_OVERLAPPEDWINDOW, 0, 0, 640, 200, nullptr, nullptr, inst, nullptr);
    tb = CreateWindowExA(0, TOOLBAREX_CLASSA, nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 600, 120, parent, (HMENU)77, inst,
                         nullptr);
    ASSERT_TRUE(tb);
    g_commands.clear();
    g_notes.clear();
    g_contextMenus = 0;
  }
  void TearDown() override { DestroyWindow(parent); }
  LRESULT Send(UINT m, WPARAM w = 0, LPARAM l = 0) { return SendMessageA(tb, m, w, l); }
  LRESULT Add(std::vector<Btn> v, UINT msg = TB_ADDBUTTONSA, WPARAM high = 0) {
    return Send(msg, (WPARAM)v.size() | high << 16, (LPARAM)v.data());
  }
  void AddImages() {
    TBADDBITMAP ab = {nullptr, (UINT_PTR)MakeImages()};
    ASSERT_EQ(0, Send(TB_ADDBITMAP, 3, (LPARAM)&ab));
  }
  RECT Rect(int i) {
    RECT r = {};
    Send(TB_GETITEMRECT, i, (LPARAM)&r);
    return r;
  }
  void Click(int x, int y, bool right = false) {
    LPARAM at = MAKELPARAM(x, y);
    Send(WM_MOUSEMOVE, 0, at);
    Send(right ? WM_RBUTTONDOWN : WM_LBUTTONDOWN, right ? MK_RBUTTON : MK_LBUTTON, at);
    Send(right ? WM_RBUTTONUP : WM_LBUTTONUP, 0, at);
    fwtest::PumpFor(20);
  }
  COLORREF PixelAfterPaint(int x, int y) {
    HDC dc = CreateCompatibleDC(nullptr);
    BITMAPINFO bi = {};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), 600, -120, 1, 32, BI_RGB};
    void* bits;
    HBITMAP bm = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, bm);
    Send(WM_PAINT, (WPARAM)dc, 0);
    COLORREF c = GetPixel(dc, x, y);
    SelectObject(dc, old);
    DeleteObject(bm);
    DeleteDC(dc);
    return c;
  }
  HWND parent = nullptr, tb = nullptr;
};

const BYTE E = TBSTATE_ENABLED;

TEST_F(ToolbarEx, CommandLookupForms) {
  ASSERT_EQ(1, Add({{0, 100, E, 0, 0, 0, 0}, {1, 200, E, 0, 0, 0, 0}, {2, 100, E, 0, 0, 0, 0},
                    {0, 300, E, 0, 0x4000, 0, 0}, {0, 0x12345, E, 0, 0, 0, 0}},
                   TBX_ADDBUTTONSFLAGS));
  struct {
    DWORD ref;
    int index;
  } rows[] = {{100, 0}, {200, 1}, {TBX_REF_CMD(100), 0}, {TBX_REF_NTH(100, 0), 0}, {TBX_REF_NTH(100, 1), 2},
              {TBX_REF_NTH(100, 2), -1}, {TBX_REF_INDEX(3), 3}, {TBX_REF_NTH_FLAGS(0x4000, 0), 3},
              {TBX_REF_NTH_FLAGS(0x4000, 1), -1}, {0x12345, 4}, {0x2345, -1}, {999, -1}};
  for (auto& r : rows) EXPECT_EQ(r.index, Send(TB_COMMANDTOINDEX, r.ref)) << std::hex << r.ref;
  // A reference with top byte 0x12 goes through the lookup; anything else is an index.
  EXPECT_EQ(300, Send(TBX_GETCOMMAND, TBX_REF_CMD(300)));
  EXPECT_EQ(200, Send(TBX_GETCOMMAND, 1));
  EXPECT_EQ(100, Send(TBX_INDEXTOCOMMAND, 2));
  EXPECT_EQ(-1, Send(TBX_INDEXTOCOMMAND, 5));
}

TEST_F(ToolbarEx, AddingAndInsertingAtTheLimits) {
  std::vector<Btn> many(1024, Btn{0, 1, E, 0, 0x0400, 0, 0});
  struct {
    WPARAM wParam;
    LRESULT result;
    int count;
  } rows[] = {{0, 0, 0}, {1024, 0, 0}, {1 | 0x1234u << 16, 0, 0}, {1023, 1, 1023}, {1 | 0x5000u << 16, 1, 1024},
              {1 | (0x5000u + 0x3FF) << 16, 1, 1025}};
  for (auto& r : rows) {
    EXPECT_EQ(r.result, Send(TB_ADDBUTTONSA, r.wParam, (LPARAM)many.data())) << std::hex << r.wParam;
    EXPECT_EQ(r.count, Send(TB_BUTTONCOUNT));
  }
  Send(TBX_DELETERANGE, 0, 5000);
  ASSERT_EQ(0, Send(TB_BUTTONCOUNT));
  // Which forms keep the record's flag bytes.
  Btn b = {0, 7, E, 0, 0x0400, 0, 0};
  struct {
    UINT msg;
    WPARAM wParam;
    LRESULT flags;
  } forms[] = {{TB_ADDBUTTONSA, 1, 0}, {TB_ADDBUTTONSW, 1, 0}, {TBX_ADDBUTTONSFLAGS, 1, 0x0400},
               {TB_INSERTBUTTONA, 0, 0x0400}, {TB_INSERTBUTTONW, 0, 0x0400}, {TBX_INSERTBUTTONNOFLAGS, 0, 0}};
  for (auto& f : forms) {
    ASSERT_EQ(1, Send(f.msg, f.wParam, (LPARAM)&b));
    int at = f.msg == TB_ADDBUTTONSA || f.msg == TB_ADDBUTTONSW || f.msg == TBX_ADDBUTTONSFLAGS
                 ? (int)Send(TB_BUTTONCOUNT) - 1 : 0;
    EXPECT_EQ(f.flags, Send(TBX_GETFLAGS, at)) << std::hex << f.msg;
  }
  // Inserting at position 1 of the 0x5000 form, and TB_GETBUTTON honouring the record size.
  Btn c = {5, 42, E, 0, 0, 0, 0};
  ASSERT_EQ(1, Send(TB_ADDBUTTONSA, 1 | 0x5001u << 16, (LPARAM)&c));
  EXPECT_EQ(1, Send(TB_COMMANDTOINDEX, 42));
  TBBUTTON got;
  memset(&got, 0xCC, sizeof got);
  Send(TB_BUTTONSTRUCTSIZE, 8);
  EXPECT_EQ(1, Send(TB_GETBUTTON, 1, (LPARAM)&got));
  EXPECT_EQ(42, got.idCommand);
  EXPECT_EQ(0xCC, got.fsState);
  EXPECT_EQ(0, Send(TB_GETBUTTON, 99, (LPARAM)&got));
  EXPECT_EQ(0, Send(TB_DELETEBUTTON, 99));
}

TEST_F(ToolbarEx, StateBitsAndGroups) {
  const BYTE g = BTNS_CHECK | BTNS_GROUP;
  ASSERT_EQ(1, Add({{0, 1, E, g, 0, 0, 0}, {0, 2, E | TBSTATE_CHECKED, g, 0, 0, 0}, {0, 3, E, g, 0, 0, 0},
                    {0, 4, E | TBSTATE_CHECKED, g | 0x80, 0, 0, 0}}));
  // The checked member of a group stays checked; checking another moves the check, but not
  // across the cut that style 0x80 makes.
  EXPECT_EQ(0, Send(TB_CHECKBUTTON, 2, TRUE));
  EXPECT_EQ(1, Send(TB_ISBUTTONCHECKED, 2));
  EXPECT_EQ(1, Send(TB_CHECKBUTTON, 3, TRUE));
  EXPECT_EQ(0, Send(TB_ISBUTTONCHECKED, 2));
  EXPECT_EQ(1, Send(TB_ISBUTTONCHECKED, 3));
  EXPECT_EQ(1, Send(TB_ISBUTTONCHECKED, 4));
  struct {
    UINT set, is;
    BYTE bit;
  } bits[] = {{TB_ENABLEBUTTON, TB_ISBUTTONENABLED, TBSTATE_ENABLED}, {TB_PRESSBUTTON, TB_ISBUTTONPRESSED, TBSTATE_PRESSED},
              {TB_HIDEBUTTON, TB_ISBUTTONHIDDEN, TBSTATE_HIDDEN}, {TB_INDETERMINATE, TB_ISBUTTONINDETERMINATE, TBSTATE_INDETERMINATE},
              {TB_MARKBUTTON, TB_ISBUTTONHIGHLIGHTED, TBSTATE_MARKED}};
  for (auto& b : bits) {
    EXPECT_EQ(1, Send(b.set, 1, TRUE));
    EXPECT_EQ(1, Send(b.is, 1));
    EXPECT_EQ(b.bit, Send(TB_GETSTATE, 1) & b.bit);
    EXPECT_EQ(1, Send(b.set, 1, FALSE));
    EXPECT_EQ(0, Send(b.is, 1));
    EXPECT_EQ(-1, Send(b.is, 99));
    EXPECT_EQ(0, Send(b.set, 99, TRUE));
  }
  EXPECT_EQ(-1, Send(TB_GETSTATE, 99));
  // 0x473: masked style and state, the old value back.
  LRESULT old = Send(TBX_SETSTYLESTATE, 1, (LPARAM)0 << 16 | (LPARAM)TBSTATE_ENABLED << 24);
  EXPECT_EQ((LRESULT)E << 16 | g, old);
  EXPECT_EQ(0, Send(TB_ISBUTTONENABLED, 2));
}

TEST_F(ToolbarEx, ClicksPostCommandsOnlyForUsableButtons) {
  AddImages();
  struct {
    BYTE state, style;
    WORD flags;
    bool right, hideWhileHot;
    int posted;  // command expected, 0 none
  } rows[] = {
      {E, 0, 0, false, false, 10},
      {0, 0, 0, false, false, 0},
      {E | TBSTATE_INDETERMINATE, 0, 0, false, false, 0},
      {E, 0, 0, false, true, 0},
      {E, 0, TBXF_HOSTED, false, false, 0},
      {E, 0, TBXF_SPLIT, true, false, 11},
      {0, 0, TBXF_SPLIT, true, false, 0},
      {E, 0, 0, true, false, 0},
  };
  for (auto& r : rows) {
    Send(TBX_DELETERANGE, 0, 100);
    Btn b = {0, 10, r.state, r.style, r.flags, 0, 0};
    ASSERT_EQ(1, Send(TBX_ADDBUTTONSFLAGS, 1, (LPARAM)&b));
    RECT rc = Rect(0);
    g_commands.clear();
    int x = (rc.left + rc.right) / 2, y = (rc.top + rc.bottom) / 2;
    Send(WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
    if (r.hideWhileHot) Send(TB_HIDEBUTTON, 10, TRUE);
    Click(x, y, r.right);
    if (r.posted) {
      ASSERT_EQ(1u, g_commands.size());
      EXPECT_EQ((WPARAM)r.posted, g_commands[0].first);
      EXPECT_EQ((LPARAM)tb, g_commands[0].second);
    } else {
      EXPECT_TRUE(g_commands.empty()) << int(r.state) << " " << r.flags;
    }
  }
  // A right click on empty space reaches default processing (a context menu).
  Click(590, 100, true);
  EXPECT_EQ(1, g_contextMenus);
  // A check button toggles; a group button takes the check from its neighbour.
  Send(TBX_DELETERANGE, 0, 100);
  ASSERT_EQ(1, Add({{0, 20, E, BTNS_CHECK, 0, 0, 0}, {1, 21, E | TBSTATE_CHECKED, BTNS_CHECK | BTNS_GROUP, 0, 0, 0},
                    {2, 22, E, BTNS_CHECK | BTNS_GROUP, 0, 0, 0}}));
  RECT r0 = Rect(0), r2 = Rect(2);
  Click(r0.left + 10, r0.top + 10);
  EXPECT_EQ(1, Send(TB_ISBUTTONCHECKED, 20));
  Click(r0.left + 10, r0.top + 10);
  EXPECT_EQ(0, Send(TB_ISBUTTONCHECKED, 20));
  Click(r2.left + 10, r2.top + 10);
  EXPECT_EQ(0, Send(TB_ISBUTTONCHECKED, 21));
  EXPECT_EQ(1, Send(TB_ISBUTTONCHECKED, 22));
  EXPECT_EQ(3u, g_commands.size());
  // The drop-down part of a split button asks the parent instead of posting.
  Send(TBX_DELETERANGE, 0, 100);
  Btn split = {0, 30, E, BTNS_DROPDOWN, TBXF_SPLIT, 0, 0};
  Send(TBX_ADDBUTTONSFLAGS, 1, (LPARAM)&split);
  RECT rs = Rect(0);
  g_commands.clear();
  Click(rs.right - 3, (rs.top + rs.bottom) / 2);
  EXPECT_TRUE(g_commands.empty());
  ASSERT_FALSE(g_notes.empty());
  EXPECT_EQ(TBN_DROPDOWN, g_notes.back());
}

TEST_F(ToolbarEx, StringsWithEachSeparatorForm) {
  std::string s256(256, 'x'), s257(257, 'y');
  struct {
    unsigned sep;
    std::string text;  // '\0' written as '~'
    LRESULT result;
    std::vector<std::string> added;
  } rows[] = {
      {0, "eins~zwei~~", 0, {"eins", "zwei"}},
      {'|', "a||b|", 2, {"a", "", "b"}},
      {'|', "ende", 5, {"ende"}},
      {0xFFFF, ";x;y", 6, {"x"}},
      {0xFFFE, "x|y", 7, {"x|y"}},
      {0xFFFE, s256, 8, {s256}},
      {0xFFFE, s257, -1, {}},
      // A string too long fails the call; those before it stay.
      {'|', "ok|" + s257 + "|", -1, {"ok"}},
  };
  for (auto& r : rows) {
    std::string t = r.text;
    for (char& c : t)
      if (c == '~') c = 0;
    t.push_back(0);
    LRESULT before = Send(TBX_STRINGCOUNT);
    EXPECT_EQ(r.result, Send(TB_ADDSTRINGA, r.sep, (LPARAM)t.data())) << r.text;
    ASSERT_EQ(before + (LRESULT)r.added.size(), Send(TBX_STRINGCOUNT));
    for (size_t k = 0; k < r.added.size(); ++k) {
      char buf[300];
      EXPECT_EQ((LRESULT)r.added[k].size(), Send(TB_GETSTRINGA, MAKEWPARAM(sizeof buf, before + k), (LPARAM)buf));
      EXPECT_EQ(r.added[k], buf);
    }
  }
  // A string resource: its first character separates.
  LRESULT first = Send(TB_ADDSTRINGA, (WPARAM)GetModuleHandleA(nullptr), 300);
  wchar_t w[8];
  EXPECT_EQ(4, Send(TB_GETSTRINGW, MAKEWPARAM(8, first), (LPARAM)w));
  EXPECT_STREQ(L"Eins", w);
  EXPECT_EQ(4, Send(TB_GETSTRINGW, MAKEWPARAM(8, first + 1), (LPARAM)w));
  EXPECT_STREQ(L"Zwei", w);
  // Short buffers end the text inside the buffer; bad arguments give -1.
  char small[4];
  memset(small, '#', sizeof small);
  EXPECT_EQ(2, Send(TB_GETSTRINGA, MAKEWPARAM(3, 0), (LPARAM)small));
  EXPECT_STREQ("ei", small);
  EXPECT_EQ(3, Send(TB_GETSTRINGW, MAKEWPARAM(4, 0), (LPARAM)w));
  EXPECT_STREQ(L"ein", w);
  EXPECT_EQ(-1, Send(TB_GETSTRINGA, MAKEWPARAM(0, 0), (LPARAM)small));
  EXPECT_EQ(-1, Send(TB_GETSTRINGA, MAKEWPARAM(4, 999), (LPARAM)small));
  // Button texts by string index, and a button beyond the table reads as empty.
  ASSERT_EQ(1, Add({{0, 1, E, 0, 0, 0, 1}, {0, 2, E, 0, 0, 0, 9999}}));
  char text[32];
  EXPECT_EQ(4, Send(TB_GETBUTTONTEXTA, 1, (LPARAM)text));
  EXPECT_STREQ("zwei", text);
  EXPECT_EQ(0, Send(TB_GETBUTTONTEXTA, 2, (LPARAM)text));
  EXPECT_STREQ("", text);
  EXPECT_EQ(-1, Send(TB_GETBUTTONTEXTA, 3, (LPARAM)text));
  // Setting a text reuses an equal string.
  EXPECT_EQ(0, Send(TBX_SETTEXTA, 1, (LPARAM)"eins"));
  EXPECT_EQ(3, Send(TBX_DELETESTRINGS, 0, 3));
}

TEST_F(ToolbarEx, ValueLimitsAndBadButtons) {
  ASSERT_EQ(1, Add({{0, 1, E, 0, 0, 0, 0}}));
  EXPECT_EQ(MAKELONG(23, 22), Send(TB_GETBUTTONSIZE));
  EXPECT_EQ(1, Send(TB_SETBUTTONSIZE, 0, 0));
  EXPECT_EQ(MAKELONG(30, 29), Send(TB_GETBUTTONSIZE));
  Send(TB_SETBUTTONSIZE, 0, 0);
  EXPECT_EQ(MAKELONG(37, 36), Send(TB_GETBUTTONSIZE));
  EXPECT_EQ(0, Send(TB_SETBUTTONSIZE, 0, MAKELPARAM(-1, 5)));
  Send(TB_SETBITMAPSIZE, 0, MAKELPARAM(1, 1));
  EXPECT_EQ(MAKELONG(2, 2), Send(TBX_GETBITMAPSIZE));
  EXPECT_EQ(MAKELONG(2, 2), Send(TB_SETPADDING, 0, MAKELPARAM(1, 1)));
  EXPECT_EQ(MAKELONG(2, 2), Send(TB_GETPADDING));
  struct {
    int width;
    LRESULT previous;
  } widths[] = {{600, 0}, {-5, 512}, {40, 0}, {0, 40}};
  for (auto& w : widths) EXPECT_EQ(w.previous, Send(TBX_SETFIXEDWIDTH, 0, w.width)) << w.width;
  EXPECT_EQ(-1, Send(TBX_SETFIXEDWIDTH, 5, 10));
  EXPECT_EQ(-1, Send(TBX_COLOR, 9, 0));
  EXPECT_EQ((LRESULT)GetSysColor(COLOR_BTNFACE), Send(TBX_COLOR, 0, RGB(1, 2, 3)));
  EXPECT_EQ(RGB(1, 2, 3), Send(TBX_COLOR, 0, -1));
  EXPECT_EQ((LRESULT)GetSysColor(COLOR_BTNFACE), Send(TBX_COLOR, 0, -1));
  EXPECT_EQ(0xFF00FF, Send(TBX_COLORKEY, 0));
  EXPECT_EQ(0, Send(TBX_COLORKEY, 2));
  // Button info: -1 for a bad button (never confused with index 0) or a short record.
  TBBUTTONINFOA info = {sizeof info, TBIF_COMMAND | TBIF_BYINDEX};
  EXPECT_EQ(0, Send(TB_GETBUTTONINFOA, 0, (LPARAM)&info));
  EXPECT_EQ(1, info.idCommand);
  EXPECT_EQ(-1, Send(TB_GETBUTTONINFOA, 7, (LPARAM)&info));
  info.cbSize = 16;
  EXPECT_EQ(-1, Send(TB_GETBUTTONINFOA, 0, (LPARAM)&info));
  EXPECT_EQ(-1, Send(TB_GETBUTTONINFOA, 0, 0));
  char buf[8];
  TBBUTTONINFOA set = {sizeof set, TBIF_TEXT | TBIF_COMMAND | TBIF_BYINDEX, 9};
  set.pszText = const_cast<char*>("Ablage");
  EXPECT_EQ(1, Send(TB_SETBUTTONINFOA, 0, (LPARAM)&set));
  TBBUTTONINFOA get = {sizeof get, TBIF_TEXT | TBIF_BYINDEX};
  get.pszText = buf;
  get.cchText = 4;
  EXPECT_EQ(0, Send(TB_GETBUTTONINFOA, 0, (LPARAM)&get));
  EXPECT_STREQ("Abl", buf);
  EXPECT_EQ(0, Send(TB_COMMANDTOINDEX, 9));
  EXPECT_EQ(0, Send(TB_SETBUTTONINFOA, 3, (LPARAM)&set));
  // Null buffers and pointers that are no buffers are answered as bad ones and change nothing:
  // a bitmap header without its bits, and the text callback, which the control does not offer.
  BITMAPINFOHEADER header = {sizeof header, 20, -16, 1, 32, BI_RGB};
  TBBUTTONINFOA callbackA = {sizeof callbackA, TBIF_TEXT | TBIF_COMMAND | TBIF_BYINDEX, 55};
  callbackA.pszText = LPSTR_TEXTCALLBACKA;
  TBBUTTONINFOW callbackW = {sizeof callbackW, TBIF_TEXT | TBIF_COMMAND | TBIF_BYINDEX, 55};
  callbackW.pszText = LPSTR_TEXTCALLBACKW;
  TBBUTTONINFOA intoCallback = {sizeof intoCallback, TBIF_TEXT | TBIF_BYINDEX};
  intoCallback.pszText = LPSTR_TEXTCALLBACKA;
  intoCallback.cchText = 8;
  struct {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
    LRESULT result;
  } malformed[] = {{TB_GETBUTTON, 0, 0, 0},
                   {TB_GETBUTTONTEXTA, 9, 0, -1},
                   {TB_GETSTRINGA, MAKEWPARAM(8, 0), 0, -1},
                   {TBX_SCANSTRIP, (WPARAM)&header, 0, 0},
                   {TB_SETBUTTONINFOA, 0, (LPARAM)&callbackA, 0},
                   {TB_SETBUTTONINFOW, 0, (LPARAM)&callbackW, 0},
                   {TB_GETBUTTONINFOA, 0, (LPARAM)&intoCallback, -1}};
  for (auto& m : malformed) EXPECT_EQ(m.result, Send(m.msg, m.wParam, m.lParam)) << std::hex << m.msg;
  EXPECT_EQ(0, Send(TB_COMMANDTOINDEX, 9));
  char text[16] = {};
  EXPECT_EQ(6, Send(TB_GETBUTTONTEXTA, 9, (LPARAM)text));
  EXPECT_STREQ("Ablage", text);
  EXPECT_EQ((LPARAM)parent, Send(TB_SETPARENT, (WPARAM)parent, 0));
  EXPECT_EQ(0, Send(TB_SETPARENT, (WPARAM)parent, MAKELPARAM(3, 0x1234)));
  EXPECT_EQ(0, Send(TB_GETTOOLTIPS));
}

TEST_F(ToolbarEx, HitTestsAndTheInsertMark) {
  AddImages();
  ASSERT_EQ(1, Add({{0, 1, E, 0, 0, 0, 0}, {1, 2, E, 0, 0, 0, 0}, {2, 3, E, BTNS_DROPDOWN, 0, 0, 0},
                    {0, 4, E | TBSTATE_HIDDEN, 0, 0, 0, 0}}));
  // 16 x 16 images: 16 + inset 2 + padding 7 wide, 16 + 4 + 7 high; the drop-down part adds 13.
  RECT r0 = Rect(0), r1 = Rect(1), r2 = Rect(2);
  EXPECT_EQ(25, r0.right - r0.left);
  EXPECT_EQ(27, r0.bottom - r0.top);
  EXPECT_EQ(38, r2.right - r2.left);
  RECT r3 = Rect(3);
  EXPECT_TRUE(IsRectEmpty(&r3));
  struct {
    POINT pt;
    WPARAM ask;
    LRESULT hit;
  } rows[] = {{{12, 13}, 0, 0},
              {{r1.left, 13}, 0, -1},  // the gap between two buttons
              {{r1.left + 2, 13}, 0, 1},
              {{12, 0}, 0, -1},  // above the hit area
              {{r2.right - 2, 13}, TBX_HIT_ASKDROP, 2 | TBX_HIT_DROP},
              {{r2.right - 2, 13}, 0, 2},
              {{r2.left + 5, 13}, TBX_HIT_ASKDROP, 2},
              {{300, 13}, 0, -1}};
  for (auto& r : rows) EXPECT_EQ(r.hit, Send(TB_HITTEST, r.ask, (LPARAM)&r.pt)) << r.pt.x << "," << r.pt.y;
  struct {
    POINT pt;
    int button;
    DWORD flags;
  } marks[] = {{{3, 5}, 0, 0}, {{20, 5}, 0, 1}, {{r1.left + 20, 5}, 1, 1}, {{400, 5}, -1, 2}};
  for (auto& m : marks) {
    TBINSERTMARK im = {m.pt.x, (DWORD)m.pt.y};
    EXPECT_EQ(1, Send(TB_INSERTMARKHITTEST, 0, (LPARAM)&im));
    EXPECT_EQ(m.button, im.iButton);
    EXPECT_EQ(m.flags, im.dwFlags);
  }
  TBINSERTMARK hidden = {3, 0}, after = {1, 1};
  EXPECT_EQ(0, Send(TB_SETINSERTMARK, 0, (LPARAM)&hidden));
  EXPECT_EQ(1, Send(TB_SETINSERTMARK, 0, (LPARAM)&after));
  Send(TBX_COLOR, 5, RGB(0, 0, 250));
  EXPECT_EQ(RGB(0, 0, 250), PixelAfterPaint(r1.right, (r1.top + r1.bottom) / 2));
}

TEST_F(ToolbarEx, LayoutInRowsAndColumns) {
  AddImages();
  const BYTE S = BTNS_SEP;
  // A separator at a row start takes no room; two separators in a row take 8 each; a hidden
  // button takes none.
  ASSERT_EQ(1, Add({{0, 1, E | TBSTATE_WRAP, 0, 0, 0, 0}, {-1, 0, 0, S, 0, 0, 0}, {1, 2, E, 0, 0, 0, 0},
                    {-1, 0, 0, S, 0, 0, 0}, {-1, 0, 0, S, 0, 0, 0}, {0, 3, E | TBSTATE_HIDDEN, 0, 0, 0, 0},
                    {2, 4, E, 0, 0, 0, 0}}));
  EXPECT_EQ(0, Rect(1).right - Rect(1).left);
  EXPECT_EQ(0, Rect(2).left);
  EXPECT_EQ(27, Rect(2).top);
  EXPECT_EQ(25 + 8 + 8, Rect(6).left);
  EXPECT_EQ(MAKELONG(25 + 16 + 25, 54), Send(TBX_GETTOTALSIZE));
  // Wrap on every button makes a column.
  Send(TBX_DELETERANGE, 0, 100);
  Add({{0, 1, E | TBSTATE_WRAP, 0, 0, 0, 0}, {-1, 0, TBSTATE_WRAP, S, 0, 0, 0}, {1, 2, E | TBSTATE_WRAP, 0, 0, 0, 0}});
  EXPECT_EQ(MAKELONG(25, 27 + 8 + 27), Send(TBX_GETTOTALSIZE));
  // With style bit 0x20 small buttons stack in a column as high as the row, the spare height
  // shared out; a third does not fit under them.
  Send(TBX_DELETERANGE, 0, 100);
  SetWindowLongA(tb, GWL_STYLE, GetWindowLongA(tb, GWL_STYLE) | 0x20);
  HWND tall = CreateWindowA("STATIC", "", WS_CHILD | WS_VISIBLE, 0, 0, 30, 60, tb, nullptr, nullptr, nullptr);
  Add({{-1, 1, E, 0, TBXF_HOSTED, (DWORD)(UINT_PTR)tall, -1}, {0, 2, E, 0, 0, 0, 0}, {1, 3, E, 0, 0, 0, 0},
       {2, 4, E, 0, 0, 0, 0}},
      TBX_ADDBUTTONSFLAGS);
  struct {
    int i;
    RECT r;
  } stacked[] = {{0, {0, 0, 34, 60}}, {1, {34, 0, 59, 31}}, {2, {34, 31, 59, 60}}, {3, {59, 0, 84, 60}}};
  for (auto& st : stacked) {
    RECT got = Rect(st.i);
    EXPECT_TRUE(EqualRect(&got, &st.r)) << st.i << ": " << got.left << "," << got.top << "," << got.right << "," << got.bottom;
  }
  SetWindowLongA(tb, GWL_STYLE, GetWindowLongA(tb, GWL_STYLE) & ~0x20);
  // A text-only button: text width (at least 4) + 8 + inset + padding, within the limits.
  Send(TBX_DELETERANGE, 0, 100);
  Send(TB_ADDSTRINGA, 0xFFFE, (LPARAM)"Hallo Welt");
  Add({{-1, 1, E, 0, 0, 0, 0}});
  HFONT font = (HFONT)Send(WM_GETFONT);
  ASSERT_EQ(nullptr, font);
  int tw = LOWORD(Send(TBX_SIZEFORLENGTH, 17000, 0)) - 8 - 2 - 7;
  EXPECT_GT(tw, 20);
  Send(TB_SETBUTTONWIDTH, 0, MAKELPARAM(10, 30));
  EXPECT_EQ(30 - 7 + 2 + 7, LOWORD(Send(TBX_SIZEFORLENGTH, 17000, 0)));
  // A strip of variable widths: the top-left colour separates the images (5, 8 and 4 wide).
  Send(TBX_DELETERANGE, 0, 100);
  Send(TBX_REMOVEBITMAPS);
  BITMAPINFO bi = {};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), 20, -16, 1, 32, BI_RGB};
  void* bits;
  HBITMAP strip = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  for (int x = 0; x < 20; ++x)
    for (int y = 0; y < 16; ++y)
      static_cast<DWORD*>(bits)[y * 20 + x] = (x == 0 || x == 6 || x == 15) ? 0x00FF00 : 0x000080;
  EXPECT_EQ(3, Send(TBX_SCANSTRIP, 0xFFFF, (LPARAM)strip));
  BYTE ext[16] = {};
  memcpy(ext + 4, &strip, 4);
  WORD flags = 0x02 | 0x08 | 0x10, width = 4094;
  memcpy(ext + 8, &flags, 2);
  memcpy(ext + 12, &width, 2);
  EXPECT_EQ(0, Send(TB_ADDBITMAP, MAKEWPARAM(0, 0x1234), (LPARAM)ext));
  EXPECT_EQ(3, *(WORD*)(ext + 10));
  EXPECT_EQ(4094, *(WORD*)(ext + 12));
  Add({{1, 1, E, 0, 0, 0, -1}, {2, 2, E, 0, 0, 0, -1}});
  EXPECT_EQ(8 + 2 + 7, Rect(0).right - Rect(0).left);
  EXPECT_EQ(4 + 2 + 7, Rect(1).right - Rect(1).left);
  DWORD recs[6] = {};
  EXPECT_EQ(1, Send(TBX_GETBITMAPS, MAKEWPARAM(0, 1), (LPARAM)recs));
  EXPECT_EQ(3u, recs[3]);
  EXPECT_EQ(0u, recs[4]);
  DeleteObject(strip);
  // An empty text is no text: the image button keeps its size.
  Send(TBX_DELETERANGE, 0, 100);
  Send(TBX_REMOVEBITMAPS);
  AddImages();
  Send(TB_ADDSTRINGA, 0xFFFE, (LPARAM)"");
  Add({{0, 1, E, 0, 0, 0, (int)Send(TBX_STRINGCOUNT) - 1}});
  EXPECT_EQ(MAKELONG(25, 27), Send(TBX_SIZEFORLENGTH, 17000, 0));
}

TEST_F(ToolbarEx, SizeForALengthHoldsForRandomButtonSets) {
  AddImages();
  Send(TB_ADDSTRINGA, 0, (LPARAM)"a\0Datei\0Lange Beschriftung\0\0");
  std::mt19937 rnd(7);
  for (int round = 0; round < 30; ++round) {
    Send(TBX_DELETERANGE, 0, 1000);
    int n = 1 + rnd() % 20;
    std::vector<Btn> v;
    for (int i = 0; i < n; ++i) {
      int kind = rnd() % 5;
      BYTE style = kind == 0 ? BTNS_SEP : kind == 1 ? BTNS_DROPDOWN : 0;
      v.push_back({kind == 0 ? -1 : (int)(rnd() % 3), i + 1, BYTE(E | (rnd() % 6 == 0 ? TBSTATE_HIDDEN : 0)), style, 0, 0,
                   kind == 2 ? (int)(rnd() % 3) : -1});
    }
    Add(v);
    DWORD one = (DWORD)Send(TBX_SIZEFORLENGTH, 17000, 0);
    DWORD column = (DWORD)Send(TBX_SIZEFORLENGTH, 3, 0);
    for (int len : {50, 80, 120, 200, 400}) {
      DWORD s = (DWORD)Send(TBX_SIZEFORLENGTH, len, 0);
      if (LOWORD(column) <= len) {
        EXPECT_LE(LOWORD(s), len) << round;
      }
      EXPECT_LE(LOWORD(s), LOWORD(one));
      EXPECT_GE(HIWORD(s), HIWORD(one));
      // Kept, the wraps make the real layout fit too.
      Send(TBX_SIZEFORLENGTH, len, 1);
      if (LOWORD(column) <= len) {
        EXPECT_LE(LOWORD(Send(TBX_GETTOTALSIZE)), len) << round;
      }
    }
    // For a height: the result fits when even one row does.
    DWORD byHeight = (DWORD)Send(TBX_SIZEFORLENGTH, 60, 2);
    if (HIWORD(one) <= 60) {
      EXPECT_LE(HIWORD(byHeight), 60);
    }
    // Unkept results leave the layout as it was.
    Send(TBX_SIZEFORLENGTH, 17000, 1);
    Send(TBX_SIZEFORLENGTH, 40, 0);
    EXPECT_EQ(one, (DWORD)Send(TBX_GETTOTALSIZE));
  }
}

TEST_F(ToolbarEx, PaintingShowsStatesColoursAndStyles) {
  AddImages();
  ASSERT_EQ(1, Add({{0, 1, E, 0, 0, 0, 0}, {0, 2, 0, 0, 0, 0, 0}}));
  RECT r0 = Rect(0), r1 = Rect(1);
  const int cx0 = (r0.left + r0.right) / 2, cy = (r0.top + r0.bottom) / 2, cx1 = (r1.left + r1.right) / 2;
  // Enabled shows the image's red; the disabled row dims it to a grey.
  EXPECT_EQ(RGB(255, 0, 0), PixelAfterPaint(cx0, cy));
  COLORREF dim = PixelAfterPaint(cx1, cy);
  EXPECT_NE(RGB(255, 0, 0), dim);
  EXPECT_EQ(GetRValue(dim), GetGValue(dim));
  // The key colour is transparent: the background shows, and follows colour 0 at once.
  EXPECT_EQ(GetSysColor(COLOR_BTNFACE), PixelAfterPaint(r0.left + 5, cy));
  Send(TBX_COLOR, 0, RGB(1, 2, 3));
  EXPECT_EQ(RGB(1, 2, 3), PixelAfterPaint(r0.left + 5, cy));
  EXPECT_EQ(RGB(1, 2, 3), PixelAfterPaint(500, 60));
  // The flat style frames the hot button; turning it off changes the stored images too.
  Send(WM_MOUSEMOVE, 0, MAKELPARAM(cx0, cy));
  SetWindowLongA(tb, GWL_STYLE, GetWindowLongA(tb, GWL_STYLE) | TBSTYLE_FLAT);
  COLORREF flatEdge = PixelAfterPaint(r0.left + 2, cy);
  SetWindowLongA(tb, GWL_STYLE, GetWindowLongA(tb, GWL_STYLE) & ~TBSTYLE_FLAT);
  EXPECT_NE(flatEdge, PixelAfterPaint(r0.left + 2, cy));
  // An overlay whose key matches no button sits at its offsets from the top-left corner.
  Send(TBX_COLOR, 6, RGB(0, 250, 0));
  DWORD args[3] = {999, MAKELONG(200, 60), 0};
  EXPECT_EQ(1, Send(TBX_ADDOVERLAYA, (WPARAM)args, (LPARAM)"  "));
  EXPECT_EQ(RGB(0, 250, 0), PixelAfterPaint(200, 61));
  Send(TBX_COLOR, 6, -2);
  EXPECT_EQ(RGB(1, 2, 3), PixelAfterPaint(200, 61));
  EXPECT_EQ(1, Send(TBX_REMOVEOVERLAY, 999));
  EXPECT_EQ(0, Send(TBX_REMOVEOVERLAY, 999));
  // Overlay keys are button references, resolved by the command lookup: the second button
  // with command 1 is button 2.
  ASSERT_EQ(1, Add({{0, 1, E, 0, 0, 0, 0}}));
  const RECT r2 = Rect(2);
  Send(TBX_COLOR, 6, RGB(0, 250, 0));
  struct {
    DWORD key;
    LONG x;
  } keys[] = {{TBX_REF_NTH(1, 1), r2.left}, {TBX_REF_NTH(1, 0), r0.left}, {TBX_REF_CMD(2), r1.left},
              {TBX_REF_INDEX(2), r2.left}, {1, r1.left}};
  for (auto& k : keys) {
    DWORD at[3] = {k.key, MAKELONG(0, 2), 0};
    ASSERT_EQ(1, Send(TBX_ADDOVERLAYA, (WPARAM)at, (LPARAM)"  "));
    EXPECT_EQ(RGB(0, 250, 0), PixelAfterPaint(k.x + 2, r0.top + 5)) << std::hex << k.key;
    EXPECT_EQ(1, Send(TBX_REMOVEOVERLAY, k.key));
  }
}

TEST_F(ToolbarEx, AnImageChangeKeepsThePendingMeasures) {
  AddImages();
  Send(TB_ADDSTRINGA, 0xFFFE, (LPARAM)"Text");
  ASSERT_EQ(1, Add({{-1, 1, E, 0, 0, 0, 0}, {0, 2, E, 0, 0, 0, -1}}));
  // A larger bitmap size makes the text-only button taller by the difference, whatever
  // changes in between.
  struct {
    const char* between;
    UINT msg;
  } rows[] = {{"nothing", 0}, {"another button's image", TB_CHANGEBITMAP}};
  for (auto& r : rows) {
    Send(TB_SETBITMAPSIZE, 0, MAKELPARAM(16, 16));
    const RECT small = Rect(0);
    Send(TB_SETBITMAPSIZE, 0, MAKELPARAM(40, 40));
    if (r.msg) EXPECT_EQ(1, Send(r.msg, 2, 1));
    const RECT large = Rect(0);
    EXPECT_EQ(small.right - small.left, large.right - large.left) << r.between;
    EXPECT_EQ(small.bottom - small.top + 24, large.bottom - large.top) << r.between;
  }
}

TEST_F(ToolbarEx, HostedWindowsFontsAndGrownStrips) {
  HWND combo = CreateWindowA("COMBOBOX", nullptr, WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST, 0, 0, 80, 100, tb,
                             (HMENU)500, GetModuleHandleA(nullptr), nullptr);
  ASSERT_TRUE(combo);
  SendMessageA(combo, CB_ADDSTRING, 0, (LPARAM)"eins");
  SendMessageA(combo, CB_ADDSTRING, 0, (LPARAM)"zwei");
  SendMessageA(combo, CB_SETITEMDATA, 1, 4711);
  ASSERT_EQ(1, Add({{-1, 60, E, 0, TBXF_HOSTED, (DWORD)(UINT_PTR)combo, -1}}, TBX_ADDBUTTONSFLAGS));
  EXPECT_EQ(0, Send(TBX_FINDHOSTED, 0, (LPARAM)combo));
  // A selection change goes on as it came, then as the item's data or the id plus the index;
  // without a selection only as it came.
  struct {
    int sel;
    std::vector<WPARAM> posted;
  } rows[] = {{1, {MAKEWPARAM(500, CBN_SELCHANGE), 4711}}, {0, {MAKEWPARAM(500, CBN_SELCHANGE), 500}},
              {-1, {MAKEWPARAM(500, CBN_SELCHANGE)}}};
  for (auto& r : rows) {
    SendMessageA(combo, CB_SETCURSEL, (WPARAM)r.sel, 0);
    g_commands.clear();
    Send(WM_COMMAND, MAKEWPARAM(500, CBN_SELCHANGE), (LPARAM)combo);
    fwtest::PumpFor(20);
    ASSERT_EQ(r.posted.size(), g_commands.size()) << r.sel;
    for (size_t k = 0; k < r.posted.size(); ++k) EXPECT_EQ(r.posted[k], g_commands[k].first);
  }
  // Commands and notifications of windows that are not hosted are dropped.
  g_commands.clear();
  g_notes.clear();
  Send(WM_COMMAND, MAKEWPARAM(7, BN_CLICKED), (LPARAM)parent);
  NMHDR h = {parent, 7, NM_CLICK};
  Send(WM_NOTIFY, 7, (LPARAM)&h);
  h.hwndFrom = combo;
  Send(WM_NOTIFY, 500, (LPARAM)&h);
  fwtest::PumpFor(20);
  EXPECT_TRUE(g_commands.empty());
  ASSERT_EQ(1u, g_notes.size());
  EXPECT_EQ(NM_CLICK, g_notes[0]);
  // A font of the same size but another look redraws the stored images.
  Send(TBX_DELETERANGE, 0, 10);
  Send(TB_ADDSTRINGA, 0xFFFE, (LPARAM)"MMMM");
  Add({{-1, 61, E, 0, 0, 0, 0}});
  RECT r = Rect(0);
  auto inked = [&] {
    int n = 0;
    for (int x = r.left; x < r.right; ++x)
      if (PixelAfterPaint(x, (r.top + r.bottom) / 2) != GetSysColor(COLOR_BTNFACE)) ++n;
    return n;
  };
  LOGFONTA lf = {};
  GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof lf, &lf);
  HFONT thin = CreateFontIndirectA(&lf);
  lf.lfWeight = FW_BOLD;
  HFONT bold = CreateFontIndirectA(&lf);
  Send(WM_SETFONT, (WPARAM)thin, 0);
  int thinInk = inked();
  Send(WM_SETFONT, (WPARAM)bold, 0);
  EXPECT_GT(inked(), thinInk);
  Send(WM_SETFONT, 0, 0);
  DeleteObject(thin);
  DeleteObject(bold);
  // Growing the window repaints only the new strip.
  ShowWindow(parent, SW_SHOWNOACTIVATE);
  UpdateWindow(tb);
  ValidateRect(tb, nullptr);
  SetWindowPos(tb, nullptr, 0, 0, 620, 120, SWP_NOMOVE | SWP_NOZORDER);
  RECT update;
  ASSERT_TRUE(GetUpdateRect(tb, &update, FALSE));
  EXPECT_EQ(600, update.left);
  EXPECT_EQ(620, update.right);
}

}  // namespace
