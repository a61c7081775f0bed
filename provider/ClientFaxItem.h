#pragma once
// A job of the fax service. The address of the object is the job handle the
// service holds; the provider's job set decides whether a handle is live.
#include <atomic>
#include <string>

#include "platform/FaxDev.h"
#include "provider/ProviderHeap.h"

namespace corvisk {

using ProviderText = std::basic_string<char16_t, std::char_traits<char16_t>, ProviderAllocator<char16_t>>;

class CClientFaxItem : public ProviderObject {
 public:
  CClientFaxItem(HANDLE completionPort, ULONG_PTR completionKey, DWORD deviceId);
  CClientFaxItem(const CClientFaxItem&) = delete;
  CClientFaxItem& operator=(const CClientFaxItem&) = delete;

  // The order of these operations is the job's interface; keep it.
  virtual ~CClientFaxItem();
  virtual BOOL Send(FAX_SEND* send) = 0;
  virtual BOOL Receive(FAX_RECEIVE* receive) = 0;
  virtual void PostStatus();
  virtual void UpdateStatus();
  virtual void OnAbort();
  virtual DWORD GetStatusSize();
  virtual void FillStatus(FAX_DEV_STATUS* buffer, DWORD size);

  // The start of a send or receive: status FS_INITIALIZING, no error.
  void BeginRun();
  void MarkAborted() { m_bAborted = true; }
  DWORD ErrorCode() const { return m_dwErrorCode; }

 protected:
  HANDLE m_hCompletionPort;
  ULONG_PTR m_completionKey;
  // Written by the send without the provider's lock while status queries
  // and aborts read them on other threads.
  std::atomic<bool> m_bAborted{false};
  std::atomic<DWORD> m_dwStatusId{0};
  std::atomic<DWORD> m_dwErrorCode{0};
  DWORD m_dwStringId = 0;
  DWORD m_dwDeviceId;
  ProviderText m_callerId;
  ProviderText m_routingInfo;
  ProviderText m_csi;
  std::atomic<DWORD> m_dwPageCount{0};
};

}  // namespace corvisk
