// The view's directory compare: the command with its checks and questions, the compare job
// under the progress dialog, the result lines in the result list, and the two files of a line.
#include <cstring>

#include "app/DirCompare.h"
#include "app/DirCompareDlg.h"
#include "app/MainFrm.h"
#include "app/ResultList.h"
#include "app/SearchCommands.h"
#include "app/VellmorantView.h"
#include "system/Paths.h"

namespace {

const char kCompareIn[] = "Vergleiche in :  ";

void ShowCompareProgress(void* context, uint64_t bytesDone, const char* path)
{
    CProgressDlg* pDlg = static_cast<CProgressDlg*>(context);
    pDlg->SetPos64(bytesDone);
    if (path)
        pDlg->SetLineTextCompact(0, kCompareIn, path, 2, 0x40);
}

// Words: the view, the input list, the number of listed files, the flag word, the lines.
int DirCompareJob(CProgressDlg* pDlg)
{
    const CStrList& input = *reinterpret_cast<const CStrList*>(pDlg->m_dwUser[1]);
    CStrList& lines = *reinterpret_cast<CStrList*>(pDlg->m_dwUser[4]);
    return RunDirCompare(input, int(pDlg->m_dwUser[3]), lines, &pDlg->m_bCancel, ShowCompareProgress, pDlg);
}

void AddSeparator(CString& path)
{
    if (!path.IsEmpty())
        PathAddTrailingSeparatorStr(path);
}

// Every trailing separator goes: "C:\a\\" names the folder "C:\a" as well.
void RemoveSeparators(CString& path)
{
    int length;
    do {
        length = path.GetLength();
        PathRemoveTrailingSeparatorStr(path);
    } while (path.GetLength() < length);
}

}  // namespace

void CVellmorantView::OnDirCompare()
{
    if (IsJobRunning() || !m_wndFiles.m_hWnd)
        return;
    CDirList& files = m_wndFiles.m_DirList;
    int count = GetFileCount();
    if (count <= 0)
        return;

    CString common = CommonFolderOf(files, count);
    CString path = m_strLastFillPath.IsEmpty() ? common : m_strLastFillPath;
    CString comparePath = m_strCompareFolder.IsEmpty() ? ExplorerPath() : m_strCompareFolder;
    AddSeparator(path);
    AddSeparator(comparePath);
    if (PathCompareExA(path, comparePath, 3) == 0)
        comparePath.Empty();
    if (!common.IsEmpty() && PathCompareA(common, path) != 0) {
        CString question;
        question.Format("Die Dateien aus der Dateiliste haben als Basis den Pfad :    \n\n\t%s    \n\nsoll dieser statt "
                        ":\n\n\t%s    \n\nals Basispfad benutzt werden ?",
                        (const char*)common, (const char*)path);
        int answer = MessageBox(question, "Frage", MB_YESNOCANCEL | MB_ICONQUESTION);
        if (answer == IDCANCEL)
            return;
        if (answer == IDYES)
            path = common;
    }

    CDirCompareDlg dlg(this);
    dlg.m_strPath = path;
    dlg.m_strComparePath = comparePath;
    if (dlg.DoModal() != IDOK)
        return;
    path = dlg.m_strPath;
    comparePath = dlg.m_strComparePath;
    RemoveSeparators(path);
    RemoveSeparators(comparePath);
    int flags = dlg.Flags();
    CString error;
    if (PathCompareExA(path, comparePath, 3) == 0)
        error = "Quellpfad und Vergleichspfad sind gleich !";
    else if (!(flags & (DCF_CHANGED | DCF_ATTRIBUTES | DCF_DELETED | DCF_ADDED)))
        error = "Es ist keine Vergleichsoption ausgewählt !";
    else if (PathGetKindA(path) < 2)
        error.Format("Das Verzeichnis %s existiert nicht !", (const char*)path);
    else if (PathGetKindA(comparePath) < 2)
        error.Format("Das Verzeichnis %s existiert nicht !", (const char*)comparePath);
    if (!error.IsEmpty()) {
        MessageBox(error, "Fehler", MB_OK | MB_ICONERROR);
        return;
    }

    m_strCompareFolder = comparePath;
    AddSeparator(path);
    AddSeparator(comparePath);
    CStrList input(4);
    uint64_t sizeSum = 0;
    int outside;
    {
        CWaitCursor wait;
        outside = BuildDirCompareInput(files, count, path, comparePath, dlg.m_strPlus, dlg.m_strMinus, input,
                                       &sizeSum);
        // "C:\a\.\", "C:\a\sub\.." or a short name is the folder of the listed files too: they
        // may lie below its spelling on disk, or below its short form (a list filled from a
        // short name), where the typed one holds none of them.
        CString spellings[2];
        if (outside > 0) {
            PathGetTrueSpellingStr(spellings[0], path);
            char shortPath[MAX_PATH];
            DWORD n = GetShortPathNameA(path, shortPath, sizeof shortPath);
            if (n > 0 && n < sizeof shortPath)
                spellings[1] = shortPath;
        }
        bool respelt = false;
        for (CString& spelt : spellings) {
            AddSeparator(spelt);
            if (outside == 0 || spelt.IsEmpty() || PathCompareA(spelt, path) == 0)
                continue;
            CStrList other(4);
            uint64_t otherSum = 0;
            int otherOutside = BuildDirCompareInput(files, count, spelt, comparePath, dlg.m_strPlus, dlg.m_strMinus,
                                                    other, &otherSum);
            if (otherOutside < outside) {
                path = spelt;
                outside = otherOutside;
                sizeSum = otherSum;
                respelt = true;
            }
        }
        if (respelt)
            BuildDirCompareInput(files, count, path, comparePath, dlg.m_strPlus, dlg.m_strMinus, input, &sizeSum);
    }
    if (outside > 0) {
        CString warning;
        warning.Format("Es werden %i Datei nicht verglichen weil sie im falschen Verzeichnis liegen !", outside);
        if (MessageBox(warning, "Warnung", MB_OKCANCEL | MB_ICONEXCLAMATION) == IDCANCEL)
            return;
    }

    // From here on the result list holds this run's lines; each run starts without a verdict.
    m_nCompareState[0] = 0;
    m_nCompareState[1] = -1;
    m_compareResults.RemoveAll();
    m_nCompareWarning = 0;
    m_strCompareBase[0] = path;
    m_strCompareBase[1] = comparePath;
    if (m_wndResults.m_hWnd)
        m_wndResults.ResetContent();
    m_textSearch.Clear();
    m_hexSearch.Clear();

    CProgressDlg progress(this);
    progress.SetThreadPriority(THREAD_PRIORITY_LOWEST);
    progress.SetRange64(sizeSum);
    progress.SetTitle("Dateien vergleichen");
    progress.SetLineTextCompact(0, kCompareIn, input.m_nCount > 4 ? input.GetString(4) : "", 2, 0x40);
    progress.SetJob(DirCompareJob, (DWORD_PTR)this, (DWORD_PTR)&input, DWORD_PTR(input.m_nCount - 4),
                    DWORD_PTR(flags), (DWORD_PTR)&m_compareResults);
    ++m_nJobDepth;
    progress.DoModal();
    --m_nJobDepth;

    // A cancelled run found what it found: no claim about the folder.
    if (progress.m_bCancel) {
        m_nCompareWarning = 2;
    } else if (progress.m_nJobResult == 2 && m_compareResults.m_nCount == 0) {
        MessageBox("Es wurde keine Datei im Vergleichsverzeichniss gefunden !", "Warnung", MB_OK | MB_ICONEXCLAMATION);
        m_nCompareWarning = 1;
    }
    if (m_compareResults.m_nCount >= kDirCompareLineLimit)
        AfxMessageBox("Es wurden zuviele Unterschiede gefunden.", MB_OK);
    if (CMainFrame* frame = GetMainFrame()) {
        char text[64];
        FormatResultCount(text, sizeof text, m_compareResults.m_nCount);
        frame->SetPaneText(0, text);
    }
    FillDirCompareResults();
    ShowResults(TRUE);
}

void CVellmorantView::FillDirCompareResults()
{
    if (!m_wndResults.m_hWnd)
        return;
    m_wndResults.SetOption(CLBO_REDRAW, 2);
    char line[kResultLineSize];
    unsigned char colors[kResultLineSize];
    for (int i = 0; i < m_compareResults.m_nCount; ++i) {
        int n = BuildDirCompareLine(m_compareResults, i, line, colors);
        m_wndResults.AddLine(line, n, colors);
    }
    if (m_compareResults.m_nCount == 0)
        m_wndResults.AddLine(m_nCompareWarning == 2   ? "Der Vergleich wurde abgebrochen."
                             : m_nCompareWarning ? "Es wurden keine Dateien gefunden."
                                                 : "Keine Unterschiede gefunden.");
    m_wndResults.SetOption(CLBO_REDRAW, 1);
    m_nResultKind = RESULTS_OTHER;
    m_nResultCount = m_compareResults.m_nCount;
}

int CVellmorantView::GetDirCompareFiles(int index, CString& listed, CString& counterpart)
{
    listed.Empty();
    counterpart.Empty();
    if (m_nResultKind != RESULTS_OTHER || index < 0 || index >= m_compareResults.m_nCount)
        return -1;
    int kind = int(*m_compareResults.Item<uint32_t>(index));
    if (kind == DCK_CONTENT || kind == DCK_ATTRIBUTES || kind == DCK_OPEN_FAILED)
        DirCompareLineFiles(m_compareResults.GetString(index), m_strCompareBase[0], m_strCompareBase[1], listed,
                            counterpart);
    return kind;
}
