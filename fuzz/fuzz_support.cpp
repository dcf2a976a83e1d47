#include "fuzz_support.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "state/document.h"
#include "wave/wave_buffer.h"

namespace talvox::fuzz {

namespace {

struct PrivateFolder {
  std::string path;
  PrivateFolder() {
    // fuzz/run.sh names a folder it removes afterwards (libFuzzer ends the
    // process without running destructors). Otherwise memory-backed when the
    // system has it: on ext4 every rewrite of a file flushes it to disk at
    // close, which slows a run down some fiftyfold.
    const char* given = std::getenv("TALVOX_FUZZ_TMP");
    const char* base = given ? given : access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::string pattern = std::string(base) + "/talvox-fuzz-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    path = pattern;
  }
  ~PrivateFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
};

const std::string& Folder() {
  static const PrivateFolder folder;
  return folder.path;
}

}  // namespace

void Broken(const char* what) {
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

std::string PrivatePath(const char* name) { return Folder() + "/" + name; }

std::string WriteInput(const uint8_t* data, size_t size, const char* name) {
  std::string path = PrivatePath(name);
  std::remove(path.c_str());  // a new file, not a truncated one
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
  std::fclose(file);
  return path;
}

void SnapshotDocument(DocumentSnapshot& s) {
  const DocumentState& doc = TheDocument();
  const TvxDocument& r = doc.record;
  s.elements.clear();
  s.peaks.clear();
  s.pitch.clear();
  s.record = r;
  s.peakRoom = doc.peakRoom;
  s.pitchRoom = doc.pitchRoom;
  s.spectrumRoom = doc.spectrumRoom;
  if (r.elements) s.elements.assign(r.elements, r.elements + r.elementCapacity);
  if (r.peaks && r.peakCount > 0) s.peaks.assign(r.peaks, r.peaks + r.peakCount);
  int32_t periods = std::min(doc.pitchRoom, r.peakCount);
  if (r.modifiedPitch && periods > 0) s.pitch.assign(r.modifiedPitch, r.modifiedPitch + periods);
}

void CheckDocumentUnchanged(const DocumentSnapshot& before, bool rateMayChange) {
  const DocumentState& doc = TheDocument();
  TvxDocument record = doc.record;
  if (rateMayChange) record.peakRate = before.record.peakRate;
  Check(std::memcmp(&record, &before.record, sizeof record) == 0, "refusal changed the record");
  Check(doc.peakRoom == before.peakRoom && doc.pitchRoom == before.pitchRoom &&
            doc.spectrumRoom == before.spectrumRoom,
        "refusal changed a room");
  // The record is unchanged, so its pointers and counts are the snapshot's.
  const TvxDocument& r = doc.record;
  Check(before.elements.empty() || std::memcmp(r.elements, before.elements.data(),
                                               before.elements.size() * sizeof(TvxElement)) == 0,
        "refusal changed an element slot");
  Check(before.peaks.empty() ||
            std::memcmp(r.peaks, before.peaks.data(), before.peaks.size() * sizeof(int32_t)) == 0,
        "refusal changed the peaks");
  Check(before.pitch.empty() || std::memcmp(r.modifiedPitch, before.pitch.data(),
                                            before.pitch.size() * sizeof(int32_t)) == 0,
        "refusal changed the modified pitch");
}

WaveSnapshot SnapshotWave() {
  const WaveBuffer& wave = TheWave();
  WaveSnapshot s;
  s.header = wave.header;
  for (int c = 0; c < 2; ++c) {
    s.channel[c] = wave.channel[c];
    s.room[c] = wave.room[c];
    if (wave.channel[c]) s.samples[c].assign(wave.channel[c], wave.channel[c] + wave.room[c]);
  }
  return s;
}

void CheckWaveUnchanged(const WaveSnapshot& before) {
  WaveSnapshot now = SnapshotWave();
  Check(std::memcmp(&now.header, &before.header, sizeof now.header) == 0,
        "refusal changed the header");
  for (int c = 0; c < 2; ++c) {
    Check(now.channel[c] == before.channel[c] && now.room[c] == before.room[c],
          "refusal replaced a channel array");
    Check(now.samples[c] == before.samples[c], "refusal changed samples");
  }
}

void CheckWaveInvariants() {
  const WaveBuffer& wave = TheWave();
  const int channels = wave.header.channels;
  Check(channels == 1 || channels == 2, "channel count");
  const int32_t length = wave.Length();
  Check(length >= 0, "negative length");
  for (int c = 0; c < channels; ++c) {
    if (length > 0)
      Check(wave.channel[c] != nullptr && wave.room[c] >= length,
            "channel shorter than the length");
  }
  Check(wave.SafeLength() == length, "safe length differs from the header's");
}

void CheckDocumentInvariants() {
  const DocumentState& doc = TheDocument();
  const TvxDocument& r = doc.record;
  Check(r.elementCount >= 0 && r.elementCount <= r.elementCapacity, "element count");
  Check(r.elementCount == 0 || r.elements != nullptr, "elements without a table");
  Check(r.peakCount >= 0, "negative peak count");
  Check(r.peakCount <= doc.peakRoom, "peak count beyond the table's room");
  Check(r.peakCount == 0 || r.peaks != nullptr, "peaks without a table");
  Check(r.peakCount <= 1 || (r.modifiedPitch != nullptr && r.peakCount - 1 <= doc.pitchRoom),
        "modified pitch without room for the intervals");
  Check((doc.pitchRoom == 0) == (r.modifiedPitch == nullptr), "modified pitch room");
  Check((doc.peakRoom == 0) == (r.peaks == nullptr), "peak table room");
  Check(r.spectrumFrames >= 0, "spectrum frames");
  for (int32_t i = 0; i < r.elementCount; ++i) {
    Check(memchr(r.elements[i].desc, '\0', sizeof r.elements[i].desc) != nullptr,
          "unterminated description");
  }
}

void SetUpSampleDocument() {
  InitWaveFileProc();
  InitTalvox();
  static std::vector<int16_t> signal = [] {
    std::vector<int16_t> s(2000);
    for (size_t i = 0; i < s.size(); ++i) s[i] = static_cast<int16_t>((i % 80) * 300 - 12000);
    return s;
  }();
  SetDataBuffer(0, signal.data(), static_cast<int32_t>(signal.size()));
  SetFullSegmentation();
  AddBoundary(500);
  AddBoundary(1500);
  SetElementDesc(0, "SIL");
  SetElementDesc(1, "ma3");
  SetElementDesc(2, "SIL");
  for (int32_t p : {600, 680, 760, 840, 920}) AddPeak(p, nullptr);
  const int32_t periods[4] = {80, 81, 82, 83};
  SetModifiedPitch(periods);
}

}  // namespace talvox::fuzz

namespace talvox::fuzz {
TvxDocument& DocumentRecord() { return TheDocument().record; }
int32_t PeakRoom() { return TheDocument().peakRoom; }
int32_t PitchRoom() { return TheDocument().pitchRoom; }
}  // namespace talvox::fuzz
