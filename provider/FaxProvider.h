#pragma once
// The provider's registry of live jobs. A job handle from the fax service is
// used as an object only after it was found in the set under the lock.
#include <functional>
#include <set>

#include "provider/ClientFaxItem.h"
#include "win32/CriticalSection.h"
#include "win32/ExceptionBoundary.h"

namespace corvisk {

class CFaxProvider : public ProviderObject {
 public:
  bool AddJob(CClientFaxItem* job);
  bool RemoveJob(HANDLE handle);
  // Run the job's send or receive: its result with the job's error code,
  // or E_UNEXPECTED when the handle names no live job.
  BoolResult SendJob(HANDLE handle, FAX_SEND* send);
  BoolResult ReceiveJob(HANDLE handle, FAX_RECEIVE* receive);
  bool ReportJobStatus(HANDLE handle, FAX_DEV_STATUS* buffer, DWORD size, DWORD* sizeRequired);
  bool AbortJob(HANDLE handle);
  // Returns once no job is left, checking every 1500 ms.
  void WaitForNoJobs();

 private:
  using JobSet = std::set<CClientFaxItem*, std::less<CClientFaxItem*>, ProviderAllocator<CClientFaxItem*>>;

  CClientFaxItem* FindJob(HANDLE handle) const;
  BoolResult RunJob(HANDLE handle, const std::function<BOOL(CClientFaxItem&)>& run);

  CriticalSection lock_;
  JobSet jobs_;
  DWORD jobCount_ = 0;
};

}  // namespace corvisk
