// CRegKeys: a stack of open registry keys.
#include "system/RegKeys.h"

#include <cstdlib>
#include <cstring>

#include "framework/String.h"

namespace {

CString BuildDefaultAppKey() {
    char path[MAX_PATH + 1];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return CString("Software\\QV\\Vellmorant");
    path[n] = 0;
    const char* name = path;
    for (const char* p = path; *p; ++p)
        if (*p == '\\' || *p == '/' || *p == ':') name = p + 1;
    CString s(name);
    int dot = s.ReverseFind('.');
    if (dot > 0) s = s.Left(dot);
    return CString("Software\\QV\\") + s;
}

CString& AppKey() {
    static CString s_key = BuildDefaultAppKey();
    return s_key;
}

// Reads a value of any type into a new block with two spare NUL bytes behind the data.
// Returns false when the value is missing.
bool ReadRaw(HKEY key, const char* name, DWORD* pType, char** ppData, DWORD* pcb) {
    *ppData = nullptr;
    *pcb = 0;
    DWORD cb = 0;
    for (int attempt = 0; attempt < 8; ++attempt) {
        LONG rc = RegQueryValueExA(key, name, nullptr, pType, nullptr, &cb);
        if (rc != ERROR_SUCCESS) return false;
        char* p = static_cast<char*>(malloc(size_t(cb) + 2));
        if (!p) return false;
        DWORD got = cb;
        rc = RegQueryValueExA(key, name, nullptr, pType, reinterpret_cast<BYTE*>(p), &got);
        if (rc == ERROR_SUCCESS) {
            p[got] = 0;
            p[got + 1] = 0;
            *ppData = p;
            *pcb = got;
            return true;
        }
        free(p);
        if (rc != ERROR_MORE_DATA) return false;  // else the value grew meanwhile: again
    }
    return false;
}

}  // namespace

CRegKeys::CRegKeys() : m_keys(), m_owned(), m_nDepth(0), m_nMode(0), m_pszEnum(nullptr), m_cbEnum(0) {}

CRegKeys::~CRegKeys() {
    CloseAll();
    free(m_pszEnum);
}

void CRegKeys::SetAppName(const char* name) {
    AppKey() = CString("Software\\QV\\") + (name ? name : "");
}

const char* CRegKeys::GetAppKeyPath() {
    return AppKey();
}

void CRegKeys::CloseAll() {
    while (CloseKey()) {
    }
}

BOOL CRegKeys::Open(HKEY root, const char* path, int mode) {
    CloseAll();
    if (mode < 0 || mode > 2) return FALSE;
    m_nMode = mode;
    if (!root) {
        root = HKEY_CURRENT_USER;
        if (!path) path = GetAppKeyPath();
    }
    if (!path) {
        m_keys[0] = root;
        m_owned[0] = false;
        m_nDepth = 1;
        return TRUE;
    }
    HKEY h = nullptr;
    LONG rc;
    if (mode == 2)
        rc = RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &h, nullptr);
    else
        rc = RegOpenKeyExA(root, path, 0, mode == 1 ? (KEY_READ | KEY_WRITE) : KEY_READ, &h);
    if (rc != ERROR_SUCCESS) return FALSE;
    m_keys[0] = h;
    m_owned[0] = true;
    m_nDepth = 1;
    return TRUE;
}

BOOL CRegKeys::OpenSubKey(const char* name, int) {
    if (!m_nDepth || m_nDepth >= MaxDepth || !name) return FALSE;
    HKEY h = nullptr;
    LONG rc;
    if (m_nMode == 2)
        rc = RegCreateKeyExA(GetKey(), name, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &h, nullptr);
    else
        rc = RegOpenKeyExA(GetKey(), name, 0, m_nMode == 1 ? (KEY_READ | KEY_WRITE) : KEY_READ, &h);
    if (rc != ERROR_SUCCESS) return FALSE;
    m_keys[m_nDepth] = h;
    m_owned[m_nDepth] = true;
    ++m_nDepth;
    return TRUE;
}

BOOL CRegKeys::CloseKey() {
    if (!m_nDepth) return FALSE;
    --m_nDepth;
    if (m_owned[m_nDepth]) RegCloseKey(m_keys[m_nDepth]);
    m_keys[m_nDepth] = nullptr;
    m_owned[m_nDepth] = false;
    return TRUE;
}

BOOL CRegKeys::QueryValue(void* buffer, int size, const char* name, DWORD type) {
    if (!m_nDepth || !buffer || size <= 0) return FALSE;
    if (type != REG_SZ && type != REG_DWORD) return FALSE;
    DWORD got = 0;
    char* data = nullptr;
    DWORD cb = 0;
    if (!ReadRaw(GetKey(), name, &got, &data, &cb)) return FALSE;
    BOOL ok = FALSE;
    if (got == type) {
        if (type == REG_DWORD) {
            if (cb == 4 && size >= 4) {
                memcpy(buffer, data, 4);
                ok = TRUE;
            }
        } else {
            // Stored with or without terminator: the text ends at its first NUL.
            DWORD len = 0;
            while (len < cb && data[len]) ++len;
            if (int(len) < size) {
                memcpy(buffer, data, len);
                static_cast<char*>(buffer)[len] = 0;
                ok = TRUE;
            }
        }
    }
    free(data);
    return ok;
}

BOOL CRegKeys::QueryValueAlloc(char** ppData, const char* name, DWORD type, int* pSize) {
    if (ppData) *ppData = nullptr;
    if (pSize) *pSize = 0;
    if (!ppData || !m_nDepth) return FALSE;
    DWORD got = 0;
    char* data = nullptr;
    DWORD cb = 0;
    if (!ReadRaw(GetKey(), name, &got, &data, &cb)) return FALSE;
    if (got != type) {
        free(data);
        return FALSE;
    }
    *ppData = data;
    if (pSize) *pSize = int(cb);
    return TRUE;
}

BOOL CRegKeys::QueryString(CString& out, const char* name) {
    out.Empty();
    if (!m_nDepth) return FALSE;
    DWORD got = 0;
    char* data = nullptr;
    DWORD cb = 0;
    if (!ReadRaw(GetKey(), name, &got, &data, &cb)) return FALSE;
    BOOL ok = FALSE;
    if (got == REG_SZ) {
        DWORD len = 0;
        while (len < cb && data[len]) ++len;
        out = CString(data, int(len));
        ok = TRUE;
    }
    free(data);
    return ok;
}

BOOL CRegKeys::SetValue(const void* data, int size, const char* name, DWORD type) {
    if (!m_nDepth || m_nMode == 0 || size < 0 || (!data && size)) return FALSE;
    if (type != REG_SZ && type != REG_DWORD && type != REG_MULTI_SZ) return FALSE;
    if (type == REG_DWORD && size != 4) return FALSE;
    return RegSetValueExA(GetKey(), name, 0, type, static_cast<const BYTE*>(data), DWORD(size)) == ERROR_SUCCESS;
}

BOOL CRegKeys::SetString(const CString& value, const char* name) {
    return SetValue(value.GetString(), value.GetLength(), name, REG_SZ);
}

BOOL CRegKeys::SetString(const char* value, const char* name) {
    if (!value) value = "";
    return SetValue(value, int(strlen(value)), name, REG_SZ);
}

BOOL CRegKeys::DeleteKey(const char* name) {
    if (!m_nDepth || m_nMode == 0 || !name || !*name) return FALSE;
    // Deletes the subkey itself as well.
    return RegDeleteTreeA(GetKey(), name) == ERROR_SUCCESS;
}

const char* CRegKeys::EnumValueName(int index) {
    if (!m_nDepth || index < 0) return nullptr;
    DWORD maxLen = 0;
    if (RegQueryInfoKeyA(GetKey(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxLen, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS)
        return nullptr;
    if (maxLen + 1 > m_cbEnum) {
        char* p = static_cast<char*>(realloc(m_pszEnum, maxLen + 1));
        if (!p) return nullptr;
        m_pszEnum = p;
        m_cbEnum = maxLen + 1;
    }
    DWORD len = m_cbEnum;
    if (RegEnumValueA(GetKey(), DWORD(index), m_pszEnum, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return nullptr;
    return m_pszEnum;
}
