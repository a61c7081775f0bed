#pragma once
// How the fax document routines fail: a closed set of fault kinds, each with
// one line of text and one error code for the job, and the place in the
// document where the fault lies. Platform-neutral.
#include <cstdint>
#include <string>

namespace corvisk {

enum class TiffFault : uint8_t {
  None,
  CannotOpen,
  CannotCreate,
  CannotRead,
  CannotWrite,
  OutOfMemory,
  NotTiff,
  BigEndian,
  BeyondEnd,
  DirectoryLoop,
  TooManyDirectories,
  TooManyEntries,
  NoKeptEntry,
  NoStrip,
  MultipleStrips,
  TooLarge,
};

// Where a fault lies, as far as the routine that found it knows.
struct TiffPlace {
  uint32_t page = 0;    // 1-based; 0 when the fault is not on a page
  int32_t tag = -1;     // the entry at fault; -1 for none
  int64_t offset = -1;  // the file offset at fault; -1 for none
  uint64_t fileSize = 0;
  bool countPastEnd = false;  // BeyondEnd: the count runs past the end, not the offset
};

struct TiffStatus {
  TiffFault fault = TiffFault::None;
  uint32_t systemError = 0;  // the platform's code for the four I/O kinds, else 0
  TiffPlace place;

  explicit operator bool() const { return fault == TiffFault::None; }
};

inline TiffStatus Fail(TiffFault fault, uint32_t systemError = 0) { return {fault, systemError, {}}; }

// A region of `size` bytes at `offset` that does not fit in the file: blames
// the offset when it lies past the end, else the end the count reaches.
TiffStatus PastEnd(uint64_t offset, uint64_t size, uint64_t fileSize);
TiffStatus AtOffset(TiffStatus status, uint64_t offset);
TiffStatus AtTag(TiffStatus status, uint16_t tag);
TiffStatus OnPage(TiffStatus status, uint32_t page);

const char* DescribeTiffFault(TiffFault fault);
// The fault with its place, for administrators: "page 3: StripByteCounts
// (279): count points past the end of the file (offset 1,204,332, file
// 1,204,000 bytes)", with the system's text for the I/O kinds.
std::string DescribeTiffStatus(const TiffStatus& status);
// "StripByteCounts (279)"; "tag 300 (300)" for a tag without a name here.
std::string DescribeTiffTag(uint16_t tag);
// The code a job records: the system error for I/O kinds, E_OUTOFMEMORY when
// memory ran out, E_UNEXPECTED for a malformed document.
uint32_t ErrorCodeOf(const TiffStatus& status);
// The platform's own text for a system error code, on one line.
std::string DescribeSystemError(uint32_t code);

}  // namespace corvisk
