// Finding the sibling programs and the protocol with a running text or hex tool.
#include "app/SiblingProgs.h"

#include <cstring>

#include "system/Paths.h"
#include "system/RegKeys.h"
#include "text/Match.h"

namespace {

enum Base { FromProgramDir, FromWindowsDir, Absolute };

struct Candidate {
  Base base;
  const char* path;
};

struct ProgramPlaces {
  const char* valueName;
  Candidate candidates[3];
  int count;
};

const ProgramPlaces kPlaces[] = {
    {"Blenkor",
     {{FromProgramDir, "..\\Blenkor\\Blenkor.exe"}, {FromProgramDir, "Blenkor.exe"}, {FromWindowsDir, "Notepad.exe"}},
     3},
    {"Quorbital",
     {{Absolute, "C:\\Windows\\Quorbital.exe"}, {FromProgramDir, "Quorbital.exe"}, {FromWindowsDir, "Quorbital.exe"}},
     3},
    {"Sorbelquist",
     {{Absolute, "C:\\Windows\\Sorbelquist.exe"},
      {FromProgramDir, "Sorbelquist.exe"},
      {FromWindowsDir, "Sorbelquist.exe"}},
     3},
    {"Sorbelquist", {{FromProgramDir, "Sorbelquist.exe"}, {FromWindowsDir, "Sorbelquist.exe"}}, 2},
    {"Mardenplotz", {{FromProgramDir, "Mardenplotz.exe"}, {FromWindowsDir, "Mardenplotz.exe"}}, 2},
    {"Trellobrisant",
     {{FromProgramDir, "..\\Tools\\Trellobrisant.exe"}, {FromProgramDir, "Trellobrisant.exe"}},
     2},
};

bool IsFile(const char* path) { return path[0] && PathGetKindA(path) == 1; }

}  // namespace

BOOL FindSiblingProgram(int program, char* path) {
  path[0] = 0;
  if (program < 0 || program >= int(sizeof kPlaces / sizeof kPlaces[0])) return FALSE;
  const ProgramPlaces& places = kPlaces[program];
  {
    CRegKeys reg;
    if (reg.Open(nullptr, nullptr, 2) && reg.QueryValue(path, MAX_PATH, places.valueName, REG_SZ)) {
      path[MAX_PATH - 1] = 0;
      if (IsFile(path)) return TRUE;
    }
  }
  char programDir[MAX_PATH];
  if (!GetProgramDirectoryA(programDir, sizeof programDir)) programDir[0] = 0;
  char windowsDir[MAX_PATH];
  UINT n = ::GetWindowsDirectoryA(windowsDir, sizeof windowsDir);
  if (n == 0 || n >= sizeof windowsDir) windowsDir[0] = 0;
  for (int i = 0; i < places.count; ++i) {
    const Candidate& c = places.candidates[i];
    const char* folder = c.base == FromProgramDir ? programDir : c.base == FromWindowsDir ? windowsDir : nullptr;
    if (folder) {
      if (!folder[0] || PathJoinA(-1, path, folder, c.path, MAX_PATH) < 0) continue;
    } else {
      StrLCpy(path, c.path, MAX_PATH);
    }
    if (IsFile(path)) return TRUE;
  }
  path[0] = 0;
  return FALSE;
}

void SiblingLineParams(int line, LPARAM params[2]) {
  int n = line - 1;  // lines go from 0 on the wire
  int back = n - 5 > 0 ? n - 5 : 0;
  params[0] = LPARAM(DWORD(n & 0xFFFF) << 16);
  params[1] = LPARAM(DWORD(back & 0xFFFF) << 16);
}

void SiblingOffsetParams(int offset, LPARAM params[2]) {
  params[0] = LPARAM(offset);
  params[1] = LPARAM(offset - 80);  // may go below 0: the tool takes it as it is
}

BOOL SiblingSend(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* answer) {
  DWORD_PTR result = 0;
  *answer = 0;
  if (!window || !::SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL | SMTO_ABORTIFHUNG,
                                        kSiblingSendMs, &result))
    return FALSE;
  *answer = LRESULT(result);
  return TRUE;
}

BOOL OpenInSibling(CStartProg& prog, HWND active, const char* path, UINT positionMessage, const LPARAM params[2]) {
  if (!prog.IsRunning()) return FALSE;
  HWND window = prog.FindMainWindow(kSiblingWindowWaitMs);
  if (!window) return FALSE;
  COPYDATASTRUCT cds;
  cds.dwData = COPYDATA_OPEN_FILE;
  cds.cbData = DWORD(strlen(path) + 1);
  cds.lpData = const_cast<char*>(path);
  LRESULT answer = 0;
  if (!SiblingSend(window, WM_COPYDATA, WPARAM(active), LPARAM(&cds), &answer)) return FALSE;
  if (answer == 0) {
    // Not taken: asked once more; a hang here ends the exchange as well.
    cds.dwData = COPYDATA_OPEN_FILE_RETRY;
    if (!SiblingSend(window, WM_COPYDATA, WPARAM(active), LPARAM(&cds), &answer)) return FALSE;
  }
  if (positionMessage) {
    if (!SiblingSend(window, positionMessage, 0, params[0], &answer)) return FALSE;
    if (!SiblingSend(window, positionMessage, 2, params[1], &answer)) return FALSE;
  }
  prog.ActivateMainWindow();
  return TRUE;
}

BOOL StartSibling(CStartProg& prog, const char* program, const char* const* args, int argCount) {
  prog.Reset();
  CString exe("?");
  exe += program;  // taken as it is, whatever it begins with
  prog.SetProgram(exe);
  for (int i = 0; i < argCount; ++i) prog.AddArg(args[i]);
  if (!prog.Start(0)) return FALSE;
  prog.WaitForInputIdle(kSiblingIdleWaitMs);
  return TRUE;
}

BOOL StartSourceCompare(const char* exe, const char* listedFile, const char* counterpart) {
  CStartProg prog;
  const char* args[3] = {listedFile, counterpart, "-S"};
  bool sources = PathMatchExtensionListA(listedFile, "c;cpp;h;hpp;asm;inl") != 0 ||
                 PathMatchExtensionListA(counterpart, "c;cpp;h;hpp;asm") != 0;
  return StartSibling(prog, exe, args, sources ? 3 : 2);
}
