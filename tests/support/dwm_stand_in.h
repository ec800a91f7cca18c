// The test-only dwmapi.dll built beside Vyr.exe and the tests: loaded instead of the system's, it
// reports a window as cloaked (DWMWA_CLOAKED) while the window carries this property, and as not
// cloaked otherwise. It answers every other attribute with E_NOTIMPL, as Wine's own does.
#pragma once

constexpr char CLOAKED_PROPERTY[] = "VyrTestCloaked";
