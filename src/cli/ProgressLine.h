#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace salvora::cli {

// One progress line on stderr: rewritten in place on a terminal, or plain lines (at most one a
// second, and whenever the percent changes by 5) when stderr is a file or a pipe.
class ProgressLine {
 public:
  explicit ProgressLine(FILE* out = stderr);
  ~ProgressLine() { Finish(); }
  void Update(int percent, const std::string& text);
  // Ends the line (a terminal gets its newline); later updates start a new line.
  void Finish();
  bool IsTerminal() const { return terminal_; }

 private:
  FILE* out_;
  bool terminal_;
  bool open_ = false;
  uint64_t lastMs_ = 0;
  int lastPercent_ = -100;
  size_t lastWidth_ = 0;
};

// "12:34" or "1:02:03", "unknown" for a negative count: the time-left field of progress lines.
std::string FormatSecondsLeft(int seconds);

}  // namespace salvora::cli
