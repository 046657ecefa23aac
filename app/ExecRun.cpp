// Running an execution menu's entries for the items.
#include "app/ExecRun.h"

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <utility>

#include "app/FileCache.h"
#include "system/Paths.h"
#include "system/StartProg.h"
#include "system/StrList.h"
#include "text/Convert.h"
#include "toolkit/ProgressDlg.h"

namespace {

int ShowState(DWORD show) {
  switch (show) {
    case 0: return SW_HIDE;
    case 2: return SW_SHOWMAXIMIZED;
    case 3: return SW_MINIMIZE;
    default: return SW_SHOWNORMAL;
  }
}

std::string TempFolder() {
  char buf[MAX_PATH];
  DWORD n = GetTempPathA(sizeof buf, buf);
  if (n == 0 || n >= sizeof buf) return std::string();
  return std::string(buf, n);
}

// The batch of a waited run is named by the process id alone; those of runs that go on
// after the start add a serial number, so that they never take the name another instance of
// the program is about to write for its waited batch.
std::string BatchName(const std::string& folder, DWORD pid, unsigned serial = 0) {
  char name[48];
  if (serial)
    wsprintfA(name, "CMD%08X-%X.bat", pid, serial);
  else
    wsprintfA(name, "CMD%08X.bat", pid);
  return folder + name;
}

// Writes text as the whole new file path (CREATE_NEW unless replace). False on any failure.
bool WriteBatch(const std::string& path, const std::string& text, bool replace) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, replace ? CREATE_ALWAYS : CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(h, text.data(), DWORD(text.size()), &written, nullptr) && written == text.size();
  ok = CloseHandle(h) && ok;
  if (!ok) DeleteFileA(path.c_str());
  return ok;
}

bool EqualNoCase(const CString& a, const char* b) { return lstrcmpiA(a, b) == 0; }

ULONGLONG CreationTime(HANDLE process) {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
  return (ULONGLONG(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

// The processes that root started, and theirs in turn, opened for ending; a process that
// began before its listed parent carries a reused id and is none of them.
std::vector<HANDLE> OpenDescendants(DWORD root) {
  std::vector<HANDLE> found;
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return found;
  std::vector<PROCESSENTRY32> all;
  PROCESSENTRY32 pe = {};
  pe.dwSize = sizeof pe;
  for (BOOL more = Process32First(snap, &pe); more; more = Process32Next(snap, &pe)) all.push_back(pe);
  CloseHandle(snap);
  HANDLE rootHandle = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, root);
  std::vector<std::pair<DWORD, ULONGLONG>> parents(1, {root, rootHandle ? CreationTime(rootHandle) : 0});
  if (rootHandle) CloseHandle(rootHandle);
  for (size_t k = 0; k < parents.size(); ++k) {
    for (const PROCESSENTRY32& e : all) {
      if (e.th32ParentProcessID != parents[k].first || e.th32ProcessID == root) continue;
      HANDLE h = OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION | SYNCHRONIZE, FALSE, e.th32ProcessID);
      if (!h) continue;
      ULONGLONG created = CreationTime(h);
      if (created < parents[k].second) {
        CloseHandle(h);
        continue;
      }
      found.push_back(h);
      parents.push_back({e.th32ProcessID, created});
    }
  }
  return found;
}

}  // namespace

void CExecBatches::Add(const std::string& path, HANDLE process) { m_batches.push_back({path, process}); }

int CExecBatches::Settle(DWORD waitMs, const volatile LONG* cancel) {
  // One deadline for all of them: each ends on its own time.
  const DWORD start = GetTickCount();
  for (;;) {
    bool running = false;
    for (const Batch& b : m_batches)
      if (b.process && WaitForSingleObject(b.process, 0) == WAIT_TIMEOUT) running = true;
    DWORD waited = GetTickCount() - start;
    if (!running || waited >= waitMs || (cancel && *cancel)) break;
    Sleep(waitMs - waited < 50 ? waitMs - waited : 50);
  }
  Delete(true);
  return int(m_batches.size());
}

void CExecBatches::DeleteAll() { Delete(false); }

void CExecBatches::Delete(bool endedOnly) {
  std::vector<Batch> left;
  for (Batch& b : m_batches) {
    bool ended = !b.process || WaitForSingleObject(b.process, 0) != WAIT_TIMEOUT;
    if ((ended || !endedOnly) && (DeleteFileA(b.path.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND)) {
      if (b.process) CloseHandle(b.process);
    } else {
      left.push_back(b);
    }
  }
  m_batches.swap(left);
}

CExecRun::CExecRun(CProgressDlg* dlg, CStartProg& runner, const std::vector<ExecEntry>& entries,
                   CExecBatches& batches, CStrList* cache)
    : m_pDlg(dlg), m_runner(runner), m_entries(entries), m_pCache(cache), m_batches(batches) {}

CExecRun::~CExecRun() = default;

bool CExecRun::Cancelled() const { return m_pDlg && m_pDlg->m_bCancel; }

bool CExecRun::BatchText(const std::string& line, std::string& out) {
  out.clear();
  if (line.empty()) return true;
  int wide = MultiByteToWideChar(CP_ACP, 0, line.data(), int(line.size()), nullptr, 0);
  if (wide <= 0) return false;
  std::wstring w(size_t(wide), L'\0');
  MultiByteToWideChar(CP_ACP, 0, line.data(), int(line.size()), &w[0], wide);
  // Without WC_NO_BEST_FIT_CHARS a letter without an OEM form becomes a look-alike ("’" a
  // "'", "‰" a '%', "›" a '>') and is not reported: the batch would act on something else.
  BOOL lossy = FALSE;
  int n = WideCharToMultiByte(CP_OEMCP, WC_NO_BEST_FIT_CHARS, w.data(), wide, nullptr, 0, nullptr, &lossy);
  if (n <= 0 || lossy) return false;
  out.resize(size_t(n));
  WideCharToMultiByte(CP_OEMCP, WC_NO_BEST_FIT_CHARS, w.data(), wide, &out[0], n, nullptr, &lossy);
  if (lossy) out.clear();
  return !lossy;
}

void CExecRun::Run(const std::vector<ExecItem>& items) {
  m_batches.DeleteAll();
  std::string previous;
  bool previousUsesHit = false;
  for (size_t i = 0; i < items.size() && !Cancelled() && !m_bAbort; ++i) {
    const ExecItem& item = items[i];
    if (item.path.empty()) continue;
    CString spelt;
    std::string path = PathGetTrueSpellingStr(spelt, item.path.c_str()) ? std::string(spelt) : item.path;
    ExecItemValues values;
    // Every entry's text must fit: a cut path or command line would act on another file.
    bool fits = ExecItemValuesFromPath(path, item.pos, item.line, item.length, values);
    int uses = 0;
    for (size_t n = 0; n < m_entries.size() && fits; ++n) {
      const ExecEntry& e = m_entries[n];
      std::string text;
      ExecCommandLine line;
      std::vector<std::string> args;
      int r = e.command ? ExpandExecCommandLine(e.param, values, line) : ExpandExecArguments(e.param, values, args);
      uses |= r;
      fits = !(r & kExecTooLong) && ExpandExecFolder(e.dir, values, text);
    }
    bool repeat = path == previous && !previousUsesHit;
    previous = path;
    previousUsesHit = (uses & kExecUsesHit) != 0;
    if (repeat) continue;
    if (!fits) {
      if (m_nSkipped++ == 0) m_firstSkipped = item.path;
      continue;
    }
    if (m_pDlg) {
      m_pDlg->SetLineTextCompact(0, "", path.c_str(), 0, 0);
      m_pDlg->SetPos64(i);
    }
    for (size_t n = 0; n < m_entries.size() && !Cancelled() && !m_bAbort; ++n) {
      for (;;) {
        std::string what;
        if (RunEntry(m_entries[n], values, what) || Cancelled() || m_bIgnoreAll) break;
        char question[1200];
        wsprintfA(question, "Fehler beim Ausführen von '%.1000s' !\nWeiter machen ?", what.c_str());
        int answer = m_pDlg ? m_pDlg->MessageBox(question, "Fehler", MB_ABORTRETRYIGNORE | MB_ICONERROR) : IDABORT;
        if (answer == IDABORT || answer == IDCANCEL) {
          m_bAbort = true;
          break;
        }
        previous.clear();
        // Ignore skips the failed entry and every later failure.
        if (answer == IDIGNORE) {
          m_bIgnoreAll = true;
          break;
        }
        if (Cancelled()) break;
      }
    }
    // A program may have changed or removed the file.
    if (m_pCache) FileCacheDrop(m_pCache, path.c_str());
    if (m_pDlg) m_pDlg->SetPos64(i + 1);
  }
  m_batches.Settle(kExecBatchWaitMs, m_pDlg ? &m_pDlg->m_bCancel : nullptr);
}

bool CExecRun::RunEntry(const ExecEntry& e, const ExecItemValues& v, std::string& what) {
  what = e.execute;
  std::string folder;
  ExpandExecFolder(e.dir, v, folder);
  int show = ShowState(e.show);
  if (Cancelled()) return true;
  if (e.command) return RunCommandLine(e, v, folder, show, what);
  if (EqualNoCase(e.execute, "SHELL")) return RunShell(e, v, folder, show);
  return RunProgram(e, v, folder, show);
}

bool CExecRun::RunCommandLine(const ExecEntry& e, const ExecItemValues& v, const std::string& folder, int show,
                              std::string& what) {
  // The two commands that the program carries out itself.
  if (EqualNoCase(e.param, "del \"%p\"")) {
    what = "del \"" + v.path + "\"";
    return DeleteFileA(v.path.c_str()) != FALSE;
  }
  if (EqualNoCase(e.param, "attrib \"%p\" -R")) {
    what = "attrib \"" + v.path + "\" -R";
    DWORD attributes = GetFileAttributesA(v.path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    if (!(attributes & FILE_ATTRIBUTE_READONLY)) return true;
    return SetFileAttributesA(v.path.c_str(), attributes & ~DWORD(FILE_ATTRIBUTE_READONLY)) != FALSE;
  }
  ExecCommandLine line;
  std::string text;
  int r = ExpandExecCommandLine(e.param, v, line);
  what = line.shown;
  // A value that cannot be written as text (or a letter of a "%-" value without an OEM form)
  // fails the entry for this item: nothing runs.
  if (r & kExecUnsafe) return false;
  std::string temp = TempFolder();
  if (temp.empty() || !BatchText(line.batch, text)) return false;
  bool wait = !e.noWait;
  std::string batch;
  if (wait) {
    batch = BatchName(temp, GetCurrentProcessId());
    if (!WriteBatch(batch, text, true)) return false;
  } else {
    // A batch that runs on after the start needs a name of its own; interpreters of earlier
    // runs may still hold as many names as are kept.
    for (int tries = 0; tries < 64 + m_batches.Count() && batch.empty(); ++tries) {
      std::string name = BatchName(temp, GetCurrentProcessId(), m_nNextBatch++);
      if (WriteBatch(name, text, false)) batch = name;
    }
    if (batch.empty()) return false;
  }
  m_runner.Reset();
  m_runner.SetProgram(("?" + batch).c_str());
  for (const auto& var : line.vars) m_runner.SetEnv(var.first.c_str(), var.second.c_str());
  if (!folder.empty()) m_runner.SetWorkingDir(folder.c_str());
  if (show != SW_SHOWNORMAL) m_runner.SetShowWindow(show);
  if (wait) InterlockedExchange(&m_nBatchWaited, 1);
  bool ok = m_runner.Start(0) != FALSE;
  // A later program of the run is no interpreter: a Cancel must not end what it started.
  if (!ok) InterlockedExchange(&m_nBatchWaited, 0);
  if (ok && wait) {
    WaitForProgram();
    InterlockedExchange(&m_nBatchWaited, 0);
  } else if (ok) {
    m_batches.Add(batch, OpenProcess(SYNCHRONIZE, FALSE, m_runner.GetProcessId()));
    // Cancel ends only programs that the run waits for.
    m_runner.Reset();
    return true;
  }
  DeleteFileA(batch.c_str());
  return ok;
}

bool CExecRun::RunShell(const ExecEntry& e, const ExecItemValues& v, const std::string& folder, int show) {
  std::vector<std::string> args;
  ExpandExecArguments(e.param, v, args);
  if (args.empty()) return false;
  std::string params;
  for (size_t i = 1; i < args.size(); ++i) {
    if (i > 1) params += ' ';
    params += (const char*)QuoteCommandArg(args[i].c_str(), int(args[i].size()));
  }
  const char* verb = e.shellMode.IsEmpty() || EqualNoCase(e.shellMode, "SHELL") ? "open" : (const char*)e.shellMode;
  // The shell opens a batch file through the interpreter with the parameters unprotected: the
  // runner passes them as a program gets them, or refuses (the shell call does not wait).
  if (!lstrcmpiA(verb, "open") && PathMatchExtensionListA(args[0].c_str(), "bat;cmd") > 0) {
    std::string program = args[0];
    // A relative name is looked for in the folder first, as the shell does.
    bool relative = program.find(':') == std::string::npos && program[0] != '\\' && program[0] != '/';
    if (!folder.empty() && relative) {
      std::string full = folder + (folder.back() == '\\' ? "" : "\\") + program;
      if (GetFileAttributesA(full.c_str()) != INVALID_FILE_ATTRIBUTES) program = full;
    }
    m_runner.Reset();
    m_runner.SetProgram(("?" + program).c_str());
    for (size_t i = 1; i < args.size(); ++i)
      if (!m_runner.AddArg(args[i].c_str(), int(args[i].size()))) return false;
    if (!folder.empty()) m_runner.SetWorkingDir(folder.c_str());
    if (show != SW_SHOWNORMAL) m_runner.SetShowWindow(show);
    bool ok = m_runner.Start(0) != FALSE;
    m_runner.Reset();
    return ok;
  }
  // The shell may hand the call to COM objects: this worker thread needs an apartment.
  HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  HINSTANCE r = ShellExecuteA(nullptr, verb, args[0].c_str(), params.empty() ? nullptr : params.c_str(),
                              folder.empty() ? nullptr : folder.c_str(), show);
  if (SUCCEEDED(com)) CoUninitialize();
  return INT_PTR(r) > 32;
}

bool CExecRun::RunProgram(const ExecEntry& e, const ExecItemValues& v, const std::string& folder, int show) {
  std::string program = (const char*)e.execute;
  if (e.usePath) {
    char found[MAX_PATH];
    if (PathSearchProgramA(found, program.c_str(), sizeof found, ";exe;com;bat")) program = found;
  }
  std::vector<std::string> args;
  ExpandExecArguments(e.param, v, args);
  m_runner.Reset();
  m_runner.SetProgram(program.c_str());
  for (const std::string& a : args)
    if (!m_runner.AddArg(a.c_str(), int(a.size()))) return false;
  if (!folder.empty()) m_runner.SetWorkingDir(folder.c_str());
  if (show != SW_SHOWNORMAL) m_runner.SetShowWindow(show);

  char stream[1024];
  int streamLength =
      e.stream.IsEmpty() ? 0 : StrUnquoteC(stream, (sizeof stream - 1) | UNQUOTE_NO_QUOTE, e.stream, nullptr);
  if (streamLength <= 0) {
    if (!m_runner.Start(0)) return false;
    if (e.noWait)
      m_runner.Reset();
    else
      WaitForProgram();
    return true;
  }
  HANDLE write = nullptr;
  if (!m_runner.CreateStdinPipe(&write, CStartProg::PipeAnonymous)) return false;
  if (!m_runner.Start(0)) {
    CloseHandle(write);
    return false;
  }
  DWORD written = 0;
  bool ok = WriteFile(write, stream, DWORD(streamLength), &written, nullptr) && written == DWORD(streamLength);
  CloseHandle(write);
  if (e.noWait)
    m_runner.Reset();
  else
    WaitForProgram();
  return ok;
}

void CExecRun::WaitForProgram() {
  while (!m_runner.Wait(100)) {
    if (Cancelled()) {
      EndWaitedProgram();
      break;
    }
  }
}

void CExecRun::EndWaitedProgram() {
  std::vector<HANDLE> started;
  DWORD id = m_runner.GetProcessId();
  if (m_nBatchWaited && id && m_runner.IsRunning()) started = OpenDescendants(id);
  // The interpreter first, so that it starts nothing more.
  m_runner.Terminate(0);
  for (HANDLE h : started) {
    TerminateProcess(h, 0);
    CloseHandle(h);
  }
}
