// The value search dialog under a real window: scripted from a timer inside its modal loop.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "common/WinData.h"
#include "app/MultiString.h"
#include "app/ValueSearchDlg.h"
#include "app/ValueSyntax.h"
#include "framework/support/gui_util.h"
#include "system/RegKeys.h"

namespace {

// Runs the dialog; the script works it from inside its modal loop once it shows.
INT_PTR RunScripted(CValueSearchDlg& dlg, DWORD* flags, char** history, char** groupString, char** groupList,
                    const char* initial, std::function<void(HWND)> script)
{
    fwtest::WhenFound([&dlg] { return dlg.m_hWnd && IsWindowVisible(dlg.m_hWnd) ? dlg.m_hWnd : nullptr; },
                      [script](HWND h) {
                          script(h);
                          // A script that stopped early must not leave the dialog open.
                          if (IsWindow(h) && IsWindowVisible(h))
                              PostMessageA(h, WM_COMMAND, IDCANCEL, 0);
                      });
    return dlg.Run(flags, history, nullptr, groupString, groupList, initial);
}

HWND Item(HWND dlg, int id)
{
    return GetDlgItem(dlg, id);
}

bool Enabled(HWND dlg, int id)
{
    return IsWindowEnabled(Item(dlg, id)) != FALSE;
}

bool Checked(HWND dlg, int id)
{
    return SendMessageA(Item(dlg, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// Clicks a button the way a user can: only when it is enabled.
void Click(HWND dlg, int id)
{
    ASSERT_TRUE(Enabled(dlg, id)) << "button " << id << " is disabled";
    SendMessageA(Item(dlg, id), BM_CLICK, 0, 0);
}

// Types a text into the input.
void Type(HWND dlg, const char* text)
{
    HWND combo = Item(dlg, IDC_VS_INPUT);
    SetWindowTextA(combo, text);
    SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDC_VS_INPUT, CBN_EDITCHANGE), (LPARAM)combo);
}

std::string Text(HWND dlg, int id)
{
    char buf[2048];
    GetWindowTextA(Item(dlg, id), buf, sizeof(buf));
    return buf;
}

std::vector<std::string> Terms(HWND dlg)
{
    HWND list = Item(dlg, IDC_VS_TERMS);
    std::vector<std::string> v;
    int n = (int)SendMessageA(list, LB_GETCOUNT, 0, 0);
    for (int i = 0; i < n; ++i) {
        std::vector<char> buf(SendMessageA(list, LB_GETTEXTLEN, i, 0) + 1);
        SendMessageA(list, LB_GETTEXT, i, (LPARAM)buf.data());
        v.push_back(buf.data());
    }
    return v;
}

void SelectOnly(HWND dlg, int index)
{
    HWND list = Item(dlg, IDC_VS_TERMS);
    SendMessageA(list, LB_SETSEL, FALSE, -1);
    SendMessageA(list, LB_SETSEL, TRUE, index);
    SendMessageA(list, LB_SETCARETINDEX, index, FALSE);
    SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDC_VS_TERMS, LBN_SELCHANGE), (LPARAM)list);
}

int Height(HWND dlg)
{
    RECT rc;
    GetWindowRect(dlg, &rc);
    return rc.bottom - rc.top;
}

std::vector<std::string> Strings(const char* multi)
{
    std::vector<std::string> v;
    for (int i = 0; const char* p = MultiStrGetAt(multi, i); ++i)
        v.push_back(p);
    return v;
}

// The term line of an input: its format is the syntax test's business; here only that the
// dialog hands over the kind, width and options the user chose.
std::string Term(const char* input, int kind, int width = WIDTH_VARIABLE, unsigned options = 0)
{
    char line[VALUE_TERM_SIZE];
    BuildTerm(input, kind, width, options, -1, line, sizeof(line));
    return line;
}

const std::string kTermWord = Term("0x1234", VALUE_HEX, WIDTH_WORD, VSO_MOTOROLA);
const std::string kTermText = Term("\"abc\"", VALUE_TEXT, WIDTH_VARIABLE, VSO_NOCASE);
const std::string kTermMask = Term(":12 ?4", VALUE_MASK);

}  // namespace

TEST(ValueSearchDialog, GroupOfTermsIsSavedUnderHexSeach)
{
    std::string keyPath = std::string(CRegKeys::GetAppKeyPath()) + "\\HexSeach";
    RegDeleteTreeA(HKEY_CURRENT_USER, CRegKeys::GetAppKeyPath());

    DWORD flags = 0;
    char* history = nullptr;
    char* group = nullptr;
    char* groupList = nullptr;
    ASSERT_FALSE(CValueSearchDlg::LoadSettings(&flags, &history, &groupList));
    EXPECT_EQ(nullptr, history);

    CValueSearchDlg dlg;
    INT_PTR r = RunScripted(dlg, &flags, &history, &group, &groupList, nullptr, [](HWND d) {
        EXPECT_EQ("", Text(d, IDC_VS_INPUT));
        int plain = Height(d);
        EXPECT_FALSE(Enabled(d, IDC_VS_TERMS));
        Click(d, IDC_VS_GROUP);
        EXPECT_GT(Height(d), plain + 50);
        EXPECT_TRUE(Enabled(d, IDC_VS_TERMS));
        EXPECT_FALSE(Enabled(d, IDC_VS_ADD));   // nothing typed yet
        EXPECT_FALSE(Enabled(d, IDC_VS_DELETEALL));

        Type(d, "0x1234");
        EXPECT_TRUE(Checked(d, IDC_VS_HEX));
        EXPECT_TRUE(Enabled(d, IDC_VS_ADD));
        Click(d, IDC_VS_WORD);
        EXPECT_TRUE(Enabled(d, IDC_VS_MOTOROLA));
        EXPECT_FALSE(Enabled(d, IDC_VS_NOCASE));
        EXPECT_FALSE(Enabled(d, IDC_VS_UNICODE));
        Click(d, IDC_VS_MOTOROLA);
        Click(d, IDC_VS_ADD);

        Type(d, "\"abc\"");
        EXPECT_TRUE(Checked(d, IDC_VS_TEXT));
        EXPECT_TRUE(Checked(d, IDC_VS_VARIABLE));
        EXPECT_TRUE(Enabled(d, IDC_VS_NOCASE));
        EXPECT_TRUE(Enabled(d, IDC_VS_UNICODE));
        EXPECT_FALSE(Enabled(d, IDC_VS_MOTOROLA));
        Click(d, IDC_VS_NOCASE);
        Click(d, IDC_VS_ADD);

        Type(d, ":12 ?4");
        EXPECT_TRUE(Checked(d, IDC_VS_MASK));
        Click(d, IDC_VS_ADD);
        EXPECT_EQ(std::vector<std::string>({kTermWord, kTermText, kTermMask}), Terms(d));
        EXPECT_TRUE(Enabled(d, IDC_VS_MOVEUP));
        EXPECT_FALSE(Enabled(d, IDC_VS_DELETE));   // nothing selected

        SetWindowTextA(Item(d, IDC_VS_DISTANCE), "64");
        Click(d, IDC_VS_ORDER);
        Click(d, IDOK);
    });
    ASSERT_EQ(1, r);
    EXPECT_EQ(DWORD(VSO_GROUP | VSO_ORDER | VSO_NOCASE | VSO_MOTOROLA | VSO_WHOLE | VSO_FROMSTART), flags);
    std::vector<std::string> expected = {"64", kTermWord, kTermText, kTermMask};
    EXPECT_EQ(expected, Strings(groupList));
    EXPECT_EQ(expected, Strings(group));
    EXPECT_EQ(std::vector<std::string>({":12 ?4", "\"abc\"", "0x1234"}), Strings(history));

    // Saved under "HexSeach", a key that did not exist.
    ASSERT_TRUE(CValueSearchDlg::SaveSettings(flags, history, groupList));
    EXPECT_EQ(flags, testcommon::RegDword(keyPath, "Flags"));
    EXPECT_EQ(std::string(groupList, MultiStrSize(groupList)), testcommon::RegValue(keyPath, "Group", REG_MULTI_SZ));
    EXPECT_EQ(std::string(history, MultiStrSize(history)), testcommon::RegValue(keyPath, "Strings", REG_MULTI_SZ));

    DWORD flags2 = 0;
    char* history2 = nullptr;
    char* groupList2 = nullptr;
    ASSERT_TRUE(CValueSearchDlg::LoadSettings(&flags2, &history2, &groupList2));
    EXPECT_EQ(flags, flags2);
    EXPECT_EQ(Strings(history), Strings(history2));
    EXPECT_EQ(Strings(groupList), Strings(groupList2));

    // Opening again with the saved values shows them; Cancel changes nothing.
    char* group2 = nullptr;
    CValueSearchDlg again;
    r = RunScripted(again, &flags2, &history2, &group2, &groupList2, nullptr, [](HWND d) {
        EXPECT_EQ(":12 ?4", Text(d, IDC_VS_INPUT));
        EXPECT_EQ("64", Text(d, IDC_VS_DISTANCE));
        EXPECT_EQ(std::vector<std::string>({kTermWord, kTermText, kTermMask}), Terms(d));
        EXPECT_TRUE(Checked(d, IDC_VS_GROUP));
        EXPECT_TRUE(Checked(d, IDC_VS_ORDER));
        EXPECT_FALSE(Enabled(d, IDC_VS_ADD));   // the pre-filled input is not an edit
        Click(d, IDC_VS_DELETEALL);
        Click(d, IDCANCEL);
    });
    EXPECT_EQ(IDCANCEL, r);
    EXPECT_EQ(nullptr, group2);
    EXPECT_EQ(4, MultiStrCount(groupList2));
    for (char** p : {&history, &group, &groupList, &history2, &groupList2})
        MultiStrFree(p);
    RegDeleteTreeA(HKEY_CURRENT_USER, CRegKeys::GetAppKeyPath());
}

TEST(ValueSearchDialog, KindSwitchReprintsTheInput)
{
    DWORD flags = VSO_UNICODE;
    char* group = nullptr;
    CValueSearchDlg dlg;
    INT_PTR r = RunScripted(dlg, &flags, nullptr, &group, nullptr, "65", [](HWND d) {
        EXPECT_TRUE(Checked(d, IDC_VS_DEC));
        Click(d, IDC_VS_HEX);
        EXPECT_EQ("0x41", Text(d, IDC_VS_INPUT));
        Click(d, IDC_VS_BIN);
        EXPECT_EQ("0b1000001", Text(d, IDC_VS_INPUT));
        Click(d, IDC_VS_TEXT);
        EXPECT_EQ("\"A\"", Text(d, IDC_VS_INPUT));
        EXPECT_TRUE(Checked(d, IDC_VS_VARIABLE));
        Click(d, IDC_VS_DUMP);
        EXPECT_EQ(":41", Text(d, IDC_VS_INPUT));
        Click(d, IDC_VS_MASK);
        EXPECT_EQ(":41:FF", Text(d, IDC_VS_INPUT));
        EXPECT_TRUE(Checked(d, IDC_VS_MASK));
        Click(d, IDC_VS_DEC);
        EXPECT_EQ("65", Text(d, IDC_VS_INPUT));
        // An empty input gets the new kind's prefix.
        Type(d, "");
        Click(d, IDC_VS_TEXT);
        EXPECT_EQ("\"", Text(d, IDC_VS_INPUT));
        Click(d, IDC_VS_HEX);
        EXPECT_EQ("0x", Text(d, IDC_VS_INPUT));
        Click(d, IDC_VS_DUMP);
        EXPECT_EQ(":00 00 00 00", Text(d, IDC_VS_INPUT));   // a bare "0x" reads as 0
        // Texts in UTF-16 with ignore case.
        Type(d, "\"ab\"");
        EXPECT_TRUE(Checked(d, IDC_VS_UNICODE));
        Click(d, IDC_VS_NOCASE);
        // The two range options exclude each other; the first is off without 0x8000.
        EXPECT_FALSE(Enabled(d, IDC_VS_SELECTION));
        EXPECT_TRUE(Checked(d, IDC_VS_FROMSTART));
        Click(d, IDC_VS_UP);
        Click(d, IDC_VS_CONTINUE);
    });
    EXPECT_EQ(VSD_CONTINUE, r);
    EXPECT_EQ(DWORD(VSO_UP | VSO_WHOLE | VSO_NOCASE | VSO_FROMSTART | VSO_UNICODE), flags);
    EXPECT_EQ(std::vector<std::string>({"0", Term("\"ab\"", VALUE_TEXT, WIDTH_VARIABLE, VSO_NOCASE | VSO_UNICODE)}),
              Strings(group));
    MultiStrFree(&group);
}

TEST(ValueSearchDialog, TermsMoveDeleteAndComeBackForEditing)
{
    DWORD flags = VSO_GROUP | VSO_SELECTION_OK;
    char* history = nullptr;
    MultiStrInsert(&history, "0x10", 0);
    char* group = nullptr;
    char* groupList = nullptr;
    for (const char* s : {"0", "D:1\t:01\t\t\t\t\t(1)", "D:2\t:02 00\t\t\t\t\t(2)", "H:2 /B\t:00 03\t\t\t\t\t(0x3)"})
        MultiStrInsert(&groupList, s, -1);
    CValueSearchDlg dlg;
    INT_PTR r = RunScripted(dlg, &flags, &history, &group, &groupList, nullptr, [](HWND d) {
        EXPECT_EQ("1000", Text(d, IDC_VS_DISTANCE));   // a distance below 1 becomes 1000
        EXPECT_EQ("0x10", Text(d, IDC_VS_INPUT));
        EXPECT_TRUE(Enabled(d, IDC_VS_SELECTION));
        auto t = Terms(d);
        ASSERT_EQ(3u, t.size());
        // The first moves up to the end, the last down to the front.
        SelectOnly(d, 0);
        Click(d, IDC_VS_MOVEUP);
        EXPECT_EQ(std::vector<std::string>({t[1], t[2], t[0]}), Terms(d));
        EXPECT_EQ(2, (int)SendMessageA(Item(d, IDC_VS_TERMS), LB_GETCARETINDEX, 0, 0));
        Click(d, IDC_VS_MOVEDOWN);
        EXPECT_EQ(t, Terms(d));
        Click(d, IDC_VS_MOVEDOWN);
        EXPECT_EQ(std::vector<std::string>({t[1], t[0], t[2]}), Terms(d));
        // Editing a term puts its value, kind, width and byte order back.
        SelectOnly(d, 2);
        SendMessageA(d, WM_COMMAND, MAKEWPARAM(IDC_VS_TERMS, LBN_DBLCLK), (LPARAM)Item(d, IDC_VS_TERMS));
        EXPECT_EQ("0x3", Text(d, IDC_VS_INPUT));
        EXPECT_TRUE(Checked(d, IDC_VS_HEX));
        EXPECT_TRUE(Checked(d, IDC_VS_WORD));
        EXPECT_TRUE(Checked(d, IDC_VS_MOTOROLA));
        Click(d, IDC_VS_ADD);
        EXPECT_EQ(4u, Terms(d).size());
        EXPECT_EQ(t[2], Terms(d)[3]);
        SelectOnly(d, 0);
        SendMessageA(Item(d, IDC_VS_TERMS), LB_SETSEL, TRUE, 3);
        Click(d, IDC_VS_DELETE);
        EXPECT_EQ(std::vector<std::string>({t[0], t[2]}), Terms(d));
        Click(d, IDOK);
    });
    EXPECT_EQ(1, r);
    EXPECT_EQ(std::vector<std::string>({"1000", "D:1\t:01\t\t\t\t\t(1)", "H:2 /B\t:00 03\t\t\t\t\t(0x3)"}),
              Strings(group));
    EXPECT_EQ(std::vector<std::string>({"0x3", "0x10"}), Strings(history));
    for (char** p : {&history, &group, &groupList})
        MultiStrFree(p);
}

TEST(ValueSearchDialog, PlainSearchAndRememberedPlace)
{
    DWORD flags = 0;
    char* group = nullptr;
    CValueSearchDlg first;
    INT_PTR r = RunScripted(first, &flags, nullptr, &group, nullptr, "\"abc\"", [](HWND d) {
        EXPECT_TRUE(Checked(d, IDC_VS_TEXT));
        SetWindowPos(d, nullptr, 120, 90, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        Click(d, IDOK);
    });
    EXPECT_EQ(1, r);
    EXPECT_EQ(std::vector<std::string>({"0", Term("\"abc\"", VALUE_TEXT)}), Strings(group));
    MultiStrFree(&group);

    // An empty input gives the group "0" without a term; the dialog reopens where it closed.
    CValueSearchDlg second;
    r = RunScripted(second, &flags, nullptr, &group, nullptr, "", [](HWND d) {
        RECT rc;
        GetWindowRect(d, &rc);
        EXPECT_EQ(120, rc.left);
        EXPECT_EQ(90, rc.top);
        Click(d, IDC_VS_DWORD);
        Click(d, IDOK);
    });
    EXPECT_EQ(1, r);
    EXPECT_EQ(std::vector<std::string>({"0"}), Strings(group));
    MultiStrFree(&group);
}

namespace {

HWND InputEdit(HWND dlg)
{
    return FindWindowExA(Item(dlg, IDC_VS_INPUT), nullptr, "Edit", nullptr);
}

// The caret (selection start and end) of the input.
std::pair<int, int> Caret(HWND dlg)
{
    DWORD start = 0, end = 0;
    SendMessageA(InputEdit(dlg), EM_GETSEL, (WPARAM)&start, (LPARAM)&end);
    return {(int)start, (int)end};
}

// Types keys into the input's edit field one at a time, as the keyboard would.
void Keys(HWND dlg, const char* keys)
{
    for (const char* p = keys; *p; ++p)
        SendMessageA(InputEdit(dlg), WM_CHAR, (unsigned char)*p, 1);
}

}  // namespace

TEST(ValueSearchDialog, TypingKeepsTheOrderAndTheCaret)
{
    DWORD flags = VSO_GROUP;
    char* history = nullptr;
    char* group = nullptr;
    char* groupList = nullptr;
    CValueSearchDlg dlg;
    INT_PTR r = RunScripted(dlg, &flags, &history, &group, &groupList, "", [](HWND d) {
        ASSERT_NE(nullptr, InputEdit(d));
        SetFocus(InputEdit(d));
        std::string typed;
        for (char c : std::string("0x1a2B")) {
            char key[2] = {c, 0};
            Keys(d, key);
            typed += c;
            EXPECT_EQ(typed, Text(d, IDC_VS_INPUT));
            EXPECT_EQ(std::make_pair((int)typed.size(), (int)typed.size()), Caret(d)) << typed;
        }
        // The radios follow the text while it is typed.
        EXPECT_TRUE(Checked(d, IDC_VS_HEX));
        EXPECT_TRUE(Enabled(d, IDC_VS_ADD));
        // In the middle, with Backspace: the caret stays where the keys left it.
        SendMessageA(InputEdit(d), EM_SETSEL, 3, 3);
        Keys(d, "\bF");
        EXPECT_EQ("0xFa2B", Text(d, IDC_VS_INPUT));
        EXPECT_EQ(std::make_pair(3, 3), Caret(d));
        // A selection is replaced by what is typed.
        SendMessageA(InputEdit(d), EM_SETSEL, 0, -1);
        Keys(d, "\"Zz\"");
        EXPECT_EQ("\"Zz\"", Text(d, IDC_VS_INPUT));
        EXPECT_EQ(std::make_pair(4, 4), Caret(d));
        EXPECT_TRUE(Checked(d, IDC_VS_TEXT));
        EXPECT_TRUE(Checked(d, IDC_VS_VARIABLE));
        Click(d, IDC_VS_ADD);
        EXPECT_EQ(std::vector<std::string>({Term("\"Zz\"", VALUE_TEXT)}), Terms(d));
        // A kind switch still rewrites the text; typing goes on at its end.
        SendMessageA(InputEdit(d), EM_SETSEL, 4, 4);
        Keys(d, "\b\b\b\b");
        EXPECT_EQ("", Text(d, IDC_VS_INPUT));
        Keys(d, "65");
        Click(d, IDC_VS_HEX);
        EXPECT_EQ("0x41", Text(d, IDC_VS_INPUT));
        SendMessageA(InputEdit(d), EM_SETSEL, 4, 4);
        Keys(d, "0");
        EXPECT_EQ("0x410", Text(d, IDC_VS_INPUT));
        EXPECT_EQ(std::make_pair(5, 5), Caret(d));
        Click(d, IDOK);
    });
    EXPECT_EQ(1, r);
    EXPECT_EQ(std::vector<std::string>({"0x410", "\"Zz\""}), Strings(history));
    for (char** p : {&history, &group, &groupList})
        MultiStrFree(p);
}
