// The remembered screen position of a command dialog: kept for the life of the process (not in
// the registry); a dialog reopens there when the point lies on a monitor.
#pragma once
#include <windows.h>

class CDialogPlace {
public:
  // Moves the dialog (without resizing) to the remembered point when one was stored and it
  // lies on a monitor: x from the monitor's left - 100 to its right - 100, y from its top - 10
  // to its bottom - 100.
  void Restore(HWND dialog) const;
  // Stores the dialog's present top-left corner.
  void Remember(HWND dialog);
  // True when point lies on a monitor by the rule above.
  static bool PointUsable(POINT point);

private:
  bool m_bValid = false;
  POINT m_point = {0, 0};
};
