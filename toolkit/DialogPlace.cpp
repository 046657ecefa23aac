// The remembered screen position of a command dialog.
#include "toolkit/DialogPlace.h"

namespace {

struct MonitorHit {
  POINT point;
  bool found;
};

bool Within(POINT p, const RECT& r) {
  return p.x >= r.left - 100 && p.x <= r.right - 100 && p.y >= r.top - 10 && p.y <= r.bottom - 100;
}

BOOL CALLBACK MonitorProc(HMONITOR monitor, HDC, LPRECT, LPARAM lp) {
  auto* hit = reinterpret_cast<MonitorHit*>(lp);
  MONITORINFO mi = {sizeof mi};
  if (::GetMonitorInfoA(monitor, &mi) && Within(hit->point, mi.rcMonitor)) {
    hit->found = true;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

bool CDialogPlace::PointUsable(POINT point) {
  if (::GetSystemMetrics(SM_CMONITORS) > 0) {
    MonitorHit hit = {point, false};
    ::EnumDisplayMonitors(nullptr, nullptr, MonitorProc, reinterpret_cast<LPARAM>(&hit));
    return hit.found;
  }
  RECT screen = {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
  return Within(point, screen);
}

void CDialogPlace::Restore(HWND dialog) const {
  if (!m_bValid || !dialog || !PointUsable(m_point)) return;
  ::SetWindowPos(dialog, nullptr, m_point.x, m_point.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CDialogPlace::Remember(HWND dialog) {
  RECT r;
  if (!dialog || !::GetWindowRect(dialog, &r)) return;
  m_point.x = r.left;
  m_point.y = r.top;
  m_bValid = true;
}
