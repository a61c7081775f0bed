#pragma once
// Drives a provider DLL as the fax service does: its own heap and completion
// port, FaxDevInitialize and FaxDevVirtualDeviceCreation, then job calls from
// any thread; status packets are read from the port and their blocks freed
// from the heap.
#include <string>
#include <vector>

#include "platform/FaxDev.h"
#include "win32/Handles.h"

namespace corvisk::testbed {

inline constexpr DWORD kServiceDeviceId = 0x77000000;

struct StatusPacket {
  DWORD bytes = 0;
  ULONG_PTR key = 0;
  DWORD sizeOfStruct = 0;
  DWORD statusId = 0;
  DWORD stringId = 0;
  DWORD pageCount = 0;
  DWORD errorCode = 0;
};

struct HeapDestroyFn {
  void operator()(HANDLE heap) const { HeapDestroy(heap); }
};
using unique_heap = unique_any<HANDLE, nullptr, HeapDestroyFn>;

// Files of sends in the temporary folder: the platform names them "Cor"
// and up to four hexadecimal digits.
std::vector<std::string> JobTempFiles();

class ProviderHost {
 public:
  // Loads the provider and routes its outside calls through the capture.
  explicit ProviderHost(const std::wstring& path);
  bool Loaded() const { return static_cast<bool>(module_); }
  HMODULE Module() const { return module_.get(); }

  // What the fax service does at start-up; false when either call fails.
  bool Start();
  HANDLE Heap() const { return heap_.get(); }
  HANDLE Port() const { return port_.get(); }
  ULONG_PTR JobKey() const { return kJobKey; }

  // Reads every packet on the port, waiting up to waitMs for the first.
  std::vector<StatusPacket> TakePackets(DWORD waitMs = 0);

  PFAXDEVINITIALIZE FaxDevInitialize = nullptr;
  PFAXDEVVIRTUALDEVICECREATION FaxDevVirtualDeviceCreation = nullptr;
  PFAXDEVSTARTJOB FaxDevStartJob = nullptr;
  PFAXDEVENDJOB FaxDevEndJob = nullptr;
  PFAXDEVSEND FaxDevSend = nullptr;
  PFAXDEVRECEIVE FaxDevReceive = nullptr;
  PFAXDEVREPORTSTATUS FaxDevReportStatus = nullptr;
  PFAXDEVABORTOPERATION FaxDevAbortOperation = nullptr;
  PFAXDEVSHUTDOWN FaxDevShutdown = nullptr;

 private:
  static constexpr ULONG_PTR kJobKey = 0x5EED;
  unique_hmodule module_;
  unique_heap heap_;
  unique_handle port_;
};

}  // namespace corvisk::testbed
