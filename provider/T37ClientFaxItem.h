#pragma once
#include <string>

#include "provider/ClientFaxItem.h"
#include "provider/PreprocessChild.h"
#include "settings/Settings.h"
#include "win32/Handles.h"
#include "win32/TempFile.h"

namespace corvisk {

inline constexpr DWORD kErrorAborted = ERROR_OPERATION_ABORTED;  // 995

struct FaxMessage;

// A job that sends its document as a T.37 e-mail.
class CT37ClientFaxItem : public CClientFaxItem {
 public:
  CT37ClientFaxItem(HANDLE completionPort, ULONG_PTR completionKey, DWORD deviceId);
  ~CT37ClientFaxItem() override;

  BOOL Send(FAX_SEND* send) override;
  BOOL Receive(FAX_RECEIVE* receive) override;
  void OnAbort() override;

  // Writes text to the debugger output and the job log while logging is on;
  // keeps the thread's last error.
  void Log(const char* text);
  void Log(const std::string& text) { Log(text.c_str()); }
  // Records a failure (0 stands for 0x8000FFFF); 995 means aborted.
  DWORD OnError(DWORD code);
  // At a checkpoint of the send: records the abort and says so.
  bool CheckAborted();

 private:
  enum class PreprocessOutcome { Skipped, Succeeded, Failed };

  // The steps of Send, in the order it takes them.
  bool ReadSettings(ProviderSettings& settings);
  bool CheckDestinationNumber(const std::string& number);
  bool MakeWorkingCopy(const wchar_t* document, unique_temp_file& placeholder, unique_temp_file& working);
  void EnterComApartment() const;
  bool PrepareDocument(const ProviderSettings& settings, unique_temp_file& working);
  PreprocessOutcome RunPreProcessCommand(const std::string& commandTemplate, unique_temp_file& working);
  bool RestructureForGateway(unique_temp_file& working);
  bool AddJobDetails(FaxMessage& message);
  void UseJobSender(const std::string& email, FaxMessage& message);
  BOOL RecordOutcome(HRESULT result, const std::string& errorText, DWORD pages);
  // Records a failure whose event text is a step's name and " failed".
  void FailStep(DWORD code, const char* step);
  // Records a failure directly, without OnError, with a string-table text
  // as event and log line.
  void FailWithText(DWORD code, UINT textId);

  bool m_bLogEnabled = true;
  bool m_bLegacyFax;        // Windows 2000 or older
  bool m_bServer52OrLater;  // a server edition of 5.2 or later
  bool m_bVistaOrLater;     // version 6 or later
  unique_hfile m_logFile;
  bool m_bLogOpened = false;
  PreprocessChild m_preprocessChild;
};

}  // namespace corvisk
