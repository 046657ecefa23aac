// The small input dialogs and the folder dialog: values in and out, refused input, the
// recent folders kept per caller, missing folders refused or created.
#include <climits>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "framework/support/gui_util.h"
#include "system/RegKeys.h"
#include "toolkit/InputDlgs.h"
#include "toolkit/PathDlg.h"

namespace {

CWinApp theApp("FwDialogsTest");

const int IDC_INPUT = 1001;

HWND Dlg() { return fwtest::FindThreadDialog(); }

// Sets the input's text and presses OK once the dialog is up.
void TypeAndOk(const char* text) {
  fwtest::WhenFound(Dlg, [text](HWND h) {
    ::SetDlgItemTextA(h, IDC_INPUT, text);
    ::PostMessageA(h, WM_COMMAND, IDOK, 0);
  });
}

class DialogsTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    fwtest::InitControls();
    CRegKeys::SetAppName("FwDialogsTest");
    ::RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\QV\\FwDialogsTest");
  }
};

TEST_F(DialogsTest, TextDialog) {
  CTextDlg dlg;
  dlg.SetTitle("Neuer Name");
  dlg.SetPrompt("Bitte den Namen eingeben :");
  dlg.SetText("alt");
  std::string seen, prompt, title;
  fwtest::WhenFound(Dlg, [&](HWND h) {
    seen = fwtest::WindowText(::GetDlgItem(h, IDC_INPUT));
    prompt = fwtest::WindowText(::GetDlgItem(h, 1000));
    title = fwtest::WindowText(h);
    ::SetDlgItemTextA(h, IDC_INPUT, "Grüße");
    ::PostMessageA(h, WM_COMMAND, IDOK, 0);
  });
  EXPECT_EQ(dlg.DoModal(), IDOK);
  EXPECT_EQ(seen, "alt");
  EXPECT_EQ(prompt, "Bitte den Namen eingeben :");
  EXPECT_EQ(title, "Neuer Name");
  EXPECT_STREQ(dlg.GetText(), "Gr\xFC\xDF" "e");
}

TEST_F(DialogsTest, ValueDialogReadsNumbersInTheirNotationsAndRefusesOthers) {
  CValueDlg dlg;
  dlg.SetTitle("Datei-Chache-Größe");
  dlg.SetPrompt("Bitte die Größe in MB angeben :");
  EXPECT_EQ(dlg.GetValue(), 0);
  dlg.SetValue(250);
  std::string shown;
  fwtest::WhenFound(Dlg, [&](HWND h) {
    shown = fwtest::WindowText(::GetDlgItem(h, IDC_INPUT));
    ::SetDlgItemTextA(h, IDC_INPUT, "  -3 ");
    ::PostMessageA(h, WM_COMMAND, IDOK, 0);
  });
  EXPECT_EQ(dlg.DoModal(), IDOK);
  EXPECT_EQ(shown, "250");
  EXPECT_EQ(dlg.GetValue(), -3);

  // Decimal numbers beyond the 32-bit range go to its nearest end; a prefix keeps the bits.
  const struct { const char* typed; int value; } rows[] = {
      {"3000000000", INT_MAX}, {"-3000000000", INT_MIN}, {"2147483647", INT_MAX},
      {"-2147483648", INT_MIN}, {"0xFFFFFFFF", -1}, {"0x1F", 31},
  };
  for (const auto& row : rows) {
    TypeAndOk(row.typed);
    EXPECT_EQ(dlg.DoModal(), IDOK) << row.typed;
    EXPECT_EQ(dlg.GetValue(), row.value) << row.typed;
  }

  // "12abc" is refused with a message; the dialog stays until Cancel.
  std::string message;
  fwtest::WhenFound(Dlg, [&](HWND h) {
    ::SetDlgItemTextA(h, IDC_INPUT, "12abc");
    fwtest::WhenFound(fwtest::FindMessageBox, [&, h](HWND box) {
      message = fwtest::MessageBoxText(box);
      ::PostMessageA(box, WM_COMMAND, IDOK, 0);
      fwtest::RunLater(50, [h] { ::PostMessageA(h, WM_COMMAND, IDCANCEL, 0); });
    });
    ::PostMessageA(h, WM_COMMAND, IDOK, 0);
  });
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_EQ(message, "Bitte eine Zahl eingeben.");
  EXPECT_EQ(dlg.GetValue(), 31);

  dlg.SetValue(255, "0x%02X");
  fwtest::WhenFound(Dlg, [&](HWND h) {
    shown = fwtest::WindowText(::GetDlgItem(h, IDC_INPUT));
    ::PostMessageA(h, WM_COMMAND, IDOK, 0);
  });
  EXPECT_EQ(dlg.DoModal(), IDOK);
  EXPECT_EQ(shown, "0xFF");
  EXPECT_EQ(dlg.GetValue(), 255);
}

TEST_F(DialogsTest, ComboDialogGivesIndexTextAndData) {
  CComboDlg dlg;
  dlg.SetTitle("Ausführungsmenü");
  dlg.SetPrompt("Menü :");
  EXPECT_EQ(dlg.AddItem("Erstes", 11), 0);
  EXPECT_EQ(dlg.AddItem("Zweites"), 1);
  EXPECT_EQ(dlg.AddItem("Drittes", 33), 2);
  EXPECT_TRUE(dlg.SetItemData(1, 22));
  EXPECT_FALSE(dlg.SetItemData(3, 44));
  EXPECT_EQ(dlg.FindItem("zweites"), -1);
  EXPECT_EQ(dlg.FindItem("zweites", 1), 1);
  EXPECT_EQ(dlg.FindItem("Drittes"), 2);
  int shownSel = -5;
  fwtest::WhenFound(Dlg, [&](HWND h) {
    shownSel = (int)::SendDlgItemMessageA(h, IDC_INPUT, CB_GETCURSEL, 0, 0);
    ::SendDlgItemMessageA(h, IDC_INPUT, CB_SETCURSEL, 1, 0);
    ::PostMessageA(h, WM_COMMAND, IDOK, 0);
  });
  EXPECT_EQ(dlg.DoModal(), IDOK);
  EXPECT_EQ(shownSel, 2);
  EXPECT_EQ(dlg.GetCurSel(), 1);
  EXPECT_STREQ(dlg.GetText(), "Zweites");
  EXPECT_EQ(dlg.GetItemData(), 22u);
  EXPECT_EQ(dlg.GetItemData(0), 11u);
  dlg.RemoveAll();
  EXPECT_EQ(dlg.GetCount(), 0);
  EXPECT_STREQ(dlg.GetText(), "");
}

// A prompt shows whole on its one line: a long one widens the dialog and the input with it,
// the buttons stay inside the dialog at its right; a short one keeps the dialog's size.
TEST_F(DialogsTest, LongPromptWidensTheDialog) {
  const struct {
    const char* prompt;
    bool wider;
  } rows[] = {{"Modi:", false}, {"Aus welchem Fenster sollen die Dateien genommen werden ?", true}};
  int plainWidth = 0;
  for (const auto& r : rows) {
    CComboDlg dlg;
    dlg.SetPrompt(r.prompt);
    dlg.AddItem("Dateiliste");
    RECT window = {}, room = {}, needs = {}, input = {}, prompt = {}, cancel = {}, client = {};
    fwtest::WhenFound(Dlg, [&](HWND h) {
      HWND label = ::GetDlgItem(h, 1000);
      ::GetWindowRect(h, &window);
      ::GetClientRect(h, &client);
      ::GetClientRect(label, &room);
      HDC dc = ::GetDC(label);
      HGDIOBJ old = ::SelectObject(dc, (HFONT)::SendMessageA(label, WM_GETFONT, 0, 0));
      needs = {0, 0, room.right, 0};
      ::DrawTextA(dc, r.prompt, -1, &needs, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
      ::SelectObject(dc, old);
      ::ReleaseDC(label, dc);
      for (auto item : {std::make_pair(1000, &prompt), std::make_pair(IDC_INPUT, &input), std::make_pair(IDCANCEL, &cancel)}) {
        ::GetWindowRect(::GetDlgItem(h, item.first), item.second);
        ::MapWindowPoints(nullptr, h, reinterpret_cast<POINT*>(item.second), 2);
      }
      ::PostMessageA(h, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_LE(needs.right, room.right) << r.prompt;
    EXPECT_LE(needs.bottom, room.bottom) << r.prompt;
    EXPECT_EQ(prompt.right, input.right) << r.prompt;
    EXPECT_LE(cancel.right, client.right) << r.prompt;
    EXPECT_GT(cancel.left, client.right / 2) << r.prompt;
    if (!r.wider) plainWidth = window.right - window.left;
    EXPECT_EQ(r.wider, window.right - window.left > plainWidth) << r.prompt;
  }
}

std::vector<std::string> Recent(const char* value) {
  std::vector<std::string> out;
  CRegKeys keys;
  char* block = nullptr;
  if (keys.Open(nullptr, nullptr, 0) && keys.QueryValueAlloc(&block, value, REG_MULTI_SZ)) {
    for (const char* p = block; *p; p += strlen(p) + 1) out.push_back(p);
    free(block);
  }
  return out;
}

TEST_F(DialogsTest, PathDialogKeepsRecentFoldersAndChecksTheFolder) {
  char tmp[MAX_PATH];
  ::GetTempPathA(MAX_PATH, tmp);
  std::string base = std::string(tmp) + "fwpathdlg";
  ::CreateDirectoryA(base.c_str(), nullptr);
  std::string missing = base + "\\neu\\tiefer";
  ::RemoveDirectoryA(missing.c_str());
  ::RemoveDirectoryA((base + "\\neu").c_str());

  CPathDlg dlg;
  dlg.SetPath((base + "\\").c_str());
  std::string title, shown;
  fwtest::WhenFound(Dlg, [&](HWND h) {
    title = fwtest::WindowText(h);
    shown = fwtest::WindowText(::GetDlgItem(h, CPathDlg::IDC_PATH));
    ::PostMessageA(h, WM_COMMAND, IDOK, 0);
  });
  EXPECT_EQ(dlg.DoModalEx("Path1", CPathDlg::MustExist), 1);
  EXPECT_EQ(title, "Verzeichnis wählen");
  EXPECT_EQ(shown, base);
  EXPECT_STREQ(dlg.GetPath(0), base.c_str());
  EXPECT_EQ(Recent("Path1Last"), std::vector<std::string>{base});

  // A missing folder is refused with MustExist...
  std::string message;
  fwtest::WhenFound(Dlg, [&](HWND h) {
    ::SetDlgItemTextA(h, CPathDlg::IDC_PATH, missing.c_str());
    fwtest::WhenFound(fwtest::FindMessageBox, [&, h](HWND box) {
      message = fwtest::MessageBoxText(box);
      ::PostMessageA(box, WM_COMMAND, IDOK, 0);
      fwtest::RunLater(50, [h] { ::PostMessageA(h, WM_COMMAND, IDCANCEL, 0); });
    });
    ::PostMessageA(h, WM_COMMAND, IDOK, 0);
  });
  EXPECT_EQ(dlg.DoModalEx("Path1", CPathDlg::MustExist), 0);
  EXPECT_EQ(message, "Das Verzeichnis existiert nicht:\n" + missing);
  EXPECT_STREQ(dlg.GetPath(), base.c_str());

  // ...and created on request with MayCreate; it moves to the front of the history.
  dlg.SetTitle("Zielverzeichnis");
  fwtest::WhenFound(Dlg, [&](HWND h) {
    title = fwtest::WindowText(h);
    ::SetDlgItemTextA(h, CPathDlg::IDC_PATH, (missing + "\\").c_str());
    fwtest::WhenFound(fwtest::FindMessageBox, [](HWND box) { ::PostMessageA(box, WM_COMMAND, IDYES, 0); });
    ::PostMessageA(h, WM_COMMAND, IDOK, 0);
  });
  EXPECT_EQ(dlg.DoModalEx("Path1", CPathDlg::MayCreate), 1);
  EXPECT_EQ(title, "Zielverzeichnis");
  EXPECT_STREQ(dlg.GetPath(), missing.c_str());
  EXPECT_NE(::GetFileAttributesA(missing.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(Recent("Path1Last"), (std::vector<std::string>{missing, base}));
  EXPECT_TRUE(Recent("Path2Last").empty());

  // The combo box offers the recent folders; the tree opens down to the folder.
  size_t items = 0;
  std::string treeSel;
  CPathDlg again;
  fwtest::WhenFound(Dlg, [&](HWND h) {
    items = (size_t)::SendDlgItemMessageA(h, CPathDlg::IDC_PATH, CB_GETCOUNT, 0, 0);
    HWND tree = ::GetDlgItem(h, CPathDlg::IDC_TREE);
    HTREEITEM sel = (HTREEITEM)::SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0);
    char buf[MAX_PATH] = "";
    TVITEMA it = {TVIF_TEXT, sel};
    it.pszText = buf;
    it.cchTextMax = MAX_PATH;
    ::SendMessageA(tree, TVM_GETITEMA, 0, (LPARAM)&it);
    treeSel = buf;
    ::PostMessageA(h, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_EQ(again.DoModalEx("Path1", 0), 0);
  EXPECT_EQ(items, 2u);
  EXPECT_EQ(treeSel, "tiefer");
  ::RemoveDirectoryA(missing.c_str());
  ::RemoveDirectoryA((base + "\\neu").c_str());
}

}  // namespace
