// The view's commands that insert or delete lines at the lines the last text search found.
#include "app/InsertLinesDlg.h"
#include "app/MainFrm.h"
#include "app/ResultList.h"
#include "app/SearchCommands.h"
#include "app/VellmorantView.h"

void CVellmorantView::OnInsertLines() { RunLinesDialog(FALSE); }
void CVellmorantView::OnDeleteLines() { RunLinesDialog(TRUE); }

void CVellmorantView::RunLinesDialog(BOOL deleteMode)
{
    if (IsJobRunning())
        return;
    if (m_nResultKind != RESULTS_TEXT) {
        ::MessageBoxA(m_hWnd, "Es muss vorab eine Textsuche für die Zeilen gemacht werden !", "Fehler",
                      MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    if (m_textSearch.GetHitCount() == 0) {
        ::MessageBoxA(m_hWnd, "Es sind Keine Zeilen gefunden worden !", "Fehler", MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    CInsertLinesDlg dlg(this);
    dlg.m_bDeleteMode = deleteMode ? 1 : 0;
    dlg.m_pEngine = &m_textSearch;
    dlg.m_pCache = &m_cache;
    dlg.m_pStamps = &m_resultStamps;
    ++m_nJobDepth;
    dlg.DoModal();
    --m_nJobDepth;
    // The hits' lines no longer fit the files, whatever the dialog did.
    m_textSearch.Clear();
    if (m_wndResults.m_hWnd)
        m_wndResults.ResetContent();
    FillTextResults();
    ShowResults(FALSE);
    if (CMainFrame* frame = GetMainFrame()) {
        char count[64];
        FormatResultCount(count, sizeof count, 0);
        frame->SetPaneText(0, count);
    }
}
