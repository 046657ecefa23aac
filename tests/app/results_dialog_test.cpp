// The text search dialog, run modally from its template while a helper thread works its
// controls: the text shown, the enabling rules, the history and options in the registry, the
// pattern menu's insertion and the bounds of the lines value.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <thread>

#include "common/WinData.h"
#include "app/SearchCommands.h"
#include "app/TextSearchDlg.h"
#include "system/RegKeys.h"

namespace {

const char kApp[] = "VellmorantDialogTest";
const char kKeyPath[] = "Software\\QV\\VellmorantDialogTest\\TextSeach";

struct FindState {
    DWORD thread;
    HWND found;
};

BOOL CALLBACK FindDialogProc(HWND h, LPARAM l)
{
    char caption[64] = "";
    GetWindowTextA(h, caption, sizeof caption);
    if (IsWindowVisible(h) && strcmp(caption, "Text suchen") == 0) {
        reinterpret_cast<FindState*>(l)->found = h;
        return FALSE;
    }
    return TRUE;
}

HWND FindDialog(DWORD thread)
{
    FindState st = {thread, nullptr};
    EnumThreadWindows(thread, FindDialogProc, (LPARAM)&st);
    return st.found;
}

std::string Text(HWND h)
{
    char buf[2048] = "";
    SendMessageA(h, WM_GETTEXT, sizeof buf, (LPARAM)buf);
    return buf;
}

// Runs the dialog on this thread; driver works it from another thread and must close it.
INT_PTR RunDialog(CTextSearchDlg& dlg, const char* initial, const std::function<void(HWND)>& driver)
{
    DWORD self = GetCurrentThreadId();
    std::thread t([&] {
        HWND h = nullptr;
        for (int i = 0; i < 500 && !h; ++i) {
            Sleep(10);
            h = FindDialog(self);
        }
        if (h)
            driver(h);
    });
    INT_PTR r = dlg.DoModalWithText(initial);
    t.join();
    return r;
}

void Click(HWND dlg, int id) { SendMessageA(GetDlgItem(dlg, id), BM_CLICK, 0, 0); }
bool Checked(HWND dlg, int id) { return SendMessageA(GetDlgItem(dlg, id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
bool Enabled(HWND dlg, int id) { return IsWindowEnabled(GetDlgItem(dlg, id)) != FALSE; }

std::string RegMulti(const char* name) { return testcommon::RegValue(kKeyPath, name, REG_MULTI_SZ); }
DWORD RegDword(const char* name) { return testcommon::RegDword(kKeyPath, name); }

class TextSearchDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        CRegKeys::SetAppName(kApp);
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\QV\\VellmorantDialogTest");
        CTextSearchDlg::ForgetSettings();
    }
    void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\QV\\VellmorantDialogTest"); }
};

}  // namespace

TEST(TextSearchPattern, InsertionAtTheCaret)
{
    CString out;
    EXPECT_EQ(5, InsertPatternElement("abc", 3, 3, 17, out));       // between the brackets
    EXPECT_STREQ("abc\\[]", out);
    EXPECT_EQ(3, InsertPatternElement("abc", 3, 1, 3, out));
    EXPECT_STREQ("a\\wbc", out);
    EXPECT_EQ(1, InsertPatternElement("", 0, 0, 2, out));
    EXPECT_STREQ("*", out);
    EXPECT_EQ(3, InsertPatternElement("ab", 2, 99, 1, out));        // the caret is bounded
    EXPECT_STREQ("ab?", out);
    EXPECT_EQ(1, InsertPatternElement("ab", 2, -4, 1, out));
    EXPECT_STREQ("?ab", out);
    EXPECT_EQ(2, InsertPatternElement("", 0, 0, 24, out));
    EXPECT_STREQ("\\$$", out);
    // A long text is kept whole.
    std::string longText(300, 'x');
    EXPECT_EQ(302, InsertPatternElement(longText.c_str(), 300, 300, 22, out));
    EXPECT_EQ(303, out.GetLength());
    out = "same";
    EXPECT_EQ(-1, InsertPatternElement("ab", 2, 0, 25, out));
    EXPECT_EQ(-1, InsertPatternElement("ab", 2, 0, 0, out));
    EXPECT_STREQ("same", out);
}

TEST_F(TextSearchDialog, FirstSearchCreatesTheKey)
{
    CTextSearchDlg dlg;
    INT_PTR r = RunDialog(dlg, nullptr, [](HWND h) {
        EXPECT_EQ("", Text(GetDlgItem(h, IDC_TS_TEXT)));
        EXPECT_EQ("0", Text(GetDlgItem(h, IDC_TS_LINES)));
        EXPECT_FALSE(Enabled(h, IDC_TS_INRESULTS));      // no results
        EXPECT_FALSE(Enabled(h, IDC_TS_MULTILINE));      // no pattern
        EXPECT_FALSE(Enabled(h, IDC_TS_LINES));
        SendMessageA(GetDlgItem(h, IDC_TS_TEXT), WM_SETTEXT, 0, (LPARAM) "foo");
        Click(h, IDC_TS_IGNORECASE);
        Click(h, IDC_TS_PATTERN);
        EXPECT_TRUE(Enabled(h, IDC_TS_MULTILINE));
        EXPECT_FALSE(Enabled(h, IDC_TS_LINES));
        Click(h, IDC_TS_MULTILINE);
        EXPECT_TRUE(Enabled(h, IDC_TS_LINES));
        SendMessageA(GetDlgItem(h, IDC_TS_LINES), WM_SETTEXT, 0, (LPARAM) "300");
        PostMessageA(h, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(IDOK, r);
    EXPECT_STREQ("foo", dlg.GetText());
    EXPECT_EQ(DWORD(TSO_IGNORECASE | TSO_PATTERN | TSO_MULTILINE), CTextSearchDlg::GetFlags());
    EXPECT_EQ(255, CTextSearchDlg::GetLines());       // bounded, not cut to its low byte
    EXPECT_EQ(DWORD(0x310), RegDword("Flags"));
    EXPECT_EQ(255u, RegDword("Lines"));
    EXPECT_EQ(std::string("foo\0\0", 5), RegMulti("Strings"));
    char buf[3];
    EXPECT_EQ(2, dlg.CopyText(buf, sizeof buf));
    EXPECT_STREQ("fo", buf);
}

TEST_F(TextSearchDialog, SettingsComeFromTheRegistryAndCancelKeepsThem)
{
    HKEY h;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, kKeyPath, 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr));
    DWORD flags = TSO_WHOLEWORDS | TSO_INRESULTS, lines = 3;
    RegSetValueExA(h, "Flags", 0, REG_DWORD, (BYTE*)&flags, 4);
    RegSetValueExA(h, "Lines", 0, REG_DWORD, (BYTE*)&lines, 4);
    RegSetValueExA(h, "Strings", 0, REG_MULTI_SZ, (const BYTE*)"newest\0older\0\0", 14);
    RegCloseKey(h);

    CTextSearchDlg dlg;
    dlg.m_bResultsExist = TRUE;
    INT_PTR r = RunDialog(dlg, nullptr, [](HWND h) {
        EXPECT_EQ("newest", Text(GetDlgItem(h, IDC_TS_TEXT)));
        EXPECT_EQ(2, SendMessageA(GetDlgItem(h, IDC_TS_TEXT), CB_GETCOUNT, 0, 0));
        EXPECT_EQ("3", Text(GetDlgItem(h, IDC_TS_LINES)));
        EXPECT_TRUE(Checked(h, IDC_TS_WHOLEWORDS));
        EXPECT_TRUE(Checked(h, IDC_TS_INRESULTS));
        EXPECT_TRUE(Enabled(h, IDC_TS_INRESULTS));
        Click(h, IDC_TS_IGNORECASE);
        PostMessageA(h, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(IDCANCEL, r);
    EXPECT_EQ(DWORD(TSO_WHOLEWORDS | TSO_INRESULTS), RegDword("Flags"));
    EXPECT_EQ(DWORD(TSO_WHOLEWORDS | TSO_INRESULTS), CTextSearchDlg::GetFlags());

    // Without results the option is off and stays off on OK; a given text is shown.
    CTextSearchDlg dlg2;
    r = RunDialog(dlg2, "given", [](HWND h) {
        EXPECT_EQ("given", Text(GetDlgItem(h, IDC_TS_TEXT)));
        EXPECT_FALSE(Checked(h, IDC_TS_INRESULTS));
        EXPECT_FALSE(Enabled(h, IDC_TS_INRESULTS));
        // Even a check put into the disabled box does not count.
        SendMessageA(GetDlgItem(h, IDC_TS_INRESULTS), BM_SETCHECK, BST_CHECKED, 0);
        PostMessageA(h, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(IDOK, r);
    EXPECT_EQ(DWORD(TSO_WHOLEWORDS), RegDword("Flags"));
    EXPECT_EQ(std::string("given\0newest\0older\0\0", 20), RegMulti("Strings"));
}

TEST_F(TextSearchDialog, HistoryKeepsSixteenWithoutDuplicates)
{
    for (int i = 0; i < 17; ++i) {
        std::string text = "t" + std::to_string(i);
        CTextSearchDlg dlg;
        ASSERT_EQ(IDOK, RunDialog(dlg, text.c_str(), [](HWND h) { PostMessageA(h, WM_COMMAND, IDOK, 0); }));
    }
    ASSERT_EQ(16, CTextSearchDlg::GetHistoryCount());
    EXPECT_STREQ("t16", CTextSearchDlg::GetHistoryAt(0));
    EXPECT_STREQ("t1", CTextSearchDlg::GetHistoryAt(15));       // t0 dropped
    CTextSearchDlg dlg;
    ASSERT_EQ(IDOK, RunDialog(dlg, "T5", [](HWND h) { PostMessageA(h, WM_COMMAND, IDOK, 0); }));
    EXPECT_EQ(16, CTextSearchDlg::GetHistoryCount());
    EXPECT_STREQ("T5", CTextSearchDlg::GetHistoryAt(0));        // moved up, in its new spelling
    EXPECT_STREQ("t16", CTextSearchDlg::GetHistoryAt(1));
    EXPECT_STREQ("t6", CTextSearchDlg::GetHistoryAt(11));
    EXPECT_STREQ("t4", CTextSearchDlg::GetHistoryAt(12));
}

TEST_F(TextSearchDialog, EmptyTextIsRefusedAndPatternMenuInserts)
{
    CTextSearchDlg dlg;
    INT_PTR r = RunDialog(dlg, "abc", [](HWND h) {
        HWND combo = GetDlgItem(h, IDC_TS_TEXT);
        SendMessageA(combo, WM_SETTEXT, 0, (LPARAM) "");
        SendMessageA(h, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(IsWindow(h) && IsWindowVisible(h));          // still open
        SendMessageA(combo, WM_SETTEXT, 0, (LPARAM) "abc");
        SendMessageA(combo, CB_SETEDITSEL, 0, MAKELPARAM(3, 3));
        SendMessageA(h, WM_COMMAND, ID_TS_PATTERN_BASE + 17, 0);
        EXPECT_EQ("abc\\[]", Text(combo));
        DWORD start = 0, end = 0;
        SendMessageA(combo, CB_GETEDITSEL, (WPARAM)&start, (LPARAM)&end);
        EXPECT_EQ(5u, start);
        EXPECT_EQ(5u, end);
        EXPECT_TRUE(Checked(h, IDC_TS_PATTERN));
        EXPECT_TRUE(Enabled(h, IDC_TS_MULTILINE));
        SendMessageA(combo, CB_SETEDITSEL, 0, MAKELPARAM(0, 0));
        SendMessageA(h, WM_COMMAND, ID_TS_PATTERN_BASE + 9, 0);
        EXPECT_EQ("\\aabc\\[]", Text(combo));
        SendMessageA(GetDlgItem(h, IDC_TS_LINES), WM_SETTEXT, 0, (LPARAM) "0x10");
        PostMessageA(h, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(IDOK, r);
    EXPECT_STREQ("\\aabc\\[]", dlg.GetText());
    EXPECT_EQ(16, CTextSearchDlg::GetLines());
    EXPECT_EQ(DWORD(TSO_PATTERN), CTextSearchDlg::GetFlags());
}
