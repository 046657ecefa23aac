// The view's execution-menu commands: editing the menus and running one on the file list or
// the result list.
#include <vector>

#include "app/ExecExpand.h"
#include "app/ExecMenuDlg.h"
#include "app/ExecMenuStore.h"
#include "app/ExecRun.h"
#include "app/ResultList.h"
#include "app/VellmorantView.h"
#include "system/DirList.h"
#include "system/RegKeys.h"
#include "toolkit/InputDlgs.h"

namespace {

const char* const kWindowChoices[2] = {"Aus Dateiliste", "Aus Ergebnisliste"};

void CancelExecRun(CProgressDlg*, void* pArg) { static_cast<CExecRun*>(pArg)->EndWaitedProgram(); }

CString WithoutAmpersands(const char* name) {
  CString out;
  for (const char* p = name; *p; ++p)
    if (*p != '&') out += *p;
  return out;
}

}  // namespace

void CVellmorantView::LoadExecMenuNames() { m_nExecMenuCount = CountExecMenus(); }

void CVellmorantView::OnEditExecMenus() {
  if (IsJobRunning()) return;
  CExecMenuDlg dlg(this);
  dlg.DoModal();
  LoadExecMenuNames();
}

void CVellmorantView::OnUpdateRunExecMenu(CCmdUI* pCmdUI) {
  bool results = (m_nResultKind == 0 && m_textSearch.GetHitCount() > 0) ||
                 (m_nResultKind == 1 && m_hexSearch.GetHitCount() > 0) ||
                 (m_nResultKind == 2 && m_compareResults.m_nCount > 0);
  pCmdUI->Enable(m_nExecMenuCount > 0 && (GetFileCount() > 0 || results));
}

int CVellmorantView::ExecItemCount(int source) const {
  switch (source) {
    case -1: return GetFileCount();
    case 0: return m_textSearch.GetHitCount();
    case 1: return m_hexSearch.GetHitCount();
    // The line that says there is no difference is no item.
    case 2: return m_compareResults.m_nCount;
    default: return 0;
  }
}

void CVellmorantView::CollectExecItems(int source, std::vector<ExecItem>& items) {
  int count = ExecItemCount(source);
  items.resize(size_t(count < 0 ? 0 : count));
  // A file listed twice runs once: its second listing is an item without a path.
  std::vector<char> first;
  if (source == -1) first = DirListFirstListings(m_wndFiles.m_DirList);
  for (int i = 0; i < count; ++i) {
    ExecItem& item = items[size_t(i)];
    if (source == -1) {
      const DirEntry* entry = m_wndFiles.m_DirList.GetEntry(i);
      if (entry && (entry->IsFolder() || (size_t(i) < first.size() && first[size_t(i)])))
        item.path = entry->FullPath();
    } else if (source == 0) {
      const TextSearchHit* hit = m_textSearch.m_hits.Item<TextSearchHit>(i);
      if (hit->nameIndex >= 0 && hit->nameIndex < m_textSearch.m_names.m_nCount)
        item.path = m_textSearch.m_names.GetString(hit->nameIndex);
      item.pos = hit->pos;
      item.line = hit->line;
      item.length = hit->length;
    } else if (source == 1) {
      const HexSearchHit* hit = m_hexSearch.m_hits.Item<HexSearchHit>(i);
      if (hit->nameIndex >= 0 && hit->nameIndex < m_hexSearch.m_names.m_nCount)
        item.path = m_hexSearch.m_names.GetString(hit->nameIndex);
      item.pos = hit->position;
      item.length = hit->length;
    } else {
      // A buffer beyond the longest path lets a path that is too long reach the run, which
      // skips it and says so.
      char path[1024];
      if (ResultLinePath(m_compareResults.GetString(i), m_compareResults.GetLength(i), true, path, sizeof path) > 0)
        item.path = path;
    }
  }
}

void CVellmorantView::OnRunExecMenu() {
  if (IsJobRunning()) return;
  CString lastExec;
  DWORD lastWnd = 1;
  {
    CRegKeys reg;
    if (reg.Open(nullptr, nullptr, 0)) {
      reg.QueryString(lastExec, "LastExec");
      reg.QueryValue(&lastWnd, 4, "LastExecWnd", REG_DWORD);
    }
  }
  CComboDlg choice(this);
  choice.SetTitle("Fenster wählen");
  choice.SetPrompt("Aus welchem Fenster sollen die Dateien genommen werden ?");
  choice.AddItem(kWindowChoices[0], 0);
  choice.AddItem(kWindowChoices[1], 1);
  choice.FindItem(kWindowChoices[lastWnd ? 1 : 0]);
  if (choice.DoModal() != IDOK || choice.GetCurSel() < 0) return;
  int window = choice.GetCurSel() ? 1 : 0;
  {
    CRegKeys reg;
    DWORD v = DWORD(window);
    if (reg.Open(nullptr, nullptr, 2)) reg.SetValue(&v, 4, "LastExecWnd", REG_DWORD);
  }

  int source = window ? m_nResultKind : -1;
  int count = ExecItemCount(source);
  if (count < 1) {
    MessageBox("Es sind keine Eintäge im Fenster vorhanden !", "Fehler", MB_OK | MB_ICONERROR);
    return;
  }

  CStrList names;
  ReadExecMenuNames(names);
  if (names.m_nCount == 0) {
    MessageBox("Es sind keine Ausführungsmenüs definiert !", "Information", MB_OK | MB_ICONINFORMATION);
    return;
  }
  choice.RemoveAll();
  for (int i = 0; i < names.m_nCount; ++i) choice.AddItem(WithoutAmpersands(names.GetString(i)), DWORD_PTR(i + 1));
  CString title;
  title.Format("Ausführungsmenü %s", kWindowChoices[window]);
  choice.SetTitle(title);
  choice.SetPrompt("Bitte das Ausführungsmenü auswählen.");
  choice.FindItem(lastExec);
  if (choice.DoModal() != IDOK || choice.GetCurSel() < 0) return;
  {
    CRegKeys reg;
    if (reg.Open(nullptr, nullptr, 2)) reg.SetString(choice.GetText(), "LastExec");
  }

  CString name;
  std::vector<ExecEntry> entries;
  // A menu that vanished meanwhile ends the command silently.
  if (!ReadExecMenu(int(choice.GetItemData(choice.GetCurSel())) - 1, name, entries)) return;
  std::vector<ExecItem> items;
  CollectExecItems(source, items);

  CStartProg runner;
  CProgressDlg progress(this);
  CExecRun run(&progress, runner, entries, m_execBatches, &m_cache);
  progress.SetThreadPriority(THREAD_PRIORITY_LOWEST);
  progress.SetTitle("Ausführungsmenü");
  progress.SetCancelCallback(CancelExecRun, &run);
  progress.SetRange64(ULONGLONG(count));
  progress.SetLineCount(1);
  progress.SetJob(RunExecEntry, (DWORD_PTR)this, (DWORD_PTR)&run, (DWORD_PTR)&items, DWORD_PTR(source),
                  DWORD_PTR(count));
  ++m_nJobDepth;
  progress.DoModal();
  --m_nJobDepth;
  if (run.SkippedCount() > 0) {
    CString text;
    text.Format("Es wurden %i Einträge übersprungen, weil ihr Pfad oder ihre Kommandozeile zu lang "
                "ist:\n\n%.300s",
                run.SkippedCount(), run.FirstSkipped().c_str());
    MessageBox(text, "Warnung", MB_OK | MB_ICONWARNING);
  }
}

int CVellmorantView::RunExecEntry(CProgressDlg* pDlg) {
  CExecRun* run = reinterpret_cast<CExecRun*>(pDlg->m_dwUser[1]);
  const std::vector<ExecItem>* items = reinterpret_cast<const std::vector<ExecItem>*>(pDlg->m_dwUser[2]);
  run->Run(*items);
  return 0;
}
