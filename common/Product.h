#pragma once
// Names and version texts that several deliverables show or write.

namespace corvisk {

inline constexpr char kProductName[] = "CorviskFSP";
inline constexpr char kVersionText[] = "3.0.1";
// The form the provider's version trace uses.
inline constexpr char kVersionTrace[] = "0,3,0,1";

}  // namespace corvisk
