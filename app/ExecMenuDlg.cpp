// The execution-menu dialog: menus, entries, placeholder menus and the registry.
#include "app/ExecMenuDlg.h"

#include <cstring>

#include "app/Resource.h"
#include "system/Paths.h"
#include "toolkit/ControlHelpers.h"
#include "toolkit/InputDlgs.h"
#include "toolkit/PathDlg.h"

namespace {

const char kNewEntryLine[] = "<neuer Eintrag>";
const size_t kProgramNamesSize = 8192;   // the program browser's name buffer

struct PlaceholderItem {
  const char* label;
  const char* text;
};
const PlaceholderItem kPlaceholders[] = {
    {"Dateiname mit Pfad", "%p"},        {"Dateiname ohne Pfad", "%f"},
    {"Nur Dateipfad mit '\\'", "%d"},    {"Nur Dateipfad onhe '\\'", "%D"},
    {"Dateiname ohne Suffix", "%b"},     {"Suffix des Dateinamens", "%e"},
    {"Byte-Position des Textes", "%o"},  {"Zeillennummer des Textes", "%l"},
    {"Textlänge", "%s"},                 {"Enviroment Variabel", "%()"},
};
const int kPlaceholderCount = int(sizeof kPlaceholders / sizeof kPlaceholders[0]);

const int kEntryControls[] = {IDC_EM_PROGRAM_BROWSE, IDC_EM_PARAM_MENU, IDC_EM_FOLDER_BROWSE, IDC_EM_STREAM_MENU,
                              IDC_EM_DELETE_ENTRY,   IDC_EM_UP,         IDC_EM_DOWN,          IDC_EM_SHELL,
                              IDC_EM_NOWAIT,         IDC_EM_USEPATH,    IDC_EM_COMMAND,       IDC_EM_PROGRAM,
                              IDC_EM_PARAM,          IDC_EM_FOLDER,     IDC_EM_STREAM,        IDC_EM_ENTRIES,
                              IDC_EM_HIDDEN,         IDC_EM_NORMAL,     IDC_EM_MAXIMIZED,     IDC_EM_MINIMIZED};
const int kBitmapButtons[][2] = {{IDC_EM_PROGRAM_BROWSE, IDB_BROWSE_BUTTON},
                                 {IDC_EM_FOLDER_BROWSE, IDB_BROWSE_BUTTON},
                                 {IDC_EM_PARAM_MENU, IDB_MENU_BUTTON},
                                 {IDC_EM_STREAM_MENU, IDB_MENU_BUTTON}};

CString WithoutAmpersands(const char* name) {
  CString out;
  for (const char* p = name; *p; ++p)
    if (*p != '&') out += *p;
  return out;
}

}  // namespace

CDialogPlace CExecMenuDlg::s_place;

BEGIN_MESSAGE_MAP(CExecMenuDlg, CDialog)
  ON_WM_DESTROY()
  ON_BN_CLICKED(IDC_EM_NEW_MENU, OnNewMenu)
  ON_BN_CLICKED(IDC_EM_DELETE_MENU, OnDeleteMenu)
  ON_BN_CLICKED(IDC_EM_NEW_ENTRY, OnNewEntry)
  ON_BN_CLICKED(IDC_EM_DELETE_ENTRY, OnDeleteEntry)
  ON_BN_CLICKED(IDC_EM_UP, OnUp)
  ON_BN_CLICKED(IDC_EM_DOWN, OnDown)
  ON_BN_CLICKED(IDC_EM_PROGRAM_BROWSE, OnProgramBrowse)
  ON_BN_CLICKED(IDC_EM_FOLDER_BROWSE, OnFolderBrowse)
  ON_BN_CLICKED(IDC_EM_PARAM_MENU, OnParamMenu)
  ON_BN_CLICKED(IDC_EM_STREAM_MENU, OnStreamMenu)
  ON_BN_CLICKED(IDC_EM_COMMAND, OnCommandClicked)
  ON_COMMAND_RANGE(ID_EM_PARAM_PLACEHOLDER, ID_EM_PARAM_PLACEHOLDER + 9, OnPlaceholder)
  ON_COMMAND_RANGE(ID_EM_STREAM_PLACEHOLDER, ID_EM_STREAM_PLACEHOLDER + 9, OnPlaceholder)
  ON_LBN_SELCHANGE(IDC_EM_ENTRIES, OnEntrySelChange)
  ON_CBN_SELCHANGE(IDC_EM_MENU, OnMenuSelChange)
END_MESSAGE_MAP()

CExecMenuDlg::CExecMenuDlg(CWnd* pParentWnd) : CDialog(IDD_EXEC_MENU, pParentWnd) {}

CExecMenuDlg::Record CExecMenuDlg::RecordFromEntry(const ExecEntry& e) {
  Record r;
  r.program = e.execute;
  r.param = e.param;
  r.dir = e.dir;
  r.stream = e.stream;
  r.usePath = e.usePath != 0;
  r.noWait = e.noWait != 0;
  r.show = e.show <= 3 ? int(e.show) : 1;
  r.command = e.command != 0;
  if (e.execute == "COMMAND") {
    r.shell = 0;
    r.command = 1;
  }
  if (e.execute == "SHELL") {
    r.program = e.shellMode;
    r.shell = 1;
    r.command = 0;
  }
  if (r.command) r.program = "COMMAND";
  return r;
}

ExecEntry CExecMenuDlg::EntryFromRecord(const Record& r) {
  ExecEntry e;
  if (r.shell) {
    e.execute = "SHELL";
    e.shellMode = r.program;
  } else {
    e.execute = r.program;
  }
  e.param = r.param;
  e.dir = r.dir;
  e.stream = r.stream;
  e.usePath = r.usePath;
  e.noWait = r.noWait;
  e.show = DWORD(r.show);
  e.command = r.command;
  return e;
}

// ----- opening, exchange, closing --------------------------------------------------------------

BOOL CExecMenuDlg::OnInitDialog() {
  s_place.Restore(m_hWnd);
  for (const auto& b : kBitmapButtons)
    if (HWND h = ::GetDlgItem(m_hWnd, b[0])) SetButtonBitmap(h, b[1]);
  // The records hold at most 259 characters per text.
  for (int id : {IDC_EM_PROGRAM, IDC_EM_PARAM, IDC_EM_FOLDER, IDC_EM_STREAM})
    ::SendDlgItemMessageA(m_hWnd, id, EM_LIMITTEXT, MAX_PATH - 1, 0);
  CDialog::OnInitDialog();
  LoadMenuNames();
  if (m_names.m_nCount > 0) {
    LoadMenu(0);
    SelectEntry(m_records.empty() ? -1 : 0);
  } else {
    SelectEntry(-1);
  }
  ApplyCommandState();
  return TRUE;
}

void CExecMenuDlg::DoDataExchange(CDataExchange* pDX) {
  DDX_Check(pDX, IDC_EM_SHELL, m_bShell);
  DDX_Check(pDX, IDC_EM_NOWAIT, m_bNoWait);
  DDX_Check(pDX, IDC_EM_USEPATH, m_bUsePath);
  DDX_Check(pDX, IDC_EM_COMMAND, m_bCommand);
  DDX_Text(pDX, IDC_EM_PROGRAM, m_strProgram);
  DDX_Text(pDX, IDC_EM_PARAM, m_strParam);
  DDX_Text(pDX, IDC_EM_FOLDER, m_strFolder);
  DDX_Text(pDX, IDC_EM_STREAM, m_strStream);
  DDX_Radio(pDX, IDC_EM_HIDDEN, m_nShow);
}

void CExecMenuDlg::OnOK() {
  s_place.Remember(m_hWnd);
  StoreCurrent();
  SaveMenu();
  EndDialog(IDOK);
}

void CExecMenuDlg::OnCancel() {
  s_place.Remember(m_hWnd);
  EndDialog(IDCANCEL);
}

void CExecMenuDlg::OnDestroy() {
  for (const auto& b : kBitmapButtons)
    if (HWND h = ::GetDlgItem(m_hWnd, b[0])) FreeButtonBitmap(h);
  CDialog::OnDestroy();
}

// ----- menus -----------------------------------------------------------------------------------

void CExecMenuDlg::LoadMenuNames() {
  m_names.RemoveAll();
  ::SendDlgItemMessageA(m_hWnd, IDC_EM_MENU, CB_RESETCONTENT, 0, 0);
  ReadExecMenuNames(m_names);
  for (int i = 0; i < m_names.m_nCount; ++i) {
    CString shown = WithoutAmpersands(m_names.GetString(i));
    ::SendDlgItemMessageA(m_hWnd, IDC_EM_MENU, CB_ADDSTRING, 0, (LPARAM)(const char*)shown);
  }
}

void CExecMenuDlg::LoadMenu(int index, bool stored) {
  ::SendDlgItemMessageA(m_hWnd, IDC_EM_ENTRIES, LB_RESETCONTENT, 0, 0);
  m_records.clear();
  m_nSel = -1;
  m_nMenu = index;
  ::SendDlgItemMessageA(m_hWnd, IDC_EM_MENU, CB_SETCURSEL, index, 0);
  if (index < 0 || !stored) return;
  CString name;
  std::vector<ExecEntry> entries;
  ReadExecMenu(index, name, entries);
  for (const ExecEntry& e : entries) {
    m_records.push_back(RecordFromEntry(e));
    ::SendDlgItemMessageA(m_hWnd, IDC_EM_ENTRIES, LB_ADDSTRING, 0, (LPARAM)(const char*)m_records.back().program);
  }
}

void CExecMenuDlg::SaveMenu() {
  if (m_nMenu < 0 || m_nMenu >= m_names.m_nCount) return;
  std::vector<ExecEntry> entries;
  for (const Record& r : m_records) entries.push_back(EntryFromRecord(r));
  if (!WriteExecMenu(m_nMenu, m_names.GetString(m_nMenu), entries))
    AfxMessageBox("Das Menü konnte nicht gespeichert werden !", MB_OK | MB_ICONERROR);
}

void CExecMenuDlg::OnNewMenu() {
  // A menu beyond the last that is read back would be lost.
  if (m_names.m_nCount >= kExecMaxMenus) {
    AfxMessageBox("Es gibt zuviele Menüs (höchstens 31).", MB_OK);
    return;
  }
  CTextDlg dlg(this);
  dlg.SetTitle("Neuer Menüeintrag");
  dlg.SetPrompt("Menüname (&& für Hotkey) :");
  if (dlg.DoModal() != IDOK) return;
  if (dlg.GetText().IsEmpty()) {
    AfxMessageBox("Es wurde kein Menüname angegeben !", MB_OK);
    return;
  }
  m_names.Insert(dlg.GetText());
  ::SendDlgItemMessageA(m_hWnd, IDC_EM_MENU, CB_ADDSTRING, 0, (LPARAM)(const char*)WithoutAmpersands(dlg.GetText()));
  StoreCurrent();
  SaveMenu();
  // The new menu reaches the registry with the next save; Cancel discards it. It is the
  // last one, so that a save never leaves a gap in the numbering.
  LoadMenu(m_names.m_nCount - 1, false);
  SelectEntry(-1);
}

void CExecMenuDlg::OnDeleteMenu() {
  if (m_nMenu < 0) return;
  if (AfxMessageBox("Das Menü wiklich löschen ?", MB_YESNO) != IDYES) return;
  StoreCurrent();
  DeleteExecMenu(m_nMenu, m_names.m_nCount);
  LoadMenuNames();
  LoadMenu(m_names.m_nCount - 1);
  SelectEntry(m_records.empty() ? -1 : 0);
}

void CExecMenuDlg::OnMenuSelChange() {
  int index = int(::SendDlgItemMessageA(m_hWnd, IDC_EM_MENU, CB_GETCURSEL, 0, 0));
  if (index < 0 || index == m_nMenu) return;
  StoreCurrent();
  SaveMenu();
  LoadMenu(index);
  SelectEntry(m_records.empty() ? -1 : 0);
}

// ----- entries ---------------------------------------------------------------------------------

void CExecMenuDlg::SetLine(int index, const char* text) {
  ::SendDlgItemMessageA(m_hWnd, IDC_EM_ENTRIES, LB_DELETESTRING, index, 0);
  ::SendDlgItemMessageA(m_hWnd, IDC_EM_ENTRIES, LB_INSERTSTRING, index, (LPARAM)text);
}

void CExecMenuDlg::MoveLine(int from, int to) {
  // The line moves as it is shown: a new entry keeps "<neuer Eintrag>".
  HWND list = ::GetDlgItem(m_hWnd, IDC_EM_ENTRIES);
  CString line;
  if (GetListBoxEntry(list, from, line) < 0) return;
  ::SendMessageA(list, LB_DELETESTRING, from, 0);
  ::SendMessageA(list, LB_INSERTSTRING, to, (LPARAM)(LPCSTR)line);
}

void CExecMenuDlg::SelectEntry(int k) {
  if (m_nSel >= 0 && m_nSel < int(m_records.size()) && UpdateData(TRUE)) {
    Record& r = m_records[m_nSel];
    r.shell = m_bShell;
    r.noWait = m_bNoWait;
    r.usePath = m_bUsePath;
    r.command = m_bCommand;
    r.program = m_strProgram;
    r.param = m_strParam;
    r.dir = m_strFolder;
    r.stream = m_strStream;
    r.show = m_nShow < 0 ? 1 : m_nShow;
    if (r.command && r.program != "COMMAND") r.program = "COMMAND";
    if (!r.program.IsEmpty() || r.shell) SetLine(m_nSel, r.shell ? "SHELL" : (const char*)r.program);
  }
  if (k < 0 || k >= int(m_records.size())) {
    m_nSel = -1;
    m_bShell = m_bNoWait = m_bUsePath = m_bCommand = 0;
    m_strProgram.Empty();
    m_strParam.Empty();
    m_strFolder.Empty();
    m_strStream.Empty();
    m_nShow = 1;
    ::SendDlgItemMessageA(m_hWnd, IDC_EM_ENTRIES, LB_SETCURSEL, (WPARAM)-1, 0);
  } else {
    Record& r = m_records[k];
    if (r.shell) r.command = 0;
    if (r.command) r.program = "COMMAND";
    m_nSel = k;
    m_bShell = r.shell;
    m_bNoWait = r.noWait;
    m_bUsePath = r.usePath;
    m_bCommand = r.command;
    m_strProgram = r.program;
    m_strParam = r.param;
    m_strFolder = r.dir;
    m_strStream = r.stream;
    m_nShow = r.show;
    ::SendDlgItemMessageA(m_hWnd, IDC_EM_ENTRIES, LB_SETCURSEL, k, 0);
  }
  UpdateData(FALSE);
  EnableEntryControls();
  ApplyCommandState();
}

void CExecMenuDlg::EnableEntryControls() {
  BOOL on = !m_records.empty() && m_nSel >= 0;
  for (int id : kEntryControls) ::EnableWindow(::GetDlgItem(m_hWnd, id), on);
}

void CExecMenuDlg::ApplyCommandState() {
  BOOL command = IsDlgButtonChecked(IDC_EM_COMMAND) == BST_CHECKED;
  if (command) SetDlgItemText(IDC_EM_PROGRAM, "COMMAND");
  BOOL on = !command && !m_records.empty() && m_nSel >= 0;
  ::EnableWindow(::GetDlgItem(m_hWnd, IDC_EM_PROGRAM), on);
  ::EnableWindow(::GetDlgItem(m_hWnd, IDC_EM_STREAM), on);
}

void CExecMenuDlg::OnCommandClicked() { ApplyCommandState(); }

void CExecMenuDlg::OnEntrySelChange() {
  int k = int(::SendDlgItemMessageA(m_hWnd, IDC_EM_ENTRIES, LB_GETCURSEL, 0, 0));
  if (k != m_nSel) SelectEntry(k);
}

void CExecMenuDlg::OnNewEntry() {
  if (m_nMenu < 0) {
    AfxMessageBox("Zuerst ein Menü erstellen.", MB_OK);
    return;
  }
  if (int(m_records.size()) >= kExecMaxEntries) {
    AfxMessageBox("Es gibt zuvile Einträge.", MB_OK);
    return;
  }
  StoreCurrent();
  m_records.push_back(Record());
  ::SendDlgItemMessageA(m_hWnd, IDC_EM_ENTRIES, LB_ADDSTRING, 0, (LPARAM)kNewEntryLine);
  m_nSel = -1;
  SelectEntry(int(m_records.size()) - 1);
}

void CExecMenuDlg::OnDeleteEntry() {
  if (m_nSel < 0) return;
  StoreCurrent();
  int k = m_nSel;
  m_records.erase(m_records.begin() + k);
  ::SendDlgItemMessageA(m_hWnd, IDC_EM_ENTRIES, LB_DELETESTRING, k, 0);
  m_nSel = -1;
  SelectEntry(k < int(m_records.size()) ? k : k - 1);
}

void CExecMenuDlg::OnUp() {
  if (m_nSel <= 0) return;
  StoreCurrent();
  int k = m_nSel;
  std::swap(m_records[k], m_records[k - 1]);
  MoveLine(k - 1, k);
  m_nSel = -1;
  SelectEntry(k - 1);
}

void CExecMenuDlg::OnDown() {
  if (m_nSel < 0 || m_nSel + 1 >= int(m_records.size())) return;
  StoreCurrent();
  int k = m_nSel;
  std::swap(m_records[k], m_records[k + 1]);
  MoveLine(k + 1, k);
  m_nSel = -1;
  SelectEntry(k + 1);
}

// ----- browsing and placeholders ---------------------------------------------------------------

void CExecMenuDlg::OnProgramBrowse() {
  CString current;
  GetDlgItemText(IDC_EM_PROGRAM, current);
  CFileDialog dlg(TRUE, "exe", nullptr, OFN_HIDEREADONLY | OFN_ALLOWMULTISELECT | OFN_EXPLORER,
                  "Programme|*.exe;*.com;*.bat|Alle Dateien (*.*)|*.*||", this);
  // Room for a multiple selection: the folder and every chosen name.
  std::vector<char> names(kProgramNamesSize, '\0');
  lstrcpynA(names.data(), current, MAX_PATH);
  dlg.m_ofn.lpstrFile = names.data();
  dlg.m_ofn.nMaxFile = DWORD(names.size());
  if (dlg.DoModal() != IDOK) return;
  // Several chosen files come as the folder, a NUL and the names: the first one is taken.
  CString path = names.data();
  WORD offset = dlg.m_ofn.nFileOffset;
  if (offset > 0 && offset < names.size() && names[offset - 1] == '\0') {
    PathAddTrailingSeparatorStr(path);
    path += names.data() + offset;
  }
  SetDlgItemText(IDC_EM_PROGRAM, path);
  CheckDlgButton(IDC_EM_SHELL, BST_UNCHECKED);
  CheckDlgButton(IDC_EM_COMMAND, BST_UNCHECKED);
  ApplyCommandState();
}

void CExecMenuDlg::OnFolderBrowse() {
  CString current;
  GetDlgItemText(IDC_EM_FOLDER, current);
  CPathDlg dlg(this);
  dlg.SetPath(current);
  if (dlg.DoModal() == IDOK) SetDlgItemText(IDC_EM_FOLDER, dlg.GetPath());
}

void CExecMenuDlg::ShowPlaceholderMenu(int buttonId, UINT firstId) {
  HMENU menu = CreatePopupMenu();
  if (!menu) return;
  for (int i = 0; i < kPlaceholderCount; ++i) AppendMenuA(menu, MF_STRING, firstId + i, kPlaceholders[i].label);
  RECT rc;
  ::GetWindowRect(::GetDlgItem(m_hWnd, buttonId), &rc);
  // The chosen item arrives as a command of its own (OnPlaceholder).
  TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON, rc.left, rc.top, 0, m_hWnd, nullptr);
  DestroyMenu(menu);
}

void CExecMenuDlg::OnParamMenu() { ShowPlaceholderMenu(IDC_EM_PARAM_MENU, ID_EM_PARAM_PLACEHOLDER); }

void CExecMenuDlg::OnStreamMenu() { ShowPlaceholderMenu(IDC_EM_STREAM_MENU, ID_EM_STREAM_PLACEHOLDER); }

void CExecMenuDlg::OnPlaceholder(UINT nID) {
  bool stream = nID >= ID_EM_STREAM_PLACEHOLDER;
  int item = int(nID - (stream ? ID_EM_STREAM_PLACEHOLDER : ID_EM_PARAM_PLACEHOLDER));
  HWND edit = ::GetDlgItem(m_hWnd, stream ? IDC_EM_STREAM : IDC_EM_PARAM);
  if (!edit || item < 0 || item >= kPlaceholderCount || !::IsWindowEnabled(edit)) return;
  const char* text = kPlaceholders[item].text;
  ::SendMessageA(edit, EM_REPLACESEL, TRUE, (LPARAM)text);
  ::SetFocus(edit);
  DWORD start = 0, end = 0;
  ::SendMessageA(edit, EM_GETSEL, (WPARAM)&start, (LPARAM)&end);
  // "%()" leaves the caret between its parentheses.
  if (text[1] == '(' && end > 0) --end;
  ::SendMessageA(edit, EM_SETSEL, end, end);
}
