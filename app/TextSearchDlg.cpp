// The text search dialog: text and options, the history and settings of the run, the pattern
// menu.
#include "app/TextSearchDlg.h"

#include <cstdlib>
#include <cstring>

#include "app/SearchCommands.h"
#include "framework/Menu.h"
#include "system/RegKeys.h"
#include "system/StrList.h"
#include "text/Format.h"
#include "text/Match.h"
#include "text/Numbers.h"
#include "toolkit/ControlHelpers.h"

namespace {

const char kKey[] = "TextSeach";

// Settings shared by every opening of the dialog during the run.
struct TextSearchSettings {
    CStrList history;
    DWORD flags = 0;
    DWORD lines = 0;
    bool loaded = false;
    RECT position = {0, 0, 0, 0};
    bool positionValid = false;
};

TextSearchSettings& Settings()
{
    static TextSearchSettings s;
    return s;
}

struct PatternElement {
    int code;          // 0: a separator
    const char* label;
    const char* text;
};

// The pattern menu, in its order.
const PatternElement kPatternMenu[] = {
    {2, "Beliebige  Zeichen&folge", "*"},
    {3, "&Wort", "\\w"},
    {4, "&Zahl", "\\z"},
    {5, "&Leerraum", "\\_"},
    {6, "&Leerraum oder Zeilenumbruch", "\\-"},
    {7, "Leer&raum oder (null)", "\\."},
    {8, "Leer&raum oder (null) oder \\n", "\\+"},
    {0, nullptr, nullptr},
    {9, "Zeilen&anfang", "\\a"},
    {10, "Zeilen&ende", "\\e"},
    {14, "Wortende", "\\f"},
    {13, "Wortanfang", "\\g"},
    {16, "Zeilenumbruch", "\\q"},
    {0, nullptr, nullptr},
    {17, "Zeichen Aus&wahl", "\\[]"},
    {18, "Zeichen Auswahl oder \"(null)\"", "\\()"},
    {19, "Zeichenketten Auswahl", "\\<>"},
    {21, "Zeichenketten ohne |...|", "\\||"},
    {20, "Zeichen nicht aus {...}", "\\{}"},
    {0, nullptr, nullptr},
    {22, "Text via strwlen oder (null)", "\\##"},
    {23, "Zeichen via strwchar", "\\&&"},
    {24, "Zeichen via strwchar oder (null)", "\\$$"},
    {0, nullptr, nullptr},
    {1, "Beliebiges &Zeichen", "?"},
    {15, "Buchstabe", "\\m"},
    {11, "Einzelne Zahl", "\\p"},
    {12, "Zahl oder Buchstabe", "\\o"},
};

// The dialog's window text of a control, whole.
CString ControlText(HWND hWnd)
{
    CString s;
    int n = GetWindowTextLengthA(hWnd);
    if (n <= 0)
        return s;
    char* p = s.GetBuffer(n + 1);
    if (!p)
        return s;
    int got = GetWindowTextA(hWnd, p, n + 1);
    s.ReleaseBuffer(got < 0 ? 0 : got);
    return s;
}

}  // namespace

HMENU BuildPatternMenu()
{
    HMENU hMenu = CreatePopupMenu();
    if (!hMenu)
        return nullptr;
    for (const PatternElement& e : kPatternMenu) {
        if (e.code == 0)
            AppendMenuA(hMenu, MF_SEPARATOR, 0, nullptr);
        else
            AppendMenuA(hMenu, MF_STRING, UINT_PTR(ID_TS_PATTERN_BASE + e.code), e.label);
    }
    return hMenu;
}

const char* PatternElementText(int code)
{
    for (const PatternElement& e : kPatternMenu)
        if (e.code == code && e.code != 0)
            return e.text;
    return nullptr;
}

int InsertPatternElement(const char* text, int length, int position, int code, CString& out)
{
    const char* element = PatternElementText(code);
    if (!element)
        return -1;
    if (!text || length < 0)
        length = 0;
    if (position < 0)
        position = 0;
    if (position > length)
        position = length;
    int n = int(strlen(element));
    CString s(text, position);
    s += element;
    s += CString(text + position, length - position);
    out = s;
    return position + n - ((code >= 17 && code <= 24) ? 1 : 0);
}

BEGIN_MESSAGE_MAP(CTextSearchDlg, CDialog)
    ON_WM_DESTROY()
    ON_BN_CLICKED(IDC_TS_PATTERN_MENU, OnPatternMenu)
    ON_BN_CLICKED(IDC_TS_PATTERN, OnOptionClicked)
    ON_BN_CLICKED(IDC_TS_MULTILINE, OnOptionClicked)
    ON_COMMAND_RANGE(ID_TS_PATTERN_BASE + 1, ID_TS_PATTERN_BASE + 24, OnInsertPattern)
END_MESSAGE_MAP()

CTextSearchDlg::CTextSearchDlg(CWnd* pParentWnd)
    : CDialog(IDD_TEXTSEARCH, pParentWnd), m_bResultsExist(FALSE), m_bIgnoreCase(0), m_bWholeWords(0),
      m_bPattern(0), m_bMultiLine(0), m_bInResults(0)
{
}

CTextSearchDlg::~CTextSearchDlg() {}

// ----- settings -------------------------------------------------------------------------------

DWORD CTextSearchDlg::GetFlags() { return Settings().flags; }
int CTextSearchDlg::GetLines() { return int(Settings().lines); }
int CTextSearchDlg::GetHistoryCount() { return Settings().history.m_nCount; }

const char* CTextSearchDlg::GetHistoryAt(int index)
{
    const CStrList& h = Settings().history;
    return (index >= 0 && index < h.m_nCount) ? h.GetString(index) : nullptr;
}

void CTextSearchDlg::ForgetSettings()
{
    TextSearchSettings& s = Settings();
    s.history.RemoveAll();
    s.flags = 0;
    s.lines = 0;
    s.loaded = false;
    s.positionValid = false;
}

void CTextSearchDlg::LoadSettings()
{
    TextSearchSettings& s = Settings();
    if (s.loaded)
        return;
    s.loaded = true;
    s.history.SetRecentLimit(HistoryLimit, 1);
    CRegKeys reg;
    if (!reg.Open(nullptr, nullptr, 0) || !reg.OpenSubKey(kKey))
        return;
    DWORD value = 0;
    if (reg.QueryValue(&value, sizeof value, "Flags", REG_DWORD))
        s.flags = value & TSO_ALL;
    if (reg.QueryValue(&value, sizeof value, "Lines", REG_DWORD))
        s.lines = DWORD(ClampSearchLines(int64_t(int32_t(value))));
    char* block = nullptr;
    int size = 0;
    if (reg.QueryValueAlloc(&block, "Strings", REG_MULTI_SZ, &size) && block) {
        s.history.InsertSplit(0, block, 0, nullptr, size + 2);
        free(block);
    }
    s.history.SetRecentLimit(HistoryLimit, 1);
}

void CTextSearchDlg::SaveSettings()
{
    TextSearchSettings& s = Settings();
    if (!s.loaded)
        return;
    // The key is created when missing: a first search must leave its settings behind.
    CRegKeys reg;
    if (!reg.Open(nullptr, nullptr, 2) || !reg.OpenSubKey(kKey))
        return;
    reg.SetValue(&s.flags, sizeof s.flags, "Flags", REG_DWORD);
    reg.SetValue(&s.lines, sizeof s.lines, "Lines", REG_DWORD);
    int size = 0;
    char* block = s.history.JoinMulti(0, -1, &size);
    if (block) {
        reg.SetValue(block, size, "Strings", REG_MULTI_SZ);
        free(block);
    }
}

// ----- running --------------------------------------------------------------------------------

INT_PTR CTextSearchDlg::DoModalWithText(const char* initialText)
{
    LoadSettings();
    const TextSearchSettings& s = Settings();
    m_bIgnoreCase = (s.flags & TSO_IGNORECASE) != 0;
    m_bWholeWords = (s.flags & TSO_WHOLEWORDS) != 0;
    m_bPattern = (s.flags & TSO_PATTERN) != 0;
    m_bMultiLine = (s.flags & TSO_MULTILINE) != 0;
    m_bInResults = (s.flags & TSO_INRESULTS) != 0;
    if (initialText)
        m_strText = initialText;
    else
        m_strText = s.history.m_nCount > 0 ? s.history.GetString(0) : "";
    return DoModal();
}

int CTextSearchDlg::CopyText(char* buffer, int size) const
{
    if (!buffer || size < 1)
        return 0;
    return int(StrLCpy(buffer, m_strText, size_t(size)));
}

void CTextSearchDlg::DoDataExchange(CDataExchange* pDX)
{
    DDX_CBString(pDX, IDC_TS_TEXT, m_strText);
    DDX_Check(pDX, IDC_TS_IGNORECASE, m_bIgnoreCase);
    DDX_Check(pDX, IDC_TS_WHOLEWORDS, m_bWholeWords);
    DDX_Check(pDX, IDC_TS_PATTERN, m_bPattern);
    DDX_Check(pDX, IDC_TS_MULTILINE, m_bMultiLine);
    DDX_Check(pDX, IDC_TS_INRESULTS, m_bInResults);
    DDX_Text(pDX, IDC_TS_LINES, m_strLines);
}

BOOL CTextSearchDlg::OnInitDialog()
{
    RestorePosition();
    // Without the bitmap the button keeps its text.
    if (HWND hButton = ::GetDlgItem(m_hWnd, IDC_TS_PATTERN_MENU))
        SetButtonBitmap(hButton, IDB_PATTERN_BUTTON);
    if (!m_bResultsExist) {
        ::EnableWindow(::GetDlgItem(m_hWnd, IDC_TS_INRESULTS), FALSE);
        m_bInResults = 0;
    }
    char lines[16];
    StrFormat(lines, sizeof lines, "%u", unsigned(ClampSearchLines(Settings().lines)));
    m_strLines = lines;
    CDialog::OnInitDialog();
    UpdateControls();
    HWND hCombo = ::GetDlgItem(m_hWnd, IDC_TS_TEXT);
    SubclassControl(hCombo, ComboFocusNotifyProc);
    const CStrList& h = Settings().history;
    for (int i = 0; i < h.m_nCount; ++i)
        ::SendMessageA(hCombo, CB_ADDSTRING, 0, (LPARAM)h.GetString(i));
    return TRUE;
}

void CTextSearchDlg::UpdateControls()
{
    BOOL pattern = IsDlgButtonChecked(IDC_TS_PATTERN) == BST_CHECKED;
    BOOL multi = IsDlgButtonChecked(IDC_TS_MULTILINE) == BST_CHECKED;
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_TS_MULTILINE), pattern);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_TS_LINES), pattern && multi);
}

void CTextSearchDlg::OnOptionClicked() { UpdateControls(); }

void CTextSearchDlg::OnPatternMenu()
{
    HMENU hMenu = BuildPatternMenu();
    if (!hMenu)
        return;
    RECT rc;
    ::GetWindowRect(::GetDlgItem(m_hWnd, IDC_TS_PATTERN_MENU), &rc);
    // The chosen element arrives as a command of its own (OnInsertPattern).
    TrackPopupMenu(hMenu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON, rc.right, rc.top, 0, m_hWnd, nullptr);
    DestroyMenu(hMenu);
}

void CTextSearchDlg::OnInsertPattern(UINT nID)
{
    HWND hCombo = ::GetDlgItem(m_hWnd, IDC_TS_TEXT);
    if (!hCombo)
        return;
    CString text = ControlText(hCombo);
    DWORD start = 0, end = 0;
    ::SendMessageA(hCombo, CB_GETEDITSEL, (WPARAM)&start, (LPARAM)&end);
    CString result;
    int caret = InsertPatternElement(text, text.GetLength(), int(start), int(nID) - ID_TS_PATTERN_BASE, result);
    if (caret < 0)
        return;
    ::SetWindowTextA(hCombo, result);
    ::SetFocus(hCombo);
    HWND hEdit = ::GetWindow(hCombo, GW_CHILD);
    if (hEdit)
        ::SendMessageA(hEdit, EM_SETSEL, caret, caret);
    else
        ::SendMessageA(hCombo, CB_SETEDITSEL, 0, MAKELPARAM(caret, caret));
    CheckDlgButton(IDC_TS_PATTERN, BST_CHECKED);
    m_bPattern = 1;
    UpdateControls();
}

void CTextSearchDlg::OnOK()
{
    KeepPosition();
    if (!UpdateData(TRUE))
        return;
    // Without results the option cannot hold, whatever the disabled box shows.
    if (!m_bResultsExist)
        m_bInResults = 0;
    // The edit text is what the user sees: after picking a history entry it holds that
    // entry, and a list selection does not follow later typing.
    TextSearchSettings& s = Settings();
    DWORD flags = 0;
    if (m_bIgnoreCase)
        flags |= TSO_IGNORECASE;
    if (m_bWholeWords)
        flags |= TSO_WHOLEWORDS;
    if (m_bPattern)
        flags |= TSO_PATTERN;
    if (m_bMultiLine)
        flags |= TSO_MULTILINE;
    if (m_bInResults)
        flags |= TSO_INRESULTS;
    s.flags = flags;
    s.lines = DWORD(ClampSearchLines(StrToIntClamped(m_strLines, 0, nullptr)));
    if (m_strText.IsEmpty()) {
        MessageBeep(MB_ICONASTERISK);
        return;
    }
    if (s.history.PromoteRecent(m_strText) != 0) {
        s.history.Insert(m_strText, 0);
    } else if (strcmp(s.history.GetString(0), m_strText) != 0) {
        // Found without regard to case: keep the spelling just searched.
        s.history.RemoveAt(0);
        s.history.Insert(m_strText, 0);
    }
    SaveSettings();
    EndDialog(IDOK);
}

void CTextSearchDlg::OnCancel()
{
    KeepPosition();
    EndDialog(IDCANCEL);
}

void CTextSearchDlg::OnDestroy()
{
    if (HWND hButton = ::GetDlgItem(m_hWnd, IDC_TS_PATTERN_MENU))
        FreeButtonBitmap(hButton);
    CDialog::OnDestroy();
}

// ----- position -------------------------------------------------------------------------------

void CTextSearchDlg::KeepPosition()
{
    TextSearchSettings& s = Settings();
    if (::GetWindowRect(m_hWnd, &s.position))
        s.positionValid = true;
}

void CTextSearchDlg::RestorePosition()
{
    const TextSearchSettings& s = Settings();
    if (!s.positionValid)
        return;
    RECT area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    HMONITOR hMon = MonitorFromRect(&s.position, MONITOR_DEFAULTTONULL);
    MONITORINFO mi;
    mi.cbSize = sizeof mi;
    if (hMon && GetMonitorInfoA(hMon, &mi))
        area = mi.rcMonitor;
    const RECT& r = s.position;
    if (r.left < area.right - 100 && r.left > area.left - 100 && r.top >= area.top - 10 && r.top <= area.bottom - 100)
        ::SetWindowPos(m_hWnd, nullptr, r.left, r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
