// Notifications to the host's window: on this platform the window value is a
// file descriptor that the host owns, and each event is one 8-byte record of
// two little-endian uint32 (message number, parameter).
#pragma once

#include <cstdint>

namespace talvox::platform {

constexpr int kNoWindow = 0;
constexpr int kNotificationBytes = 8;

// Writes one record; window 0 means no notifications. A closed or broken
// descriptor is the host's business: the error is ignored.
void PostNotification(int window, uint32_t message, uint32_t parameter);

// Decodes one record as written above.
void DecodeNotification(const uint8_t* record, uint32_t* message, uint32_t* parameter);

}  // namespace talvox::platform
