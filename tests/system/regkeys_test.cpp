// CRegKeys against the real registry: modes, subkeys, value types, oversized values, deletion.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "framework/String.h"
#include "system/RegKeys.h"

namespace {

class RegKeysTest : public ::testing::Test {
protected:
    void SetUp() override {
        char name[64];
        snprintf(name, sizeof name, "VmSysTest%lu", GetCurrentProcessId());
        m_app = name;
        CRegKeys::SetAppName(name);
        m_path = std::string("Software\\QV\\") + name;
    }
    void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, m_path.c_str()); }

    std::string m_app, m_path;
};

}  // namespace

TEST_F(RegKeysTest, ModesOpenReadWriteCreate) {
    EXPECT_STREQ(CRegKeys::GetAppKeyPath(), m_path.c_str());
    CRegKeys r;
    EXPECT_FALSE(r.Open(nullptr, nullptr, 0));  // missing key, read mode
    EXPECT_FALSE(r.Open(nullptr, nullptr, 1));  // missing key, write mode
    EXPECT_TRUE(r.Open(nullptr, nullptr, 2));   // created
    DWORD v = 1234;
    EXPECT_TRUE(r.SetValue(&v, 4, "CacheSize", REG_DWORD));
    r.CloseAll();

    EXPECT_TRUE(r.Open(nullptr, nullptr, 0));
    DWORD got = 0;
    EXPECT_TRUE(r.QueryValue(&got, 4, "CacheSize", REG_DWORD));
    EXPECT_EQ(got, 1234u);
    EXPECT_FALSE(r.SetValue(&v, 4, "Other", REG_DWORD));  // read mode refuses writes
    // A path below HKCU and an explicit root reach the same key.
    CRegKeys r2;
    EXPECT_TRUE(r2.Open(nullptr, m_path.c_str(), 1));
    got = 0;
    EXPECT_TRUE(r2.QueryValue(&got, 4, "CacheSize", REG_DWORD));
    EXPECT_EQ(got, 1234u);
    CRegKeys r3;
    EXPECT_TRUE(r3.Open(HKEY_CURRENT_USER, m_path.c_str(), 0));
    EXPECT_TRUE(r3.QueryValue(&got, 4, "CacheSize", REG_DWORD));
}

TEST_F(RegKeysTest, SubkeysStackAndCreation) {
    CRegKeys w;
    ASSERT_TRUE(w.Open(nullptr, nullptr, 2));
    EXPECT_TRUE(w.OpenSubKey("Executes"));
    EXPECT_TRUE(w.OpenSubKey("Menu1"));
    EXPECT_TRUE(w.SetString("Liste", "Name"));
    EXPECT_TRUE(w.CloseKey());
    EXPECT_TRUE(w.OpenSubKey("Menu2"));
    EXPECT_TRUE(w.SetString(CString("Zweite"), "Name"));
    w.CloseAll();
    EXPECT_FALSE(w.CloseKey());
    EXPECT_FALSE(w.OpenSubKey("x"));  // nothing open

    CRegKeys r;
    ASSERT_TRUE(r.Open(nullptr, nullptr, 0));
    EXPECT_TRUE(r.OpenSubKey("Executes"));
    EXPECT_FALSE(r.OpenSubKey("Menu9"));  // read mode does not create
    EXPECT_TRUE(r.OpenSubKey("Menu2"));
    CString s;
    EXPECT_TRUE(r.QueryString(s, "Name"));
    EXPECT_STREQ(s, "Zweite");
    r.CloseKey();
    EXPECT_TRUE(r.OpenSubKey("Menu1"));
    EXPECT_TRUE(r.QueryString(s, "Name"));
    EXPECT_STREQ(s, "Liste");
    EXPECT_FALSE(r.QueryString(s, "Missing"));
    EXPECT_TRUE(s.IsEmpty());

    // The stack has a depth limit.
    CRegKeys deep;
    ASSERT_TRUE(deep.Open(nullptr, nullptr, 2));
    int pushed = 0;
    while (deep.OpenSubKey("d")) ++pushed;
    EXPECT_EQ(pushed, CRegKeys::MaxDepth - 1);
}

TEST_F(RegKeysTest, StringValuesAreBoundedAndTerminated) {
    CRegKeys w;
    ASSERT_TRUE(w.Open(nullptr, nullptr, 2));
    EXPECT_TRUE(w.SetString("Blenkor.exe", "Blenkor"));
    // Handed over without terminator (Wine adds one on its own).
    DWORD type = 0, cb = 0;
    ASSERT_EQ(RegQueryValueExA(w.GetKey(), "Blenkor", nullptr, &type, nullptr, &cb), ERROR_SUCCESS);
    EXPECT_EQ(type, DWORD(REG_SZ));
    EXPECT_TRUE(cb == 11u || cb == 12u) << cb;

    char buf[32];
    memset(buf, 'X', sizeof buf);
    EXPECT_TRUE(w.QueryValue(buf, sizeof buf, "Blenkor", REG_SZ));
    EXPECT_STREQ(buf, "Blenkor.exe");
    // Exactly fitting: 11 bytes and the terminator.
    char fit[12];
    memset(fit, 'X', sizeof fit);
    EXPECT_TRUE(w.QueryValue(fit, sizeof fit, "Blenkor", REG_SZ));
    EXPECT_STREQ(fit, "Blenkor.exe");
    // One byte short: refused, and nothing written.
    char guard[16];
    memset(guard, 'Q', sizeof guard);
    EXPECT_FALSE(w.QueryValue(guard, 11, "Blenkor", REG_SZ));
    for (char c : guard) EXPECT_EQ(c, 'Q');
    // A long value never overruns the buffer.
    std::string big(5000, 'z');
    EXPECT_TRUE(w.SetString(big.c_str(), "Big"));
    memset(guard, 'Q', sizeof guard);
    EXPECT_FALSE(w.QueryValue(guard, 8, "Big", REG_SZ));
    for (char c : guard) EXPECT_EQ(c, 'Q');
    CString all;
    EXPECT_TRUE(w.QueryString(all, "Big"));
    EXPECT_EQ(all.GetLength(), 5000);
    // A value stored with its terminator reads the same.
    ASSERT_EQ(RegSetValueExA(w.GetKey(), "WithNul", 0, REG_SZ, reinterpret_cast<const BYTE*>("abc"), 4), ERROR_SUCCESS);
    EXPECT_TRUE(w.QueryValue(buf, sizeof buf, "WithNul", REG_SZ));
    EXPECT_STREQ(buf, "abc");
    EXPECT_TRUE(w.QueryString(all, "WithNul"));
    EXPECT_EQ(all.GetLength(), 3);
    // Wrong type: buffer untouched.
    DWORD d = 5;
    EXPECT_TRUE(w.SetValue(&d, 4, "Num", REG_DWORD));
    memset(guard, 'Q', sizeof guard);
    EXPECT_FALSE(w.QueryValue(guard, sizeof guard, "Num", REG_SZ));
    EXPECT_EQ(guard[0], 'Q');
    DWORD dw = 77;
    EXPECT_FALSE(w.QueryValue(&dw, 4, "Blenkor", REG_DWORD));
    EXPECT_EQ(dw, 77u);
    EXPECT_FALSE(w.QueryValue(&dw, 2, "Num", REG_DWORD));  // too small for a DWORD
    EXPECT_EQ(dw, 77u);
    EXPECT_FALSE(w.SetValue(&d, 2, "Num", REG_DWORD));
}

TEST_F(RegKeysTest, MultiStringsAllocAndTerminate) {
    CRegKeys w;
    ASSERT_TRUE(w.Open(nullptr, nullptr, 2));
    const char multi[] = "*.c;*.cpp\0*.h\0\0";
    EXPECT_TRUE(w.SetValue(multi, sizeof multi - 1, "FilterPlus", REG_MULTI_SZ));
    char* p = nullptr;
    int size = 0;
    ASSERT_TRUE(w.QueryValueAlloc(&p, "FilterPlus", REG_MULTI_SZ, &size));
    EXPECT_EQ(size, int(sizeof multi - 1));
    EXPECT_EQ(memcmp(p, multi, sizeof multi - 1), 0);
    free(p);
    // Stored without the final NULs: the copy still ends with two.
    ASSERT_EQ(RegSetValueExA(w.GetKey(), "Bare", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>("ab"), 2),
              ERROR_SUCCESS);
    ASSERT_TRUE(w.QueryValueAlloc(&p, "Bare", REG_MULTI_SZ, &size));
    EXPECT_EQ(p[0], 'a');
    EXPECT_EQ(p[1], 'b');
    EXPECT_EQ(p[size], 0);
    EXPECT_EQ(p[size + 1], 0);
    free(p);
    EXPECT_FALSE(w.QueryValueAlloc(&p, "Missing", REG_MULTI_SZ));
    EXPECT_EQ(p, nullptr);
    EXPECT_FALSE(w.QueryValueAlloc(&p, "Bare", REG_SZ));
    EXPECT_EQ(p, nullptr);
}

TEST_F(RegKeysTest, DeleteKeyAndEnumValueNames) {
    CRegKeys w;
    ASSERT_TRUE(w.Open(nullptr, nullptr, 2));
    ASSERT_TRUE(w.OpenSubKey("Executes"));
    ASSERT_TRUE(w.OpenSubKey("Menu3"));
    ASSERT_TRUE(w.OpenSubKey("Deeper"));
    DWORD one = 1;
    w.SetValue(&one, 4, "x", REG_DWORD);
    w.CloseKey();
    w.SetString("a", "Name");
    w.SetValue(&one, 4, "Execute1", REG_DWORD);
    w.SetValue(&one, 4, "Param1", REG_DWORD);

    std::string names;
    for (int i = 0;; ++i) {
        const char* n = w.EnumValueName(i);
        if (!n) break;
        names += n;
        names += ',';
    }
    EXPECT_EQ(names.size(), std::string("Name,Execute1,Param1,").size());
    EXPECT_NE(names.find("Execute1,"), std::string::npos);
    EXPECT_EQ(w.EnumValueName(3), nullptr);
    w.CloseKey();

    EXPECT_TRUE(w.DeleteKey("Menu3"));  // with its subkey
    CRegKeys r;
    ASSERT_TRUE(r.Open(nullptr, nullptr, 0));
    ASSERT_TRUE(r.OpenSubKey("Executes"));
    EXPECT_FALSE(r.OpenSubKey("Menu3"));
    EXPECT_FALSE(r.DeleteKey("Menu3"));  // read mode
}
