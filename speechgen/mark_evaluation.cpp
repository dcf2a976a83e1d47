#include "mark_evaluation.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace speechgen {

namespace {

double Median(std::vector<double> values) {
  if (values.empty()) return 0.0;
  std::size_t mid = values.size() / 2;
  std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(mid), values.end());
  double upper = values[mid];
  if (values.size() % 2 == 1) return upper;
  double lower = *std::max_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(mid));
  return 0.5 * (lower + upper);
}

double StandardDeviation(const std::vector<double>& values) {
  if (values.size() < 2) return 0.0;
  double mean = 0.0;
  for (double v : values) mean += v;
  mean /= static_cast<double>(values.size());
  double sum = 0.0;
  for (double v : values) sum += (v - mean) * (v - mean);
  return std::sqrt(sum / static_cast<double>(values.size() - 1));
}

// Cycle bounds [lo, hi) of closure k.
void CycleBounds(const std::vector<Closure>& c, std::size_t k, double& lo, double& hi) {
  const bool hasPrevious = k > 0 && c[k - 1].run == c[k].run;
  const bool hasNext = k + 1 < c.size() && c[k + 1].run == c[k].run;
  const double here = c[k].sample;
  double before = hasPrevious ? here - c[k - 1].sample : (hasNext ? c[k + 1].sample - here : 80.0);
  double after = hasNext ? c[k + 1].sample - here : before;
  lo = here - before / 2;
  hi = here + after / 2;
}

}  // namespace

MarkEvaluation EvaluateMarks(const std::vector<Closure>& closures, std::vector<double> marks,
                             int sampleRate) {
  std::sort(marks.begin(), marks.end());
  MarkEvaluation e;
  std::vector<double> errors;
  std::vector<std::vector<double>> runErrors;
  for (std::size_t k = 0; k < closures.size(); ++k) {
    double lo = 0, hi = 0;
    CycleBounds(closures, k, lo, hi);
    auto first = std::lower_bound(marks.begin(), marks.end(), lo);
    auto last = std::lower_bound(first, marks.end(), hi);
    const auto inside = last - first;
    ++e.cycles;
    if (inside == 0) {
      ++e.missed;
    } else if (inside > 1) {
      ++e.falseAlarms;
    } else {
      ++e.identified;
      double errorMs = (*first - closures[k].sample) * 1000.0 / sampleRate;
      errors.push_back(errorMs);
      std::size_t run = static_cast<std::size_t>(closures[k].run);
      if (runErrors.size() <= run) runErrors.resize(run + 1);
      runErrors[run].push_back(errorMs);
    }
  }
  if (e.cycles > 0) {
    e.identificationRate = 100.0 * static_cast<double>(e.identified) / static_cast<double>(e.cycles);
    e.missRate = 100.0 * static_cast<double>(e.missed) / static_cast<double>(e.cycles);
    e.falseAlarmRate = 100.0 * static_cast<double>(e.falseAlarms) / static_cast<double>(e.cycles);
  }
  e.errorStdMs = StandardDeviation(errors);
  e.medianOffsetMs = Median(errors);
  std::vector<double> centred;
  for (const std::vector<double>& run : runErrors) {
    double median = Median(run);
    for (double v : run) centred.push_back(v - median);
  }
  e.runErrorStdMs = StandardDeviation(centred);
  return e;
}

std::string FormatEvaluation(const MarkEvaluation& e) {
  char text[256];
  std::snprintf(text, sizeof text,
                "cycles %lld  id %.2f%%  miss %.2f%%  fa %.2f%%  std %.3f ms  run std %.3f ms  "
                "offset %.3f ms",
                static_cast<long long>(e.cycles), e.identificationRate, e.missRate,
                e.falseAlarmRate, e.errorStdMs, e.runErrorStdMs, e.medianOffsetMs);
  return text;
}

}  // namespace speechgen
