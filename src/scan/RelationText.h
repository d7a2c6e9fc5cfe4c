#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "scan/RelationKey.h"

// The text form of a relation map: for each key in order " | ", the key in decimal, " - [", the
// record numbers in decimal separated by ",", and "]". No line breaks.
namespace salvora {

using RelationLists = std::map<RelationKey, std::vector<uint32_t>>;

// Appends the text of one entry to out.
void AppendRelationEntry(std::string& out, RelationKey key, const std::vector<uint32_t>& numbers);
std::string FormatRelations(const RelationLists& relations);

// Parses relation text into relations (an entry replaces a list already held for its key). The
// text is untrusted: numbers that are not decimal, overflow, are 0 or do not fit 32 bits are
// dropped, an unterminated last entry keeps only the numbers closed by ",", and empty lists are
// not kept. Linear in the text length.
void ParseRelations(std::string_view text, RelationLists& relations);

}  // namespace salvora
