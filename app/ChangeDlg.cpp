// The change dialog and the query before each change.
#include "app/ChangeDlg.h"

#include <cstdlib>
#include <cstring>

#include "app/ChangeEdit.h"
#include "app/TextSearchDlg.h"
#include "system/RegKeys.h"
#include "toolkit/DialogPlace.h"

namespace {

CDialogPlace g_changePlace;
CDialogPlace g_queryPlace;

struct Token {
    int number;       // 0: a separator
    const char* label;
};

// The token menu in its order, by the token's number (1 "?", 2 "*", 3 "\w", 4 "\z", 5 "\_",
// 6 "\.", 7 "\a", 8 "\e", 9 "\p", 10 "\o", 11 "\g", 12 "\f", 13 "\m", 14 "\[]", 15 "\()",
// 16 "\<>", 17 "\{}", 18 "\||").
const Token kTokenMenu[] = {
    {2, "Beliebige  Zeichen&folge"}, {3, "&Wort"}, {4, "&Zahl"}, {5, "&Leerraum"}, {6, "Leer&raum oder (null)"},
    {0, nullptr},
    {7, "Zeilen&anfang"}, {8, "Zeilen&ende"}, {12, "Wortende"}, {11, "Wortanfang"},
    {0, nullptr},
    {14, "Zeichen Aus&wahl"}, {15, "Zeichen Auswahl oder \"(null)\""}, {16, "Zeichenketten Auswahl"},
    {18, "Zeichenketten ohne |...|"}, {17, "Zeichen nicht aus {...}"},
    {0, nullptr},
    {1, "Beliebiges &Zeichen"}, {13, "Buchstabe"}, {9, "Einzelne Zahl"}, {10, "Zahl oder Buchstabe"},
};

// The same element's code in the text search's pattern menu, by token number, so that the
// insertion (caret between the brackets included) is shared.
const int kPatternCode[19] = {0, 1, 2, 3, 4, 5, 7, 9, 10, 11, 12, 13, 14, 15, 17, 18, 19, 20, 21};

const int kModeIds[5] = {IDC_CH_MODE_REPLACE, IDC_CH_MODE_UPTO, IDC_CH_MODE_FROM, IDC_CH_MODE_UPTO_TEXT,
                         IDC_CH_MODE_FROM_TEXT};

void LoadHistory(CRegKeys& reg, const char* name, CStrList& list)
{
    char* block = nullptr;
    int size = 0;
    if (reg.QueryValueAlloc(&block, name, REG_MULTI_SZ, &size) && block)
        list.InsertSplit(-1, block, 0, nullptr, size + 2);
    free(block);
    list.SetRecentLimit(CChangeDlg::HistoryLimit, 0);
}

void SaveHistory(CRegKeys& reg, const char* name, const CStrList& list)
{
    int size = 0;
    if (char* block = list.JoinMulti(0, -1, &size)) {
        reg.SetValue(block, size, name, REG_MULTI_SZ);
        free(block);
    }
}

// Moves a non-empty text to the front of its history.
void Promote(CStrList& list, const CString& text)
{
    if (text.IsEmpty())
        return;
    if (list.PromoteRecent(text) != 0)
        list.Insert(text, 0);
}

void FillCombo(HWND combo, const CStrList& list)
{
    for (int i = 0; i < list.m_nCount; ++i)
        ::SendMessageA(combo, CB_ADDSTRING, 0, (LPARAM)list.GetString(i));
}

}  // namespace

// ----- CChangeDlg -----------------------------------------------------------------------------

BEGIN_MESSAGE_MAP(CChangeDlg, CDialog)
    ON_BN_CLICKED(IDABORT, OnWithQuery)
    ON_BN_CLICKED(IDC_CH_TOKEN_MENU, OnTokenMenu)
    ON_BN_CLICKED(IDC_CH_MODE_REPLACE, OnModeClicked)
    ON_BN_CLICKED(IDC_CH_MODE_UPTO, OnModeClicked)
    ON_BN_CLICKED(IDC_CH_MODE_FROM, OnModeClicked)
    ON_BN_CLICKED(IDC_CH_MODE_UPTO_TEXT, OnModeClicked)
    ON_BN_CLICKED(IDC_CH_MODE_FROM_TEXT, OnModeClicked)
    ON_COMMAND_RANGE(ID_CH_TOKEN_BASE + 1, ID_CH_TOKEN_BASE + 18, OnInsertToken)
END_MESSAGE_MAP()

CChangeDlg::CChangeDlg(CWnd* pParent) : CDialog(IDD_CHANGE, pParent) {}

void CChangeDlg::LoadSettings()
{
    m_changeHistory.RemoveAll();
    m_offsetHistory.RemoveAll();
    CRegKeys reg;
    if (reg.Open(nullptr, nullptr, 0)) {
        DWORD v = 0;
        if (reg.QueryValue(&v, 4, "SpecialChars", REG_DWORD))
            m_bSpecialChars = v != 0;
        if (reg.QueryValue(&v, 4, "ChangeMode", REG_DWORD))
            m_nChangeMode = v <= 4 ? int(v) : 0;
        if (reg.QueryValue(&v, 4, "SingleMode", REG_DWORD))
            m_bSingleMode = v != 0;
        reg.QueryString(m_strOffset, "ChangeLength");
        LoadHistory(reg, "ChangeStrings", m_changeHistory);
        LoadHistory(reg, "OffsetStrings", m_offsetHistory);
    }
    m_changeHistory.SetRecentLimit(HistoryLimit, 0);
    m_offsetHistory.SetRecentLimit(HistoryLimit, 0);
    if (m_changeHistory.m_nCount > 0)
        m_strChange = m_changeHistory.GetString(0);
    if (m_offsetHistory.m_nCount > 0)
        m_strOffset = m_offsetHistory.GetString(0);
}

void CChangeDlg::SaveSettings()
{
    CRegKeys reg;
    if (!reg.Open(nullptr, nullptr, 2))
        return;
    DWORD v = DWORD(m_bSpecialChars);
    reg.SetValue(&v, 4, "SpecialChars", REG_DWORD);
    reg.SetString(m_strOffset, "ChangeLength");
    v = DWORD(m_nChangeMode);
    reg.SetValue(&v, 4, "ChangeMode", REG_DWORD);
    v = DWORD(m_bSingleMode);
    reg.SetValue(&v, 4, "SingleMode", REG_DWORD);
    SaveHistory(reg, "ChangeStrings", m_changeHistory);
    SaveHistory(reg, "OffsetStrings", m_offsetHistory);
}

BOOL CChangeDlg::OnInitDialog()
{
    g_changePlace.Restore(m_hWnd);
    LoadSettings();
    FillCombo(::GetDlgItem(m_hWnd, IDC_CH_TEXT), m_changeHistory);
    FillCombo(::GetDlgItem(m_hWnd, IDC_CH_OFFSET), m_offsetHistory);
    if (m_bValueMode) {
        ::EnableWindow(::GetDlgItem(m_hWnd, IDC_CH_SPECIAL), FALSE);
        if (m_nChangeMode > CHANGE_UPTO_FIXED)
            m_nChangeMode = CHANGE_UPTO_FIXED;
        for (int i = CHANGE_FROM_FIXED; i <= CHANGE_FROM_TEXT; ++i)
            ::EnableWindow(::GetDlgItem(m_hWnd, kModeIds[i]), FALSE);
    }
    ::SetDlgItemTextA(m_hWnd, IDC_CH_TEXT_LABEL,
                      m_bValueMode ? "Ändern in :   (Text,Hexdump,Zahl)" : "Ändern in :   (Text)");
    CDialog::OnInitDialog();
    UpdateControls();
    if (m_bSingleMode) {
        SetDefID(IDABORT);
        ::SendMessageA(::GetDlgItem(m_hWnd, IDOK), BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
        ::SetFocus(::GetDlgItem(m_hWnd, IDABORT));
        m_bSingleMode = 0;
        return FALSE;
    }
    return TRUE;
}

void CChangeDlg::DoDataExchange(CDataExchange* pDX)
{
    DDX_CBString(pDX, IDC_CH_TEXT, m_strChange);
    DDX_CBString(pDX, IDC_CH_OFFSET, m_strOffset);
    DDX_Check(pDX, IDC_CH_SPECIAL, m_bSpecialChars);
    DDX_Radio(pDX, IDC_CH_MODE_REPLACE, m_nChangeMode);
    if (!pDX->m_bSaveAndValidate)
        return;
    if (m_nChangeMode < 0)
        m_nChangeMode = 0;
}

void CChangeDlg::UpdateControls()
{
    bool byText = m_nChangeMode >= CHANGE_UPTO_TEXT;
    ::SetDlgItemTextA(m_hWnd, IDC_CH_OFFSET_LABEL, byText ? "Offset Suchstring :" : "Offset :");
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_CH_TOKEN_MENU), byText);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_CH_OFFSET), m_nChangeMode != CHANGE_REPLACE);
}

void CChangeDlg::OnModeClicked()
{
    UpdateData(TRUE);
    UpdateControls();
}

void CChangeDlg::OnTokenMenu()
{
    HMENU menu = CreatePopupMenu();
    if (!menu)
        return;
    for (const Token& t : kTokenMenu) {
        if (t.number == 0)
            AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
        else
            AppendMenuA(menu, MF_STRING, UINT_PTR(ID_CH_TOKEN_BASE + t.number), t.label);
    }
    RECT rc;
    ::GetWindowRect(::GetDlgItem(m_hWnd, IDC_CH_TOKEN_MENU), &rc);
    TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON, rc.right, rc.top, 0, m_hWnd, nullptr);
    DestroyMenu(menu);
}

void CChangeDlg::OnInsertToken(UINT nID)
{
    int number = int(nID) - ID_CH_TOKEN_BASE;
    if (number < 1 || number > 18)
        return;
    HWND combo = ::GetDlgItem(m_hWnd, IDC_CH_OFFSET);
    CString text;
    GetDlgItemText(IDC_CH_OFFSET, text);
    if (text.GetLength() > 254)
        text = text.Left(254);
    DWORD start = 0, end = 0;
    ::SendMessageA(combo, CB_GETEDITSEL, (WPARAM)&start, (LPARAM)&end);
    CString result;
    int caret = InsertPatternElement(text, text.GetLength(), int(start), kPatternCode[number], result);
    if (caret < 0)
        return;
    ::SetWindowTextA(combo, result);
    ::SetFocus(combo);
    ::SendMessageA(combo, CB_SETEDITSEL, 0, MAKELPARAM(caret, caret));
}

void CChangeDlg::OnOK()
{
    g_changePlace.Remember(m_hWnd);
    if (!UpdateData(TRUE))
        return;
    if (m_bValueMode) {
        // A value that cannot be written keeps the dialog open.
        unsigned char bytes[CHANGE_MAX_BYTES];
        const char* error = nullptr;
        PrepareChangeValue(m_strChange, m_nChangeMode, ParseChangeOffset(m_strOffset), bytes, &error);
        if (error) {
            ::MessageBoxA(m_hWnd, error, "Fehler", MB_OK | MB_ICONEXCLAMATION);
            m_bSingleMode = 0;
            return;
        }
    }
    Promote(m_changeHistory, m_strChange);
    Promote(m_offsetHistory, m_strOffset);
    SaveSettings();
    m_nOffset = ParseChangeOffset(m_strOffset);
    m_nOffsetLength = m_strOffset.GetLength();
    EndDialog(IDOK);
}

void CChangeDlg::OnWithQuery()
{
    m_bSingleMode = 1;
    OnOK();
}

void CChangeDlg::OnCancel()
{
    g_changePlace.Remember(m_hWnd);
    EndDialog(IDCANCEL);
}

// ----- CChangeQueryDlg ------------------------------------------------------------------------

BEGIN_MESSAGE_MAP(CChangeQueryDlg, CDialog)
    ON_COMMAND_RANGE(IDABORT, IDABORT, OnAnswer)
    ON_COMMAND_RANGE(IDNO, IDNO, OnAnswer)
END_MESSAGE_MAP()

CChangeQueryDlg::CChangeQueryDlg(CWnd* pParent) : CDialog(IDD_CHANGE_QUERY, pParent)
{
    m_text[0][0] = m_text[1][0] = 0;
}

void CChangeQueryDlg::SetLineText(int line, const void* before, int beforeLength, const void* prefix,
                                  int prefixLength, const void* changed, int changedLength, const void* suffix,
                                  int suffixLength, const void* after, int afterLength)
{
    if (line < 0 || line > 1)
        return;
    const unsigned char* pieces[5] = {static_cast<const unsigned char*>(before),
                                      static_cast<const unsigned char*>(prefix),
                                      static_cast<const unsigned char*>(changed),
                                      static_cast<const unsigned char*>(suffix),
                                      static_cast<const unsigned char*>(after)};
    int lengths[5] = {beforeLength, prefixLength, changedLength, suffixLength, afterLength};
    m_length[line] = BuildChangeQueryLine(pieces, lengths, m_text[line], m_colors[line], LineSize);
}

BOOL CChangeQueryDlg::OnInitDialog()
{
    g_queryPlace.Restore(m_hWnd);
    CDialog::OnInitDialog();
    const int frames[2] = {IDC_CH_OLD_FRAME, IDC_CH_NEW_FRAME};
    const int ids[2] = {IDC_CH_OLD_LINE, IDC_CH_NEW_LINE};
    COLORREF text = GetSysColor(COLOR_WINDOWTEXT);
    for (int i = 0; i < 2; ++i) {
        HWND frame = ::GetDlgItem(m_hWnd, frames[i]);
        RECT rc = {0, 0, 0, 0};
        if (frame) {
            ::GetWindowRect(frame, &rc);
            ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rc), 2);
            ::ShowWindow(frame, SW_HIDE);
        }
        if (!m_lines[i].CreateEx(WS_CHILD | WS_VISIBLE | WS_BORDER, 0, rc, this, UINT(ids[i])))
            continue;
        m_lines[i].SendMessage(WM_SETFONT, (WPARAM)::GetStockObject(DEFAULT_GUI_FONT), FALSE);
        m_lines[i].SetColors(4, text, GetSysColor(COLOR_INFOBK));
        m_lines[i].SetColors(5, text, RGB(0xDE, 0xFF, 0xDE));
        m_lines[i].AddLine(m_text[i], m_length[i], m_colors[i]);
    }
    return TRUE;
}

void CChangeQueryDlg::OnAnswer(UINT nID)
{
    g_queryPlace.Remember(m_hWnd);
    EndDialog(nID);
}

void CChangeQueryDlg::OnOK() { OnAnswer(IDOK); }
void CChangeQueryDlg::OnCancel() { OnAnswer(IDCANCEL); }
