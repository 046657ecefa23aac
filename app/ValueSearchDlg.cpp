// The value search dialog: input, kinds, widths, options, the group list and the registry.
#include "app/ValueSearchDlg.h"

#include <cstring>
#include <string>
#include <vector>

#include "app/MultiString.h"
#include "system/RegKeys.h"
#include "text/Numbers.h"

namespace {

const char kKey[] = "HexSeach";
const int kMaxTerms = HEXSEARCH_MAX_TERMS;
const int kHistoryLimit = 16;
// Dialog size in dialog units: with and without the group part.
const int kWidthDlu = 297;
const int kHeightGroupDlu = 235;
const int kHeightPlainDlu = 138;

// The prefix a new input of each kind starts with.
const char* KindPrefix(int nKind)
{
    switch (nKind) {
    case VALUE_HEX: return "0x";
    case VALUE_BIN: return "0b";
    case VALUE_OCT: return "0o";
    case VALUE_TEXT: return "\"";
    case VALUE_DUMP: case VALUE_MASK: return ":";
    default: return "";
    }
}

CString ListText(HWND hList, int nIndex)
{
    CString s;
    GetListBoxEntry(hList, nIndex, s);
    return s;
}

}  // namespace

int CValueSearchDlg::s_nWidth = WIDTH_DWORD;
CDialogPlace CValueSearchDlg::s_place;

BEGIN_MESSAGE_MAP(CValueSearchDlg, CDialog)
    ON_CBN_EDITCHANGE(IDC_VS_INPUT, OnInputEdited)
    ON_CBN_SELCHANGE(IDC_VS_INPUT, OnInputSelected)
    ON_CONTROL_RANGE(BN_CLICKED, IDC_VS_DEC, IDC_VS_VARIABLE, OnKindChanged)
    ON_CONTROL_RANGE(BN_CLICKED, IDC_VS_MASK, IDC_VS_MASK, OnKindChanged)
    ON_CONTROL_RANGE(BN_CLICKED, IDC_VS_NOCASE, IDC_VS_SELECTION, OnOptionClicked)
    ON_CONTROL_RANGE(BN_CLICKED, IDC_VS_UP, IDC_VS_DOWN, OnOptionClicked)
    ON_CONTROL_RANGE(BN_CLICKED, IDC_VS_ORDER, IDC_VS_FROMSTART, OnOptionClicked)
    ON_CONTROL_RANGE(BN_CLICKED, IDC_VS_UNICODE, IDC_VS_MOTOROLA, OnOptionClicked)
    ON_BN_CLICKED(IDC_VS_GROUP, OnGroupClicked)
    ON_BN_CLICKED(IDC_VS_ADD, OnAdd)
    ON_BN_CLICKED(IDC_VS_DELETE, OnDelete)
    ON_BN_CLICKED(IDC_VS_DELETEALL, OnDeleteAll)
    ON_BN_CLICKED(IDC_VS_MOVEUP, OnMoveUp)
    ON_BN_CLICKED(IDC_VS_MOVEDOWN, OnMoveDown)
    ON_BN_CLICKED(IDC_VS_CONTINUE, OnContinue)
    ON_LBN_DBLCLK(IDC_VS_TERMS, OnEditTerm)
    ON_LBN_SELCHANGE(IDC_VS_TERMS, OnTermsSelChange)
END_MESSAGE_MAP()

CValueSearchDlg::CValueSearchDlg(CWnd* pParentWnd)
    : CDialog(IDD_VALUESEARCH, pParentWnd), m_nKind(VALUE_DEC), m_nWidth(s_nWidth), m_nDirection(1),
      m_nDistance(1000), m_bSelection(0), m_bWhole(1), m_bNoCase(0), m_bGroup(0), m_bOrder(0), m_bFromStart(1),
      m_bUnicode(0), m_bMotorola(0), m_dwFlagsIn(0), m_ppHistory(nullptr), m_pGroupListIn(nullptr),
      m_pGroupListOut(nullptr), m_pGroupStringOut(nullptr), m_nInitialKind(VALUE_NONE), m_bInputDirty(false),
      m_bSettingText(false), m_nShownGroup(-1)
{
}

CValueSearchDlg::~CValueSearchDlg()
{
    MultiStrFree(&m_pGroupListOut);
    MultiStrFree(&m_pGroupStringOut);
}

// ----- running --------------------------------------------------------------------------------

INT_PTR CValueSearchDlg::Run(DWORD* pdwFlags, char** ppHistory, void* pReserved, char** ppGroupString,
                             char** ppGroupList, const char* pszInitial)
{
    DWORD dwFlags = pdwFlags ? *pdwFlags : 0;
    m_dwFlagsIn = dwFlags;
    m_bGroup = (dwFlags & VSO_GROUP) != 0;
    m_bOrder = (dwFlags & VSO_ORDER) != 0;
    m_bNoCase = (dwFlags & VSO_NOCASE) != 0;
    m_bUnicode = (dwFlags & VSO_UNICODE) != 0;
    m_bMotorola = (dwFlags & VSO_MOTOROLA) != 0;
    m_nDirection = (dwFlags & VSO_UP) ? 0 : 1;
    m_bSelection = 0;
    m_bWhole = 1;
    m_bFromStart = 1;
    m_nWidth = s_nWidth;

    m_ppHistory = ppHistory;
    m_pGroupListIn = ppGroupList ? *ppGroupList : nullptr;
    MultiStrFree(&m_pGroupListOut);
    MultiStrFree(&m_pGroupStringOut);

    const char* pszStart = pszInitial;
    if (!pszStart && ppHistory)
        pszStart = MultiStrGetAt(*ppHistory, 0);
    m_strInput = pszStart ? pszStart : "";
    m_nInitialKind = GetValueKind(m_strInput);
    m_nKind = m_nInitialKind >= VALUE_DEC ? m_nInitialKind : VALUE_DEC;
    if (m_nKind >= VALUE_TEXT)
        m_nWidth = WIDTH_VARIABLE;
    m_strEdited.Empty();
    m_bInputDirty = false;
    m_nShownGroup = -1;

    INT_PTR nResult = DoModal();
    if (nResult == IDOK || nResult == VSD_CONTINUE) {
        if (pdwFlags)
            *pdwFlags = OptionWord();
        if (ppGroupString) {
            MultiStrFree(ppGroupString);
            *ppGroupString = m_pGroupStringOut;
            m_pGroupStringOut = nullptr;
        }
        if (ppGroupList) {
            MultiStrFree(ppGroupList);
            *ppGroupList = m_pGroupListOut;
            m_pGroupListOut = nullptr;
        }
    }
    m_ppHistory = nullptr;
    m_pGroupListIn = nullptr;
    return nResult;
}

DWORD CValueSearchDlg::OptionWord() const
{
    DWORD dw = 0;
    if (m_nDirection == 0)
        dw |= VSO_UP;
    if (m_bSelection)
        dw |= VSO_SELECTION;
    if (m_bWhole)
        dw |= VSO_WHOLE;
    if (m_bNoCase)
        dw |= VSO_NOCASE;
    if (m_bGroup)
        dw |= VSO_GROUP;
    if (m_bOrder)
        dw |= VSO_ORDER;
    if (m_bFromStart)
        dw |= VSO_FROMSTART;
    if (m_bUnicode)
        dw |= VSO_UNICODE;
    if (m_bMotorola)
        dw |= VSO_MOTOROLA;
    return dw;
}

int CValueSearchDlg::BuildTerm(char* pszLine, int nSize) const
{
    return ::BuildTerm(m_strInput, m_nKind, m_nWidth, OptionWord(), m_nInitialKind, pszLine, nSize);
}

// ----- opening and exchange -------------------------------------------------------------------

BOOL CValueSearchDlg::OnInitDialog()
{
    s_place.Restore(m_hWnd);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_VS_SELECTION), (m_dwFlagsIn & VSO_SELECTION_OK) != 0);

    HWND hCombo = ::GetDlgItem(m_hWnd, IDC_VS_INPUT);
    if (m_ppHistory) {
        for (int i = 0; const char* psz = MultiStrGetAt(*m_ppHistory, i); ++i)
            ::SendMessageA(hCombo, CB_ADDSTRING, 0, (LPARAM)psz);
    }
    HWND hList = ::GetDlgItem(m_hWnd, IDC_VS_TERMS);
    if (m_pGroupListIn && *m_pGroupListIn) {
        int nDistance = StrToInt(m_pGroupListIn, STI_NO_BLANKS | STI_NO_SIGN, nullptr);
        m_nDistance = nDistance < 1 ? 1000 : nDistance;
        for (int i = 1; i <= kMaxTerms; ++i) {
            const char* psz = MultiStrGetAt(m_pGroupListIn, i);
            if (!psz)
                break;
            ::SendMessageA(hList, LB_ADDSTRING, 0, (LPARAM)psz);
        }
    }
    CDialog::OnInitDialog();
    UpdateControls();
    return TRUE;
}

void CValueSearchDlg::DoDataExchange(CDataExchange* pDX)
{
    ExchangeState(pDX);
    DDX_Text(pDX, IDC_VS_DISTANCE, m_nDistance);
}

void CValueSearchDlg::ExchangeState(CDataExchange* pDX)
{
    if (pDX->m_bSaveAndValidate) {
        if (m_bInputDirty) {
            CString s;
            CWnd::FromHandle(::GetDlgItem(m_hWnd, IDC_VS_INPUT))->GetWindowText(s);
            m_strInput = s;
            m_strEdited = s;
            // An empty text keeps the kind.
            int nKind = GetValueKind(s);
            if (nKind != VALUE_NONE)
                m_nKind = nKind;
            m_bInputDirty = false;
        }
    } else {
        // Only a new text is written: writing back the text being typed would put the caret
        // before it, so the next key would land at the start.
        CString shown;
        CWnd::FromHandle(::GetDlgItem(m_hWnd, IDC_VS_INPUT))->GetWindowText(shown);
        if (shown != m_strInput)
            SetInputText(m_strInput);
        m_bInputDirty = false;
    }
    DDX_Check(pDX, IDC_VS_NOCASE, m_bNoCase);
    DDX_Check(pDX, IDC_VS_WHOLE, m_bWhole);
    DDX_Check(pDX, IDC_VS_SELECTION, m_bSelection);
    DDX_Check(pDX, IDC_VS_GROUP, m_bGroup);
    DDX_Check(pDX, IDC_VS_ORDER, m_bOrder);
    DDX_Check(pDX, IDC_VS_FROMSTART, m_bFromStart);
    DDX_Check(pDX, IDC_VS_UNICODE, m_bUnicode);
    DDX_Check(pDX, IDC_VS_MOTOROLA, m_bMotorola);
    DDX_Radio(pDX, IDC_VS_UP, m_nDirection);
    // The kinds' radio group runs 1058..1063, then 1076, in tab order: the index is the kind.
    // Reading it after the input keeps a clicked kind over the one the text suggests.
    if (pDX->m_bSaveAndValidate) {
        int nKind = m_nKind;
        DDX_Radio(pDX, IDC_VS_DEC, nKind);
        if (nKind >= VALUE_DEC)
            m_nKind = nKind;
    } else {
        DDX_Radio(pDX, IDC_VS_DEC, m_nKind);
    }
    DDX_Radio(pDX, IDC_VS_BYTE, m_nWidth);
}

void CValueSearchDlg::ReadState()
{
    CDataExchange dx(this, TRUE);
    ExchangeState(&dx);
}

void CValueSearchDlg::ShowState()
{
    CDataExchange dx(this, FALSE);
    ExchangeState(&dx);
}

void CValueSearchDlg::UpdateControls()
{
    auto enable = [this](int nID, bool bOn) { ::EnableWindow(::GetDlgItem(m_hWnd, nID), bOn); };
    enable(IDC_VS_NOCASE, m_nWidth == WIDTH_VARIABLE);
    enable(IDC_VS_UNICODE, m_nKind == VALUE_TEXT);
    enable(IDC_VS_MOTOROLA, m_nKind >= VALUE_DEC && m_nKind <= VALUE_OCT &&
                                (m_nWidth == WIDTH_WORD || m_nWidth == WIDTH_DWORD));
    HWND hList = ::GetDlgItem(m_hWnd, IDC_VS_TERMS);
    int nCount = (int)::SendMessageA(hList, LB_GETCOUNT, 0, 0);
    int nSelected = (int)::SendMessageA(hList, LB_GETSELCOUNT, 0, 0);
    bool bGroup = m_bGroup != 0;
    enable(IDC_VS_ADD, bGroup && !m_strEdited.IsEmpty() && nCount < kMaxTerms);
    enable(IDC_VS_DELETE, bGroup && nSelected > 0);
    enable(IDC_VS_DELETEALL, bGroup && nCount > 0);
    enable(IDC_VS_MOVEUP, bGroup && nCount > 1);
    enable(IDC_VS_MOVEDOWN, bGroup && nCount > 1);
    if (m_nShownGroup != (int)bGroup)
        ApplyGroupMode();
}

void CValueSearchDlg::ApplyGroupMode()
{
    bool bGroup = m_bGroup != 0;
    m_nShownGroup = bGroup;
    for (int nID : {IDC_VS_TERMS, IDC_VS_DISTANCE, IDC_VS_ORDER})
        ::EnableWindow(::GetDlgItem(m_hWnd, nID), bGroup);
    RECT rc = {0, 0, kWidthDlu, bGroup ? kHeightGroupDlu : kHeightPlainDlu};
    ::MapDialogRect(m_hWnd, &rc);
    ::AdjustWindowRectEx(&rc, GetStyle(), FALSE, GetExStyle());
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, rc.right - rc.left, rc.bottom - rc.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // The default button: Enter adds a term in group mode and searches otherwise.
    UINT nOld = bGroup ? IDOK : IDC_VS_ADD;
    UINT nNew = bGroup ? IDC_VS_ADD : IDOK;
    ::SendMessageA(::GetDlgItem(m_hWnd, nOld), BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    SetDefID(nNew);
    ::SendMessageA(::GetDlgItem(m_hWnd, nNew), BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
}

// ----- input, kinds and options ---------------------------------------------------------------

void CValueSearchDlg::OnInputEdited()
{
    if (m_bSettingText)
        return;
    // Re-detects the kind from the text (the radios follow it).
    CString s;
    CWnd::FromHandle(::GetDlgItem(m_hWnd, IDC_VS_INPUT))->GetWindowText(s);
    m_strInput = s;
    m_strEdited = s;
    int nKind = GetValueKind(s);
    if (nKind != VALUE_NONE)
        m_nKind = nKind;
    m_bInputDirty = false;
    ReadState();
    if (nKind != VALUE_NONE)
        m_nKind = nKind;
    if (m_nKind >= VALUE_TEXT)
        m_nWidth = WIDTH_VARIABLE;
    ShowState();
    UpdateControls();
}

void CValueSearchDlg::OnInputSelected()
{
    HWND hCombo = ::GetDlgItem(m_hWnd, IDC_VS_INPUT);
    int nSel = (int)::SendMessageA(hCombo, CB_GETCURSEL, 0, 0);
    if (nSel < 0)
        return;
    CString s;
    if (GetComboBoxEntry(hCombo, nSel, s) < 0)
        CWnd::FromHandle(hCombo)->GetWindowText(s);
    // The edit part shows the entry only after this notification: set it now.
    SetInputText(s);
    m_bInputDirty = true;
    OnInputEdited();
}

void CValueSearchDlg::SetInputText(const char* psz)
{
    // The combo box may report a programmatic change as an edit: that is no user edit.
    m_bSettingText = true;
    ::SetWindowTextA(::GetDlgItem(m_hWnd, IDC_VS_INPUT), psz);
    m_bSettingText = false;
    m_bInputDirty = false;
}

void CValueSearchDlg::ConvertInput(int nOldWidth)
{
    BYTE ab[2 * VALUE_MAX_BYTES];
    int n = ParseValue(m_strInput, ab, ValueWidthSize(nOldWidth));
    if (n <= 0) {
        m_strInput = KindPrefix(m_nKind);
    } else {
        // The same value in the new kind: a mask's value half, or full masks for a new mask.
        bool bWasMask = GetValueKind(m_strInput) == VALUE_MASK;
        if (bWasMask && m_nKind != VALUE_MASK) {
            n /= 2;
        } else if (!bWasMask && m_nKind == VALUE_MASK) {
            memset(ab + n, 0xFF, n);
            n *= 2;
        }
        std::vector<char> text(VALUE_TEXT_SIZE);
        int nLen = FormatValue(ab, n, text.data(), VALUE_TEXT_SIZE, m_nKind);
        m_strInput = CString(text.data(), nLen);
        if (m_nKind == VALUE_MASK && GetValueKind(m_strInput) != VALUE_MASK) {
            // Full masks print as a plain dump: spell the masks out so the text reads as masked.
            int nHalf = n / 2;
            std::vector<char> masks(4 * nHalf + 2);
            int nMask = HexDumpFormat(ab + nHalf, masks.data(), nHalf, 0x20002000);
            m_strInput.Append(masks.data(), nMask);
        }
    }
    SetInputText(m_strInput);
}

void CValueSearchDlg::OnKindChanged(UINT nID)
{
    int nOldWidth = m_nWidth;
    ReadState();
    if (m_nKind >= VALUE_TEXT)
        m_nWidth = WIDTH_VARIABLE;
    if (GetValueKind(m_strInput) != m_nKind || m_nWidth != nOldWidth)
        ConvertInput(nOldWidth);
    ShowState();
    UpdateControls();
}

void CValueSearchDlg::OnOptionClicked(UINT nID)
{
    // "Nur im markierten Bereich suchen" and "Vom Anfang suchen" exclude each other.
    if (nID == IDC_VS_SELECTION && IsDlgButtonChecked(IDC_VS_SELECTION))
        CheckDlgButton(IDC_VS_FROMSTART, BST_UNCHECKED);
    else if (nID == IDC_VS_FROMSTART && IsDlgButtonChecked(IDC_VS_FROMSTART))
        CheckDlgButton(IDC_VS_SELECTION, BST_UNCHECKED);
    ReadState();
    UpdateControls();
}

void CValueSearchDlg::OnGroupClicked()
{
    ReadState();
    UpdateControls();
}

// ----- the group list -------------------------------------------------------------------------

void CValueSearchDlg::PromoteHistory(const char* psz)
{
    if (!psz || !*psz || !m_ppHistory)
        return;
    std::string s(psz);   // psz may lie in the history itself
    MultiStrPromote(m_ppHistory, s.c_str(), kHistoryLimit);
    HWND hCombo = ::GetDlgItem(m_hWnd, IDC_VS_INPUT);
    if (hCombo) {
        int nFound = (int)::SendMessageA(hCombo, CB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)s.c_str());
        // CB_FINDSTRINGEXACT ignores case: only drop an entry that is really equal.
        CString found;
        if (nFound >= 0 && GetComboBoxEntry(hCombo, nFound, found) >= 0 && s == (LPCSTR)found)
            ::SendMessageA(hCombo, CB_DELETESTRING, nFound, 0);
        ::SendMessageA(hCombo, CB_INSERTSTRING, 0, (LPARAM)s.c_str());
        while ((int)::SendMessageA(hCombo, CB_GETCOUNT, 0, 0) > kHistoryLimit)
            ::SendMessageA(hCombo, CB_DELETESTRING, kHistoryLimit, 0);
        SetInputText(m_strInput);
    }
}

void CValueSearchDlg::OnAdd()
{
    ReadState();
    HWND hList = ::GetDlgItem(m_hWnd, IDC_VS_TERMS);
    if ((int)::SendMessageA(hList, LB_GETCOUNT, 0, 0) >= kMaxTerms)
        return;
    std::vector<char> line(VALUE_TERM_SIZE);
    if (BuildTerm(line.data(), VALUE_TERM_SIZE) <= 0) {
        MessageBeep(MB_ICONASTERISK);
        return;
    }
    PromoteHistory(m_strInput);
    int i = (int)::SendMessageA(hList, LB_ADDSTRING, 0, (LPARAM)line.data());
    if (i >= 0)
        ::SendMessageA(hList, LB_SETCARETINDEX, i, FALSE);
    UpdateControls();
}

void CValueSearchDlg::OnDelete()
{
    HWND hList = ::GetDlgItem(m_hWnd, IDC_VS_TERMS);
    for (int i = (int)::SendMessageA(hList, LB_GETCOUNT, 0, 0) - 1; i >= 0; --i) {
        if (::SendMessageA(hList, LB_GETSEL, i, 0) > 0)
            ::SendMessageA(hList, LB_DELETESTRING, i, 0);
    }
    UpdateControls();
}

void CValueSearchDlg::OnDeleteAll()
{
    ::SendMessageA(::GetDlgItem(m_hWnd, IDC_VS_TERMS), LB_RESETCONTENT, 0, 0);
    UpdateControls();
}

void CValueSearchDlg::MoveTerm(int nStep)
{
    HWND hList = ::GetDlgItem(m_hWnd, IDC_VS_TERMS);
    int nCount = (int)::SendMessageA(hList, LB_GETCOUNT, 0, 0);
    int nCaret = (int)::SendMessageA(hList, LB_GETCARETINDEX, 0, 0);
    if (nCount < 2 || nCaret < 0 || nCaret >= nCount)
        return;
    // The first moves up to the end, the last down to the front.
    int nTo = (nCaret + nStep + nCount) % nCount;
    CString s = ListText(hList, nCaret);
    ::SendMessageA(hList, LB_DELETESTRING, nCaret, 0);
    ::SendMessageA(hList, LB_INSERTSTRING, nTo, (LPARAM)(const char*)s);
    ::SendMessageA(hList, LB_SETSEL, FALSE, -1);
    ::SendMessageA(hList, LB_SETSEL, TRUE, nTo);
    ::SendMessageA(hList, LB_SETCARETINDEX, nTo, FALSE);
    UpdateControls();
}

void CValueSearchDlg::OnMoveUp()
{
    MoveTerm(-1);
}

void CValueSearchDlg::OnMoveDown()
{
    MoveTerm(1);
}

void CValueSearchDlg::OnEditTerm()
{
    HWND hList = ::GetDlgItem(m_hWnd, IDC_VS_TERMS);
    int nCaret = (int)::SendMessageA(hList, LB_GETCARETINDEX, 0, 0);
    if (nCaret < 0 || nCaret >= (int)::SendMessageA(hList, LB_GETCOUNT, 0, 0))
        return;
    ReadState();
    CString s = ListText(hList, nCaret);
    ValueTermInput edit;
    if (!ReadTermInput(s, &edit))
        return;
    m_strInput = edit.szInput;
    m_strEdited = m_strInput;
    m_nKind = edit.nKind;
    m_nWidth = edit.nWidth;
    m_bNoCase = edit.bIgnoreCase;
    if (m_nKind <= VALUE_OCT)
        m_bMotorola = edit.bMotorola;
    if (m_nKind == VALUE_TEXT)
        m_bUnicode = edit.bUnicode;
    ShowState();
    UpdateControls();
}

void CValueSearchDlg::OnTermsSelChange()
{
    UpdateControls();
}

// ----- closing --------------------------------------------------------------------------------

void CValueSearchDlg::OnSearch(INT_PTR nCode)
{
    if (!UpdateData(TRUE))
        return;
    PromoteHistory(m_strInput);

    // The group list: the distance, then every listed term.
    char szDistance[72];
    FormatInt(m_nDistance, szDistance, FI_DEC);
    char* pList = nullptr;
    MultiStrInsert(&pList, szDistance, -1);
    HWND hList = ::GetDlgItem(m_hWnd, IDC_VS_TERMS);
    int nCount = (int)::SendMessageA(hList, LB_GETCOUNT, 0, 0);
    for (int i = 0; i < nCount; ++i) {
        CString s = ListText(hList, i);
        MultiStrInsert(&pList, s, -1);
    }

    char* pGroup = nullptr;
    if (m_bGroup) {
        pGroup = MultiStrDup(pList);
    } else {
        MultiStrInsert(&pGroup, "0", -1);
        std::vector<char> line(VALUE_TERM_SIZE);
        if (BuildTerm(line.data(), VALUE_TERM_SIZE) > 0)
            MultiStrInsert(&pGroup, line.data(), -1);
    }
    if (!pList || !pGroup) {
        MultiStrFree(&pList);
        MultiStrFree(&pGroup);
        return;
    }
    MultiStrFree(&m_pGroupListOut);
    MultiStrFree(&m_pGroupStringOut);
    m_pGroupListOut = pList;
    m_pGroupStringOut = pGroup;
    s_nWidth = m_nWidth;
    s_place.Remember(m_hWnd);
    EndDialog(nCode);
}

void CValueSearchDlg::OnOK()
{
    OnSearch(IDOK);
}

void CValueSearchDlg::OnContinue()
{
    OnSearch(VSD_CONTINUE);
}

void CValueSearchDlg::OnCancel()
{
    s_place.Remember(m_hWnd);
    EndDialog(IDCANCEL);
}

// ----- registry -------------------------------------------------------------------------------

BOOL CValueSearchDlg::LoadSettings(DWORD* pdwFlags, char** ppHistory, char** ppGroupList)
{
    if (pdwFlags)
        *pdwFlags = 0;
    if (ppHistory)
        *ppHistory = nullptr;
    if (ppGroupList)
        *ppGroupList = nullptr;
    CRegKeys reg;
    if (!reg.Open(nullptr, nullptr, 0) || !reg.OpenSubKey(kKey))
        return FALSE;
    if (pdwFlags)
        reg.QueryValue(pdwFlags, sizeof(DWORD), "Flags", REG_DWORD);
    if (ppHistory)
        reg.QueryValueAlloc(ppHistory, "Strings", REG_MULTI_SZ);
    if (ppGroupList)
        reg.QueryValueAlloc(ppGroupList, "Group", REG_MULTI_SZ);
    return TRUE;
}

BOOL CValueSearchDlg::SaveSettings(DWORD dwFlags, const char* pHistory, const char* pGroupList)
{
    CRegKeys reg;
    // Mode 2 creates the application's key and "HexSeach" when they are missing.
    if (!reg.Open(nullptr, nullptr, 2) || !reg.OpenSubKey(kKey))
        return FALSE;
    static const char kEmpty[2] = {0, 0};
    BOOL bOk = reg.SetValue(&dwFlags, sizeof(dwFlags), "Flags", REG_DWORD);
    bOk &= reg.SetValue(pHistory ? pHistory : kEmpty, MultiStrSize(pHistory), "Strings", REG_MULTI_SZ);
    bOk &= reg.SetValue(pGroupList ? pGroupList : kEmpty, MultiStrSize(pGroupList), "Group", REG_MULTI_SZ);
    return bOk;
}
