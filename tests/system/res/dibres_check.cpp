// DibLoadResourceA/W on the bitmaps of this program's resources.
#include <gtest/gtest.h>

#include "system/Draw.h"

namespace {

HINSTANCE Self() { return GetModuleHandleA(nullptr); }

}  // namespace

TEST(DibResource, TrueColourBitmap) {
    int stride = 0;
    DibBlock* d = DibLoadResourceA(0, Self(), MAKEINTRESOURCEA(101), 2, 0, &stride);
    ASSERT_NE(d, nullptr);
    EXPECT_TRUE(DibIsBlock(d));
    EXPECT_EQ(DibGetWidth(d), 5);
    EXPECT_EQ(DibGetHeight(d), 3);
    EXPECT_EQ(d->biBitCount, 24);
    EXPECT_EQ(stride, 16);
    EXPECT_EQ(DibGetPixel(d, 0, 0), RGB(255, 0, 0));
    EXPECT_EQ(DibGetPixel(d, 1, 0), RGB(0, 255, 0));
    EXPECT_EQ(DibGetPixel(d, 2, 0), RGB(0, 0, 255));
    EXPECT_EQ(DibGetPixel(d, 3, 0), RGB(255, 255, 255));
    EXPECT_EQ(DibGetPixel(d, 4, 1), RGB(192, 192, 192));
    EXPECT_EQ(DibGetPixel(d, 2, 2), RGB(255, 0, 0));
    EXPECT_EQ(DibGetPixel(d, 1, 2), RGB(0, 0, 0));
    EXPECT_EQ(DibGetPixel(d, 5, 0), CLR_INVALID);
    DibFree(d);
    // By name, through the UTF-16 twin.
    d = DibLoadResourceW(0, Self(), L"TESTBMP", 2, 0, &stride);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(DibGetPixel(d, 2, 0), RGB(0, 0, 255));
    DibFree(d);
    d = DibLoadResourceA(0, Self(), "TESTBMP", 2, 0, nullptr);
    ASSERT_NE(d, nullptr);
    DibFree(d);
}

TEST(DibResource, PaletteAndTopDownBitmaps) {
    DibBlock* d = DibLoadResourceA(0, Self(), MAKEINTRESOURCEA(102), 2, 0, nullptr);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->biBitCount, 4);
    int count = 0;
    ASSERT_NE(DibGetPalette(d, &count), nullptr);
    EXPECT_EQ(count, 4);
    EXPECT_EQ(DibGetPixel(d, 0, 0), RGB(255, 0, 0));
    EXPECT_EQ(DibGetPixel(d, 1, 0), RGB(0, 255, 0));
    EXPECT_EQ(DibGetPixel(d, 2, 0), RGB(192, 192, 192));
    EXPECT_EQ(DibGetPixel(d, 2, 1), RGB(255, 0, 0));
    // Mapped to the system colours through the palette.
    EXPECT_EQ(DibMapToSysColors(d), 1);
    EXPECT_EQ(DibGetPixel(d, 0, 1), GetSysColor(COLOR_BTNFACE) & 0xFFFFFF);
    DibFree(d);

    d = DibLoadResourceA(0, Self(), MAKEINTRESOURCEA(103), 2, 0, nullptr);
    ASSERT_NE(d, nullptr);
    EXPECT_GT(d->biHeight, 0);  // stored bottom-up like every block
    EXPECT_EQ(DibGetPixel(d, 0, 0), RGB(255, 0, 0));
    EXPECT_EQ(DibGetPixel(d, 1, 0), RGB(0, 255, 0));
    EXPECT_EQ(DibGetPixel(d, 0, 1), RGB(0, 0, 255));
    DibFree(d);

    EXPECT_EQ(DibLoadResourceA(0, Self(), MAKEINTRESOURCEA(999), 2, 0, nullptr), nullptr);
}
