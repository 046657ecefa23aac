// CExecMenuDlg: edits the execution menus ("Menüberabeitung"): creates and deletes menus,
// adds, deletes and moves their entries (program, shell call or command line with
// parameters, folder, standard-input text and window state), inserts placeholders from two
// popup menus, and writes a menu to the registry on OK and when the user switches menus.
#pragma once

#define IDD_EXEC_MENU 152
#define IDC_EM_NEW_MENU 3
#define IDC_EM_NEW_ENTRY 5
#define IDC_EM_DELETE_ENTRY 7
#define IDC_EM_UP 9
#define IDC_EM_DOWN 10
#define IDC_EM_DELETE_MENU 11
#define IDC_EM_MENU 1001
#define IDC_EM_MAXIMIZED 1032
#define IDC_EM_FOLDER_BROWSE 1042
#define IDC_EM_STREAM_MENU 1043
#define IDC_EM_STREAM 1044
#define IDC_EM_SHELL 1045
#define IDC_EM_NOWAIT 1046
#define IDC_EM_USEPATH 1047
#define IDC_EM_COMMAND 1048
#define IDC_EM_HIDDEN 1049
#define IDC_EM_NORMAL 1050
#define IDC_EM_PROGRAM_BROWSE 1051
#define IDC_EM_MINIMIZED 1053
#define IDC_EM_PROGRAM 1054
#define IDC_EM_FOLDER 1055
#define IDC_EM_PARAM 1056
#define IDC_EM_PARAM_MENU 1057
#define IDC_EM_ENTRIES 1070
// Commands of the placeholder menus: the parameter menu's items, then the stream menu's.
#define ID_EM_PARAM_PLACEHOLDER 4352
#define ID_EM_STREAM_PLACEHOLDER 4608

#ifndef RC_INVOKED

#include <vector>

#include "app/ExecMenuStore.h"
#include "framework/Framework.h"
#include "system/StrList.h"
#include "toolkit/DialogPlace.h"

class CExecMenuDlg : public CDialog {
public:
  explicit CExecMenuDlg(CWnd* pParentWnd = nullptr);

  // One entry as the dialog edits it: a shell call keeps its verb as the program text.
  struct Record {
    int shell = 0, noWait = 0, usePath = 0, command = 0;
    CString program, param, dir, stream;
    int show = 1;
  };
  static Record RecordFromEntry(const ExecEntry& entry);
  static ExecEntry EntryFromRecord(const Record& record);

protected:
  BOOL OnInitDialog() override;
  void DoDataExchange(CDataExchange* pDX) override;
  void OnOK() override;
  void OnCancel() override;

  void OnDestroy();
  void OnNewMenu();
  void OnDeleteMenu();
  void OnNewEntry();
  void OnDeleteEntry();
  void OnUp();
  void OnDown();
  void OnProgramBrowse();
  void OnFolderBrowse();
  void OnParamMenu();
  void OnStreamMenu();
  void OnPlaceholder(UINT nID);
  void OnEntrySelChange();
  void OnMenuSelChange();
  void OnCommandClicked();

private:
  void LoadMenuNames();
  // Shows menu index (-1 none); stored false starts it empty (a new menu, not saved yet).
  void LoadMenu(int index, bool stored = true);
  void SaveMenu();
  // Stores the controls into the selected entry, then selects entry k (-1: none).
  void SelectEntry(int k);
  void StoreCurrent() { SelectEntry(m_nSel); }
  void ApplyCommandState();
  void EnableEntryControls();
  void ShowPlaceholderMenu(int buttonId, UINT firstId);
  void SetLine(int index, const char* text);
  void MoveLine(int from, int to);

  static CDialogPlace s_place;
  CStrList m_names;            // as stored, '&' included
  int m_nMenu = -1;            // the loaded menu
  std::vector<Record> m_records;
  int m_nSel = -1;             // the selected entry

  // Exchanged with the controls.
  int m_bShell = 0, m_bNoWait = 0, m_bUsePath = 0, m_bCommand = 0;
  CString m_strProgram, m_strParam, m_strFolder, m_strStream;
  int m_nShow = 1;

  DECLARE_MESSAGE_MAP()
};

#endif  // RC_INVOKED
