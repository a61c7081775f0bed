#pragma once
// Status values of the fax service provider interface. No Windows header, so
// platform-neutral code can use them too.
#include <cstdint>

inline constexpr uint32_t FS_INITIALIZING = 0x20000000;
inline constexpr uint32_t FS_TRANSMITTING = 0x20000002;
inline constexpr uint32_t FS_RECEIVING = 0x20000004;
inline constexpr uint32_t FS_COMPLETED = 0x20000008;
inline constexpr uint32_t FS_FATAL_ERROR = 0x20000800;
inline constexpr uint32_t FS_USER_ABORT = 0x20200000;
