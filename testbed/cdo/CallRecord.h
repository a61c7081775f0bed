#pragma once
// The stand-in's record of every call it receives, for tests that check the
// exact arguments a caller passed.
#include <oaidl.h>
#include <windows.h>

#include <string>

namespace corvisk::cdo_standin {

void RecordCall(const std::string& line);
std::string Quoted(const wchar_t* text);
std::string DescribeVariant(const VARIANT& value);

}  // namespace corvisk::cdo_standin
