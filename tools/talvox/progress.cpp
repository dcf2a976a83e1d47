#include "progress.h"

#include <cstdio>

#include "paths.h"

namespace tvx {
namespace {

constexpr int kBarWidth = 30;
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);  // no flicker, little cost

std::string FormatCount(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.0f", value);
  return text;
}

}  // namespace

std::string FormatDuration(double seconds) {
  long whole = seconds > 0 ? static_cast<long>(seconds + 0.5) : 0;
  char text[32];
  if (whole >= 3600)
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", whole / 3600, whole / 60 % 60, whole % 60);
  else
    std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
  return text;
}

ProgressBar::ProgressBar(double total, std::string unit)
    : total_(total), unit_(std::move(unit)), enabled_(IsTerminal(2)),
      start_(std::chrono::steady_clock::now()), lastDraw_(start_ - kRedrawInterval) {}

ProgressBar::~ProgressBar() { Finish(); }

double ProgressBar::ElapsedSeconds() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

void ProgressBar::Update(double done, const std::string& note) {
  if (!enabled_) return;
  auto now = std::chrono::steady_clock::now();
  if (now - lastDraw_ < kRedrawInterval && done < total_) return;
  lastDraw_ = now;
  double fraction = total_ > 0 ? done / total_ : 1.0;
  if (fraction > 1) fraction = 1;
  int filled = static_cast<int>(fraction * kBarWidth);
  std::string bar(static_cast<size_t>(filled), '#');
  bar.append(static_cast<size_t>(kBarWidth - filled), '.');
  double elapsed = ElapsedSeconds();
  std::string eta = fraction > 0.01 && fraction < 1 ? " eta " + FormatDuration(elapsed / fraction - elapsed) : "";
  std::string counts = unit_.empty() ? "" : "  " + FormatCount(done) + "/" + FormatCount(total_) + " " + unit_;
  std::fprintf(stderr, "\r[%s] %3d%%%s  %s%s%s\033[K", bar.c_str(), static_cast<int>(fraction * 100), counts.c_str(),
               FormatDuration(elapsed).c_str(), eta.c_str(), note.empty() ? "" : ("  " + note).c_str());
  std::fflush(stderr);
  drawn_ = true;
}

void ProgressBar::Finish() {
  if (drawn_) std::fputs("\r\033[K", stderr);
  drawn_ = false;
}

}  // namespace tvx
