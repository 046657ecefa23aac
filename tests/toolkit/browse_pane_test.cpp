// The explorer pane under a real window: selecting folders (drive roots, spelling, files,
// missing paths), the notifications to the parent, the list read by its worker, hit tests,
// item texts, focus and refresh.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/TempTree.h"
#include "framework/support/gui_util.h"
#include "system/Paths.h"
#include "toolkit/BrowseCtrl.h"

namespace {

const UINT kPaneId = 21395;

struct Note {
    UINT code;
    std::string path;
    std::string text1, text2;
    int part = -1;
};

class CParentWnd : public CWnd {
public:
    std::vector<Note> notes;
    int Count(UINT code) const {
        int n = 0;
        for (const Note& x : notes) n += x.code == code;
        return n;
    }
    const Note* Last(UINT code) const {
        for (auto it = notes.rbegin(); it != notes.rend(); ++it)
            if (it->code == code) return &*it;
        return nullptr;
    }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_NOTIFY) {
            const NMHDR* nm = reinterpret_cast<const NMHDR*>(lParam);
            if (nm->idFrom == kPaneId) {
                Note n;
                n.code = nm->code;
                if (nm->code == BCN_PATHCHANGED || nm->code == BCN_CONTEXTMENU)
                    n.path = reinterpret_cast<const NMBROWSEPATH*>(lParam)->pszPath;
                if (nm->code == BCN_SUMMARY) {
                    n.text1 = reinterpret_cast<const NMBROWSESUMMARY*>(lParam)->pszText1;
                    n.text2 = reinterpret_cast<const NMBROWSESUMMARY*>(lParam)->pszText2;
                }
                if (nm->code == (UINT)NM_SETFOCUS) n.part = reinterpret_cast<const NMBROWSEFOCUS*>(lParam)->nPart;
                notes.push_back(n);
            }
        }
        return CWnd::WindowProc(message, wParam, lParam);
    }
};

using testcommon::RemoveTree;

std::string TempFolder(const char* tag) {
    char tmp[MAX_PATH];
    GetTempPathA(MAX_PATH, tmp);
    char full[MAX_PATH];
    GetLongPathNameA(tmp, full, MAX_PATH);
    std::string dir = std::string(full) + "VmBrowse_" + tag + "_" + std::to_string(GetCurrentProcessId());
    RemoveTree(dir);  // left by an earlier run that was killed (process ids repeat)
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

void MakeFile(const std::string& path) { ASSERT_TRUE(testcommon::WriteFileBytes(path, "abc")) << path; }

std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return s;
}

class BrowsePaneTest : public ::testing::Test {
protected:
    CParentWnd parent;
    CBrowseCtrl pane;
    std::string dir;

    void SetUp() override {
        ASSERT_TRUE(parent.CreateEx(0, nullptr, "browse", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 900, 400, nullptr,
                                    nullptr));
        ASSERT_TRUE(pane.Create(0, 0x100008D0, CRect(0, 0, 880, 300), &parent, kPaneId));
        dir = TempFolder("t");
        MakeFile(dir + "\\b.txt");
        MakeFile(dir + "\\a10.txt");
        MakeFile(dir + "\\a2.txt");
        CreateDirectoryA((dir + "\\Sub Folder").c_str(), nullptr);
        MakeFile(dir + "\\Sub Folder\\inner.c");
    }
    void TearDown() override {
        pane.DestroyWindow();
        parent.DestroyWindow();
        fwtest::PumpFor(10);
        RemoveTree(dir);
    }
    // Waits until the pane's list holds n entries.
    bool ListHas(int n) {
        return fwtest::PumpUntil([&] {
            return !pane.m_List.IsReading() && (int)pane.m_List.SendMessage(LVM_GETITEMCOUNT) == n;
        });
    }
    std::string Cell(int index, int column) {
        char buf[MAX_PATH];
        pane.GetItemText(BHT_LIST, index, buf, sizeof buf, column);
        return buf;
    }
};

TEST_F(BrowsePaneTest, SelectPathRoundTripsAndTellsTheParent) {
    // Another spelling: '/' separators, other case, a trailing separator.
    std::string given = Upper(dir);
    for (char& c : given)
        if (c == '\\') c = '/';
    given += "/";
    ASSERT_TRUE(pane.SelectPath(given.c_str()));
    CString shown = pane.GetCurrentPath(1);
    EXPECT_EQ(PathCompareA(shown, dir.c_str()), 0) << (const char*)shown;
    // The spelling on disk, without trailing separator.
    EXPECT_STREQ((const char*)shown + shown.GetLength() - 10, std::string(dir.c_str() + dir.size() - 10).c_str());
    EXPECT_NE(shown[shown.GetLength() - 1], '\\');
    ASSERT_EQ(parent.Count(BCN_PATHCHANGED), 1);
    EXPECT_EQ(parent.Last(BCN_PATHCHANGED)->path, std::string((const char*)shown));

    // The list shows the folder first, then the files in natural order.
    ASSERT_TRUE(ListHas(4));
    EXPECT_EQ(Cell(0, 1), "Sub Folder");
    EXPECT_EQ(Cell(1, 1), "a2.txt");
    EXPECT_EQ(Cell(2, 1), "a10.txt");
    EXPECT_EQ(Cell(3, 1), "b.txt");
    EXPECT_EQ(Cell(3, 0), dir + "\\b.txt");
    // Its summary reaches the parent as two texts: the files, then the list's summary.
    ASSERT_TRUE(fwtest::PumpUntil([&] {
        const Note* s = parent.Last(BCN_SUMMARY);
        return s && s->text1 == "3 Dateien";
    }));
    EXPECT_EQ(parent.Last(BCN_SUMMARY)->text2, "9 Bytes");

    // The same folder again changes nothing.
    ASSERT_TRUE(pane.SelectPath(dir.c_str()));
    EXPECT_EQ(parent.Count(BCN_PATHCHANGED), 1);

    // A missing folder is refused and nothing changes.
    EXPECT_FALSE(pane.SelectPath((dir + "\\missing\\deeper").c_str()));
    EXPECT_FALSE(pane.SelectPath(""));
    EXPECT_EQ(parent.Count(BCN_PATHCHANGED), 1);
    EXPECT_EQ(PathCompareA(pane.GetCurrentPath(1), dir.c_str()), 0);

    // A sub-folder, then its files.
    ASSERT_TRUE(pane.SelectPath((dir + "\\sub folder").c_str()));
    EXPECT_STREQ(pane.GetCurrentPath(1), (dir + "\\Sub Folder").c_str());
    EXPECT_EQ(parent.Count(BCN_PATHCHANGED), 2);
    ASSERT_TRUE(ListHas(1));
    EXPECT_EQ(Cell(0, 1), "inner.c");
}

TEST_F(BrowsePaneTest, DriveRootsKeepTheirSeparator) {
    ASSERT_TRUE(pane.SelectPath("C:"));
    EXPECT_STREQ(pane.GetCurrentPath(1), "C:\\");
    ASSERT_EQ(parent.Count(BCN_PATHCHANGED), 1);
    EXPECT_EQ(parent.Last(BCN_PATHCHANGED)->path, "C:\\");
    ASSERT_TRUE(pane.SelectPath("c:\\"));
    EXPECT_STREQ(pane.GetCurrentPath(1), "C:\\");
    EXPECT_EQ(parent.Count(BCN_PATHCHANGED), 1);
    ASSERT_TRUE(pane.SelectPath("c:/"));
    EXPECT_STREQ(pane.GetCurrentPath(0), "C:\\");
    // The tree's selected item is the drive, its path the root.
    HTREEITEM sel = pane.m_Tree.GetSelectedItem();
    ASSERT_NE(sel, nullptr);
    char buf[MAX_PATH];
    EXPECT_EQ(pane.GetItemText(BHT_TREE, (INT_PTR)sel, buf, sizeof buf, 0), 3);
    EXPECT_STREQ(buf, "C:\\");
    EXPECT_EQ(pane.m_Tree.GetParentItem(sel), nullptr);
}

TEST_F(BrowsePaneTest, AFileSelectsItsFolderAndTheFileInTheList) {
    ASSERT_TRUE(pane.SelectPath((dir + "\\a10.txt").c_str()));
    EXPECT_EQ(PathCompareA(pane.GetCurrentPath(1), dir.c_str()), 0);
    ASSERT_TRUE(ListHas(4));
    ASSERT_TRUE(fwtest::PumpUntil([&] { return pane.m_List.SendMessage(LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED) == 2; }));
    EXPECT_EQ(Cell(2, 1), "a10.txt");
}

TEST_F(BrowsePaneTest, HiddenAndNewFoldersAreFoundAndRefreshRereads) {
    ASSERT_TRUE(pane.SelectPath(dir.c_str()));
    ASSERT_TRUE(ListHas(4));
    // Made after the tree listed the folder, and hidden.
    std::string hidden = dir + "\\Later";
    CreateDirectoryA(hidden.c_str(), nullptr);
    SetFileAttributesA(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN);
    ASSERT_TRUE(pane.SelectPath(hidden.c_str()));
    EXPECT_STREQ(pane.GetCurrentPath(1), hidden.c_str());
    HTREEITEM sel = pane.m_Tree.GetSelectedItem();
    char buf[MAX_PATH];
    pane.GetItemText(BHT_TREE, (INT_PTR)sel, buf, sizeof buf, 1);
    EXPECT_STREQ(buf, "Later");

    // A refresh reads the list again.
    ASSERT_TRUE(pane.SelectPath(dir.c_str()));
    ASSERT_TRUE(ListHas(4));
    MakeFile(dir + "\\c.txt");
    pane.TriggerUpdate();
    ASSERT_TRUE(ListHas(5));
    // A folder that is gone gives way to its parent.
    std::string gone = dir + "\\Gone";
    CreateDirectoryA(gone.c_str(), nullptr);
    ASSERT_TRUE(pane.SelectPath(gone.c_str()));
    RemoveDirectoryA(gone.c_str());
    EXPECT_STREQ(pane.GetCurrentPath(1), "");
    pane.TriggerUpdate();
    EXPECT_EQ(PathCompareA(pane.GetCurrentPath(1), dir.c_str()), 0);
}

TEST_F(BrowsePaneTest, UserSelectionInTheTreeChangesTheFolder) {
    ASSERT_TRUE(pane.SelectPath(dir.c_str()));
    HTREEITEM folder = pane.m_Tree.GetSelectedItem();
    pane.m_Tree.Expand(folder, TVE_EXPAND);
    HTREEITEM child = pane.m_Tree.GetChildItem(folder);
    ASSERT_NE(child, nullptr);
    parent.notes.clear();
    pane.m_Tree.SelectItem(child);
    ASSERT_EQ(parent.Count(BCN_PATHCHANGED), 1);
    EXPECT_EQ(parent.Last(BCN_PATHCHANGED)->path, dir + "\\Sub Folder");
    EXPECT_STREQ(pane.GetCurrentPath(1), (dir + "\\Sub Folder").c_str());
    ASSERT_TRUE(ListHas(1));
}

TEST_F(BrowsePaneTest, HitTestsAndTexts) {
    ASSERT_TRUE(pane.SelectPath(dir.c_str()));
    ASSERT_TRUE(ListHas(4));
    fwtest::PumpFor(50);
    // The middle of the list's second entry, in its name column.
    RECT r = {};
    r.left = LVIR_LABEL;
    ASSERT_TRUE(pane.m_List.SendMessage(LVM_GETITEMRECT, 1, (LPARAM)&r));
    POINT pt = {r.left + 5, (r.top + r.bottom) / 2};
    ClientToScreen(pane.m_List, &pt);
    INT_PTR item = -1;
    int column = -1;
    ASSERT_EQ(pane.HitTest(pt, &item, &column), BHT_LIST);
    EXPECT_EQ(item, 1);
    EXPECT_EQ(column, 1);
    char buf[MAX_PATH];
    EXPECT_EQ(pane.GetItemText(BHT_LIST, item, buf, sizeof buf, column), 6);
    EXPECT_STREQ(buf, "a2.txt");
    pane.GetItemText(BHT_LIST, item, buf, sizeof buf, 0);
    EXPECT_EQ(std::string(buf), dir + "\\a2.txt");
    // The size column.
    pane.GetItemText(BHT_LIST, item, buf, sizeof buf, 2);
    EXPECT_STREQ(buf, "3");

    // The selected tree item.
    HTREEITEM sel = pane.m_Tree.GetSelectedItem();
    RECT tr = {};
    memcpy(&tr, &sel, sizeof sel);  // TVM_GETITEMRECT takes the item in the rectangle
    ASSERT_TRUE(pane.m_Tree.SendMessage(TVM_GETITEMRECT, TRUE, (LPARAM)&tr));
    pt = {tr.left + 2, (tr.top + tr.bottom) / 2};
    ClientToScreen(pane.m_Tree, &pt);
    ASSERT_EQ(pane.HitTest(pt, &item, &column), BHT_TREE);
    EXPECT_EQ((HTREEITEM)item, sel);
    pane.GetItemText(BHT_TREE, item, buf, sizeof buf, 0);
    EXPECT_EQ(PathCompareA(buf, dir.c_str()), 0);

    // Far outside: nothing; bad items give -1.
    pt = {-5000, -5000};
    EXPECT_EQ(pane.HitTest(pt, &item, &column), BHT_NONE);
    EXPECT_EQ(pane.GetItemText(BHT_LIST, 99, buf, sizeof buf, 1), -1);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(pane.GetItemText(BHT_NONE, 0, buf, sizeof buf, 1), -1);
}

TEST_F(BrowsePaneTest, FocusNotifiesWhichPartAndTabGoesToTheParent) {
    SetForegroundWindow(parent);
    parent.notes.clear();
    pane.FocusPane(1);
    EXPECT_EQ(GetFocus(), pane.m_Tree.m_hWnd);
    ASSERT_NE(parent.Last(NM_SETFOCUS), nullptr);
    EXPECT_EQ(parent.Last(NM_SETFOCUS)->part, 0);
    pane.FocusPane(0);
    EXPECT_EQ(GetFocus(), pane.m_List.m_hWnd);
    EXPECT_EQ(parent.Last(NM_SETFOCUS)->part, 1);
    SendMessageA(pane.m_List, WM_KEYDOWN, VK_TAB, 0);
    EXPECT_EQ(GetFocus(), parent.m_hWnd);
    pane.FocusPane(1);
    SendMessageA(pane.m_Tree, WM_KEYDOWN, VK_TAB, 0);
    EXPECT_EQ(GetFocus(), parent.m_hWnd);
}

bool Exists(const std::string& p) {
    return GetFileAttributesA(p.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The paths of the clipboard's CF_HDROP block.
std::vector<std::string> ClipboardFiles(HWND owner) {
    std::vector<std::string> files;
    if (!OpenClipboard(owner)) return files;
    if (HANDLE h = GetClipboardData(CF_HDROP)) {
        UINT n = DragQueryFileA((HDROP)h, 0xFFFFFFFF, nullptr, 0);
        for (UINT i = 0; i < n; ++i) {
            char buf[MAX_PATH];
            DragQueryFileA((HDROP)h, i, buf, sizeof buf);
            files.push_back(buf);
        }
    }
    CloseClipboard();
    return files;
}

TEST_F(BrowsePaneTest, CopyCutAndPasteFilesThroughTheClipboard) {
    std::string other = dir + "\\Other (2)";
    CreateDirectoryA(other.c_str(), nullptr);
    MakeFile(other + "\\copy me (1).txt");
    MakeFile(other + "\\move me.txt");
    ASSERT_TRUE(pane.SelectPath(other.c_str()));
    ASSERT_TRUE(ListHas(2));
    // Entry 0 is "copy me (1).txt": a name that result-line parsing would cut.
    ASSERT_EQ(Cell(0, 1), "copy me (1).txt");
    pane.m_List.SendMessage(FLM_FOCUSITEM, 0, 1);
    SendMessageA(pane, WM_COPY, 0, 0);
    EXPECT_EQ(ClipboardFiles(pane), (std::vector<std::string>{other + "\\copy me (1).txt"}));

    ASSERT_TRUE(pane.SelectPath(dir.c_str()));
    ASSERT_TRUE(ListHas(5));
    SendMessageA(pane, WM_PASTE, 0, 0);
    EXPECT_TRUE(Exists(dir + "\\copy me (1).txt"));
    EXPECT_TRUE(Exists(other + "\\copy me (1).txt"));
    // The list shows the new file.
    ASSERT_TRUE(ListHas(6));
    // Pasting again never replaces it: the copy gets another name.
    SendMessageA(pane, WM_PASTE, 0, 0);
    ASSERT_TRUE(ListHas(7));
    EXPECT_TRUE(Exists(dir + "\\copy me (1).txt"));
    EXPECT_TRUE(Exists(dir + "\\copy me (1) - Kopie.txt"));

    // Cut and paste moves the file and empties the clipboard.
    ASSERT_TRUE(pane.SelectPath((other + "\\move me.txt").c_str()));
    ASSERT_TRUE(ListHas(2));
    ASSERT_TRUE(fwtest::PumpUntil([&] { return pane.m_List.m_nSelCount == 1; }));
    SendMessageA(pane, WM_CUT, 0, 0);
    ASSERT_TRUE(pane.SelectPath(dir.c_str()));
    ASSERT_TRUE(ListHas(7));
    SendMessageA(pane, WM_PASTE, 0, 0);
    EXPECT_TRUE(Exists(dir + "\\move me.txt"));
    EXPECT_FALSE(Exists(other + "\\move me.txt"));
    EXPECT_TRUE(ClipboardFiles(pane).empty());
    ASSERT_TRUE(ListHas(8));
}

}  // namespace
