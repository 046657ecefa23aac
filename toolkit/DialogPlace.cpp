// The remembered screen position of a command dialog.
#include "toolkit/DialogPlace.h"

bool CDialogPlace::PlaceUsable(const RECT& kept) {
  RECT bounds = {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
  MONITORINFO mi = {sizeof mi};
  if (HMONITOR monitor = ::MonitorFromRect(&kept, MONITOR_DEFAULTTONULL))
    if (::GetMonitorInfoA(monitor, &mi)) bounds = mi.rcMonitor;
  return kept.left > bounds.left - 100 && kept.left < bounds.right - 100 && kept.top > bounds.top - 10 &&
         kept.top < bounds.bottom - 100;
}

void CDialogPlace::Restore(HWND dialog) const {
  if (!m_bValid || !dialog || !PlaceUsable(m_rect)) return;
  ::SetWindowPos(dialog, nullptr, m_rect.left, m_rect.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CDialogPlace::Remember(HWND dialog) {
  RECT r;
  if (!dialog || !::GetWindowRect(dialog, &r)) return;
  m_rect = r;
  m_bValid = true;
}
