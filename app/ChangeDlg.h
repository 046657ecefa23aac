// The dialogs of the change command: CChangeDlg ("Ändern") asks what to write, by which mode
// and offset, with histories of both texts and a menu of pattern tokens for the offset;
// CChangeQueryDlg ("Textänderung") shows one found entry old and new before it is changed.
#pragma once

#define IDD_CHANGE 131
#define IDD_CHANGE_QUERY 146
#define IDC_CH_TEXT 1001
#define IDC_CH_OFFSET 1002
#define IDC_CH_TEXT_LABEL 1033
#define IDC_CH_OFFSET_LABEL 1038
#define IDC_CH_SPECIAL 1045
#define IDC_CH_MODE_REPLACE 1049
#define IDC_CH_MODE_UPTO 1050
#define IDC_CH_MODE_FROM 1032
#define IDC_CH_MODE_UPTO_TEXT 1053
#define IDC_CH_MODE_FROM_TEXT 1052
#define IDC_CH_TOKEN_MENU 1057
#define IDC_CH_OLD_FRAME 1036
#define IDC_CH_NEW_FRAME 1037
#define IDC_CH_OLD_LINE 6021
#define IDC_CH_NEW_LINE 6022
// Commands of the token menu: ID_CH_TOKEN_BASE plus the token's number (1 to 18).
#define ID_CH_TOKEN_BASE 5776

#ifndef RC_INVOKED

#include "framework/Framework.h"
#include "system/StrList.h"
#include "toolkit/ColorListBox.h"

class CChangeDlg : public CDialog {
public:
    enum { HistoryLimit = 16 };

    explicit CChangeDlg(CWnd* pParent = nullptr);

    // Set before the dialog opens: the results are value-search results.
    BOOL m_bValueMode = FALSE;
    // After OK: the texts, options and numbers.
    CString m_strChange;
    CString m_strOffset;
    int m_bSpecialChars = 0;
    int m_nChangeMode = 0;       // CHANGE_*
    int m_nOffsetLength = 0;     // bytes of the offset text
    int m_nOffset = 0;           // the offset text as a signed number
    int m_bSingleMode = 0;       // closed with "Mit Abfrage"
    CStrList m_changeHistory;
    CStrList m_offsetHistory;

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    void OnOK() override;
    void OnCancel() override;
    void OnWithQuery();
    void OnModeClicked();
    void OnTokenMenu();
    void OnInsertToken(UINT nID);
    void UpdateControls();
    void LoadSettings();
    void SaveSettings();

    DECLARE_MESSAGE_MAP()
};

class CChangeQueryDlg : public CDialog {
public:
    explicit CChangeQueryDlg(CWnd* pParent = nullptr);

    // Line 0 the old text, 1 the new: context before, kept prefix, changed part, kept suffix,
    // context after, each as pointer and length.
    void SetLineText(int line, const void* before, int beforeLength, const void* prefix, int prefixLength,
                     const void* changed, int changedLength, const void* suffix, int suffixLength,
                     const void* after, int afterLength);

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void OnAnswer(UINT nID);

    enum { LineSize = 1024 };
    CColorListBox m_lines[2];
    char m_text[2][LineSize];
    unsigned char m_colors[2][LineSize];
    int m_length[2] = {0, 0};

    DECLARE_MESSAGE_MAP()
};

#endif  // RC_INVOKED
