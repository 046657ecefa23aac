// Dialog 144 "Verzeichnisse vergleichen": the folder of the listed files, the folder to
// compare it with, the filters for files found only there, and what to report. Histories and
// options live in the application's key.
#pragma once

#define IDD_DIRCOMPARE 144
#define IDC_DC_PATH 1001
#define IDC_DC_PLUS 1002
#define IDC_DC_MINUS 1003
#define IDC_DC_COMPARE_PATH 1004
#define IDC_DC_BROWSE_PATH 1030
#define IDC_DC_BROWSE_COMPARE 1031
#define IDC_DC_CHANGED 1045
#define IDC_DC_ATTRIBUTES 1046
#define IDC_DC_DELETED 1047
#define IDC_DC_ADDED 1048
#define IDC_DC_IGNORE_LINE_ENDS 1068

#ifndef RC_INVOKED

#include "framework/Framework.h"

class CDirCompareDlg : public CDialog {
public:
    explicit CDirCompareDlg(CWnd* pParent = nullptr);

    // In: the preset folders. Out after OK: every value.
    CString m_strPath;
    CString m_strComparePath;
    CString m_strPlus;
    CString m_strMinus;
    BOOL m_bChangeFile = TRUE;
    BOOL m_bChangeAttrib = FALSE;
    BOOL m_bChangeDelete = FALSE;
    BOOL m_bChangeInsert = FALSE;
    BOOL m_bIgnoreLinefeeds = FALSE;

    // The job's flag word (DCF_*) of the options.
    int Flags() const;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void OnDestroy();
    void OnAddedClicked();
    void OnBrowsePath();
    void OnBrowseComparePath();

private:
    void Browse(int comboId, const char* settings);

    DECLARE_MESSAGE_MAP()
};

#endif  // RC_INVOKED
