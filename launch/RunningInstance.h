#pragma once
// The pulse that brings a running configuration program to the front, sent
// by the control panel applet and by a second start of the program.

namespace corvisk {

// True when a configuration program runs; it has then been pulsed.
bool PulseRunningInstance();

}  // namespace corvisk
