// The view's change command: asks what to write, then changes the entries the last search
// found, with a question before each change ("Mit Abfrage") or as a progress job.
#include "app/ChangeDlg.h"
#include "app/ChangeRun.h"
#include "app/ResultList.h"
#include "app/SearchCommands.h"
#include "app/VellmorantView.h"
#include "system/RegKeys.h"

namespace {

const char kTitle[] = "Ändern";

// Asks the user before each change, on the user-interface thread.
class QueryHost : public CChangeHost {
public:
    QueryHost(CWnd* parent, const ChangeRequest& request) : m_parent(parent), m_request(request) {}

    int Ask(const unsigned char* data, int size, int pos, int length, const ChangeParts& parts) override
    {
        int before = 0, after = 0;
        ChangeContext(data, size, pos, length, &before, &after);
        const unsigned char* found = data + pos;
        int end = pos + length;
        CChangeQueryDlg dlg(m_parent);
        dlg.SetLineText(0, data + before, pos - before, found, parts.prefix, found + parts.prefix, parts.replaced,
                        found + parts.prefix + parts.replaced, parts.suffix, data + end, after - end);
        dlg.SetLineText(1, data + before, pos - before, found, parts.prefix, m_request.bytes, m_request.count,
                        found + parts.prefix + parts.replaced, parts.suffix, data + end, after - end);
        switch (dlg.DoModal()) {
        case IDOK: return CHANGE_ANSWER_YES;
        case IDNO: return CHANGE_ANSWER_NO;
        case IDABORT: return CHANGE_ANSWER_ALL;
        default: return CHANGE_ANSWER_STOP;
        }
    }
    bool Fail(const char* message) override
    {
        return ::MessageBoxA(m_parent->GetSafeHwnd(), message, "Fehler", MB_OKCANCEL | MB_ICONSTOP) == IDOK;
    }
    bool Stopped() override { return false; }
    void Progress(int, int, const char*) override {}

private:
    CWnd* m_parent;
    const ChangeRequest& m_request;
};

// Runs on the progress dialog's worker: questions go to the dialog's thread, Cancel stops
// before the next file.
class JobHost : public CChangeHost {
public:
    explicit JobHost(CProgressDlg* dlg) : m_dlg(dlg) {}
    int Ask(const unsigned char*, int, int, int, const ChangeParts&) override { return CHANGE_ANSWER_ALL; }
    bool Fail(const char* message) override
    {
        return m_dlg->MessageBox(message, "Fehler", MB_OKCANCEL | MB_ICONSTOP) == IDOK;
    }
    bool Stopped() override { return m_dlg->m_bCancel != 0; }
    void Progress(int index, int files, const char* path) override
    {
        m_dlg->SetRange64(ULONGLONG(files));
        m_dlg->SetPos64(ULONGLONG(index));
        m_dlg->SetLineTextCompact(0, "Ändere :  ", path, 2, 0x40);
    }

private:
    CProgressDlg* m_dlg;
};

struct ChangeJobData {
    CTextSearch* text;   // one of the two engines
    CHexSearch* hex;
    CStrList* cache;
    CResultStamps* stamps;
    const ChangeRequest* request;
    ChangeRunResult result;
};

int ChangeJob(CProgressDlg* pDlg)
{
    auto* job = reinterpret_cast<ChangeJobData*>(pDlg->m_dwUser[1]);
    JobHost host(pDlg);
    job->result = job->text ? RunTextChange(*job->text, job->cache, *job->request, false, host, job->stamps)
                            : RunValueChange(*job->hex, job->cache, *job->request, host, job->stamps);
    return job->result.changes;
}

// The text search's flag word; 0 when it was never stored.
DWORD TextSearchFlags()
{
    DWORD flags = 0;
    CRegKeys reg;
    if (reg.Open(nullptr, nullptr, 0) && reg.OpenSubKey("TextSeach"))
        reg.QueryValue(&flags, sizeof flags, "Flags", REG_DWORD);
    return flags;
}

}  // namespace

void CVellmorantView::OnUpdateChange(CCmdUI* pCmdUI)
{
    BOOL enable = TRUE;
    if (m_nResultKind == RESULTS_TEXT)
        enable = m_textSearch.GetHitCount() > 0;
    else if (m_nResultKind == RESULTS_HEX)
        enable = m_hexSearch.GetHitCount() > 0;
    pCmdUI->Enable(enable && !IsJobRunning());
}

void CVellmorantView::OnChange()
{
    if (IsJobRunning())
        return;
    DWORD flags = TextSearchFlags();
    bool value = m_nResultKind == RESULTS_HEX;
    if (!value && m_nResultKind != RESULTS_TEXT) {
        AfxMessageBox("Ändern ist nur im Text oder Hex-Modus möglich !", MB_OK);
        return;
    }
    if ((value ? m_hexSearch.GetHitCount() : m_textSearch.GetHitCount()) == 0)
        return;
    CChangeDlg dlg(this);
    dlg.m_bValueMode = value;
    if (dlg.DoModal() != IDOK)
        return;

    unsigned char bytes[CHANGE_MAX_BYTES];
    ChangeRequest request = {dlg.m_nChangeMode, bytes, 0, dlg.m_nOffset, dlg.m_strOffset, dlg.m_nOffsetLength,
                       (flags & TSO_IGNORECASE) != 0};
    if (value) {
        const char* error = nullptr;
        request.count = PrepareChangeValue(dlg.m_strChange, request.mode, request.offset, bytes, &error);
        if (error) {
            ::MessageBoxA(m_hWnd, error, "Fehler", MB_OK | MB_ICONEXCLAMATION);
            return;
        }
    } else {
        request.count = PrepareChangeText(dlg.m_strChange, dlg.m_bSpecialChars != 0, bytes);
    }

    ChangeRunResult result = {0, 0, false};
    ++m_nJobDepth;
    if (!value && dlg.m_bSingleMode) {
        CWaitCursor wait;
        QueryHost host(this, request);
        result = RunTextChange(m_textSearch, &m_cache, request, true, host, &m_resultStamps);
    } else {
        ChangeJobData job = {value ? nullptr : &m_textSearch, value ? &m_hexSearch : nullptr, &m_cache,
                             &m_resultStamps, &request, {0, 0, false}};
        CProgressDlg progress(this);
        progress.SetThreadPriority(THREAD_PRIORITY_LOWEST);
        progress.SetTitle("Änderungen");
        progress.SetJob(ChangeJob, (DWORD_PTR)this, (DWORD_PTR)&job);
        progress.SetLineCount(1);
        progress.DoModal();
        result = job.result;
    }
    --m_nJobDepth;
    if (result.aborted)
        return;
    char text[96];
    FormatChangeCount(text, sizeof text, result.changes);
    ::MessageBoxA(m_hWnd, text, kTitle, MB_OK | MB_ICONINFORMATION);
}
