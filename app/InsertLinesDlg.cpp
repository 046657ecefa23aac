// The insert/delete lines dialog and its worker.
#include "app/InsertLinesDlg.h"

#include <commctrl.h>

#include "app/LineEdit.h"
#include "app/TextSearch.h"
#include "system/RegKeys.h"
#include "text/Format.h"
#include "text/Numbers.h"
#include "toolkit/DialogPlace.h"

namespace {

CDialogPlace g_place;
const char kKey[] = "ZipDialog";
const UINT_PTR kProgressTimer = 1;
const UINT kProgressMs = 100;

void SetItemNumber(HWND dlg, int id, int value)
{
    char text[16];
    StrFormat(text, sizeof text, "%i", value);
    ::SetDlgItemTextA(dlg, id, text);
}

void Warn(HWND dlg, const char* text) { ::MessageBoxA(dlg, text, "Fehler", MB_OK | MB_ICONEXCLAMATION); }

}  // namespace

BEGIN_MESSAGE_MAP(CInsertLinesDlg, CDialog)
    ON_WM_TIMER()
    ON_COMMAND(IDC_IL_WORKER_ERROR, OnWorkerError)
END_MESSAGE_MAP()

CInsertLinesDlg::CInsertLinesDlg(CWnd* pParent) : CDialog(IDD_INSERT_LINES, pParent)
{
    m_answered.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
}

CInsertLinesDlg::~CInsertLinesDlg()
{
    if (m_thread) {
        m_bCancel = 1;
        SetEvent(m_answered.Get());
        WaitForSingleObject(m_thread.Get(), INFINITE);
    }
}

BOOL CInsertLinesDlg::OnInitDialog()
{
    g_place.Restore(m_hWnd);
    CDialog::OnInitDialog();
    m_bRunning = m_bFinished = m_bCancel = 0;
    m_shownFile.clear();
    m_nShownDone = -1;
    m_strSuffix.Empty();
    if (m_bDeleteMode) {
        ::SetDlgItemTextA(m_hWnd, IDC_IL_POSITION_LABEL, "Offset der Zeile : (0=aktuelle Zeile)");
        ::EnableWindow(::GetDlgItem(m_hWnd, IDC_IL_TEXT), FALSE);
    } else {
        ::EnableWindow(::GetDlgItem(m_hWnd, IDC_IL_COUNT), FALSE);
    }
    ::SendDlgItemMessageA(m_hWnd, IDC_IL_SUFFIX, EM_LIMITTEXT, 63, 0);
    CRegKeys reg;
    if (reg.Open(nullptr, nullptr, 0) && reg.OpenSubKey(kKey)) {
        DWORD v = 0;
        if (reg.QueryValue(&v, 4, m_bDeleteMode ? "DelPos" : "AddPos", REG_DWORD))
            m_nPosition = int(v);
        if (m_bDeleteMode && reg.QueryValue(&v, 4, "DelCount", REG_DWORD))
            m_nCount = int(v);
        if (!m_bDeleteMode)
            reg.QueryString(m_strText, "AddLines");
        reg.QueryString(m_strSuffix, "Suffix");
    }
    SetItemNumber(m_hWnd, IDC_IL_POSITION, m_nPosition);
    if (m_bDeleteMode)
        SetItemNumber(m_hWnd, IDC_IL_COUNT, m_nCount);
    else
        ::SetDlgItemTextA(m_hWnd, IDC_IL_TEXT, m_strText);
    ::SetDlgItemTextA(m_hWnd, IDC_IL_SUFFIX, m_strSuffix);
    return TRUE;
}

void CInsertLinesDlg::OnOK()
{
    if (m_bFinished) {
        KillTimer(kProgressTimer);
        ShowProgress();
        g_place.Remember(m_hWnd);
        EndDialog(IDOK);
        return;
    }
    if (m_bRunning)
        return;
    CString number;
    GetDlgItemText(IDC_IL_POSITION, number);
    m_nPosition = StrToIntClamped(number, 0, nullptr);
    GetDlgItemText(IDC_IL_COUNT, number);
    m_nCount = StrToIntClamped(number, 0, nullptr);
    GetDlgItemText(IDC_IL_TEXT, m_strText);
    GetDlgItemText(IDC_IL_SUFFIX, m_strSuffix);
    CRegKeys reg;
    if (reg.Open(nullptr, nullptr, 2) && reg.OpenSubKey(kKey)) {
        DWORD v = DWORD(m_nPosition);
        reg.SetValue(&v, 4, m_bDeleteMode ? "DelPos" : "AddPos", REG_DWORD);
        if (m_bDeleteMode) {
            v = DWORD(m_nCount);
            reg.SetValue(&v, 4, "DelCount", REG_DWORD);
        } else {
            reg.SetString(m_strText, "AddLines");
        }
        reg.SetString(m_strSuffix, "Suffix");
    }
    if (m_bDeleteMode && m_nCount < 1) {
        Warn(m_hWnd, "Die Anzahl der zu löschenden Zeilen muss Größer 0 sein !");
        return;
    }
    if (!m_bDeleteMode && m_strText.IsEmpty()) {
        Warn(m_hWnd, "Es muss ein Text zum Einfügen angegeben werden !");
        return;
    }
    if (!IsValidNameSuffix(m_strSuffix)) {
        Warn(m_hWnd, kBadNameSuffix);
        return;
    }
    ::EnableWindow(::GetDlgItem(m_hWnd, IDOK), FALSE);
    m_bRunning = 1;
    ::SendDlgItemMessageA(m_hWnd, IDC_IL_PROGRESS, PBM_SETRANGE32, 0, m_pEngine ? m_pEngine->GetHitCount() : 0);
    SetTimer(kProgressTimer, kProgressMs);
    DWORD id = 0;
    m_thread.Reset(CreateThread(nullptr, 0, Worker, this, 0, &id));
    if (!m_thread) {
        m_bRunning = 0;
        m_bFinished = 1;
        PostMessage(WM_COMMAND, IDCANCEL);
    }
}

void CInsertLinesDlg::OnCancel()
{
    if (m_bRunning) {
        ::EnableWindow(::GetDlgItem(m_hWnd, IDCANCEL), FALSE);
        m_bCancel = 1;
        return;
    }
    g_place.Remember(m_hWnd);
    EndDialog(IDCANCEL);
}

void CInsertLinesDlg::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent == kProgressTimer)
        ShowProgress();
    else
        Default();
}

void CInsertLinesDlg::ShowProgress()
{
    std::string file;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        file = m_strFile;
    }
    if (file != m_shownFile) {
        size_t slash = file.find_last_of("\\/");
        ::SetDlgItemTextA(m_hWnd, IDC_IL_FILE, slash == std::string::npos ? file.c_str() : file.c_str() + slash + 1);
        m_shownFile = file;
    }
    int done = m_nDone;
    if (done != m_nShownDone) {
        ::SendDlgItemMessageA(m_hWnd, IDC_IL_PROGRESS, PBM_SETPOS, WPARAM(done), 0);
        m_nShownDone = done;
    }
}

void CInsertLinesDlg::OnWorkerError()
{
    std::string text;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        text = m_strError;
    }
    m_bGoOn = ::MessageBoxA(m_hWnd, text.c_str(), "Fehler", MB_OKCANCEL | MB_ICONSTOP) == IDOK;
    if (!m_bGoOn)
        m_bCancel = 1;
    SetEvent(m_answered.Get());
}

// ----- the worker -----------------------------------------------------------------------------

namespace {

class DialogHost : public CLineEditHost {
public:
    DialogHost(HWND dlg, std::atomic<int>& cancel, std::atomic<int>& done, std::mutex& lock, std::string& file,
               std::string& error, HANDLE answered, const bool& goOn)
        : m_dlg(dlg), m_cancel(cancel), m_done(done), m_lock(lock), m_file(file), m_error(error),
          m_answered(answered), m_goOn(goOn)
    {
    }
    bool Fail(const char* message) override
    {
        {
            std::lock_guard<std::mutex> hold(m_lock);
            m_error = message;
        }
        ResetEvent(m_answered);
        ::PostMessageA(m_dlg, WM_COMMAND, IDC_IL_WORKER_ERROR, 0);
        while (WaitForSingleObject(m_answered, 2000) == WAIT_TIMEOUT)
            if (!::IsWindow(m_dlg))
                return false;
        return m_goOn && !m_cancel;
    }
    bool Stopped() override { return m_cancel != 0; }
    void Progress(int done, const char* path) override
    {
        // Recorded only: the dialog's timer shows it.
        {
            std::lock_guard<std::mutex> hold(m_lock);
            m_file = path;
        }
        m_done = done;
    }

private:
    HWND m_dlg;
    std::atomic<int>& m_cancel;
    std::atomic<int>& m_done;
    std::mutex& m_lock;
    std::string& m_file;
    std::string& m_error;
    HANDLE m_answered;
    const bool& m_goOn;
};

}  // namespace

DWORD WINAPI CInsertLinesDlg::Worker(LPVOID param)
{
    static_cast<CInsertLinesDlg*>(param)->Run();
    return 0;
}

void CInsertLinesDlg::Run()
{
    DialogHost host(m_hWnd, m_bCancel, m_nDone, m_lock, m_strFile, m_strError, m_answered.Get(), m_bGoOn);
    LineEditRequest request = {m_bDeleteMode != 0, m_nPosition, m_nCount, m_strText};
    LineEditResult r = {0, false};
    if (m_pEngine)
        r = RunLineEdit(*m_pEngine, m_pCache, request, m_strSuffix, host, m_pStamps);
    m_bRunning = 0;
    m_bFinished = 1;
    ::PostMessageA(m_hWnd, WM_COMMAND, (r.stopped || m_bCancel) ? IDCANCEL : IDOK, 0);
}
