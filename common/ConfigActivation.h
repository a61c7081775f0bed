#pragma once
// The named event by which the running configuration program is brought to
// the front: the program creates it and waits on it; the control panel
// applet and a second start of the program pulse it.
namespace corvisk {

inline constexpr char kConfigActivationEvent[] = "Local\\_CPL_SYNC_EVENT_CorviskFSP";

}  // namespace corvisk
