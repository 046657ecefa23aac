// Dialog 149 "Datein umbenennen" and its worker thread.
#include "app/RenameDlg.h"

#include <algorithm>

#include "controls/FileListCtrl.h"
#include "system/Paths.h"
#include "system/RegKeys.h"
#include "system/SafeFile.h"
#include "text/Match.h"
#include "toolkit/ControlHelpers.h"
#include "toolkit/DialogPlace.h"
#include "toolkit/WndHelpers.h"

namespace {

CDialogPlace g_place;

const COLORREF kRed = 0x8080FF;
const char kNoFileFits[] = "<keine Datei passt zum Format>";
const DWORD kAllRefreshMs = 300;
const int kStepNames = 100;   // step names tried for a change of letter case alone

DWORD ReadDword(CRegKeys& reg, const char* name, DWORD def) {
    DWORD v = def;
    reg.QueryValue(&v, sizeof v, name, REG_DWORD);
    return v;
}

bool IsPlainName(const std::string& format) {
    return format.find_first_of("*?|") == std::string::npos;
}

std::string FolderOf(const std::string& path) {
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string NameOf(const std::string& path) {
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// True when the file at path is spelt on disk exactly as path's name part.
bool SpeltOnDisk(const std::string& path) {
    WIN32_FIND_DATAA fd;
    HANDLE h = ::FindFirstFileA(path.c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return false;
    ::FindClose(h);
    return NameOf(path) == fd.cFileName;
}

// How a rename went.
enum MoveResult {
    MOVE_DONE,
    MOVE_FAILED,          // GetLastError tells why; the file keeps its name
    MOVE_SPELLING_KEPT,   // the system took the move but kept the old spelling
    MOVE_NO_STEP_KEPT,    // the same, with no free step name beside the file to go through
    MOVE_LEFT_AT_STEP,    // the file could not be moved on nor back: it is at *stepOut
};

// Renames from to to. A new name that differs in letter case alone names the same file, which
// some file systems (Wine's among them) take as renamed already: the move then goes through a
// free step name beside it (RenameStepNames; a name that is taken is left alone), and counts
// only when the new spelling is on disk.
MoveResult MoveRenaming(const std::string& from, const std::string& to, std::string* stepOut) {
    if (PathCompareA(from.c_str(), to.c_str()) != 0)
        return ::MoveFileA(from.c_str(), to.c_str()) ? MOVE_DONE : MOVE_FAILED;
    std::string step;
    for (const std::string& name : RenameStepNames(from, to)) {
        if (::MoveFileA(from.c_str(), name.c_str())) {
            step = name;
            break;
        }
        DWORD error = ::GetLastError();
        // A file held open stays held whatever the name: said at once.
        if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) return MOVE_FAILED;
    }
    if (step.empty()) {
        // Only the direct move is left.
        if (!::MoveFileA(from.c_str(), to.c_str())) return MOVE_FAILED;
        return SpeltOnDisk(to) ? MOVE_DONE : MOVE_NO_STEP_KEPT;
    }
    if (!::MoveFileA(step.c_str(), to.c_str())) {
        DWORD error = ::GetLastError();
        if (!::MoveFileA(step.c_str(), from.c_str())) {
            *stepOut = step;
            return MOVE_LEFT_AT_STEP;
        }
        ::SetLastError(error);
        return MOVE_FAILED;
    }
    return SpeltOnDisk(to) ? MOVE_DONE : MOVE_SPELLING_KEPT;
}

// The reason text of a failed MoveFileA by its error code.
std::string MoveErrorReason(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND: return "\n\nDie Datei wurde nicht gefuneden !";
        case ERROR_ACCESS_DENIED: return "\n\nDer Zugriff wurde verweigert !";
        case ERROR_ALREADY_EXISTS:
        case ERROR_FILE_EXISTS: return "\n\nDer neue Dateiname existiert bereits !";
        // Worth telling: once the other program lets go, "Wiederholen" succeeds.
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION: return "\n\nDie Datei wird von einem anderen Programm verwendet !";
        default: break;
    }
    // Any other failure still says what the system answered.
    return "\n\nFehlercode " + std::to_string(error) + " !";
}

}  // namespace

// --- free helpers -------------------------------------------------------------------------------

int CheckRenameFormat(const char* format, bool allowPoints) {
    int bars = 0;
    for (const char* p = format ? format : ""; *p; ++p) {
        if (*p == '|') {
            ++bars;
            continue;
        }
        int part = bars % 3;
        if (part == 1 && *p == '.' && !allowPoints) return 1;
        if (part == 2 && *p == '*') return 2;
        if (part == 2 && *p == '?') return 3;
    }
    return bars % 3 ? 4 : 0;
}

const char* RenameFormatMessage(int check) {
    switch (check) {
        case 1: return "< Punkte sind im ersten Tauschblock nicht erlaubt >";
        case 2:
        case 3: return "< Wildcards (*?) sind im  ersten Tauschblock nicht erlaubt >";
        case 4: return "< Ein Tauschblock ist nicht mit '|' abgeschlossen >";
        default: return nullptr;
    }
}

unsigned RenameNameFlags(bool allowPoints, bool outAsFilter) {
    return RBP_COMPUTE | (allowPoints ? RBP_ALLOW_DOTS : 0u) | (outAsFilter ? RBP_OUTSIDE_AS_FILTER : 0u);
}

bool IsValidNewFileName(const char* name) {
    if (!name || !*name || !strcmp(name, ".") || !strcmp(name, "..")) return false;
    size_t n = strlen(name);
    if (name[n - 1] == '.' || name[n - 1] == ' ') return false;
    for (const unsigned char* p = (const unsigned char*)name; *p; ++p)
        if (*p < 0x20 || strchr("\\/:*?\"<>|", *p)) return false;
    return true;
}

bool JoinRenamePath(const char* folder, const char* name, std::string& out) {
    out = std::string(folder ? folder : "") + (name ? name : "");
    if (out.size() < MAX_PATH) return true;
    out.clear();
    return false;
}

std::vector<std::string> RenameStepNames(const std::string& from, const std::string& to) {
    std::vector<std::string> names;
    const std::string folder = FolderOf(from);
    auto usable = [&](const std::string& path) {
        return path.size() < MAX_PATH && PathCompareA(path.c_str(), from.c_str()) != 0 &&
               PathCompareA(path.c_str(), to.c_str()) != 0;
    };
    for (int n = 0; n < kStepNames; ++n) {
        std::string step = from;
        if (n) step += "." + std::to_string(n);
        step += kSafeTempSuffix;
        if (!usable(step)) break;
        names.push_back(step);
    }
    // Then short names in the same folder, which also fit near the path limit: the longest form
    // that fits (a one-letter name at the limit leaves room for one letter).
    for (int n = 0; n < kStepNames; ++n) {
        const std::string number = std::to_string(n);
        for (const std::string& name : {"~vm" + number + ".tmp", "~" + number, number}) {
            if (!usable(folder + name)) continue;
            names.push_back(folder + name);
            break;
        }
    }
    return names;
}

// --- the dialog ---------------------------------------------------------------------------------

BEGIN_MESSAGE_MAP(CRenameDlg, CDialog)
    ON_WM_DESTROY()
    ON_WM_CTLCOLOR()
    ON_COMMAND(IDC_RN_ALL, OnAll)
    ON_COMMAND(IDC_RN_SKIP, OnSkip)
    ON_COMMAND(ID_RN_SHOW_POSITION, OnShowPosition)
    ON_COMMAND(ID_RN_RENAME_ERROR, OnRenameError)
    ON_EN_CHANGE(IDC_RN_FORMAT, OnFormatChange)
    ON_BN_CLICKED(IDC_RN_ONLYFILTER, OnOptionChange)
    ON_BN_CLICKED(IDC_RN_OUTASFILTER, OnOptionChange)
    ON_BN_CLICKED(IDC_RN_ALLOWPOINTS, OnOptionChange)
END_MESSAGE_MAP()

CRenameDlg::CRenameDlg(CWnd* pParent) : CDialog(IDD_RENAME, pParent) {
    for (int& w : m_charWidths) w = 8;
    m_brushRed.CreateSolidBrush(kRed);
}

CRenameDlg::~CRenameDlg() { StopWorker(); }

BOOL CRenameDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    g_place.Restore(m_hWnd);

    HWND folder = ::GetDlgItem(m_hWnd, IDC_RN_FOLDER);
    HFONT font = folder ? (HFONT)::SendMessageA(folder, WM_GETFONT, 0, 0) : nullptr;
    if (font)
        GetCharWidthsFont(font, m_charWidths);
    else
        GetCharWidthsStock(-1, m_charWidths);
    RECT rc = {0, 0, 0, 0};
    if (folder) ::GetClientRect(folder, &rc);
    m_nFolderWidth = rc.right - rc.left - 8;

    CRegKeys reg;
    if (reg.Open(nullptr, nullptr, 2)) {
        CString format;
        if (reg.QueryString(format, "RenameFormat")) m_strFormat = format;
        m_nOnlyFilter = ReadDword(reg, "OnlyFilter", 1) ? 1 : 0;
        m_nOutAsFilter = ReadDword(reg, "OutAsFilter", 0) ? 1 : 0;
        m_nAllowPoints = ReadDword(reg, "AllowPoints", 0) ? 1 : 0;
    }
    m_bSettingText = true;
    SetDlgItemText(IDC_RN_FORMAT, m_strFormat);
    m_bSettingText = false;
    CheckDlgButton(IDC_RN_ONLYFILTER, m_nOnlyFilter ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(IDC_RN_OUTASFILTER, m_nOutAsFilter ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(IDC_RN_ALLOWPOINTS, m_nAllowPoints ? BST_CHECKED : BST_UNCHECKED);

    // The worker works on a copy of the paths, each file once; the list's entries are
    // refreshed here.
    if (m_pFileList) ListDistinctFiles(m_pFileList->m_DirList);
    ::SendDlgItemMessageA(m_hWnd, IDC_RN_PROGRESS, PBM_SETRANGE32, 0, (LPARAM)m_paths.size());

    ReadControls();
    UpdatePreview();
    m_semaphore.Reset(::CreateSemaphoreA(nullptr, 0, 0x7F000000, nullptr));
    DWORD id = 0;
    if (m_semaphore) m_thread.Reset(::CreateThread(nullptr, 0, RenameThreadProc, this, 0, &id));
    if (!m_thread) {
        MessageBox("Der Umbenennungsvorgang konnte nicht gestartet werden.", "Fehler", MB_OK | MB_ICONERROR);
        m_bDone = 1;
        EndDialog(IDCANCEL);
    }
    return TRUE;
}

void CRenameDlg::ListDistinctFiles(const CDirList& list) {
    const std::vector<int> files = DirListDistinctFiles(list);
    m_paths.reserve(files.size());
    m_entries.reserve(files.size());
    for (int i : files) {
        m_paths.push_back(list.GetEntry(i)->FullPath());
        m_entries.push_back({i});
    }
    // An entry that lists a file again is renamed with the file's first entry.
    std::vector<char> first(size_t(list.m_nCount), 0);
    for (int i : files) first[size_t(i)] = 1;
    std::vector<int> byPath(files.size());
    for (size_t k = 0; k < byPath.size(); ++k) byPath[k] = int(k);
    auto less = [&](int a, int b) { return PathCompareA(m_paths[size_t(a)].c_str(), m_paths[size_t(b)].c_str()) < 0; };
    bool sorted = false;
    for (int i = 0; i < list.m_nCount; ++i) {
        const DirEntry* e = list.GetEntry(i);
        if (first[size_t(i)] || e->IsFolder()) continue;
        if (!sorted) std::sort(byPath.begin(), byPath.end(), less);
        sorted = true;
        const std::string path = e->FullPath();
        auto at = std::lower_bound(byPath.begin(), byPath.end(), path, [&](int k, const std::string& p) {
            return PathCompareA(m_paths[size_t(k)].c_str(), p.c_str()) < 0;
        });
        if (at != byPath.end() && PathCompareA(m_paths[size_t(*at)].c_str(), path.c_str()) == 0)
            m_entries[size_t(*at)].push_back(i);
    }
}

void CRenameDlg::OnDestroy() {
    StopWorker();
    ::SendDlgItemMessageA(m_hWnd, IDC_RN_ICON, STM_SETICON, 0, 0);
    m_icon.Reset(nullptr);
    CDialog::OnDestroy();
}

void CRenameDlg::StopWorker() {
    if (!m_thread) return;
    InterlockedExchange(&m_bCancel, 1);
    if (m_semaphore) ::ReleaseSemaphore(m_semaphore.Get(), 1, nullptr);
    ::WaitForSingleObject(m_thread.Get(), INFINITE);
    m_thread.Close();
}

// --- user-interface thread ----------------------------------------------------------------------

void CRenameDlg::ReadControls() {
    GetDlgItemText(IDC_RN_FORMAT, m_strFormat);
    m_nOnlyFilter = IsDlgButtonChecked(IDC_RN_ONLYFILTER) ? 1 : 0;
    m_nOutAsFilter = IsDlgButtonChecked(IDC_RN_OUTASFILTER) ? 1 : 0;
    m_nAllowPoints = IsDlgButtonChecked(IDC_RN_ALLOWPOINTS) ? 1 : 0;
    m_nCheck = CheckRenameFormat(m_strFormat, m_nAllowPoints != 0);
    CCritSecLock lock(m_lock);
    m_settings.format = (const char*)m_strFormat;
    m_settings.onlyFilter = m_nOnlyFilter != 0;
    m_settings.outAsFilter = m_nOutAsFilter != 0;
    m_settings.allowPoints = m_nAllowPoints != 0;
}

void CRenameDlg::SetTextIfDiffers(int id, const char* text) {
    CString now;
    GetDlgItemText(id, now);
    if (now == text) return;
    // Setting the format must not count as an edit (the edit tells of every WM_SETTEXT).
    m_bSettingText = true;
    SetDlgItemText(id, text);
    m_bSettingText = false;
}

void CRenameDlg::UpdatePreview() {
    // The filter field: the format's fault, else the file mask the format gives.
    if (const char* message = RenameFormatMessage(m_nCheck)) {
        SetTextIfDiffers(IDC_RN_FILTER, message);
    } else if (!m_nOutAsFilter) {
        SetTextIfDiffers(IDC_RN_FILTER, "< kein Dateifilter ausgew\xE4hlt >");
    } else {
        char mask[MAX_PATH];
        RenamePatternToMask(m_strFormat, mask, (m_nAllowPoints ? 3u : 1u) | RBP_OUTSIDE_AS_FILTER);
        SetTextIfDiffers(IDC_RN_FILTER, mask);
    }
    // The new name of the shown file (none is shown beyond the list).
    if (m_nShownIndex >= 0 && m_nShownIndex < (int)m_paths.size()) {
        char out[MAX_PATH];
        int n = RenameByPattern(m_strFormat, (int)m_shownCurrent.size(), m_shownCurrent.c_str(), out, sizeof out,
                                RenameNameFlags(m_nAllowPoints != 0, m_nOutAsFilter != 0));
        m_bNoNewName = n <= 0;
        SetTextIfDiffers(IDC_RN_NEWNAME, m_bNoNewName ? m_shownCurrent.c_str() : out);
    }
    ::InvalidateRect(::GetDlgItem(m_hWnd, IDC_RN_FILTER), nullptr, TRUE);
    ::InvalidateRect(::GetDlgItem(m_hWnd, IDC_RN_NEWNAME), nullptr, TRUE);
    if (m_bWaiting) EnableDecisions(true);
}

void CRenameDlg::EnableDecisions(bool on) {
    bool inList = m_nShownIndex >= 0 && m_nShownIndex < (int)m_paths.size();
    // OK and "Alle" only for a format that CheckRenameFormat accepts.
    bool rename = on && inList && m_nCheck == 0;
    ::EnableWindow(::GetDlgItem(m_hWnd, IDOK), rename);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_RN_ALL), rename);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_RN_SKIP), on && inList);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_RN_FORMAT), on);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_RN_NEWNAME), on && inList);
}

void CRenameDlg::OnFormatChange() {
    if (m_bSettingText || m_bDone) return;
    OnOptionChange();
}

void CRenameDlg::OnOptionChange() {
    if (m_bDone) return;
    ReadControls();
    UpdatePreview();
    // The worker takes the same file again, or the next one that fits the new filter.
    InterlockedExchange(&m_bRecompute, 1);
    if (m_semaphore) ::ReleaseSemaphore(m_semaphore.Get(), 1, nullptr);
}

void CRenameDlg::OnShowPosition() {
    Shown shown;
    {
        CCritSecLock lock(m_lock);
        shown = m_shown;
        m_shown.focus = false;
    }
    ApplyRenamed();
    if (m_bDone) return;
    const int count = (int)m_paths.size();
    m_nShownIndex = shown.index;
    m_shownCurrent = shown.current;
    m_bNoNewName = shown.noNewName;

    CString position;
    position.Format("Datei %i von %i :", shown.index, count);
    SetDlgItemText(IDC_RN_POSITION, position);
    char compact[256] = "";
    if (!shown.folder.empty())
        PathCompactToWidth(shown.folder.c_str(), compact, sizeof compact, m_nFolderWidth, m_charWidths, 2);
    SetDlgItemText(IDC_RN_FOLDER, compact);
    SetDlgItemText(IDC_RN_CURRENT, shown.current.c_str());
    SetTextIfDiffers(IDC_RN_NEWNAME, shown.newName.c_str());
    SetTextIfDiffers(IDC_RN_FORMAT, m_strFormat);
    ::SendDlgItemMessageA(m_hWnd, IDC_RN_PROGRESS, PBM_SETPOS, shown.index, 0);

    HICON icon = nullptr;
    if (shown.index < count) {
        int image = GetFileIconIndex((shown.folder + shown.current).c_str());
        if (image >= 0) icon = ImageList_GetIcon(GetSystemImageList(TRUE), image, ILD_NORMAL);
    }
    ::SendDlgItemMessageA(m_hWnd, IDC_RN_ICON, STM_SETICON, (WPARAM)icon, 0);
    m_icon.Reset(icon);

    m_bWaiting = shown.waiting && !m_bAll;
    EnableDecisions(m_bWaiting);
    ::InvalidateRect(::GetDlgItem(m_hWnd, IDC_RN_NEWNAME), nullptr, TRUE);
    if (shown.focus && m_bWaiting) {
        SetDefID(IDOK);
        if (CWnd* ok = GetDlgItem(IDOK)) GotoDlgCtrl(ok);
    }
}

void CRenameDlg::Decide(Decision d) {
    g_place.Remember(m_hWnd);
    CString newName;
    GetDlgItemText(IDC_RN_NEWNAME, newName);
    if (d != DecideSkip && !IsValidNewFileName(newName)) {
        // A separator or drive in the name would move the file elsewhere.
        MessageBox("Der neue Dateiname ist ung\xFCltig.\nEr darf keines der Zeichen \\ / : * ? \" < > | enthalten.",
                   "Fehler", MB_OK | MB_ICONERROR);
        if (CWnd* edit = GetDlgItem(IDC_RN_NEWNAME)) GotoDlgCtrl(edit);
        return;
    }
    ReadControls();
    m_bWaiting = false;
    EnableDecisions(false);
    if (d == DecideAll) InterlockedExchange(&m_bAll, 1);
    {
        CCritSecLock lock(m_lock);
        m_decisionName = (const char*)newName;
        m_nDecisionIndex = m_nShownIndex;
    }
    InterlockedExchange(&m_nDecision, d);
    ::ReleaseSemaphore(m_semaphore.Get(), 1, nullptr);
}

void CRenameDlg::OnOK() {
    if (m_bDone) {
        ApplyRenamed();
        SaveSettings();
        ::SendDlgItemMessageA(m_hWnd, IDC_RN_PROGRESS, PBM_SETPOS, m_paths.size(), 0);
        CString text;
        text.Format("Es wurden %i von %i Dateien umbenannt.\nBei %i Dateien gab es keine \xC4nderungen.",
                    (int)m_nSuccess, (int)m_paths.size(), (int)m_nUnchanged);
        MessageBox(text, "Information", MB_OK | MB_ICONINFORMATION);
        EndDialog(IDOK);
        return;
    }
    // Enter on a disabled button must not decide either.
    if (m_bWaiting && m_nCheck == 0) Decide(DecideRename);
}

void CRenameDlg::OnAll() {
    if (!m_bDone && m_bWaiting && m_nCheck == 0) Decide(DecideAll);
}

void CRenameDlg::OnSkip() {
    if (!m_bDone && m_bWaiting) Decide(DecideSkip);
}

void CRenameDlg::OnCancel() {
    g_place.Remember(m_hWnd);
    if (m_bDone) {
        ApplyRenamed();
        SaveSettings();
        EndDialog(IDCANCEL);
        return;
    }
    // The worker ends and posts IDCANCEL, which closes the dialog and saves the values.
    ReadControls();
    m_bWaiting = false;
    EnableDecisions(false);
    InterlockedExchange(&m_bCancel, 1);
    ::ReleaseSemaphore(m_semaphore.Get(), 1, nullptr);
}

void CRenameDlg::OnRenameError() {
    std::string folder, current, reason;
    {
        CCritSecLock lock(m_lock);
        folder = m_shown.folder;
        current = m_shown.current;
        reason = m_errorReason;
    }
    ApplyRenamed();
    char compact[256] = "";
    PathCompactToWidth(folder.c_str(), compact, sizeof compact, m_nFolderWidth, m_charWidths, 2);
    CString text;
    text.Format("Fehler beim Umbennen von %s%s !\n\nWiederholen ?%s", compact, current.c_str(), reason.c_str());
    int answer = MessageBox(text, "Fehler", MB_ABORTRETRYIGNORE | MB_ICONERROR);
    if (answer == IDABORT) {
        InterlockedExchange(&m_bCancel, 1);
    } else {
        CCritSecLock lock(m_lock);
        m_nDecisionIndex = m_shown.index;
        InterlockedExchange(&m_nDecision, answer == IDIGNORE ? DecideSkip : DecideRetry);
    }
    ::ReleaseSemaphore(m_semaphore.Get(), 1, nullptr);
}

HBRUSH CRenameDlg::OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor) {
    int id = pWnd ? pWnd->GetDlgCtrlID() : 0;
    if ((id == IDC_RN_FILTER && m_nCheck != 0) || (id == IDC_RN_NEWNAME && m_bNoNewName)) {
        ::SetBkColor(pDC->GetSafeHdc(), kRed);
        return m_brushRed;
    }
    return CDialog::OnCtlColor(pDC, pWnd, nCtlColor);
}

void CRenameDlg::SaveSettings() {
    CRegKeys reg;
    if (!reg.Open(nullptr, nullptr, 2)) return;
    reg.SetString(m_strFormat, "RenameFormat");
    DWORD v = (DWORD)m_nOnlyFilter;
    reg.SetValue(&v, 4, "OnlyFilter", REG_DWORD);
    v = (DWORD)m_nOutAsFilter;
    reg.SetValue(&v, 4, "OutAsFilter", REG_DWORD);
    v = (DWORD)m_nAllowPoints;
    reg.SetValue(&v, 4, "AllowPoints", REG_DWORD);
}

void CRenameDlg::ApplyRenamed() {
    std::vector<std::pair<int, std::string>> renamed;
    {
        CCritSecLock lock(m_lock);
        renamed.swap(m_renamed);
    }
    if (!m_pFileList) return;
    for (auto& r : renamed)
        for (int entry : m_entries[size_t(r.first)]) m_pFileList->m_DirList.RefreshEntry(entry, r.second.c_str());
}

// --- worker thread ------------------------------------------------------------------------------

DWORD WINAPI CRenameDlg::RenameThreadProc(LPVOID param) {
    static_cast<CRenameDlg*>(param)->RenameWorker();
    return 0;
}

void CRenameDlg::PostToDialog(UINT id) { ::PostMessageA(m_hWnd, WM_COMMAND, id, 0); }

CRenameDlg::Settings CRenameDlg::TakeSettings() {
    CCritSecLock lock(m_lock);
    return m_settings;
}

void CRenameDlg::Publish(const Shown& shown) {
    CCritSecLock lock(m_lock);
    bool focus = m_shown.focus;
    m_shown = shown;
    m_shown.focus = shown.focus || focus;
}

std::string CRenameDlg::ComputeName(int index, const Settings& s, const std::string& shownNewName) {
    if (CheckRenameFormat(s.format.c_str(), s.allowPoints)) return std::string();
    // A typed plain name stays as it is shown.
    if (IsPlainName(s.format) && !s.format.empty() && s.format == shownNewName) return s.format;
    std::string name = NameOf(m_paths[index]);
    char out[MAX_PATH];
    int n = RenameByPattern(s.format.c_str(), (int)name.size(), name.c_str(), out, sizeof out,
                            RenameNameFlags(s.allowPoints, s.outAsFilter));
    return n > 0 ? std::string(out, n) : std::string();
}

int CRenameDlg::FindNextMatch(int start, const Settings& s) {
    const int count = (int)m_paths.size();
    for (int i = start; i < count; ++i) {
        if (m_bRecompute || m_bCancel) return -1;
        if (!ComputeName(i, s, std::string()).empty()) return i;
    }
    return count;
}

int CRenameDlg::WaitDecision(int index, bool recompute) {
    for (;;) {
        ::WaitForSingleObject(m_semaphore.Get(), INFINITE);
        if (m_bCancel) return -1;
        if (recompute && m_bRecompute) return -2;
        // Only an explicit decision for this very file counts; edits never rename.
        LONG d = InterlockedExchange(&m_nDecision, DecideNone);
        if (d == DecideNone) continue;
        CCritSecLock lock(m_lock);
        if (m_nDecisionIndex == index) return (int)d;
        // A decision made for a file shown before: show this one again.
        if (recompute) return -2;
    }
}

int CRenameDlg::RenameFile(const Shown& shown, const std::string& newName, bool* renamed) {
    const int index = shown.index;
    *renamed = false;
    // The file's path; after a failed step it may stand at its step name.
    const std::string& from = m_paths[index];
    const std::string original = from;
    const std::string folder = FolderOf(from);
    const std::string current = NameOf(from);
    if (newName == current) {
        InterlockedIncrement(&m_nUnchanged);
        return 0;
    }
    for (;;) {
        std::string to, step;
        std::string reason;
        bool moved = false;
        std::wstring own;
        if (PathOwnNamesW(from.c_str(), int(from.size() - current.size()), own) > 0) {
            // Listed by its short name: a name made from that would replace the file's own.
            reason = "\n\nDer Dateiname enthält Zeichen außerhalb des Zeichensatzes; die Datei wird "
                     "nicht umbenannt !";
        } else if (!IsValidNewFileName(newName.c_str())) {
            reason = "\n\nDer neue Dateiname ist ung\xFCltig !";
        } else if (!JoinRenamePath(folder.c_str(), newName.c_str(), to)) {
            reason = "\n\nDer neue Pfad ist zu lang !";
        } else {
            switch (MoveRenaming(from, to, &step)) {
                case MOVE_DONE: moved = true; break;
                case MOVE_FAILED: reason = MoveErrorReason(::GetLastError()); break;
                case MOVE_SPELLING_KEPT:
                    reason = "\n\nDas Dateisystem hat die neue Schreibweise nicht übernommen !";
                    break;
                case MOVE_NO_STEP_KEPT:
                    reason = "\n\nDas Dateisystem hat die neue Schreibweise nicht übernommen, und neben der Datei "
                             "ist kein Zwischenname frei !";
                    break;
                case MOVE_LEFT_AT_STEP: {
                    // "Wiederholen" goes on from where the file is now.
                    CCritSecLock lock(m_lock);
                    m_paths[index] = step;
                    m_renamedFrom.push_back(original);
                    reason = "\n\nDie Datei ließ sich weder umbenennen noch zurückbenennen und heißt jetzt " +
                             NameOf(step) + " !";
                    break;
                }
            }
        }
        if (moved) {
            CCritSecLock lock(m_lock);
            m_renamed.emplace_back(index, newName);
            m_renamedFrom.push_back(original);
            m_paths[index] = to;
            InterlockedIncrement(&m_nSuccess);
            *renamed = true;
            return 0;
        }
        // The question names the file that failed, also in "Alle" mode.
        Publish(shown);
        {
            CCritSecLock lock(m_lock);
            m_errorReason = reason;
        }
        PostToDialog(ID_RN_RENAME_ERROR);
        int d = WaitDecision(index, false);
        if (d < 0) return -1;
        if (d == DecideSkip) return 1;
    }
}

void CRenameDlg::RenameWorker() {
    const int count = (int)m_paths.size();
    int start = 0, index = 0;
    bool afterRecompute = false;
    std::string shownNewName;
    DWORD lastShow = 0;
    while (!m_bCancel) {
        Settings s = TakeSettings();
        index = start;
        if (s.onlyFilter) {
            index = FindNextMatch(start, s);
            if (index < 0) {
                if (m_bCancel) break;
                InterlockedExchange(&m_bRecompute, 0);
                afterRecompute = true;
                continue;
            }
        }
        // Stepping past the last file (or the last that fits) ends the run; at the start and
        // after a recompute no fitting file is shown as such and the dialog waits.
        if (index >= count && start != 0 && (start >= count || (!afterRecompute && !m_bRecompute))) break;

        Shown shown;
        shown.index = index;
        if (index >= count) {
            shown.newName = kNoFileFits;
            shown.noNewName = true;
        } else {
            shown.folder = FolderOf(m_paths[index]);
            shown.current = NameOf(m_paths[index]);
            shown.newName = ComputeName(index, s, shownNewName);
            if (shown.newName.empty()) {
                shown.newName = shown.current;
                shown.noNewName = true;
            }
        }
        shownNewName = shown.newName;
        shown.focus = !afterRecompute;
        afterRecompute = false;

        std::string newName = shown.newName;
        if (!m_bAll) {
            shown.waiting = true;
            Publish(shown);
            PostToDialog(ID_RN_SHOW_POSITION);
            int d = WaitDecision(index, true);
            if (d == -1) break;
            if (d == -2) {
                InterlockedExchange(&m_bRecompute, 0);
                afterRecompute = true;
                continue;
            }
            if (index >= count) break;
            if (d == DecideSkip) {
                start = index + 1;
                continue;
            }
            CCritSecLock lock(m_lock);
            newName = m_decisionName;
        } else {
            if (index >= count) break;
            DWORD now = ::GetTickCount();
            if (now - lastShow >= kAllRefreshMs) {
                lastShow = now;
                Publish(shown);
                PostToDialog(ID_RN_SHOW_POSITION);
            }
        }
        bool renamed = false;
        shown.waiting = false;
        shown.focus = false;
        if (RenameFile(shown, newName, &renamed) < 0) break;
        start = index + 1;
    }
    InterlockedExchange(&m_bDone, 1);
    PostToDialog(m_bCancel ? IDCANCEL : IDOK);
}
