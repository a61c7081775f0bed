#pragma once
// The fax service provider interface, as the fax service calls it. MinGW-w64
// ships no faxdev.h, so the types and constants are declared here from the
// published interface.
#include <windows.h>
#include <tapi.h>

#include "platform/FaxStatus.h"

typedef struct _FAX_SEND {
  DWORD SizeOfStruct;
  LPWSTR FileName;
  LPWSTR CallerName;
  LPWSTR CallerNumber;
  LPWSTR ReceiverName;
  LPWSTR ReceiverNumber;
  BOOL Branding;
  HCALL CallHandle;
  DWORD Reserved[3];
} FAX_SEND, *PFAX_SEND;

typedef struct _FAX_RECEIVE {
  DWORD SizeOfStruct;
  LPWSTR FileName;
  LPWSTR ReceiverName;
  LPWSTR ReceiverNumber;
  DWORD Reserved[4];
} FAX_RECEIVE, *PFAX_RECEIVE;

typedef struct _FAX_DEV_STATUS {
  DWORD SizeOfStruct;
  DWORD StatusId;
  DWORD StringId;
  DWORD PageCount;
  LPWSTR CSI;
  LPWSTR CallerId;
  LPWSTR RoutingInfo;
  DWORD ErrorCode;
  DWORD Reserved[3];
} FAX_DEV_STATUS, *PFAX_DEV_STATUS;

#if defined(_WIN64)
static_assert(sizeof(FAX_SEND) == 72 && sizeof(FAX_DEV_STATUS) == 56, "FSP layout");
#else
static_assert(sizeof(FAX_SEND) == 44 && sizeof(FAX_DEV_STATUS) == 44, "FSP layout");
#endif

typedef void(CALLBACK* PFAX_LINECALLBACK)(HANDLE FaxHandle, DWORD hDevice, DWORD dwMessage, DWORD_PTR dwInstance,
                                          DWORD_PTR dwParam1, DWORD_PTR dwParam2, DWORD_PTR dwParam3);
typedef BOOL(CALLBACK* PFAX_SERVICE_CALLBACK)(HANDLE FaxHandle, DWORD DeviceId, DWORD_PTR Param1, DWORD_PTR Param2,
                                              DWORD_PTR Param3);
typedef BOOL(CALLBACK* PFAX_SEND_CALLBACK)(HANDLE FaxHandle, HCALL CallHandle, DWORD Reserved1, DWORD Reserved2);

typedef BOOL(WINAPI* PFAXDEVINITIALIZE)(HLINEAPP, HANDLE, PFAX_LINECALLBACK*, PFAX_SERVICE_CALLBACK);
typedef BOOL(WINAPI* PFAXDEVVIRTUALDEVICECREATION)(LPDWORD, LPWSTR, LPDWORD, HANDLE, ULONG_PTR);
typedef BOOL(WINAPI* PFAXDEVSTARTJOB)(HLINE, DWORD, PHANDLE, HANDLE, ULONG_PTR);
typedef BOOL(WINAPI* PFAXDEVENDJOB)(HANDLE);
typedef BOOL(WINAPI* PFAXDEVSEND)(HANDLE, PFAX_SEND, PFAX_SEND_CALLBACK);
typedef BOOL(WINAPI* PFAXDEVRECEIVE)(HANDLE, HCALL, PFAX_RECEIVE);
typedef BOOL(WINAPI* PFAXDEVREPORTSTATUS)(HANDLE, PFAX_DEV_STATUS, DWORD, LPDWORD);
typedef BOOL(WINAPI* PFAXDEVABORTOPERATION)(HANDLE);
typedef HRESULT(WINAPI* PFAXDEVSHUTDOWN)(void);
