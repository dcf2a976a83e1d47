// Shared by the fuzz targets: a private folder for the input file, snapshots
// of the document and the wave buffer, and the checks of their invariants.
// Every broken check aborts, so libFuzzer reports the input as a crash.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "talvox.h"

namespace talvox::fuzz {

// Writes the input to a file in a private temporary folder (made once per
// process under /dev/shm or /tmp, removed at exit) and returns its path.
std::string WriteInput(const uint8_t* data, size_t size, const char* name);
// A path in the private folder, for files a target writes itself.
std::string PrivatePath(const char* name);

[[noreturn]] void Broken(const char* what);
inline void Check(bool holds, const char* what) {
  if (!holds) Broken(what);
}

// Everything a refused read must leave as it was: the record (pointers and
// counts), the rooms, every element slot of the table and the counted peaks
// and periods.
struct DocumentSnapshot {
  TvxDocument record{};
  int32_t peakRoom = 0;
  int32_t pitchRoom = 0;
  int32_t spectrumRoom = 0;
  std::vector<TvxElement> elements;
  std::vector<int32_t> peaks;
  std::vector<int32_t> pitch;
};
// Fills s, reusing its storage (a table of 10000 elements is 1.1 MB: a new
// block every run would spend most of the run in page faults).
void SnapshotDocument(DocumentSnapshot& s);
// Aborts when the document differs from the snapshot. With rateMayChange the
// peak rate alone may differ (a peak file of an unknown kind replaces it).
void CheckDocumentUnchanged(const DocumentSnapshot& before, bool rateMayChange = false);

struct WaveSnapshot {
  TvxWaveHeader header{};
  int16_t* channel[2] = {nullptr, nullptr};
  int32_t room[2] = {0, 0};
  std::vector<int16_t> samples[2];
};
WaveSnapshot SnapshotWave();
void CheckWaveUnchanged(const WaveSnapshot& before);

// The wave buffer: 1 or 2 channels, and every channel in use holds at least
// the samples the header's data size counts.
void CheckWaveInvariants();
// The document: counts within their tables' rooms, descriptions
// zero-terminated, modified pitch with room for the intervals.
void CheckDocumentInvariants();

// A small document to read over: a 2000-sample signal, three elements with
// descriptions, five peaks and their periods. A refusal must leave exactly
// this.
void SetUpSampleDocument();

}  // namespace talvox::fuzz

namespace talvox::fuzz {
// The process-wide document's record and the rooms of its tables.
TvxDocument& DocumentRecord();
int32_t PeakRoom();
int32_t PitchRoom();
}  // namespace talvox::fuzz
