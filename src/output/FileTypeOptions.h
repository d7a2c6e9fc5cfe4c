#pragma once

#include <string>
#include <string_view>
#include <vector>

// The per-extension options of the file-type page: which extensions each option stands for (its
// user data, bar-joined), its label and its icon. One table for the desktop skin and for the
// command line's --types, so both search for the same thing.
namespace salvora {

// Other stands for every file no category names (its one option's key is "*"); the command line
// names only the first three.
enum class FileTypeGroup { Photo, Audio, Video, Document, Archive, Other };

struct FileTypeOption {
  FileTypeGroup group;
  std::string_view userData;  // "jpg|jpeg"
  std::string_view label;     // "JPG/JPEG (.jpg .jpeg)"
  std::string_view icon;      // "file='FileIcon/image.png'"
};

// Every option, photo group first, in the order the page shows them.
const std::vector<FileTypeOption>& FileTypeOptions();
// The group named "photo", "audio" or "video"; false for any other name.
bool FileTypeGroupNamed(std::string_view name, FileTypeGroup& group);
// The search text of the ticked options' user data: "*." and the first key, then "|*." and each
// further key, keys in sorted order ("*.bmp|*.gif|*.jpg|jpeg").
std::string ExtensionTextOfKeys(std::vector<std::string> keys);
// The search text of every option of the given groups.
std::string ExtensionTextOfGroups(const std::vector<FileTypeGroup>& groups);
// The search text of a user's comma list ("jpg,PNG" -> "*.jpg|*.png|"); empty items are skipped
// and a leading "*." or "." is dropped. Empty when the list names nothing.
std::string ExtensionTextOfList(std::string_view commaList);

}  // namespace salvora
