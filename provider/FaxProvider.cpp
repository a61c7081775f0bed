#include "provider/FaxProvider.h"

namespace corvisk {
namespace {
constexpr DWORD kNoJobsPollMs = 1500;
}  // namespace

CClientFaxItem* CFaxProvider::FindJob(HANDLE handle) const {
  // The handle is compared as an address only; it is not dereferenced here.
  const auto found = jobs_.find(static_cast<CClientFaxItem*>(handle));
  return found != jobs_.end() ? *found : nullptr;
}

bool CFaxProvider::AddJob(CClientFaxItem* job) {
  CriticalSectionGuard guard(lock_);
  try {
    if (!jobs_.insert(job).second) return false;
  } catch (const std::bad_alloc&) {
    return false;
  }
  ++jobCount_;
  return true;
}

bool CFaxProvider::RemoveJob(HANDLE handle) {
  CriticalSectionGuard guard(lock_);
  const size_t removed = jobs_.erase(static_cast<CClientFaxItem*>(handle));
  jobCount_ -= static_cast<DWORD>(removed);
  return removed > 0;
}

BoolResult CFaxProvider::RunJob(HANDLE handle, const std::function<BOOL(CClientFaxItem&)>& run) {
  constexpr BoolResult kNoJob{FALSE, static_cast<DWORD>(E_UNEXPECTED)};
  CClientFaxItem* job = nullptr;
  {
    CriticalSectionGuard guard(lock_);
    job = FindJob(handle);
    if (!job) return kNoJob;
    job->BeginRun();
    job->PostStatus();
  }
  // The job runs without the lock so that status queries and aborts are served.
  const BOOL succeeded = run(*job);
  CriticalSectionGuard guard(lock_);
  if (!FindJob(handle)) return kNoJob;
  job->PostStatus();
  return {succeeded, succeeded ? 0 : job->ErrorCode()};
}

BoolResult CFaxProvider::SendJob(HANDLE handle, FAX_SEND* send) {
  return RunJob(handle, [send](CClientFaxItem& job) { return job.Send(send); });
}

BoolResult CFaxProvider::ReceiveJob(HANDLE handle, FAX_RECEIVE* receive) {
  return RunJob(handle, [receive](CClientFaxItem& job) { return job.Receive(receive); });
}

bool CFaxProvider::ReportJobStatus(HANDLE handle, FAX_DEV_STATUS* buffer, DWORD size, DWORD* sizeRequired) {
  CriticalSectionGuard guard(lock_);
  CClientFaxItem* job = FindJob(handle);
  if (!job) return false;
  job->UpdateStatus();
  const DWORD needed = job->GetStatusSize();
  if (!buffer && size == 0) {
    if (!sizeRequired) return false;
    *sizeRequired = needed;
    return true;
  }
  if (sizeRequired) *sizeRequired = needed;
  if (!buffer || size < sizeof(FAX_DEV_STATUS)) return false;
  job->FillStatus(buffer, size < needed ? size : needed);
  return true;
}

bool CFaxProvider::AbortJob(HANDLE handle) {
  CriticalSectionGuard guard(lock_);
  CClientFaxItem* job = FindJob(handle);
  if (!job) return false;
  job->MarkAborted();
  job->OnAbort();
  return true;
}

void CFaxProvider::WaitForNoJobs() {
  for (;;) {
    {
      CriticalSectionGuard guard(lock_);
      if (jobCount_ == 0) return;
    }
    Sleep(kNoJobsPollMs);
  }
}

}  // namespace corvisk
