// Helpers of the zip format tests: a temporary folder, files from byte strings, a small
// builder of archive bytes, and a format object that records the events it raises.
#pragma once
#include <windows.h>
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/LeBytes.h"
#include "common/TempTree.h"
#include "common/ZipBuilder.h"
#include "zip/ZipFormat.h"

namespace zipfmt {

using testcommon::Crc;
using testcommon::Le16;
using testcommon::Le32;
using testcommon::Le64;
using testcommon::Rd16;
using testcommon::Rd32;
using testcommon::Rd64;
using testcommon::ReadFileBytes;
using testcommon::WriteFileBytes;
using testcommon::ArchiveBuilder;
using testcommon::Descriptor;
using testcommon::kNoDescriptor;
using testcommon::kDescriptor12;
using testcommon::kDescriptor16;
using testcommon::kDescriptor24;
using testcommon::MakeEntry;

// A folder of its own under the temporary folder, removed with everything in it at the end.
class TempDir : public testcommon::TempDir {
 public:
  TempDir() : testcommon::TempDir("zipfmt_") {}
  std::string File(const std::string &name) const { return *this / name; }
};

// A format object over a file or a block, recording events and answering as told.
class TestFormat : public CZipFormat {
 public:
  std::vector<std::pair<int, int>> events;
  int cancelEvent = -1;

  int OpenBytes(const std::string &bytes) {
    block_ = bytes;
    return m_io.OpenMemory(block_.empty() ? nullptr : &block_[0],
                           static_cast<uint32_t>(block_.size()),
                           static_cast<uint32_t>(block_.size()), 0, 0);
  }
  int Read(const std::string &bytes, unsigned options = 0, int mode = 1) {
    OpenBytes(bytes);
    SetOptionBits(options);
    return ReadDirectory(mode);
  }

 protected:
  int RaiseFormatEvent(int event, int index) override {
    events.emplace_back(event, index);
    return event == cancelEvent ? 1 : 0;
  }

 private:
  std::string block_;
};

}  // namespace zipfmt
