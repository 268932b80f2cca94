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
}  // namespace limit
