#include "provider/ClientFaxItem.h"

#include <cstddef>

#include "provider/StatusBlock.h"

namespace corvisk {

#define SAME_MEMBER(member) \
  static_assert(offsetof(FAX_DEV_STATUS, member) == offsetof(DevStatusBlock, member), "status layout: " #member)
static_assert(sizeof(FAX_DEV_STATUS) == sizeof(DevStatusBlock), "status layout: size");
SAME_MEMBER(SizeOfStruct);
SAME_MEMBER(StatusId);
SAME_MEMBER(StringId);
SAME_MEMBER(PageCount);
SAME_MEMBER(CSI);
SAME_MEMBER(CallerId);
SAME_MEMBER(RoutingInfo);
SAME_MEMBER(ErrorCode);
SAME_MEMBER(Reserved);
#undef SAME_MEMBER
static_assert(sizeof(WCHAR) == sizeof(char16_t), "status texts are UTF-16");

CClientFaxItem::CClientFaxItem(HANDLE completionPort, ULONG_PTR completionKey, DWORD deviceId)
    : m_hCompletionPort(completionPort), m_completionKey(completionKey), m_dwDeviceId(deviceId) {}

CClientFaxItem::~CClientFaxItem() = default;

void CClientFaxItem::BeginRun() {
  m_dwStatusId = FS_INITIALIZING;
  m_dwErrorCode = 0;
  m_dwStringId = 0;
}

void CClientFaxItem::PostStatus() {
  const DWORD needed = GetStatusSize();
  auto* block = static_cast<FAX_DEV_STATUS*>(ProviderAlloc(needed));
  if (!block) return;
  FillStatus(block, needed);
  // Once posted, the block belongs to the fax service, which frees it.
  if (!PostQueuedCompletionStatus(m_hCompletionPort, needed, m_completionKey, reinterpret_cast<OVERLAPPED*>(block)))
    ProviderFree(block);
}

void CClientFaxItem::UpdateStatus() {}

void CClientFaxItem::OnAbort() {}

DWORD CClientFaxItem::GetStatusSize() {
  JobStatus status;
  status.callerId = m_callerId;
  status.routingInfo = m_routingInfo;
  status.csi = m_csi;
  return MeasureStatus(status);
}

void CClientFaxItem::FillStatus(FAX_DEV_STATUS* buffer, DWORD size) {
  JobStatus status;
  status.statusId = m_dwStatusId;
  status.stringId = m_dwStringId;
  status.errorCode = m_dwErrorCode;
  status.pageCount = m_dwPageCount;
  status.callerId = m_callerId;
  status.routingInfo = m_routingInfo;
  status.csi = m_csi;
  PackStatus(buffer, size, status);
}

}  // namespace corvisk
