// Limits on values that the writers check beyond the launcher's buffer
// sizes (those are in the key catalogue). The catalogue export carries them
// to the Maven plugin, so both writers refuse the same values.
#pragma once

namespace limit {
// Callers show messages from 6000-character buffers.
constexpr int MessageText = 5999;
// The Service Control Manager refuses longer service names.
constexpr int ServiceName = 256;
// Seconds a service stop may wait for the application.
constexpr int StopTimeoutMin = 1;
constexpr int StopTimeoutMax = 86400;
// An icon file larger than this is not an icon; the largest real ones,
// with every size up to 256x256 as PNG, stay far below it.
constexpr int IconFileBytes = 16 * 1024 * 1024;
// The images of one icon group.
constexpr int IconImages = 64;
// Characters of each text of the version information. The whole version
// resource has to stay below 64 KB, whose lengths are 16-bit.
constexpr int VersionText = 1000;
// A part of a Windows version number (file and product version).
constexpr int VersionPart = 65535;
// Seconds of a service restart delay (restart_delay, restart_max_delay)
// and of a "restart N" recovery action: a day at most.
constexpr int RestartDelayMax = 86400;
// Restarts before a service gives up.
constexpr int RestartLimitMax = 1000000;
// Rolled files kept (service log, redirection files).
constexpr int KeepMax = 999;
// A rolling size, in KB (1 KB = 1024 bytes): from 1 KB to 1024 GB.
constexpr int RollSizeMinKb = 1;
constexpr int RollSizeMaxKb = 1024 * 1024 * 1024;
}  // namespace limit
