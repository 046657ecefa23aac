// CInsertLinesDlg ("Zeilen einfügen"): asks where to insert or delete lines around the lines
// the last text search found, and under which suffix to write the files; then runs the work on
// a worker thread of its own, with its progress in the dialog, until it closes by itself. The
// worker only records its progress; the dialog shows it every 100 ms, when it changed.
#pragma once

#define IDD_INSERT_LINES 154
#define IDC_IL_SUFFIX 1044
#define IDC_IL_POSITION 1054
#define IDC_IL_TEXT 1055
#define IDC_IL_COUNT 1056
#define IDC_IL_PROGRESS 1035
#define IDC_IL_POSITION_LABEL 1081
#define IDC_IL_FILE 1082
// A command the worker posts to the dialog.
#define IDC_IL_WORKER_ERROR 25220

#ifndef RC_INVOKED

#include <atomic>
#include <mutex>
#include <string>

#include "framework/Framework.h"
#include "system/WinHandle.h"

class CStrList;
class CTextSearch;

class CResultStamps;

class CInsertLinesDlg : public CDialog {
public:
    explicit CInsertLinesDlg(CWnd* pParent = nullptr);
    // Waits for the worker.
    ~CInsertLinesDlg() override;

    // Set by the caller: 1 delete, 0 insert; the engine whose hits name the lines; the cache.
    int m_bDeleteMode = 0;
    CTextSearch* m_pEngine = nullptr;
    CStrList* m_pCache = nullptr;
    const CResultStamps* m_pStamps = nullptr;  // what the search saw of its files

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void OnTimer(UINT_PTR nIDEvent);
    void ShowProgress();
    void OnWorkerError();

private:
    static DWORD WINAPI Worker(LPVOID param);
    void Run();

    // Shared with the worker.
    std::atomic<int> m_bRunning{0}, m_bFinished{0}, m_bCancel{0}, m_nDone{0};
    std::mutex m_lock;          // guards m_strFile and m_strError
    std::string m_strFile, m_strError;
    std::string m_shownFile;    // what the dialog shows
    int m_nShownDone = -1;
    bool m_bGoOn = true;        // the answer to the last error
    CWinHandle m_answered;      // set when the user has answered an error
    CWinHandle m_thread;

    // The fields, read on OK.
    CString m_strText;
    CString m_strSuffix;
    int m_nCount = 1;
    int m_nPosition = 0;

    DECLARE_MESSAGE_MAP()
};

#endif  // RC_INVOKED
