// Histories of the command dialogs: multi-string registry values of at most 16 texts, newest
// first, without duplicates (ASCII case folded), shown in combo boxes.
#pragma once
#include "framework/Framework.h"
#include "system/StrList.h"

class CDialogHistory {
public:
  enum { MaxEntries = 16 };
  CDialogHistory();
  // Reads the multi-string value name of the application's key (subKey null) or of its
  // subkey. A missing value leaves the history empty. Returns the number of entries.
  int Load(const char* name, const char* subKey = nullptr);
  // Writes the entries as a multi-string value (key created when missing). FALSE on failure.
  BOOL Save(const char* name, const char* subKey = nullptr) const;
  // Moves text to the front (inserted when new). An empty text changes nothing: an empty entry
  // would end the multi-string.
  void Promote(const char* text);
  // Replaces the combo box's entries with the history's, in order.
  void FillCombo(HWND combo) const;
  int GetCount() const { return m_list.m_nCount; }
  const char* GetAt(int i) const { return m_list.GetString(i); }

private:
  CStrList m_list;
};
