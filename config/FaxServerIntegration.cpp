#include "config/FaxServerIntegration.h"

#include <string_view>

#include "common/Product.h"
#include "platform/FaxCom.h"
#include "platform/FaxServerConnection.h"
#include "win32/ComApartment.h"
#include "win32/ExceptionBoundary.h"
#include "win32/ReturnIfFailed.h"
#include "win32/Variant.h"

namespace corvisk {

namespace {

// The fax service names the provider's one device after the prefix the
// provider reports, followed by the index 0. The match is exact.
constexpr std::wstring_view kProviderDeviceName = L"" CORVISK_PRODUCT_NAME "0";

constexpr char kEnableFailedText[] = "Failed to enable " CORVISK_PRODUCT_NAME;
constexpr char kEnableUnexpectedText[] = "Failed to enable " CORVISK_PRODUCT_NAME " - unexpected exception";
constexpr char kBannerReadFailedText[] = "Failed obtaining banner property - ";
constexpr char kBannerWriteFailedText[] = "Failed setting banner property - ";

bool IsProviderDevice(const unique_bstr& name) {
  return name && std::wstring_view(name.get(), name.length()) == kProviderDeviceName;
}

// A call whose result is not acted on must not leave its error description
// behind for the next failing call to report.
void ForgetErrorInfo() { SetErrorInfo(0, nullptr); }

// The legacy server wants the computer's name; a NetBIOS name always fits.
HRESULT ConnectLegacyServer(com_ptr<faxcom::IFaxServer>& server, CallCheck& check) {
  char computer[16] = "";
  DWORD size = sizeof computer;
  if (!GetComputerNameA(computer, &size)) computer[0] = '\0';
  return ConnectFaxServer(faxcom::kFaxServerProgId, computer, server, check);
}

// The object a VARIANT of the legacy model holds, as interface T.
template <typename T>
HRESULT FromVariant(const VARIANT& value, com_ptr<T>& object) {
  unique_variant converted;
  CORVISK_RETURN_IF_FAILED(converted.ConvertFrom(value, VT_DISPATCH));
  IDispatch* dispatch = converted.get().pdispVal;
  if (!dispatch) return E_POINTER;
  return dispatch->QueryInterface(__uuidof(T), object.put_void());
}

HRESULT UpdateProviderDevice(faxcomex::IFaxDevice* device, bool useOnly, bool receive, CallCheck& check) {
  if (useOnly) CORVISK_RETURN_IF_FAILED(check(device->put_SendEnabled(VARIANT_TRUE), device));
  // Not every device can answer calls; the mode is set where it can be.
  device->put_ReceiveMode(receive ? faxcomex::fdrmAUTO_ANSWER : faxcomex::fdrmNO_ANSWER);
  ForgetErrorInfo();
  return check(device->Save(), device);
}

HRESULT DisableSending(faxcomex::IFaxDevice* device, CallCheck& check) {
  CORVISK_RETURN_IF_FAILED(check(device->put_SendEnabled(VARIANT_FALSE), device));
  return check(device->Save(), device);
}

HRESULT EnableOnExtendedServer(bool useOnly, bool receive, LONG* deviceIndex, CallCheck& check) {
  using namespace faxcomex;
  com_ptr<IFaxServer> server;
  CORVISK_RETURN_IF_FAILED(ConnectLocalFaxServer(server, check));
  com_ptr<IFaxDevices> devices;
  CORVISK_RETURN_IF_FAILED(check(server->GetDevices(devices.put()), server.get(), devices));
  long count = 0;
  CORVISK_RETURN_IF_FAILED(check(devices->get_Count(&count), devices.get()));
  for (long index = 1; index <= count; ++index) {
    com_ptr<IFaxDevice> device;
    CORVISK_RETURN_IF_FAILED(
        check(devices->get_Item(unique_variant::FromLong(index).get(), device.put()), devices.get(), device));
    unique_bstr name;
    CORVISK_RETURN_IF_FAILED(check(device->get_DeviceName(name.put()), device.get()));
    if (IsProviderDevice(name)) {
      CORVISK_RETURN_IF_FAILED(UpdateProviderDevice(device.get(), useOnly, receive, check));
      if (useOnly && deviceIndex) *deviceIndex = index - 1;
    } else if (useOnly) {
      CORVISK_RETURN_IF_FAILED(DisableSending(device.get(), check));
    }
  }
  return S_OK;
}

// The legacy ports apply every change at once; there is nothing to save.
HRESULT UpdateProviderPort(faxcom::IFaxPort* port, bool useOnly, BOOL receive, CallCheck& check) {
  if (useOnly) CORVISK_RETURN_IF_FAILED(check(port->put_Send(TRUE), port));
  return check(port->put_Receive(receive), port);
}

HRESULT EnableOnLegacyServer(bool useOnly, BOOL receive, LONG* deviceIndex, CallCheck& check) {
  using namespace faxcom;
  com_ptr<IFaxServer> server;
  CORVISK_RETURN_IF_FAILED(ConnectLegacyServer(server, check));
  unique_variant portsValue;
  CORVISK_RETURN_IF_FAILED(check(server->GetPorts(portsValue.put()), server.get()));
  com_ptr<IFaxPorts> ports;
  CORVISK_RETURN_IF_FAILED(FromVariant(portsValue.get(), ports));
  long count = 0;
  CORVISK_RETURN_IF_FAILED(check(ports->get_Count(&count), ports.get()));
  for (long index = 1; index <= count; ++index) {
    unique_variant portValue;
    // A port that cannot be listed is passed over.
    if (FAILED(ports->get_Item(index, portValue.put()))) {
      ForgetErrorInfo();
      continue;
    }
    com_ptr<IFaxPort> port;
    CORVISK_RETURN_IF_FAILED(FromVariant(portValue.get(), port));
    unique_bstr name;
    CORVISK_RETURN_IF_FAILED(check(port->get_Name(name.put()), port.get()));
    if (IsProviderDevice(name)) {
      CORVISK_RETURN_IF_FAILED(UpdateProviderPort(port.get(), useOnly, receive, check));
      if (useOnly && deviceIndex) *deviceIndex = index - 1;
    } else if (useOnly) {
      CORVISK_RETURN_IF_FAILED(check(port->put_Send(FALSE), port.get()));
    }
  }
  return S_OK;
}

HRESULT AccessExtendedBanner(bool read, BOOL& banner, CallCheck& check) {
  using namespace faxcomex;
  com_ptr<IFaxServer> server;
  CORVISK_RETURN_IF_FAILED(ConnectLocalFaxServer(server, check));
  com_ptr<IFaxFolders> folders;
  CORVISK_RETURN_IF_FAILED(check(server->get_Folders(folders.put()), server.get(), folders));
  com_ptr<IFaxOutgoingQueue> queue;
  CORVISK_RETURN_IF_FAILED(check(folders->get_OutgoingQueue(queue.put()), folders.get(), queue));
  if (read) {
    VARIANT_BOOL branding = VARIANT_FALSE;
    CORVISK_RETURN_IF_FAILED(check(queue->get_Branding(&branding), queue.get()));
    banner = branding == VARIANT_TRUE;
    return S_OK;
  }
  CORVISK_RETURN_IF_FAILED(check(queue->put_Branding(banner ? VARIANT_TRUE : VARIANT_FALSE), queue.get()));
  return check(queue->Save(), queue.get());
}

HRESULT AccessLegacyBanner(bool read, BOOL& banner, CallCheck& check) {
  com_ptr<faxcom::IFaxServer> server;
  CORVISK_RETURN_IF_FAILED(ConnectLegacyServer(server, check));
  if (read) return check(server->get_Branding(&banner), server.get());
  return check(server->put_Branding(banner), server.get());
}

// Runs one routine's COM steps with COM initialised for the thread; the
// initialisation is undone after the steps, so that a later test mail can
// still choose its own apartment. A failed step gives FALSE and failedText, followed by separator
// and the failed call's description when it left one; anything thrown
// gives FALSE and unexpectedText.
template <typename Steps>
BOOL RunFaxServerSteps(std::string& errorText, const char* failedText, const char* separator,
                       const char* unexpectedText, Steps&& steps) noexcept {
  return SUCCEEDED(ReturnHresultWithText(errorText, unexpectedText, [&] {
    errorText.clear();
    const ComApartment apartment(ComApartment::SingleThreaded);
    CallCheck check;
    const HRESULT result = steps(check);
    if (FAILED(result)) {
      errorText = failedText;
      if (!check.Description().empty()) errorText += separator + check.Description();
    }
    return result;
  }));
}

}  // namespace

BOOL EnableProviderDevice(FaxObjectModel model, BOOL useOnly, BOOL receive, std::string& errorText, LONG* deviceIndex) {
  return RunFaxServerSteps(errorText, kEnableFailedText, ": ", kEnableUnexpectedText, [&](CallCheck& check) {
    return model == FaxObjectModel::Legacy
               ? EnableOnLegacyServer(useOnly != FALSE, receive, deviceIndex, check)
               : EnableOnExtendedServer(useOnly != FALSE, receive != FALSE, deviceIndex, check);
  });
}

BOOL AccessBanner(FaxObjectModel model, BOOL read, BOOL& banner, std::string& errorText) {
  const char* failedText = read ? kBannerReadFailedText : kBannerWriteFailedText;
  return RunFaxServerSteps(errorText, failedText, "", failedText, [&](CallCheck& check) {
    return model == FaxObjectModel::Legacy ? AccessLegacyBanner(read != FALSE, banner, check)
                                           : AccessExtendedBanner(read != FALSE, banner, check);
  });
}

}  // namespace corvisk
