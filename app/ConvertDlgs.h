// The dialogs of the three conversions: dialog 148 "Tabs konvertieren" (old and new tab width,
// blanks to tabs, blanks only), dialog 134 "ASCII ANSI Konvertierung" (direction) and dialog
// 143 "Carriage-Return Konverter" (line-end style). Each starts from its presets at every
// opening and keeps its screen position for the run of the program.
#pragma once

#define IDD_ASCII_ANSI 134
#define IDD_LINE_END 143
#define IDD_TABS 148
#define IDC_CV_SPACES_TO_TABS 1045
#define IDC_CV_ONLY_SPACES 1046
#define IDC_CV_CHOICE 1049
#define IDC_CV_CHOICE2 1050
#define IDC_CV_OLD_WIDTH 1054
#define IDC_CV_NEW_WIDTH 1056

#ifndef RC_INVOKED

#include "framework/Framework.h"

class CDialogPlace;

class CTabsDlg : public CDialog {
public:
    explicit CTabsDlg(CWnd* pParent = nullptr);

    int m_nOldWidth = 8;
    int m_nNewWidth = 4;
    int m_bSpacesToTabs = 0;
    int m_bOnlySpaces = 0;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
};

// A choice between two radio buttons (index 0 or 1 in m_nChoice).
class CChoiceDlg : public CDialog {
public:
    int m_nChoice = 0;

protected:
    CChoiceDlg(UINT nIDTemplate, CDialogPlace& place, CWnd* pParent);
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    // Both buttons read the controls and keep the position.
    void OnOK() override;
    void OnCancel() override;

private:
    CDialogPlace& m_place;
};

// m_nChoice 0 "ASCII zu ANSI", 1 "ANSI zu ASCII".
class CAsciiAnsiDlg : public CChoiceDlg {
public:
    explicit CAsciiAnsiDlg(CWnd* pParent = nullptr);
};

// m_nChoice 0 "Mit Carriage-Return (Windows)", 1 "Ohne Carriage-Return (Linux)".
class CLineEndDlg : public CChoiceDlg {
public:
    explicit CLineEndDlg(CWnd* pParent = nullptr);
};

#endif  // RC_INVOKED
