// CWinHandle: the owner of one Win32 kernel handle that CloseHandle releases.
#pragma once

#include <windows.h>

// Null and INVALID_HANDLE_VALUE both count as no handle.
class CWinHandle {
public:
    CWinHandle() : m_h(nullptr) {}
    explicit CWinHandle(HANDLE h) : m_h(h == INVALID_HANDLE_VALUE ? nullptr : h) {}
    ~CWinHandle() { Close(); }
    CWinHandle(const CWinHandle&) = delete;
    CWinHandle& operator=(const CWinHandle&) = delete;
    void Reset(HANDLE h) {
        Close();
        m_h = (h == INVALID_HANDLE_VALUE) ? nullptr : h;
    }
    HANDLE Detach() {
        HANDLE h = m_h;
        m_h = nullptr;
        return h;
    }
    void Close() {
        if (m_h) CloseHandle(m_h);
        m_h = nullptr;
    }
    HANDLE Get() const { return m_h; }
    explicit operator bool() const { return m_h != nullptr; }

private:
    HANDLE m_h;
};

