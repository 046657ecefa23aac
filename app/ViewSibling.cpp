// The view's commands that hand files to the sibling programs: a double click (or Enter) on a
// result, the file popup menu of the file list and the explorer pane with its copy commands,
// "Dateien vergleichen" (the byte-wise dialog when the file-compare program is missing) and
// "Text Vergleichen", and the result list's key procedure.
#include <cstdio>
#include <string>

#include "app/BinaryCompareDlg.h"
#include "app/DirCompare.h"
#include "app/Resource.h"
#include "app/ResultList.h"
#include "app/SiblingProgs.h"
#include "app/VellmorantView.h"
#include "system/Paths.h"
#include "text/Match.h"
#include "toolkit/ControlHelpers.h"
#include "toolkit/WndHelpers.h"

namespace {

const UINT kMenuStrip = IDB_MENU_STRIP;
const int kMenuImageWidth = 13;
const DWORD kWatchIntervalMs = 2000;

}  // namespace

// ----- starting the tools ---------------------------------------------------------------------

BOOL CVellmorantView::StartTool(int slot, BOOL watch) {
  CStartProg& prog = m_progs[slot];
  if (prog.IsRunning()) return TRUE;
  char exe[MAX_PATH];
  if (!FindSiblingProgram(slot == 0 ? SIBLING_TEXT_TOOL : SIBLING_HEX_TOOL, exe)) return FALSE;
  // The text tool learns the main window it answers to.
  char frameArg[32];
  CWnd* frame = GetParentFrame();
  sprintf(frameArg, "-F:0x%08X", unsigned(UINT_PTR(frame ? frame->m_hWnd : nullptr)));
  const char* args[1] = {frameArg};
  if (!StartSibling(prog, exe, args, slot == 0 ? 1 : 0)) return FALSE;
  if (watch) WatchTool(slot);
  return TRUE;
}

void CVellmorantView::WatchTool(int slot) {
  m_toolFlags[slot] = 1;
  SetTimer(IDT_SIBLING_WATCH, kWatchIntervalMs, nullptr);
  // A program that is ready for input may not show its window yet (a console program is
  // never "idle"): the place waits for the window, within a bound.
  if (m_placements[slot].length) m_progs[slot].FindMainWindow(kSiblingWindowWaitMs);
  RestoreToolPlacement(m_progs[slot], m_placements[slot]);
}

// ----- the result list ------------------------------------------------------------------------

void CVellmorantView::OnResultDblClk() {
  if (!m_wndResults.m_hWnd) return;
  int sel = m_wndResults.GetCurSel();
  if (sel < 0 || sel >= m_nResultCount) return;
  char path[MAX_PATH];
  LPARAM params[2];
  if (m_nResultKind == RESULTS_TEXT) {
    if (m_textSearch.CopyHitPath(sel, path, sizeof path) <= 0) return;
    SiblingLineParams(m_textSearch.GetHitLine(sel), params);
    if (StartTool(0, TRUE)) OpenInSibling(m_progs[0], ::GetActiveWindow(), path, WM_SIBLING_SHOW_LINE, params);
  } else if (m_nResultKind == RESULTS_HEX) {
    if (m_hexSearch.CopyHitPath(sel, path, sizeof path) <= 0) return;
    SiblingOffsetParams(m_hexSearch.GetHitPos(sel), params);
    if (StartTool(1, FALSE)) OpenInSibling(m_progs[1], ::GetActiveWindow(), path, WM_SIBLING_SHOW_OFFSET, params);
  } else if (sel < m_compareResults.m_nCount) {
    OpenCompareResult(sel);
  }
}

void CVellmorantView::OpenCompareResult(int index) {
  CString listed, counterpart;
  int kind = GetDirCompareFiles(index, listed, counterpart);
  if (kind < 0) return;
  if (kind != DCK_CONTENT) {
    MessageBox(kind == DCK_ATTRIBUTES ? "Die Dateien sind gleich !" : "Die Datei existiert nicht !", nullptr, MB_OK);
    return;
  }
  char exe[MAX_PATH];
  if (listed.IsEmpty() || !FindSiblingProgram(SIBLING_TEXT_COMPARE, exe)) return;
  for (const CString* file : {&listed, &counterpart}) {
    if (PathGetKindA(*file) != 1) {
      CString text;
      text.Format("Die Datei %s existiert nicht zum Vergleichen !", (const char*)*file);
      MessageBox(text, "Fehler", MB_OK | MB_ICONERROR);
      return;
    }
  }
  StartSourceCompare(exe, listed, counterpart);
}

LRESULT CALLBACK CVellmorantView::ListKeyProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_KEYDOWN && (wParam == VK_RETURN || wParam == VK_DELETE)) {
    HWND parent = ::GetParent(hWnd);
    if (wParam == VK_RETURN)
      ::SendMessageA(parent, WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(hWnd), LBN_DBLCLK), LPARAM(hWnd));
    else
      ::SendMessageA(parent, WM_COMMAND, ID_RESULT_DELETE, 0);
  }
  return CallSubclassedProc(ListKeyProc, hWnd, message, wParam, lParam);
}

// ----- the file popup menu --------------------------------------------------------------------

CString CVellmorantView::FileListPath(int index) {
  if (!m_wndFiles.m_hWnd || index < 0 || index >= GetFileCount()) return CString();
  const char* path = m_wndFiles.m_DirList.GetPath(index);
  return path ? CString(path) : CString();
}

void CVellmorantView::OnFileListRClick(NMHDR*, LRESULT* pResult) {
  *pResult = 0;
  if (!m_wndFiles.m_hWnd) return;
  int item = int(m_wndFiles.SendMessage(LVM_GETNEXTITEM, WPARAM(-1), LVNI_FOCUSED));
  if (item < 0) item = int(m_wndFiles.SendMessage(LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED));
  if (item < 0 || item >= GetFileCount()) return;
  CString path = FileListPath(item);
  ShowFileListMenu(path);
}

void CVellmorantView::OnExplorerMenu(NMHDR* pNMHDR, LRESULT* pResult) {
  *pResult = 0;
  const auto* nm = reinterpret_cast<const NMBROWSEPATH*>(pNMHDR);
  ShowFileListMenu(nm->pszPath, &nm->ptScreen);
}

void CVellmorantView::ShowFileListMenu(const char* path, const POINT* point) {
  char* pending = m_szMenuText[0];
  if (!path || !*path || PathGetKindA(path) != 1) {
    pending[0] = 0;
    return;
  }
  StrLCpy(pending, path, MAX_PATH);
  POINT pt;
  if (point)
    pt = *point;
  else
    ::GetCursorPos(&pt);
  HMENU menu = ::CreatePopupMenu();
  if (!menu) return;
  static const struct {
    UINT id;
    const char* text;
    int image;
  } kItems[] = {{ID_FILE_OPEN_ENTRY, "&\xD6" "ffnen", 10}, {ID_OPEN_BLENKOR, "&Blenkor", 4},
                {ID_OPEN_QUORBITAL, "&Quorbital", 5},     {0, nullptr, 0},
                {ID_COPY_PATH, "&Pfad kopieren", 1},      {ID_COPY_NAME, "&Name kopieren", 9},
                {ID_COPY_FILE_LIST, "&Dateiliste kopieren", 1}};
  for (const auto& item : kItems) {
    if (!item.text) {
      ::AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
      continue;
    }
    ::AppendMenuA(menu, MF_STRING, item.id, item.text);
    SetMenuItemBitmapFromStrip(menu, item.id, kMenuStrip, item.image, kMenuImageWidth);
  }
  ::TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, pt.x, pt.y, 0, m_hWnd, nullptr);
  ::DestroyMenu(menu);
}

namespace {

// Takes the pending text out of its buffer; false when it was empty.
bool TakePending(char* buffer, std::string& out) {
  out = buffer;
  buffer[0] = 0;
  return !out.empty();
}

}  // namespace

void CVellmorantView::OnOpenEditTool() {
  std::string path;
  if (!TakePending(m_szMenuText[0], path)) return;
  if (StartTool(0, FALSE)) OpenInSibling(m_progs[0], ::GetActiveWindow(), path.c_str(), 0, nullptr);
}

void CVellmorantView::OnOpenHexTool() {
  std::string path;
  if (!TakePending(m_szMenuText[0], path)) return;
  if (StartTool(1, TRUE)) OpenInSibling(m_progs[1], ::GetActiveWindow(), path.c_str(), 0, nullptr);
}

void CVellmorantView::OnShellOpen() {
  std::string path;
  if (!TakePending(m_szMenuText[0], path)) return;
  // Files without an "open" verb may still have "edit".
  if (UINT_PTR(::ShellExecuteA(m_hWnd, "open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL)) <= 32)
    ::ShellExecuteA(m_hWnd, "edit", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void CVellmorantView::OnCopyFolder() {
  std::string path;
  if (!TakePending(m_szMenuText[0], path)) return;
  CopyTextToClipboard(path.c_str(), PathFileNameOffsetA(int(path.size()), path.c_str()));
}

void CVellmorantView::OnCopyPath() {
  std::string path;
  if (TakePending(m_szMenuText[0], path)) CopyTextToClipboard(path.c_str(), int(path.size()));
}

void CVellmorantView::OnCopyName() {
  std::string path;
  if (!TakePending(m_szMenuText[0], path)) return;
  CopyTextToClipboard(path.c_str() + PathFileNameOffsetA(int(path.size()), path.c_str()));
}

void CVellmorantView::OnCopyColumn() {
  std::string text;
  if (TakePending(m_szMenuText[1], text)) CopyTextToClipboard(text.c_str(), int(text.size()));
}

void CVellmorantView::OnCopyFileList() {
  std::string pending;
  if (!TakePending(m_szMenuText[0], pending) || !m_wndFiles.m_hWnd) return;
  int count = GetFileCount();
  int selected = int(m_wndFiles.SendMessage(LVM_GETSELECTEDCOUNT));
  std::string text;
  text.reserve(size_t(count + 64) * 64);
  auto add = [&](int i) {
    const char* path = m_wndFiles.m_DirList.GetPath(i);
    if (!path) return;
    text += path;
    text += '\n';
  };
  if (selected >= 2) {
    for (int i = int(m_wndFiles.SendMessage(LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED)); i >= 0 && i < count;
         i = int(m_wndFiles.SendMessage(LVM_GETNEXTITEM, WPARAM(i), LVNI_SELECTED)))
      add(i);
  } else {
    for (int i = 0; i < count; ++i) add(i);
  }
  CopyTextToClipboard(text.c_str(), int(text.size()));
}

// ----- the compare commands -------------------------------------------------------------------

void CVellmorantView::OnCompareFiles() {
  if (GetFileCount() < 2) {
    MessageBox("Es m\xFCssen zwei Dateien in der Dateiliste sein.", "Vellmorant", MB_OK | MB_ICONERROR);
    return;
  }
  CString first = FileListPath(0), second = FileListPath(1);
  char exe[MAX_PATH];
  if (FindSiblingProgram(SIBLING_FILE_COMPARE, exe)) {
    const char* args[2] = {first, second};
    StartSibling(m_fileCompare, exe, args, 2);
    return;
  }
  CBinaryCompareDlg dlg(this);
  dlg.m_strPath1 = first;
  dlg.m_strPath2 = second;
  dlg.DoModal();
}

void CVellmorantView::OnCompareText() {
  if (GetFileCount() < 2) {
    MessageBox("Es m\xFCssen mindestens zwei Dateien in der Dateiliste sein !", "Fehler", MB_OK | MB_ICONERROR);
    return;
  }
  char exe[MAX_PATH];
  if (!FindSiblingProgram(SIBLING_TEXT_COMPARE_CMD, exe)) return;
  CString first = FileListPath(0), second = FileListPath(1);
  const char* args[2] = {first, second};
  // Each command starts a new instance; the runner follows the newest.
  if (StartSibling(m_progs[2], exe, args, 2)) WatchTool(2);
}
