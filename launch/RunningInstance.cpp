#include "launch/RunningInstance.h"

#include <windows.h>

#include "common/ConfigActivation.h"
#include "win32/Handles.h"

namespace corvisk {

// A running program waits on the event; a pulse wakes it.
bool PulseRunningInstance() {
  const unique_handle event(OpenEventA(EVENT_MODIFY_STATE, FALSE, kConfigActivationEvent));
  if (!event) return false;
  PulseEvent(event.get());
  return true;
}

}  // namespace corvisk
