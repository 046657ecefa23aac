// The German texts where users see them, checked against the program itself: the pattern menu
// of the text search, the result list's popup with its enabling rules, the labels of the value
// search dialog as the built program's resources hold them, every dialog text shown whole in
// its control, and the search text that a selection in the result list gives.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/Resource.h"
#include "app/ResultMenu.h"
#include "app/TextSearchDlg.h"
#include "app/ValueSearchDlg.h"

#include <commctrl.h>

namespace {

struct Item {
  int id;  // 0: a separator
  const char *text;
};

std::vector<Item> ReadMenu(HMENU menu, std::vector<std::string> &texts, std::vector<bool> *grey = nullptr) {
  std::vector<Item> items;
  texts.clear();
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    char buf[256] = "";
    GetMenuStringA(menu, i, buf, sizeof buf, MF_BYPOSITION);
    texts.push_back(buf);
    UINT state = GetMenuState(menu, i, MF_BYPOSITION);
    items.push_back({(state & MF_SEPARATOR) ? 0 : int(GetMenuItemID(menu, i)), nullptr});
    if (grey) grey->push_back(!(state & MF_SEPARATOR) && (state & MF_GRAYED));
  }
  return items;
}

void ExpectMenu(HMENU menu, const std::vector<Item> &expected) {
  ASSERT_NE(nullptr, menu);
  std::vector<std::string> texts;
  std::vector<Item> items = ReadMenu(menu, texts);
  ASSERT_EQ(expected.size(), items.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(expected[i].id, items[i].id) << i;
    EXPECT_EQ(expected[i].text ? expected[i].text : "", texts[i]) << i;
  }
  DestroyMenu(menu);
}

int Pattern(int code) { return ID_TS_PATTERN_BASE + code; }

INT_PTR CALLBACK QuietDialog(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

std::string ProgramPath() {
  char dir[MAX_PATH] = "";
  DWORD n = GetEnvironmentVariableA("VM_BINARY_DIR", dir, sizeof dir);
  std::string path = n > 0 && n < sizeof dir ? std::string("Z:") + dir + "/app/Vellmorant.exe" : "";
  for (char &c : path)
    if (c == '/') c = '\\';
  return path;
}

BOOL CALLBACK AddDialogId(HMODULE, LPCSTR, LPSTR name, LONG_PTR ids) {
  if (IS_INTRESOURCE(name)) reinterpret_cast<std::vector<int> *>(ids)->push_back(int(LOWORD(name)));
  return TRUE;
}

// How a control draws its text: DrawText flags and the pixels it keeps beside the text
// (a button's edges, a check box, a group box's indents). False for controls without a text of
// their own (pictures, edits, lists).
bool TextLayout(HWND control, UINT *flags, int *margin) {
  char cls[32] = "";
  GetClassNameA(control, cls, sizeof cls);
  const LONG style = GetWindowLongA(control, GWL_STYLE);
  *flags = DT_CALCRECT | DT_EXPANDTABS;
  *margin = 0;
  if (!lstrcmpiA(cls, "Static")) {
    switch (style & SS_TYPEMASK) {
      case SS_LEFT: case SS_CENTER: case SS_RIGHT: *flags |= DT_WORDBREAK; break;
      case SS_SIMPLE: *flags |= DT_SINGLELINE; break;
      case SS_LEFTNOWORDWRAP: break;
      default: return false;
    }
    if (style & SS_NOPREFIX) *flags |= DT_NOPREFIX;
    return true;
  }
  if (lstrcmpiA(cls, "Button") || (style & (BS_BITMAP | BS_ICON))) return false;
  switch (style & BS_TYPEMASK) {
    case BS_PUSHBUTTON: case BS_DEFPUSHBUTTON: *margin = 6; break;
    case BS_GROUPBOX: *margin = 16; break;
    case BS_CHECKBOX: case BS_AUTOCHECKBOX: case BS_3STATE: case BS_AUTO3STATE:
    case BS_RADIOBUTTON: case BS_AUTORADIOBUTTON: *margin = 18; break;
    default: return false;
  }
  *flags |= (style & BS_MULTILINE) ? DT_WORDBREAK : DT_SINGLELINE;
  return true;
}

// The pixels a control's text needs, measured in the control's font as the control draws it,
// given the width the control leaves for it.
SIZE TextNeeds(HWND control, const char *text, UINT flags, int width) {
  HDC dc = GetDC(control);
  HGDIOBJ old = SelectObject(dc, HFONT(SendMessageA(control, WM_GETFONT, 0, 0)));
  RECT r = {0, 0, width, 0};
  DrawTextA(dc, text, -1, &r, flags);
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  return {r.right - r.left, r.bottom - r.top};
}

struct Control {
  HWND hwnd;
  RECT rect;  // in the dialog's client area
  bool groupBox;
};

std::vector<Control> Controls(HWND dlg) {
  std::vector<Control> all;
  for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    Control k = {c, {}, (GetWindowLongA(c, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX};
    char cls[32] = "";
    GetClassNameA(c, cls, sizeof cls);
    k.groupBox = k.groupBox && !lstrcmpiA(cls, "Button");
    GetWindowRect(c, &k.rect);
    MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT *>(&k.rect), 2);
    all.push_back(k);
  }
  return all;
}

}  // namespace

TEST(Texts, PatternMenu) {
  ExpectMenu(BuildPatternMenu(),
             {{Pattern(2), "Beliebige  Zeichen&folge"}, {Pattern(3), "&Wort"}, {Pattern(4), "&Zahl"},
              {Pattern(5), "&Leerraum"}, {Pattern(6), "&Leerraum oder Zeilenumbruch"},
              {Pattern(7), "Leer&raum oder (null)"}, {Pattern(8), "Leer&raum oder (null) oder \\n"}, {0, nullptr},
              {Pattern(9), "Zeilen&anfang"}, {Pattern(10), "Zeilen&ende"}, {Pattern(14), "Wortende"},
              {Pattern(13), "Wortanfang"}, {Pattern(16), "Zeilenumbruch"}, {0, nullptr},
              {Pattern(17), "Zeichen Aus&wahl"}, {Pattern(18), "Zeichen Auswahl oder \"(null)\""},
              {Pattern(19), "Zeichenketten Auswahl"}, {Pattern(21), "Zeichenketten ohne |...|"},
              {Pattern(20), "Zeichen nicht aus {...}"}, {0, nullptr},
              {Pattern(22), "Text via strwlen oder (null)"}, {Pattern(23), "Zeichen via strwchar"},
              {Pattern(24), "Zeichen via strwchar oder (null)"}, {0, nullptr},
              {Pattern(1), "Beliebiges &Zeichen"}, {Pattern(15), "Buchstabe"}, {Pattern(11), "Einzelne Zahl"},
              {Pattern(12), "Zahl oder Buchstabe"}});
}

TEST(Texts, ResultMenuAndItsEnablingRules) {
  ExpectMenu(BuildResultMenu(1, 0, false, false),
             {{ID_RESULT_COPY, "&Kopieren"}, {ID_RESULT_COPY_PATH, "&Pfad Kopieren"},
              {ID_RESULT_SELECT_ALL, "&Alles markieren"}, {ID_RESULT_SEARCH_SELECTION, "Suche markierten Text"},
              {0, nullptr}, {ID_RESULT_SORT_PATH, "Nach Datei&pfad sortieren"},
              {ID_RESULT_SORT_NAME, "Nach Datei&name sortieren"}, {ID_RESULT_SORT_TYPE, "Nach Datei&typ sortieren"}});
  // Grey items by state: copy, copy path, select all, search selection, (separator), 3 sorts.
  struct Case {
    int textSel, lineSel;
    bool empty, noResults;
    std::vector<bool> grey;
  } cases[] = {
      {0, -1, true, true, {true, true, true, true, false, true, true, true}},
      {1, 3, false, false, {false, false, false, false, false, false, false, false}},
      {2, 0, false, false, {false, false, false, true, false, false, false, false}},
      {0, 2, false, true, {true, false, false, true, false, true, true, true}},
  };
  for (const Case &c : cases) {
    HMENU menu = BuildResultMenu(c.textSel, c.lineSel, c.empty, c.noResults);
    std::vector<std::string> texts;
    std::vector<bool> grey;
    ReadMenu(menu, texts, &grey);
    EXPECT_EQ(c.grey, grey) << c.textSel << " " << c.lineSel;
    DestroyMenu(menu);
  }
}

TEST(Texts, ValueSearchDialogLabelsInTheProgram) {
  HMODULE exe = LoadLibraryExA(ProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(nullptr, exe) << ProgramPath();
  HWND dlg = CreateDialogParamA(exe, MAKEINTRESOURCEA(IDD_VALUESEARCH), nullptr, QuietDialog, 0);
  ASSERT_NE(nullptr, dlg);
  char caption[64] = "";
  GetWindowTextA(dlg, caption, sizeof caption);
  EXPECT_STREQ("Wert suchen", caption);
  const Item labels[] = {
      {IDC_VS_DEC, "De&zimal"}, {IDC_VS_HEX, "&Hexadezimal"}, {IDC_VS_BIN, "B&in\xE4r"}, {IDC_VS_OCT, "Octal"},
      {IDC_VS_TEXT, "Als &Text"}, {IDC_VS_DUMP, "Hex D&ump"}, {IDC_VS_MASK, "Bit-&Maske ?#"},
      {IDC_VS_BYTE, "B&yte"}, {IDC_VS_WORD, "&Word"}, {IDC_VS_DWORD, "&DWord"}, {IDC_VS_VARIABLE, "&Variabel"},
      {IDC_VS_UP, "Au&fw\xE4rts"}, {IDC_VS_DOWN, "A&bw\xE4rts"},
      {IDC_VS_SELECTION, "Nur im &markierten Bereich suchen"}, {IDC_VS_WHOLE, "Gesamten &Speicher durchsuchen"},
      {IDC_VS_NOCASE, "&Gro\xDF/Kleinschreibung ignorieren"}, {IDC_VS_GROUP, "Gru&ppen-Suche"},
      {IDC_VS_ORDER, "&Reihenfolge beachten"}, {IDC_VS_FROMSTART, "Vom Anfang suchen"},
      {IDC_VS_UNICODE, "Unicode Text"}, {IDC_VS_MOTOROLA, "Zahlen im Motorola Format suchen"},
      {IDC_VS_ADD, "Hi&nzuf\xFCgen"}, {IDC_VS_DELETE, "&L\xF6schen"}, {IDC_VS_DELETEALL, "Alle  L\xF6schen"},
      {IDC_VS_MOVEUP, "Nach &Oben"}, {IDC_VS_MOVEDOWN, "Nach Un&ten"}, {IDC_VS_CONTINUE, "Weiter&suchen"},
  };
  for (const Item &l : labels) {
    char text[128] = "";
    GetDlgItemTextA(dlg, l.id, text, sizeof text);
    EXPECT_STREQ(l.text, text) << l.id;
  }
  DestroyWindow(dlg);
  FreeLibrary(exe);
}

TEST(Texts, SearchTextFromTheResultSelection) {
  CWnd host;
  ASSERT_TRUE(host.CreateEx(0, nullptr, "Ergebnisse", WS_POPUP, 0, 0, 400, 200, nullptr, nullptr));
  CColorListBox list;
  ASSERT_TRUE(list.CreateEx(0x50000101, 0x20000, CRect(0, 0, 380, 180), &host, 21397));
  CString text;
  list.AddLine("C:\\a.c(1): eine Zeile", -1, nullptr);
  EXPECT_FALSE(SelectedSearchText(list, text));  // no selection
  list.SendMessage(CLB_SELECTALL, 0, 0);
  EXPECT_TRUE(SelectedSearchText(list, text));   // within one line
  EXPECT_STREQ("C:\\a.c(1): eine Zeile", text);
  list.AddLine("C:\\b.c(2): zweite", -1, nullptr);
  list.SendMessage(CLB_SELECTALL, 0, 0);
  EXPECT_FALSE(SelectedSearchText(list, text));  // over two lines
  EXPECT_STREQ("", text);
  list.DestroyWindow();
  host.DestroyWindow();
}

// Each text of each dialog of the program shows whole in its control, in the dialog's own font:
// no label wraps onto a hidden line or runs past its control, and no label lies over another
// control or outside its dialog.
TEST(Texts, EveryDialogTextFitsItsControl) {
  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&icc);
  HMODULE exe = LoadLibraryExA(ProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(nullptr, exe) << ProgramPath();
  std::vector<int> dialogs;
  EnumResourceNamesA(exe, MAKEINTRESOURCEA(5) /* RT_DIALOG */, AddDialogId, LONG_PTR(&dialogs));
  EXPECT_GE(dialogs.size(), 19u);
  for (int id : dialogs) {
    HWND dlg = CreateDialogParamA(exe, MAKEINTRESOURCEA(id), nullptr, QuietDialog, 0);
    ASSERT_NE(nullptr, dlg) << "dialog " << id;
    RECT client, units = {0, 0, 400, 400};
    GetClientRect(dlg, &client);
    MapDialogRect(dlg, &units);  // the pixels of 400 dialog units
    const std::vector<Control> all = Controls(dlg);
    for (const Control &c : all) {
      char text[512] = "";
      GetWindowTextA(c.hwnd, text, sizeof text);
      UINT flags;
      int margin;
      if (!*text || !TextLayout(c.hwnd, &flags, &margin)) continue;
      const std::string where = "dialog " + std::to_string(id) + " control " +
                                std::to_string(GetDlgCtrlID(c.hwnd)) + " \"" + text + "\"";
      RECT room;
      GetClientRect(c.hwnd, &room);
      const int width = room.right - margin;
      const SIZE needs = TextNeeds(c.hwnd, text, flags, width);
      if (needs.cx > width || needs.cy > room.bottom) {
        // What one line needs, for whoever widens the control.
        const int line = TextNeeds(c.hwnd, text, (flags & ~DT_WORDBREAK) | DT_SINGLELINE, 0).cx + margin;
        ADD_FAILURE() << where << " is cut off: " << room.right << " x " << room.bottom << " px, one line needs "
                      << line << " px (" << (line * 400 + units.right - 1) / units.right << " dialog units)";
      }
      RECT inside;
      EXPECT_TRUE(IntersectRect(&inside, &c.rect, &client) && EqualRect(&inside, &c.rect)) << where;
      if (c.groupBox) continue;
      for (const Control &other : all) {
        RECT common;
        if (other.hwnd != c.hwnd && !other.groupBox && IntersectRect(&common, &c.rect, &other.rect))
          ADD_FAILURE() << where << " lies over control " << GetDlgCtrlID(other.hwnd);
      }
    }
    DestroyWindow(dlg);
  }
  FreeLibrary(exe);
}
