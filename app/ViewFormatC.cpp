// "C Formatieren": runs the sibling formatter once for every C or C++ source of the file list,
// one after another under the progress dialog, in a mode the user picks from the formatter's
// own list of modes.
#include <string>

#include "app/FileCache.h"
#include "app/Resource.h"
#include "app/SiblingProgs.h"
#include "app/VellmorantView.h"
#include "system/Paths.h"
#include "system/RegKeys.h"
#include "toolkit/InputDlgs.h"

namespace {

const char kModesKey[] = "Software\\QV\\Trellobrisant\\Modes";
const char kSettingsKey[] = "TrellobriskDlg";
const char kStandardMode[] = "<Standard>";
const int kMaxModes = 64;

// The question for a failed run of path (exit code, or the start failing), or "" when the
// run counts as done.
CString FailureText(bool started, DWORD exitCode, const char* path) {
  CString text;
  const char* name = PathFindFileNameA(-1, path);
  if (!started)
    text.Format("Das Programm Trellobrisant.exe konnte f\xFCr '%s' nicht gestartet werden !", name);
  else if (int(exitCode) == -1)
    text.Format("Die Datei '%s' konnte nicht ge\xF6" "ffnet werden !", name);
  else if (int(exitCode) == -2)
    text.Format("Die Datei '%s' konnte nicht gespeichert werden !", name);
  return text;
}

}  // namespace

int CVellmorantView::FormatCJob(CProgressDlg* pDlg) {
  // The user words: the view, the files (each with its 32-bit size), the program, the mode.
  const CStrList* files = reinterpret_cast<const CStrList*>(pDlg->m_dwUser[1]);
  CString exe("?");
  exe += reinterpret_cast<const char*>(pDlg->m_dwUser[2]);
  const char* mode = reinterpret_cast<const char*>(pDlg->m_dwUser[3]);
  CStartProg prog;
  ULONGLONG done = 0;
  for (int i = 0; i < files->m_nCount && !pDlg->m_bCancel;) {
    const char* path = files->GetString(i);
    pDlg->SetLineTextCompact(0, "Bearbeite :  ", path, 2, 0x40);
    prog.Reset();
    prog.SetProgram(exe);
    prog.AddArg("-h");
    prog.AddArg("-m");
    prog.AddArg(mode);
    prog.AddArg(path);
    bool started = prog.Start(CStartProg::FlagWait) != FALSE;
    CString question = FailureText(started, prog.GetExitCode(), path);
    if (!question.IsEmpty()) {
      int answer = pDlg->MessageBox(question, "Fehler", MB_ABORTRETRYIGNORE | MB_ICONERROR);
      if (answer == IDABORT) break;
      if (answer == IDRETRY) continue;
    }
    const DWORD* size = files->Item<const DWORD>(i);
    done += size ? *size : 0;
    pDlg->SetPos64(done);
    ++i;
  }
  return 0;
}

void CVellmorantView::OnFormatC() {
  if (IsJobRunning()) return;
  CComboDlg dlg(this);
  dlg.SetTitle("Modus ausw\xE4hlen");
  dlg.SetPrompt("Modi:");
  dlg.AddItem(kStandardMode);
  {
    CRegKeys modes;
    if (modes.Open(nullptr, kModesKey, 2)) {
      for (int i = 0; i < kMaxModes; ++i) {
        const char* name = modes.EnumValueName(i);
        if (!name) break;
        dlg.AddItem(name);
      }
    }
  }
  CString last;
  {
    CRegKeys reg;
    if (reg.Open(nullptr, nullptr, 0) && reg.OpenSubKey(kSettingsKey)) reg.QueryString(last, "LastMode");
  }
  dlg.FindItem(last, 0);
  if (dlg.DoModal() != IDOK) return;
  CString mode = dlg.GetText();
  {
    CRegKeys reg;
    if (reg.Open(nullptr, nullptr, 2) && reg.OpenSubKey(kSettingsKey)) reg.SetString(mode, "LastMode");
  }

  CStrList files(sizeof(DWORD));
  ULONGLONG total = 0;
  // A file listed twice is formatted once.
  for (int i : DirListDistinctFiles(m_wndFiles.m_DirList)) {
    const DirEntry* entry = m_wndFiles.m_DirList.GetEntry(i);
    if (!PathMatchExtensionListA(entry->FullPath(), "c;cc;cpp;h;hh;hpp")) continue;
    DWORD size = entry->nFileSizeLow;
    files.Insert(entry->FullPath(), -1, &size);
    total += size;
  }
  if (files.m_nCount == 0) {
    MessageBox("Es sind keine C-Dateien in der Auswahl !", "Fehler", MB_OK | MB_ICONERROR);
    return;
  }
  char program[MAX_PATH];
  if (!FindSiblingProgram(SIBLING_FORMATTER, program)) {
    MessageBox("Das Programm Trellobrisant.exe konnte nicht gefunden werdm !", "Fehler", MB_OK | MB_ICONERROR);
    return;
  }

  CProgressDlg progress(this);
  progress.SetJob(FormatCJob, DWORD_PTR(this), DWORD_PTR(&files), DWORD_PTR(program), DWORD_PTR((const char*)mode));
  progress.SetTitle("C-Dateien formatieren");
  progress.SetThreadPriority(THREAD_PRIORITY_LOWEST);
  progress.SetRange64(total);
  progress.SetLineCount(1);
  ++m_nJobDepth;
  progress.DoModal();
  --m_nJobDepth;
  // The formatter rewrote the files: cached copies are stale.
  for (int i = 0; i < files.m_nCount; ++i) FileCacheDrop(&m_cache, files.GetString(i));
}
