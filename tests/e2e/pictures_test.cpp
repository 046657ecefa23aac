// The README's pictures: the program on a small sample project after a text search, an open
// menu with its icons, and the two search dialogs, saved as bitmaps into the folder named by VM_PICTURES_DIR. Skipped when
// that variable is not set (scripts/pictures.sh sets it and turns the bitmaps into PNG files).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "e2e/support/AppSession.h"
#include "e2e/support/E2eDriver.h"

using namespace e2e;

namespace {

const int kTextSearch = 32772, kHexSearch = 32773, kFileList = 21396;
const char kSample[] = "C:\\Beispiel\\Projekt";

// Copies a screen area into a 24-bit bitmap file.
bool SaveScreen(RECT r, const std::string &path) {
  int w = r.right - r.left, h = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateCompatibleBitmap(screen, w, h);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  SelectObject(mem, old);
  BITMAPINFOHEADER bi = {sizeof bi, w, h, 1, 24, BI_RGB};
  DWORD stride = (w * 3 + 3) & ~3u;
  std::string bits(stride * h, '\0');
  GetDIBits(mem, bmp, 0, h, &bits[0], reinterpret_cast<BITMAPINFO *>(&bi), DIB_RGB_COLORS);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  BITMAPFILEHEADER fh = {0x4D42, DWORD(sizeof fh + sizeof bi + bits.size()), 0, 0, sizeof fh + sizeof bi};
  std::string out(reinterpret_cast<char *>(&fh), sizeof fh);
  out.append(reinterpret_cast<char *>(&bi), sizeof bi);
  out += bits;
  return testcommon::WriteFileBytes(path, out);
}

bool SaveWindow(HWND hwnd, const std::string &path) {
  RECT r;
  return GetWindowRect(hwnd, &r) && SaveScreen(r, path);
}

void WriteSample(const std::string &rel, const std::string &text) {
  std::string path = std::string(kSample) + "\\" + rel;
  for (size_t i = 3; (i = path.find('\\', i)) != std::string::npos; ++i) CreateDirectoryA(path.substr(0, i).c_str(), nullptr);
  ASSERT_TRUE(testcommon::WriteFileBytes(path, text));
}

}  // namespace

TEST(Pictures, MainWindowAndSearchDialogs) {
  const char *out = std::getenv("VM_PICTURES_DIR");
  if (!out || !*out) GTEST_SKIP() << "VM_PICTURES_DIR not set";
  std::string dir = std::string(out) + "\\";
  DeleteUserKey(kAppKey);
  WriteSample("src\\puffer.c",
              "#include \"puffer.h\"\r\n\r\n/* Legt einen Puffer an. */\r\nint puffer_anlegen(Puffer *p, int groesse)\r\n{\r\n"
              "    if (groesse <= 0)\r\n        return -1;\r\n    p->daten = malloc(groesse);\r\n    return p->daten ? 0 : -1;\r\n}\r\n");
  WriteSample("src\\puffer.h", "typedef struct { char *daten; int groesse; } Puffer;\r\nint puffer_anlegen(Puffer *p, int groesse);\r\n");
  WriteSample("src\\main.c", "int main(void)\r\n{\r\n    Puffer p;\r\n    return puffer_anlegen(&p, 4096);\r\n}\r\n");
  WriteSample("doc\\einstellungen.xml", "<einstellungen>\r\n  <puffer groesse=\"4096\"/>\r\n  <name>Beispiel</name>\r\n</einstellungen>\r\n");
  WriteSample("doc\\liesmich.txt", "Das Beispielprojekt legt einen Puffer an.\r\n");
  Process p;
  ASSERT_TRUE(p.Start(ProgramPath(), Quote(kSample) + " -p:*"));
  HWND main = WaitMain(p);
  ASSERT_NE(nullptr, main);
  SetWindowPos(main, nullptr, 0, 0, 900, 640, SWP_NOZORDER | SWP_NOACTIVATE);
  ASSERT_EQ(5, SettledCount(p, FindChildById(main, kFileList)));

  PostCommand(main, kTextSearch);
  HWND dlg = WaitTopWindow(p.Pid(), "Text suchen", 10000);
  ASSERT_NE(nullptr, dlg);
  SetText(GetDlgItem(dlg, 1001), "puffer");
  DWORD_PTR r = 0;  // ignore case, clicked at once so that the picture shows it
  SendMessageTimeoutA(GetDlgItem(dlg, 1045), BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 5000, &r);
  Sleep(800);
  EXPECT_TRUE(SaveWindow(dlg, dir + "text-search.bmp"));
  ClickButton(dlg, IDOK);
  ASSERT_TRUE(WaitWindowGone(dlg, 10000));
  ASSERT_TRUE(WaitFor([&] { return Responds(main) && !FindTopWindow(p.Pid(), "Textsuche") && !JobRunsUnseen(p.Pid(), main); },
                      30000));
  Sleep(800);
  EXPECT_TRUE(SaveWindow(main, dir + "main-window.bmp"));


  PostCommand(main, kHexSearch);
  dlg = WaitTopWindow(p.Pid(), "Wert suchen", 10000);
  ASSERT_NE(nullptr, dlg);
  Sleep(800);
  EXPECT_TRUE(SaveWindow(dlg, dir + "value-search.bmp"));
  ClickButton(dlg, IDCANCEL);
  WaitWindowGone(dlg, 10000);
  // The "Bearbeiten" menu open, as Alt+B opens it, with its icons.
  SetForegroundWindow(main);
  PostMessageA(main, WM_SYSCOMMAND, SC_KEYMENU, 'b');
  Sleep(500);
  PostMessageA(main, WM_KEYDOWN, VK_DOWN, 0);
  PostMessageA(main, WM_KEYDOWN, VK_DOWN, 0);
  Sleep(800);
  // The whole width, so that the caption buttons show too.
  RECT area;
  GetWindowRect(main, &area);
  area.bottom = area.top + 470;
  EXPECT_TRUE(SaveScreen(area, dir + "menu.bmp"));
  SendMessageTimeoutA(main, WM_CANCELMODE, 0, 0, SMTO_ABORTIFHUNG, 5000, nullptr);
  Sleep(300);
  EXPECT_TRUE(CloseMain(p, main));
  DeleteUserKey(kAppKey);
}
