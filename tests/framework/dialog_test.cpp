// Dialogs: modal and modeless from templates in memory, data exchange round trips (texts,
// numbers, combo texts, check boxes, radio groups in tab order), refused numbers, EndDialog
// codes, the default button and dialog units.
#include <gtest/gtest.h>
#include <string>
#include "framework/Framework.h"
#include "framework/support/gui_util.h"

namespace {

CWinApp theApp("FwDialogTest");

enum {
  IDC_NAME = 1001,
  IDC_COUNT = 1054,
  IDC_BYTES = 1055,
  IDC_HISTORY = 1002,
  IDC_CHOICE = 1003,
  IDC_SUBDIRS = 1045,
  IDC_WP_ANY = 1049,
  IDC_WP_ONLY = 1050,
  IDC_WP_NOT = 1032,
  IDC_TM_ANY = 1053,
  IDC_TM_BEFORE = 1052,
  IDC_TM_AFTER = 1034,
  IDC_PLUS = 1057,
};

// The layout of a settings dialog: two radio groups whose ids do not follow tab order.
CDialogTemplate MakeTemplate() {
  CDialogTemplate t("Dateien hinzufügen", DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 0, 240, 200);
  t.AddItem("EDIT", "", WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, 7, 7, 120, 12, IDC_NAME);
  t.AddItem("EDIT", "", WS_TABSTOP | WS_BORDER, 7, 22, 50, 12, IDC_COUNT);
  t.AddItem("EDIT", "", WS_TABSTOP | WS_BORDER, 60, 22, 50, 12, IDC_BYTES);
  t.AddItem("COMBOBOX", "", WS_TABSTOP | CBS_DROPDOWN | WS_VSCROLL, 7, 37, 120, 80, IDC_HISTORY);
  t.AddItem("COMBOBOX", "", WS_TABSTOP | CBS_DROPDOWNLIST | WS_VSCROLL, 7, 52, 120, 80, IDC_CHOICE);
  t.AddItem("BUTTON", "In Unterverzeichnissen suchen", WS_TABSTOP | BS_AUTOCHECKBOX, 7, 67, 150, 10, IDC_SUBDIRS);
  t.AddItem("BUTTON", "Egal", WS_GROUP | WS_TABSTOP | BS_AUTORADIOBUTTON, 7, 80, 60, 10, IDC_WP_ANY);
  t.AddItem("BUTTON", "Nur schreibgeschützte", BS_AUTORADIOBUTTON, 7, 90, 100, 10, IDC_WP_ONLY);
  t.AddItem("BUTTON", "Nicht schreibgeschützte", BS_AUTORADIOBUTTON, 7, 100, 100, 10, IDC_WP_NOT);
  t.AddItem("BUTTON", "Egal", WS_GROUP | WS_TABSTOP | BS_AUTORADIOBUTTON, 120, 80, 60, 10, IDC_TM_ANY);
  t.AddItem("BUTTON", "Erstellt vor", BS_AUTORADIOBUTTON, 120, 90, 60, 10, IDC_TM_BEFORE);
  t.AddItem("BUTTON", "Erstellt nach", BS_AUTORADIOBUTTON, 120, 100, 60, 10, IDC_TM_AFTER);
  t.AddItem("BUTTON", "+", WS_GROUP | WS_TABSTOP | BS_PUSHBUTTON, 7, 120, 20, 14, IDC_PLUS);
  t.AddItem("BUTTON", "OK", WS_TABSTOP | BS_DEFPUSHBUTTON, 130, 180, 50, 14, IDOK);
  t.AddItem("BUTTON", "Abbrechen", WS_TABSTOP | BS_PUSHBUTTON, 185, 180, 50, 14, IDCANCEL);
  return t;
}

class CSettingsDlg : public CDialog {
public:
  explicit CSettingsDlg(const DLGTEMPLATE* t) : CDialog(t) {}
  CString m_name = "C:\\Quellen";
  int m_count = -42;
  UINT m_size = 4000000000u;
  CString m_history = "*.c;*.h";
  CString m_choice = "zwei";
  int m_subDirs = 1;
  int m_writeProtection = 2;
  int m_timeMode = 0;
  int m_inits = 0;
  int m_plusClicks = 0;
  void DoDataExchange(CDataExchange* pDX) override {
    DDX_Text(pDX, IDC_NAME, m_name);
    DDX_Text(pDX, IDC_COUNT, m_count);
    DDX_Text(pDX, IDC_BYTES, m_size);
    DDX_CBString(pDX, IDC_HISTORY, m_history);
    DDX_CBString(pDX, IDC_CHOICE, m_choice);
    DDX_Check(pDX, IDC_SUBDIRS, m_subDirs);
    DDX_Radio(pDX, IDC_WP_ANY, m_writeProtection);
    DDX_Radio(pDX, IDC_TM_ANY, m_timeMode);
  }
  BOOL OnInitDialog() override {
    ++m_inits;
    for (const char* s : {"eins", "zwei", "drei"}) ::SendDlgItemMessageA(m_hWnd, IDC_CHOICE, CB_ADDSTRING, 0, (LPARAM)s);
    ::SendDlgItemMessageA(m_hWnd, IDC_HISTORY, CB_ADDSTRING, 0, (LPARAM) "*.txt");
    return CDialog::OnInitDialog();
  }
  void OnPlus() { ++m_plusClicks; }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CSettingsDlg, CDialog)
  ON_BN_CLICKED(IDC_PLUS, OnPlus)
END_MESSAGE_MAP()

bool Checked(HWND dlg, int id) { return ::IsDlgButtonChecked(dlg, id) == BST_CHECKED; }

class DialogTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() { fwtest::InitControls(); }
  CDialogTemplate tmpl = MakeTemplate();
};

TEST_F(DialogTest, DataExchangeRoundTrip) {
  CSettingsDlg dlg(tmpl.Get());
  std::string seen;
  fwtest::RunLater(50, [&] {
    HWND h = dlg.m_hWnd;
    ASSERT_TRUE(::IsWindow(h));
    // Loaded: texts, numbers, combo texts, check box, radio buttons by tab order.
    seen = fwtest::WindowText(::GetDlgItem(h, IDC_NAME)) + "|" + fwtest::WindowText(::GetDlgItem(h, IDC_COUNT)) + "|" +
           fwtest::WindowText(::GetDlgItem(h, IDC_BYTES)) + "|" + fwtest::WindowText(::GetDlgItem(h, IDC_HISTORY)) + "|" +
           std::to_string(::SendDlgItemMessageA(h, IDC_CHOICE, CB_GETCURSEL, 0, 0)) + "|" +
           std::to_string(Checked(h, IDC_SUBDIRS)) + std::to_string(Checked(h, IDC_WP_ANY)) +
           std::to_string(Checked(h, IDC_WP_ONLY)) + std::to_string(Checked(h, IDC_WP_NOT)) +
           std::to_string(Checked(h, IDC_TM_ANY)) + std::to_string(Checked(h, IDC_TM_BEFORE));
    // The user changes everything.
    ::SetDlgItemTextA(h, IDC_NAME, "D:\\Neu");
    ::SetDlgItemTextA(h, IDC_COUNT, "  +17 ");
    ::SetDlgItemTextA(h, IDC_BYTES, "0");
    ::SetDlgItemTextA(h, IDC_HISTORY, "*.rc");
    ::SendDlgItemMessageA(h, IDC_CHOICE, CB_SETCURSEL, 2, 0);
    ::CheckDlgButton(h, IDC_SUBDIRS, BST_UNCHECKED);
    ::CheckRadioButton(h, IDC_WP_ANY, IDC_WP_ANY, IDC_WP_ANY);
    ::CheckDlgButton(h, IDC_WP_NOT, BST_UNCHECKED);
    ::CheckDlgButton(h, IDC_TM_ANY, BST_UNCHECKED);
    ::CheckDlgButton(h, IDC_TM_AFTER, BST_CHECKED);
    ::SendMessageA(h, WM_COMMAND, MAKEWPARAM(IDC_PLUS, BN_CLICKED), (LPARAM)::GetDlgItem(h, IDC_PLUS));
    ::PostMessageA(h, WM_COMMAND, IDOK, 0);
  });
  EXPECT_EQ(dlg.DoModal(), IDOK);
  EXPECT_EQ(seen, "C:\\Quellen|-42|4000000000|*.c;*.h|1|100110");
  EXPECT_EQ(dlg.m_inits, 1);
  EXPECT_EQ(dlg.m_plusClicks, 1);
  EXPECT_STREQ(dlg.m_name, "D:\\Neu");
  EXPECT_EQ(dlg.m_count, 17);
  EXPECT_EQ(dlg.m_size, 0u);
  EXPECT_STREQ(dlg.m_history, "*.rc");
  EXPECT_STREQ(dlg.m_choice, "drei");
  EXPECT_EQ(dlg.m_subDirs, 0);
  EXPECT_EQ(dlg.m_writeProtection, 0);
  EXPECT_EQ(dlg.m_timeMode, 2);
  EXPECT_EQ(dlg.m_hWnd, nullptr);
}

TEST_F(DialogTest, RadioGroupWithNothingCheckedReadsMinusOne) {
  CSettingsDlg dlg(tmpl.Get());
  dlg.m_timeMode = 7;  // no such button: none is checked
  fwtest::RunLater(50, [&] { ::PostMessageA(dlg.m_hWnd, WM_COMMAND, IDOK, 0); });
  EXPECT_EQ(dlg.DoModal(), IDOK);
  EXPECT_EQ(dlg.m_timeMode, -1);
  EXPECT_EQ(dlg.m_writeProtection, 2);
}

TEST_F(DialogTest, ARefusedNumberKeepsTheDialogOpen) {
  CSettingsDlg dlg(tmpl.Get());
  std::string boxText, boxCaption;
  bool stillOpen = false;
  fwtest::RunLater(50, [&] {
    ::SetDlgItemTextA(dlg.m_hWnd, IDC_COUNT, "12a");
    fwtest::RunLater(100, [&] {
      HWND box = fwtest::FindThreadDialog(dlg.m_hWnd);
      if (!box) return;
      boxText = fwtest::MessageBoxText(box);
      boxCaption = fwtest::WindowText(box);
      ::PostMessageA(box, WM_COMMAND, IDOK, 0);
      fwtest::RunLater(100, [&] {
        stillOpen = ::IsWindowVisible(dlg.m_hWnd) != FALSE;
        ::SetDlgItemTextA(dlg.m_hWnd, IDC_COUNT, "99999999999");  // too large for an int
        ::SetDlgItemTextA(dlg.m_hWnd, IDC_BYTES, "-1");             // no sign for an unsigned
        ::PostMessageA(dlg.m_hWnd, WM_COMMAND, IDCANCEL, 0);
      });
    });
    ::PostMessageA(dlg.m_hWnd, WM_COMMAND, IDOK, 0);
  });
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_EQ(boxText, "Bitte eine ganze Zahl eingeben.");
  EXPECT_EQ(boxCaption, "FwDialogTest");
  EXPECT_TRUE(stillOpen);
  EXPECT_EQ(dlg.m_count, -42);  // nothing was taken over
}

TEST_F(DialogTest, EndDialogWithAnyCodeDefaultButtonAndDialogUnits) {
  CSettingsDlg dlg(tmpl.Get());
  UINT defBefore = 0, defAfter = 0;
  CRect mapped(7, 120, 27, 134), actual;
  fwtest::RunLater(50, [&] {
    defBefore = dlg.GetDefID();
    dlg.SetDefID(IDC_PLUS);
    defAfter = dlg.GetDefID();
    dlg.MapDialogRect(&mapped);
    ::GetWindowRect(::GetDlgItem(dlg.m_hWnd, IDC_PLUS), &actual);
    dlg.ScreenToClient(&actual);
    dlg.EndDialog(4711);
  });
  EXPECT_EQ(dlg.DoModal(), 4711);
  EXPECT_EQ(defBefore, (UINT)IDOK);
  EXPECT_EQ(defAfter, (UINT)IDC_PLUS);
  EXPECT_EQ(mapped, actual);
  EXPECT_EQ(dlg.m_count, -42);  // EndDialog alone reads nothing
}

TEST_F(DialogTest, CancelLeavesTheMembers) {
  CSettingsDlg dlg(tmpl.Get());
  fwtest::RunLater(50, [&] {
    ::SetDlgItemTextA(dlg.m_hWnd, IDC_NAME, "weg");
    ::PostMessageA(dlg.m_hWnd, WM_CLOSE, 0, 0);
  });
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_STREQ(dlg.m_name, "C:\\Quellen");
}

TEST_F(DialogTest, ModelessDialog) {
  CSettingsDlg dlg(tmpl.Get());
  ASSERT_TRUE(dlg.CreateIndirect(tmpl.Get()));
  EXPECT_EQ(dlg.m_inits, 1);
  EXPECT_FALSE(dlg.IsModal());
  EXPECT_EQ(fwtest::WindowText(::GetDlgItem(dlg.m_hWnd, IDC_NAME)), "C:\\Quellen");
  ::SetDlgItemTextA(dlg.m_hWnd, IDC_COUNT, "5");
  EXPECT_TRUE(dlg.UpdateData(TRUE));
  EXPECT_EQ(dlg.m_count, 5);
  // The main loop gives a modeless dialog its keys.
  MSG msg = {::GetDlgItem(dlg.m_hWnd, IDC_NAME), WM_KEYDOWN, VK_TAB, 0};
  EXPECT_TRUE(CWnd::WalkPreTranslateTree(dlg.m_hWnd, &msg));
  EXPECT_TRUE(dlg.DestroyWindow());
  EXPECT_EQ(dlg.m_hWnd, nullptr);
}

TEST(MessageBoxTest, CaptionIsTheApplicationName) {
  std::string caption;
  fwtest::RunLater(50, [&] {
    HWND box = fwtest::FindThreadDialog();
    if (!box) return;
    caption = fwtest::WindowText(box);
    ::PostMessageA(box, WM_COMMAND, IDNO, 0);
  });
  EXPECT_EQ(AfxMessageBox("Frage ?", MB_YESNO), IDNO);
  EXPECT_EQ(caption, "FwDialogTest");
}

}  // namespace
