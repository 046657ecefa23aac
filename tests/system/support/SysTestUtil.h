// Helpers of the system-service tests: temporary folders and files.
#pragma once

#include <windows.h>

#include <string>

#include "common/TempTree.h"

namespace systest {

// A fresh folder below the temporary folder, removed with everything in it at destruction.
class TempDir : public testcommon::TempDir {
public:
    TempDir() : testcommon::TempDir("vmsys_") {}
};

// Whole files (WriteFileBytes: false on failure), folder trees (RemoveTree clears read-only
// marks first) and the folder of the running test program (with a trailing separator).
using testcommon::ExeDir;
using testcommon::MakeLargeFile;   // a file of a given size without writing its bytes
using testcommon::ReadFileBytes;
using testcommon::RemoveTree;
using testcommon::SetTimes;
using testcommon::WriteFileBytes;

}  // namespace systest
