// Packs, updates, lists, extracts and tests zip archives with CZipFile, for the peer checks.
//   archive_tool pack <archive> <method> <level> <prefix> <path>...
//       method: default store deflate bzip2 lzma xz ppmd; a folder path is packed with its
//       sub-folders, a file path as that file (the application's road: one AddFiles per file)
//   archive_tool packlist <archive> <method> <level> <folder>
//       the zip dialog's road: the folder listed once, then each file added from its record
//       (AddListedFile) under its folder relative to the listed one
//   archive_tool add <archive> <path> <name>       update mode, deferred add of one file
//   archive_tool delete <archive> <name>...        update mode
//   archive_tool many <archive> <count>            count small entries from memory
//   archive_tool list <archive>                    name, sizes, crc, method, attributes, time
//   archive_tool test <archive> [password]         tests every entry
//   archive_tool extract <archive> <folder> [password]
// Arguments come in the ANSI code page (Wine converts them); the output is UTF-8. Each line of output that
// reports a failure starts with "error <code>"; the exit code is the first error code (0 ok).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/CodePage.h"
#include "system/DirList.h"
#include "zip/ZipFile.h"

namespace {

using testcommon::ToUtf8;

// The error text on one line.
std::string OneLine(const char *text) {
  std::string s = ToUtf8(text);
  for (char &c : s)
    if (c == '\n') c = ' ';
  return s;
}

int Report(CZipFile &zip, int rc, const char *what) {
  if (rc) std::printf("error %d %s:%s\n", rc, what, OneLine(zip.GetErrorText()).c_str());
  return rc;
}

int MethodOf(const char *name) {
  static const struct {
    const char *name;
    int method;
  } kMethods[] = {{"default", -1}, {"store", 0}, {"deflate", 8}, {"bzip2", 12},
                  {"lzma", 14},    {"xz", 95},   {"ppmd", 98}};
  for (const auto &m : kMethods)
    if (!std::strcmp(name, m.name)) return m.method;
  return -3;
}

int Pack(int argc, char **argv) {
  if (argc < 7) return 2;
  std::string archive = argv[2];
  int method = MethodOf(argv[3]);
  if (method == -3) return 2;
  CZipFile zip;
  int rc = zip.Open(archive.c_str(), 3 | ZIP_OPT_RECURSE, 9);
  if (Report(zip, rc, "open")) return rc;
  zip.SetMethod(method);
  if (method != -1 && method != 0) zip.GetLevel(std::atoi(argv[4]));
  std::string prefix = argv[5];
  int first = 0;
  for (int i = 6; i < argc; ++i) {
    std::string path = argv[i];
    int added = zip.AddFiles(path.c_str(), nullptr, nullptr, prefix.c_str());
    if (added < 0 && !first) first = zip.GetLastError();
    std::printf("added %d\n", added);
  }
  rc = zip.Close();
  Report(zip, rc, "close");
  return first ? first : rc;
}

int PackList(int argc, char **argv) {
  if (argc < 6) return 2;
  int method = MethodOf(argv[3]);
  if (method == -3) return 2;
  CZipFile zip;
  int rc = zip.Open(argv[2], 3, 9);
  if (Report(zip, rc, "open")) return rc;
  zip.SetMethod(method);
  if (method != -1 && method != 0) zip.GetLevel(std::atoi(argv[4]));
  CDirList list;
  list.Open(argv[5], CDirList::DL_RECURSE, nullptr, nullptr);
  int added = 0;
  for (int i = 0; i < list.m_nCount; ++i) {
    const DirEntry *e = list.GetEntry(i);
    std::string folder(e->RelPath(), e->Name());
    if (zip.AddListedFile(*e, folder.c_str()) > 0) ++added;
  }
  std::printf("added %d\n", added);
  rc = zip.Close();
  return Report(zip, rc, "close");
}

int Add(int argc, char **argv) {
  if (argc < 5) return 2;
  CZipFile zip;
  int rc = zip.Open(argv[2], 2, 9);
  if (Report(zip, rc, "open")) return rc;
  rc = zip.AddFile(argv[3], argv[4]);
  if (Report(zip, rc, "add")) {
    zip.Abort();
    return rc;
  }
  rc = zip.Close();
  return Report(zip, rc, "close");
}

int Delete(int argc, char **argv) {
  if (argc < 4) return 2;
  CZipFile zip;
  int rc = zip.Open(argv[2], 2, 9);
  if (Report(zip, rc, "open")) return rc;
  for (int i = 3; i < argc; ++i) {
    int index = zip.FindEntry(argv[i]);
    rc = index < 0 ? -1 : zip.DeleteEntry(index);
    if (Report(zip, rc, argv[i])) {
      zip.Abort();
      return rc;
    }
  }
  rc = zip.Close();
  return Report(zip, rc, "close");
}

int Many(int argc, char **argv) {
  if (argc < 4) return 2;
  int count = std::atoi(argv[3]);
  CZipFile zip;
  int rc = zip.Open(argv[2], 3, 9);
  if (Report(zip, rc, "open")) return rc;
  zip.SetOptions(ZIP_OPT_NO_LOOKUP);
  char name[64], text[64];
  ArchiveFileInfo info = {};
  info.attributes = FILE_ATTRIBUTE_ARCHIVE;
  info.writeTime = 1626352496;
  for (int i = 0; i < count; ++i) {
    std::snprintf(name, sizeof name, "d%02d/f%05d.txt", i % 50, i);
    int n = std::snprintf(text, sizeof text, "Eintrag %d\n", i);
    rc = zip.AddMemory(name, text, static_cast<uint32_t>(n), &info);
    if (rc > 1) return Report(zip, rc, name);
  }
  rc = zip.Close();
  return Report(zip, rc, "close");
}

int List(int argc, char **argv) {
  if (argc < 3) return 2;
  CZipFile zip;
  int rc = zip.Open(argv[2], 1, 9);
  if (Report(zip, rc, "open")) return rc;
  for (int i = 0; i < zip.GetEntryCount(); ++i) {
    std::printf("%s\t%llu\t%llu\t%d\n", ToUtf8(zip.GetEntryName(i)).c_str(),
                static_cast<unsigned long long>(zip.GetEntrySize(i, 0)),
                static_cast<unsigned long long>(zip.GetEntrySize(i, 1)), zip.GetEntryState(i));
  }
  zip.Close();
  return 0;
}

int Test(int argc, char **argv) {
  if (argc < 3) return 2;
  CZipFile zip;
  int rc = zip.Open(argv[2], 1, 9);
  if (Report(zip, rc, "open")) return rc;
  if (argc > 3) zip.SetPassword(argv[3]);
  int first = 0;
  for (int i = 0; i < zip.GetEntryCount(); ++i) {
    rc = zip.TestEntry(i);
    if (rc && !first) first = rc;
    if (!Report(zip, rc, "test")) std::printf("ok %s\n", ToUtf8(zip.GetEntryName(i)).c_str());
  }
  zip.Close();
  return first;
}

int Extract(int argc, char **argv) {
  if (argc < 4) return 2;
  CZipFile zip;
  int rc = zip.Open(argv[2], 1, 9);
  if (Report(zip, rc, "open")) return rc;
  if (argc > 4) zip.SetPassword(argv[4]);
  std::string folder = argv[3];
  int first = 0;
  for (int i = 0; i < zip.GetEntryCount(); ++i) {
    rc = zip.ExtractToFile(i, folder.c_str());
    if (rc && !first) first = rc;
    if (!Report(zip, rc, "extract")) std::printf("ok %s\n", ToUtf8(zip.GetEntryName(i)).c_str());
  }
  zip.Close();
  return first;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 2) return 2;
  std::string command = argv[1];
  int rc = 2;
  if (command == "pack") rc = Pack(argc, argv);
  else if (command == "packlist") rc = PackList(argc, argv);
  else if (command == "add") rc = Add(argc, argv);
  else if (command == "delete") rc = Delete(argc, argv);
  else if (command == "many") rc = Many(argc, argv);
  else if (command == "list") rc = List(argc, argv);
  else if (command == "test") rc = Test(argc, argv);
  else if (command == "extract") rc = Extract(argc, argv);
  std::fflush(stdout);
  return rc < 0 ? 255 : rc;
}
