// CTextSearchDlg: the dialog of the text search ("Text suchen"). The user enters the text or
// pattern and the options; the dialog keeps the last 16 texts, the options and the number of
// lines of a multi-line match for the whole run and in the registry (subkey "TextSeach"), and
// offers a menu of pattern elements that it inserts at the caret.
#pragma once

// Resource and control ids (also read by the resource script).
#define IDD_TEXTSEARCH 135
#define IDB_PATTERN_BUTTON 142
#define IDC_TS_TEXT 1001
#define IDC_TS_IGNORECASE 1045
#define IDC_TS_MULTILINE 1046
#define IDC_TS_WHOLEWORDS 1047
#define IDC_TS_PATTERN 1048
#define IDC_TS_LINES 1054
#define IDC_TS_PATTERN_MENU 1057
#define IDC_TS_INRESULTS 1068
// Commands of the pattern menu: ID_TS_PATTERN_BASE plus the element's code (1 to 24).
#define ID_TS_PATTERN_BASE 5776

#ifndef RC_INVOKED

#include <windows.h>

#include "framework/Framework.h"

// The pattern menu: every element of the pattern syntax with its command (ID_TS_PATTERN_BASE
// plus its code), in groups. -> the popup (DestroyMenu frees it), or null.
HMENU BuildPatternMenu();
// The pattern element of a menu code (1 to 24), or null for another code.
const char* PatternElementText(int code);
// Inserts the element of code into text at position (bounded to 0..length; a selection is not
// replaced) and writes the result to out. Returns the caret position behind the element, or
// between its delimiters for the codes 17 to 24; -1 (out unchanged) for an unknown code.
int InsertPatternElement(const char* text, int length, int position, int code, CString& out);

class CTextSearchDlg : public CDialog {
public:
    enum { HistoryLimit = 16 };

    explicit CTextSearchDlg(CWnd* pParentWnd = nullptr);
    ~CTextSearchDlg() override;

    // Reads the settings on the first call of the run, sets the check boxes from the options,
    // shows initialText (null: the newest history entry) and runs the dialog. Returns IDOK
    // when the user confirmed a text, else the cancel code.
    INT_PTR DoModalWithText(const char* initialText);
    // The search text after OK.
    const CString& GetText() const { return m_strText; }
    // Copies the text into buffer (at most size - 1 bytes, terminated). Returns its length.
    int CopyText(char* buffer, int size) const;

    // The options (TSO_* bits) and lines of the last confirmed search (kept for the run).
    static DWORD GetFlags();
    static int GetLines();
    // The history, newest first.
    static int GetHistoryCount();
    static const char* GetHistoryAt(int index);
    // Forgets what was read, so that the next opening reads the registry again.
    static void ForgetSettings();

    // Set by the caller before the dialog opens: the result list holds results.
    BOOL m_bResultsExist;

    // Members exchanged with the controls.
    CString m_strText;
    CString m_strLines;
    int m_bIgnoreCase;
    int m_bWholeWords;
    int m_bPattern;
    int m_bMultiLine;
    int m_bInResults;

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    void OnOK() override;
    void OnCancel() override;

    void OnDestroy();
    void OnPatternMenu();
    void OnInsertPattern(UINT nID);
    void OnOptionClicked();

private:
    void UpdateControls();
    void KeepPosition();
    void RestorePosition();
    static void LoadSettings();
    static void SaveSettings();

    DECLARE_MESSAGE_MAP()
};

#endif  // RC_INVOKED
