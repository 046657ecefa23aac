// The file list under a real window: filled by worker threads while the window paints, read
// through the list-view messages the application sends, sorted, cancelled, and its summaries.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "common/TempTree.h"
#include "controls/FileListCtrl.h"
#include "framework/support/gui_util.h"

namespace {

const UINT kListId = 21396;

// A framework parent that records the notifications reaching it.
class CParentWnd : public CWnd {
public:
    std::vector<UINT> codes;
    NMFILELISTSUMMARY lastSummary = {};
    int summaries = 0;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_NOTIFY) {
            const NMHDR* nm = reinterpret_cast<const NMHDR*>(lParam);
            if (nm->idFrom == kListId) {
                if (nm->code == FLN_SUMMARY) {
                    lastSummary = *reinterpret_cast<const NMFILELISTSUMMARY*>(lParam);
                    ++summaries;
                }
                if (nm->code == FLN_SUMMARY || nm->code == (UINT)NM_SETFOCUS || nm->code == (UINT)NM_RCLICK)
                    codes.push_back(nm->code);
            }
        }
        return CWnd::WindowProc(message, wParam, lParam);
    }
};

void Pump() { fwtest::PumpFor(0); }
using fwtest::PumpUntil;

void MakeFile(const std::string& path, size_t size) {
    ASSERT_TRUE(testcommon::WriteFileBytes(path, std::string(size, 'x'))) << path;
}

int Count(HWND list) {
    return (int)SendMessageA(list, 0x1004, 0, 0);
}

int NextSelected(HWND list, int start) {
    return (int)SendMessageA(list, 0x100C, (WPARAM)start, LVNI_SELECTED);
}

bool IsSelected(HWND list, int index) {
    LVITEMA it = {};
    it.mask = LVIF_STATE;
    it.iItem = index;
    it.stateMask = LVIS_SELECTED;
    SendMessageA(list, 0x1005, 0, (LPARAM)&it);
    return (it.state & LVIS_SELECTED) != 0;
}

void Select(HWND list, int index, bool on) {
    LVITEMA it = {};
    it.stateMask = LVIS_SELECTED;
    it.state = on ? LVIS_SELECTED : 0;
    SendMessageA(list, LVM_SETITEMSTATE, (WPARAM)index, (LPARAM)&it);
}

// The text the list view shows in a cell (asked from the list through LVN_GETDISPINFO).
std::string Shown(HWND list, int index, int subItem) {
    char buf[MAX_PATH] = "";
    LVITEMA it = {};
    it.iSubItem = subItem;
    it.pszText = buf;
    it.cchTextMax = sizeof buf;
    SendMessageA(list, LVM_GETITEMTEXTA, (WPARAM)index, (LPARAM)&it);
    return buf;
}

class FileListTest : public ::testing::Test {
protected:
    CParentWnd parent;
    CFileListCtrl list;
    testcommon::TempDir tmp{"vmfl_"};
    std::string dir = tmp.Path();

    void SetUp() override {
        ASSERT_TRUE(parent.CreateEx(0, nullptr, "filelist", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 700, 500, nullptr,
                                    nullptr));
        ASSERT_TRUE(list.Create(0, 0x10207B97, CRect(0, 0, 680, 460), &parent, kListId));
    }
    void TearDown() override {
        list.DestroyWindow();
        parent.DestroyWindow();
        Pump();
    }

    // Reads the folder on a worker thread, painting meanwhile; returns ReadPath's result.
    int FillOnWorker(const std::string& path, int subDirs, const char* plus = nullptr, const char* minus = nullptr) {
        std::atomic<int> result{-1000};
        std::atomic<bool> done{false};
        std::thread worker([&] {
            result = list.ReadPath(path.c_str(), subDirs, plus, minus, 0, 0, 0, 0);
            done = true;
        });
        while (!done) {
            list.RedrawWindow();
            Pump();
            Sleep(1);
        }
        worker.join();
        PumpUntil([&] { return !list.IsReading() && Count(list) == list.m_DirList.m_nCount; });
        Pump();
        return result;
    }
};

TEST_F(FileListTest, WorkerFillShowsEveryEntryThroughTheListViewMessages) {
    std::set<std::string> expected;
    for (int i = 0; i < 300; ++i) {
        std::string name = "file" + std::to_string(i) + ".txt";
        MakeFile(dir + "\\" + name, size_t(i));
        expected.insert(name);
    }
    CreateDirectoryA((dir + "\\sub").c_str(), nullptr);
    for (int i = 0; i < 20; ++i) {
        std::string name = "deep" + std::to_string(i) + ".c";
        MakeFile(dir + "\\sub\\" + name, 10);
        expected.insert(name);
    }
    EXPECT_EQ(FillOnWorker(dir, 1), 320);
    ASSERT_EQ(Count(list), 320);
    std::set<std::string> shown;
    for (int i = 0; i < Count(list); ++i) shown.insert(Shown(list, i, FLC_NAME));
    EXPECT_EQ(shown, expected);
    // The folder column shows the path below the scanned folder; the base folder shows none.
    for (int i = 0; i < Count(list); ++i) {
        std::string name = Shown(list, i, FLC_NAME);
        EXPECT_EQ(Shown(list, i, FLC_FOLDER), name.rfind("deep", 0) == 0 ? "sub" : "") << name;
    }
    // Sizes with digit grouping.
    for (int i = 0; i < Count(list); ++i)
        if (Shown(list, i, FLC_NAME) == "file299.txt") {
            EXPECT_EQ(Shown(list, i, FLC_SIZE), "299");
        }

    // A second fill adds to the entries; the filters apply.
    EXPECT_EQ(FillOnWorker(dir, 0, "file1*.txt", "file10*"), 100);
    EXPECT_EQ(Count(list), 420);

    // A summary of all entries reached the parent.
    ASSERT_TRUE(PumpUntil([&] { return parent.summaries > 0 && parent.lastSummary.nCount == 420; }));
    EXPECT_EQ(parent.lastSummary.nSelected, 0);

    // Clearing the entries on the UI thread empties the list at once.
    list.m_DirList.Clear();
    EXPECT_EQ(Count(list), 0);
    EXPECT_EQ(NextSelected(list, -1), -1);
}

TEST_F(FileListTest, MissingFolderGivesItsCodeAndNoEntries) {
    EXPECT_EQ(list.ReadPath("C:\\vm-no-such-folder\\really", 1, nullptr, nullptr, 0, 0, 0, 0), -3);
    EXPECT_EQ(Count(list), 0);
}

TEST_F(FileListTest, SelectionFocusAndSummary) {
    for (int i = 0; i < 10; ++i) MakeFile(dir + "\\s" + std::to_string(i) + ".dat", size_t(1000 * (i + 1)));
    list.SetSort(FLS_NAME, 0);
    ASSERT_EQ(FillOnWorker(dir, 0), 10);
    ASSERT_EQ(Count(list), 10);
    EXPECT_EQ(Shown(list, 0, FLC_NAME), "s0.dat");

    Select(list, 3, true);
    Select(list, 7, true);
    EXPECT_EQ(NextSelected(list, -1), 3);
    EXPECT_EQ(NextSelected(list, 3), 7);
    EXPECT_EQ(NextSelected(list, 7), -1);
    EXPECT_TRUE(IsSelected(list, 3));
    EXPECT_FALSE(IsSelected(list, 4));
    ASSERT_TRUE(PumpUntil([&] { return parent.lastSummary.nSelected == 2; }));
    EXPECT_EQ(list.m_nSelCount, 2);
    EXPECT_EQ(parent.lastSummary.nCount, 10);
    EXPECT_EQ(parent.lastSummary.nSize, 4000u + 8000u);
    EXPECT_STREQ(parent.lastSummary.szText, "2 markiert, 11,7 KB");

    // 0x109D focuses one entry and, with lParam 1, makes it the only selected one.
    EXPECT_TRUE(SendMessageA(list, 0x109D, 5, 1));
    EXPECT_EQ(SendMessageA(list, 0x100C, (WPARAM)-1, LVNI_FOCUSED), 5);
    EXPECT_EQ(NextSelected(list, -1), 5);
    EXPECT_EQ(NextSelected(list, 5), -1);
    EXPECT_FALSE(SendMessageA(list, 0x109D, 10, 1));
    // 258 asks for the current entry.
    EXPECT_EQ(SendMessageA(list, 0x100C, (WPARAM)-1, 258), 5);
    EXPECT_TRUE(SendMessageA(list, 0x109D, 2, 0));
    EXPECT_EQ(SendMessageA(list, 0x100C, (WPARAM)-1, 258), 2);
    EXPECT_TRUE(IsSelected(list, 5));

    // Nothing selected: the summary gives the total of all files.
    Select(list, -1, false);
    ASSERT_TRUE(PumpUntil([&] { return parent.lastSummary.nSelected == 0; }));
    EXPECT_EQ(parent.lastSummary.nSize, 55000u);
    EXPECT_STREQ(parent.lastSummary.szText, "53,7 KB");

    // Copy puts the selected files on the clipboard, with their paths as text.
    Select(list, -1, false);
    Select(list, 1, true);
    Select(list, 4, true);
    SendMessageA(list, WM_COPY, 0, 0);
    ASSERT_TRUE(OpenClipboard(list));
    HANDLE drop = GetClipboardData(CF_HDROP);
    ASSERT_NE(drop, nullptr);
    ASSERT_EQ(DragQueryFileA((HDROP)drop, 0xFFFFFFFF, nullptr, 0), 2u);
    char path[MAX_PATH];
    DragQueryFileA((HDROP)drop, 1, path, sizeof path);
    EXPECT_EQ(std::string(path), dir + "\\s4.dat");
    HANDLE text = GetClipboardData(CF_TEXT);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::string((const char*)GlobalLock(text)), dir + "\\s1.dat\r\n" + dir + "\\s4.dat\r\n");
    GlobalUnlock(text);
    HANDLE effect = GetClipboardData(RegisterClipboardFormatA("Preferred DropEffect"));
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(*(const DWORD*)GlobalLock(effect), (DWORD)DROPEFFECT_COPY);
    GlobalUnlock(effect);
    CloseClipboard();

    // Redrawing the whole range as the view does it returns at once.
    EXPECT_TRUE(SendMessageA(list, 0x1015, 0, 0x0FFFFFFF));
}

TEST_F(FileListTest, SortKeepsTheSelectionWithItsEntries) {
    const int sizes[] = {500, 20, 7000, 3, 64};
    const char* names[] = {"b10.txt", "a2.txt", "B2.log", "a10.txt", "c1.h"};
    for (int i = 0; i < 5; ++i) MakeFile(dir + "\\" + names[i], size_t(sizes[i]));
    ASSERT_EQ(FillOnWorker(dir, 0), 5);

    list.SetSort(FLS_NAME, 0);
    std::vector<std::string> byName;
    for (int i = 0; i < 5; ++i) byName.push_back(Shown(list, i, FLC_NAME));
    // Natural order without case: digit runs by value.
    EXPECT_EQ(byName, (std::vector<std::string>{"a2.txt", "a10.txt", "B2.log", "b10.txt", "c1.h"}));

    Select(list, 3, true);  // b10.txt
    list.SetSort(FLS_SIZE, 0);
    std::vector<std::string> bySize;
    for (int i = 0; i < 5; ++i) bySize.push_back(Shown(list, i, FLC_NAME));
    EXPECT_EQ(bySize, (std::vector<std::string>{"a10.txt", "a2.txt", "c1.h", "b10.txt", "B2.log"}));
    int sel = NextSelected(list, -1);
    ASSERT_GE(sel, 0);
    EXPECT_EQ(Shown(list, sel, FLC_NAME), "b10.txt");
    EXPECT_EQ(NextSelected(list, sel), -1);

    list.SetSort(FLS_SIZE, 1);
    EXPECT_EQ(Shown(list, 0, FLC_NAME), "B2.log");
    EXPECT_EQ(list.m_nSortKey, FLS_SIZE | FLS_DESCENDING);
    // The key with its direction goes back in as the view stores it.
    list.SetSort(list.m_nSortKey, 0);
    EXPECT_EQ(Shown(list, 0, FLC_NAME), "B2.log");

    // The header marks the sort column.
    HWND header = (HWND)SendMessageA(list, LVM_GETHEADER, 0, 0);
    HDITEMA hd = {};
    hd.mask = HDI_FORMAT;
    SendMessageA(header, HDM_GETITEMA, FLC_SIZE, (LPARAM)&hd);
    EXPECT_TRUE(hd.fmt & HDF_SORTDOWN);
    SendMessageA(header, HDM_GETITEMA, FLC_NAME, (LPARAM)&hd);
    EXPECT_FALSE(hd.fmt & (HDF_SORTDOWN | HDF_SORTUP));

    // A click on a column header sorts by it, a second click turns the order round.
    NMLISTVIEW click = {};
    click.hdr.hwndFrom = list;
    click.hdr.idFrom = kListId;
    click.hdr.code = LVN_COLUMNCLICK;
    click.iItem = -1;
    click.iSubItem = FLC_NAME;
    SendMessageA(parent, WM_NOTIFY, kListId, (LPARAM)&click);
    EXPECT_EQ(list.m_nSortKey, FLS_NAME);
    SendMessageA(parent, WM_NOTIFY, kListId, (LPARAM)&click);
    EXPECT_EQ(list.m_nSortKey, FLS_NAME | FLS_DESCENDING);
    EXPECT_EQ(Shown(list, 0, FLC_NAME), "c1.h");
}

// Starts a recursive fill of dir on a worker, sets the stop flag as soon as the first entries
// are in (as the progress dialog's cancel does) and checks that the scan ends promptly with
// the entries found so far shown.
void StopEarly(CFileListCtrl& list, const std::string& dir, int total) {
    std::atomic<int> result{-1000};
    std::atomic<bool> done{false};
    std::thread worker([&] {
        result = list.ReadPath(dir.c_str(), 1, nullptr, nullptr, 0, 0, 0, 0);
        done = true;
    });
    // No pumping here: a first paint can take longer than the whole scan.
    while (!done && list.m_DirList.m_nCount == 0) Sleep(0);
    auto stopped = std::chrono::steady_clock::now();
    InterlockedExchange(&list.m_DirList.m_bStop, 1);
    while (!done) Sleep(1);
    auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - stopped);
    worker.join();
    EXPECT_LT(took.count(), 1000);
    EXPECT_GT(result, 0);
    EXPECT_LT(result, total);
    // The entries found so far stay and the list shows all of them.
    ASSERT_TRUE(PumpUntil([&] { return !list.IsReading(); }));
    EXPECT_EQ(Count(list), result.load());
}

void MakeTree(const std::string& dir, int folders, int files) {
    for (int d = 0; d < folders; ++d) {
        std::string sub = dir + "\\d" + std::to_string(d);
        CreateDirectoryA(sub.c_str(), nullptr);
        for (int i = 0; i < files; ++i) MakeFile(sub + "\\f" + std::to_string(i), 0);
    }
}

TEST_F(FileListTest, StopFlagEndsAFillPromptly) {
    MakeTree(dir, 10, 200);
    StopEarly(list, dir, 2000);
    // The full fill afterwards reads everything.
    list.m_DirList.Clear();
    EXPECT_EQ(FillOnWorker(dir, 1), 2000);
    EXPECT_EQ(Count(list), 2000);
}

// The same on a folder of 20,000 files that the script filelist_large.sh makes on the Linux
// side (fast) and names in VM_LARGE_DIR; skipped without it.
TEST_F(FileListTest, StopFlagEndsALargeFillPromptly) {
    const char* large = getenv("VM_LARGE_DIR");
    if (!large || !*large) GTEST_SKIP() << "VM_LARGE_DIR not set (run by filelist_large.sh)";
    StopEarly(list, large, 20000);
    list.m_DirList.Clear();
    EXPECT_EQ(FillOnWorker(large, 1), 20000);
    EXPECT_EQ(Count(list), 20000);
    // Sorting all of them by name keeps every entry.
    list.SetSort(FLS_NAME, 1);
    EXPECT_EQ(Count(list), 20000);
    EXPECT_EQ(Shown(list, 0, FLC_NAME), "f999");
}

TEST_F(FileListTest, DestroyingTheListStopsAndWaitsForItsScan) {
    MakeTree(dir, 10, 200);
    CFileListCtrl* other = new CFileListCtrl;
    ASSERT_TRUE(other->Create(0, WS_VISIBLE, CRect(0, 0, 300, 300), &parent, kListId + 1));
    // The scan's closing notification comes from inside the scan; a flag set by the worker
    // after ReadPath returned would race with the destructor's return.
    static std::atomic<bool> scanEnded;
    scanEnded = false;
    other->m_DirList.SetNotify(
        [](CDirList*, int code, int, void*) {
            if (code == CDirList::DLN_ADDED) scanEnded = true;
        },
        nullptr);
    std::thread worker([&] { other->ReadPath(dir.c_str(), 1, nullptr, nullptr, 0, 0, 0, 0); });
    while (!scanEnded && other->m_DirList.m_nCount == 0) Sleep(0);
    delete other;
    // The destructor returned only after the scan had ended.
    EXPECT_TRUE(scanEnded.load());
    worker.join();
    Pump();
}

TEST_F(FileListTest, FocusNotifiesTheParentAndTabHandsItBack) {
    MakeFile(dir + "\\one.txt", 1);
    MakeFile(dir + "\\two.txt", 2);
    ASSERT_EQ(FillOnWorker(dir, 0), 2);
    SetForegroundWindow(parent);
    parent.codes.clear();
    list.SetFocus();
    Pump();
    EXPECT_EQ(GetFocus(), list.m_hWnd);
    bool sawFocus = false;
    for (UINT c : parent.codes) sawFocus |= c == (UINT)NM_SETFOCUS;
    EXPECT_TRUE(sawFocus);
    // The list got a current entry.
    EXPECT_EQ(SendMessageA(list, 0x100C, (WPARAM)-1, LVNI_FOCUSED), 0);
    SendMessageA(list, WM_KEYDOWN, VK_TAB, 0);
    EXPECT_EQ(GetFocus(), parent.m_hWnd);
}

}  // namespace
