#pragma once
#include "provider/ClientFaxItem.h"
#include "provider/PreprocessChild.h"
#include "win32/Handles.h"

namespace corvisk {

inline constexpr DWORD kErrorAborted = ERROR_OPERATION_ABORTED;  // 995

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
  // Records a failure (0 stands for 0x8000FFFF); 995 means aborted.
  DWORD OnError(DWORD code);
  // At a checkpoint of the send: records the abort and says so.
  bool CheckAborted();

 private:
  bool m_bLogEnabled = true;
  bool m_bLegacyFax;           // Windows 2000 or older
  bool m_bServer52OrLater;     // a server edition of 5.2 or later
  bool m_bVistaOrLater;        // version 6 or later
  unique_hfile m_logFile;
  bool m_bLogOpened = false;
  PreprocessChild m_preprocessChild;
};

}  // namespace corvisk
