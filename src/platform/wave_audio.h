// The wave-audio service: the device calls, records and constants that the
// playback and recording code is written against, in the shape the host
// platform's multimedia library gives them. The calls go to the installed
// WaveService: the ALSA service unless a test installs its own.
#pragma once

#include <cstdint>

namespace talvox::platform {

using MMRESULT = uint32_t;

constexpr MMRESULT MMSYSERR_NOERROR = 0;
constexpr MMRESULT MMSYSERR_ERROR = 1;
constexpr MMRESULT MMSYSERR_BADDEVICEID = 2;
constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
constexpr MMRESULT MMSYSERR_NODRIVER = 6;
constexpr MMRESULT MMSYSERR_NOMEM = 7;
constexpr MMRESULT MMSYSERR_INVALFLAG = 10;
constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
constexpr MMRESULT WAVERR_BADFORMAT = 32;
constexpr MMRESULT WAVERR_STILLPLAYING = 33;
constexpr MMRESULT WAVERR_UNPREPARED = 34;

// Lets the service choose the device.
constexpr uint32_t WAVE_MAPPER = 0xFFFFFFFFu;
// Open flags: no notifications, or notifications to the host's window.
constexpr uint32_t CALLBACK_NULL = 0;
constexpr uint32_t CALLBACK_WINDOW = 0x10000;
constexpr uint16_t WAVE_FORMAT_PCM = 1;

// Notification message numbers written to the host's window.
constexpr uint32_t MM_WOM_OPEN = 0x3BB;
constexpr uint32_t MM_WOM_CLOSE = 0x3BC;
constexpr uint32_t MM_WOM_DONE = 0x3BD;
constexpr uint32_t MM_WIM_OPEN = 0x3BE;
constexpr uint32_t MM_WIM_CLOSE = 0x3BF;
constexpr uint32_t MM_WIM_DATA = 0x3C0;

// Buffer header flags.
constexpr uint32_t WHDR_DONE = 0x01;
constexpr uint32_t WHDR_PREPARED = 0x02;
constexpr uint32_t WHDR_INQUEUE = 0x10;

constexpr uint32_t TIME_MS = 1;
constexpr uint32_t TIME_SAMPLES = 2;
constexpr uint32_t TIME_BYTES = 4;

// The PCM format record.
struct WAVEFORMATEX {
  uint16_t wFormatTag;
  uint16_t nChannels;
  uint32_t nSamplesPerSec;
  uint32_t nAvgBytesPerSec;
  uint16_t nBlockAlign;
  uint16_t wBitsPerSample;
  uint16_t cbSize;
};

// The buffer header through which a buffer of the host is handed to a device.
struct WAVEHDR {
  char* lpData;
  uint32_t dwBufferLength;
  uint32_t dwBytesRecorded;
  uintptr_t dwUser;
  uint32_t dwFlags;
  uint32_t dwLoops;
  WAVEHDR* lpNext;
  uintptr_t reserved;
};

// A position in the time format named by wType.
struct MMTIME {
  uint32_t wType;
  union {
    uint32_t ms;
    uint32_t sample;
    uint32_t cb;
    uint32_t ticks;
    struct {
      uint8_t hour, min, sec, frame, fps, dummy;
      uint8_t pad[2];
    } smpte;
    struct {
      uint32_t songptrpos;
    } midi;
  } u;
};
static_assert(sizeof(MMTIME) == 12, "the time record is 12 bytes");

// Opaque device handles; null means no device.
struct WaveOutDevice;
struct WaveInDevice;
using HWAVEOUT = WaveOutDevice*;
using HWAVEIN = WaveInDevice*;

// Every call returns MMSYSERR_NOERROR (0) on success.
class WaveService {
 public:
  virtual ~WaveService() = default;

  virtual MMRESULT OutOpen(HWAVEOUT* device, uint32_t deviceId, const WAVEFORMATEX* format,
                           uintptr_t callback, uintptr_t instance, uint32_t flags) = 0;
  virtual MMRESULT OutPrepareHeader(HWAVEOUT device, WAVEHDR* header, uint32_t size) = 0;
  virtual MMRESULT OutWrite(HWAVEOUT device, WAVEHDR* header, uint32_t size) = 0;
  virtual MMRESULT OutPause(HWAVEOUT device) = 0;
  virtual MMRESULT OutRestart(HWAVEOUT device) = 0;
  virtual MMRESULT OutReset(HWAVEOUT device) = 0;
  virtual MMRESULT OutClose(HWAVEOUT device) = 0;
  virtual MMRESULT OutGetPosition(HWAVEOUT device, MMTIME* time, uint32_t size) = 0;

  virtual MMRESULT InOpen(HWAVEIN* device, uint32_t deviceId, const WAVEFORMATEX* format,
                          uintptr_t callback, uintptr_t instance, uint32_t flags) = 0;
  virtual MMRESULT InPrepareHeader(HWAVEIN device, WAVEHDR* header, uint32_t size) = 0;
  virtual MMRESULT InAddBuffer(HWAVEIN device, WAVEHDR* header, uint32_t size) = 0;
  virtual MMRESULT InStart(HWAVEIN device) = 0;
  virtual MMRESULT InStop(HWAVEIN device) = 0;
  virtual MMRESULT InReset(HWAVEIN device) = 0;
  virtual MMRESULT InClose(HWAVEIN device) = 0;
  virtual MMRESULT InGetPosition(HWAVEIN device, MMTIME* time, uint32_t size) = 0;
};

// The service the calls below go to. Tests install a fake and put the
// previous one back; null restores the ALSA service.
WaveService& TheWaveService();
WaveService* InstallWaveService(WaveService* service);

MMRESULT waveOutOpen(HWAVEOUT* device, uint32_t deviceId, const WAVEFORMATEX* format,
                     uintptr_t callback, uintptr_t instance, uint32_t flags);
MMRESULT waveOutPrepareHeader(HWAVEOUT device, WAVEHDR* header, uint32_t size);
MMRESULT waveOutWrite(HWAVEOUT device, WAVEHDR* header, uint32_t size);
MMRESULT waveOutPause(HWAVEOUT device);
MMRESULT waveOutRestart(HWAVEOUT device);
MMRESULT waveOutReset(HWAVEOUT device);
MMRESULT waveOutClose(HWAVEOUT device);
MMRESULT waveOutGetPosition(HWAVEOUT device, MMTIME* time, uint32_t size);

MMRESULT waveInOpen(HWAVEIN* device, uint32_t deviceId, const WAVEFORMATEX* format,
                    uintptr_t callback, uintptr_t instance, uint32_t flags);
MMRESULT waveInPrepareHeader(HWAVEIN device, WAVEHDR* header, uint32_t size);
MMRESULT waveInAddBuffer(HWAVEIN device, WAVEHDR* header, uint32_t size);
MMRESULT waveInStart(HWAVEIN device);
MMRESULT waveInStop(HWAVEIN device);
MMRESULT waveInReset(HWAVEIN device);
MMRESULT waveInClose(HWAVEIN device);
MMRESULT waveInGetPosition(HWAVEIN device, MMTIME* time, uint32_t size);

}  // namespace talvox::platform
