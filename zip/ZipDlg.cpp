// The zip dialog and its worker: the common folder, the histories, the archive written through
// CZipFile with progress, cancel and failures reported in German.
#include "zip/ZipDlg.h"

#include <cstring>

#include "system/DirList.h"
#include "system/Files.h"
#include "system/Paths.h"
#include "system/RegKeys.h"
#include "system/SkippedFiles.h"
#include "toolkit/ControlHelpers.h"
#include "toolkit/DialogPlace.h"
#include "toolkit/PathDlg.h"
#include "zip/ZipFile.h"

namespace {

const char kKey[] = "ZipDialog";
const char kHistoryKey[] = "#ZipDialog";
const char kCaption[] = "Dateien zippen";

CDialogPlace s_place;

bool IsSep(char c) { return c == '\\' || c == '/'; }

// Whether the path text begins with the first n bytes of the path prefix, compared as the file
// system compares names.
bool StartsNoCase(const char* text, const std::string& prefix, size_t n)
{
  return std::strlen(text) >= n && PathCompareNA(int(n), text, int(n), prefix.data()) == 0;
}

// The folder part of an entry's full path, with its separator.
std::string EntryFolder(const DirEntry* e) { return std::string(e->FullPath(), size_t(e->nNameOffset)); }

void Enable(HWND hDlg, int id, BOOL enable) { ::EnableWindow(::GetDlgItem(hDlg, id), enable); }

// Whether the path has a ".." step: names under it would leave the folder that the archive is
// extracted into.
bool HasParentStep(const char* path)
{
  for (const char* p = path; *p;) {
    const char* end = p;
    while (*end && !IsSep(*end))
      ++end;
    if (end - p == 2 && p[0] == '.' && p[1] == '.')
      return true;
    p = *end ? end + 1 : end;
  }
  return false;
}

// Whether path names an existing file that is empty or does not begin as a zip archive:
// creating the archive would replace a file the user may have meant to pack. A file that cannot
// be opened or read is left to the worker, which names it.
bool IsOtherThanZip(const char* path)
{
  CWinHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr));
  if (!file)
    return false;
  unsigned char head[4] = {};
  DWORD got = 0;
  if (!ReadFile(file.Get(), head, sizeof head, &got, nullptr))
    return false;
  // A local header, an empty archive's end record, or a split archive's marker.
  const uint32_t sig = uint32_t(head[0]) | uint32_t(head[1]) << 8 | uint32_t(head[2]) << 16 | uint32_t(head[3]) << 24;
  return got < 4 || (sig != ZIP_SIG_LOCAL && sig != ZIP_SIG_END && sig != ZIP_SIG_DESCRIPTOR);
}

}  // namespace

// ----- helpers --------------------------------------------------------------------------------

bool ZipNarrowCommonFolder(std::string& candidate, const char* folder)
{
  size_t n = candidate.size();
  while (n > 0 && IsSep(candidate[n - 1]))
    --n;
  if (n > 0 && StartsNoCase(folder, candidate, n) && IsSep(folder[n]))
    return true;
  candidate.resize(n);
  for (;;) {
    // Cut the last name, then the separators before it.
    while (n > 0 && !IsSep(candidate[n - 1]))
      --n;
    while (n > 0 && IsSep(candidate[n - 1]))
      --n;
    candidate.resize(n);
    if (n == 0)
      return false;
    if (StartsNoCase(folder, candidate, n) && (IsSep(folder[n]) || folder[n] == 0))
      return true;
  }
}

std::string ZipArchiveFolder(const char* zipPath)
{
  std::string s = zipPath ? zipPath : "";
  for (char& c : s)
    if (c == '/')
      c = '\\';
  size_t lead = 0;
  while (lead < s.size() && s[lead] == '\\')
    ++lead;
  s.erase(0, lead);
  if (!s.empty() && s.back() != '\\')
    s += '\\';
  return s;
}

std::string ZipNamePrefix(const std::string& archiveFolder, const std::string& commonFolder, const char* folder)
{
  std::string prefix = archiveFolder;
  size_t n = commonFolder.size();
  if (n > 0 && folder && StartsNoCase(folder, commonFolder, n))
    prefix += folder + n;
  return prefix;
}

std::wstring ZipOwnEntryName(const std::string& archiveFolder, const std::string& commonFolder, const char* path)
{
  if (!path)
    return std::wstring();
  // The names that go into the entry: those below the common folder, or the file's name alone.
  const size_t folder = size_t(PathFileNameOffsetA(-1, path));
  const size_t n = commonFolder.size();
  const int from = n > 0 && n <= folder && StartsNoCase(path, commonFolder, n) ? int(n) : int(folder);
  std::wstring own;
  if (PathOwnNamesW(path, from, own) != 1)
    return std::wstring();
  return PathToWideA(archiveFolder.c_str()) + own;
}

std::string ZipSkippedMessage(const std::vector<ZipSkippedSource>& skipped)
{
  CSkippedFiles files;
  for (const ZipSkippedSource& s : skipped)
    files.Add(s.path.c_str(), s.code == ZIP_E_SOURCE_OPEN ? SKIP_OPEN
                              : s.code == ZIP_E_EXISTS    ? SKIP_SAME_NAME
                                                          : SKIP_READ);
  return FormatSkippedFiles(files, "gepackt");
}

bool ZipIsLocatorPath(const char* path)
{
  if (!path)
    return false;
  while (*path == ' ')
    ++path;
  return _strnicmp(path, "RES:", 4) == 0 || _strnicmp(path, "MEM:", 4) == 0;
}

// ----- dialog ---------------------------------------------------------------------------------

BEGIN_MESSAGE_MAP(CZipDlg, CDialog)
  ON_BN_CLICKED(IDC_ZIP_BROWSE_FILE, OnBrowseZipFile)
  ON_BN_CLICKED(IDC_ZIP_BROWSE_COMPARE, OnBrowseComparePath)
  ON_BN_CLICKED(IDC_ZIP_BROWSE_BASE, OnBrowseBasePath)
  ON_WM_DESTROY()
  ON_COMMAND(ID_ZIP_ERROR, OnZipError)
  ON_COMMAND(ID_ZIP_SCAN_DONE, OnScanDone)
  ON_COMMAND(ID_ZIP_STARTED, OnZipStarted)
  ON_COMMAND(ID_ZIP_DONE, OnZipDone)
  ON_WM_TIMER()
  ON_BN_CLICKED(IDC_ZIP_ONLY_CHANGED, OnOnlyChanged)
END_MESSAGE_MAP()

CZipDlg::CZipDlg(CWnd* pParentWnd) : CDialog(IDD_ZIPDLG, pParentWnd) {}

CZipDlg::~CZipDlg()
{
  if (m_hThread) {
    // Only when the window went away before the worker said it ended.
    InterlockedExchange(&m_bCancel, 1);
    if (m_hSemaphore)
      ReleaseSemaphore(m_hSemaphore.Get(), 1, nullptr);
    WaitForSingleObject(m_hThread.Get(), INFINITE);
  }
}

void CZipDlg::DoDataExchange(CDataExchange* pDX)
{
  DDX_CBString(pDX, IDC_ZIP_FILE, m_strZipFile);
  DDX_CBString(pDX, IDC_ZIP_COMMON, m_strCommon);
  DDX_CBString(pDX, IDC_ZIP_PATH, m_strZipPath);
  DDX_CBString(pDX, IDC_ZIP_COMPARE, m_strCompare);
  DDX_CBString(pDX, IDC_ZIP_BASE, m_strBase);
  DDX_Check(pDX, IDC_ZIP_ONLY_SELECTED, m_bOnlySelected);
  DDX_Check(pDX, IDC_ZIP_ONLY_CHANGED, m_bOnlyChanged);
}

BOOL CZipDlg::OnInitDialog()
{
  s_place.Restore(m_hWnd);
  if (m_hList) {
    int first = int(::SendMessageA(m_hList, LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED));
    m_bTwoSelected = first >= 0 && int(::SendMessageA(m_hList, LVM_GETNEXTITEM, first, LVNI_SELECTED)) >= 0;
  }
  if (!m_bTwoSelected)
    m_bOnlySelected = 0;
  LoadComboHistory(m_hWnd, IDC_ZIP_FILE, "ZipFileList", kHistoryKey);
  LoadComboHistory(m_hWnd, IDC_ZIP_COMMON, "BaseList", kHistoryKey);
  LoadComboHistory(m_hWnd, IDC_ZIP_PATH, "ZipPathList", kHistoryKey);
  LoadComboHistoryStr(m_hWnd, IDC_ZIP_COMPARE, "#CompareList", kHistoryKey, m_strCompare);
  LoadComboHistory(m_hWnd, IDC_ZIP_BASE, "SourceList", kHistoryKey);
  CRegKeys reg;
  if (reg.Open(nullptr, nullptr, 0) && reg.OpenSubKey(kKey)) {
    reg.QueryString(m_strZipFile, "ZipFile");
    reg.QueryString(m_strZipPath, "ZipPath");
  }
  CDialog::OnInitDialog();
  for (int id : {IDC_ZIP_BROWSE_FILE, IDC_ZIP_BROWSE_COMPARE, IDC_ZIP_BROWSE_BASE})
    SetButtonBitmap(::GetDlgItem(m_hWnd, id), IDB_ZIP_BROWSE);
  ::SendDlgItemMessageA(m_hWnd, IDC_ZIP_PROGRESS, PBM_SETRANGE32, 0, 100);
  SetDlgItemText(IDC_ZIP_TEXT, "Scanne Pfade");
  for (int id : {IDOK, IDCANCEL, IDC_ZIP_ONLY_SELECTED, IDC_ZIP_COMMON})
    Enable(m_hWnd, id, FALSE);
  EnableChangedControls();
  m_hSemaphore.Reset(CreateSemaphoreA(nullptr, 0, 65535, nullptr));
  DWORD id = 0;
  if (m_hSemaphore)
    m_hThread.Reset(CreateThread(nullptr, 0, ZipThreadProc, this, 0, &id));
  if (!m_hThread) {
    MessageBox("Der Hintergrundprozess konnte nicht gestartet werden !", "Fehler", MB_OK | MB_ICONERROR);
    EndDialog(IDCANCEL);
  }
  return TRUE;
}

void CZipDlg::EnableChangedControls()
{
  BOOL on = IsDlgButtonChecked(IDC_ZIP_ONLY_CHANGED) == BST_CHECKED && !m_bStarted;
  for (int id : {IDC_ZIP_COMPARE, IDC_ZIP_BASE, IDC_ZIP_BROWSE_COMPARE, IDC_ZIP_BROWSE_BASE})
    Enable(m_hWnd, id, on);
}

void CZipDlg::OnOnlyChanged()
{
  // Once OK was accepted the worker reads the members: they stay as they are.
  if (m_bStarted)
    return;
  UpdateData(TRUE);
  EnableChangedControls();
}

BOOL CZipDlg::Validate()
{
  const char* message = nullptr;
  CString compare = m_strCompare, base = m_strBase;
  PathRemoveTrailingSeparatorStr(compare);
  PathRemoveTrailingSeparatorStr(base);
  if (m_strZipFile.IsEmpty())
    message = "Es ist kein Name angegeben !";
  else if (ZipIsLocatorPath(m_strZipFile))
    message = "Der Name der ZIP-Datei ist kein Dateipfad !";
  else if (HasParentStep(m_strZipPath))
    message = "Der Ausgangspfad in der ZIP-Datei darf kein \"..\" enthalten !";
  else if (m_bOnlyChanged && m_strCompare.IsEmpty())
    message = "Es ist kein Vergleichspfad für geänderte Dateien angegeben !";
  else if (m_bOnlyChanged && m_strBase.IsEmpty())
    message = "Es ist kein Basispfad für geänderte Dateien angegeben !";
  else if (m_bOnlyChanged && PathGetKindA(compare) < 2)
    message = "Der Vergleichspfad für geänderte Dateien existiert nicht !";
  else if (m_bOnlyChanged && PathGetKindA(base) < 2)
    message = "Der Basispfad für geänderte Dateien existiert nicht !";
  if (!message)
    return TRUE;
  MessageBox(message, "Fehler", MB_OK | MB_ICONERROR);
  return FALSE;
}

void CZipDlg::AnchorZipFile()
{
  // A bare name would land in the program's working folder, which the user does not see: it is
  // taken within the folder of the packed files, and shown in full.
  if (PathAnchorStr(m_strZipFile, m_strCommon))
    SetDlgItemText(IDC_ZIP_FILE, m_strZipFile);
}

void CZipDlg::OnOK()
{
  s_place.Remember(m_hWnd);
  if (m_nState == StateDone) {
    KillTimer(IDT_ZIP_PROGRESS);
    EndDialog(IDOK);
    return;
  }
  // A second OK, or OK after Cancel, must not wake the worker again.
  if (m_nState == StateScanning || m_bStarted || m_bCancel)
    return;
  if (!UpdateData(TRUE) || !Validate())
    return;
  AnchorZipFile();
  if (IsOtherThanZip(m_strZipFile)) {
    MessageBox("Die Datei ist keine ZIP-Datei und wird nicht überschrieben !", "Fehler", MB_OK | MB_ICONERROR);
    return;
  }
  if (!m_bTwoSelected)
    m_bOnlySelected = 0;
  SaveComboHistory(m_hWnd, IDC_ZIP_FILE, "ZipFileList", kHistoryKey);
  SaveComboHistory(m_hWnd, IDC_ZIP_COMMON, "BaseList", kHistoryKey);
  SaveComboHistory(m_hWnd, IDC_ZIP_PATH, "ZipPathList", kHistoryKey);
  SaveComboHistory(m_hWnd, IDC_ZIP_COMPARE, "#CompareList", kHistoryKey);
  SaveComboHistory(m_hWnd, IDC_ZIP_BASE, "SourceList", kHistoryKey);
  CRegKeys reg;
  if (reg.Open(nullptr, nullptr, 2) && reg.OpenSubKey(kKey)) {
    reg.SetString(m_strZipFile, "ZipFile");
    reg.SetString(m_strZipPath, "ZipPath");
  }
  m_selected.clear();
  if (m_bOnlySelected && m_hList && m_pEntries) {
    m_selected.assign(size_t(m_pEntries->m_nCount), 0);
    for (int i = int(::SendMessageA(m_hList, LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED));
         i >= 0 && i < int(m_selected.size()); i = int(::SendMessageA(m_hList, LVM_GETNEXTITEM, i, LVNI_SELECTED)))
      m_selected[size_t(i)] = 1;
  }
  m_bStarted = TRUE;
  Enable(m_hWnd, IDOK, FALSE);
  EnableChangedControls();
  SetTimer(IDT_ZIP_PROGRESS, 300);
  ReleaseSemaphore(m_hSemaphore.Get(), 1, nullptr);
}

void CZipDlg::OnCancel()
{
  if (m_nState == StateScanning)
    return;
  s_place.Remember(m_hWnd);
  InterlockedExchange(&m_bCancel, 1);
  if (m_nState == StateReady) {
    // Wakes a waiting worker; otherwise only raises the count of the dialog's semaphore.
    ReleaseSemaphore(m_hSemaphore.Get(), 1, nullptr);
  } else {
    KillTimer(IDT_ZIP_PROGRESS);
    EndDialog(IDCANCEL);
  }
}

void CZipDlg::OnDestroy()
{
  for (int id : {IDC_ZIP_BROWSE_FILE, IDC_ZIP_BROWSE_COMPARE, IDC_ZIP_BROWSE_BASE})
    FreeButtonBitmap(::GetDlgItem(m_hWnd, id));
  CDialog::OnDestroy();
}

void CZipDlg::OnTimer(UINT_PTR nIDEvent)
{
  if (nIDEvent != IDT_ZIP_PROGRESS) {
    CDialog::OnTimer(nIDEvent);
    return;
  }
  char text[sizeof m_szText];
  uint64_t done, total;
  {
    CCritSecLock lock(m_lock);
    if (!m_bNewText)
      return;
    m_bNewText = false;
    std::memcpy(text, m_szText, sizeof text);
    done = m_nDone;
    total = m_nTotal;
  }
  uint64_t percent = total ? (done >= total ? 100 : done * 100 / total) : 0;
  ::SendDlgItemMessageA(m_hWnd, IDC_ZIP_PROGRESS, PBM_SETPOS, WPARAM(percent), 0);
  SetDlgItemText(IDC_ZIP_TEXT, text);
}

void CZipDlg::OnBrowseZipFile()
{
  if (m_nState == StateDone || m_bStarted)
    return;
  UpdateData(TRUE);
  CFileDialog dlg(FALSE, "zip", m_strZipFile, OFN_HIDEREADONLY | OFN_PATHMUSTEXIST,
                  "ZIP-Dateien (*.zip)|*.zip|Alle Dateien (*.*)|*.*||", this);
  if (dlg.DoModal() != IDOK)
    return;
  m_strZipFile = dlg.GetPathName();
  SetDlgItemText(IDC_ZIP_FILE, m_strZipFile);
}

void CZipDlg::OnBrowseComparePath()
{
  if (m_nState == StateDone || m_bStarted)
    return;
  UpdateData(TRUE);
  CPathDlg dlg(this);
  dlg.SetPath(m_strCompare);
  dlg.SetTitle("Vergelichspfad fürs Einfügen");
  if (dlg.DoModal() != IDOK)
    return;
  m_strCompare = dlg.GetPath();
  SetDlgItemText(IDC_ZIP_COMPARE, m_strCompare);
}

void CZipDlg::OnBrowseBasePath()
{
  if (m_nState == StateDone || m_bStarted)
    return;
  UpdateData(TRUE);
  CPathDlg dlg(this);
  dlg.SetPath(m_strBase);
  dlg.SetTitle("Basispfad fürs Vergleichen");
  if (dlg.DoModal() != IDOK)
    return;
  m_strBase = dlg.GetPath();
  SetDlgItemText(IDC_ZIP_BASE, m_strBase);
}

void CZipDlg::OnScanDone()
{
  m_strCommon = m_scanned.c_str();
  SetDlgItemText(IDC_ZIP_COMMON, m_strCommon);
  for (int id : {IDOK, IDCANCEL, IDC_ZIP_COMMON})
    Enable(m_hWnd, id, TRUE);
  Enable(m_hWnd, IDC_ZIP_ONLY_SELECTED, m_bTwoSelected);
  SetDlgItemText(IDC_ZIP_TEXT, "");
  m_nState = StateReady;
}

void CZipDlg::OnZipStarted()
{
  for (int id : {IDC_ZIP_FILE, IDC_ZIP_COMMON, IDC_ZIP_PATH, IDC_ZIP_ONLY_SELECTED, IDOK, IDC_ZIP_ONLY_CHANGED,
                 IDC_ZIP_BROWSE_FILE})
    Enable(m_hWnd, id, FALSE);
}

void CZipDlg::OnZipError()
{
  if (m_bNoticeOnly) {
    MessageBox(m_error.c_str(), kCaption, MB_OK | MB_ICONWARNING);
  } else {
    m_bFailed = TRUE;
    MessageBox(m_error.c_str(), kCaption, MB_OK | MB_ICONERROR);
  }
  ReleaseSemaphore(m_hSemaphore.Get(), 1, nullptr);
}

void CZipDlg::OnZipDone()
{
  // The worker has nothing left to do with the dialog: let it end before the dialog does.
  if (m_hThread) {
    WaitForSingleObject(m_hThread.Get(), INFINITE);
    m_hThread.Close();
  }
  m_nState = StateDone;
  if (!m_bCancel && !m_bFailed) {
    OnOK();
  } else {
    m_bCancel = 1;
    OnCancel();
  }
}

// ----- worker ---------------------------------------------------------------------------------

DWORD WINAPI CZipDlg::ZipThreadProc(LPVOID pParam)
{
  static_cast<CZipDlg*>(pParam)->ZipWorker();
  return 0;
}

int CZipDlg::ZipCallback(uintptr_t user, int event, int index, CArchiveFile* archive, const char* text)
{
  return reinterpret_cast<CZipDlg*>(user)->OnZipEvent(event, index, archive, text);
}

int CZipDlg::OnZipEvent(int event, int index, CArchiveFile* archive, const char* text)
{
  if (m_bCancel)
    return 1;
  if (event == ARCHIVE_EVENT_COMPRESS && text && *text) {
    if (*text == '\n')
      ++text;
    // Every file comes once when it is recorded and once when it is compressed: the bar
    // follows the compression, the text both.
    uint64_t size = m_bCommitting ? archive->GetEntrySize(index, 0) : 0;
    CCritSecLock lock(m_lock);
    m_nDone += size;
    lstrcpynA(m_szText, text, int(sizeof m_szText));
    m_bNewText = true;
  }
  return 0;
}

void CZipDlg::WorkerEnd(const char* errorText, bool failed)
{
  if (errorText) {
    m_error = errorText;
    m_bNoticeOnly = !failed;
    while (!m_error.empty() && m_error[0] == '\n')
      m_error.erase(0, 1);
    Post(ID_ZIP_ERROR);
    WaitForSingleObject(m_hSemaphore.Get(), INFINITE);
  }
  // The last touch of the dialog: after this the worker only returns.
  Post(ID_ZIP_DONE);
}

void CZipDlg::ZipWorker()
{
  const int count = m_pEntries ? int(m_pEntries->m_nCount) : 0;
  // The folder common to all listed files.
  std::string common;
  for (int i = 0; i < count; ++i) {
    const DirEntry* e = m_pEntries->GetEntry(i);
    if (!e)
      continue;
    if (i == 0)
      common = EntryFolder(e);
    else if (!ZipNarrowCommonFolder(common, EntryFolder(e).c_str()))
      break;
  }
  // The members belong to the dialog's thread until OK: the result goes through its own.
  m_scanned = common;
  Post(ID_ZIP_SCAN_DONE);
  WaitForSingleObject(m_hSemaphore.Get(), INFINITE);
  if (m_bCancel) {
    WorkerEnd(nullptr);
    return;
  }
  // The values as the user confirmed them (OnOK wrote them before it released the worker).
  const std::string zipFile(m_strZipFile);
  std::string commonFolder(m_strCommon);
  if (!commonFolder.empty() && !IsSep(commonFolder.back()))
    commonFolder += '\\';
  const std::string archiveFolder = ZipArchiveFolder(m_strZipPath);
  std::string compare(m_strCompare), base(m_strBase);
  for (std::string* s : {&compare, &base}) {
    for (char& c : *s)
      if (c == '/')
        c = '\\';
    if (!s->empty() && s->back() != '\\')
      *s += '\\';
  }
  Post(ID_ZIP_STARTED);

  CZipFile zip;
  zip.SetCallback(uintptr_t(this), ZipCallback);
  zip.SetStopFlag(&m_bCancel);
  zip.DisableEvents(0xFFFFFFFFu, 1);
  zip.EnableEvents(ARCHIVE_EVENT_COMPRESS, 0);
  zip.EnableEvents(ARCHIVE_EVENT_WRITE_BACK, 0);
  // A cancel that comes after the commit finished finds the old archive already replaced:
  // deleting the new one then would lose both.
  const bool existed = GetFileAttributesA(zipFile.c_str()) != INVALID_FILE_ATTRIBUTES;
  if (zip.Open(zipFile.c_str(), ARCHIVE_CREATED, 9) != 0) {
    WorkerEnd(zip.GetErrorText());
    return;
  }
  int added = 0;
  for (int i = 0; i < count && !m_bCancel; ++i) {
    const DirEntry* e = m_pEntries->GetEntry(i);
    if (!e || e->IsFolder())
      continue;
    if (m_bOnlySelected && (size_t(i) >= m_selected.size() || !m_selected[size_t(i)]))
      continue;
    const char* path = e->FullPath();
    if (m_bOnlyChanged && StartsNoCase(path, base, base.size())) {
      std::string twin = compare + (path + base.size());
      // A short name of the listing names the file in its own folder only: the twin goes by
      // the file's own names.
      std::wstring own;
      if (PathOwnNamesW(path, int(base.size()), own) == 1)
        PathAnsiSpellingW(PathToWideA(compare.c_str()) + own, twin);  // "" when there is no such twin
      // A twin path too long for the system cannot be compared: the file goes in.
      if (!twin.empty() && twin.size() < MAX_PATH && FileContentsEqualA(path, twin.c_str()))
        continue;
    }
    std::string prefix = ZipNamePrefix(archiveFolder, commonFolder, EntryFolder(e).c_str());
    if (prefix.size() > 258)
      continue;
    // A name the code page cannot spell is listed by its short name: the entry takes the
    // file's own.
    const std::wstring own = ZipOwnEntryName(archiveFolder, commonFolder, path);
    // The list's own record of the file: asking the system for it again would cost more than
    // packing a small file. A file whose name in the archive another listed file took first
    // stays out and is named with the skipped ones.
    if (zip.AddListedFile(*e, prefix.c_str(), own.empty() ? nullptr : own.c_str()) > 0) {
      ++added;
      CCritSecLock lock(m_lock);
      m_nTotal += e->Size();
    }
  }
  if (m_bCancel) {
    zip.Abort();
    WorkerEnd(nullptr);
    return;
  }
  if (added == 0) {
    zip.Abort();
    WorkerEnd("Es gibt keine Dateien zum Zippen !");
    return;
  }
  // A source that cannot be opened or read when it is compressed is left out and the archive
  // written with the others; the skipped ones are listed afterwards.
  m_bCommitting = TRUE;
  int rc = zip.Commit();
  // When no file could be packed, no archive is written: an older one stays as it was.
  const bool nonePacked =
      zip.GetMode() != ARCHIVE_CLOSED && zip.GetEntryCount() == 0 && !zip.GetSkippedSources().empty();
  if (nonePacked)
    rc = 0;
  else if (zip.GetMode() != ARCHIVE_CLOSED)
    rc = zip.Close();
  std::string error = rc && rc != ZIP_E_CANCEL ? zip.GetErrorText() : "";
  const std::string skipped = ZipSkippedMessage(zip.GetSkippedSources());
  zip.Abort();
  if (rc == 0 && m_bCancel && !existed)
    DeleteFileForceA(zipFile.c_str());
  if (m_bCancel)
    WorkerEnd(nullptr);
  else if (!error.empty())
    WorkerEnd(error.c_str());
  else if (!skipped.empty())
    WorkerEnd(skipped.c_str(), nonePacked);
  else
    WorkerEnd(nullptr);
}
