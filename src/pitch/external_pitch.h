// Pitch marks from the external pitch program pap.exe: the working files
// exchanged with it, the reading of its point-process text and the snapping
// of its pulse times onto the signal's positive half-waves.
//
// Choices where the exchange can go wrong (all tested):
// - pap.exe missing from PATH, failing or writing nothing: 0 marks; the three
//   working files are removed in every case.
// - temp.wav cannot be created (read-only directory, a folder of that name):
//   0 marks, the program is not launched.
// - A symbolic link, device, pipe or folder at any working name: 0 marks,
//   nothing launched, nothing written, read or removed (see working_files.h).
//   Only regular files are removed afterwards; a stale temp.pointprocess is
//   removed before the launch so it cannot pass for the program's answer.
// - Calls sharing a current folder take turns (a lock on the folder).
// - The launch waits for the program to end, so the point-process file is
//   complete when it is read.
// - Point-process text: lines and words of any length are read whole, never
//   cut and never split; an over-long word is therefore never "t" or "=" and
//   its line contributes nothing. The text ends at its first zero byte.
// - Any number of times is kept (the list grows; nothing is cut at 100000),
//   and the mark list grows with it.
// - A time whose sample position is not a number or lies outside the 32-bit
//   range is dropped before snapping.
// - One time: no period to measure, its mark stays at R[0].
// - A time whose following interval is more than twice its preceding one
//   ends a voiced stretch: its window uses the preceding interval, as the
//   very last time does, so it never reaches into the pause or back over
//   marked cycles.
// - Times that are not ascending: a negative local period gives an empty
//   window and the mark stays at R[i]; marks are not sorted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "state/document.h"

namespace talvox {

// Working files, all in the current directory.
inline constexpr char kTempWavPath[] = "temp.wav";
inline constexpr char kScriptName[] = "pitch.psc";
inline constexpr char kPointProcessSuffix[] = ".pointprocess";
inline constexpr char kPitchProgram[] = "pap.exe";

// Hump areas of the raw signal: at the first largest sample of each maximal
// run of samples > 0, the sum of trunc(sample / 10) over the run, kept in 16
// bits (low bits of the 32-bit sum); 0 everywhere else.
std::vector<int16_t> RawHumpAreas(const int16_t* samples, int32_t length);

// Writes samples as a mono 16-bit PCM WAV file with the canonical 44-byte
// header; false when the file cannot be written or the data does not fit.
bool WriteTempWav(const char* path, const int16_t* samples, int32_t length, int32_t sampleRate);

// The script text for the given WAV and point-process paths.
std::string PitchScriptText(const char* wavPath, const char* pointProcessPath);

// Path derivations of RunPitchProgram: the script beside the WAV file, and
// the WAV path with its extension replaced (empty when it has no '.').
std::string ScriptPathFor(const char* wavPath);
std::string PointProcessPathFor(const char* wavPath);

// Writes the script to scriptPath: 1, or 0 when wavPath has no '.' or the
// file cannot be created.
int32_t WritePitchScript(const char* wavPath, const char* scriptPath);

// Collects the times of the lines "t <word> = <number>" of a point-process
// text of `size` bytes (the text ends at its first zero byte).
void ParsePointProcess(const char* text, std::size_t size, std::vector<float>& times);

// Reads a point-process file into times; returns the number of times, 0 when
// the file cannot be opened or is empty.
int32_t ReadPointProcess(const char* path, std::vector<float>& times);

// Writes the script, runs pap.exe on it, waits, and reads its point-process
// file into times; returns the number of times read.
int32_t RunPitchProgram(const char* wavPath, std::vector<float>& times);

// R = trunc(sampleRate * t), the product in double; unusable times dropped.
std::vector<int32_t> TimesToSamples(const std::vector<float>& times, int32_t sampleRate);

// Moves each position onto the largest hump area within half a local period
// (the following interval; the preceding one at a stretch's end) and drops
// immediate repeats.
std::vector<int32_t> SnapToHumps(const std::vector<int32_t>& positions,
                                 const std::vector<int16_t>& areas);

// The whole calculation: the marks of _CalculatePeak.
std::vector<int32_t> ExternalPitchMarks(const int16_t* samples, int32_t length,
                                        int32_t sampleRate);

// _CalculatePeak: the marks into peaks (null: count only); returns their number.
int32_t CalculatePeakToArray(const int16_t* samples, int32_t length, int32_t sampleRate,
                             int32_t* peaks);

// CalculatePeak on a document: segments while unsegmented, then replaces the
// peak table (room for at least 100000) and the modified pitch.
int32_t CalculatePeakInto(DocumentState& doc, const int16_t* samples, int32_t length,
                          int32_t sampleRate);

}  // namespace talvox
