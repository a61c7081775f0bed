// The send procedure: one fax job becomes one e-mail to the T.37 gateway.
// Every file it makes is owned by a unique_temp_file, so each way out of
// Send, an escaping exception included, removes the job's files.
#include <optional>

#include "common/MailAddress.h"
#include "common/Product.h"
#include "provider/Diagnostics.h"
#include "provider/FaxMessage.h"
#include "provider/FaxNumber.h"
#include "provider/JobLookup.h"
#include "provider/MessageDispatch.h"
#include "provider/PreprocessCommand.h"
#include "provider/T37ClientFaxItem.h"
#include "tiff/TiffT37.h"
#include "settings/SettingsStore.h"
#include "win32/AnsiText.h"

namespace corvisk {
namespace {

constexpr char kTempPrefix[] = "CorviskFSP";
constexpr DWORD kLookupDelayMs = 1000;

// The name without its last four characters, followed by suffix.
std::string ReplaceTail(const std::string& name, const char* suffix) {
  return name.substr(0, name.size() >= 4 ? name.size() - 4 : 0) + suffix;
}

std::string TempFolder() {
  char folder[MAX_PATH + 1] = "";
  const DWORD length = GetTempPathA(sizeof folder, folder);
  return length > 0 && length <= MAX_PATH ? std::string(folder, length) : std::string(".");
}

// The gateway reads the fax number from the local part.
std::string Recipient(const std::string& number, const std::string& gatewayDomain) {
  return gatewayDomain.empty() ? number : number + "@" + gatewayDomain;
}

std::string NotConfiguredText() { return std::string(kProductName) + LoadProviderString(IDS_NOT_CONFIGURED); }

}  // namespace

BOOL CT37ClientFaxItem::Send(FAX_SEND* send) {
  if (!send) return FALSE;
  ProviderSettings settings;
  if (!ReadSettings(settings)) return FALSE;
  const std::string gatewayDomain = GatewayDomain();
  const std::string number = DestinationNumber(ToAnsi(send->ReceiverNumber), settings.internationalPrefix);
  if (!CheckDestinationNumber(number)) return FALSE;

  // The placeholder reserves the name the job's files derive from; it goes
  // last, with them, so no concurrent send can draw the same name meanwhile.
  unique_temp_file placeholder;
  unique_temp_file working;
  if (!MakeWorkingCopy(send->FileName, placeholder, working)) return FALSE;
  EnterComApartment();
  if (!PrepareDocument(settings, working)) return FALSE;
  uint32_t pages = 0;
  if (!CountTiffPages(ToWide(working.path()), pages)) pages = 0;
  if (CheckAborted()) return FALSE;

  m_dwErrorCode = 0;
  FaxMessage message{Recipient(number, gatewayDomain), settings.notifyAddress, number};
  if (!m_bLegacyFax && !AddJobDetails(message)) return FALSE;
  std::string errorText;
  const HRESULT result = DispatchFaxMessage(settings, message, working.path(), errorText);
  return RecordOutcome(result, errorText, pages);
}

// Reads the settings key; a missing key or required value fails the job as
// not configured. The log follows "DebugOutput" from the moment it is read.
bool CT37ClientFaxItem::ReadSettings(ProviderSettings& settings) {
  const SettingsReadResult result =
      ReadProviderSettings(settings, [this](bool debugOutput) { m_bLogEnabled = debugOutput; });
  if (result.failure == SettingsFailure::None) return true;
  OnError(result.error);
  LogEventText(kEventError, NotConfiguredText());
  return false;
}

// The number becomes the recipient's local part and the subject: anything
// but one plain local part could add recipients or header lines, and with
// them hand the gateway password to anyone who may send a fax. Checked
// before any file is made, so a refused job leaves nothing behind.
bool CT37ClientFaxItem::CheckDestinationNumber(const std::string& number) {
  const AddressCheck check = CheckMailLocalPart(number);
  if (check) return true;
  OnError(ERROR_INVALID_PARAMETER);
  const std::string text =
      "Fax number not sent because " + DescribeAddressFault(check) + ": \"" + ShowEscaped(number) + "\"";
  LogEventText(kEventError, text);
  Log(text + "\r\n");
  return false;
}

// Copies the document to a private working file in the temporary folder,
// named after the placeholder that the platform creates to reserve a name.
bool CT37ClientFaxItem::MakeWorkingCopy(const wchar_t* document, unique_temp_file& placeholder,
                                        unique_temp_file& working) {
  char tempName[MAX_PATH] = "";
  if (!GetTempFileNameA(TempFolder().c_str(), kTempPrefix, 0, tempName)) {
    FailStep(GetLastError(), "GetTempFileName()");
    return false;
  }
  placeholder.reset(tempName);
  std::string name = tempName;
  name.replace(name.size() - 2, 2, "if");
  // Owned before the copy starts: a copy that fails part-way leaves nothing.
  working.reset(name);
  if (!CopyFileA(ToAnsi(document).c_str(), working.path().c_str(), FALSE)) {
    FailStep(GetLastError(), "CopyFile()");
    return false;
  }
  return true;
}

// The thread belongs to the fax service: COM is entered, never left.
void CT37ClientFaxItem::EnterComApartment() const {
  if (m_bVistaOrLater)
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  else
    CoInitialize(nullptr);
}

// Retags, preprocesses and restructures the working file, with the abort
// checkpoints between the steps.
bool CT37ClientFaxItem::PrepareDocument(const ProviderSettings& settings, unique_temp_file& working) {
  if (!ProcessTiffTags(ToWide(working.path()), kTagT4Options, kTagT6Options)) Log("ProcessTiffTags() failed\r\n");
  if (RunPreProcessCommand(settings.preprocessCommand, working) == PreprocessOutcome::Failed) return false;
  if (CheckAborted()) return false;
  if (!RestructureForGateway(working)) return false;
  return !CheckAborted();
}

bool CT37ClientFaxItem::RestructureForGateway(unique_temp_file& working) {
  unique_temp_file destination(ReplaceTail(working.path(), "37.tif"));
  const TiffStatus status = RestructureTiffFile(ToWide(working.path()), ToWide(destination.path()));
  if (!status) {
    FailStep(ErrorCodeOf(status), "RestructureTiffFile()");
    // The event keeps its fixed text; the job's log also says where the document is at fault.
    Log("RestructureTiffFile() failed: " + DescribeTiffStatus(status) + "\r\n");
    return false;
  }
  working = std::move(destination);
  return true;
}

// Waits for the fax service to list the job, then asks for its details.
bool CT37ClientFaxItem::AddJobDetails(FaxMessage& message) {
  Sleep(kLookupDelayMs);
  JobDetails details;
  const bool viaServer = m_bServer52OrLater;
  const HRESULT result = viaServer ? GetSuppJobDetails(kLookupDeviceId, details) : GetJobID(kLookupDeviceId, details);
  if (!details.diagnostic.empty()) Log(details.diagnostic);
  if (result == S_OK) {
    if (!details.jobId.empty()) message.subject += " JobID:" + details.jobId;
    if (viaServer && !details.email.empty()) UseJobSender(details.email, message);
  } else {
    LogEventText(kEventWarning, details.diagnostic);
  }
  return !CheckAborted();
}

// The job's address comes from the sender's details, which a user types:
// it becomes the sender only when it is one plain address.
void CT37ClientFaxItem::UseJobSender(const std::string& email, FaxMessage& message) {
  const AddressCheck check = CheckSingleMailAddress(email);
  if (check) {
    message.sender = email;
    return;
  }
  Log("Job e-mail address not used because " + DescribeAddressFault(check) + ": \"" + ShowEscaped(email) + "\"\r\n");
}

BOOL CT37ClientFaxItem::RecordOutcome(HRESULT result, const std::string& errorText, DWORD pages) {
  if (result == S_OK) {
    m_dwPageCount = pages;
    m_dwStatusId = FS_COMPLETED;
    m_dwErrorCode = 0;
    return TRUE;
  }
  // The transport's HRESULT lives on only in its text.
  m_dwStatusId = FS_FATAL_ERROR;
  m_dwErrorCode = static_cast<DWORD>(E_UNEXPECTED);
  Log("SendCDOMessage" + LoadProviderString(IDS_FAILED));
  Log("\r\n");
  Log(errorText);
  Log("\r\n");
  LogEventText(kEventError, errorText);
  return FALSE;
}

void CT37ClientFaxItem::FailStep(DWORD code, const char* step) {
  OnError(code);
  LogEventText(kEventError, step + LoadProviderString(IDS_FAILED));
}

void CT37ClientFaxItem::FailWithText(DWORD code, UINT textId) {
  m_dwStatusId = FS_FATAL_ERROR;
  m_dwErrorCode = code;
  const std::string text = LoadProviderString(textId);
  LogEventText(kEventError, text);
  Log(text);
  Log("\r\n");
}

// Runs the site's command on the working file; on success the file it made
// becomes the working file.
CT37ClientFaxItem::PreprocessOutcome CT37ClientFaxItem::RunPreProcessCommand(const std::string& commandTemplate,
                                                                             unique_temp_file& working) {
  if (commandTemplate.empty()) return PreprocessOutcome::Skipped;
  const std::string target = PreprocessTargetName(working.path());
  const std::optional<std::string> commandLine = IsValidPreprocessTemplate(commandTemplate)
                                                     ? ExpandPreprocessCommand(commandTemplate, working.path(), target)
                                                     : std::nullopt;
  if (!commandLine) {
    Log("PreProcessCommand is specified but is not valid\r\n");
    return PreprocessOutcome::Skipped;
  }
  Log("Preprocess Command ");
  Log(*commandLine);
  if (const DWORD error = m_preprocessChild.Start(*commandLine, m_bAborted)) {
    FailWithText(error, IDS_PREPROCESS_NOT_STARTED);
    working.reset();
    return PreprocessOutcome::Failed;
  }
  m_preprocessChild.WaitForExit();
  working.reset(target);
  if (CheckAborted()) return PreprocessOutcome::Failed;
  if (GetFileAttributesA(target.c_str()) == INVALID_FILE_ATTRIBUTES) {
    FailWithText(GetLastError(), IDS_PREPROCESS_NO_TARGET);
    return PreprocessOutcome::Failed;
  }
  Log(" - success\r\n");
  return PreprocessOutcome::Succeeded;
}

}  // namespace corvisk
