#include "provider/EntryTrace.h"

#include "common/TextFormat.h"
#include "win32/LastError.h"

namespace corvisk {

// The traces keep the last error: writing to the debugger output may change
// it, for instance where no debugger listens.
EntryTrace::EntryTrace(const char* name) : name_(name) {
  const LastErrorKeeper keeper;
  OutputDebugStringA("\r\nCorviskFSP - begin - ");
  OutputDebugStringA(name_);
  OutputDebugStringA("\r\n");
}

void EntryTrace::End(DWORD result) const {
  const LastErrorKeeper keeper;
  if (result == 0) {
    OutputDebugStringA("\r\nCorviskFSP - exit - ");
  } else {
    OutputDebugStringA("\r\nCorviskFSP - exit FAILED - ");
    OutputDebugStringA(FormatText("0x%lx ", static_cast<unsigned long>(result)).c_str());
  }
  OutputDebugStringA(name_);
  OutputDebugStringA("\r\n");
}

}  // namespace corvisk
