// Paths: path kinds, compares in which '\' and '/' are equal, name parts, trailing separators,
// joining, folder creation, program search and the program's own folder.
// 8-bit paths in the ANSI code page; the "Str" functions work on the framework's CString.
//
// Names shared with the shell's path library: shlwapi.h declares PathFindFileNameA and
// PathFindExtensionA (one LPCSTR argument) with C linkage, and the program links shlwapi.
// Ours are ordinary C++ functions whose first argument is a length, so they have other
// (mangled) link names and other argument lists: a call can bind to only one of the two,
// even in a unit that includes both headers, and the linker never confuses them. Still,
// units of this folder do not include shlwapi.h.
#pragma once

#include <windows.h>

#include <string>

class CString;

// ----- kinds and compares --------------------------------------------------------------------

// Kind of a path: 0 missing (or null/empty), 1 file, 2 folder, 3 drive root ("C:", "C:\",
// "C:/" of an existing drive).
int PathGetKindA(const char* path);

// Compares two paths: '\' and '/' equal, letters without case (as the ANSI code page cases
// them, like the file system). Below, at or above 0. Null counts as "".
int PathCompareA(const char* a, const char* b);
// The same compare over lengthA bytes of a and lengthB bytes of b (-1: up to the NUL): every
// letter of the code page without case ("\xDC" equals "\xFC"), not the ASCII letters alone.
// A shorter path that is a prefix of the other sorts first. Null counts as "". The compare for
// every path or file name that the program compares without case.
int PathCompareNA(int lengthA, const char* a, int lengthB, const char* b);
// Orders paths by that compare, for sets and maps keyed by path.
struct PathLess {
    bool operator()(const std::string& a, const std::string& b) const {
        return PathCompareNA(int(a.size()), a.data(), int(b.size()), b.data()) < 0;
    }
};
// The same with letter case kept, over lengthA bytes of a and lengthB bytes of b (-1: up to
// the NUL); a shorter path that is a prefix of the other sorts first.
int PathCompareCaseNA(int lengthA, const char* a, int lengthB, const char* b);
// 0 when the two paths are equal. Options: 1 compare the full path of a, 2 that of b
// (GetFullPathName; a path that cannot be made full is taken as it is), 4 keep letter case.
// Otherwise nonzero (the sign of the difference).
int PathCompareExA(const char* a, const char* b, int options);

// ----- name parts ----------------------------------------------------------------------------
// length -1 means up to the NUL. Separators are '\', '/' and the ':' of a drive.

// The name part: behind the last separator. *pNameLength (when given) gets its length.
const char* PathFindFileNameA(int length, const char* path, int* pNameLength = nullptr);
// Offset of the name part.
int PathFileNameOffsetA(int length, const char* path);
// The suffix: behind the last '.' of the name part. Null (none) when the name holds no '.',
// or its only '.' is its first character (".profile"). "a." gives "" (an empty suffix).
// *pSuffixLength (when given) gets its length (0 for none).
const char* PathFindExtensionA(int length, const char* path, int* pSuffixLength = nullptr);
// 1-based index of the path's suffix in the ';'-separated list (compared without case), 0
// when it has none or it is not in the list. Empty list entries never match.
int PathMatchExtensionListA(const char* path, const char* list, int pathLength = -1);

// ----- separators ----------------------------------------------------------------------------

// Appends '\' unless path (length bytes, -1 = up to the NUL) ends in '\' or '/'; an empty path
// becomes "\". The buffer holds size bytes. Returns the new length, or -1 when the separator
// and terminator do not fit (nothing changed).
int PathAddTrailingSeparatorA(char* path, int length = -1, int size = MAX_PATH);
// Removes one trailing '\' or '/'. Returns the new length.
int PathRemoveTrailingSeparatorA(char* path);
void PathAddTrailingSeparatorStr(CString& path);
int PathRemoveTrailingSeparatorStr(CString& path);
// Turns every '/' into '\' (target '\') or every '\' into '/' (target '/'). Returns the length.
int PathConvertSlashesA(char* path, char target);

// ----- folders and full paths ----------------------------------------------------------------

// out = the folder of path's full form, with its trailing separator. False (out empty) when
// the path cannot be made full.
BOOL PathFullPathStr(CString& out, const char* path);
// A path without a drive and without a leading separator ("sub", "..\\x") is taken within
// folder and made full ("." and ".." resolved), so that it never resolves against the working
// folder, which the user does not see. TRUE when path was changed; FALSE when it is not
// relative, folder is empty, or the result would not fit (path then unchanged).
BOOL PathAnchorStr(CString& path, const char* folder);
// out = the name part / the suffix without its '.' (empty when none).
void PathFileNameStr(CString& out, const char* path);
void PathExtensionStr(CString& out, const char* path);
// Cuts path to its folder, keeping the separator at its end ("C:\a\b.txt" -> "C:\a\";
// "b.txt" -> "").
void PathCutToDirectoryStr(CString& path);
// out = the full form of path spelt as on disk (letter case of every existing part; the
// drive letter in capitals). Parts that do not exist keep the given spelling. False when the
// path cannot be made full.
BOOL PathGetTrueSpellingStr(CString& out, const char* path);
// Writes the folder part of path's full form (with its trailing separator) into buffer of
// size bytes. Returns its length, 0 when it cannot be made full or does not fit.
int PathGetFullDirectoryA(char* buffer, const char* path, int size = MAX_PATH);
// Joins folderLength bytes of folder (-1: up to the NUL) and name into dest (size bytes) with
// exactly one '\' between them (none when the folder is empty). dest may be folder itself.
// Returns the length, or -1 when it does not fit (dest then "").
int PathJoinA(int folderLength, char* dest, const char* folder, const char* name, int size = MAX_PATH);

// The ANSI text s (length -1: up to the NUL; null: "") in UTF-16.
std::wstring PathToWideA(const char* s, int length = -1);
// The ANSI spelling of the UTF-16 text w (length -1: up to the NUL; null: ""). False when the
// code page lacks one of its letters (out then holds nothing of use).
bool PathToAnsiExactW(const wchar_t* w, int length, std::string& out);

// A file whose name the ANSI code page cannot spell is listed by its short name, and so is
// such a folder in its path. A new name made from a listed path must take the file's own
// names instead: the names of path from byte offset from on (where a name starts; from <= 0:
// the whole path). 0 when they are the file's own (out untouched); 1 when a short name stands
// for another there: out gets those names as the file system spells them, in UTF-16, '\'
// between them; -1 when the path cannot be resolved (missing, or too long).
int PathOwnNamesW(const char* path, int from, std::wstring& out);
// A spelling of path (UTF-16) that the ANSI functions reach: the path itself when the code
// page has all its letters, else, for an existing path, its short form. False when there is
// none (out empty).
bool PathAnsiSpellingW(const std::wstring& path, std::string& out);

// Creates every missing folder of path. Returns 1 when something was created, 2 when the
// folder already existed, 0 on failure (also when a part exists as a file).
int PathCreateDirectoriesA(const char* path);
// option 1: path names a file; only its folder is created. Option 0: as above.
int PathCreateDirectoriesExA(const char* path, int option);

// Looks for a program. A name with a folder part is tried there only; a bare name in the
// running program's folder, then in every folder of PATH. In each folder the name is tried
// with each suffix of the ';'-separated list appended after a '.' (an empty entry: the name
// unchanged; a name that already carries a suffix of the list is tried unchanged as well).
// Writes the first existing file into out (size bytes). Nonzero when found. flags reserved (0).
BOOL PathSearchProgramA(char* out, const char* program, int size, const char* suffixList, int flags = 0);

// The running program's folder with its trailing separator. Returns the length, 0 on failure.
int GetProgramDirectoryA(char* buffer, int size);

// For a path beginning with "\\server\share": when a drive letter is connected to that share,
// writes the path with the drive in place of "\\server\share"; otherwise, and for every
// other path, writes the path unchanged. Returns the length, 0 when it does not fit.
int ResolveNetworkPath(const char* path, char* out, int size = MAX_PATH);
