#include "provider/T37ClientFaxItem.h"

#include "common/TextFormat.h"
#include "provider/JobLogFile.h"
#include "win32/PlatformVersion.h"

namespace corvisk {

CT37ClientFaxItem::CT37ClientFaxItem(HANDLE completionPort, ULONG_PTR completionKey, DWORD deviceId)
    : CClientFaxItem(completionPort, completionKey, deviceId) {
  const PlatformVersion version = QueryPlatformVersion();
  m_bLegacyFax = !version.AtLeast(5, 1);
  m_bServer52OrLater = version.IsServer() && version.AtLeast(5, 2);
  m_bVistaOrLater = version.AtLeast(6, 0);
}

CT37ClientFaxItem::~CT37ClientFaxItem() = default;

BOOL CT37ClientFaxItem::Receive(FAX_RECEIVE* /*receive*/) {
  OnError(static_cast<DWORD>(E_UNEXPECTED));
  return FALSE;
}

void CT37ClientFaxItem::OnAbort() { m_preprocessChild.Terminate(); }

void CT37ClientFaxItem::Log(const char* text) {
  if (!m_bLogEnabled) return;
  LastErrorKeeper keep;
  if (text) OutputDebugStringA(text);
  if (!m_bLogOpened) {
    // Only one attempt per job, also when it fails.
    m_bLogOpened = true;
    m_logFile = CreateJobLog();
  }
  if (m_logFile && text) {
    DWORD written = 0;
    WriteFile(m_logFile.get(), text, lstrlenA(text), &written, nullptr);
  }
}

DWORD CT37ClientFaxItem::OnError(DWORD code) {
  if (code != 0)
    Log(FormatText("\r\nOnError=0X%lx\r\n", static_cast<unsigned long>(code)).c_str());
  else
    Log("\r\nOnError\r\n");
  m_dwErrorCode = code != 0 ? code : static_cast<DWORD>(E_UNEXPECTED);
  m_dwStatusId = code == kErrorAborted ? FS_USER_ABORT : FS_FATAL_ERROR;
  return m_dwErrorCode;
}

bool CT37ClientFaxItem::CheckAborted() {
  if (!m_bAborted) return false;
  Log("CT37ClientFaxItem - Operation Aborted");
  OnError(kErrorAborted);
  return true;
}

}  // namespace corvisk
