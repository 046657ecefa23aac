#include "app/ResultMenu.h"

#include "app/Resource.h"
#include "toolkit/ControlHelpers.h"

HMENU BuildResultMenu(int textSel, int lineSel, bool empty, bool noResults)
{
    HMENU hMenu = CreatePopupMenu();
    if (!hMenu)
        return nullptr;
    auto grey = [](bool off) { return MF_STRING | (off ? MF_GRAYED : 0u); };
    AppendMenuA(hMenu, grey(textSel == 0), ID_RESULT_COPY, "&Kopieren");
    AppendMenuA(hMenu, grey(lineSel < 0), ID_RESULT_COPY_PATH, "&Pfad Kopieren");
    AppendMenuA(hMenu, grey(empty), ID_RESULT_SELECT_ALL, "&Alles markieren");
    AppendMenuA(hMenu, grey(textSel != 1), ID_RESULT_SEARCH_SELECTION, "Suche markierten Text");
    AppendMenuA(hMenu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(hMenu, grey(noResults), ID_RESULT_SORT_PATH, "Nach Datei&pfad sortieren");
    AppendMenuA(hMenu, grey(noResults), ID_RESULT_SORT_NAME, "Nach Datei&name sortieren");
    AppendMenuA(hMenu, grey(noResults), ID_RESULT_SORT_TYPE, "Nach Datei&typ sortieren");
    static const struct {
        UINT command;
        int image;
    } kImages[] = {{ID_RESULT_COPY, 1},
                   {ID_RESULT_SEARCH_SELECTION, 6},
                   {ID_RESULT_SORT_PATH, 7},
                   {ID_RESULT_SORT_NAME, 8},
                   {ID_RESULT_SORT_TYPE, 11}};
    for (const auto& i : kImages)
        SetMenuItemBitmapFromStrip(hMenu, i.command, IDB_MENU_STRIP, i.image, 13);
    return hMenu;
}

BOOL SelectedSearchText(CColorListBox& list, CString& text)
{
    text.Empty();
    return list.m_hWnd && list.GetSelectedText(text) == 1;
}
