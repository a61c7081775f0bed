#include "jobdetails/JobDetails.h"

#include <utility>

#include "platform/FaxServerConnection.h"
#include "win32/AnsiText.h"
#include "win32/ExceptionBoundary.h"
#include "win32/PlatformVersion.h"
#include "win32/ReturnIfFailed.h"
#include "win32/Variant.h"

namespace corvisk {

namespace {

using namespace faxcomex;

constexpr char kDeviceZeroTrace[] = "GetJobID() called with device id == 0\r\n";
constexpr char kFailedText[] = "Failed in GetJobID";
constexpr char kUnexpectedText[] = "Failed in GetJobID - unexpected exception\r\n";
constexpr char kEmailFailedText[] = "Failed to obtain email address in GetJobID - unexpected exception";

std::string ReadText(const unique_bstr& text) { return ToAnsi(text.get(), static_cast<int>(text.length())); }

HRESULT ListOutgoingJobs(IFaxServer* server, com_ptr<IFaxOutgoingJobs>& jobs, CallCheck& check) {
  com_ptr<IFaxFolders> folders;
  CORVISK_RETURN_IF_FAILED(check(server->get_Folders(folders.put()), server, folders));
  com_ptr<IFaxOutgoingQueue> queue;
  CORVISK_RETURN_IF_FAILED(check(folders->get_OutgoingQueue(queue.put()), folders.get(), queue));
  return check(queue->GetJobs(jobs.put()), queue.get(), jobs);
}

HRESULT IsInProgressOn(IFaxOutgoingJob* job, long deviceId, bool& matches, CallCheck& check) {
  long jobDevice = 0;
  CORVISK_RETURN_IF_FAILED(check(job->get_DeviceId(&jobDevice), job));
  FAX_JOB_STATUS_ENUM status{};
  CORVISK_RETURN_IF_FAILED(check(job->get_Status(&status), job));
  matches = jobDevice == deviceId && (status & fjsINPROGRESS) != 0;
  return S_OK;
}

// The first job in the queue's order that the device is sending; none when
// no job matches.
HRESULT FindInProgressJob(IFaxOutgoingJobs* jobs, long deviceId, com_ptr<IFaxOutgoingJob>& found, CallCheck& check) {
  long count = 0;
  CORVISK_RETURN_IF_FAILED(check(jobs->get_Count(&count), jobs));
  for (long index = 1; index <= count; ++index) {
    com_ptr<IFaxOutgoingJob> job;
    CORVISK_RETURN_IF_FAILED(check(jobs->get_Item(unique_variant::FromLong(index).get(), job.put()), jobs, job));
    bool matches = false;
    CORVISK_RETURN_IF_FAILED(IsInProgressOn(job.get(), deviceId, matches, check));
    if (matches) {
      found = std::move(job);
      return S_OK;
    }
  }
  return S_OK;
}

HRESULT FindJobWithId(long deviceId, com_ptr<IFaxOutgoingJob>& job, std::string& jobId, CallCheck& check) {
  com_ptr<IFaxServer> server;
  CORVISK_RETURN_IF_FAILED(ConnectLocalFaxServer(server, check));
  com_ptr<IFaxOutgoingJobs> jobs;
  CORVISK_RETURN_IF_FAILED(ListOutgoingJobs(server.get(), jobs, check));
  CORVISK_RETURN_IF_FAILED(FindInProgressJob(jobs.get(), deviceId, job, check));
  if (!job) return S_OK;
  unique_bstr id;
  CORVISK_RETURN_IF_FAILED(check(job->get_Id(id.put()), job.get()));
  jobId = ReadText(id);
  return S_OK;
}

HRESULT ReadEmail(IFaxSender* sender, std::string& email) {
  unique_bstr text;
  CORVISK_RETURN_IF_FAILED(sender->get_Email(text.put()));
  email = ReadText(text);
  return S_OK;
}

// The sender's own address, or the default sender's when it has none.
HRESULT ReadSenderEmail(IFaxOutgoingJob* job, std::string& email) {
  com_ptr<IFaxSender> sender;
  CORVISK_RETURN_IF_FAILED(job->get_Sender(sender.put()));
  CORVISK_RETURN_IF_FAILED(NotNull(sender));
  CORVISK_RETURN_IF_FAILED(ReadEmail(sender.get(), email));
  if (!email.empty()) return S_OK;
  CORVISK_RETURN_IF_FAILED(sender->LoadDefaultSender());
  return ReadEmail(sender.get(), email);
}

bool IsServer52OrLater() {
  const PlatformVersion version = QueryPlatformVersion();
  return version.IsServer() && version.AtLeast(5, 2);
}

// A failure here costs only the address: the job's id stays, the lookup
// succeeds, and only server editions say why the address is missing.
void AddSenderEmail(IFaxOutgoingJob* job, JobDetails& details) {
  const bool failed = ReturnOnException(true, [&] { return FAILED(ReadSenderEmail(job, details.email)); });
  if (failed && IsServer52OrLater()) details.diagnostic = kEmailFailedText;
}

HRESULT LookUpJob(DWORD deviceId, JobDetails& details) {
  details.jobId.clear();
  details.email.clear();
  details.diagnostic.clear();
  // The device sits in the identifier's upper half, as its prefix.
  const long device = static_cast<long>(deviceId >> 16);
  if (device == 0) OutputDebugStringA(kDeviceZeroTrace);
  CallCheck check;
  com_ptr<IFaxOutgoingJob> job;
  const HRESULT result = FindJobWithId(device, job, details.jobId, check);
  if (FAILED(result)) {
    details.diagnostic = kFailedText;
    if (!check.Description().empty()) details.diagnostic += " : " + check.Description();
    details.diagnostic += "\r\n";
    return result;
  }
  if (job) AddSenderEmail(job.get(), details);
  return S_OK;
}

}  // namespace

// Finds the job that the device (its identifier's upper 16 bits) is
// sending and reads its id and sender address. Returns 0 whenever the
// search ran, also when no job matched; otherwise the failed call's HRESULT
// with a diagnostic text. The calling thread has initialised COM.
HRESULT GetJobID(DWORD deviceId, JobDetails& details) noexcept {
  return ReturnHresultWithText(details.diagnostic, kUnexpectedText, [&] { return LookUpJob(deviceId, details); });
}

}  // namespace corvisk
