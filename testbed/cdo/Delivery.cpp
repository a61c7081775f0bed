#include "Delivery.h"

#include <objbase.h>

#include "common/TextFormat.h"
#include "win32/AnsiText.h"
#include "win32/Handles.h"
#include "win32/SystemMessage.h"

namespace corvisk::cdo_standin {

namespace {

// Where the local SMTP service of IIS collects messages, unless the
// configuration names another folder.
constexpr wchar_t kDefaultPickupFolder[] = L"C:\\inetpub\\mailroot\\Pickup";

// A committed configuration value in the type the transport wants; empty
// when the field is missing or cannot be converted.
unique_variant Committed(const CFieldCollection& fields, const wchar_t* name, VARTYPE type) {
  unique_variant value;
  unique_variant converted;
  if (fields.CommittedValue(name, value)) converted.ConvertFrom(value.get(), type);
  return converted;
}

long Number(const CFieldCollection& fields, const wchar_t* name, long fallback) {
  const unique_variant value = Committed(fields, name, VT_I4);
  return value.type() == VT_I4 ? value.get().lVal : fallback;
}

std::wstring Text(const CFieldCollection& fields, const wchar_t* name) {
  const unique_variant value = Committed(fields, name, VT_BSTR);
  return value.type() == VT_BSTR && value.get().bstrVal ? value.get().bstrVal : L"";
}

bool Flag(const CFieldCollection& fields, const wchar_t* name) {
  const unique_variant value = Committed(fields, name, VT_BOOL);
  return value.type() == VT_BOOL && value.get().boolVal != VARIANT_FALSE;
}

SmtpSettings ReadSmtpSettings(const CFieldCollection& fields) {
  SmtpSettings settings;
  settings.server = ToAnsi(Text(fields, cdoSMTPServer));
  settings.port = Number(fields, cdoSMTPServerPort, settings.port);
  settings.timeoutSeconds = Number(fields, cdoSMTPConnectionTimeout, settings.timeoutSeconds);
  settings.authenticate = Number(fields, cdoSMTPAuthenticate, CDO::cdoAnonymous);
  settings.userName = ToAnsi(Text(fields, cdoSendUserName));
  settings.password = ToAnsi(Text(fields, cdoSendPassword));
  settings.useSsl = Flag(fields, cdoSMTPUseSSL);
  return settings;
}

Outcome WriteFailure(DWORD error, const std::wstring& folder) {
  return Failure(HRESULT_FROM_WIN32(error), "The message could not be written to the pickup directory " +
                                                ToAnsi(folder) + ": " + StandardMessage(HRESULT_FROM_WIN32(error)));
}

// The message goes in under a temporary name and is renamed to .eml once
// complete, so a pickup service never reads half a message.
Outcome WriteToPickup(const std::wstring& folder, const OutgoingMessage& message) {
  const std::wstring stem = folder + L"\\" + ToWide(UniqueName());
  const std::wstring temporary = stem + L".tmp";
  {
    const unique_hfile file(
        CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return WriteFailure(GetLastError(), folder);
    DWORD error = 0;
    bool writeFailed = false;
    const Outcome read = message.WriteTo(
        [&](const std::string& text) {
          DWORD written = 0;
          if (WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
              written == text.size())
            return true;
          error = GetLastError();
          return false;
        },
        false, writeFailed);
    if (FAILED(read.result) || writeFailed) {
      DeleteFileW(temporary.c_str());
      return writeFailed ? WriteFailure(error ? error : ERROR_WRITE_FAULT, folder) : read;
    }
  }
  if (!MoveFileW(temporary.c_str(), (stem + L".eml").c_str())) {
    const DWORD error = GetLastError();
    DeleteFileW(temporary.c_str());
    return WriteFailure(error, folder);
  }
  return {};
}

std::wstring PickupFolder(const CFieldCollection& fields) {
  const std::wstring folder = Text(fields, cdoSMTPServerPickupDirectory);
  return folder.empty() ? kDefaultPickupFolder : folder;
}

}  // namespace

// sendusing 1 writes to the pickup directory, 2 submits to the SMTP server.
Outcome DeliverMail(const CFieldCollection& configuration, const SmtpEnvelope& envelope,
                    const OutgoingMessage& message) {
  switch (Number(configuration, cdoSendUsingMethod, 0)) {
    case CDO::cdoSendUsingPickup:
      return WriteToPickup(PickupFolder(configuration), message);
    case CDO::cdoSendUsingPort:
      return SendBySmtp(ReadSmtpSettings(configuration), envelope, message);
    default:
      return Failure(CDO_E_INVALID_SEND_OPTION,
                     "The configuration's sendusing value is neither 1 (pickup) nor 2 (network).");
  }
}

// 32 hexadecimal digits from a new GUID: for file names, MIME boundaries and
// message identifiers.
std::string UniqueName() {
  GUID guid = {};
  CoCreateGuid(&guid);
  return FormatText("%08lx%04x%04x%02x%02x%02x%02x%02x%02x%02x%02x", static_cast<unsigned long>(guid.Data1), guid.Data2,
                    guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4],
                    guid.Data4[5], guid.Data4[6], guid.Data4[7]);
}

}  // namespace corvisk::cdo_standin
