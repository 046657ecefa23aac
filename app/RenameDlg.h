// CRenameDlg: dialog 149 "Datein umbenennen". Renames the files of the file list by a format
// with '*', '?', '.' and swap blocks |x|y|, one file at a time after a preview, or all at once.
// The renaming runs on a worker thread of the dialog that waits for the user's decision on each
// file; it never touches the dialog's controls and hands its state over by posting commands.
#pragma once

// Resource and control ids (also read by the resource script).
#define IDD_RENAME 149
#define IDC_RN_POSITION 1022
#define IDC_RN_FOLDER 1024
#define IDC_RN_ICON 1029
#define IDC_RN_PROGRESS 1035
#define IDC_RN_FILTER 1044
#define IDC_RN_ONLYFILTER 1045
#define IDC_RN_OUTASFILTER 1046
#define IDC_RN_ALLOWPOINTS 1047
#define IDC_RN_FORMAT 1054
#define IDC_RN_CURRENT 1055
#define IDC_RN_NEWNAME 1056
#define IDC_RN_ALL 3
#define IDC_RN_SKIP 5
// Commands that the worker posts to the dialog.
#define ID_RN_SHOW_POSITION 6471
#define ID_RN_RENAME_ERROR 6472

#ifndef RC_INVOKED

#include <string>
#include <vector>

#include "framework/Framework.h"
#include "system/WinHandle.h"

class CDirList;
class CFileListCtrl;

// The owner of one icon that DestroyIcon frees.
class COwnedIcon {
public:
    COwnedIcon() = default;
    ~COwnedIcon() { Reset(nullptr); }
    COwnedIcon(const COwnedIcon&) = delete;
    COwnedIcon& operator=(const COwnedIcon&) = delete;
    void Reset(HICON h) {
        if (m_h) ::DestroyIcon(m_h);
        m_h = h;
    }
    HICON Get() const { return m_h; }

private:
    HICON m_h = nullptr;
};

// Checks a rename format: 0 good, 1 a '.' in the first part of a swap block (unless
// allowPoints), 2 a '*' and 3 a '?' in a second part, 4 a block not closed by its third '|'.
// Null counts as "".
int CheckRenameFormat(const char* format, bool allowPoints);
// The text that the filter field shows for a CheckRenameFormat result 1 to 4; null for 0.
const char* RenameFormatMessage(int check);
// RenameByPattern flags of the dialog's options: compute, plus dots and the outside filter.
unsigned RenameNameFlags(bool allowPoints, bool outAsFilter);
// True when name can be a file's new name in the same folder: not empty, not "." or "..", no
// control character, none of \ / : * ? " < > |, and no trailing dot or blank.
bool IsValidNewFileName(const char* name);
// Joins folder (ending in a separator) and name into out; false, with out empty, when the
// path would reach MAX_PATH bytes.
bool JoinRenamePath(const char* folder, const char* name, std::string& out);
// The step names, in the order to try, through which a change of letter case alone moves the
// file from (a full path) on its way to to: "<from>.vellmorant.tmp" and "<from>.<n>.vellmorant.tmp"
// while they stay below MAX_PATH, then short names in the same folder (per number the longest of
// "~vm<n>.tmp", "~<n>" and "<n>" that fits). None names from or to (compared without case);
// empty when nothing fits.
std::vector<std::string> RenameStepNames(const std::string& from, const std::string& to);

class CRenameDlg : public CDialog {
public:
    explicit CRenameDlg(CWnd* pParent = nullptr);
    ~CRenameDlg() override;

    // Set before the dialog opens: the list whose files are renamed.
    CFileListCtrl* m_pFileList = nullptr;
    // After the dialog: the full paths that files had before they were renamed.
    std::vector<std::string> m_renamedFrom;

    // Settings exchanged with the controls and the registry.
    CString m_strFormat;
    int m_nOnlyFilter = 1;
    int m_nOutAsFilter = 0;
    int m_nAllowPoints = 0;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void OnAll();
    void OnSkip();
    void OnFormatChange();
    void OnOptionChange();
    void OnShowPosition();
    void OnRenameError();
    void OnDestroy();
    HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor);

private:
    // Decisions the user-interface thread hands to the worker; only these rename or skip.
    enum Decision { DecideNone, DecideRename, DecideSkip, DecideAll, DecideRetry };
    // What the worker shows of the current file (guarded by m_lock).
    struct Shown {
        int index = 0;
        std::string folder, current, newName;
        bool noNewName = false;
        bool waiting = false;   // the worker waits for a decision on this file
        bool focus = false;     // make OK the default button and give it the focus
    };
    struct Settings {
        std::string format;
        bool onlyFilter, outAsFilter, allowPoints;
    };

    static DWORD WINAPI RenameThreadProc(LPVOID param);
    void RenameWorker();
    // The first file from start on that the format gives a new name; the file count when none;
    // -1 when a recompute request came in meanwhile.
    int FindNextMatch(int start, const Settings& s);
    // The new name of file index; empty when the format gives none.
    std::string ComputeName(int index, const Settings& s, const std::string& shownNewName);
    // Waits for a decision on file index; -1 when cancelled, -2 when a recompute is asked for
    // (only when recompute is set).
    int WaitDecision(int index, bool recompute);
    // Renames file index to newName, asking on failure. Returns 0 done (*renamed set), 1
    // skipped, -1 cancelled.
    int RenameFile(const Shown& shown, const std::string& newName, bool* renamed);
    void Publish(const Shown& shown);
    void PostToDialog(UINT id);
    Settings TakeSettings();

    // User-interface thread.
    // Takes the distinct files of list into m_paths and their entries into m_entries.
    void ListDistinctFiles(const CDirList& list);
    void ReadControls();
    void UpdatePreview();
    void EnableDecisions(bool on);
    void Decide(Decision d);
    void SaveSettings();
    void ApplyRenamed();
    void StopWorker();
    void SetTextIfDiffers(int id, const char* text);

    // Shared between the two threads.
    CCriticalSection m_lock;
    Settings m_settings;                  // the options as last taken from the controls
    Shown m_shown;                        // the worker's current file
    std::string m_decisionName;           // the new name taken with the decision
    int m_nDecisionIndex = -1;            // the file the decision was made for
    std::vector<std::pair<int, std::string>> m_renamed;   // renamed entries not yet refreshed
    std::string m_errorReason;            // reason text of a failed rename
    volatile LONG m_nDecision = DecideNone;
    volatile LONG m_bCancel = 0;
    volatile LONG m_bAll = 0;
    volatile LONG m_bDone = 0;
    volatile LONG m_bRecompute = 0;
    volatile LONG m_nSuccess = 0;
    volatile LONG m_nUnchanged = 0;
    CWinHandle m_semaphore;
    CWinHandle m_thread;

    // Worker thread: the paths of the files, each file once, taken when the dialog opens.
    std::vector<std::string> m_paths;
    // User-interface thread: the file list's entries of each file (several when it is listed
    // more than once).
    std::vector<std::vector<int>> m_entries;

    // User-interface thread.
    int m_nCheck = 0;                     // CheckRenameFormat of the format
    bool m_bNoNewName = false;
    bool m_bWaiting = false;              // a decision may be made now
    bool m_bSettingText = false;          // the program sets the format text itself
    int m_nShownIndex = -1;
    std::string m_shownCurrent;
    int m_charWidths[256];
    int m_nFolderWidth = 0;
    COwnedIcon m_icon;                    // the shown file's icon in static 1029
    CBrush m_brushRed;

    DECLARE_MESSAGE_MAP()
};

#endif  // RC_INVOKED
