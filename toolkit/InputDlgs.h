// Small input dialogs on templates of their own: one line of text (CTextDlg), a number
// (CValueDlg) and a choice from a drop-down list (CComboDlg).
#pragma once
#include <vector>
#include "framework/Framework.h"

// Base of the three: caption, prompt above one input control, OK and "Abbrechen".
class CInputDlgBase : public CDialog {
public:
  void SetTitle(LPCSTR lpszTitle) { m_strTitle = lpszTitle; }
  void SetPrompt(LPCSTR lpszPrompt) { m_strPrompt = lpszPrompt; }
  // IDOK or IDCANCEL (-1 when the dialog could not be opened).
  INT_PTR DoModal() override;

protected:
  CInputDlgBase(CWnd* pParent, LPCSTR lpszClass, DWORD dwInputStyle);
  BOOL OnInitDialog() override;
  // Widens the dialog so that a long prompt shows whole on its line.
  void FitPrompt();
  enum { IDC_INPUT_PROMPT = 1000, IDC_INPUT = 1001 };
  CString m_strTitle;
  CString m_strPrompt;
  CString m_strClass;
  DWORD m_dwInputStyle;
  CDialogTemplate* m_pTemplate = nullptr;

public:
  ~CInputDlgBase() override { delete m_pTemplate; }
};

// One line of text; m_strText holds it before and after.
class CTextDlg : public CInputDlgBase {
public:
  explicit CTextDlg(CWnd* pParent = nullptr);
  void SetText(LPCSTR lpszText) { m_strText = lpszText; }
  const CString& GetText() const { return m_strText; }
  CString m_strText;

protected:
  void DoDataExchange(CDataExchange* pDX) override;
};

// A whole number: decimal with an optional '-', or with the prefixes 0x, 0b, 0o, 0d.
class CValueDlg : public CInputDlgBase {
public:
  explicit CValueDlg(CWnd* pParent = nullptr);
  // The value and its printf-style display format (NULL: "%d").
  void SetValue(int nValue, LPCSTR lpszFormat = nullptr);
  int GetValue() const { return m_nValue; }

protected:
  BOOL OnInitDialog() override;
  void OnOK() override;
  int m_nValue = 0;
  CString m_strFormat = "%d";
};

// A choice from a drop-down list of texts, each with a data word.
class CComboDlg : public CInputDlgBase {
public:
  explicit CComboDlg(CWnd* pParent = nullptr);
  ~CComboDlg() override;
  // Appends a text; returns its index.
  int AddItem(LPCSTR lpszText, DWORD_PTR dwData = 0);
  // FALSE for a bad index.
  BOOL SetItemData(int nIndex, DWORD_PTR dwData);
  // Selects the entry with exactly this text (flag 0; 1 ignores ASCII case) and returns its
  // index, -1 when there is none (the selection is then unchanged).
  int FindItem(LPCSTR lpszText, int nFlags = 0);
  void RemoveAll();
  int GetCount() const { return (int)m_items.size(); }
  // After OK: the chosen entry's text, index (-1 none) and data word (0 none).
  CString GetText() const;
  int GetCurSel() const { return m_nSel; }
  DWORD_PTR GetItemData(int nIndex = -2) const;

protected:
  BOOL OnInitDialog() override;
  void OnOK() override;
  struct Item {
    CString text;
    DWORD_PTR data;
  };
  std::vector<Item> m_items;
  int m_nSel = -1;
};
