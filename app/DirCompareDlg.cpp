// Dialog 144 "Verzeichnisse vergleichen".
#include "app/DirCompareDlg.h"

#include "app/DirCompare.h"
#include "app/Resource.h"
#include "system/Paths.h"
#include "system/RegKeys.h"
#include "toolkit/ControlHelpers.h"
#include "toolkit/DialogPlace.h"
#include "toolkit/PathDlg.h"

namespace {

CDialogPlace g_place;

// The five options with their registry values and defaults.
struct Option {
    int id;
    const char* value;
    DWORD preset;
    BOOL CDirCompareDlg::*member;
};
const Option kOptions[] = {
    {IDC_DC_CHANGED, "ChangeFile", 1, &CDirCompareDlg::m_bChangeFile},
    {IDC_DC_ATTRIBUTES, "ChangeAttrib", 0, &CDirCompareDlg::m_bChangeAttrib},
    {IDC_DC_DELETED, "ChangeDelete", 0, &CDirCompareDlg::m_bChangeDelete},
    {IDC_DC_ADDED, "ChangeInsert", 0, &CDirCompareDlg::m_bChangeInsert},
    {IDC_DC_IGNORE_LINE_ENDS, "IgnoreLinefeeds", 0, &CDirCompareDlg::m_bIgnoreLinefeeds},
};

// The four combo boxes with their histories.
struct History {
    int id;
    const char* value;
    CString CDirCompareDlg::*member;
};
const History kHistories[] = {
    {IDC_DC_PATH, "FindPath", &CDirCompareDlg::m_strPath},
    {IDC_DC_COMPARE_PATH, "FindCmp", &CDirCompareDlg::m_strComparePath},
    {IDC_DC_PLUS, "FilterPlus", &CDirCompareDlg::m_strPlus},
    {IDC_DC_MINUS, "FilterMinus", &CDirCompareDlg::m_strMinus},
};

const int kBrowseButtons[] = {IDC_DC_BROWSE_PATH, IDC_DC_BROWSE_COMPARE};

}  // namespace

BEGIN_MESSAGE_MAP(CDirCompareDlg, CDialog)
    ON_WM_DESTROY()
    ON_BN_CLICKED(IDC_DC_ADDED, OnAddedClicked)
    ON_BN_CLICKED(IDC_DC_BROWSE_PATH, OnBrowsePath)
    ON_BN_CLICKED(IDC_DC_BROWSE_COMPARE, OnBrowseComparePath)
END_MESSAGE_MAP()

CDirCompareDlg::CDirCompareDlg(CWnd* pParent) : CDialog(IDD_DIRCOMPARE, pParent) {}

int CDirCompareDlg::Flags() const
{
    return (m_bChangeFile ? DCF_CHANGED : 0) | (m_bChangeAttrib ? DCF_ATTRIBUTES : 0) |
           (m_bChangeDelete ? DCF_DELETED : 0) | (m_bChangeInsert ? DCF_ADDED : 0) |
           (m_bIgnoreLinefeeds ? DCF_IGNORE_LINE_ENDS : 0);
}

BOOL CDirCompareDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    g_place.Restore(m_hWnd);
    for (int id : kBrowseButtons)
        SetButtonBitmap(::GetDlgItem(m_hWnd, id), IDB_BROWSE_BUTTON);

    CRegKeys reg;
    bool canRead = reg.Open(nullptr, nullptr, 0) != FALSE;
    for (const Option& o : kOptions) {
        DWORD v = o.preset;
        if (canRead)
            reg.QueryValue(&v, sizeof v, o.value, REG_DWORD);
        this->*o.member = v ? TRUE : FALSE;
        CheckDlgButton(o.id, v ? BST_CHECKED : BST_UNCHECKED);
    }

    SubclassControl(::GetDlgItem(m_hWnd, IDC_DC_PATH), ComboDropFileProc);
    SubclassControl(::GetDlgItem(m_hWnd, IDC_DC_COMPARE_PATH), ComboDropFileProc);
    CString presetCompare = m_strComparePath;
    for (const History& h : kHistories)
        LoadComboHistoryStr(m_hWnd, h.id, h.value, nullptr, this->*h.member);

    // A compare path equal to the path would only be refused: offer the newest other one.
    if (!presetCompare.IsEmpty() && PathCompareA(presetCompare, m_strPath) == 0) {
        HWND combo = ::GetDlgItem(m_hWnd, IDC_DC_COMPARE_PATH);
        int count = (int)::SendMessageA(combo, CB_GETCOUNT, 0, 0);
        CString other;
        for (int i = 0; i < count && other.IsEmpty(); ++i) {
            CString entry;
            int n = GetComboBoxEntry(combo, i, entry);
            // An entry too long to be a path is not offered.
            if (n > 0 && n < MAX_PATH && PathCompareA(entry, m_strPath) != 0)
                other = entry;
        }
        if (!other.IsEmpty())
            ::SetWindowTextA(combo, other);
    }
    OnAddedClicked();
    return TRUE;
}

void CDirCompareDlg::OnAddedClicked()
{
    BOOL added = IsDlgButtonChecked(IDC_DC_ADDED) == BST_CHECKED;
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_DC_PLUS), added);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_DC_MINUS), added);
}

void CDirCompareDlg::Browse(int comboId, const char* settings)
{
    CString path;
    GetDlgItemText(comboId, path);
    CPathDlg dlg(this);
    dlg.SetPath(path);
    if (dlg.DoModalEx(settings, 0) == 1)
        ::SetWindowTextA(::GetDlgItem(m_hWnd, comboId), dlg.GetPath());
}

void CDirCompareDlg::OnBrowsePath() { Browse(IDC_DC_PATH, "Path1"); }
void CDirCompareDlg::OnBrowseComparePath() { Browse(IDC_DC_COMPARE_PATH, "Path2"); }

void CDirCompareDlg::OnOK()
{
    g_place.Remember(m_hWnd);
    for (const History& h : kHistories) {
        GetDlgItemText(h.id, this->*h.member);
        // An emptied text is kept as the newest entry: an emptied filter stays empty, here and
        // in the add-files dialog that shares the filter histories.
        SaveComboHistory(m_hWnd, h.id, h.value, nullptr, TRUE);
    }
    for (const Option& o : kOptions)
        this->*o.member = IsDlgButtonChecked(o.id) == BST_CHECKED;
    CRegKeys reg;
    if (reg.Open(nullptr, nullptr, 2)) {
        for (const Option& o : kOptions) {
            DWORD v = this->*o.member ? 1 : 0;
            reg.SetValue(&v, 4, o.value, REG_DWORD);
        }
    }
    EndDialog(IDOK);
}

void CDirCompareDlg::OnCancel()
{
    g_place.Remember(m_hWnd);
    CDialog::OnCancel();
}

void CDirCompareDlg::OnDestroy()
{
    for (int id : kBrowseButtons)
        FreeButtonBitmap(::GetDlgItem(m_hWnd, id));
    CDialog::OnDestroy();
}
