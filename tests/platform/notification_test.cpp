#include "platform/notification.h"

#include <unistd.h>

#include <vector>

#include "platform/message_box.h"
#include "platform/wave_audio.h"
#include "test_support.h"

namespace talvox::test {
namespace {

using namespace talvox::platform;

TEST(Notification, OneLittleEndianRecordPerEvent) {
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  PostNotification(ends[1], MM_WOM_DONE, 0x01020304u);
  PostNotification(kNoWindow, MM_WOM_CLOSE, 0);  // nothing: no window
  uint8_t record[16] = {};
  ASSERT_EQ(read(ends[0], record, sizeof record), 8);
  EXPECT_EQ(std::vector<uint8_t>(record, record + 8),
            std::vector<uint8_t>({0xBD, 0x03, 0, 0, 0x04, 0x03, 0x02, 0x01}));
  close(ends[0]);
  close(ends[1]);
}

TEST(MessageBox, PrintsCaptionAndTextOnOneLine) {
  std::FILE* capture = std::tmpfile();
  RedirectMessageBoxes(capture);
  EXPECT_EQ(MessageBoxA(nullptr, "Error Close...", "Error", MB_OK), IDOK);
  RedirectMessageBoxes(nullptr);
  std::rewind(capture);
  char line[64] = {};
  ASSERT_NE(std::fgets(line, sizeof line, capture), nullptr);
  EXPECT_STREQ(line, "Error: Error Close...\n");
  std::fclose(capture);
}

}  // namespace
}  // namespace talvox::test
