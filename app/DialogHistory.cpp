// Histories of the command dialogs.
#include "app/DialogHistory.h"

#include <stdlib.h>

#include "system/RegKeys.h"

CDialogHistory::CDialogHistory() : m_list(0) { m_list.SetRecentLimit(MaxEntries, 1); }

int CDialogHistory::Load(const char* name, const char* subKey) {
  m_list.RemoveAll();
  CRegKeys reg;
  if (!reg.Open(nullptr, nullptr, 0)) return 0;
  if (subKey && !reg.OpenSubKey(subKey)) return 0;
  char* block = nullptr;
  int size = 0;
  if (!reg.QueryValueAlloc(&block, name, REG_MULTI_SZ, &size)) return 0;
  m_list.InsertSplit(-1, block, 0, nullptr, size + 2);
  free(block);
  return m_list.m_nCount;
}

BOOL CDialogHistory::Save(const char* name, const char* subKey) const {
  CRegKeys reg;
  if (!reg.Open(nullptr, nullptr, 2)) return FALSE;
  if (subKey && !reg.OpenSubKey(subKey)) return FALSE;
  int size = 0;
  char* block = m_list.JoinMulti(0, -1, &size);
  if (!block) return FALSE;
  BOOL ok = reg.SetValue(block, size, name, REG_MULTI_SZ);
  free(block);
  return ok;
}

void CDialogHistory::Promote(const char* text) {
  if (!text || !*text) return;
  if (m_list.PromoteRecent(text) == 1) m_list.Insert(text, 0);
}

void CDialogHistory::FillCombo(HWND combo) const {
  if (!combo) return;
  ::SendMessageA(combo, CB_RESETCONTENT, 0, 0);
  for (int i = 0; i < m_list.m_nCount; ++i) ::SendMessageA(combo, CB_ADDSTRING, 0, (LPARAM)m_list.GetString(i));
}
