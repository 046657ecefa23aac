// The view's conversions of the listed files: tab widths, OEM and ANSI code pages, line ends;
// each asks in its dialog and runs as a job under the progress dialog.
#include "app/Conversions.h"
#include "app/ConvertDlgs.h"
#include "app/VellmorantView.h"

#include <string>
#include <vector>

#include "system/DirList.h"

namespace {

const char kConverting[] = "Konvertiere :  ";

struct ConvertUi {
    CProgressDlg* dlg;
    CDirList* files;
    int shown;   // index of the file shown in line 0
};

void ShowConvertProgress(void* context, int index, int64_t position)
{
    ConvertUi& ui = *static_cast<ConvertUi*>(context);
    ui.dlg->SetPos64(ULONGLONG(position));
    if (index == ui.shown)
        return;
    ui.shown = index;
    if (const char* path = ui.files->GetPath(index))
        ui.dlg->SetLineTextCompact(0, kConverting, path, 2, 0x40);
}

// Words: the view, the job's data.
int ConvertJob(CProgressDlg* pDlg) { return RunConvertJob(*reinterpret_cast<const ConvertJobData*>(pDlg->m_dwUser[1])); }

}  // namespace

bool CVellmorantView::CanConvert()
{
    if (IsJobRunning())
        return false;
    if (GetFileCount() > 0)
        return true;
    MessageBox("Es sind keine Dateien ausgewählt !", "Vellmorant", MB_OK);
    return false;
}

void CVellmorantView::RunConversion(const char* title, int kind, int value, int newWidth, bool compress)
{
    CDirList& files = m_wndFiles.m_DirList;
    // A file listed twice is converted once.
    std::vector<int> distinct = DirListDistinctFiles(files);
    std::vector<ConvertFailure> failures;
    CProgressDlg progress(this);
    ConvertUi ui = {&progress, &files, distinct.empty() ? 0 : distinct[0]};
    ConvertJobData job = {kind, value, newWidth, compress, &files, &distinct, &m_cache, &progress.m_bCancel,
                          ShowConvertProgress, &ui, &failures};
    progress.SetThreadPriority(THREAD_PRIORITY_LOWEST);
    progress.SetTitle(title);
    progress.SetRange64(kConvertProgressRange);
    const char* first = files.GetPath(ui.shown);
    progress.SetLineTextCompact(0, kConverting, first ? first : "", 2, 0x40);
    progress.SetJob(ConvertJob, (DWORD_PTR)this, (DWORD_PTR)&job);
    ++m_nJobDepth;
    progress.DoModal();
    --m_nJobDepth;
    std::string text = FormatConvertMessage(progress.m_nJobResult, int(distinct.size()), failures);
    MessageBox(text.c_str(), "Vellmorant", MB_OK);
}

void CVellmorantView::OnConvertTabs()
{
    if (!CanConvert())
        return;
    CTabsDlg dlg(this);
    if (dlg.DoModal() != IDOK)
        return;
    int oldWidth = 0, newWidth = 0;
    bool compress = dlg.m_bSpacesToTabs != 0;
    if (!PrepareTabWidths(dlg.m_nOldWidth, dlg.m_nNewWidth, compress, dlg.m_bOnlySpaces != 0, &oldWidth, &newWidth)) {
        MessageBox("Es gab keine relevanten Änderungen.", "Vellmorant", MB_OK);
        return;
    }
    RunConversion("Tabulatoren konvertieren", CONVERT_TABS, oldWidth, newWidth, compress);
}

void CVellmorantView::OnAsciiToAnsi()
{
    if (!CanConvert())
        return;
    CAsciiAnsiDlg dlg(this);
    if (dlg.DoModal() != IDOK)
        return;
    RunConversion("ASCII ANSI Konvertierung", CONVERT_CODE_PAGE, dlg.m_nChoice == 1 ? 1 : 0, 0, false);
}

void CVellmorantView::OnLinuxToWindows()
{
    if (!CanConvert())
        return;
    CLineEndDlg dlg(this);
    if (dlg.DoModal() != IDOK)
        return;
    RunConversion("LF-CR Konvertierung", CONVERT_LINE_ENDS, dlg.m_nChoice == 1 ? 1 : 0, 0, false);
}
