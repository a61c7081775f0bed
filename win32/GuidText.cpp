#include "win32/GuidText.h"

#include <objbase.h>

#include "common/TextFormat.h"

namespace corvisk {

HRESULT NewGuidText(std::string& text) {
  text.clear();
  GUID guid = {};
  const HRESULT result = CoCreateGuid(&guid);
  if (FAILED(result)) return result;
  text = FormatText("%08lx-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x", static_cast<unsigned long>(guid.Data1),
                    guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4],
                    guid.Data4[5], guid.Data4[6], guid.Data4[7]);
  return S_OK;
}

}  // namespace corvisk
