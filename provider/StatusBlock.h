#pragma once
// Measuring and packing the status block that the provider hands to the fax
// service. Platform-neutral: DevStatusBlock mirrors FAX_DEV_STATUS member for
// member (the Windows build checks that the two layouts agree).
#include <cstdint>
#include <string_view>

namespace corvisk {

struct DevStatusBlock {
  uint32_t SizeOfStruct;
  uint32_t StatusId;
  uint32_t StringId;
  uint32_t PageCount;
  char16_t* CSI;
  char16_t* CallerId;
  char16_t* RoutingInfo;
  uint32_t ErrorCode;
  uint32_t Reserved[3];
};

// What a job reports: its recorded outcome and three optional texts.
struct JobStatus {
  uint32_t statusId = 0;
  uint32_t stringId = 0;
  uint32_t errorCode = 0;
  uint32_t pageCount = 0;
  std::u16string_view callerId;
  std::u16string_view routingInfo;
  std::u16string_view csi;
};

// The fixed part plus room for each non-empty text with its terminator.
uint32_t MeasureStatus(const JobStatus& status);

// Fills size bytes of buffer; a buffer below the fixed size is left alone.
// Texts that do not fit whole are left out (null pointer, no room taken).
void PackStatus(void* buffer, uint32_t size, const JobStatus& status);

}  // namespace corvisk
