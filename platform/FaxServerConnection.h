#pragma once
// The fax service's automation servers as callers reach them: created from
// the ProgID with every class context, run, and connected by server name.
#include <windows.h>

#include <string>

#include "platform/FaxComEx.h"
#include "win32/AnsiText.h"
#include "win32/ComCallCheck.h"
#include "win32/ComCreate.h"
#include "win32/ReturnIfFailed.h"

namespace corvisk {

template <typename Server>
HRESULT ConnectFaxServer(const wchar_t* progId, const std::string& serverName, com_ptr<Server>& server,
                         CallCheck& check) {
  CLSID clsid;
  CORVISK_RETURN_IF_FAILED(CLSIDFromProgID(progId, &clsid));
  CORVISK_RETURN_IF_FAILED(CreateRunningObject(clsid, __uuidof(Server), server.put_void()));
  const unique_bstr name = ToBstr(serverName);
  if (!name) return E_OUTOFMEMORY;
  return check(server->Connect(name.get()), server.get());
}

// The extended server names the local server by the empty name.
inline HRESULT ConnectLocalFaxServer(com_ptr<faxcomex::IFaxServer>& server, CallCheck& check) {
  return ConnectFaxServer(faxcomex::kFaxServerProgId, std::string(), server, check);
}

}  // namespace corvisk
