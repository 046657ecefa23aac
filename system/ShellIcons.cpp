// The shell's system image list, plain-file and drive icons, the system drive.
#include "system/Draw.h"

#include <shellapi.h>

#include <cstring>

namespace {

// Drive icon cache shared by every thread of the process.
struct DriveIconCache {
    struct Slot {
        int index;
        DWORD tick;
        bool valid;
        bool fixed;
    };
    CRITICAL_SECTION lock;
    Slot slots[26][2];
    DriveIconCache() {
        InitializeCriticalSection(&lock);
        memset(slots, 0, sizeof slots);
    }
    ~DriveIconCache() { DeleteCriticalSection(&lock); }
};

DriveIconCache& Cache() {
    static DriveIconCache s_cache;
    return s_cache;
}

int LookUpIcon(const char* path, DWORD attributes, UINT extra) {
    SHFILEINFOA sfi;
    memset(&sfi, 0, sizeof sfi);
    if (!SHGetFileInfoA(path, attributes, &sfi, sizeof sfi, SHGFI_SYSICONINDEX | extra)) return -1;
    return sfi.iIcon;
}

}  // namespace

HIMAGELIST GetSysImageList(BOOL small) {
    SHFILEINFOA sfi;
    memset(&sfi, 0, sizeof sfi);
    return reinterpret_cast<HIMAGELIST>(SHGetFileInfoA("C:\\", FILE_ATTRIBUTE_DIRECTORY, &sfi, sizeof sfi,
                                                       SHGFI_SYSICONINDEX | SHGFI_USEFILEATTRIBUTES |
                                                           (small ? SHGFI_SMALLICON : SHGFI_LARGEICON)));
}

int GetPlainFileIconIndex(BOOL small) {
    static const int s_small = LookUpIcon("file", FILE_ATTRIBUTE_NORMAL, SHGFI_USEFILEATTRIBUTES | SHGFI_SMALLICON);
    static const int s_large = LookUpIcon("file", FILE_ATTRIBUTE_NORMAL, SHGFI_USEFILEATTRIBUTES | SHGFI_LARGEICON);
    return small ? s_small : s_large;
}

int GetDriveIconIndex(char letter, BOOL small) {
    if (letter >= 'a' && letter <= 'z') letter = char(letter - 32);
    if (letter < 'A' || letter > 'Z') return -1;
    DriveIconCache& c = Cache();
    DriveIconCache::Slot& slot = c.slots[letter - 'A'][small ? 0 : 1];
    DWORD now = GetTickCount();
    EnterCriticalSection(&c.lock);
    bool fresh = slot.valid && (slot.fixed || now - slot.tick < 3000);
    int index = slot.index;
    LeaveCriticalSection(&c.lock);
    if (fresh) return index;
    // Asked outside the lock: the shell may take its time over removable and network drives.
    char root[4] = {letter, ':', '\\', 0};
    UINT type = GetDriveTypeA(root);
    index = type == DRIVE_NO_ROOT_DIR ? -1 : LookUpIcon(root, 0, small ? SHGFI_SMALLICON : SHGFI_LARGEICON);
    EnterCriticalSection(&c.lock);
    slot.index = index;
    slot.tick = now;
    slot.valid = true;
    slot.fixed = type == DRIVE_FIXED && index >= 0;
    LeaveCriticalSection(&c.lock);
    return index;
}

char GetSystemDriveLetter() {
    char dir[MAX_PATH];
    UINT n = GetSystemDirectoryA(dir, sizeof dir);
    if (n >= 2 && n < sizeof dir && dir[1] == ':') {
        char c = dir[0];
        if (c >= 'a' && c <= 'z') c = char(c - 32);
        if (c >= 'A' && c <= 'Z') return c;
    }
    DWORD drives = GetLogicalDrives();
    for (int d = 2; d < 26; ++d)
        if (drives & (1u << d)) return char('A' + d);
    return 'C';
}
