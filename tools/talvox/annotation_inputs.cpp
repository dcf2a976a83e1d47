// A user's elements and marks read from the exchange files and put into the
// document in place of talvox's own.
#include "annotation_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "cli_error.h"
#include "text_input.h"
#include "csv.h"
#include "json_output.h"
#include "format_error.h"
#include "labels.h"
#include "oo_text.h"
#include "output.h"
#include "pitch_request.h"
#include "pitchtier.h"
#include "point_process_text.h"
#include "talvox.h"
#include "text_decoding.h"
#include "textgrid.h"

namespace tvx {

using interop::FormatError;

const char* const kAnnotationInputHelp =
    "annotation files (TextGrid long or short text, UTF-8 or UTF-16; label\n"
    "tracks 'start<TAB>end<TAB>label'; CSV tables and JSON reports as analyze\n"
    "--csv and --json write):\n"
    "  --elements FILE       the elements from FILE instead of talvox's\n"
    "                        segmentation: a TextGrid interval tier, a label\n"
    "                        track's labels, a CSV table's rows or a JSON\n"
    "                        report's elements. Times become\n"
    "                        the nearest sample; stretches that nothing covers\n"
    "                        and empty labels become elements of --empty-label\n"
    "  --tier NAME           the interval tier to take (default: the first)\n"
    "  --empty-label TEXT    description of empty intervals (default: empty;\n"
    "                        'SIL' makes them silences)\n"
    "  --marks FILE          pitch marks from a point-process text, a TextGrid\n"
    "                        point tier, a label track's start times or a JSON\n"
    "                        report's mark_times\n"
    "  --mark-tier NAME      the point tier to take (default: the first)\n"
    "  --snap none|peak|zerocross\n"
    "                        move each mark from a file to the largest sample\n"
    "                        or the zero crossing near it (default: none)\n";

std::vector<OptionSpec> WithAnnotationInputOptions(std::vector<OptionSpec> options) {
  options.insert(options.end(), {{"elements", 0, true}, {"tier", 0, true}, {"empty-label", 0, true},
                                 {"mark-tier", 0, true}, {"snap", 0, true}});
  return options;
}

namespace {

bool EndsWith(const std::string& text, const std::string& tail) {
  if (text.size() < tail.size()) return false;
  return std::equal(tail.begin(), tail.end(), text.end() - tail.size(),
                    [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b)); });
}

bool IsRegularFile(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string Decoded(const std::string& path, const std::string& bytes) {
  try {
    return interop::DecodeText(bytes);
  } catch (const FormatError& error) {
    FailFile(path, error.what());
  }
}

std::string ReadDecoded(const std::string& path) {
  try {
    return interop::DecodeText(ReadTextBytes(path, kAnnotationInputLimit));
  } catch (const FormatError& error) {
    FailFile(path, error.what());
  }
}

enum class FileKind { kObjectText, kLabels, kCsv, kJson };

FileKind KindOf(const std::string& text) {
  size_t first = text.find_first_not_of(" \r\n");
  if (first == std::string::npos) return FileKind::kLabels;
  if (text.compare(first, 9, "File type") == 0 || text.compare(first, 12, "ooBinaryFile") == 0)
    return FileKind::kObjectText;  // the object readers name what is wrong with it
  if (text[first] == '{') return FileKind::kJson;
  size_t end = text.find('\n', first);
  std::string line = text.substr(first, end == std::string::npos ? std::string::npos : end - first);
  if (line.find('\t') == std::string::npos && line.find(',') != std::string::npos) return FileKind::kCsv;
  return FileKind::kLabels;
}

const interop::Tier& ChosenTier(const interop::TextGrid& grid, interop::Tier::Kind kind, const std::string& name,
                                const char* option) {
  const interop::Tier* tier = interop::FindTier(grid, kind, name);
  std::string wanted = kind == interop::Tier::Kind::kInterval ? "interval tier" : "point tier";
  if (!tier && name.empty()) throw FormatError(0, "the TextGrid holds no " + wanted);
  if (!tier) throw FormatError(0, "the TextGrid has no tier named '" + name + "'");
  if (tier->kind != kind) throw FormatError(tier->line, "tier '" + name + "' is not the " + wanted + " that " + option + " needs");
  return *tier;
}

double CsvNumber(const interop::CsvTable& table, size_t row, int column) {
  const std::string& field = table.rows[row][size_t(column)];
  char* end = nullptr;
  double value = std::strtod(field.c_str(), &end);
  if (field.empty() || *end != '\0' || !std::isfinite(value))
    throw FormatError(table.lines[row], "expected a number in column '" + table.header[size_t(column)] + "', found '" + field + "'");
  return value;
}

// Rows of a table as analyze --csv writes it; sample columns win over seconds.
std::vector<interop::TimedSegment> SegmentsFromCsv(const std::string& text, bool* inSamples) {
  interop::CsvTable table = interop::ParseCsv(text);
  int desc = table.Column("desc");
  int startSample = table.Column("start_sample"), endSample = table.Column("end_sample");
  int start = table.Column("start"), end = table.Column("end");
  bool bySamples = startSample >= 0 && endSample >= 0;
  if (desc < 0 || (!bySamples && (start < 0 || end < 0)))
    throw FormatError(1, "expected the columns desc and start_sample, end_sample (or start, end in seconds)");
  int file = table.Column("file");
  std::vector<interop::TimedSegment> segments;
  for (size_t row = 0; row < table.rows.size(); row++) {
    if (file >= 0 && table.rows[row][size_t(file)] != table.rows[0][size_t(file)])
      throw FormatError(table.lines[row], "the table holds the elements of more than one file");
    interop::TimedSegment segment;
    segment.line = table.lines[row];
    segment.label = table.rows[row][size_t(desc)];
    segment.start = CsvNumber(table, row, bySamples ? startSample : start);
    segment.end = CsvNumber(table, row, bySamples ? endSample : end);
    segments.push_back(segment);
  }
  *inSamples = bySamples;
  return segments;
}

int LineOfByte(const std::string& text, size_t byte) {
  return 1 + static_cast<int>(std::count(text.begin(), text.begin() + std::min(byte, text.size()), '\n'));
}

// A report as analyze --json writes it (one file's object).
Json ParseReport(const std::string& text) {
  try {
    Json report = Json::parse(text);
    if (!report.is_object()) throw FormatError(1, "expected one JSON object, as analyze --json writes for one file");
    return report;
  } catch (const Json::parse_error& error) {
    throw FormatError(LineOfByte(text, error.byte ? error.byte - 1 : 0), "not valid JSON (one object, as analyze --json writes)");
  }
}

double JsonField(const Json& item, const char* name, size_t index) {
  auto field = item.find(name);
  if (field == item.end() || !field->is_number() || !std::isfinite(field->get<double>()))
    throw FormatError(0, "element " + std::to_string(index) + ": expected a number \"" + name + "\"");
  return field->get<double>();
}

// The elements of a report; sample positions win over seconds, as in CSV.
std::vector<interop::TimedSegment> SegmentsFromJson(const std::string& text, bool* inSamples) {
  Json report = ParseReport(text);
  auto elements = report.find("elements");
  if (elements == report.end() || !elements->is_array() || elements->empty())
    throw FormatError(1, "expected a non-empty \"elements\" array");
  bool bySamples = true;
  for (const Json& item : *elements)
    if (!item.is_object() || !item.contains("start_sample") || !item.contains("end_sample")) bySamples = false;
  std::vector<interop::TimedSegment> segments;
  for (size_t i = 0; i < elements->size(); i++) {
    const Json& item = (*elements)[i];
    if (!item.is_object()) throw FormatError(0, "element " + std::to_string(i) + ": expected an object");
    auto desc = item.find("desc");
    if (desc == item.end() || !desc->is_string())
      throw FormatError(0, "element " + std::to_string(i) + ": expected a text \"desc\"");
    interop::TimedSegment segment;
    segment.label = desc->get<std::string>();
    segment.start = JsonField(item, bySamples ? "start_sample" : "start", i);
    segment.end = JsonField(item, bySamples ? "end_sample" : "end", i);
    segments.push_back(segment);
  }
  *inSamples = bySamples;
  return segments;
}

// The marks of a report, from its exact times.
std::vector<interop::TimedPoint> PointsFromJson(const std::string& text) {
  Json report = ParseReport(text);
  auto times = report.find("mark_times");
  if (times == report.end() || !times->is_array())
    throw FormatError(1, "expected a \"mark_times\" array (analyze --json writes one)");
  std::vector<interop::TimedPoint> points;
  for (const Json& time : *times) {
    if (!time.is_number() || !std::isfinite(time.get<double>()))
      throw FormatError(0, "mark " + std::to_string(points.size()) + ": expected a time in seconds");
    points.push_back({time.get<double>(), 0});
  }
  return points;
}

struct ParsedSegments {
  std::vector<interop::TimedSegment> segments;
  bool inSamples = false;
  UserTextGrid userGrid;
};

size_t IndexOf(const interop::TextGrid& grid, const interop::Tier& tier) { return size_t(&tier - grid.tiers.data()); }

ParsedSegments SegmentsFromFile(const std::string& text, const Args& args) {
  ParsedSegments parsed;
  switch (KindOf(text)) {
    case FileKind::kObjectText: {
      auto grid = std::make_shared<interop::TextGrid>(interop::ParseTextGrid(text));
      const interop::Tier& tier = ChosenTier(*grid, interop::Tier::Kind::kInterval, args.Value("tier").value_or(""), "--tier");
      for (const interop::Interval& interval : tier.intervals)
        parsed.segments.push_back({interval.xmin, interval.xmax, interval.text, interval.line});
      parsed.userGrid.elementTier = IndexOf(*grid, tier);
      parsed.userGrid.grid = std::move(grid);
      break;
    }
    case FileKind::kLabels:
      for (const interop::Label& label : interop::ParseLabels(text)) {
        if (label.end == label.start)
          throw FormatError(label.line, "a point label (start = end) cannot be an element; give the file to --marks");
        parsed.segments.push_back({label.start, label.end, label.text, label.line});
      }
      if (parsed.segments.empty()) throw FormatError(0, "no labels in the file");
      break;
    case FileKind::kCsv:
      parsed.segments = SegmentsFromCsv(text, &parsed.inSamples);
      break;
    case FileKind::kJson:
      parsed.segments = SegmentsFromJson(text, &parsed.inSamples);
      break;
  }
  return parsed;
}

std::vector<interop::TimedPoint> PointsFromFile(const std::string& text, const Args& args, size_t* tierIndex) {
  std::vector<interop::TimedPoint> points;
  if (KindOf(text) == FileKind::kJson) return PointsFromJson(text);
  if (KindOf(text) == FileKind::kObjectText) {
    if (interop::ObjectClassOf(text) != "TextGrid") {  // the reader names any other class
      interop::PointProcess process = interop::ParsePointProcess(text);
      for (size_t i = 0; i < process.times.size(); i++) points.push_back({process.times[i], process.lines[i]});
      return points;
    }
    interop::TextGrid grid = interop::ParseTextGrid(text);
    const interop::Tier& tier = ChosenTier(grid, interop::Tier::Kind::kPoint, args.Value("mark-tier").value_or(""), "--mark-tier");
    for (const interop::Point& point : tier.points) points.push_back({point.time, point.line});
    *tierIndex = IndexOf(grid, tier);
    return points;
  }
  for (const interop::Label& label : interop::ParseLabels(text)) points.push_back({label.start, label.line});
  return points;
}

Snap ParseSnap(const Args& args) {
  std::string snap = args.Value("snap").value_or("none");
  if (snap == "none") return Snap::kNone;
  if (snap == "peak") return Snap::kPeak;
  if (snap == "zerocross") return Snap::kZerocross;
  FailUsage(args.command(), "--snap takes none, peak or zerocross, not '" + snap + "'");
}

}  // namespace

std::optional<std::string> MarksFileArgument(const Args& args) {
  std::optional<std::string> marks = args.Value("marks");
  if (!marks || marks->empty()) return std::nullopt;
  for (const char* source : {"internal", "external", "voice"})  // the mark sources win over a file of that name
    if (*marks == source) return std::nullopt;
  if (IsRegularFile(*marks) || EndsWith(*marks, ".PointProcess") || EndsWith(*marks, ".TextGrid")) return marks;
  return std::nullopt;
}

AnnotationInputs ReadAnnotationInputs(const Args& args) {
  AnnotationInputs inputs;
  inputs.emptyLabel = args.Value("empty-label").value_or("");
  inputs.snap = ParseSnap(args);
  if (inputs.emptyLabel.size() > interop::kLongestDescription)
    FailUsage(args.command(), "--empty-label holds at most 103 bytes");
  if (auto path = args.Value("elements")) {
    inputs.elementsPath = *path;
    std::string text = ReadDecoded(*path);
    try {
      ParsedSegments parsed = SegmentsFromFile(text, args);
      inputs.segments = std::move(parsed.segments);
      inputs.segmentsInSamples = parsed.inSamples;
      inputs.userGrid = std::move(parsed.userGrid);
    } catch (const FormatError& error) {
      FailFile(*path, error.what());
    }
  }
  if (auto path = MarksFileArgument(args)) {
    inputs.marksPath = *path;
    std::string text = ReadDecoded(*path);
    try {
      size_t tierIndex = SIZE_MAX;
      inputs.points = PointsFromFile(text, args, &tierIndex);
      if (inputs.userGrid.grid && *path == inputs.elementsPath && tierIndex != SIZE_MAX) inputs.userGrid.markTier = tierIndex;
    } catch (const FormatError& error) {
      FailFile(*path, error.what());
    }
  } else if (args.Has("snap") || args.Has("mark-tier")) {
    FailUsage(args.command(), "--snap and --mark-tier belong to --marks FILE");
  }
  if (args.Has("tier") && !inputs.HasElements()) FailUsage(args.command(), "--tier belongs to --elements FILE");
  return inputs;
}

void InstallAnnotation(const std::vector<interop::SampleElement>& elements, const std::vector<int32_t>& peaks,
                       const std::vector<int32_t>& periods, int rate) {
  std::vector<TvxElement> table(std::max<size_t>(elements.size(), 1));
  for (size_t i = 0; i < elements.size(); i++) {
    std::memset(table[i].desc, 0, sizeof table[i].desc);
    std::memcpy(table[i].desc, elements[i].desc.data(), std::min(elements[i].desc.size(), sizeof table[i].desc - 1));
    table[i].start = elements[i].start;
    table[i].end = elements[i].end;
  }
  std::vector<int32_t> marks = peaks, pitch = periods;
  pitch.resize(marks.empty() ? 0 : marks.size() - 1, 0);
  TvxDocument record{};
  record.elements = table.data();
  record.elementCount = static_cast<int32_t>(elements.size());
  record.elementCapacity = static_cast<int32_t>(table.size());
  record.peaks = marks.empty() ? nullptr : marks.data();
  record.modifiedPitch = pitch.empty() ? nullptr : pitch.data();
  record.peakCount = static_cast<int32_t>(marks.size());
  record.peakRate = rate;
  // The library takes a whole annotation only from a peak file.
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/talvox-annotation-XXXXXX";
  std::vector<char> folder(pattern.begin(), pattern.end());
  folder.push_back('\0');
  if (!mkdtemp(folder.data())) throw CliError(kExitFailure, "cannot make a working folder: " + SystemMessage(errno));
  std::string path = std::string(folder.data()) + "/annotation.peaks";
  bool stored = _SavePeaks(path.c_str(), &record) && ReadPeaks(path.c_str());
  unlink(path.c_str());
  rmdir(folder.data());
  if (!stored) throw CliError(kExitFailure, "the annotation could not be handed to the library (disk full?)");
}

namespace {

std::vector<interop::SampleElement> CurrentSampleElements() {
  std::vector<interop::SampleElement> elements;
  for (const ElementRecord& element : CurrentElements()) elements.push_back({element.desc, element.start, element.end});
  return elements;
}

std::vector<int32_t> CurrentPeriods() {
  int32_t* periods = nullptr;
  int32_t count = GetFullModifiedPitch(&periods);
  if (count <= 0 || !periods) return {};
  return std::vector<int32_t>(periods, periods + count);
}

std::vector<int32_t> SnappedMarks(std::vector<int32_t> marks, Snap snap, int channel) {
  if (snap == Snap::kNone) return marks;
  for (int32_t& mark : marks) {
    int32_t moved = snap == Snap::kPeak ? GetClosedMaximumPeak(mark, channel) : GetClosedZerocross(mark, channel);
    if (moved >= 0) mark = moved;
  }
  std::sort(marks.begin(), marks.end());
  marks.erase(std::unique(marks.begin(), marks.end()), marks.end());
  return marks;
}

std::vector<int32_t> Distances(const std::vector<int32_t>& marks) {
  std::vector<int32_t> distances;
  for (size_t k = 0; k + 1 < marks.size(); k++) distances.push_back(marks[k + 1] - marks[k]);
  return distances;
}

}  // namespace

bool InstallUserElements(const LoadedWave& wave, const AnnotationInputs& inputs) {
  if (!inputs.HasElements()) return false;
  std::vector<interop::SampleElement> elements;
  try {
    elements = interop::ElementsFromSegments(inputs.segments, inputs.segmentsInSamples ? 1 : wave.rate, wave.length,
                                             inputs.emptyLabel);
  } catch (const FormatError& error) {
    FailFile(inputs.elementsPath, error.what());
  }
  InstallAnnotation(elements, CurrentPeaks(), CurrentPeriods(), wave.rate);
  return true;
}

void Annotate(const LoadedWave& wave, int channel, MarkSource source, const std::string& peakFile, VoiceRange range,
              const AnnotationInputs& inputs) {
  if (!inputs.HasElements() && !inputs.HasMarks()) return Annotate(wave, channel, source, peakFile, range);
  const int16_t* samples = GetDataBuffer(channel);
  // Segmented first as the analysis would be, so the marks do not depend on
  // whose segmentation is used (the segmenters advance the filter state).
  // The voice tracker leaves no filter state: it runs once, for its marks
  // (segmenting with them) when they are used, else only when its elements
  // are kept.
  const bool voice = peakFile.empty() && source == MarkSource::kVoice;
  const bool voiceMarks = voice && !inputs.HasMarks();
  if (voiceMarks) {
    CalculateVoiceMarks(samples, wave.length, wave.rate, range.floor, range.ceiling);
  } else if (voice) {
    if (!inputs.HasElements()) SegmentVoice(samples, wave.length, wave.rate, range.floor, range.ceiling);
  } else if (peakFile.empty()) {
    SegmentSpeech(samples, wave.length, wave.rate);
  } else {
    LoadPeakFile(peakFile, wave);
  }
  InstallUserElements(wave, inputs);
  if (inputs.HasMarks()) {
    std::vector<int32_t> marks;
    try {
      marks = interop::MarksFromPoints(inputs.points, wave.rate, wave.length);
    } catch (const FormatError& error) {
      FailFile(inputs.marksPath, error.what());
    }
    marks = SnappedMarks(std::move(marks), inputs.snap, channel);
    if (GetElementNum() <= 0) SetFullSegmentation();
    InstallAnnotation(CurrentSampleElements(), marks, Distances(marks), wave.rate);
  } else if (peakFile.empty() && !voiceMarks) {
    AnalyzeChannel(wave, channel, source, range);
  }
  CheckInterrupted();
  if (GetElementNum() <= 0) SetFullSegmentation();
}

std::optional<std::vector<std::pair<double, double>>> ParsePitchTierContour(const std::string& path,
                                                                            const std::string& bytes) {
  std::string text = Decoded(path, bytes);
  if (KindOf(text) != FileKind::kObjectText) return std::nullopt;
  std::vector<std::pair<double, double>> points;
  try {
    for (const interop::PitchPoint& point : interop::ParsePitchTier(text).points) {
      if (!(point.hertz >= kLowestF0 && point.hertz <= kHighestF0))
        throw FormatError(point.valueLine, "F0 must lie between 20 and 2000 Hz");
      points.emplace_back(point.time, point.hertz);
    }
  } catch (const FormatError& error) {
    FailFile(path, error.what());
  }
  if (points.empty()) FailFile(path, "the PitchTier holds no points");
  return points;
}

}  // namespace tvx
