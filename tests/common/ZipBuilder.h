// Builds archive bytes for the zip tests: entries with their data as stored, then the
// directory and the end records.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "common/LeBytes.h"

namespace testcommon {

// Kinds of data descriptor the builder writes behind an entry's data.
enum Descriptor { kNoDescriptor, kDescriptor16, kDescriptor12, kDescriptor24 };

// Builds archive bytes entry by entry, stored data, then the directory and end records.
class ArchiveBuilder {
 public:
  struct Entry {
    std::string name;       // raw bytes as stored
    std::string data;
    uint16_t flags = 0;
    uint32_t dosTime = 0x52EF6000;  // 2021-07-15 12:00:00
    uint32_t attributes = 0x20;
    Descriptor descriptor = kNoDescriptor;
    std::string centralExtra;
    std::string localExtra;
    std::string comment;
    std::string localName;  // when set, the local header carries this name instead
    uint16_t method = 0;
    uint16_t version = 10;         // needed to extract
    uint16_t madeBy = 0x031E;
    int64_t size = -1;             // uncompressed; -1: the data's size (stored data)
    int64_t crc = -1;              // -1: the data's CRC
    std::string trailer;           // raw bytes behind the data (a hand-made descriptor)
    uint64_t offset = 0;
  };

  std::string bytes;  // everything written so far (junk may be put in front)
  std::vector<Entry> entries;

  void Add(const Entry &e0) {
    Entry e = e0;
    e.offset = bytes.size();
    if (e.crc < 0) e.crc = Crc(e.data);
    if (e.size < 0) e.size = static_cast<int64_t>(e.data.size());
    const uint32_t crc = static_cast<uint32_t>(e.crc);
    const uint32_t usize = static_cast<uint32_t>(e.size);
    bool dd = e.descriptor != kNoDescriptor;
    uint16_t flags = e.flags | (dd ? 8 : 0);
    const std::string &localName = e.localName.empty() ? e.name : e.localName;
    Le32(bytes, 0x04034B50);
    Le16(bytes, e.version);
    Le16(bytes, flags);
    Le16(bytes, e.method);
    Le32(bytes, e.dosTime);
    Le32(bytes, dd ? 0 : crc);
    Le32(bytes, dd ? 0 : static_cast<uint32_t>(e.data.size()));
    Le32(bytes, dd ? 0 : usize);
    Le16(bytes, static_cast<uint32_t>(localName.size()));
    Le16(bytes, static_cast<uint32_t>(e.localExtra.size()));
    bytes += localName + e.localExtra + e.data + e.trailer;
    switch (e.descriptor) {
      case kDescriptor16:
        Le32(bytes, 0x08074B50);
        Le32(bytes, crc);
        Le32(bytes, static_cast<uint32_t>(e.data.size()));
        Le32(bytes, static_cast<uint32_t>(e.data.size()));
        break;
      case kDescriptor12:
        Le32(bytes, crc);
        Le32(bytes, static_cast<uint32_t>(e.data.size()));
        Le32(bytes, static_cast<uint32_t>(e.data.size()));
        break;
      case kDescriptor24:
        Le32(bytes, 0x08074B50);
        Le32(bytes, crc);
        Le64(bytes, e.data.size());
        Le64(bytes, e.data.size());
        break;
      default:
        break;
    }
    entries.push_back(e);
  }

  std::string Central(uint64_t offsetShift = 0) const {
    std::string c;
    for (const Entry &e : entries) {
      Le32(c, 0x02014B50);
      Le16(c, e.madeBy);
      Le16(c, e.version);
      Le16(c, e.flags | (e.descriptor != kNoDescriptor ? 8 : 0));
      Le16(c, e.method);
      Le32(c, e.dosTime);
      Le32(c, static_cast<uint32_t>(e.crc));
      Le32(c, static_cast<uint32_t>(e.data.size()));
      Le32(c, static_cast<uint32_t>(e.size));
      Le16(c, static_cast<uint32_t>(e.name.size()));
      Le16(c, static_cast<uint32_t>(e.centralExtra.size()));
      Le16(c, static_cast<uint32_t>(e.comment.size()));
      Le16(c, 0);
      Le16(c, 0);
      Le32(c, e.attributes);
      Le32(c, static_cast<uint32_t>(e.offset - offsetShift));
      c += e.name + e.centralExtra + e.comment;
    }
    return c;
  }

  // Appends the directory and the end record (with Zip64 records when asked). The
  // directory offset written is relative to offsetShift (data put in front later).
  std::string Finish(const std::string &comment = "", bool zip64 = false,
                     bool offsetMaxInEnd = false, uint64_t offsetShift = 0) {
    std::string out = bytes;
    uint64_t start = out.size();
    out += Central(offsetShift);
    uint64_t size = out.size() - start;
    uint64_t count = entries.size();
    if (zip64) {
      uint64_t record = out.size();
      Le32(out, 0x06064B50);
      Le64(out, 44);
      Le16(out, 45);
      Le16(out, 45);
      Le32(out, 0);
      Le32(out, 0);
      Le64(out, count);
      Le64(out, count);
      Le64(out, size);
      Le64(out, start - offsetShift);
      Le32(out, 0x07064B50);
      Le32(out, 0);
      Le64(out, record - offsetShift);
      Le32(out, 1);
    }
    Le32(out, 0x06054B50);
    Le16(out, 0);
    Le16(out, 0);
    Le16(out, count > 0xFFFF ? 0xFFFF : static_cast<uint32_t>(count));
    Le16(out, count > 0xFFFF ? 0xFFFF : static_cast<uint32_t>(count));
    Le32(out, static_cast<uint32_t>(size));
    Le32(out, offsetMaxInEnd ? 0xFFFFFFFFu : static_cast<uint32_t>(start - offsetShift));
    Le16(out, static_cast<uint32_t>(comment.size()));
    out += comment;
    return out;
  }
};

inline ArchiveBuilder::Entry MakeEntry(const std::string &name, const std::string &data,
                                       Descriptor d = kNoDescriptor) {
  ArchiveBuilder::Entry e;
  e.name = name;
  e.data = data;
  e.descriptor = d;
  return e;
}

}  // namespace testcommon
