#pragma once

#include <string>

// Whether the segments of an Expert Witness image are all there and whole. libewf opens a cut set
// and says only that it is corrupted; the closing section of each segment (EWF-E01: "next" when
// another segment follows, "done" in the last) tells which one is missing or cut.
namespace salvora::platform {

// "" when libewf finds the set whole (or cannot read it at all: opening says so); otherwise what
// is wrong, naming the missing or cut segment.
std::string EwfSegmentSetProblem(const std::string& firstSegment);

// The segment named after segment (card.E09 -> card.E10, card.E99 -> card.EAA); "" when its
// extension does not count.
std::string NextEwfSegmentName(const std::string& segment);

}  // namespace salvora::platform
