// Windows only. Test mode lets a vendor try an update from a folder of its
// own on one machine before publishing it: switched on in the registry for
// one day, it replaces every download location by the test location, never
// fetches over HTTP and probes every few seconds.
#pragma once

namespace tarnix {

// The key under HKEY_CURRENT_USER that holds "TestMode", "TestModeDate"
// and "TestModeURL".
inline constexpr char kTestModeKey[] = "HKEY_CURRENT_USER\\Software\\Halvorin\\Tarnix\\AutoUpdate";

// Reads the registry values again when forced or after 30 s, keeps the
// result in the agent state and returns whether test mode is on.
bool CheckTestMode(bool force);

}  // namespace tarnix
