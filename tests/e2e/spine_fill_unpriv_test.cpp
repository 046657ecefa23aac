// Run as the unprivileged user, for whom Wine keeps the read-only mark: a file whose path passes
// the length limit counts as left out only when the read-only choice of "Dateien hinzufügen"
// would have taken it.
#include <gtest/gtest.h>

#include <string>

#include "e2e/support/AppSession.h"
#include "e2e/support/FillCases.h"
#include "common/LongPaths.h"

using namespace e2e;
using namespace testcommon;

namespace {


// a.txt, and a .txt of 262 characters, read-only or not.
std::function<std::string(TempTree &)> LongText(bool readOnly) {
  return [readOnly](TempTree &t) {
    const std::string &r = t.Root();
    t.Write("a.txt", "a");
    std::string f = PaddedPath(r, 262, 't', ".txt");
    EXPECT_TRUE(MakeLongFile(f));
    if (readOnly) EXPECT_TRUE(SetLongAttributes(f, FILE_ATTRIBUTE_READONLY));
    return r.substr(0, r.size() - 1);
  };
}

}  // namespace

TEST(SpineFillUnpriv, ReadOnlyChoiceJudgesLongFiles) {
  DeleteUserKey(kAppKey);
  FillChoices onlyReadOnly, notReadOnly;
  onlyReadOnly.plus = notReadOnly.plus = "*.txt";
  onlyReadOnly.writeProtection = 1050;
  notReadOnly.writeProtection = 1032;
  const FillCase cases[] = {
      {"only read-only, the long file is not", LongText(false), "", onlyReadOnly, "", 0},
      {"only read-only, the long file is", LongText(true), "", onlyReadOnly, kLeftOutOne, 0},
      {"not read-only, the long file is", LongText(true), "", notReadOnly, "", 1},
      {"not read-only, the long file is not", LongText(false), "", notReadOnly, kLeftOutOne, 1},
  };
  for (const FillCase &c : cases) RunDialogFill(c);
  DeleteUserKey(kAppKey);
}
