#include "ImportPatch.h"

namespace corvisk::testbed {
namespace {

template <typename T>
T* AtOffset(HMODULE module, DWORD offset) {
  return reinterpret_cast<T*>(reinterpret_cast<BYTE*>(module) + offset);
}

void* ReplaceEntry(IMAGE_THUNK_DATA* entry, void* replacement) {
  DWORD protection = 0;
  if (!VirtualProtect(&entry->u1.Function, sizeof(entry->u1.Function), PAGE_READWRITE, &protection)) return nullptr;
  void* previous = reinterpret_cast<void*>(entry->u1.Function);
  entry->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
  VirtualProtect(&entry->u1.Function, sizeof(entry->u1.Function), protection, &protection);
  return previous;
}

void* PatchInDescriptor(HMODULE module, const IMAGE_IMPORT_DESCRIPTOR& descriptor, const char* function,
                        void* replacement) {
  auto* names = AtOffset<IMAGE_THUNK_DATA>(module, descriptor.OriginalFirstThunk);
  auto* entries = AtOffset<IMAGE_THUNK_DATA>(module, descriptor.FirstThunk);
  for (; names->u1.AddressOfData; ++names, ++entries) {
    if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
    auto* byName = AtOffset<IMAGE_IMPORT_BY_NAME>(module, static_cast<DWORD>(names->u1.AddressOfData));
    if (lstrcmpA(reinterpret_cast<const char*>(byName->Name), function) == 0) return ReplaceEntry(entries, replacement);
  }
  return nullptr;
}

}  // namespace

void* PatchImport(HMODULE module, const char* dll, const char* function, void* replacement) {
  auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(module);
  auto* nt = AtOffset<IMAGE_NT_HEADERS>(module, static_cast<DWORD>(dos->e_lfanew));
  const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (imports.VirtualAddress == 0) return nullptr;
  for (auto* descriptor = AtOffset<IMAGE_IMPORT_DESCRIPTOR>(module, imports.VirtualAddress); descriptor->Name;
       ++descriptor) {
    if (lstrcmpiA(AtOffset<char>(module, descriptor->Name), dll) != 0) continue;
    if (void* previous = PatchInDescriptor(module, *descriptor, function, replacement)) return previous;
  }
  return nullptr;
}

}  // namespace corvisk::testbed
