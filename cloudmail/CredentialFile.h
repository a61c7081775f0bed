#pragma once
// The small files an administrator hands over to be imported: key files and
// certificates with their keys.
#include <windows.h>

#include <string>

#include "cloudmail/CloudOutcome.h"

namespace corvisk {

struct CredentialFileKind {
  const char* name;          // as in "The key file PATH could not be read"
  DWORD maxBytes;            // larger files are refused
  const char* tooLargeText;  // the text that refuses them
};

// The whole file at path, or the text that says why it cannot be had.
CloudOutcome ReadCredentialFile(const std::wstring& path, const CredentialFileKind& kind, std::string& bytes);

}  // namespace corvisk
