// The two system services the windows ask for: routing every hardware key to
// the program, and the test of the system's version.
#pragma once

// Asks the system to route all hardware keys to the program (on) or to stop,
// remembers the request and returns the system's answer.
bool CaptureAllKeys(bool on);
// The last request given to CaptureAllKeys (false before the first).
bool IsCapturingAllKeys();
// True when the system reports a major version of 5 or more.
bool IsOsVersion5OrLater();
