// Reading and writing the execution menus in the registry.
#include "app/ExecMenuStore.h"

#include <cstdio>

#include "system/RegKeys.h"
#include "system/StrList.h"

namespace {

const char kExecutes[] = "Executes";

CString MenuKey(int index) {
  CString key;
  key.Format("Menu%i", index + 1);
  return key;
}

CString ValueName(const char* base, int n) {
  CString name;
  name.Format("%s%i", base, n);
  return name;
}

// Opens "Executes" (mode 0 reads, 2 creates).
bool OpenExecutes(CRegKeys& reg, int mode) {
  return reg.Open(nullptr, nullptr, mode) && reg.OpenSubKey(kExecutes);
}

bool ReadMenuAt(CRegKeys& reg, int index, CString& name, std::vector<ExecEntry>* entries) {
  if (!reg.OpenSubKey(MenuKey(index))) return false;
  bool named = reg.QueryString(name, "Name") != FALSE;
  if (entries) {
    entries->clear();
    for (int n = 1; n <= kExecMaxEntries; ++n) {
      ExecEntry e;
      if (!reg.QueryString(e.execute, ValueName("Execute", n))) break;
      reg.QueryString(e.param, ValueName("Param", n));
      reg.QueryString(e.dir, ValueName("Dir", n));
      reg.QueryString(e.stream, ValueName("Stream", n));
      reg.QueryString(e.shellMode, ValueName("ShellMode", n));
      reg.QueryValue(&e.usePath, 4, ValueName("UsePath", n), REG_DWORD);
      reg.QueryValue(&e.noWait, 4, ValueName("NoWait", n), REG_DWORD);
      reg.QueryValue(&e.show, 4, ValueName("Show", n), REG_DWORD);
      reg.QueryValue(&e.command, 4, ValueName("Command", n), REG_DWORD);
      entries->push_back(e);
    }
  }
  reg.CloseKey();
  return named;
}

// A shell call keeps its verb even when empty (the run then uses "open").
bool IsShellEntry(const ExecEntry& e) { return lstrcmpiA(e.execute, "SHELL") == 0; }

bool WriteMenuAt(CRegKeys& reg, int index, const char* name, const std::vector<ExecEntry>& entries) {
  CString key = MenuKey(index);
  reg.DeleteKey(key);
  if (!reg.OpenSubKey(key)) return false;
  bool ok = reg.SetString(name ? name : "", "Name") != FALSE;
  int count = int(entries.size()) < kExecMaxEntries ? int(entries.size()) : kExecMaxEntries;
  for (int i = 0; i < count && ok; ++i) {
    const ExecEntry& e = entries[i];
    int n = i + 1;
    ok = reg.SetString(e.execute, ValueName("Execute", n)) && reg.SetString(e.param, ValueName("Param", n)) &&
         reg.SetString(e.dir, ValueName("Dir", n)) && reg.SetString(e.stream, ValueName("Stream", n)) &&
         (!IsShellEntry(e) || reg.SetString(e.shellMode, ValueName("ShellMode", n))) &&
         reg.SetValue(&e.usePath, 4, ValueName("UsePath", n), REG_DWORD) &&
         reg.SetValue(&e.noWait, 4, ValueName("NoWait", n), REG_DWORD) &&
         reg.SetValue(&e.show, 4, ValueName("Show", n), REG_DWORD) &&
         reg.SetValue(&e.command, 4, ValueName("Command", n), REG_DWORD);
  }
  reg.CloseKey();
  return ok;
}

}  // namespace

int ReadExecMenuNames(CStrList& names) {
  CRegKeys reg;
  if (!OpenExecutes(reg, 0)) return 0;
  int added = 0;
  CString name;
  for (int i = 0; i < kExecMaxMenus && ReadMenuAt(reg, i, name, nullptr); ++i) {
    names.Insert(name);
    ++added;
  }
  return added;
}

int CountExecMenus() {
  CStrList names;
  return ReadExecMenuNames(names);
}

bool ReadExecMenu(int index, CString& name, std::vector<ExecEntry>& entries) {
  entries.clear();
  CRegKeys reg;
  if (index < 0 || index >= kExecMaxMenus || !OpenExecutes(reg, 0)) return false;
  return ReadMenuAt(reg, index, name, &entries);
}

bool WriteExecMenu(int index, const char* name, const std::vector<ExecEntry>& entries) {
  CRegKeys reg;
  if (index < 0 || index >= kExecMaxMenus || !OpenExecutes(reg, 2)) return false;
  return WriteMenuAt(reg, index, name, entries);
}

bool DeleteExecMenu(int index, int count) {
  CRegKeys reg;
  if (index < 0 || index >= count || !OpenExecutes(reg, 2)) return false;
  bool ok = reg.DeleteKey(MenuKey(index)) != FALSE;
  for (int j = index + 1; j < count && ok; ++j) {
    CString name;
    std::vector<ExecEntry> entries;
    if (!ReadMenuAt(reg, j, name, &entries)) break;
    ok = WriteMenuAt(reg, j - 1, name, entries) && reg.DeleteKey(MenuKey(j));
  }
  return ok;
}
