// Writes the seed corpora of the fuzz targets into <root>/<target>/: small
// valid files made by the library's and pap.exe's own writers, and the
// variants the readers accept that those writers never produce (LIST chunk,
// extensible fmt, kind 2, "Tag File"), built from them by hand.
// Usage: make_seeds fuzz/corpus
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "pitch/external_pitch.h"
#include "point_process_output.h"
#include "talvox.h"

namespace {

using Bytes = std::vector<uint8_t>;
std::string root;

std::string PathOf(const std::string& target, const std::string& name) {
  std::filesystem::create_directories(root + "/" + target);
  return root + "/" + target + "/" + name;
}

Bytes Load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

void Store(const std::string& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

void Put32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
void Append32(Bytes& b, uint32_t v) {
  b.resize(b.size() + 4);
  Put32(b, b.size() - 4, v);
}
void AppendTag(Bytes& b, const char* tag) { b.insert(b.end(), tag, tag + 4); }

std::vector<int16_t> Voice(int n, int period) {
  std::vector<int16_t> s(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    double phase = 6.2831854 * (i % period) / period;
    s[static_cast<size_t>(i)] =
        static_cast<int16_t>(8000 * std::sin(phase) + 3000 * std::sin(2 * phase));
  }
  return s;
}

// Canonical files from SaveWaveFile, and the non-canonical layouts built
// from the canonical mono one.
void WaveSeeds(const std::string& target) {
  InitWaveFileProc();
  std::vector<int16_t> mono = Voice(96, 32);
  SetDataBuffer(0, mono.data(), static_cast<int32_t>(mono.size()));
  SaveWaveFile(1, PathOf(target, "mono.wav").c_str(), 0, 0);
  SaveWaveFile(3, PathOf(target, "mono_range.wav").c_str(), 10, 20);
  SaveWaveFile(2, PathOf(target, "mono.raw").c_str(), 0, 0);
  SetChannels(2);
  std::vector<int16_t> frames = Voice(128, 16);
  SetDataBuffer(2, frames.data(), 64);
  SaveWaveFile(1, PathOf(target, "stereo.wav").c_str(), 0, 0);
  NewWave();
  SaveWaveFile(1, PathOf(target, "empty.wav").c_str(), 0, 0);
  FreeWaveFileProc();

  const Bytes canonical = Load(PathOf(target, "mono.wav"));
  const Bytes fmtBody(canonical.begin() + 20, canonical.begin() + 36);
  const Bytes data(canonical.begin() + 44, canonical.end());
  auto build = [&](const Bytes& fmt, bool listBeforeData, bool oddPad) {
    Bytes b;
    AppendTag(b, "RIFF");
    Append32(b, 0);
    AppendTag(b, "WAVE");
    if (listBeforeData) {
      AppendTag(b, "LIST");
      Append32(b, oddPad ? 13 : 12);
      AppendTag(b, "INFO");
      AppendTag(b, "ISFT");
      Append32(b, oddPad ? 1 : 0);
      if (oddPad) b.insert(b.end(), {'x', 0});
    }
    AppendTag(b, "fmt ");
    Append32(b, static_cast<uint32_t>(fmt.size()));
    b.insert(b.end(), fmt.begin(), fmt.end());
    AppendTag(b, "data");
    Append32(b, static_cast<uint32_t>(data.size()));
    b.insert(b.end(), data.begin(), data.end());
    Put32(b, 4, static_cast<uint32_t>(b.size() - 8));
    return b;
  };
  Store(PathOf(target, "list.wav"), build(fmtBody, true, false));
  Store(PathOf(target, "list_odd.wav"), build(fmtBody, true, true));
  Bytes fmt18 = fmtBody;
  fmt18.insert(fmt18.end(), {0, 0});
  Store(PathOf(target, "fmt18.wav"), build(fmt18, false, false));
  Bytes extensible = fmt18;
  extensible[0] = 0xFE;
  extensible[1] = 0xFF;
  extensible[16] = 22;  // extra bytes
  const uint8_t tail[22] = {16, 0,    4, 0,    0, 0, 1,    0, 0,    0,    0,
                            0,  0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
  extensible.insert(extensible.end(), tail, tail + sizeof tail);
  Store(PathOf(target, "extensible.wav"), build(extensible, false, false));
}

// Kind 3 from SavePeaks, with and without peaks; "Tag File" and kind 2 by
// hand from the kind 3 file.
void PeakSeeds(const std::string& target) {
  InitWaveFileProc();
  InitTalvox();
  std::vector<int16_t> signal = Voice(1200, 80);
  SetDataBuffer(0, signal.data(), static_cast<int32_t>(signal.size()));
  SetFullSegmentation();
  AddBoundary(300);
  AddBoundary(900);
  SetElementDesc(0, "SIL");
  SetElementDesc(1, "ma3");
  SetElementDesc(2, "SIL");
  SavePeaks(PathOf(target, "no_peaks.peaks").c_str());
  for (int32_t p : {320, 400, 480, 560}) AddPeak(p, nullptr);
  const int32_t periods[3] = {80, 78, 82};
  SetModifiedPitch(periods);
  const std::string kind3 = PathOf(target, "kind3.peaks");
  SavePeaks(kind3.c_str());
  DeleteRangePeak(400, 600);
  SavePeaks(PathOf(target, "one_peak.peaks").c_str());
  FreeTalvox();
  FreeWaveFileProc();

  Bytes file = Load(kind3);
  Bytes tag = file;
  std::memset(tag.data(), 0, 20);
  std::memcpy(tag.data(), "Tag File", 8);
  Store(PathOf(target, "tag_kind3.tag"), tag);

  // Kind 2: bounds, an unused block of pairs, peaks.
  const int32_t elements = 3, peaks = 4;
  Bytes kind2(tag.begin(), tag.begin() + 36);
  Put32(kind2, 20, 2);
  const int32_t bounds[3][2] = {{0, 300}, {300, 900}, {900, 1200}};
  for (const auto& b : bounds) {
    Append32(kind2, static_cast<uint32_t>(b[0]));
    Append32(kind2, static_cast<uint32_t>(b[1]));
  }
  for (int i = 0; i < 2 * elements; ++i) Append32(kind2, 0);
  for (int32_t p : {320, 400, 480, 560}) Append32(kind2, static_cast<uint32_t>(p));
  (void)peaks;
  Store(PathOf(target, "kind2.tag"), kind2);
}

// pap.exe's own output, and the same with CR LF line ends.
void PointProcessSeeds(const std::string& target) {
  std::string error;
  pap::WritePointProcess(PathOf(target, "pulses.pointprocess"), {160, 240, 321, 400, 481}, 16000,
                         0.05, error);
  pap::WritePointProcess(PathOf(target, "empty.pointprocess"), {}, 16000, 0.05, error);
  Bytes lf = Load(PathOf(target, "pulses.pointprocess"));
  Bytes crlf;
  for (uint8_t c : lf) {
    if (c == '\n') crlf.push_back('\r');
    crlf.push_back(c);
  }
  Store(PathOf(target, "pulses_crlf.pointprocess"), crlf);
}

// The script the library writes for pap.exe, and the same with CR LF.
void ScriptSeeds(const std::string& target) {
  const std::string script = talvox::PitchScriptText("temp.wav", "temp.pointprocess");
  Store(PathOf(target, "pitch.psc"), Bytes(script.begin(), script.end()));
  std::string crlf;
  for (char c : script) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  Store(PathOf(target, "pitch_crlf.psc"), Bytes(crlf.begin(), crlf.end()));
}

// The working file the library hands to pap.exe, and the WAV seeds.
void PapWavSeeds(const std::string& target) {
  std::vector<int16_t> signal = Voice(160, 40);
  talvox::WriteTempWav(PathOf(target, "temp.wav").c_str(), signal.data(),
                       static_cast<int32_t>(signal.size()), 16000);
  for (const char* name : {"stereo.wav", "list_odd.wav", "extensible.wav"}) {
    Store(PathOf(target, name), Load(PathOf("wave_file", name)));
  }
}

// Speech-like signals for the host's road: voiced stretches between
// silences, mono and stereo, at two rates.
void RoadSeeds(const std::string& target) {
  InitWaveFileProc();
  std::vector<int16_t> speech(1600, 0);
  std::vector<int16_t> voiced = Voice(1000, 80);
  std::copy(voiced.begin(), voiced.end(), speech.begin() + 300);
  SetDataBuffer(0, speech.data(), static_cast<int32_t>(speech.size()));
  SaveWaveFile(1, PathOf(target, "speech16k.wav").c_str(), 0, 0);
  GetWaveFileHead()->samplesPerSec = 8000;
  GetWaveFileHead()->avgBytesPerSec = 16000;
  SaveWaveFile(1, PathOf(target, "speech8k.wav").c_str(), 0, 0);
  std::vector<int16_t> frames(2 * speech.size());
  for (size_t i = 0; i < speech.size(); ++i) frames[2 * i] = frames[2 * i + 1] = speech[i];
  SetChannels(2);
  SetDataBuffer(2, frames.data(), static_cast<int32_t>(speech.size()));
  SaveWaveFile(1, PathOf(target, "speech_stereo.wav").c_str(), 0, 0);
  FreeWaveFileProc();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_seeds <corpus folder>\n");
    return 1;
  }
  root = argv[1];
  WaveSeeds("wave_file");
  PeakSeeds("peak_file");
  PeakSeeds("tag_file");
  PointProcessSeeds("point_process");
  ScriptSeeds("pap_script");
  PapWavSeeds("pap_wav");
  RoadSeeds("wave_road");
  PeakSeeds("peak_road");
  return 0;
}
