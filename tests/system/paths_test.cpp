// Paths: kinds, compares, name parts and suffix rules, separators, joining, spelling, search.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "framework/String.h"
#include "system/Paths.h"
#include "system/support/SysTestUtil.h"

using systest::TempDir;

TEST(Paths, Kinds) {
    TempDir dir;
    std::string f = dir / "file.txt";
    ASSERT_TRUE(systest::WriteFileBytes(f, "x"));
    EXPECT_EQ(PathGetKindA(f.c_str()), 1);
    EXPECT_EQ(PathGetKindA(dir.Path().c_str()), 2);
    EXPECT_EQ(PathGetKindA((dir.Path() + "\\").c_str()), 2);
    EXPECT_EQ(PathGetKindA((dir / "nope").c_str()), 0);
    EXPECT_EQ(PathGetKindA("C:\\"), 3);
    EXPECT_EQ(PathGetKindA("c:"), 3);
    EXPECT_EQ(PathGetKindA("C:/"), 3);
    EXPECT_EQ(PathGetKindA("C:\\windows"), 2);
    EXPECT_EQ(PathGetKindA(""), 0);
    EXPECT_EQ(PathGetKindA(nullptr), 0);
    // A drive letter that does not exist.
    DWORD drives = GetLogicalDrives();
    for (int d = 25; d >= 3; --d)
        if (!(drives & (1u << d))) {
            char root[4] = {char('A' + d), ':', '\\', 0};
            EXPECT_EQ(PathGetKindA(root), 0) << root;
            break;
        }
}

TEST(Paths, Compares) {
    EXPECT_EQ(PathCompareA("C:\\Dir/Sub\\a.TXT", "c:/dir\\sub/A.txt"), 0);
    EXPECT_EQ(PathCompareA("C:\\Müller", "c:\\MÜLLER"), 0);  // letters of the code page
    EXPECT_LT(PathCompareA("C:\\a", "C:\\b"), 0);
    EXPECT_LT(PathCompareA("C:\\a", "C:\\a\\"), 0);
    EXPECT_GT(PathCompareA("C:\\ab", "C:\\a"), 0);
    EXPECT_EQ(PathCompareA(nullptr, ""), 0);
    EXPECT_EQ(PathCompareCaseNA(-1, "C:/x", -1, "C:\\x"), 0);
    EXPECT_NE(PathCompareCaseNA(-1, "C:\\X", -1, "C:\\x"), 0);
    EXPECT_EQ(PathCompareCaseNA(4, "C:\\xyz", 4, "C:/xab"), 0);
    EXPECT_LT(PathCompareCaseNA(3, "C:\\xyz", 4, "C:/xab"), 0);
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, cwd);
    std::string full = std::string(cwd) + (cwd[strlen(cwd) - 1] == '\\' ? "" : "\\") + "rel\\f.c";
    EXPECT_EQ(PathCompareExA("rel\\f.c", full.c_str(), 1 | 4), 0);
    EXPECT_NE(PathCompareExA("rel\\f.c", full.c_str(), 4), 0);
    EXPECT_EQ(PathCompareExA(full.c_str(), "rel/f.c", 2 | 4), 0);
    EXPECT_NE(PathCompareExA("C:\\A\\", "c:\\a\\", 7), 0);
    EXPECT_EQ(PathCompareExA("C:\\A\\", "c:\\a\\", 3), 0);
}

TEST(Paths, NamePartsAndSuffixes) {
    int n = -1;
    const char* p = "C:\\dir.d/sub\\name.tar.gz";
    EXPECT_STREQ(PathFindFileNameA(-1, p, &n), "name.tar.gz");
    EXPECT_EQ(n, 11);
    EXPECT_EQ(PathFileNameOffsetA(-1, p), 13);
    EXPECT_EQ(PathFileNameOffsetA(-1, "C:x.c"), 2);
    EXPECT_EQ(PathFileNameOffsetA(-1, "plain"), 0);
    EXPECT_EQ(PathFileNameOffsetA(8, p), 3);  // only "C:\dir.d" is looked at
    EXPECT_STREQ(PathFindExtensionA(-1, p, &n), "gz");
    EXPECT_EQ(n, 2);
    EXPECT_EQ(PathFindExtensionA(-1, "C:\\dir.d\\name", &n), nullptr);  // the folder's '.' does not count
    EXPECT_EQ(n, 0);
    EXPECT_EQ(PathFindExtensionA(-1, "C:\\x\\.profile"), nullptr);
    EXPECT_STREQ(PathFindExtensionA(-1, "C:\\x\\.profile.bak"), "bak");
    EXPECT_STREQ(PathFindExtensionA(-1, "a."), "");
    const char* e = PathFindExtensionA(5, "a.cpp.bak", &n);
    EXPECT_EQ(std::string(e, size_t(n)), "cpp");

    EXPECT_EQ(PathMatchExtensionListA("x\\y.CPP", "c;cpp;cc;cxx;h"), 2);
    EXPECT_EQ(PathMatchExtensionListA("y.h", "c;cpp;cc;cxx;h"), 5);
    EXPECT_EQ(PathMatchExtensionListA("y.hpp", "c;cpp;cc;cxx;h"), 0);
    EXPECT_EQ(PathMatchExtensionListA("y", "c;;h"), 0);
    EXPECT_EQ(PathMatchExtensionListA("y.", "c;;h"), 0);
    EXPECT_EQ(PathMatchExtensionListA("y.h.c", "c;;h", 3), 3);

    CString s;
    PathFileNameStr(s, p);
    EXPECT_STREQ(s, "name.tar.gz");
    PathExtensionStr(s, p);
    EXPECT_STREQ(s, "gz");
    PathExtensionStr(s, "noext");
    EXPECT_STREQ(s, "");
    CString d("C:\\a\\b.txt");
    PathCutToDirectoryStr(d);
    EXPECT_STREQ(d, "C:\\a\\");
    d = "b.txt";
    PathCutToDirectoryStr(d);
    EXPECT_STREQ(d, "");
}

TEST(Paths, TrailingSeparatorsJoinAndSlashes) {
    char buf[MAX_PATH] = "C:\\a";
    EXPECT_EQ(PathAddTrailingSeparatorA(buf), 5);
    EXPECT_STREQ(buf, "C:\\a\\");
    EXPECT_EQ(PathAddTrailingSeparatorA(buf), 5);
    strcpy(buf, "x/");
    EXPECT_EQ(PathAddTrailingSeparatorA(buf), 2);
    buf[0] = 0;
    EXPECT_EQ(PathAddTrailingSeparatorA(buf), 1);
    EXPECT_STREQ(buf, "\\");
    char small[4] = "abc";
    EXPECT_EQ(PathAddTrailingSeparatorA(small, -1, 4), -1);
    EXPECT_STREQ(small, "abc");
    strcpy(buf, "C:\\a\\\\");
    EXPECT_EQ(PathRemoveTrailingSeparatorA(buf), 5);
    EXPECT_EQ(PathRemoveTrailingSeparatorA(buf), 4);
    EXPECT_EQ(PathRemoveTrailingSeparatorA(buf), 4);
    CString s("C:");
    PathAddTrailingSeparatorStr(s);
    EXPECT_STREQ(s, "C:\\");
    EXPECT_EQ(PathRemoveTrailingSeparatorStr(s), 2);

    char j[MAX_PATH];
    EXPECT_EQ(PathJoinA(-1, j, "C:\\dir\\", "\\name"), 11);
    EXPECT_STREQ(j, "C:\\dir\\name");
    EXPECT_EQ(PathJoinA(6, j, "C:\\dirXYZ", "n"), 8);
    EXPECT_STREQ(j, "C:\\dir\\n");
    EXPECT_EQ(PathJoinA(-1, j, "", "n"), 1);
    EXPECT_STREQ(j, "n");
    strcpy(j, "C:\\in\\place");
    EXPECT_EQ(PathJoinA(-1, j, j, "x.c"), 15);
    EXPECT_STREQ(j, "C:\\in\\place\\x.c");
    EXPECT_EQ(PathJoinA(-1, j, "C:\\long", "name", 8), -1);
    EXPECT_STREQ(j, "");

    strcpy(buf, "a/b\\c/d");
    EXPECT_EQ(PathConvertSlashesA(buf, '\\'), 7);
    EXPECT_STREQ(buf, "a\\b\\c\\d");
    PathConvertSlashesA(buf, '/');
    EXPECT_STREQ(buf, "a/b/c/d");
}

TEST(Paths, FullPathsSpellingAndFolders) {
    TempDir dir;
    std::string sub = dir / "Gemischt Größe";
    ASSERT_TRUE(CreateDirectoryA(sub.c_str(), nullptr));
    ASSERT_TRUE(systest::WriteFileBytes(sub + "\\Datei.TXT", "1"));
    CString s;
    EXPECT_TRUE(PathFullPathStr(s, (sub + "\\Datei.TXT").c_str()));
    EXPECT_STREQ(s, (sub + "\\").c_str());
    char buf[MAX_PATH];
    EXPECT_EQ(PathGetFullDirectoryA(buf, (sub + "\\x\\..\\Datei.TXT").c_str()), int(sub.size() + 1));
    EXPECT_STREQ(buf, (sub + "\\").c_str());
    EXPECT_EQ(PathGetFullDirectoryA(buf, (sub + "\\Datei.TXT").c_str(), 5), 0);

    // The spelling on disk, and the given spelling for parts that do not exist.
    std::string lower = dir.Path() + "\\GEMISCHT größe\\datei.txt\\Neu";
    EXPECT_TRUE(PathGetTrueSpellingStr(s, lower.c_str()));
    EXPECT_STREQ(s, (sub + "\\Datei.TXT\\Neu").c_str());
    std::string drive = "c" + dir.Path().substr(1);
    EXPECT_TRUE(PathGetTrueSpellingStr(s, drive.c_str()));
    EXPECT_STREQ(s, dir.Path().c_str());
    // A name outside the code page keeps the short form by which it was found.
    std::wstring wide(dir.Path().begin(), dir.Path().end());
    ASSERT_TRUE(CreateDirectoryW((wide + L"\\Ordner \u0416").c_str(), nullptr));
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir / "Ordner*").c_str(), &fd);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    FindClose(h);
    ASSERT_NE('\0', fd.cAlternateFileName[0]);
    std::string shortName = dir / fd.cAlternateFileName;
    EXPECT_TRUE(PathGetTrueSpellingStr(s, (shortName + "\\x.txt").c_str()));
    EXPECT_STREQ(s, (shortName + "\\x.txt").c_str());

    std::string deep = dir / "n1\\n2/n3";
    EXPECT_EQ(PathCreateDirectoriesA(deep.c_str()), 1);
    EXPECT_EQ(PathGetKindA(deep.c_str()), 2);
    EXPECT_EQ(PathCreateDirectoriesA(deep.c_str()), 2);
    EXPECT_EQ(PathCreateDirectoriesExA((dir / "n1\\m\\file.bin").c_str(), 1), 1);
    EXPECT_EQ(PathGetKindA((dir / "n1\\m").c_str()), 2);
    EXPECT_EQ(PathGetKindA((dir / "n1\\m\\file.bin").c_str()), 0);
    EXPECT_EQ(PathCreateDirectoriesA((sub + "\\Datei.TXT\\below").c_str()), 0);  // a file in the way
    EXPECT_EQ(PathCreateDirectoriesA("C:\\"), 2);

    EXPECT_GT(GetProgramDirectoryA(buf, sizeof buf), 0);
    EXPECT_STREQ(buf, systest::ExeDir().c_str());
    EXPECT_EQ(GetProgramDirectoryA(buf, 3), 0);

    // Relative paths taken within a folder; others left as they are.
    const std::string longFolder = "C:\\" + std::string(MAX_PATH - 3, 'a');
    const struct { const char* path; const char* folder; const char* out; } anchors[] = {
        {"sub", "C:\\a\\", "C:\\a\\sub"},        {"..\\x/y", "C:\\a\\b", "C:\\a\\x\\y"},
        {".", "\\\\h\\s\\d", "\\\\h\\s\\d"},     {"D:\\x", "C:\\a", nullptr},
        {"D:x", "C:\\a", nullptr},            {"\\x", "C:\\a", nullptr},
        {"/x", "C:\\a", nullptr},             {"sub", "", nullptr},
        {"", "C:\\a", nullptr},               {"sub", longFolder.c_str(), nullptr},
    };
    for (const auto& a : anchors) {
        CString path = a.path;
        EXPECT_EQ(a.out != nullptr, !!PathAnchorStr(path, a.folder)) << a.path;
        EXPECT_STREQ(a.out ? a.out : a.path, path) << a.path;
    }

    EXPECT_EQ(ResolveNetworkPath("C:\\x", buf), 4);
    EXPECT_STREQ(buf, "C:\\x");
    EXPECT_EQ(ResolveNetworkPath("\\\\nohost\\share\\f", buf), 16);
    EXPECT_STREQ(buf, "\\\\nohost\\share\\f");
}

// Every letter of the code page compares without case, as the file system compares names: the
// same pairs are equal as by the system's case-blind ordinal compare ('/' and '\' equal too).
TEST(Paths, CompareFoldsEveryLetterAsTheFileSystemDoes) {
    std::string wrong;
    for (int a = 1; a < 256; ++a)
        for (int b = 1; b < 256; ++b) {
            char ca = char(a), cb = char(b);
            wchar_t wa = 0, wb = 0;
            MultiByteToWideChar(1252, 0, &ca, 1, &wa, 1);
            MultiByteToWideChar(1252, 0, &cb, 1, &wb, 1);
            const bool seps = (ca == '/' || ca == '\\') && (cb == '/' || cb == '\\');
            const bool system = seps || CompareStringOrdinal(&wa, 1, &wb, 1, TRUE) == CSTR_EQUAL;
            if (system != (PathCompareNA(1, &ca, 1, &cb) == 0))
                wrong += std::to_string(a) + "/" + std::to_string(b) + " ";
        }
    EXPECT_EQ("", wrong);
}

TEST(Paths, CompareNTakesLengthsAndEveryLetter) {
    const struct {
        int na;
        const char* a;
        int nb;
        const char* b;
        int sign;
    } rows[] = {
        {-1, "C:\\\xDC" "bung\\a.TXT", -1, "c:/\xFC" "bung/A.txt", 0},  // Übung, übung
        {-1, "\x8A\x8C\x8E\x9F\xC0\xDE", -1, "\x9A\x9C\x9E\xFF\xE0\xFE", 0},  // Š Œ Ž Ÿ À Þ
        {-1, "\xDF", -1, "ss", 1},       // ß is no pair of letters
        {-1, "\xB5", -1, "M", 1},        // µ has no capital in the code page
        {-1, "\xC4", -1, "A", 1},        // Ä is no A
        {-1, "\xD7", -1, "\xF7", -1},    // × and ÷ are no letters
        {9, "C:\\\xC4rger\\x", 8, "c:\\\xE4rger", 1},  // a longer path sorts after its prefix
        {8, "C:\\\xC4rger\\x", 8, "c:\\\xE4rger", 0},
        {3, "abc", -1, "abcd", -1},
        {-1, nullptr, 0, "x", 0},
        {0, "x", -1, nullptr, 0},
    };
    for (const auto& r : rows) {
        const int got = PathCompareNA(r.na, r.a, r.nb, r.b);
        EXPECT_EQ(r.sign, (got > 0) - (got < 0)) << (r.a ? r.a : "null") << " | " << (r.b ? r.b : "null");
    }
}

// ANSI and UTF-16 spellings: a round trip for every text of the code page, none for a letter
// it lacks.
TEST(Paths, WideAndAnsiSpellings) {
    const struct {
        const wchar_t* wide;
        const char* ansi;  // null: the code page lacks a letter
    } rows[] = {
        {L"C:\\\x00FC" L"ber\\\x20AC.txt", "C:\\\xFC" "ber\\\x80.txt"},  // über, €
        {L"\x0160\x0153\x0178", "\x8A\x9C\x9F"},                     // Š œ Ÿ
        {L"a\x0391.txt", nullptr},                                   // Greek Alpha
        {L"\x2010", nullptr},                                        // no best fit ('-')
        {L"", ""},
    };
    for (const auto& r : rows) {
        std::string out;
        EXPECT_EQ(r.ansi != nullptr, PathToAnsiExactW(r.wide, -1, out));
        if (!r.ansi) continue;
        EXPECT_EQ(r.ansi, out);
        EXPECT_TRUE(PathToWideA(r.ansi) == r.wide);
        if (*r.ansi) EXPECT_TRUE(PathToWideA(r.ansi, 1) == std::wstring(r.wide).substr(0, 1));
    }
    std::string out = "x";
    EXPECT_TRUE(PathToAnsiExactW(nullptr, -1, out));
    EXPECT_EQ("", out);
    EXPECT_TRUE(PathToWideA(nullptr).empty());
}

namespace {

// Creates a file or folder by its UTF-16 path.
bool CreateW(const std::wstring& path, bool folder) {
    if (folder) return CreateDirectoryW(path.c_str(), nullptr) != FALSE;
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
    return true;
}

// The path as a listing spells it: the short name for each name the code page lacks a letter of.
std::string ListedSpelling(const std::wstring& path) {
    wchar_t shortPath[MAX_PATH];
    DWORD n = GetShortPathNameW(path.c_str(), shortPath, MAX_PATH);
    std::wstring s(shortPath, n < MAX_PATH ? n : 0);
    std::string out;
    size_t i = 0, j = 0;
    while (i <= path.size()) {
        size_t ei = path.find(L'\\', i), ej = s.find(L'\\', j);
        if (ei == std::wstring::npos) ei = path.size();
        if (ej == std::wstring::npos) ej = s.size();
        std::wstring part = path.substr(i, ei - i);
        char buf[MAX_PATH];
        BOOL lost = FALSE;
        int k = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, part.c_str(), int(part.size()), buf, MAX_PATH,
                                    nullptr, &lost);
        if (lost) {
            part = s.substr(j, ej - j);
            k = WideCharToMultiByte(CP_ACP, 0, part.c_str(), int(part.size()), buf, MAX_PATH, nullptr, nullptr);
        }
        out += std::string(buf, size_t(k)) + (ei < path.size() ? "\\" : "");
        i = ei + 1;
        j = ej + 1;
    }
    return out;
}

}  // namespace

// A listed path holds a short name where the code page lacks a letter; a new name made from it
// takes the file's own names.
TEST(Paths, OwnNamesReplaceTheShortNamesOfAListing) {
    TempDir dir;
    std::wstring base;
    for (char c : dir.Path()) base += wchar_t((unsigned char)c);  // the test folder is ASCII
    const std::wstring greek = L"\x0391\x03B2\x03B3.txt", folder = L"\x0394\x03AD\x03BB\x03C4\x03B1";
    ASSERT_TRUE(CreateW(base + L"\\" + greek, false));
    ASSERT_TRUE(CreateW(base + L"\\" + folder, true));
    ASSERT_TRUE(CreateW(base + L"\\" + folder + L"\\x.txt", false));
    ASSERT_TRUE(CreateW(base + L"\\" + folder + L"\\" + greek, false));
    ASSERT_TRUE(systest::WriteFileBytes(dir / "plain~1.txt", "p"));
    const std::string inFolder = ListedSpelling(base + L"\\" + folder + L"\\x.txt");
    const std::string both = ListedSpelling(base + L"\\" + folder + L"\\" + greek);
    const int root = int(dir.Path().size()) + 1;
    const struct {
        const char* label;
        std::string path;
        int from;
        int result;
        std::wstring own;
    } rows[] = {
        {"a file", ListedSpelling(base + L"\\" + greek), root, 1, greek},
        {"a folder", inFolder, root, 1, folder + L"\\x.txt"},
        {"below the folder", inFolder, int(inFolder.rfind('\\')) + 1, 0, L""},
        {"both, the whole path", both, 0, 1, base + L"\\" + folder + L"\\" + greek},
        {"a name of the code page with a '~'", dir / "plain~1.txt", root, 0, L""},
        {"gone", dir / "GONE~1.TXT", root, -1, L""},
        {"gone, no short name in it", dir / "gone.txt", root, 0, L""},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.label);
        ASSERT_EQ(std::string::npos, r.path.find('?')) << r.path;
        std::wstring own = L"untouched";
        EXPECT_EQ(r.result, PathOwnNamesW(r.path.c_str(), r.from, own)) << r.path;
        EXPECT_TRUE(own == (r.result == 1 ? r.own : std::wstring(L"untouched")));
    }
    // Nothing to resolve.
    std::wstring own;
    EXPECT_EQ(-1, PathOwnNamesW(nullptr, 0, own));
    EXPECT_EQ(-1, PathOwnNamesW("", 0, own));

    // And back: a spelling the ANSI functions reach.
    const struct {
        std::wstring path;
        bool found;
        const char* same;  // an ANSI path of the same file ("" when the spelling must be short)
    } spellings[] = {
        {base + L"\\plain~1.txt", true, "plain~1.txt"},
        {base + L"\\\x00FC" L"ber.txt", true, "\xFC" "ber.txt"},  // über, missing but spelt in full
        {base + L"\\" + greek, true, ""},
        {base + L"\\" + folder + L"\\" + greek, true, ""},
        {base + L"\\" + folder + L"\\gone\x03B1.txt", false, nullptr},
    };
    for (const auto& r : spellings) {
        std::string out = "untouched";
        EXPECT_EQ(r.found, PathAnsiSpellingW(r.path, out));
        if (!r.found) {
            EXPECT_EQ("", out);
        } else if (*r.same) {
            EXPECT_EQ(dir / r.same, out);
        } else {
            EXPECT_EQ(std::string::npos, out.find('?')) << out;
            EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(out.c_str())) << out;
        }
    }
}

TEST(Paths, SearchProgram) {
    char out[MAX_PATH];
    // The test program itself is found in the program's folder, with or without its suffix.
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string name = strrchr(self, '\\') + 1;
    std::string bare = name.substr(0, name.size() - 4);
    EXPECT_TRUE(PathSearchProgramA(out, bare.c_str(), sizeof out, "com;exe"));
    EXPECT_EQ(PathCompareA(out, self), 0);
    EXPECT_TRUE(PathSearchProgramA(out, name.c_str(), sizeof out, "exe;bat;com"));
    EXPECT_EQ(PathCompareA(out, self), 0);
    EXPECT_FALSE(PathSearchProgramA(out, name.c_str(), sizeof out, "bat"));
    EXPECT_TRUE(PathSearchProgramA(out, name.c_str(), sizeof out, ";bat"));
    // On the PATH.
    EXPECT_TRUE(PathSearchProgramA(out, "cmd", sizeof out, ";exe;com;bat"));
    EXPECT_EQ(PathCompareA(PathFindFileNameA(-1, out), "cmd.exe"), 0);
    EXPECT_FALSE(PathSearchProgramA(out, "no-such-program-xyz", sizeof out, ";exe"));
    EXPECT_STREQ(out, "");
    // A name with a folder is tried there only.
    EXPECT_TRUE(PathSearchProgramA(out, self, sizeof out, ";exe"));
    EXPECT_FALSE(PathSearchProgramA(out, "C:\\nowhere\\cmd", sizeof out, ";exe"));
    EXPECT_FALSE(PathSearchProgramA(out, bare.c_str(), 5, "exe"));  // does not fit
}
