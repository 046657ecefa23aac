// A critical section and its scoped lock.
#pragma once
#include <windows.h>

class CCriticalSection {
public:
  CCriticalSection() { ::InitializeCriticalSection(&m_sect); }
  ~CCriticalSection() { ::DeleteCriticalSection(&m_sect); }
  CCriticalSection(const CCriticalSection&) = delete;
  CCriticalSection& operator=(const CCriticalSection&) = delete;
  void Lock() { ::EnterCriticalSection(&m_sect); }
  void Unlock() { ::LeaveCriticalSection(&m_sect); }
  CRITICAL_SECTION m_sect;
};

class CCritSecLock {
public:
  explicit CCritSecLock(CCriticalSection& cs) : m_cs(cs) { m_cs.Lock(); }
  ~CCritSecLock() { m_cs.Unlock(); }
  CCritSecLock(const CCritSecLock&) = delete;
  CCritSecLock& operator=(const CCritSecLock&) = delete;

private:
  CCriticalSection& m_cs;
};
