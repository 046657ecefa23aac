// The remembered screen position of a command dialog: kept for the life of the process (not in
// the registry); a dialog reopens there when the point lies well inside a monitor.
#pragma once
#include <windows.h>

class CDialogPlace {
public:
  // Moves the dialog (without resizing or changing its Z order) to the remembered top-left
  // corner when one was stored and PlaceUsable accepts the remembered rectangle.
  void Restore(HWND dialog) const;
  // Stores the dialog's present window rectangle.
  void Remember(HWND dialog);
  // True when the rectangle's top-left corner lies strictly inside the bounds of the monitor
  // that the rectangle overlaps most (the primary screen, 0,0 to its size, when it overlaps
  // none): left between the monitor's left - 100 and right - 100, top between its top - 10
  // and bottom - 100, all bounds excluded.
  static bool PlaceUsable(const RECT& kept);

private:
  bool m_bValid = false;
  RECT m_rect = {0, 0, 0, 0};
};
