// CExecRun: runs the entries of one execution menu for every item (a file, a hit or a compare
// line) on the progress dialog's worker thread: program starts with arguments, a standard-
// input text and a window state, shell calls, command lines through a temporary batch file,
// and the direct "del" and "attrib -R" commands.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "app/ExecExpand.h"
#include "app/ExecMenuStore.h"

enum : unsigned long {
  kExecBatchWaitMs = 3000,   // the end of a run waits this long for the batches it started
};

class CProgressDlg;
class CStartProg;
class CStrList;

// Batch files of command lines that a run did not wait for ("Nicht warten"). A file goes once
// its interpreter has ended; what is left at the end of a run goes at the next run or with
// this object (the program's end), whether its interpreter still runs or not.
class CExecBatches {
public:
  CExecBatches() = default;
  ~CExecBatches() { DeleteAll(); }
  CExecBatches(const CExecBatches&) = delete;
  CExecBatches& operator=(const CExecBatches&) = delete;

  // Keeps path, whose interpreter is process (taken over; null when unknown).
  void Add(const std::string& path, HANDLE process);
  // Waits up to waitMs in all (less when every interpreter has ended, or when *cancel turns
  // non-zero), then deletes the files whose interpreters have ended. Returns those left.
  int Settle(DWORD waitMs, const volatile LONG* cancel);
  // Deletes every file; one that cannot be deleted (in use) stays for a later call.
  void DeleteAll();
  int Count() const { return int(m_batches.size()); }

private:
  // Deletes the files (endedOnly: those whose interpreters have ended); keeps the others.
  void Delete(bool endedOnly);
  struct Batch {
    std::string path;
    HANDLE process;
  };
  std::vector<Batch> m_batches;
};

// One item: its path and, for hits, the found position, line and length.
struct ExecItem {
  std::string path;
  long long pos = 0;
  int line = 0;
  int length = 0;
};

class CExecRun {
public:
  // dlg: the progress dialog whose cancel flag and questions the run uses (null: none);
  // runner: starts the programs (its program is terminated by the cancel callback); batches:
  // the batch files of earlier runs that were not waited for, kept beyond this run; cache:
  // the file cache from which every item's path is dropped (null: none).
  CExecRun(CProgressDlg* dlg, CStartProg& runner, const std::vector<ExecEntry>& entries, CExecBatches& batches,
           CStrList* cache);
  ~CExecRun();
  CExecRun(const CExecRun&) = delete;
  CExecRun& operator=(const CExecRun&) = delete;

  // Runs every entry for every item in order, until the end, Cancel or Abort. First deletes
  // the batch files that earlier runs left; at the end waits at most kExecBatchWaitMs in all
  // for the interpreters of the batches it did not wait for, and deletes those that ended.
  void Run(const std::vector<ExecItem>& items);
  // Items skipped because their path or a command line was too long, and the first of them.
  int SkippedCount() const { return m_nSkipped; }
  const std::string& FirstSkipped() const { return m_firstSkipped; }

  // Cancel (from any thread): ends the program the run waits for and, for a command line,
  // the programs that its interpreter started, which would otherwise run on unseen.
  void EndWaitedProgram();

  // The batch text of a command line: converted to the OEM code page. False (out empty) when
  // a character has no exact OEM form, a look-alike included (the batch would name another
  // file or hand the interpreter an operator).
  static bool BatchText(const std::string& line, std::string& out);

private:
  bool Cancelled() const;
  // Runs entry e for values; false on failure, what then names it for the question.
  bool RunEntry(const ExecEntry& e, const ExecItemValues& v, std::string& what);
  bool RunCommandLine(const ExecEntry& e, const ExecItemValues& v, const std::string& folder, int show,
                      std::string& what);
  bool RunShell(const ExecEntry& e, const ExecItemValues& v, const std::string& folder, int show);
  bool RunProgram(const ExecEntry& e, const ExecItemValues& v, const std::string& folder, int show);
  // Waits for the runner's program, ending it when the user cancels.
  void WaitForProgram();

  CProgressDlg* m_pDlg;
  CStartProg& m_runner;
  const std::vector<ExecEntry>& m_entries;
  CStrList* m_pCache;
  bool m_bIgnoreAll = false;
  bool m_bAbort = false;
  int m_nSkipped = 0;
  std::string m_firstSkipped;
  unsigned m_nNextBatch = 1;
  CExecBatches& m_batches;
  volatile LONG m_nBatchWaited = 0;   // the runner's program is a command line's interpreter
};
