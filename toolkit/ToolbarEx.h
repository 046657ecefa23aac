// "ToolbarExWindow32": the program's own toolbar window control. It speaks the common
// toolbar message protocol (TB_ENABLEBUTTON .. TB_SETLISTGAP) plus the private messages below,
// lays its buttons out in rows or one column and paints them from per-button state images.
#pragma once
#include <windows.h>
#include <commctrl.h>

#define TOOLBAREX_CLASSA "ToolbarExWindow32"

// Registers the window class once per process. 1 on success or when already registered, 0
// when RegisterClassExA fails.
int RegisterToolbarExClass(HINSTANCE instance);
// The window procedure of the class.
LRESULT CALLBACK ToolbarExWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Button references: a value whose top byte is 0x12 goes through the command lookup, any
// other value is an index. Forms of the lookup (TB_COMMANDTOINDEX):
#define TBX_REF_INDEX(i) (0x12340000u | ((i) & 0xFFFF))          // the index itself
#define TBX_REF_CMD(c) (0x12480000u | ((c) & 0xFFFF))            // the first button with command c
#define TBX_REF_NTH(c, n) (0x12800000u | ((n) & 0x7F) << 16 | ((c) & 0xFFFF))  // the (n+1)-th with c
#define TBX_REF_NTH_FLAGS(f, n) (0x12800E7Eu | ((n) & 0x7F) << 16 | ((f) & 0xF000))  // by button flags

// Private messages.
enum : UINT {
    TBX_TRACK = 0x46A,           // hot-tracking pass from the cursor (the owner's timer tick)
    TBX_REMOVEOVERLAY = 0x46B,   // wParam key (or 0x1222 << 16 | tag) -> 1, 0 when none
    TBX_ADDOVERLAYW = 0x46C,     // wParam -> {key, x | y << 16, flags | tag << 8}, lParam text
    TBX_ADDOVERLAYA = 0x46D,
    TBX_SETDIRTY = 0x46E,        // wParam dirty bits, lParam non-zero: repaint now
    TBX_SETFIXEDWIDTH = 0x46F,   // wParam ref, lParam width 0..512 -> previous width, -1
    TBX_FINDHOSTED = 0x470,      // lParam window -> index, -1
    TBX_SETTEXTW = 0x471,        // wParam index, lParam text -> string index, -1
    TBX_SETTEXTA = 0x472,
    TBX_SETSTYLESTATE = 0x473,   // wParam ref, lParam style | styleMask << 8 | state << 16 | mask << 24
    TBX_GETSTYLESTATE = 0x474,
    TBX_SETCOMMAND = 0x475, TBX_GETCOMMAND = 0x476,
    TBX_SETIMAGE = 0x477, TBX_GETIMAGE = 0x478,
    TBX_SETSTRINGINDEX = 0x479, TBX_GETSTRINGINDEX = 0x47A,
    TBX_DELETESTRINGS = 0x47B,   // wParam first, lParam count -> number deleted
    TBX_FINDSTRINGW = 0x47C,     // wParam first | count << 16, lParam text -> index, -1
    TBX_FINDSTRINGA = 0x47D,
    TBX_STRINGCOUNT = 0x47E,
    TBX_COUNTFLAGS = 0x47F,      // wParam first | end << 16, lParam value | mask << 16
    TBX_BULKSTYLE = 0x480, TBX_BULKSTATE = 0x481, TBX_BULKFLAGS = 0x482,
    TBX_SCANSTRIP = 0x483,       // -> number of images of a strip of variable widths (0 for a
                                 //    bitmap header without its bits)
    TBX_GETBITMAPS = 0x484,      // wParam first | count << 16, lParam six-word records
    TBX_GETCOMMANDS = 0x485,     // wParam count, lParam DWORD array
    TBX_REMOVEBITMAPS = 0x486,
    TBX_DELETERANGE = 0x487,     // wParam first, lParam end
    TBX_ASKCOMMANDWND = 0x488,   // answered by the owner when slot 2 holds -1
    TBX_GETBITMAPSIZE = 0x489,
    TBX_INDEXTOCOMMAND = 0x48A,
    TBX_GETFLAGS = 0x48B, TBX_SETFLAGS = 0x48C,  // lParam value | mask << 16
    TBX_GETDATA = 0x48D, TBX_SETDATA = 0x48E,
    TBX_SCALE = 0x48F,           // wParam -1 or a bitmap, lParam scale in 1/256 (-1 reads)
    TBX_GETTOTALSIZE = 0x490,
    TBX_SIZEFORLENGTH = 0x491,   // wParam length, lParam bit 0 keep, bit 1 a height
    TBX_INSERTBUTTONNOFLAGS = 0x492,
    TBX_ADDBUTTONSFLAGS = 0x493,
    TBX_COLORKEY = 0x494,        // wParam 0/1 (| 0x80000000 to write), lParam colour
    TBX_COLOR = 0x495,           // wParam slot 0..8, lParam colour or -1 for the default
};

// Button flags (the two reserved bytes of a button record, taken over by the forms that keep them).
enum : WORD {
    TBXF_TEXTBESIDE = 0x0001, TBXF_TEXTUNDER = 0x0002, TBXF_TEXTCLICKS = 0x0004, TBXF_FRAME = 0x0008,
    TBXF_NOFRAME = 0x0010, TBXF_NOCHECKLOOK = 0x0020, TBXF_NODISABLEDLOOK = 0x0040, TBXF_NOHOTLOOK = 0x0080,
    TBXF_SEPCELL = 0x0100, TBXF_FIXEDWIDTH = 0x0200, TBXF_SPLIT = 0x0400, TBXF_COLOR565 = 0x0800,
    TBXF_DATACOLOR = 0x1000, TBXF_HOSTED = 0x2000, TBXF_CHECKCELL = 0xC000,
};

// TB_HITTEST: wParam asking for the drop-down bit, and that bit in the answer.
#define TBX_HIT_ASKDROP 0x12345678
#define TBX_HIT_DROP 0x40000000
// Timer of the control, answered by the owner with TBX_TRACK.
#define TBX_TIMER 0x197F
