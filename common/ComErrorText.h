#pragma once
// The texts by which a failed COM call is reported as one line. No Windows
// header: the native tree tests them.
#include <cstdint>
#include <string>

namespace corvisk {

std::string FallbackErrorMessage(uint32_t hresult);
std::string WithoutTrailingLineBreak(std::string text);
std::string ComposeComErrorText(uint32_t hresult, const std::string& message, const std::string& description);

}  // namespace corvisk
