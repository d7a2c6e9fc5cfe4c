#pragma once

#include <cstdint>
#include <string>

namespace salvora {

// Whether a found file's content holds together by its format's own structure: intact, damaged
// from a byte offset on (counted from the file's first byte), or not checked (no check for its
// type, an empty file, or its bytes were never read).
struct ContentVerdict {
  enum class State : uint8_t { NotChecked = 0, Intact = 1, Damaged = 2 };

  State state = State::NotChecked;
  uint64_t damagedAt = 0;  // Damaged only

  static ContentVerdict NotChecked() { return {}; }
  static ContentVerdict Intact() { return {State::Intact, 0}; }
  static ContentVerdict DamagedAt(uint64_t offset) { return {State::Damaged, offset}; }

  bool intact() const { return state == State::Intact; }
  bool damaged() const { return state == State::Damaged; }
  bool checked() const { return state != State::NotChecked; }
  bool operator==(const ContentVerdict&) const = default;

  // "intact", "damaged at byte N" or "not checked": the words listings and reports use.
  std::string Text() const;
  // The one-word state of JSON and reports: "intact", "damaged" or "not-checked".
  const char* StateWord() const;
};

}  // namespace salvora
