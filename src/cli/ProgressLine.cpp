#include "cli/ProgressLine.h"

#include "platform/Clock.h"
#include "platform/ConsoleInput.h"

namespace salvora::cli {

ProgressLine::ProgressLine(FILE* out) : out_(out), terminal_(platform::IsTerminal(out)) {}

void ProgressLine::Update(int percent, const std::string& text) {
  uint64_t now = platform::TickMs();
  if (terminal_) {
    if (open_ && now - lastMs_ < 100 && percent == lastPercent_) return;
    std::string line = text;
    if (line.size() < lastWidth_) line.append(lastWidth_ - line.size(), ' ');
    std::fprintf(out_, "\r%s", line.c_str());
    lastWidth_ = text.size();
  } else {
    if (open_ && now - lastMs_ < 1000 && percent - lastPercent_ < 5) return;
    std::fprintf(out_, "%s\n", text.c_str());
  }
  std::fflush(out_);
  open_ = true;
  lastMs_ = now;
  lastPercent_ = percent;
}

void ProgressLine::Finish() {
  if (open_ && terminal_) std::fprintf(out_, "\n");
  open_ = false;
  lastWidth_ = 0;
  lastPercent_ = -100;
}

std::string FormatSecondsLeft(int seconds) {
  if (seconds < 0) return "unknown";
  char buf[32];
  if (seconds >= 3600)
    std::snprintf(buf, sizeof buf, "%d:%02d:%02d", seconds / 3600, seconds / 60 % 60, seconds % 60);
  else
    std::snprintf(buf, sizeof buf, "%d:%02d", seconds / 60, seconds % 60);
  return buf;
}

}  // namespace salvora::cli
