// Dialogs, modal and modeless, from resource templates or templates built in memory, with data
// exchange between members and controls (texts, numbers, combo texts, check boxes, radio groups).
#pragma once
#include <vector>
#include "framework/Wnd.h"

class CDialog;

// One run of data exchange: m_bSaveAndValidate TRUE reads the controls into the members.
// A failed conversion marks the run failed (the user is told and the control gets the focus);
// later exchanges of the run are skipped.
class CDataExchange {
public:
  CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate) : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}
  BOOL m_bSaveAndValidate;
  CWnd* m_pDlgWnd;
  BOOL m_bFailed = FALSE;
  // The control's window, or NULL (the run then fails: a template without the control is a bug).
  HWND PrepareCtrl(int nIDC);
  // Marks the run failed and shows lpszMessage (when given) over the dialog.
  void Fail(int nIDC, LPCSTR lpszMessage);
};

// Edit or static text.
void DDX_Text(CDataExchange* pDX, int nIDC, CString& value);
// Decimal number with optional sign and blanks around; anything else fails with a German message.
void DDX_Text(CDataExchange* pDX, int nIDC, int& value);
void DDX_Text(CDataExchange* pDX, int nIDC, UINT& value);
void DDX_Text(CDataExchange* pDX, int nIDC, DWORD& value);
// Combo box text: loading sets the edit text (a drop-down list selects the matching entry);
// saving reads the edit text, or the selected entry's text for a drop-down list.
void DDX_CBString(CDataExchange* pDX, int nIDC, CString& value);
// Combo box selection index (-1 none).
void DDX_CBIndex(CDataExchange* pDX, int nIDC, int& index);
// Check box: 0 off, 1 on, 2 indeterminate.
void DDX_Check(CDataExchange* pDX, int nIDC, int& value);
// Radio group starting at nIDC (which must carry WS_GROUP): the index of the checked button in
// tab order, -1 when none is checked. Loading checks button value and clears the others.
void DDX_Radio(CDataExchange* pDX, int nIDC, int& value);
// Subclasses the control once into rControl.
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);

// A dialog template assembled in memory (DLGTEMPLATE with DS_SETFONT). Coordinates are dialog
// units. Texts are 8-bit (ANSI code page) and stored as UTF-16.
class CDialogTemplate {
public:
  CDialogTemplate(LPCSTR lpszCaption, DWORD dwStyle, int x, int y, int cx, int cy,
                  LPCSTR lpszFont = "MS Shell Dlg", WORD wPointSize = 8);
  // lpszClass: a class name, or one of "BUTTON", "EDIT", "STATIC", "LISTBOX", "SCROLLBAR",
  // "COMBOBOX" (stored as their predefined atoms). WS_CHILD | WS_VISIBLE are added.
  void AddItem(LPCSTR lpszClass, LPCSTR lpszText, DWORD dwStyle, int x, int y, int cx, int cy, WORD wID,
               DWORD dwExStyle = 0);
  const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(m_words.data()); }

private:
  void AddString(LPCSTR s);
  void Align();
  std::vector<WORD> m_words;
  size_t m_countOffset;
};

class CDialog : public CWnd {
  DECLARE_DYNAMIC(CDialog)
public:
  CDialog();
  // A dialog on resource template nIDTemplate; pParentWnd NULL means the main window.
  explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
  // A dialog on a template in memory; the template must outlive the dialog's window.
  explicit CDialog(const DLGTEMPLATE* lpTemplate, CWnd* pParentWnd = nullptr);
  ~CDialog() override;

  void SetTemplate(UINT nIDTemplate) { m_nIDTemplate = nIDTemplate; m_lpTemplate = nullptr; }
  void SetTemplate(const DLGTEMPLATE* lpTemplate) { m_lpTemplate = lpTemplate; m_nIDTemplate = 0; }

  // Runs the dialog modally; returns the EndDialog code, or -1 when it could not be created.
  virtual INT_PTR DoModal();
  // Creates the dialog modelessly; FALSE on failure. Close it with DestroyWindow.
  BOOL Create(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
  BOOL CreateIndirect(const DLGTEMPLATE* lpTemplate, CWnd* pParentWnd = nullptr);
  // Ends a modal dialog with any code (a modeless one is hidden; destroy it yourself).
  void EndDialog(INT_PTR nResult);
  BOOL IsModal() const { return m_bModal; }

  // Reads (TRUE) or fills (FALSE) the controls through DoDataExchange; FALSE when a value failed.
  BOOL UpdateData(BOOL bSaveAndValidate = TRUE);
  virtual void DoDataExchange(CDataExchange* pDX) {}

  // Default button (DM_SETDEFID / DM_GETDEFID); 0 when none.
  void SetDefID(UINT nID) { SendMessage(DM_SETDEFID, nID); }
  UINT GetDefID() const;
  void GotoDlgCtrl(CWnd* pWndCtrl);
  void NextDlgCtrl() const { ::SendMessageA(m_hWnd, WM_NEXTDLGCTL, 0, 0); }
  // Converts dialog units to pixels for this dialog's font.
  void MapDialogRect(LPRECT lpRect) const { ::MapDialogRect(m_hWnd, lpRect); }

  // Fills the controls (UpdateData(FALSE)); TRUE lets the system set the focus.
  virtual BOOL OnInitDialog();
  // Reads the controls and ends with IDOK when they are valid.
  virtual void OnOK();
  // Ends with IDCANCEL.
  virtual void OnCancel();

  BOOL PreTranslateMessage(MSG* pMsg) override;

protected:
  BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, FwCmdHandlerInfo* pHandlerInfo) override;
  LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  HWND ParentForDialog() const;
  const DLGTEMPLATE* LoadTemplate() const;

  UINT m_nIDTemplate = 0;
  const DLGTEMPLATE* m_lpTemplate = nullptr;
  CWnd* m_pParentWnd = nullptr;
  BOOL m_bModal = FALSE;

  void OnOKCommand() { OnOK(); }
  void OnCancelCommand() { OnCancel(); }
  DECLARE_MESSAGE_MAP()
};
