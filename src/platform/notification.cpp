#include "platform/notification.h"

#include <unistd.h>

#include <cerrno>

namespace talvox::platform {

namespace {

void PutLittleEndian(uint8_t* out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t GetLittleEndian(const uint8_t* in) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | in[i];
  return value;
}

}  // namespace

void PostNotification(int window, uint32_t message, uint32_t parameter) {
  if (window == kNoWindow) return;
  uint8_t record[kNotificationBytes];
  PutLittleEndian(record, message);
  PutLittleEndian(record + 4, parameter);
  // Records are far smaller than PIPE_BUF, so a pipe takes each one whole.
  ssize_t written;
  do {
    written = write(window, record, sizeof record);
  } while (written < 0 && errno == EINTR);
}

void DecodeNotification(const uint8_t* record, uint32_t* message, uint32_t* parameter) {
  *message = GetLittleEndian(record);
  *parameter = GetLittleEndian(record + 4);
}

}  // namespace talvox::platform
