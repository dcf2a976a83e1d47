#include "tier_edit.h"

#include <algorithm>

#include "timeline.h"

namespace tvx::interop {

TierEditor::TierEditor(const TextGrid& grid, int rate, int64_t length) : rate_(rate), length_(length) {
  for (const Tier& tier : grid.tiers) {
    EditedTier edited{&tier, {}, {}};
    for (const Interval& interval : tier.intervals) {
      int64_t start = std::clamp<int64_t>(SecondsToSample(interval.xmin, rate), 0, length);
      int64_t end = std::clamp<int64_t>(SecondsToSample(interval.xmax, rate), 0, length);
      if (end > start) edited.spans.push_back({start, end, interval.text});
    }
    for (const Point& point : tier.points) {
      int64_t at = SecondsToSample(point.time, rate);
      if (at >= 0 && at <= length) edited.marks.push_back({at, point.mark});
    }
    tiers_.push_back(std::move(edited));
  }
}

void TierEditor::Copy(int64_t a, int64_t b) {
  clipboard_.clear();
  clipboardLength_ = b - a + 1;
  for (const EditedTier& tier : tiers_) {
    EditedTier copy{tier.source, {}, {}};
    for (const Span& span : tier.spans) {
      int64_t start = std::max(span.start, a), end = std::min(span.end, b + 1);
      if (end > start) copy.spans.push_back({start - a, end - a, span.text});
    }
    for (const Mark& mark : tier.marks)
      if (mark.at >= a && mark.at <= b) copy.marks.push_back({mark.at - a, mark.text});
    clipboard_.push_back(std::move(copy));
  }
}

void TierEditor::Delete(int64_t a, int64_t b) {
  int64_t removed = b - a + 1;
  // Positions inside the removed stretch close up onto a.
  auto moved = [&](int64_t x) { return x <= a ? x : x <= b + 1 ? a : x - removed; };
  for (EditedTier& tier : tiers_) {
    std::vector<Span> spans;
    for (const Span& span : tier.spans) {
      Span kept{moved(span.start), moved(span.end), span.text};
      if (kept.end > kept.start) spans.push_back(std::move(kept));
    }
    tier.spans = std::move(spans);
    std::vector<Mark> marks;
    for (const Mark& mark : tier.marks)
      if (mark.at < a || mark.at > b) marks.push_back({moved(mark.at), mark.text});
    tier.marks = std::move(marks);
  }
  length_ -= removed;
}

void TierEditor::Paste(int64_t at) {
  if (clipboard_.size() != tiers_.size()) return;  // nothing copied yet
  int64_t added = clipboardLength_;
  for (size_t t = 0; t < tiers_.size(); t++) {
    EditedTier& tier = tiers_[t];
    std::vector<Span> spans;
    bool inserted = false;
    auto insert = [&]() {
      for (const Span& span : clipboard_[t].spans) spans.push_back({span.start + at, span.end + at, span.text});
      inserted = true;
    };
    for (const Span& span : tier.spans) {
      if (span.end <= at) {
        spans.push_back(span);
      } else if (span.start >= at) {
        if (!inserted) insert();
        spans.push_back({span.start + added, span.end + added, span.text});
      } else {  // split around the pasted stretch
        spans.push_back({span.start, at, span.text});
        insert();
        spans.push_back({at + added, span.end + added, span.text});
      }
    }
    if (!inserted) insert();
    tier.spans = std::move(spans);
    std::vector<Mark> marks;
    for (const Mark& mark : tier.marks)
      if (mark.at < at) marks.push_back(mark);
    for (const Mark& mark : clipboard_[t].marks) marks.push_back({mark.at + at, mark.text});
    for (const Mark& mark : tier.marks)
      if (mark.at >= at) marks.push_back({mark.at + added, mark.text});
    tier.marks = std::move(marks);
  }
  length_ += added;
}

TextGrid TierEditor::Result() const {
  TextGrid grid;
  grid.xmax = SampleToSeconds(length_, rate_);
  for (const EditedTier& edited : tiers_) {
    Tier tier;
    tier.kind = edited.source->kind;
    tier.name = edited.source->name;
    tier.xmax = grid.xmax;
    // The tier stays a connected row: what no interval covers is empty.
    int64_t covered = 0;
    for (const Span& span : edited.spans) {
      if (span.start > covered)
        tier.intervals.push_back({SampleToSeconds(covered, rate_), SampleToSeconds(span.start, rate_), "", 0});
      tier.intervals.push_back({SampleToSeconds(span.start, rate_), SampleToSeconds(span.end, rate_), span.text, 0});
      covered = span.end;
    }
    if (tier.kind == Tier::Kind::kInterval && covered < length_)
      tier.intervals.push_back({SampleToSeconds(covered, rate_), grid.xmax, "", 0});
    int64_t last = -1;
    for (const Mark& mark : edited.marks) {
      if (mark.at <= last) continue;  // two points on one sample: the tier keeps the first
      tier.points.push_back({SampleToSeconds(mark.at, rate_), mark.text, 0});
      last = mark.at;
    }
    grid.tiers.push_back(std::move(tier));
  }
  return grid;
}

}  // namespace tvx::interop
