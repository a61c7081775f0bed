#include "ProviderHost.h"

#include "HostCapture.h"

namespace corvisk::testbed {
namespace {

template <typename Fn>
void Resolve(HMODULE module, const char* name, Fn& function) {
  function = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

void CALLBACK IgnoreServiceCallback() {}

}  // namespace

std::vector<std::string> JobTempFiles() {
  char folder[MAX_PATH + 1] = "";
  GetTempPathA(sizeof folder, folder);
  std::vector<std::string> files;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((std::string(folder) + "Cor*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return files;
  do files.push_back(found.cFileName);
  while (FindNextFileA(search, &found));
  FindClose(search);
  return files;
}

ProviderHost::ProviderHost(const std::wstring& path) : module_(LoadLibraryW(path.c_str())) {
  if (!module_) return;
  WatchProvider(module_.get());
  HMODULE module = module_.get();
  Resolve(module, "FaxDevInitialize", FaxDevInitialize);
  Resolve(module, "FaxDevVirtualDeviceCreation", FaxDevVirtualDeviceCreation);
  Resolve(module, "FaxDevStartJob", FaxDevStartJob);
  Resolve(module, "FaxDevEndJob", FaxDevEndJob);
  Resolve(module, "FaxDevSend", FaxDevSend);
  Resolve(module, "FaxDevReceive", FaxDevReceive);
  Resolve(module, "FaxDevReportStatus", FaxDevReportStatus);
  Resolve(module, "FaxDevAbortOperation", FaxDevAbortOperation);
  Resolve(module, "FaxDevShutdown", FaxDevShutdown);
}

bool ProviderHost::Start() {
  heap_.reset(HeapCreate(0, 0, 0));
  port_.reset(CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 0));
  if (!heap_ || !port_ || !FaxDevInitialize || !FaxDevVirtualDeviceCreation) return false;
  WatchServiceHeap(heap_.get());
  PFAX_LINECALLBACK lineCallback = nullptr;
  if (!FaxDevInitialize(0, heap_.get(), &lineCallback,
                        reinterpret_cast<PFAX_SERVICE_CALLBACK>(reinterpret_cast<void*>(IgnoreServiceCallback))))
    return false;
  DWORD count = 0, prefix = 0;
  WCHAR name[128] = L"";
  return FaxDevVirtualDeviceCreation(&count, name, &prefix, port_.get(), 0) != FALSE;
}

std::vector<StatusPacket> ProviderHost::TakePackets(DWORD waitMs) {
  std::vector<StatusPacket> packets;
  DWORD bytes = 0;
  ULONG_PTR key = 0;
  OVERLAPPED* overlapped = nullptr;
  while (GetQueuedCompletionStatus(port_.get(), &bytes, &key, &overlapped, waitMs)) {
    const auto* block = reinterpret_cast<const FAX_DEV_STATUS*>(overlapped);
    packets.push_back(
        {bytes, key, block->SizeOfStruct, block->StatusId, block->StringId, block->PageCount, block->ErrorCode});
    ReleaseServiceBlock(overlapped);
    waitMs = 0;
  }
  return packets;
}

}  // namespace corvisk::testbed
