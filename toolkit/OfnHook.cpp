// The enhancement of the standard file dialogs, installed by routing the module's imports.
#include "toolkit/OfnHook.h"
#include <cstdlib>
#include "system/Paths.h"
#include "system/RegKeys.h"
#include "system/StrList.h"

namespace {

typedef BOOL(WINAPI* FileDlgFn)(LPOPENFILENAMEA);
FileDlgFn g_realOpen = nullptr;
FileDlgFn g_realSave = nullptr;
const int kMaxFolders = 16;

BOOL RunFileDialog(LPOPENFILENAMEA ofn, FileDlgFn real) {
  if (!ofn || !real) return FALSE;
  CString value = OfnHistoryValueName(ofn);
  LPCSTR savedInitial = ofn->lpstrInitialDir;
  CString initial;
  bool fileHasFolder = ofn->lpstrFile && (strchr(ofn->lpstrFile, '\\') || strchr(ofn->lpstrFile, '/'));
  if ((!savedInitial || !*savedInitial) && !fileHasFolder) {
    initial = OfnInitialFolder(value);
    if (!initial.IsEmpty()) ofn->lpstrInitialDir = initial;
  }
  BOOL ok = real(ofn);
  ofn->lpstrInitialDir = savedInitial;
  if (ok && ofn->lpstrFile) {
    // With several files the first string is the folder itself.
    CString first(ofn->lpstrFile);
    CString folder = PathGetKindA(first) >= 2 ? first : first.Left(ofn->nFileOffset > 0 ? ofn->nFileOffset : 0);
    if (!folder.IsEmpty()) OfnRememberFolder(value, folder);
  }
  return ok;
}

BOOL WINAPI HookedGetOpenFileNameA(LPOPENFILENAMEA ofn) { return RunFileDialog(ofn, g_realOpen); }
BOOL WINAPI HookedGetSaveFileNameA(LPOPENFILENAMEA ofn) { return RunFileDialog(ofn, g_realSave); }

// Replaces one entry of the module's import address table. TRUE when it was found.
BOOL PatchImport(HMODULE hModule, const char* dll, const char* name, void* replacement) {
  BYTE* base = reinterpret_cast<BYTE*>(hModule);
  auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  if (dos->e_magic != IMAGE_DOS_SIGNATURE) return FALSE;
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  if (nt->Signature != IMAGE_NT_SIGNATURE) return FALSE;
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (!dir.VirtualAddress) return FALSE;
  BOOL patched = FALSE;
  for (auto* imp = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); imp->Name; ++imp) {
    if (lstrcmpiA(reinterpret_cast<const char*>(base + imp->Name), dll) != 0) continue;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + (imp->OriginalFirstThunk ? imp->OriginalFirstThunk : imp->FirstThunk));
    auto* iat = reinterpret_cast<IMAGE_THUNK_DATA*>(base + imp->FirstThunk);
    for (; names->u1.AddressOfData; ++names, ++iat) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (strcmp(reinterpret_cast<const char*>(byName->Name), name) != 0) continue;
      DWORD old = 0;
      if (!::VirtualProtect(&iat->u1.Function, sizeof(void*), PAGE_READWRITE, &old)) continue;
      iat->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
      ::VirtualProtect(&iat->u1.Function, sizeof(void*), old, &old);
      patched = TRUE;
    }
  }
  return patched;
}

}  // namespace

CString OfnHistoryValueName(const OPENFILENAMEA* ofn) {
  CString name = "OfnList";
  if (!ofn || !ofn->lpstrFilter) return name;
  // Pairs of display text and patterns; nFilterIndex counts them from 1.
  const char* p = ofn->lpstrFilter;
  DWORD index = ofn->nFilterIndex ? ofn->nFilterIndex : 1;
  for (DWORD i = 1; *p; ++i) {
    const char* patterns = p + strlen(p) + 1;
    if (!*patterns) break;
    if (i == index) {
      CString first(patterns);
      int semi = first.Find(';');
      if (semi >= 0) first = first.Left(semi);
      int dot = first.ReverseFind('.');
      CString ext = dot >= 0 ? first.Mid(dot + 1) : CString();
      if (!ext.IsEmpty() && ext.Find('*') < 0 && ext.Find('?') < 0) name += ext;
      break;
    }
    p = patterns + strlen(patterns) + 1;
  }
  return name;
}

CString OfnInitialFolder(LPCSTR lpszValue) {
  CRegKeys keys;
  char* block = nullptr;
  if (!keys.Open(nullptr, nullptr, 0) || !keys.QueryValueAlloc(&block, lpszValue, REG_MULTI_SZ)) return CString();
  CString result;
  for (const char* p = block; *p; p += strlen(p) + 1)
    if (PathGetKindA(p) >= 2) {
      result = p;
      break;
    }
  free(block);
  return result;
}

BOOL OfnRememberFolder(LPCSTR lpszValue, LPCSTR lpszFolder) {
  CRegKeys keys;
  if (!keys.Open(nullptr, nullptr, 2)) return FALSE;
  CStrList list(0);
  list.SetRecentLimit(kMaxFolders, 1);
  CString folder(lpszFolder);
  while (folder.GetLength() > 3 && (folder[folder.GetLength() - 1] == '\\' || folder[folder.GetLength() - 1] == '/'))
    folder = folder.Left(folder.GetLength() - 1);
  list.Insert(folder);
  char* block = nullptr;
  if (keys.QueryValueAlloc(&block, lpszValue, REG_MULTI_SZ)) {
    list.InsertSplit(-1, block, 0);
    free(block);
  }
  int size = 0;
  char* joined = list.JoinMulti(0, -1, &size);
  BOOL ok = joined && keys.SetValue(joined, size, lpszValue, REG_MULTI_SZ);
  free(joined);
  return ok;
}

BOOL InstallOfnHook(HMODULE hModule) {
  HMODULE dlg = ::LoadLibraryA("comdlg32.dll");
  if (!dlg) return FALSE;
  g_realOpen = reinterpret_cast<FileDlgFn>(::GetProcAddress(dlg, "GetOpenFileNameA"));
  g_realSave = reinterpret_cast<FileDlgFn>(::GetProcAddress(dlg, "GetSaveFileNameA"));
  if (!hModule) hModule = ::GetModuleHandleA(nullptr);
  BOOL a = PatchImport(hModule, "comdlg32.dll", "GetOpenFileNameA", reinterpret_cast<void*>(HookedGetOpenFileNameA));
  BOOL b = PatchImport(hModule, "comdlg32.dll", "GetSaveFileNameA", reinterpret_cast<void*>(HookedGetSaveFileNameA));
  return a || b;
}
