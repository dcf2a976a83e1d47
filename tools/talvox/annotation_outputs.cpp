// The document's annotation written as the exchange files: TextGrid,
// PitchTier, point process, label track and the CSV element table.
#include <algorithm>
#include <cstdint>
#include <deque>

#include "annotation_files.h"
#include "annotation_tiers.h"
#include "cli_error.h"
#include "csv.h"
#include "exported_f0.h"
#include "f0_track.h"
#include "json_output.h"
#include "labels.h"
#include "output.h"
#include "pitchtier.h"
#include "point_process_text.h"
#include "talvox.h"
#include "text_decoding.h"
#include "textgrid.h"

namespace tvx {

std::vector<OptionSpec> WithAnnotationOutputOptions(std::vector<OptionSpec> options, const char* prefix) {
  static std::deque<std::string> names;  // OptionSpec keeps pointers; a deque never moves its strings
  for (const char* name : {"textgrid", "pitchtier", "pointprocess", "labels"}) {
    names.push_back(prefix + std::string(name));
    options.push_back({names.back().c_str(), 0, true});
  }
  options.push_back({"text-format", 0, true});
  return options;
}

AnnotationOutputs ParseAnnotationOutputs(const Args& args, const std::string& prefix) {
  AnnotationOutputs outputs;
  outputs.textgrid = args.Value(prefix + "textgrid").value_or("");
  outputs.pitchtier = args.Value(prefix + "pitchtier").value_or("");
  outputs.pointprocess = args.Value(prefix + "pointprocess").value_or("");
  outputs.labels = args.Value(prefix + "labels").value_or("");
  std::string format = args.Value("text-format").value_or("long");
  if (format == "short")
    outputs.format = interop::TextFormat::kShort;
  else if (format != "long")
    FailUsage(args.command(), "--text-format takes long or short, not '" + format + "'");
  return outputs;
}

void CheckWritable(const AnnotationOutputs& outputs) {
  for (const std::string* path : {&outputs.textgrid, &outputs.pitchtier, &outputs.pointprocess, &outputs.labels})
    if (!path->empty()) OutputFile check(*path);
}

namespace {

interop::Tier ElementsTier(int rate, int64_t length) {
  std::vector<interop::SampleElement> elements;
  for (const ElementRecord& element : CurrentElements()) elements.push_back({element.desc, element.start, element.end});
  return interop::ElementsTier(elements, rate, length);
}

// The files hold points in ascending time, each once; marks from the
// external program keep its order, which need not ascend.
std::vector<int32_t> AscendingMarks() {
  std::vector<int32_t> marks = CurrentPeaks();
  std::sort(marks.begin(), marks.end());
  marks.erase(std::unique(marks.begin(), marks.end()), marks.end());
  return marks;
}

interop::Tier MarksTier(int rate, int64_t length) { return interop::MarksTier(CurrentPeaks(), rate, length); }

std::string TextGridText(int rate, int64_t length, interop::TextFormat format, const interop::TierEditor* edited,
                         const UserTextGrid* user) {
  interop::TextGrid grid;
  grid.xmax = interop::SampleToSeconds(length, rate);
  if (!edited || !user || !user->grid) {
    grid.tiers = {ElementsTier(rate, length), MarksTier(rate, length)};
    return interop::WriteTextGrid(grid, format);
  }
  grid = edited->Result();
  grid.xmax = interop::SampleToSeconds(length, rate);
  auto put = [&](size_t index, interop::Tier tier) {
    tier.name = grid.tiers[index].name;
    grid.tiers[index] = std::move(tier);
  };
  put(user->elementTier, ElementsTier(rate, length));
  std::optional<size_t> markTier = user->markTier;
  for (size_t t = 0; t < grid.tiers.size() && !markTier; t++)  // talvox's own tier from an earlier export
    if (grid.tiers[t].kind == interop::Tier::Kind::kPoint && grid.tiers[t].name == "marks") markTier = t;
  if (markTier)
    put(*markTier, MarksTier(rate, length));
  else
    grid.tiers.push_back(MarksTier(rate, length));
  for (interop::Tier& tier : grid.tiers) tier.xmax = grid.xmax;
  return interop::WriteTextGrid(grid, format);
}

std::string PitchTierText(int rate, int64_t length, const F0Track& track, interop::TextFormat format) {
  interop::PitchTier tier;
  tier.xmax = interop::SampleToSeconds(length, rate);
  for (const F0Point& point : ExportedF0Track(track, rate))
    if (tier.points.empty() || point.seconds > tier.points.back().time)  // ascending, as the file needs
      tier.points.push_back({point.seconds, point.hertz, 0, 0});
  return interop::WritePitchTier(tier, format);
}

std::string PointProcessText(int rate, int64_t length, interop::TextFormat format) {
  interop::PointProcess process;
  process.xmax = interop::SampleToSeconds(length, rate);
  for (int32_t peak : AscendingMarks()) process.times.push_back(interop::SampleToSeconds(peak, rate));
  return interop::WritePointProcess(process, format);
}

std::string LabelText(int rate) {
  std::vector<interop::Label> labels;
  for (const ElementRecord& element : CurrentElements())
    if (element.end > element.start)
      labels.push_back({interop::SampleToSeconds(element.start, rate), interop::SampleToSeconds(element.end, rate),
                        element.desc, 0});
  return interop::WriteLabels(labels);
}

}  // namespace

void WriteAnnotationOutputs(const AnnotationOutputs& outputs, int rate, int64_t length, const F0Track& track,
                            const interop::TierEditor* edited, const UserTextGrid* user) {
  if (!outputs.textgrid.empty())
    WriteTextFile(outputs.textgrid, TextGridText(rate, length, outputs.format, edited, user));
  if (!outputs.pitchtier.empty()) WriteTextFile(outputs.pitchtier, PitchTierText(rate, length, track, outputs.format));
  if (!outputs.pointprocess.empty()) WriteTextFile(outputs.pointprocess, PointProcessText(rate, length, outputs.format));
  if (!outputs.labels.empty()) WriteTextFile(outputs.labels, LabelText(rate));
}

void AddMarkTimes(Json& report, int rate) {
  Json samples = Json::array(), times = Json::array();
  for (int32_t peak : CurrentPeaks()) {
    samples.push_back(peak);
    times.push_back(interop::SampleToSeconds(peak, rate));
  }
  report["mark_samples"] = samples;
  report["mark_times"] = times;
}

std::string ElementTableCsv(const std::string& file, int rate, const F0Track* track) {
  std::string csv = interop::CsvLine({"file", "index", "desc", "start", "end", "start_sample", "end_sample", "marks", "f0"});
  for (const ElementSummary& e : SummarizeElements(rate, track))
    csv += interop::CsvLine({file, std::to_string(e.index), e.desc, interop::ExactNumber(interop::SampleToSeconds(e.start, rate)),
                             interop::ExactNumber(interop::SampleToSeconds(e.end, rate)), std::to_string(e.start),
                             std::to_string(e.end), std::to_string(e.marks), e.medianF0 > 0 ? JsonNumber(e.medianF0, 2).dump() : ""});
  return csv;
}

}  // namespace tvx
