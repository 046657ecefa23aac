// The identical-files search.
#include "app/IdenticalFiles.h"

#include <windows.h>

#include <cstring>

#include "system/Files.h"
#include "system/MapFile.h"
#include "system/Paths.h"
#include "system/StrList.h"

namespace {

DWORD ListedSize(const CStrList& files, int i) { return *files.Item<DWORD>(i); }

// The file's identity (volume and index), false when it cannot be read.
bool FileIdentity(const char* path, BY_HANDLE_FILE_INFORMATION* info) {
  HANDLE h = CreateFileA(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  BOOL ok = GetFileInformationByHandle(h, info);
  CloseHandle(h);
  return ok != FALSE;
}

bool SameFile(const char* a, const char* b) {
  if (PathCompareExA(a, b, 3) == 0) return true;
  BY_HANDLE_FILE_INFORMATION ia, ib;
  if (!FileIdentity(a, &ia) || !FileIdentity(b, &ib)) return true;  // unknown: never offered
  return ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber && ia.nFileIndexHigh == ib.nFileIndexHigh &&
         ia.nFileIndexLow == ib.nFileIndexLow;
}

}  // namespace

void IdenticalPrepare(CStrList& files) {
  for (int i = files.m_nCount - 1; i >= 0; --i) {
    if (ListedSize(files, i) != 0xFFFFFFFF) continue;
    DWORD size = FileGetSizeA(files.GetString(i));
    if (size == 0xFFFFFFFF)
      files.RemoveAt(i);
    else
      files.SetItemDword(i, size);
  }
  files.Sort(0, -1, CStrList::CompareDword);
}

int IdenticalSearch(CStrList& files, CIdenticalSink& sink) {
  int pairs = 0;
  CMapFile first, second;
  for (int i = 0; i < files.m_nCount && !sink.Stopped(); ++i) {
    const DWORD size = ListedSize(files, i);
    // Only a file with a candidate of its size is read.
    const bool candidate = i + 1 < files.m_nCount && ListedSize(files, i + 1) == size;
    if (candidate && first.Open(files.GetString(i)) && first.m_dwSize == size) {
      sink.Current(i + 1, files.m_nCount);
      bool firstGone = false;
      for (int j = i + 1; j < files.m_nCount && ListedSize(files, j) == size && !sink.Stopped(); ++j) {
        const char* a = files.GetString(i);
        const char* b = files.GetString(j);
        // Both files must still have the listed size and be two files, not one file twice.
        if (SameFile(a, b) || !second.Open(b) || second.m_dwSize != size ||
            memcmp(first.m_pData, second.m_pData, size) != 0)
          continue;
        ++pairs;
        const bool firstIsUpper = PathCompareA(a, b) <= 0;
        int answer = sink.Pair(firstIsUpper ? a : b, firstIsUpper ? b : a);
        if (answer != IDENT_DELETE_UPPER && answer != IDENT_DELETE_LOWER) continue;
        const bool deleteFirst = (answer == IDENT_DELETE_UPPER) == firstIsUpper;
        const int victim = deleteFirst ? i : j;
        first.Close();
        second.Close();
        if (!DeleteFileForceA(files.GetString(victim))) {
          sink.DeleteFailed(files.GetString(victim));
        } else {
          files.RemoveAt(victim);
          if (deleteFirst) {
            firstGone = true;
            break;
          }
          --j;
        }
        if (!first.Open(files.GetString(i)) || first.m_dwSize != size) break;
      }
      if (firstGone) --i;
    }
    first.Close();
    second.Close();
    sink.Done(i + 1);
  }
  return pairs;
}
