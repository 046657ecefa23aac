// Files: sizes, times (Unix seconds and FILETIME), file information, whole-file compare,
// write and forced delete. 8-bit paths in the ANSI code page.
#pragma once

#include <windows.h>

#include <cstdint>

// ----- file information --------------------------------------------------------------------

// What FileStat and FileFindFirst report about one file or folder.
struct FileInfo {
    DWORD dwAttributes;
    uint64_t nSize;
    FILETIME ftCreation;
    FILETIME ftLastAccess;
    FILETIME ftLastWrite;
};

enum {
    FILE_ERR_NOT_FOUND = -3,  // the file or a folder of its path does not exist
    FILE_ERR_OTHER = -6,      // any other failure (access, device, ...)
    FILE_ERR_BAD_PATH = -7,   // null, empty or malformed path
};

// Fills info from the file system's attribute query. 0, or one of the codes above.
int FileStat(const char* path, FileInfo* info);
// The same through a directory search (works for files whose attributes cannot be queried
// directly); a wildcard pattern reports its first match. Drive roots go through FileStat.
int FileFindFirst(const char* path, FileInfo* info);
// The write time in Unix seconds, else (when zero) the creation time, else the access time.
uint32_t FileInfoGetTime(const FileInfo* info);

// ----- sizes and times -----------------------------------------------------------------------

// Low 32 bits of a file's size; 0xFFFFFFFF for a folder or a missing file.
DWORD FileGetSizeA(const char* path);
// A file's time in Unix seconds: kind 0 last write, 1 creation, 2 last access. 0 when the
// file cannot be read.
uint32_t FileGetUnixTimeA(const char* path, int kind = 0);
// Whether path's last-write time differs from the given one. mode 2: timeLow is Unix seconds
// and both sides have their lowest bit cleared (the two-second steps of FAT); mode 1: Unix
// seconds exactly; mode 0: timeLow/timeHigh form a FILETIME compared exactly. 0 when equal;
// nonzero otherwise, also when the file cannot be read.
int FileTimeDiffersA(uint32_t timeLow, uint32_t timeHigh, const char* path, int mode = 2);
// FILETIME -> Unix seconds, clamped to 0..0x7FFFFFFF.
uint32_t FileTimeToUnixSecondsClamped(const FILETIME& ft);
// Unix seconds -> FILETIME; 0 or a negative value gives a zero FILETIME.
void UnixSecondsToFileTime(int64_t seconds, FILETIME* out);

// ----- contents ------------------------------------------------------------------------------

// 1 when both files exist with equal sizes and equal bytes, else 0.
int FileContentsEqualA(const char* pathA, const char* pathB);
// Writes length bytes as the file's whole content (append 0) or appends them (append 1).
// A whole content goes to a temporary file in the same folder that then replaces the file,
// so that a failure leaves the old file untouched. False on failure.
BOOL FileWriteAllA(const char* path, const void* data, int length, int append = 0);
// Deletes a file; when access is denied it clears the file's attributes and tries once more.
// 1 on success, 0 on failure.
int DeleteFileForceA(const char* path);
