// CMapFile and CStream: mapping rules, writing through a mapping, line reading in pieces.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "system/MapFile.h"
#include "system/support/SysTestUtil.h"

using systest::TempDir;

TEST(MapFile, ReadWriteAndFailures) {
    TempDir dir;
    std::string f = dir / "data.bin";
    ASSERT_TRUE(systest::WriteFileBytes(f, "Hallo Welt"));
    CMapFile m;
    BYTE* p = m.Open(f.c_str());
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(m.m_dwSize, 10u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(p), 10), "Hallo Welt");
    // Reading does not lock others out of writing.
    HANDLE h = CreateFileA(f.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(h, INVALID_HANDLE_VALUE);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    m.Close();
    EXPECT_EQ(m.m_pData, nullptr);

    p = m.Open(f.c_str(), CMapFile::ReadWrite);
    ASSERT_NE(p, nullptr);
    p[0] = 'h';
    p[6] = 'w';
    m.Close();
    EXPECT_EQ(systest::ReadFileBytes(f), "hallo welt");

    // An explicit size grows a file opened for writing.
    p = m.Open(f.c_str(), CMapFile::ReadWrite, nullptr, 16);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(m.m_dwSize, 16u);
    memcpy(p + 10, "!!!!!!", 6);
    m.Close();
    EXPECT_EQ(systest::ReadFileBytes(f), "hallo welt!!!!!!");
    // ... but reading past the end is refused.
    EXPECT_EQ(m.Open(f.c_str(), 0, nullptr, 100), nullptr);

    std::string empty = dir / "empty.txt";
    ASSERT_TRUE(systest::WriteFileBytes(empty, ""));
    EXPECT_EQ(m.Open(empty.c_str()), nullptr);
    EXPECT_EQ(m.Open(empty.c_str(), CMapFile::ReadWrite), nullptr);
    EXPECT_EQ(m.Open((dir / "missing").c_str()), nullptr);
    EXPECT_EQ(m.Open(dir.Path().c_str()), nullptr);
    EXPECT_EQ(m.Open(nullptr), nullptr);
    EXPECT_FALSE(m.IsOpen());
    // A file of 4 GB or more is refused rather than mapped in part.
    std::string big = dir / "big.bin";
    ASSERT_TRUE(systest::MakeLargeFile(big, 0x100000010LL));
    EXPECT_EQ(m.Open(big.c_str()), nullptr);
    EXPECT_EQ(m.m_dwSize, 0u);
}

namespace {

std::vector<std::string> ReadAllLines(const std::string& path, int size) {
    CStream s(16);  // a tiny buffer makes line ends cross buffer edges
    std::vector<std::string> lines;
    if (!s.Open(path.c_str(), CStream::ModeRead)) return lines;
    std::vector<char> buf(size_t(size) + 1, '#');
    int n;
    while ((n = s.ReadLine(buf.data(), size)) >= 0) {
        EXPECT_EQ(buf[size_t(n)], 0);
        lines.emplace_back(buf.data(), size_t(n));
    }
    s.Close();
    return lines;
}

using V = std::vector<std::string>;

}  // namespace

TEST(Stream, ReadLineEnds) {
    TempDir dir;
    std::string f = dir / "lines.txt";
    ASSERT_TRUE(systest::WriteFileBytes(f, "a\r\nbb\rccc\n\n\r\rlast"));
    EXPECT_EQ(ReadAllLines(f, 100), (V{"a", "bb", "ccc", "", "", "", "last"}));
    // LF CR is two line ends.
    ASSERT_TRUE(systest::WriteFileBytes(f, "x\n\ry\n"));
    EXPECT_EQ(ReadAllLines(f, 100), (V{"x", "", "y"}));
    ASSERT_TRUE(systest::WriteFileBytes(f, ""));
    EXPECT_EQ(ReadAllLines(f, 100), V{});
    ASSERT_TRUE(systest::WriteFileBytes(f, "\r\n"));
    EXPECT_EQ(ReadAllLines(f, 100), V{""});
    // CR LF split across the 16-byte buffer edge.
    ASSERT_TRUE(systest::WriteFileBytes(f, "0123456789abcde\r\nnext"));
    EXPECT_EQ(ReadAllLines(f, 100), (V{"0123456789abcde", "next"}));
}

TEST(Stream, LongLinesComeInPieces) {
    TempDir dir;
    std::string f = dir / "long.txt";
    std::string line(25, 'x');
    line[9] = '1';
    line[19] = '2';
    ASSERT_TRUE(systest::WriteFileBytes(f, line + "\r\n" + std::string(10, 'y') + "\nz"));
    // size 11: pieces of 10 bytes; a line end right after a full piece ends that piece.
    EXPECT_EQ(ReadAllLines(f, 11), (V{line.substr(0, 10), line.substr(10, 10), line.substr(20), std::string(10, 'y'), "z"}));
    // A line of exactly size-1 bytes gives no extra empty line, whatever its end.
    ASSERT_TRUE(systest::WriteFileBytes(f, std::string(10, 'a') + "\r" + std::string(10, 'b') + "\r\n" + "c"));
    EXPECT_EQ(ReadAllLines(f, 11), (V{std::string(10, 'a'), std::string(10, 'b'), "c"}));
    CStream s;
    char tiny[1];
    ASSERT_TRUE(s.Open(f.c_str(), CStream::ModeRead));
    EXPECT_EQ(s.ReadLine(tiny, 1), -1);
}

TEST(Stream, WriteReadRoundTrip) {
    TempDir dir;
    std::string f = dir / "out.bin";
    std::string data;
    for (int i = 0; i < 100000; ++i) data += char('a' + i % 26);
    {
        CStream s(1000);
        ASSERT_TRUE(s.Open(f.c_str(), CStream::ModeCreate));
        EXPECT_EQ(s.Write(data.data(), 12345), 12345);
        EXPECT_EQ(s.Write(data.data() + 12345, int(data.size()) - 12345), int(data.size()) - 12345);
        EXPECT_EQ(s.ReadLine(nullptr, 0), -1);  // not a read stream
        EXPECT_TRUE(s.Close());
    }
    EXPECT_EQ(systest::ReadFileBytes(f), data);
    CStream r(777);
    ASSERT_TRUE(r.Open(f.c_str(), CStream::ModeRead));
    std::string back(data.size(), 0);
    EXPECT_EQ(r.Read(&back[0], int(back.size())), int(data.size()));
    EXPECT_EQ(back, data);
    EXPECT_EQ(r.Read(&back[0], 10), 0);
    EXPECT_EQ(r.Write("x", 1), 0);
    EXPECT_FALSE(r.Open((dir / "missing").c_str(), CStream::ModeRead));
    EXPECT_FALSE(r.Open(f.c_str(), 1));
    // Create empties an existing file.
    CStream c;
    ASSERT_TRUE(c.Open(f.c_str(), CStream::ModeCreate));
    EXPECT_TRUE(c.Close());
    EXPECT_EQ(systest::ReadFileBytes(f), "");
}
