#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Names that fit the destination file system: a name from the medium may be legal there (255
// UTF-16 units) and still longer than a Linux file system allows (255 bytes per name, 4095 per
// path), so it is cut on a character boundary, keeping its extension.
namespace salvora {

// The longest name, in the system's units (bytes; UTF-16 units on Windows), the file system holding folder takes (asked of the nearest folder
// that exists; 255 when it cannot say).
size_t NameLimitOf(const std::string& folder);
// The longest name that may follow folder + "/" without the path passing the system's limit.
size_t PathRoomIn(const std::string& folder);

// name split at its extension: the last ".", when it is not the first character and what follows
// is short enough to be an extension. extension keeps its dot ("" when there is none).
void SplitExtension(std::string_view name, std::string_view& stem, std::string_view& extension);

// stem + suffix + extension of name, with the stem cut on a UTF-8 character boundary so the whole
// takes at most maxBytes; "" when not even one character of the stem fits.
std::string FitName(std::string_view name, std::string_view suffix, size_t maxBytes);

}  // namespace salvora
