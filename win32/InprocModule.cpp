#include "win32/InprocModule.h"

#include <atomic>

#include "win32/ComObject.h"

namespace corvisk {
namespace {
std::atomic<long> g_locks{0};
}  // namespace

void LockModule() { ++g_locks; }
void UnlockModule() { --g_locks; }
bool ModuleInUse() { return g_locks != 0; }

}  // namespace corvisk
