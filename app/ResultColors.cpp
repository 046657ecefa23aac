// Colouring of result lines: the path prefix, C-like and XML-like text, hex dumps.
#include "app/ResultColors.h"

#include <cstring>

#include "system/Paths.h"
#include "text/CharClass.h"
#include "text/Convert.h"
#include "text/Match.h"

const char kCLikeSuffixes[] = "c;cpp;cc;cxx;h;hpp;rc;rc2";
const char kXmlLikeSuffixes[] =
    "xml;htm;html;rdf;xul;col;co_;svg;xlu;dtd;gpf;dcf;gpx;kml;resx;user;csproj;vcproj;vcxproj;filters;hhk;hhc";

// C and C++ keywords, calling conventions, Windows, class-library and Qt type names, and the
// program's own classes.
const char* const TextSearchKeywords[] = {
    "ATOM", "BOOL", "BOOLEAN", "BYTE", "CArchiveFile", "CArray", "CBitmap", "CBrowseCtrl", "CBrush",
    "CButton", "CClientDC", "CCmdUI", "CCodec", "CCodecStream", "CColorListBox", "CComboBox",
    "CComboDlg", "CCriticalSection", "CDC", "CDialog", "CDirList", "CDocument", "CEdit", "CEvent",
    "CFastListCtrl", "CFileDialog", "CFileListCtrl", "CFolderTreeCtrl", "CFont", "CFrameWnd",
    "CHAR", "CHeaderCtrl", "CHexSearch", "CListCtrl", "CListDialog", "CListbox", "CMainFrame",
    "CMapFile", "CMenu", "CMutex", "CONST", "CObject", "COleVariant", "CPaintDC", "CPathComboBox",
    "CPathDlg", "CPen", "CPoint", "CPrintInfo", "CProgressCtrl", "CProgressDlg", "CRITICAL_SECTION",
    "CRect", "CRegKeys", "CRgn", "CScrollBar", "CSemaphore", "CSize", "CStartProg", "CStrList",
    "CStream", "CString", "CTabCtrl", "CTextDlg", "CTextSearch", "CTextSearchDlg", "CTime",
    "CToolBar", "CToolBarNew", "CTreeCtrl", "CTreeListCtrl", "CValueDlg", "CValueSearchDlg",
    "CView", "CWinApp", "CWnd", "CZipDlg", "CZipFile", "DC", "DLGPROC", "DWORD", "FARPROC", "FILE",
    "FLOAT", "GUID", "HACCEL", "HANDLE", "HBITMAP", "HBRUSH", "HCURSOR", "HDC", "HFILE", "HFONT",
    "HICON", "HKEY", "HPEN", "HRESULT", "HRGN", "HRSRC", "HTREEITEM", "HWND", "INT", "LONG",
    "LONGLONG", "LPARAM", "LPBOOL", "LPBYTE", "LPCOLORREF", "LPCSTR", "LPCTSTR", "LPCWSTR",
    "LPRECT", "LPSIZE", "LPSTR", "LPTSTR", "LPVOID", "LPWORD", "LPWSTR", "LRESULT", "NMHDR",
    "PBOOL", "PBOOLEAN", "PBYTE", "PCHAR", "PCTSTR", "PCWSTR", "PHKEY", "PVOID", "QDictIterator",
    "QSqlQuery", "QString", "QStringList", "RECT", "SHORT", "SIZE", "TCHAR", "TIMERPROC", "UINT",
    "ULONG", "ULONGLONG", "USHORT", "VOID", "WCHAR", "WNDPROC", "WORD", "WPARAM", "__cdecl",
    "__fastcall", "__int16", "__int32", "__int64", "__int8", "__stdcall", "_cdecl", "_fastcall",
    "_stdcall", "auto", "bad_cast", "bad_typeid", "bool", "break", "case", "catch", "char", "class",
    "const", "const_cast", "continue", "default", "delete", "do", "double", "dynamic_cast", "else",
    "enum", "except", "explicit", "extern", "false", "finally", "float", "for", "friend", "goto",
    "if", "inline", "int", "long", "mutable", "namespace", "new", "operator", "private",
    "protected", "public", "register", "reinterpret_cast", "return", "short", "signed", "size_t",
    "sizeof", "static", "static_cast", "struct", "switch", "template", "this", "throw", "time_t",
    "tm", "true", "try", "type_info", "typedef", "typeid", "typename", "union", "unsigned", "using",
    "va_list", "virtual", "void", "volatile", "wchar_t", "while",
};
const int TextSearchKeywordCount = int(sizeof TextSearchKeywords / sizeof TextSearchKeywords[0]);

namespace {

const unsigned kHexDigit = CC_DIGIT | CC_HEXLETTER;
const unsigned kWordStart = CC_LETTER | CC_UNDERSCORE;
const unsigned kSmallLetter = CC_LOWER | CC_LATIN_LOWER;

inline bool Is(const char* s, int i, unsigned mask) { return CharIsClass((unsigned char)s[i], mask); }

inline void Fill(unsigned char* colors, int from, int count, unsigned char color)
{
    memset(colors + from, color, size_t(count));
}

// Length of the run of word characters at text[0..length-1].
inline int WordLength(const char* text, int length) { return SpanClassN(text, CC_WORD, length); }

int CompareKeyword(const char* key, const char* word, int length)
{
    for (int i = 0; i < length; ++i) {
        unsigned char k = (unsigned char)key[i];
        unsigned char w = (unsigned char)word[i];
        if (k != w)
            return k < w ? -1 : 1;   // also when the key ends first (k == 0)
    }
    return key[length] ? 1 : 0;
}

// Colour of a C word whose characters' classes together are classes: keyword, other identifier
// (with a small letter), word without small letters.
unsigned char CWordColor(const char* word, int length, unsigned classes)
{
    if (IsTextSearchKeyword(word, length))
        return RC_KEYWORD;
    return (classes & kSmallLetter) ? RC_IDENT : RC_CONSTANT;
}

}  // namespace

namespace {

// Where the keywords of each first byte stand in the sorted table and which lengths they have:
// most words of a text are no keyword and need no search.
struct KeywordIndex {
    int from[257];          // the keywords starting with byte c: from[c] .. from[c + 1] - 1
    unsigned lengths[256];  // bit n: one of them is n bytes long (n < 32)

    KeywordIndex() : from(), lengths()
    {
        for (int i = TextSearchKeywordCount - 1; i >= 0; --i) {
            unsigned char c = (unsigned char)TextSearchKeywords[i][0];
            from[c] = i;
            size_t n = strlen(TextSearchKeywords[i]);
            lengths[c] |= n < 32 ? 1u << n : 0u;
        }
        // A byte that starts no keyword gets an empty range at the next one's start.
        from[256] = TextSearchKeywordCount;
        for (int c = 255; c >= 0; --c)
            if (!lengths[c])
                from[c] = from[c + 1];
    }
};

}  // namespace

bool IsTextSearchKeyword(const char* word, int length)
{
    static const KeywordIndex index;
    if (!word || length < 1 || length >= 32)
        return false;
    unsigned char first = (unsigned char)word[0];
    if (!(index.lengths[first] >> length & 1))
        return false;
    int lo = index.from[first], hi = index.from[first + 1] - 1;
    while (lo <= hi) {
        int mid = (lo + hi) / 2;
        int c = CompareKeyword(TextSearchKeywords[mid], word, length);
        if (c == 0)
            return true;
        if (c < 0)
            lo = mid + 1;
        else
            hi = mid - 1;
    }
    return false;
}

int GetResultSyntax(const char* path)
{
    if (!path)
        return SYNTAX_NONE;
    if (PathMatchExtensionListA(path, kCLikeSuffixes))
        return SYNTAX_C;
    if (PathMatchExtensionListA(path, kXmlLikeSuffixes))
        return SYNTAX_XML;
    return SYNTAX_NONE;
}

int ColorResultPrefix(const char* line, int length, unsigned char* colors)
{
    if (length < 1)
        return 0;
    int colon = -1;
    for (int i = 2; i < length; ++i)
        if (line[i] == ':') {
            colon = i;
            break;
        }
    int close = -1, open = -1;
    if (colon >= 0) {
        for (int i = colon - 1; i >= 0 && close < 0; --i)
            if (line[i] == ')')
                close = i;
        for (int i = close - 1; i >= 0 && open < 0; --i)
            if (line[i] == '(')
                open = i;
    }
    // Without a complete "(n):" the whole line is a path (a result line cut to its path).
    int pathEnd = (colon >= 0 && open >= 0) ? open : (colon >= 0 ? colon : length);
    for (int i = 0; i < pathEnd; ++i)
        colors[i] = line[i] == '\\' ? RC_DEFAULT : RC_PATH;
    if (pathEnd == length)
        return length;
    Fill(colors, pathEnd, length - pathEnd, RC_DEFAULT);
    if (open >= 0) {
        Fill(colors, open + 1, close - open - 1, RC_NUMBER_POS);
        colors[open] = RC_PAREN;
        colors[close] = RC_PAREN;
    }
    return colon + 1;
}

void ColorCLike(const char* s, int n, unsigned char* colors)
{
    if (n < 1)
        return;
    Fill(colors, 0, n, RC_DEFAULT);
    bool preprocessor = false;   // a preprocessor word was just read
    int i = 0;
    while (i < n) {
        unsigned char c = (unsigned char)s[i];
        if (c == ' ') {   // the commonest character changes nothing
            ++i;
            continue;
        }
        if (c == '"') {
            int k = StrScanTokenA(s + i, '\\', '"', n - i);
            Fill(colors, i, k, RC_STRING);
            i += k;
            preprocessor = false;
            continue;
        }
        if (c == '\'') {
            int k = StrFindCharEscN(s + i + 1, '\'', n - i - 1, '\\');
            k = k < 0 ? n - i : k + 1;
            Fill(colors, i, k, RC_STRING);
            i += k;
            preprocessor = false;
            continue;
        }
        if (c == '/' && i + 1 < n && s[i + 1] == '/') {
            Fill(colors, i, n - i, RC_COMMENT);
            break;
        }
        if (c == '/' && i + 1 < n && s[i + 1] == '*') {
            int e = StrFindN(s + i + 2, "*/", n - i - 2, 2);
            int k = e < 0 ? n - i : e + 4;
            Fill(colors, i, k, RC_COMMENT);
            i += k;
            continue;
        }
        if (c == '#') {
            int j = i + 1 + SpanClassN(s + i + 1, CC_SPACE, n - i - 1);
            if (j < n && Is(s, j, kWordStart)) {
                int end = j + WordLength(s + j, n - j);
                Fill(colors, i, end - i, RC_KEYWORD);
                i = end;
                preprocessor = true;
                continue;
            }
        }
        if (preprocessor) {
            if (c == '<') {
                // An include name: backslashes are path separators here, not escapes.
                int k = StrScanTokenA(s + i, 0, '<', n - i);
                Fill(colors, i, k, RC_STRING);
                i += k;
                preprocessor = false;
                continue;
            }
            if (Is(s, i, kWordStart)) {
                int k = WordLength(s + i, n - i);
                Fill(colors, i, k, RC_CONSTANT);
                i += k;
                preprocessor = false;
                continue;
            }
            if (Is(s, i, CC_SPACE)) {
                ++i;
                continue;
            }
        }
        if (c == '(' && !preprocessor) {
            // A call: the identifier (and the blanks) right before the parenthesis.
            int j = i - SpanClassBack(s + i, CC_SPACE, i);
            if (j > 0 && colors[j - 1] == RC_IDENT && Is(s, j - 1, CC_WORD)) {
                int k = j - 1;
                while (k > 0 && colors[k - 1] == RC_IDENT && Is(s, k - 1, CC_WORD))
                    --k;
                Fill(colors, k, i - k, RC_CALL);
            }
            ++i;
            continue;
        }
        if (Is(s, i, kWordStart)) {
            preprocessor = false;
            if (i > 0 && Is(s, i - 1, CC_WORD)) {
                // Behind a number ("10UL"): a letter on its own.
                colors[i++] = RC_IDENT;
                continue;
            }
            // The word's length and its characters' classes in one pass.
            unsigned classes = CharClassTable[c];
            int k = 1;
            while (i + k < n && Is(s, i + k, CC_WORD))
                classes |= CharClassTable[(unsigned char)s[i + k++]];
            Fill(colors, i, k, CWordColor(s + i, k, classes));
            i += k;
            continue;
        }
        if (Is(s, i, CC_DIGIT)) {
            int k;
            if (c == '0' && i + 1 < n && (s[i + 1] == 'x' || s[i + 1] == 'X'))
                k = 2 + SpanClassN(s + i + 2, kHexDigit, n - i - 2);
            else
                k = SpanClassN(s + i, CC_DIGIT, n - i);
            Fill(colors, i, k, RC_CONSTANT);
            i += k;
            preprocessor = false;
            continue;
        }
        if (!Is(s, i, CC_SPACE))
            preprocessor = false;
        ++i;
    }
}

void ColorXmlLike(const char* s, int n, unsigned char* colors)
{
    if (n < 1)
        return;
    Fill(colors, 0, n, RC_DEFAULT);
    bool inTag = false;
    int i = 0;
    while (i < n) {
        unsigned char c = (unsigned char)s[i];
        if (c == '"' || c == '\'') {
            int k = StrScanTokenA(s + i, '\\', c, n - i);
            Fill(colors, i, k, RC_STRING);
            i += k;
            continue;
        }
        if (c == '<') {
            colors[i++] = RC_ANGLE;
            if (i < n && s[i] == '/')
                ++i;
            if (i < n && Is(s, i, kWordStart)) {
                int k = WordLength(s + i, n - i);
                Fill(colors, i, k, RC_TAG);
                i += k;
            }
            inTag = true;
            continue;
        }
        if (c == '>' && inTag) {
            colors[i++] = RC_ANGLE;
            inTag = false;
            continue;
        }
        if (Is(s, i, CC_DIGIT)) {
            int k = SpanClassN(s + i, CC_DIGIT | CC_UPPER | CC_LOWER, n - i);
            Fill(colors, i, k, RC_CALL);
            i += k;
            continue;
        }
        if (Is(s, i, CC_WORD)) {
            // A word: an attribute-like word inside a tag, plain text outside.
            int k = WordLength(s + i, n - i);
            if (inTag && Is(s, i, CC_LETTER))
                Fill(colors, i, k, (i + k < n && s[i + k] == '=') ? RC_ATTRIBUTE : RC_KEYWORD);
            i += k;
            continue;
        }
        ++i;
    }
}

void ColorTextResultLine(const char* line, int length, int syntax, unsigned char* colors)
{
    int start = ColorResultPrefix(line, length, colors);
    if (start >= length)
        return;
    if (syntax == SYNTAX_C)
        ColorCLike(line + start, length - start, colors + start);
    else if (syntax == SYNTAX_XML)
        ColorXmlLike(line + start, length - start, colors + start);
}

void ColorDirCompareLine(const char* line, int length, unsigned char* colors)
{
    if (length < 1)
        return;
    int colon = -1;
    for (int i = 2; i < length && colon < 0; ++i)
        if (line[i] == ':')
            colon = i;
    int pathEnd = colon < 0 ? length : colon;
    int blanks = colon < 0 ? 0 : SpanClassBack(line + pathEnd, CC_WHITE, pathEnd);
    for (int i = 0; i < pathEnd - blanks; ++i)
        colors[i] = line[i] == '\\' ? RC_DEFAULT : RC_PATH;
    if (colon < 0)
        return;
    Fill(colors, pathEnd - blanks, blanks + 1, RC_NUMBER_POS);
    Fill(colors, colon + 1, length - colon - 1, RC_DEFAULT);
}

void ColorHexResultLine(const char* line, int length, unsigned char* colors)
{
    int start = ColorResultPrefix(line, length, colors);
    if (start >= length || start < 1)
        return;
    // The characters part at the end holds no blank (bytes up to 0x20 show as '.'): the dump
    // ends at the last non-blank before the last blank.
    int end = length;
    while (end > start && line[end - 1] != ' ')
        --end;
    while (end > start && line[end - 1] == ' ')
        --end;
    // start - 1 is the ':'; the ')' stands right before it.
    Fill(colors, start - 1, end - (start - 1), RC_HEXDUMP);
}
