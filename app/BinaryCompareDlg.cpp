// The byte-wise compare dialog and its worker.
#include "app/BinaryCompareDlg.h"

#include <cstdio>
#include <cstring>

#include "text/Format.h"
#include "toolkit/DialogPlace.h"
#include "toolkit/WndHelpers.h"

namespace {

CDialogPlace g_place;
const char kCaption[] = "Dateien vergleichen";
const COLORREF kFieldColor = 0x9BFFFF;
const UINT WM_BC_UPDATE = WM_APP + 0x210;
const UINT WM_BC_DONE = WM_APP + 0x211;
// The fields the worker fills, in the order of Shared::fields.
const int kFieldIds[6] = {IDC_BC_POS, IDC_BC_BYTE1, IDC_BC_HEX1, IDC_BC_BYTE2, IDC_BC_HEX2, IDC_BC_COUNT};
const int kFixedFontIds[7] = {IDC_BC_LIST, IDC_BC_BYTE1, IDC_BC_BYTE2, IDC_BC_HEX1, IDC_BC_HEX2, IDC_BC_POS,
                              IDC_BC_COUNT};

const char kHex[] = "0123456789ABCDEF";

}  // namespace

int FormatDiffPosition(char* out, ULONGLONG offset) {
  return StrFormat(out, 48, " 0x%06lX / %llu", (unsigned long)(offset & 0xFFFFFF), offset);
}

int FormatDiffByte(char* out, BYTE value) { return sprintf(out, "0x%02X", value); }

int FormatDiffRow(char* out, const BYTE* data, DWORD size, ULONGLONG offset, ULONGLONG base) {
  const ULONGLONG start = offset & ~ULONGLONG(7);
  const DWORD at = DWORD(start - base);
  const DWORD count = size - at < 8 ? size - at : 8;
  memset(out, ' ', 43);
  char head[8];
  sprintf(head, "%06lX", (unsigned long)(start & 0xFFFFFF));
  memcpy(out + 1, head, 6);
  for (DWORD k = 0; k < count; ++k) {
    BYTE b = data[at + k];
    int col = 9 + 3 * int(k) + (k >= 4 ? 1 : 0);
    out[col] = kHex[b >> 4];
    out[col + 1] = kHex[b & 15];
    out[35 + k] = b < 32 ? '.' : char(b);
  }
  int length = 35 + int(count);
  out[length] = 0;
  return length;
}

int FormatDiffListLine(char* out, BYTE first, BYTE second, ULONGLONG offset) {
  return StrFormat(out, 48, " 0x%02X 0x%02X 0x%06lX / %llu", first, second, (unsigned long)(offset & 0xFFFFFF),
                   offset);
}

BEGIN_MESSAGE_MAP(CBinaryCompareDlg, CDialog)
  ON_BN_CLICKED(IDC_BC_ALL, OnAll)
  ON_BN_CLICKED(IDC_BC_COPY, OnCopyList)
  ON_WM_CTLCOLOR()
  ON_MESSAGE(WM_BC_UPDATE, OnWorkerUpdate)
  ON_MESSAGE(WM_BC_DONE, OnWorkerDone)
END_MESSAGE_MAP()

CBinaryCompareDlg::CBinaryCompareDlg(CWnd* pParent) : CDialog(IDD_BINARY_COMPARE, pParent) {
  ::InitializeCriticalSection(&m_lock);
  m_hWake = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
}

CBinaryCompareDlg::~CBinaryCompareDlg() {
  StopWorker();
  if (m_hWake) ::CloseHandle(m_hWake);
  if (m_hBrush) ::DeleteObject(m_hBrush);
  ::DeleteCriticalSection(&m_lock);
}

void CBinaryCompareDlg::StopWorker() {
  if (!m_hThread) return;
  InterlockedExchange(&m_bStop, 1);
  Wake();
  ::WaitForSingleObject(m_hThread, INFINITE);
  ::CloseHandle(m_hThread);
  m_hThread = nullptr;
}

void CBinaryCompareDlg::Wake() {
  if (m_hWake) ::SetEvent(m_hWake);
}

bool CBinaryCompareDlg::OpenFile(int index, const CString& path, ULONGLONG* size) {
  // Read rather than mapped: two large files do not fit the address space together.
  if (!m_files[index].Open(path)) return false;
  *size = m_files[index].Info().size;
  return true;
}

BOOL CBinaryCompareDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  g_place.Restore(m_hWnd);
  const CString* paths[2] = {&m_strPath1, &m_strPath2};
  ULONGLONG sizes[2] = {};
  for (int i = 0; i < 2; ++i) {
    if (!OpenFile(i, *paths[i], &sizes[i])) {
      CString text;
      text.Format("Fehler beim \xD6" "ffnen von\n%s", (const char*)*paths[i]);
      MessageBox(text, kCaption, MB_OK | MB_ICONERROR);
      EndDialog(IDCANCEL);
      return TRUE;
    }
  }
  if (sizes[0] != sizes[1]) {
    CString text;
    text.Format("Die beiden Dateien\n%s\nund\n%s\nsind nicht gleich gro\xDF !", (const char*)m_strPath1,
                (const char*)m_strPath2);
    MessageBox(text, kCaption, MB_OK | MB_ICONERROR);
    EndDialog(IDCANCEL);
    return TRUE;
  }
  m_size = sizes[0];
  SetDlgItemText(IDC_BC_FILE1, m_strPath1);
  SetDlgItemText(IDC_BC_FILE2, m_strPath2);
  m_hBrush = ::CreateSolidBrush(kFieldColor);
  HGDIOBJ fixed = ::GetStockObject(ANSI_FIXED_FONT);
  for (int id : kFixedFontIds)
    if (HWND h = ::GetDlgItem(m_hWnd, id)) ::SendMessageA(h, WM_SETFONT, WPARAM(fixed), FALSE);
  m_bFinished = m_bStop = m_bNext = m_bRunThrough = 0;
  ::EnableWindow(::GetDlgItem(m_hWnd, IDOK), FALSE);
  ::EnableWindow(::GetDlgItem(m_hWnd, IDC_BC_ALL), FALSE);
  DWORD id = 0;
  m_hThread = ::CreateThread(nullptr, 0, CompareThread, this, 0, &id);
  if (!m_hThread) {
    m_bFinished = 1;
    EndDialog(IDCANCEL);
  }
  return TRUE;
}

DWORD WINAPI CBinaryCompareDlg::CompareThread(LPVOID pParam) {
  static_cast<CBinaryCompareDlg*>(pParam)->Compare();
  return 0;
}

void CBinaryCompareDlg::PostUpdateLocked() {
  if (m_shared.posted) return;
  // One message at a time: a run through many differences must not flood the queue.
  if (::PostMessageA(m_hWnd, WM_BC_UPDATE, 0, 0)) m_shared.posted = true;
}

void CBinaryCompareDlg::Publish(const BYTE* blocks[2], ULONGLONG base, DWORD length, DWORD at, ULONGLONG count,
                                bool showBytes) {
  char text[64];
  const ULONGLONG offset = base + at;
  ::EnterCriticalSection(&m_lock);
  FormatDiffPosition(text, offset);
  m_shared.fields[0] = text;
  m_shared.fieldsSet[0] = true;
  if (showBytes) {
    for (int f = 0; f < 2; ++f) {
      FormatDiffByte(text, blocks[f][at]);
      m_shared.fields[1 + 2 * f] = text;
      FormatDiffRow(text, blocks[f], length, offset, base);
      m_shared.fields[2 + 2 * f] = text;
    }
    for (int i = 1; i < 5; ++i) m_shared.fieldsSet[i] = true;
  }
  StrFormat(text, sizeof text, "%llu", count);
  m_shared.fields[5] = text;
  m_shared.fieldsSet[5] = true;
  if (count < ListLimit) {
    FormatDiffListLine(text, blocks[0][at], blocks[1][at], offset);
    m_shared.lines.push_back(text);
  }
  PostUpdateLocked();
  ::LeaveCriticalSection(&m_lock);
}

void CBinaryCompareDlg::PublishPosition(ULONGLONG offset, ULONGLONG count) {
  char text[48];
  ::EnterCriticalSection(&m_lock);
  FormatDiffPosition(text, offset);
  m_shared.fields[0] = text;
  m_shared.fieldsSet[0] = true;
  StrFormat(text, sizeof text, "%llu", count);
  m_shared.fields[5] = text;
  m_shared.fieldsSet[5] = true;
  PostUpdateLocked();
  ::LeaveCriticalSection(&m_lock);
}

void CBinaryCompareDlg::SetWaiting(bool waiting) {
  ::EnterCriticalSection(&m_lock);
  m_shared.waiting = waiting;
  PostUpdateLocked();
  ::LeaveCriticalSection(&m_lock);
}

bool CBinaryCompareDlg::ReadBlock(ULONGLONG pos, DWORD length, BYTE* blocks[2]) {
  for (int f = 0; f < 2; ++f) {
    if (!m_files[f].ReadFull(pos, blocks[f], length)) {
      m_nReadError = f;
      return false;
    }
  }
  return true;
}

void CBinaryCompareDlg::Compare() {
  std::vector<BYTE> buffer(2 * size_t(m_size < ULONGLONG(BlockSize) ? m_size : ULONGLONG(BlockSize)));
  BYTE* blocks[2] = {buffer.data(), buffer.data() + buffer.size() / 2};
  const BYTE* view[2] = {blocks[0], blocks[1]};
  ULONGLONG n = 0, shown = 0, last = 0;
  for (ULONGLONG pos = 0; pos < m_size && !m_bStop; pos += BlockSize) {
    const DWORD length = m_size - pos < BlockSize ? DWORD(m_size - pos) : DWORD(BlockSize);
    if (!ReadBlock(pos, length, blocks)) break;
    if (memcmp(blocks[0], blocks[1], length) == 0) continue;
    for (DWORD k = 0; k < length && !m_bStop; ++k) {
      if (blocks[0][k] == blocks[1][k]) continue;
      ++n;
      last = pos + k;
      bool stepping = !m_bRunThrough;
      // Running through past the listed differences, "Pos :" and "Anzahl :" follow once per
      // block: millions of updates would cost more than the compare.
      if (!stepping && n >= ListLimit) continue;
      if (stepping) InterlockedExchange(&m_bNext, 0);
      Publish(view, pos, length, k, n, stepping);
      shown = n;
      if (!stepping) continue;
      SetWaiting(true);
      while (!m_bNext && !m_bStop && !m_bRunThrough) ::WaitForSingleObject(m_hWake, 100);
      SetWaiting(false);
    }
    if (n != shown) {
      PublishPosition(last, n);
      shown = n;
    }
  }
  m_files[0].Close();
  m_files[1].Close();
  m_nDiffs = n;
  ::PostMessageA(m_hWnd, WM_BC_DONE, 0, 0);
}

LRESULT CBinaryCompareDlg::OnWorkerUpdate(WPARAM, LPARAM) {
  Shared taken;
  ::EnterCriticalSection(&m_lock);
  taken.lines.swap(m_shared.lines);
  for (int i = 0; i < 6; ++i) {
    if (m_shared.fieldsSet[i]) taken.fields[i] = m_shared.fields[i];
    taken.fieldsSet[i] = m_shared.fieldsSet[i];
    m_shared.fieldsSet[i] = false;
  }
  taken.waiting = m_shared.waiting;
  m_shared.posted = false;
  ::LeaveCriticalSection(&m_lock);

  for (int i = 0; i < 6; ++i)
    if (taken.fieldsSet[i]) SetDlgItemText(kFieldIds[i], taken.fields[i].c_str());
  if (!taken.lines.empty()) {
    HWND list = ::GetDlgItem(m_hWnd, IDC_BC_LIST);
    ::SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    for (const std::string& line : taken.lines) ::SendMessageA(list, LB_ADDSTRING, 0, LPARAM(line.c_str()));
    ::SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(list, nullptr, TRUE);
  }
  if (!m_bFinished) {
    ::EnableWindow(::GetDlgItem(m_hWnd, IDOK), taken.waiting);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_BC_ALL), taken.waiting);
  }
  return 0;
}

LRESULT CBinaryCompareDlg::OnWorkerDone(WPARAM, LPARAM) {
  OnWorkerUpdate(0, 0);
  if (m_hThread) {
    ::WaitForSingleObject(m_hThread, INFINITE);
    ::CloseHandle(m_hThread);
    m_hThread = nullptr;
  }
  m_bFinished = 1;
  ::EnableWindow(::GetDlgItem(m_hWnd, IDC_BC_ALL), FALSE);
  bool stopped = m_bStop != 0;
  if (!stopped && m_nReadError >= 0) {
    // A file that shrank or failed to read while compared: no verdict on the rest.
    CString text;
    text.Format("Fehler beim Lesen von\n%s", (const char*)(m_nReadError == 0 ? m_strPath1 : m_strPath2));
    MessageBox(text, kCaption, MB_OK | MB_ICONERROR);
    EndDialog(IDCANCEL);
    return 0;
  }
  if (!stopped) {
    CString text;
    if (m_nDiffs == 0)
      text = "Die Dateien sind gleich.";
    else
      text.Format("Es wurden %llu Unterschiede gefunden.", m_nDiffs);
    MessageBox(text, nullptr, MB_OK);
    stopped = m_bStop != 0;  // the user may have closed the dialog meanwhile
  }
  if (!stopped && m_bRunThrough && m_nDiffs != 0) {
    // The list stays for the user to read and copy; OK or Cancel closes.
    ::EnableWindow(::GetDlgItem(m_hWnd, IDOK), TRUE);
    return 0;
  }
  EndDialog(stopped ? IDCANCEL : IDOK);
  return 0;
}

void CBinaryCompareDlg::OnOK() {
  g_place.Remember(m_hWnd);
  InterlockedExchange(&m_bNext, 1);
  Wake();
  if (m_bFinished) EndDialog(IDOK);
}

void CBinaryCompareDlg::OnCancel() {
  g_place.Remember(m_hWnd);
  InterlockedExchange(&m_bStop, 1);
  Wake();
  if (m_bFinished) EndDialog(IDCANCEL);
}

void CBinaryCompareDlg::OnAll() {
  InterlockedExchange(&m_bRunThrough, 1);
  Wake();
}

void CBinaryCompareDlg::OnCopyList() {
  HWND list = ::GetDlgItem(m_hWnd, IDC_BC_LIST);
  int count = int(::SendMessageA(list, LB_GETCOUNT, 0, 0));
  std::string text;
  for (int i = 0; i < count; ++i) {
    int length = int(::SendMessageA(list, LB_GETTEXTLEN, i, 0));
    if (length < 0) continue;
    std::string line(size_t(length) + 1, '\0');
    length = int(::SendMessageA(list, LB_GETTEXT, i, LPARAM(&line[0])));
    line.resize(length > 0 ? size_t(length) : 0);
    text += line;
    text += "\r\n";
  }
  CopyTextToClipboard(text.c_str(), int(text.size()));
}

HBRUSH CBinaryCompareDlg::OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor) {
  int id = pWnd ? pWnd->GetDlgCtrlID() : 0;
  for (int fixed : kFixedFontIds) {
    if (id == fixed && m_hBrush) {
      pDC->SetBkColor(kFieldColor);
      return m_hBrush;
    }
  }
  return CDialog::OnCtlColor(pDC, pWnd, nCtlColor);
}
