// The view's search commands: the text and value searches as progress jobs with their limit
// message and result count, the filling of the result list, and the result list's commands
// (delete, copy, copy path, select all, search the selection, sort) and context menu.
#include <cstdlib>
#include <cstring>

#include "app/MainFrm.h"
#include "app/MultiString.h"
#include "app/Resource.h"
#include "app/ResultLineFeed.h"
#include "app/ResultList.h"
#include "app/ResultMenu.h"
#include "app/SearchCommands.h"
#include "system/SkippedFiles.h"
#include "app/TextSearchDlg.h"
#include "app/ValueSearchDlg.h"
#include "app/VellmorantView.h"
#include "text/Format.h"
#include "toolkit/ControlHelpers.h"
#include "toolkit/WndHelpers.h"

namespace {

const char kSearchIn[] = "Suche in :  ";
const char kFoundCount[] = "Es wurden %i Einträge gefunden.";
const int64_t kProgressRange = 1024;
// The bitmap strip of the menu images and the width of one image.
const UINT kMenuStrip = IDB_MENU_STRIP;
const int kMenuImageWidth = 13;

// What a search's timer callback reads: the engine's counters, the files walked, the total.
struct SearchUi {
    CTextSearch* text;         // one of the two engines
    CHexSearch* hex;
    CDirList* files;           // the file list, or
    const CStrList* paths;     // the paths searched instead
    uint64_t totalBytes;
    SearchProgressState* state;
};

// The progress shown by each search's timer (process-wide, one per search kind).
SearchProgressState g_textProgress;
SearchProgressState g_hexProgress;

const char* WalkedPath(const SearchUi& ui, long index)
{
    if (index < 0)
        return "";
    if (ui.paths)
        return index < ui.paths->m_nCount ? ui.paths->GetString(int(index)) : "";
    if (ui.files && index < ui.files->m_nCount) {
        const char* p = ui.files->GetPath(int(index));
        return p ? p : "";
    }
    return "";
}

void ShowProgress(CProgressDlg* pDlg, const SearchUi& ui, uint64_t bytesDone, long position, long fileIndex,
                  long hitCount)
{
    SearchProgressTick tick =
        StepSearchProgress(*ui.state, bytesDone, position, ui.totalBytes, kProgressRange, fileIndex, hitCount);
    if (tick.setPosition)
        pDlg->SetPos64(ULONGLONG(tick.position));
    if (tick.setFile)
        pDlg->SetLineTextCompact(0, kSearchIn, WalkedPath(ui, tick.fileIndex), 2, 0x40);
    if (tick.setCount) {
        char line[96];
        StrFormat(line, sizeof line, kFoundCount, int(tick.hitCount));
        pDlg->SetLineText(1, line);
    }
}

void TextSearchProgress(CProgressDlg* pDlg, void* pArg)
{
    const SearchUi& ui = *static_cast<const SearchUi*>(pArg);
    CTextSearch& e = *ui.text;
    // Cancel ends the walk before the next file and the buffer search before its next line.
    if (pDlg->m_bCancel)
        StopTextSearch(e);
    ShowProgress(pDlg, ui, e.m_nBytesDone, e.m_nLinePos, e.m_nFileIndex, e.m_hits.m_nCount);
}

void HexSearchProgress(CProgressDlg* pDlg, void* pArg)
{
    const SearchUi& ui = *static_cast<const SearchUi*>(pArg);
    CHexSearch& e = *ui.hex;
    if (pDlg->m_bCancel)
        StopHexSearch(e);
    ShowProgress(pDlg, ui, e.m_nBytesDone, e.m_nPosition, e.m_nFileIndex, e.m_hits.m_nCount);
}

// A cancel stops the engine at once, not only at the next tick.
void TextSearchCancel(CProgressDlg*, void* pArg) { StopTextSearch(*static_cast<SearchUi*>(pArg)->text); }
void HexSearchCancel(CProgressDlg*, void* pArg) { StopHexSearch(*static_cast<SearchUi*>(pArg)->hex); }

int TextSearchJob(CProgressDlg* pDlg)
{
    return RunTextSearchJob(*reinterpret_cast<const TextSearchJobData*>(pDlg->m_dwUser[1]));
}

int HexSearchJob(CProgressDlg* pDlg)
{
    return RunHexSearchJob(*reinterpret_cast<const HexSearchJobData*>(pDlg->m_dwUser[1]));
}

// Runs a search job under a modal progress dialog: the progress and cancel callbacks get ui,
// the job gets the view and its data.
void RunSearchProgress(CVellmorantView* view, const char* title, CProgressDlg::CallbackFn progressFn,
                       CProgressDlg::CallbackFn cancelFn, CProgressDlg::JobFn jobFn, const void* jobData,
                       SearchUi& ui)
{
    // A hidden result pane then appears while the search runs (nothing when it is shown).
    view->PostMessage(WM_VM_SHOW_RESULTS);
    CProgressDlg progress(view);
    progress.SetThreadPriority(THREAD_PRIORITY_LOWEST);
    progress.SetTitle(title);
    progress.SetTimerCallback(progressFn, 300, &ui);
    progress.SetCancelCallback(cancelFn, &ui);
    progress.SetJob(jobFn, (DWORD_PTR)view, (DWORD_PTR)jobData);
    progress.SetLineTextCompact(0, kSearchIn, WalkedPath(ui, 0), 2, 0x40);
    progress.SetRange64(ULONGLONG(kProgressRange));
    progress.SetLineCount(2);
    progress.DoModal();
}

// The result count in the frame's first status pane (no frame: nothing).
void ShowResultCount(CMainFrame* frame, int results)
{
    if (!frame)
        return;
    char count[64];
    FormatResultCount(count, sizeof count, results);
    frame->SetPaneText(0, count);
}

// After a search: says when the hits reached the limit, and shows their count.
void ReportSearchEnd(CMainFrame* frame, int hits, int limit)
{
    if (hits >= limit)
        AfxMessageBox(kTooManyResults, MB_OK);
    ShowResultCount(frame, hits);
}

// After the results: names the files that the search could not search, so that a missing hit
// is not taken for an absent one. Nothing when every file was searched.
void ReportSkippedFiles(const CSkippedFiles& skipped)
{
    std::string text = FormatSkippedFiles(skipped, "durchsucht");
    if (!text.empty())
        AfxMessageBox(text.c_str(), MB_OK | MB_ICONWARNING);
}

}  // namespace

// ----- text search ----------------------------------------------------------------------------

void CVellmorantView::OnTextSearch()
{
    CString selected;
    DoTextSearch(SelectedSearchText(m_wndResults, selected) ? (const char*)selected : nullptr);
}

void CVellmorantView::DoTextSearch(const char* text)
{
    // A request from another program may arrive while a job runs: the engines are the job's.
    if (IsJobRunning())
        return;
    CTextSearchDlg dlg(this);
    dlg.m_bResultsExist = m_nResultCount > 0;
    if (dlg.DoModalWithText(text) != IDOK)
        return;
    DWORD options = CTextSearchDlg::GetFlags();
    CString searchText = dlg.GetText();

    CDirList& files = m_wndFiles.m_DirList;
    m_nTotalSize = 0;
    m_nTotalSize = files.GetTotalSize();
    CStrList paths;
    bool inResults = (options & TSO_INRESULTS) != 0;
    if (inResults)
        CollectResultFiles(paths);

    if (m_wndResults.m_hWnd)
        m_wndResults.ResetContent();
    m_textSearch.Clear();

    TextSearchJobData job = {&m_textSearch, &m_cache, m_nCacheSize, searchText,
                             TextSearchEngineFlags(options, searchText), CTextSearchDlg::GetLines(),
                             inResults ? &paths : nullptr, &files};
    g_textProgress = SearchProgressState();
    SearchUi ui = {&m_textSearch, nullptr, inResults ? nullptr : &files, inResults ? &paths : nullptr,
                   m_nTotalSize, &g_textProgress};

    ++m_nJobDepth;
    RunSearchProgress(this, "Textsuche", TextSearchProgress, TextSearchCancel, TextSearchJob, &job, ui);
    --m_nJobDepth;
    ReportSearchEnd(GetMainFrame(), m_textSearch.GetHitCount(), m_textSearch.m_nResultLimit);
    m_resultStamps.Capture(m_textSearch.m_names, m_textSearch.m_seen);
    FillTextResults();
    ShowResults(TRUE);
    ReportSkippedFiles(m_textSearch.m_skipped);
}

// ----- value search ---------------------------------------------------------------------------

void CVellmorantView::OnHexSearch()
{
    if (IsJobRunning())
        return;
    DWORD options = 0;
    char* history = nullptr;
    char* groupList = nullptr;
    char* group = nullptr;
    CValueSearchDlg::LoadSettings(&options, &history, &groupList);
    CValueSearchDlg dlg(this);
    if (dlg.Run(&options, &history, nullptr, &group, &groupList, nullptr) != IDOK) {
        MultiStrFree(&history);
        MultiStrFree(&groupList);
        MultiStrFree(&group);
        return;
    }

    CDirList& files = m_wndFiles.m_DirList;
    m_nTotalSize = 0;
    m_nTotalSize = files.GetTotalSize();
    if (m_wndResults.m_hWnd)
        m_wndResults.ResetContent();
    m_hexSearch.Clear();

    HexSearchJobData job = {&m_hexSearch, &m_cache, m_nCacheSize, group,
                            (options & VSO_ORDER) ? int(CHexSearch::InOrder) : 0, &files};
    g_hexProgress = SearchProgressState();
    SearchUi ui = {nullptr, &m_hexSearch, &files, nullptr, m_nTotalSize, &g_hexProgress};

    ++m_nJobDepth;
    RunSearchProgress(this, "HEX-Suche", HexSearchProgress, HexSearchCancel, HexSearchJob, &job, ui);
    --m_nJobDepth;
    ReportSearchEnd(GetMainFrame(), m_hexSearch.GetHitCount(), m_hexSearch.m_nResultLimit);
    m_resultStamps.Capture(m_hexSearch.m_names, m_hexSearch.m_seen);
    CValueSearchDlg::SaveSettings(options, history, groupList);
    MultiStrFree(&history);
    MultiStrFree(&groupList);
    MultiStrFree(&group);
    FillHexResults();
    ShowResults(TRUE);
    ReportSkippedFiles(m_hexSearch.m_skipped);
}

// ----- filling the list -----------------------------------------------------------------------

namespace {

// The lines of a feed as a source of the result list's lines.
struct ResultLineSource {
    CResultLineFeed* feed;
    CSentMessagePump pump;   // a million lines take a second or two

    static BOOL Get(void* context, int, ColorListItem* item)
    {
        ResultLineSource* s = static_cast<ResultLineSource*>(context);
        s->pump.Tick();
        const char* text;
        const unsigned char* colors;
        if (!s->feed->Next(&text, &item->cchText, &colors))
            return FALSE;
        item->mask = CLIF_TEXT | CLIF_COLOR | CLIF_COLORPERCHAR;
        item->pszText = const_cast<char*>(text);
        item->pColors = colors;
        return TRUE;
    }
};

// The value hits' lines as a maker of lines.
struct HexLineMaker {
    const CHexSearch* engine;
    int Build(int i, char* line, unsigned char* colors) { return BuildHexResultLine(*engine, i, line, colors); }
};

// Fills the result list with count coloured lines from maker (or the "no results" line), made
// ahead on a helper thread while the list adds them; drawing waits until every line is in.
// Returns count.
template <class Maker>
int FillResultLines(CColorListBox& list, int count, Maker& maker)
{
    list.SetOption(CLBO_REDRAW, 2);
    CResultLineFeed feed(count, [](void* m, int i, char* line, unsigned char* colors) {
        return static_cast<Maker*>(m)->Build(i, line, colors);
    }, &maker);
    ResultLineSource source;
    source.feed = &feed;
    list.AddLines(count, ResultLineSource::Get, &source);
    if (count == 0)
        list.AddLine(kNoResultsLine);
    list.SetOption(CLBO_REDRAW, 1);
    return count;
}

}  // namespace

void CVellmorantView::FillTextResults()
{
    if (!m_wndResults.m_hWnd)
        return;
    CTextResultLineMaker maker(m_textSearch);
    // The list answers sent messages while it fills and a thread reads the hits: no command
    // may change them meanwhile.
    ++m_nJobDepth;
    m_nResultCount = FillResultLines(m_wndResults, m_textSearch.GetHitCount(), maker);
    --m_nJobDepth;
    m_nResultKind = RESULTS_TEXT;
}

void CVellmorantView::FillHexResults()
{
    if (!m_wndResults.m_hWnd)
        return;
    HexLineMaker maker = {&m_hexSearch};
    ++m_nJobDepth;
    m_nResultCount = FillResultLines(m_wndResults, m_hexSearch.GetHitCount(), maker);
    --m_nJobDepth;
    m_nResultKind = RESULTS_HEX;
}

void CVellmorantView::ShowResults(BOOL show)
{
    if (m_layout.resultShown == (show != FALSE))
        return;
    m_layout.resultShown = show != FALSE;
    if (m_hWnd) {
        RecalcLayout();
        RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    }
}

LRESULT CVellmorantView::OnShowResultsPosted(WPARAM, LPARAM)
{
    ShowResults(TRUE);
    return 0;
}

int CVellmorantView::CollectResultFiles(CStrList& list)
{
    return ::CollectResultFiles(m_nResultKind, m_nResultCount, &m_textSearch, &m_hexSearch, &m_compareResults, list);
}

// ----- result commands ------------------------------------------------------------------------

void CVellmorantView::OnDeleteResult()
{
    if (!m_wndResults.m_hWnd || IsJobRunning())
        return;
    int sel = m_wndResults.GetCurSel();
    // Only a selected line that stands for a result.
    if (sel < 0 || sel >= m_nResultCount)
        return;
    if (m_nResultKind == RESULTS_HEX)
        m_hexSearch.RemoveHit(sel);
    else if (m_nResultKind == RESULTS_TEXT)
        m_textSearch.RemoveHit(sel);
    else if (sel < m_compareResults.m_nCount)
        m_compareResults.RemoveAt(sel);   // a later sort must not bring it back
    m_wndResults.SendMessage(LB_DELETESTRING, sel, (LPARAM)0xBD000001);
    --m_nResultCount;
    ShowResultCount(GetMainFrame(), m_nResultCount);
    int lines = m_wndResults.GetCount();
    if (lines > 0)
        m_wndResults.SetCurSel(sel < lines ? sel : lines - 1);
}

void CVellmorantView::OnResultCopy()
{
    if (m_wndResults.m_hWnd)
        m_wndResults.SendMessage(WM_COPY);
}

void CVellmorantView::OnResultSelectAll()
{
    if (m_wndResults.m_hWnd)
        m_wndResults.SendMessage(CLB_SELECTALL);
}

void CVellmorantView::CopyResultPath()
{
    if (!m_wndResults.m_hWnd)
        return;
    int sel = m_wndResults.GetCurSel();
    if (sel < 0 || sel >= m_nResultCount)
        return;
    char line[kResultLineSize];
    ColorListItem item = {};
    item.mask = CLIF_TEXT;
    item.index = sel;
    item.pszText = line;
    item.cchTextMax = sizeof line;
    int n = (int)m_wndResults.SendMessage(CLB_GETLINE, 0, (LPARAM)&item);
    if (n <= 0)
        return;
    if (n >= int(sizeof line))
        n = int(sizeof line) - 1;
    char path[MAX_PATH];
    int len = ResultLinePath(line, n, m_nResultKind == RESULTS_OTHER, path, sizeof path);
    if (len > 0)
        CopyTextToClipboard(path, len);
}

void CVellmorantView::OnSearchSelectedText()
{
    CString selected;
    if (SelectedSearchText(m_wndResults, selected))
        DoTextSearch(selected);
}

void CVellmorantView::OnSortByPath() { SortResults(0); }
void CVellmorantView::OnSortByName() { SortResults(1); }
void CVellmorantView::OnSortByType() { SortResults(2); }

void CVellmorantView::SortResults(int column)
{
    if (!m_wndResults.m_hWnd || IsJobRunning())
        return;
    CWaitCursor wait;
    if (m_nResultKind == RESULTS_TEXT) {
        if (m_textSearch.SortBy(column, -1)) {
            m_wndResults.ResetContent();
            FillTextResults();
        }
    } else if (m_nResultKind == RESULTS_HEX) {
        if (m_hexSearch.SortBy(column, -1)) {
            m_wndResults.ResetContent();
            FillHexResults();
        }
    } else if (m_compareResults.m_nCount > 0) {
        // m_nCompareState: the direction and the column of the last sort (-1: none).
        if (SortDirCompareLines(m_compareResults, column, &m_nCompareState[1], &m_nCompareState[0])) {
            m_wndResults.ResetContent();
            FillDirCompareResults();
        }
    }
}

// ----- context menu and edit commands -------------------------------------------------------

namespace {

// The result list's popup menu at point (screen; -1, -1 from the keyboard), owned by owner.
void ShowResultMenu(HWND owner, CColorListBox& list, bool noResults, CPoint point)
{
    if (point.x == -1 && point.y == -1) {
        RECT rc;
        list.GetWindowRect(&rc);
        point = CPoint(rc.left, rc.top);
    }
    DWORD first = 0, last = 0;
    int textSel = (int)list.SendMessage(CLB_GETTEXTSEL, (WPARAM)&first, (LPARAM)&last);
    int lineSel = list.GetCurSel();
    bool empty = list.GetCount() == 0;
    HMENU hMenu = BuildResultMenu(textSel, lineSel, empty, noResults);
    if (!hMenu)
        return;
    TrackPopupMenu(hMenu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, point.x, point.y, 0, owner, nullptr);
    DestroyMenu(hMenu);
}

// The explorer pane's popup menu for the item under point. The copy commands read the item's
// path from texts[0] and the hit column's text from texts[1].
void ShowExplorerMenu(HWND owner, CBrowseCtrl& browse, char (*texts)[MAX_PATH], CPoint point)
{
    INT_PTR item = 0;
    int column = 0;
    int hit = browse.HitTest(point, &item, &column);
    if (hit == BHT_NONE)
        return;
    char* path = texts[0];
    char* columnText = texts[1];
    if (browse.GetItemText(hit, item, path, MAX_PATH, 0) < 0)
        path[0] = 0;
    columnText[0] = 0;
    if (hit == BHT_LIST && column >= 1 && browse.GetItemText(hit, item, columnText, MAX_PATH, column) < 0)
        columnText[0] = 0;
    const UINT grey = MF_GRAYED;
    HMENU hMenu = CreatePopupMenu();
    if (!hMenu)
        return;
    AppendMenuA(hMenu, MF_STRING | (path[0] ? 0 : grey), ID_COPY_NAMES, "&Namen kopieren");
    AppendMenuA(hMenu, MF_STRING | (path[0] ? 0 : grey), ID_COPY_NAME, "&Pfad kopieren");
    AppendMenuA(hMenu, MF_STRING | (columnText[0] ? 0 : grey), ID_COPY_COLUMN, "&Spalte kopieren");
    SetMenuItemBitmapFromStrip(hMenu, ID_COPY_NAMES, kMenuStrip, 1, kMenuImageWidth);
    SetMenuItemBitmapFromStrip(hMenu, ID_COPY_NAME, kMenuStrip, 9, kMenuImageWidth);
    TrackPopupMenu(hMenu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, point.x, point.y, 0, owner, nullptr);
    DestroyMenu(hMenu);
}

}  // namespace

void CVellmorantView::OnContextMenu(CWnd* pWnd, CPoint point)
{
    if (!pWnd)
        return;
    HWND hWnd = pWnd->m_hWnd;
    if (m_wndResults.m_hWnd && hWnd == m_wndResults.m_hWnd) {
        bool noResults;
        if (m_nResultKind == RESULTS_TEXT)
            noResults = m_textSearch.GetHitCount() == 0;
        else if (m_nResultKind == RESULTS_HEX)
            noResults = m_hexSearch.GetHitCount() == 0;
        else
            noResults = m_compareResults.m_nCount == 0;
        ShowResultMenu(m_hWnd, m_wndResults, noResults, point);
    } else if (m_wndBrowse.m_hWnd && (hWnd == m_wndBrowse.m_hWnd || ::IsChild(m_wndBrowse.m_hWnd, hWnd))) {
        ShowExplorerMenu(m_hWnd, m_wndBrowse, m_szMenuText, point);
    }
}

namespace {

// The pane that cut, copy and paste go to: the focused explorer pane (or one of its
// children) or file list; copy also serves the result list.
HWND EditTarget(HWND explorer, HWND fileList, HWND results, bool copy)
{
    HWND focus = ::GetFocus();
    if (!focus)
        return nullptr;
    if (fileList && focus == fileList)
        return fileList;
    if (explorer && (focus == explorer || ::IsChild(explorer, focus)))
        return explorer;
    if (copy && results && focus == results)
        return results;
    return nullptr;
}

}  // namespace

void CVellmorantView::OnEditCut()
{
    if (HWND h = EditTarget(ExplorerWnd(), FileListWnd(), m_wndResults.m_hWnd, false))
        ::SendMessageA(h, WM_CUT, 0, 0);
}

void CVellmorantView::OnEditCopy()
{
    if (HWND h = EditTarget(ExplorerWnd(), FileListWnd(), m_wndResults.m_hWnd, true))
        ::SendMessageA(h, WM_COPY, 0, 0);
}

void CVellmorantView::OnEditPaste()
{
    if (HWND h = EditTarget(ExplorerWnd(), FileListWnd(), m_wndResults.m_hWnd, false))
        ::SendMessageA(h, WM_PASTE, 0, 0);
}
