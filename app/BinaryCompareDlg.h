// CBinaryCompareDlg: compares two files of equal size byte by byte ("Datein vergleichen"). A
// worker thread reads both files block by block (any size, beyond 4 GB too) and stops at each
// difference until the user steps on ("OK"), runs through to the end ("Alle") or stops; the
// differences are listed and can be copied.
#pragma once

// Resource and control ids (also read by the resource script).
#define IDD_BINARY_COMPARE 132
#define IDC_BC_ALL 3
#define IDC_BC_COPY 4
#define IDC_BC_FILE1 1006
#define IDC_BC_FILE2 1008
#define IDC_BC_POS 1009
#define IDC_BC_BYTE1 1011
#define IDC_BC_HEX1 1013
#define IDC_BC_BYTE2 1016
#define IDC_BC_HEX2 1018
#define IDC_BC_COUNT 1021
#define IDC_BC_LIST 1070

#ifndef RC_INVOKED

#include <windows.h>

#include <string>
#include <vector>

#include "framework/Framework.h"
#include "system/SafeFile.h"

// The texts of a difference (each terminated; out needs 48 bytes):
// " 0x" and the offset's low 24 bits as 6 hex digits, " / ", the offset in decimal.
int FormatDiffPosition(char* out, ULONGLONG offset);
// "0x" and the byte as 2 hex digits.
int FormatDiffByte(char* out, BYTE value);
// The 8-byte row that holds offset, out of data: size bytes of the file from offset base (a
// multiple of 8, at most offset): a blank, the row start's low 24 bits as 6 hex digits, from
// column 9 the bytes in hex (one blank between, one more after the fourth), from column 35 the
// bytes as characters (below 32 as '.'); blanks in between. The row ends where data ends.
int FormatDiffRow(char* out, const BYTE* data, DWORD size, ULONGLONG offset, ULONGLONG base = 0);
// A line of the difference list: a blank, both bytes ("0x" + 2 digits, a blank after each),
// then the position as FormatDiffPosition gives it without its leading blank.
int FormatDiffListLine(char* out, BYTE first, BYTE second, ULONGLONG offset);

class CBinaryCompareDlg : public CDialog {
public:
  // Differences from this count on are counted but not listed.
  enum { ListLimit = 1000 };

  explicit CBinaryCompareDlg(CWnd* pParent = nullptr);
  // Stops and waits for the worker when it still runs.
  ~CBinaryCompareDlg() override;

  // Set before DoModal.
  CString m_strPath1;
  CString m_strPath2;

protected:
  BOOL OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;
  void OnAll();
  void OnCopyList();
  HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor);
  LRESULT OnWorkerUpdate(WPARAM, LPARAM);
  LRESULT OnWorkerDone(WPARAM, LPARAM);

private:
  // What the worker hands to the dialog's thread (under m_lock).
  struct Shared {
    std::vector<std::string> lines;   // new lines of the list
    std::string fields[6];            // pos, byte 1, hex 1, byte 2, hex 2, count
    bool fieldsSet[6] = {};
    bool waiting = false;             // the worker waits for "OK", "Alle" or a stop
    bool posted = false;              // an update message is on its way
  };

  // The bytes of both files that the worker compares at a time (a multiple of 8).
  enum { BlockSize = 1 << 20 };

  static DWORD WINAPI CompareThread(LPVOID pParam);
  void Compare();
  // Reads the block at pos (length bytes) of both files; false, with the failing file's
  // index in m_nReadError, when one of them cannot give it (it shrank or failed to read).
  bool ReadBlock(ULONGLONG pos, DWORD length, BYTE* blocks[2]);
  void Publish(const BYTE* blocks[2], ULONGLONG base, DWORD length, DWORD at, ULONGLONG count, bool showBytes);
  // "Pos :" and "Anzahl :" of the latest difference, which is not listed.
  void PublishPosition(ULONGLONG offset, ULONGLONG count);
  void SetWaiting(bool waiting);
  void PostUpdateLocked();
  void Wake();
  void StopWorker();
  bool OpenFile(int index, const CString& path, ULONGLONG* size);

  HBRUSH m_hBrush = nullptr;
  CSourceFile m_files[2];
  ULONGLONG m_size = 0;
  volatile LONG m_bFinished = 0;
  volatile LONG m_bStop = 0;
  volatile LONG m_bNext = 0;
  volatile LONG m_bRunThrough = 0;
  ULONGLONG m_nDiffs = 0;             // written by the worker, read after it ended
  int m_nReadError = -1;              // the file that failed to read (worker), -1 none
  HANDLE m_hThread = nullptr;
  HANDLE m_hWake = nullptr;           // set whenever a flag changes
  CRITICAL_SECTION m_lock;
  Shared m_shared;

  DECLARE_MESSAGE_MAP()
};

#endif  // RC_INVOKED
