// CRegKeys: registry access through a stack of open keys (DWORD, string and multi-string
// values). A null root or path means the application's own key, HKCU "Software\QV\<name>".
#pragma once

#include <windows.h>

class CString;

class CRegKeys {
public:
    enum { MaxDepth = 12 };   // the opened key plus at most 11 subkeys

    CRegKeys();               // opens nothing
    ~CRegKeys();              // closes every open key
    CRegKeys(const CRegKeys&) = delete;
    CRegKeys& operator=(const CRegKeys&) = delete;

    // The application's name used for HKCU "Software\QV\<name>" (process-wide; set once at
    // start-up before any other thread uses the registry). Until it is set, the name of the
    // running program's file without its suffix is used.
    static void SetAppName(const char* name);
    static const char* GetAppKeyPath();   // "Software\QV\<name>"

    // Closes what is open and opens a key. root null with path null: the application's key;
    // root null with a path: that path below HKEY_CURRENT_USER; root with path null: the root.
    // mode 0 reads (fails when the key is missing), 1 reads and writes an existing key,
    // 2 reads and writes and creates the key when missing. Returns false on failure.
    BOOL Open(HKEY root, const char* path, int mode);
    // Opens subkey name of the innermost key in the present mode (created in mode 2) and
    // pushes it. Returns false when nothing is open, the stack is full or the key cannot be
    // opened. The second argument is reserved (0).
    BOOL OpenSubKey(const char* name, int reserved = 0);
    // Closes the innermost key; false when nothing is open.
    BOOL CloseKey();
    // Closes every open key.
    void CloseAll();
    HKEY GetKey() const { return m_nDepth ? m_keys[m_nDepth - 1] : nullptr; }
    int GetMode() const { return m_nMode; }

    // Reads value name of type 1 (REG_SZ) or 4 (REG_DWORD) into buffer of size bytes. True
    // only when the value exists with exactly that type and fits: a string needs its length
    // plus a terminator (always written), a DWORD 4 bytes. Otherwise (missing, other type,
    // too large) the buffer is left as it was.
    BOOL QueryValue(void* buffer, int size, const char* name, DWORD type);
    // Reads value name of the given type (7 REG_MULTI_SZ, or 1 REG_SZ) into a new block from
    // malloc, released by the caller with free(). The block always ends with two NULs, also
    // when the stored data lacks them. *pSize (when given) gets the data bytes without the
    // added NULs. False (and *ppData null) when the value is missing or has another type.
    BOOL QueryValueAlloc(char** ppData, const char* name, DWORD type = REG_MULTI_SZ, int* pSize = nullptr);
    // Reads a string value (REG_SZ); the string is emptied when the value is missing or has
    // another type. True when found.
    BOOL QueryString(CString& out, const char* name);

    // Writes value name: size bytes of data with type 1 (REG_SZ), 4 (REG_DWORD, size 4) or 7
    // (REG_MULTI_SZ). Only on a key opened in mode 1 or 2. False on failure.
    BOOL SetValue(const void* data, int size, const char* name, DWORD type);
    // Writes a REG_SZ value of the string's length, without the terminator.
    BOOL SetString(const CString& value, const char* name);
    BOOL SetString(const char* value, const char* name);

    // Deletes subkey name of the innermost key with everything below it (mode 1 or 2).
    BOOL DeleteKey(const char* name);
    // Name of the value with that index in the innermost key, null after the last one (or
    // when nothing is open). The text lives until the next call on this object.
    const char* EnumValueName(int index);

private:
    HKEY m_keys[MaxDepth];
    bool m_owned[MaxDepth];
    int m_nDepth;
    int m_nMode;
    char* m_pszEnum;
    DWORD m_cbEnum;
};
