// The copy dialog and the copy job.
#include "app/CopyFilesDlg.h"

#include <cstring>
#include <string>

#include "system/Paths.h"
#include "system/RegKeys.h"
#include "system/SafeFile.h"
#include "system/StrList.h"
#include "toolkit/ControlHelpers.h"
#include "toolkit/DialogPlace.h"
#include "toolkit/PathDlg.h"
#include "toolkit/ProgressDlg.h"

namespace {

CDialogPlace s_place;

struct Option {
  int CCopyFilesDlg::*member;
  const char* value;
  int bit;
};
const Option kOptions[] = {
    {&CCopyFilesDlg::m_bNoOverwrite, "NoOverWrite", COPY_NO_OVERWRITE},
    {&CCopyFilesDlg::m_bRemoveWr, "RemoveWr", COPY_REMOVE_READONLY},
    {&CCopyFilesDlg::m_bAskReadOnly, "AskReadOnly", COPY_ASK_EXISTING},
    {&CCopyFilesDlg::m_bAskAlways, "AskAlways", COPY_ASK_ALWAYS},
};

// Asks through the progress dialog with the path filled into format.
int Ask(CProgressDlg* pDlg, const char* format, const char* path, const char* caption, UINT type) {
  CString text;
  text.Format(format, path);
  return pDlg->MessageBox(text, caption, type);
}

enum { COPY_DONE, COPY_FAILED, COPY_CANCELLED };

// text in the code page, '?' for a letter it lacks: for messages.
CString Shown(const std::wstring& text) {
  CString out;
  int n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  char* buffer = out.GetBuffer(n > 0 ? n : 1);
  if (!buffer) return out;
  n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, buffer, n, "?", nullptr);
  out.ReleaseBuffer(n > 0 ? n - 1 : 0);
  return out;
}

// A spelling of an existing path that the code page functions reach: its own, or its short one.
bool ReachableSpelling(const std::wstring& path, CString& out) {
  std::string ansi;
  if (!PathAnsiSpellingW(path, ansi)) return false;
  out = ansi.c_str();
  return true;
}

// Where a copy goes: the target folder followed by the source's path below the source folder,
// reached through the wide functions (wide). A name there that the code page cannot spell is
// listed by its short name: the copy takes the file's own names instead (own); path then
// spells the target's folder as the code page functions reach it, with the listed name, which
// places the temporary file. shown is the target for messages.
struct CopyTarget {
  CString path;
  std::wstring wide;
  CString shown;
  bool own = false;   // wide holds the file's own names, which path does not spell
  bool lost = false;  // the target's folder cannot be reached: the copy fails
};

CopyTarget TargetOf(const CString& targetFolder, const char* source, int sourceLength) {
  CopyTarget t;
  t.path = t.shown = targetFolder + (source + sourceLength);
  std::wstring own;
  if (PathOwnNamesW(source, sourceLength, own) != 1) {
    t.wide = PathToWideA(t.path);
    return t;
  }
  t.own = true;
  t.wide = PathToWideA(targetFolder) + own;
  t.shown = Shown(t.wide);
  CString folder;
  const size_t cut = t.wide.find_last_of(L"\\/");
  t.lost = cut == std::wstring::npos || !ReachableSpelling(t.wide.substr(0, cut), folder);
  if (!t.lost) t.path = folder + "\\" + PathFindFileNameA(-1, source);
  return t;
}

// Copies source over target through a temporary file beside the target, so that a failed or
// cancelled copy keeps what the target held, and the progress follows a large file. The copy
// gets the source's write time and marks, as CopyFile gives them. done: the bytes done before
// this file. COPY_DONE, COPY_FAILED or COPY_CANCELLED (the target untouched for both).
int CopyOneFile(CProgressDlg* pDlg, const char* source, const CopyTarget& target, ULONGLONG done,
                CSafeFileWriter& writer, CRewriteBuffer& buffer) {
  if (target.lost) return COPY_FAILED;
  CSourceFile in;
  if (!in.Open(source)) return COPY_FAILED;
  const OpenFileInfo info = in.Info();
  const int opened = writer.Open(target.path);
  if (opened == SAFE_ERR_PATH) {
    // No room for the temporary file's name beside the target: the system copies directly.
    in.Close();
    return CopyFileW(PathToWideA(source).c_str(), target.wide.c_str(), FALSE) ? COPY_DONE : COPY_FAILED;
  }
  if (target.own) writer.SetTargetNameW(target.wide.c_str());
  if (opened != SAFE_OK || !buffer.Reserve(CSafeFileWriter::kBufferSize)) return COPY_FAILED;
  for (ULONGLONG pos = 0;;) {
    if (pDlg->m_bCancel) {
      writer.Abort();
      return COPY_CANCELLED;
    }
    const long long got = in.ReadAt(pos, buffer.Data(), buffer.Capacity());
    if (got < 0 || (got > 0 && writer.Write(buffer.Data(), size_t(got)) != SAFE_OK)) {
      writer.Abort();
      return COPY_FAILED;
    }
    if (got == 0) break;
    pos += ULONGLONG(got);
    pDlg->SetPos64(done + pos);
  }
  in.Close();
  writer.SetTargetAttributes(INVALID_FILE_ATTRIBUTES);
  if (writer.Commit() != SAFE_OK) return COPY_FAILED;
  HANDLE h = CreateFileW(target.wide.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, 0, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    SetFileTime(h, nullptr, nullptr, &info.written);
    CloseHandle(h);
  }
  const DWORD marks =
      info.attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
  SetFileAttributesW(target.wide.c_str(), marks ? marks : FILE_ATTRIBUTE_NORMAL);
  return COPY_DONE;
}

}  // namespace

BEGIN_MESSAGE_MAP(CCopyFilesDlg, CDialog)
  ON_WM_DESTROY()
  ON_BN_CLICKED(IDC_COPY_BROWSE_SOURCE, OnBrowseSource)
  ON_BN_CLICKED(IDC_COPY_BROWSE_TARGET, OnBrowseTarget)
  ON_BN_CLICKED(IDC_COPY_ASK_ALWAYS, OnAskAlways)
END_MESSAGE_MAP()

CCopyFilesDlg::CCopyFilesDlg(CWnd* pParent) : CDialog(IDD_COPYFILES, pParent) {}

int CCopyFilesDlg::JobBits() const {
  int bits = 0;
  for (const Option& o : kOptions)
    if (this->*o.member) bits |= o.bit;
  return bits;
}

void CCopyFilesDlg::DoDataExchange(CDataExchange* pDX) {
  DDX_CBString(pDX, IDC_COPY_SOURCE, m_strSource);
  DDX_CBString(pDX, IDC_COPY_TARGET, m_strTarget);
  DDX_Check(pDX, IDC_COPY_NO_OVERWRITE, m_bNoOverwrite);
  DDX_Check(pDX, IDC_COPY_REMOVE_WR, m_bRemoveWr);
  DDX_Check(pDX, IDC_COPY_ASK_READONLY, m_bAskReadOnly);
  DDX_Check(pDX, IDC_COPY_ASK_ALWAYS, m_bAskAlways);
}

BOOL CCopyFilesDlg::OnInitDialog() {
  s_place.Restore(m_hWnd);
  SetButtonBitmap(::GetDlgItem(m_hWnd, IDC_COPY_BROWSE_SOURCE), 141);
  SetButtonBitmap(::GetDlgItem(m_hWnd, IDC_COPY_BROWSE_TARGET), 141);
  CRegKeys reg;
  if (reg.Open(nullptr, nullptr, 0)) {
    for (const Option& o : kOptions) {
      DWORD value = 0;
      if (reg.QueryValue(&value, sizeof value, o.value, REG_DWORD)) this->*o.member = value != 0;
    }
  }
  SubclassControl(::GetDlgItem(m_hWnd, IDC_COPY_SOURCE), ComboDropFileProc);
  SubclassControl(::GetDlgItem(m_hWnd, IDC_COPY_TARGET), ComboDropFileProc);
  LoadComboHistoryStr(m_hWnd, IDC_COPY_SOURCE, "Source", nullptr, m_strSource);
  // A target equal to the source gives way to the most recent target, when there is one.
  const CString preset = m_strTarget;
  if (!m_strTarget.IsEmpty() && PathCompareA(m_strTarget, m_strSource) == 0) m_strTarget.Empty();
  LoadComboHistoryStr(m_hWnd, IDC_COPY_TARGET, "Target", nullptr, m_strTarget);
  if (m_strTarget.IsEmpty()) m_strTarget = preset;
  return CDialog::OnInitDialog();
}

void CCopyFilesDlg::OnDestroy() {
  FreeButtonBitmap(::GetDlgItem(m_hWnd, IDC_COPY_BROWSE_SOURCE));
  FreeButtonBitmap(::GetDlgItem(m_hWnd, IDC_COPY_BROWSE_TARGET));
  CDialog::OnDestroy();
}

void CCopyFilesDlg::Browse(int nIDCombo, const char* settings) {
  CString path;
  GetDlgItemText(nIDCombo, path);
  CPathDlg dlg(this);
  dlg.SetPath(path);
  if (dlg.DoModalEx(settings, CPathDlg::MustExist | CPathDlg::MayCreate) == 1) SetDlgItemText(nIDCombo, dlg.GetPath());
}

void CCopyFilesDlg::OnBrowseSource() { Browse(IDC_COPY_SOURCE, "Path1"); }
void CCopyFilesDlg::OnBrowseTarget() { Browse(IDC_COPY_TARGET, "Path2"); }
void CCopyFilesDlg::OnAskAlways() { UpdateData(TRUE); }

void CCopyFilesDlg::OnOK() {
  s_place.Remember(m_hWnd);
  if (!UpdateData(TRUE)) return;
  SaveComboHistory(m_hWnd, IDC_COPY_SOURCE, "Source", nullptr);
  SaveComboHistory(m_hWnd, IDC_COPY_TARGET, "Target", nullptr);
  CRegKeys reg;
  if (reg.Open(nullptr, nullptr, 2)) {
    for (const Option& o : kOptions) {
      DWORD value = this->*o.member ? 1 : 0;
      reg.SetValue(&value, sizeof value, o.value, REG_DWORD);
    }
  }
  EndDialog(IDOK);
}

void CCopyFilesDlg::OnCancel() {
  s_place.Remember(m_hWnd);
  EndDialog(IDCANCEL);
}

// ----- the job ----------------------------------------------------------------------------------

int CopyFilesJob(CProgressDlg* pDlg) {
  const CStrList& list = *reinterpret_cast<const CStrList*>(pDlg->m_dwUser[1]);
  const int count = int(pDlg->m_dwUser[2]);
  const int bits = int(pDlg->m_dwUser[3]);
  CStrList* written = reinterpret_cast<CStrList*>(pDlg->m_dwUser[4]);
  if (count < 2) return 0;
  const int sourceLength = int(strlen(list.GetString(0)));
  const CString targetFolder = list.GetString(1);
  ULONGLONG done = 0;
  int copied = 0;
  CSafeFileWriter writer;
  CRewriteBuffer buffer;
  for (int i = 2; i < count && !pDlg->m_bCancel; ++i) {
    pDlg->SetPos64(done);
    const char* source = list.GetString(i);
    ULONGLONG size = 0;
    memcpy(&size, list.GetItemData(i), sizeof size);
    pDlg->SetLineTextCompact(0, "Kopiere :  ", source, 2, 0x40);
    const CopyTarget target = TargetOf(targetFolder, source, sourceLength);
    // A target the system cannot name is refused rather than cut to another name.
    if (target.wide.size() >= MAX_PATH) {
      if (Ask(pDlg, "Der Zielpfad für %s ist zu lang !", source, "Warnung", MB_OKCANCEL | MB_ICONWARNING) == IDCANCEL)
        break;
      done += size;
      continue;
    }
    if (GetFileAttributesA(source) == INVALID_FILE_ATTRIBUTES) {
      Ask(pDlg, "Die Datei %s existiert nicht !", source, "Warnung", MB_OK | MB_ICONWARNING);
      continue;
    }
    bool answered = false;
    int answer = IDYES;
    const DWORD targetAttributes = target.lost ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(target.wide.c_str());
    if (targetAttributes != INVALID_FILE_ATTRIBUTES) {
      if (bits & COPY_NO_OVERWRITE) {
        done += size;
        continue;
      }
      if (targetAttributes & FILE_ATTRIBUTE_READONLY) {
        if (!(bits & COPY_REMOVE_READONLY)) {
          answer = Ask(pDlg, "Die Datei %s ist schreibgeschützt !\nSoll sie überschreiben werden ?", target.shown,
                       "Warnung", MB_YESNOCANCEL | MB_ICONWARNING);
          answered = true;
        }
        if (answer == IDYES) SetFileAttributesW(target.wide.c_str(), FILE_ATTRIBUTE_NORMAL);
      }
      if (answer == IDYES && (bits & COPY_ASK_EXISTING) && !answered) {
        answer = Ask(pDlg, "Die Datei %s existiert bereits !\nSoll sie überschreiben werden ?", target.shown, "Warnung",
                     MB_YESNOCANCEL | MB_ICONWARNING);
        answered = true;
      }
    }
    if (answer == IDYES && (bits & COPY_ASK_ALWAYS) && !answered)
      answer = Ask(pDlg, "Soll die Datei %s kopiert werden ?", source, "Frage", MB_YESNOCANCEL | MB_ICONQUESTION);
    while (answer == IDYES && !pDlg->m_bCancel) {
      const int result = CopyOneFile(pDlg, source, target, done, writer, buffer);
      if (result == COPY_DONE) {
        ++copied;
        // The spelling by which the list and the cache reach the new file.
        CString reach = target.path;
        if (written && (!target.own || ReachableSpelling(target.wide, reach))) written->Insert(reach);
        break;
      }
      if (result == COPY_CANCELLED) break;
      answer = Ask(pDlg, "Soll die Datei %s konnte nicht kopiert werden !\nNochmals versuchen ?", source, "Frage",
                   MB_YESNOCANCEL | MB_ICONQUESTION);
    }
    if (answer == IDCANCEL) break;
    done += size;
  }
  pDlg->SetPos64(done);
  return copied;
}
