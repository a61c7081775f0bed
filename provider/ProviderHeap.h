#pragma once
// Every object the provider creates lives on the heap the fax service hands to
// FaxDevInitialize, zero-filled; status blocks posted to the service must come
// from there because the service frees them.
#include <windows.h>

#include <cstddef>
#include <new>

namespace corvisk {

void SetProviderHeap(HANDLE heap);
// Null, after a debugger line, while no heap has been received.
void* ProviderAlloc(size_t size) noexcept;
void ProviderFree(void* block) noexcept;

// Base for classes whose instances live on the provider heap. A failed
// allocation yields a null pointer, never an exception.
struct ProviderObject {
  static void* operator new(size_t size) noexcept { return ProviderAlloc(size); }
  static void operator delete(void* block) noexcept { ProviderFree(block); }
};

// Standard-library allocator over the provider heap.
template <typename T>
struct ProviderAllocator {
  using value_type = T;
  ProviderAllocator() = default;
  template <typename U>
  ProviderAllocator(const ProviderAllocator<U>&) noexcept {}
  T* allocate(size_t count) {
    void* block = count <= static_cast<size_t>(-1) / sizeof(T) ? ProviderAlloc(count * sizeof(T)) : nullptr;
    if (!block) throw std::bad_alloc();
    return static_cast<T*>(block);
  }
  void deallocate(T* block, size_t) noexcept { ProviderFree(block); }
  template <typename U>
  bool operator==(const ProviderAllocator<U>&) const noexcept {
    return true;
  }
  template <typename U>
  bool operator!=(const ProviderAllocator<U>&) const noexcept {
    return false;
  }
};

}  // namespace corvisk
