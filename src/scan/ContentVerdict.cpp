#include "scan/ContentVerdict.h"

namespace salvora {

std::string ContentVerdict::Text() const {
  switch (state) {
    case State::Intact: return "intact";
    case State::Damaged: return "damaged at byte " + std::to_string(damagedAt);
    case State::NotChecked: break;
  }
  return "not checked";
}

const char* ContentVerdict::StateWord() const {
  switch (state) {
    case State::Intact: return "intact";
    case State::Damaged: return "damaged";
    case State::NotChecked: break;
  }
  return "not-checked";
}

}  // namespace salvora
