// The dialogs of the three conversions.
#include "app/ConvertDlgs.h"

#include "toolkit/DialogPlace.h"

namespace {

CDialogPlace g_tabsPlace;
CDialogPlace g_asciiAnsiPlace;
CDialogPlace g_lineEndPlace;

}  // namespace

CTabsDlg::CTabsDlg(CWnd* pParent) : CDialog(IDD_TABS, pParent) {}

void CTabsDlg::DoDataExchange(CDataExchange* pDX)
{
    DDX_Text(pDX, IDC_CV_OLD_WIDTH, m_nOldWidth);
    DDX_Text(pDX, IDC_CV_NEW_WIDTH, m_nNewWidth);
    DDX_Check(pDX, IDC_CV_SPACES_TO_TABS, m_bSpacesToTabs);
    DDX_Check(pDX, IDC_CV_ONLY_SPACES, m_bOnlySpaces);
}

BOOL CTabsDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    g_tabsPlace.Restore(m_hWnd);
    return TRUE;
}

void CTabsDlg::OnOK()
{
    g_tabsPlace.Remember(m_hWnd);
    CDialog::OnOK();
}

void CTabsDlg::OnCancel()
{
    g_tabsPlace.Remember(m_hWnd);
    CDialog::OnCancel();
}

CChoiceDlg::CChoiceDlg(UINT nIDTemplate, CDialogPlace& place, CWnd* pParent)
    : CDialog(nIDTemplate, pParent), m_place(place)
{
}

void CChoiceDlg::DoDataExchange(CDataExchange* pDX) { DDX_Radio(pDX, IDC_CV_CHOICE, m_nChoice); }

BOOL CChoiceDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_place.Restore(m_hWnd);
    return TRUE;
}

void CChoiceDlg::OnOK()
{
    m_place.Remember(m_hWnd);
    CDialog::OnOK();
}

void CChoiceDlg::OnCancel()
{
    m_place.Remember(m_hWnd);
    UpdateData(TRUE);
    CDialog::OnCancel();
}

CAsciiAnsiDlg::CAsciiAnsiDlg(CWnd* pParent) : CChoiceDlg(IDD_ASCII_ANSI, g_asciiAnsiPlace, pParent) {}

CLineEndDlg::CLineEndDlg(CWnd* pParent) : CChoiceDlg(IDD_LINE_END, g_lineEndPlace, pParent) {}
