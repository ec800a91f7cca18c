// Runs a command of the Linux host (xdotool, above all) from a test under Wine, and waits for it
// while the test thread goes on pumping messages: the keystrokes it sends reach the test's own
// low-level hook only through that pump.
#pragma once

#include <string>

// Runs `/bin/sh` on the script text; true when it exited with status 0 within the bound.
bool runOnHost(const std::string& script, unsigned timeoutMs = 15000);

// Real X input: `xdotool <arguments>` on the session's display.
bool xdotool(const std::string& arguments);
