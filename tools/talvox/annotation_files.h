// A user's annotation in and out through the files phoneticians' tools
// exchange: elements from a TextGrid interval tier, a label track or a CSV
// table; pitch marks from a point-process text, a TextGrid point tier or a
// label track; and the document's elements, marks and F0 written back as
// TextGrid, PitchTier, point-process text and label files.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "analysis.h"
#include "args.h"
#include "json_output.h"
#include "oo_text_writer.h"
#include "session.h"
#include "textgrid.h"
#include "tier_edit.h"
#include "timeline.h"

namespace tvx {

enum class Snap { kNone, kPeak, kZerocross };

// The user's whole TextGrid when --elements names one: its other tiers are
// edited beside the library's annotation, so they move with the samples too.
struct UserTextGrid {
  std::shared_ptr<const interop::TextGrid> grid;
  size_t elementTier = 0;
  std::optional<size_t> markTier;  // when --marks takes its points from the same file
};

struct AnnotationInputs {
  std::string elementsPath;
  std::vector<interop::TimedSegment> segments;
  bool segmentsInSamples = false;  // a CSV's sample columns: times at 1 Hz
  UserTextGrid userGrid;  // grid is null unless the elements came from a TextGrid
  std::string emptyLabel;
  std::string marksPath;
  std::vector<interop::TimedPoint> points;
  Snap snap = Snap::kNone;
  bool HasElements() const { return !elementsPath.empty(); }
  bool HasMarks() const { return !marksPath.empty(); }
};

// --elements, --tier, --empty-label, --mark-tier and --snap beside a
// command's own options, and their help.
std::vector<OptionSpec> WithAnnotationInputOptions(std::vector<OptionSpec> options);
extern const char* const kAnnotationInputHelp;

// A --marks value that means marks from a file: one naming an existing file,
// or ending in .PointProcess or .TextGrid; the names of the mark sources
// (internal, external, voice) never do.
std::optional<std::string> MarksFileArgument(const Args& args);

// Reads and checks the files now, before any work (times become samples
// once the signal is known). Fails with the file, the line and what was
// expected.
AnnotationInputs ReadAnnotationInputs(const Args& args);

// Annotate, then the user's elements and marks in place of talvox's: the
// elements before the marks are placed (so the marks are found in the
// user's segmentation), marks from a file snapped as asked.
void Annotate(const LoadedWave& wave, int channel, MarkSource source, const std::string& peakFile, VoiceRange range,
              const AnnotationInputs& inputs);

// The user's elements in place of the document's (its marks kept); false
// when none were given.
bool InstallUserElements(const LoadedWave& wave, const AnnotationInputs& inputs);

// Replaces the document's elements, peaks and modified pitch at once, as a
// peak file would (the segmentation flag is then set).
void InstallAnnotation(const std::vector<interop::SampleElement>& elements, const std::vector<int32_t>& peaks,
                       const std::vector<int32_t>& periods, int rate);

struct AnnotationOutputs {
  std::string textgrid, pitchtier, pointprocess, labels;
  interop::TextFormat format = interop::TextFormat::kLong;
  bool Any() const { return !textgrid.empty() || !pitchtier.empty() || !pointprocess.empty() || !labels.empty(); }
};

// --PREFIXtextgrid, --PREFIXpitchtier, --PREFIXpointprocess, --PREFIXlabels
// and --text-format.
std::vector<OptionSpec> WithAnnotationOutputOptions(std::vector<OptionSpec> options, const char* prefix);
AnnotationOutputs ParseAnnotationOutputs(const Args& args, const std::string& prefix);
// Fails before any work when an output cannot be written.
void CheckWritable(const AnnotationOutputs& outputs);
// The document's annotation of a signal of length samples. With edited, the
// TextGrid is the user's with the library's elements and marks in place of
// the tiers they came from (the marks also replace a point tier named
// 'marks'; otherwise such a tier is added).
// The PitchTier holds the voiced frames of track.
struct F0Track;
void WriteAnnotationOutputs(const AnnotationOutputs& outputs, int rate, int64_t length, const F0Track& track,
                            const interop::TierEditor* edited = nullptr, const UserTextGrid* user = nullptr);

// Adds "mark_samples" and "mark_times" to a report: every pitch mark, the
// times as the exact doubles the exported files carry, for comparing them.
void AddMarkTimes(Json& report, int rate);

// The document's elements as a CSV table (the columns of analyze --json).
std::string ElementTableCsv(const std::string& file, int rate, const F0Track* track);

// A PitchTier file's points as a contour; nullopt when the file is not one.
std::optional<std::vector<std::pair<double, double>>> ParsePitchTierContour(const std::string& path,
                                                                            const std::string& bytes);

}  // namespace tvx
