// The stock frame images blended onto a bitmap: placement, clipping, corners, tint and looks.
#include <gtest/gtest.h>

#include <windows.h>

#include "controls/FileListCtrl.h"

namespace {

const COLORREF kGround = RGB(10, 20, 30);

DibBlock* Ground(int w, int h, int bits) {
    DibBlock* d = DibCreate(w, h, bits);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) DibSetPixel(d, x, y, kGround);
    return d;
}

int Luma(COLORREF c) {
    return (GetRValue(c) * 3 + GetGValue(c) * 6 + GetBValue(c)) / 10;
}

TEST(FrameImage, DrawsTheTintedFrameInPlaceAndLeavesTheRest) {
    for (int bits : {24, 32}) {
        DibBlock* d = Ground(40, 30, bits);
        ASSERT_TRUE(DrawFrameImage(d, 5, 4, 20, 16, DFI_COLOR, RGB(0, 0, 200)));
        // Outside the frame the ground stays.
        EXPECT_EQ(DibGetPixel(d, 4, 10), kGround);
        EXPECT_EQ(DibGetPixel(d, 25, 10), kGround);
        EXPECT_EQ(DibGetPixel(d, 10, 3), kGround);
        EXPECT_EQ(DibGetPixel(d, 10, 20), kGround);
        // Rounded corners: the corner pixels stay ground.
        EXPECT_EQ(DibGetPixel(d, 5, 4), kGround);
        EXPECT_EQ(DibGetPixel(d, 24, 19), kGround);
        // The border is a darker shade of the colour; the inside a light tint of it.
        COLORREF border = DibGetPixel(d, 5, 10);
        EXPECT_EQ(GetRValue(border), 0);
        EXPECT_EQ(GetGValue(border), 0);
        EXPECT_GT(GetBValue(border), 100);
        EXPECT_LT(GetBValue(border), 200);
        COLORREF inside = DibGetPixel(d, 15, 10);
        EXPECT_GT(GetBValue(inside), GetRValue(inside));
        EXPECT_GT(Luma(inside), 150);
        DibFree(d);
    }
}

TEST(FrameImage, LooksDifferByFlags) {
    DibBlock* d = Ground(60, 20, 32);
    ASSERT_TRUE(DrawFrameImage(d, 0, 0, 20, 20, DFI_COLOR, RGB(200, 100, 0)));
    ASSERT_TRUE(DrawFrameImage(d, 20, 0, 20, 20, DFI_COLOR | DFI_PRESSED, RGB(200, 100, 0)));
    ASSERT_TRUE(DrawFrameImage(d, 40, 0, 20, 20, DFI_COLOR | DFI_NOFILL, RGB(200, 100, 0)));
    // Pressed is darker than the raised look.
    EXPECT_LT(Luma(DibGetPixel(d, 30, 10)), Luma(DibGetPixel(d, 10, 10)));
    // Without fill the inside keeps the ground, the border is drawn.
    EXPECT_EQ(DibGetPixel(d, 50, 10), kGround);
    EXPECT_NE(DibGetPixel(d, 40, 10), kGround);
    DibFree(d);

    // The split parts keep square corners where they meet.
    d = Ground(40, 20, 32);
    ASSERT_TRUE(DrawFrameImage(d, 0, 0, 20, 20, DFI_SPLIT_MAIN));
    ASSERT_TRUE(DrawFrameImage(d, 20, 0, 20, 20, DFI_SPLIT_DROP));
    EXPECT_EQ(DibGetPixel(d, 0, 0), kGround);
    EXPECT_NE(DibGetPixel(d, 19, 0), kGround);
    EXPECT_NE(DibGetPixel(d, 20, 0), kGround);
    EXPECT_EQ(DibGetPixel(d, 39, 0), kGround);
    DibFree(d);
}

TEST(FrameImage, ClipsAtTheEdgesAndRefusesBadInput) {
    DibBlock* d = Ground(10, 10, 32);
    ASSERT_TRUE(DrawFrameImage(d, -5, -5, 12, 12, 0));
    EXPECT_NE(DibGetPixel(d, 0, 3), kGround);   // the fill reaches in
    EXPECT_EQ(DibGetPixel(d, 9, 9), kGround);
    ASSERT_TRUE(DrawFrameImage(d, 8, 8, 30, 30, 0));
    EXPECT_FALSE(DrawFrameImage(d, 0, 0, 2, 10, 0));
    EXPECT_FALSE(DrawFrameImage(nullptr, 0, 0, 10, 10, 0));
    DibFree(d);
    DibBlock* pal = DibCreate(10, 10, 8);
    EXPECT_FALSE(DrawFrameImage(pal, 0, 0, 5, 5, 0));
    DibFree(pal);
}

}  // namespace
