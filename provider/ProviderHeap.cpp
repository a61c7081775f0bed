#include "provider/ProviderHeap.h"

namespace corvisk {
namespace {
HANDLE g_heap = nullptr;
}

void SetProviderHeap(HANDLE heap) { g_heap = heap; }

void* ProviderAlloc(size_t size) noexcept {
  if (!g_heap) {
    OutputDebugStringA("\r\nCorviskFSP - operator new - heap not initialised\n");
    return nullptr;
  }
  return HeapAlloc(g_heap, HEAP_ZERO_MEMORY, size);
}

void ProviderFree(void* block) noexcept {
  if (g_heap && block) HeapFree(g_heap, 0, block);
}

}  // namespace corvisk
