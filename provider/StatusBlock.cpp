#include "provider/StatusBlock.h"

#include <cstring>

#include "platform/FaxStatus.h"

namespace corvisk {
namespace {

constexpr uint32_t kFixedSize = sizeof(DevStatusBlock);

uint32_t TextRoom(std::u16string_view text) {
  return text.empty() ? 0 : static_cast<uint32_t>((text.size() + 1) * sizeof(char16_t));
}

bool ReportsPageCount(uint32_t statusId) {
  return statusId == FS_TRANSMITTING || statusId == FS_RECEIVING || statusId == FS_COMPLETED;
}

// Copies text behind the used part of the block if it fits whole; returns
// where the copy starts, or null when it was left out.
char16_t* PackText(unsigned char* block, uint32_t size, uint32_t& used, std::u16string_view text) {
  const uint32_t room = TextRoom(text);
  if (room == 0 || room > size - used) return nullptr;
  auto* copy = reinterpret_cast<char16_t*>(block + used);
  std::memcpy(copy, text.data(), text.size() * sizeof(char16_t));
  copy[text.size()] = u'\0';
  used += room;
  return copy;
}

}  // namespace

uint32_t MeasureStatus(const JobStatus& status) {
  return kFixedSize + TextRoom(status.callerId) + TextRoom(status.routingInfo) + TextRoom(status.csi);
}

void PackStatus(void* buffer, uint32_t size, const JobStatus& status) {
  if (size < kFixedSize) return;
  auto* bytes = static_cast<unsigned char*>(buffer);
  std::memset(bytes, 0, size);
  auto* block = static_cast<DevStatusBlock*>(buffer);
  block->SizeOfStruct = size;
  block->StatusId = status.statusId;
  block->StringId = status.stringId;
  block->ErrorCode = status.errorCode;
  if (ReportsPageCount(status.statusId)) block->PageCount = status.pageCount;
  uint32_t used = kFixedSize;
  block->CallerId = PackText(bytes, size, used, status.callerId);
  block->RoutingInfo = PackText(bytes, size, used, status.routingInfo);
  block->CSI = PackText(bytes, size, used, status.csi);
}

}  // namespace corvisk
