#include "provider/EntryTrace.h"

#include "common/TextFormat.h"

namespace corvisk {

EntryTrace::EntryTrace(const char* name) : name_(name) {
  OutputDebugStringA("\r\nCorviskFSP - begin - ");
  OutputDebugStringA(name_);
  OutputDebugStringA("\r\n");
}

void EntryTrace::End(DWORD result) const {
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
