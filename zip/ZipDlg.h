// CZipDlg: the dialog "ZIP Datei erstellen" that packs the entries of the program's file list
// into a new zip archive, optionally only the selected ones or only those that differ from a
// comparison tree. A worker thread finds the folder common to the files while the user fills
// in the dialog, waits for OK and then writes the archive while the dialog shows progress.
#pragma once

// Resource and control ids (also read by the resource script).
#define IDD_ZIPDLG 145
#define IDC_ZIP_FILE 1001
#define IDC_ZIP_COMMON 1002
#define IDC_ZIP_PATH 1003
#define IDC_ZIP_COMPARE 1004
#define IDC_ZIP_BASE 1005
#define IDC_ZIP_ONLY_SELECTED 1045
#define IDC_ZIP_ONLY_CHANGED 1046
#define IDC_ZIP_BROWSE_FILE 1051
#define IDC_ZIP_BROWSE_COMPARE 1043
#define IDC_ZIP_BROWSE_BASE 1053
#define IDC_ZIP_PROGRESS 1035
#define IDC_ZIP_TEXT 1038
// Commands the worker posts to the dialog, and the progress timer.
#define ID_ZIP_ERROR 22320
#define ID_ZIP_SCAN_DONE 22321
#define ID_ZIP_STARTED 22322
#define ID_ZIP_DONE 22323
#define IDT_ZIP_PROGRESS 22324
// The program's browse-button bitmap.
#define IDB_ZIP_BROWSE 141

#ifndef RC_INVOKED

#include <cstdint>
#include <string>
#include <vector>

#include "framework/Framework.h"
#include "framework/Sync.h"
#include "system/WinHandle.h"

class CArchiveFile;
class CDirList;
struct ZipSkippedSource;

// Narrows the common folder candidate so that folder (ending in a separator) lies below it:
// the candidate stands when folder begins with it (compared as the file system compares
// names) followed by '\' or '/'; otherwise it is cut back one name at a time (with the
// separators before that name) until folder begins with it followed by a separator or its
// end. A candidate holding a trailing separator compares without it. Returns false when
// nothing is left (candidate then "").
bool ZipNarrowCommonFolder(std::string& candidate, const char* folder);
// The folder inside the archive from the user's text: '/' turned into '\', leading separators
// removed, a trailing '\' added; "" for an empty text.
std::string ZipArchiveFolder(const char* zipPath);
// The name prefix of a file in folder: archiveFolder, then the part of folder behind
// commonFolder when folder begins with it (compared as the file system compares names);
// archiveFolder alone otherwise or when commonFolder is empty.
std::string ZipNamePrefix(const std::string& archiveFolder, const std::string& commonFolder, const char* folder);
// The entry name of the listed file path as its own names spell it, for a file listed by a
// short name (the code page lacks a letter of its name, or of a folder's below commonFolder):
// archiveFolder, the folders below commonFolder (none when path lies outside it) and the
// file's name, in UTF-16. "" when the listed names are the file's own or the file is gone.
std::wstring ZipOwnEntryName(const std::string& archiveFolder, const std::string& commonFolder, const char* path);
// The warning about the listed files that the archive left out ("... nicht gepackt werden:"),
// each named with why: it cannot be opened (code 24), cannot be read (27, and any other code),
// or another listed file has its name in the archive (35). "" when none was left out.
std::string ZipSkippedMessage(const std::vector<ZipSkippedSource>& skipped);
// True for paths that the archive would open as a resource or a memory block ("RES:\\...",
// "MEM:\\..."): a name typed by the user must be a file.
bool ZipIsLocatorPath(const char* path);

class CZipDlg : public CDialog {
public:
  explicit CZipDlg(CWnd* pParentWnd = nullptr);
  // Waits for the worker when it still runs (it ends before the modal run returns).
  ~CZipDlg() override;

  // The folder shown as the base of the only-changed choice until the user picks another.
  void SetBasePath(const char* folder) { m_strBase = folder ? folder : ""; }
  // The file list: its window (for the selection) and its entries, in the order shown. Both
  // must stay unchanged while the dialog runs.
  void SetFileList(HWND hList, CDirList* pEntries)
  {
    m_hList = hList;
    m_pEntries = pEntries;
  }

  // Members exchanged with the controls.
  CString m_strZipFile;   // the archive to write
  CString m_strCommon;    // the folder that archive names are made relative to
  CString m_strZipPath;   // the folder inside the archive
  CString m_strCompare;   // the tree with the originals (only changed)
  CString m_strBase;      // the part of the listed paths that the compare tree replaces
  int m_bOnlySelected = 0;
  int m_bOnlyChanged = 0;

protected:
  BOOL OnInitDialog() override;
  void DoDataExchange(CDataExchange* pDX) override;
  void OnOK() override;
  void OnCancel() override;

  void OnDestroy();
  void OnTimer(UINT_PTR nIDEvent);
  void OnBrowseZipFile();
  void OnBrowseComparePath();
  void OnBrowseBasePath();
  void OnOnlyChanged();
  void OnZipError();
  void OnScanDone();
  void OnZipStarted();
  void OnZipDone();

private:
  enum { StateScanning = 0, StateReady = 1, StateDone = 2 };
  static DWORD WINAPI ZipThreadProc(LPVOID pParam);
  void ZipWorker();
  // Ends the worker with text shown to the user first (null: nothing to show): an error, or
  // with failed false a notice about an archive that was written.
  void WorkerEnd(const char* errorText, bool failed = true);
  static int ZipCallback(uintptr_t user, int event, int index, CArchiveFile* archive, const char* text);
  int OnZipEvent(int event, int index, CArchiveFile* archive, const char* text);
  BOOL Validate();
  // Makes a relative archive name full, within the common folder (kept when there is none).
  void AnchorZipFile();
  void EnableChangedControls();
  void Post(UINT nID) { ::PostMessageA(m_hWnd, WM_COMMAND, nID, 0); }

  HWND m_hList = nullptr;
  CDirList* m_pEntries = nullptr;
  volatile LONG m_nState = StateScanning;
  volatile LONG m_bCancel = 0;
  BOOL m_bStarted = FALSE;          // OK was accepted: the worker is zipping
  BOOL m_bFailed = FALSE;           // the worker reported an error
  bool m_bNoticeOnly = false;       // worker: m_error is a notice, the archive was written
  BOOL m_bCommitting = FALSE;       // worker only: the archive is being written
  BOOL m_bTwoSelected = FALSE;
  std::vector<char> m_selected;     // selection snapshot for only selected
  // Progress shared with the timer, under the lock.
  CCriticalSection m_lock;
  uint64_t m_nDone = 0;
  uint64_t m_nTotal = 0;
  bool m_bNewText = false;
  char m_szText[256] = {};
  std::string m_scanned;            // the common folder, written by the worker before ID_ZIP_SCAN_DONE
  std::string m_error;              // written by the worker before ID_ZIP_ERROR
  CWinHandle m_hSemaphore;          // the worker waits on it; closed after the worker ended
  CWinHandle m_hThread;

  DECLARE_MESSAGE_MAP()
};

#endif  // RC_INVOKED
