#pragma once

#include <string>
#include <string_view>

// The categories recovered files are sorted into. Photo, audio and video use the extension lists
// of the found-file store; the test is the same substring test (an empty extension matches none).
namespace salvora {

inline constexpr std::string_view kDocumentExtensions =
    "*.doc|*.xls|*.ppt|*.odt|*.ods|*.pdf|*.docx|*.xlsx|*.pptx|*.ole|*.txt|*.xml|*.chm|*.html|*.pst|"
    "*.dbx|*.wps|*.dps|*.et|*.one|*.mpp|*.mdb|*.accdb|";
inline constexpr std::string_view kArchiveExtensions =
    "*.zip|*.rar|*.gzip|*.tar|*.7z|*.cab|*.arj|*.lzh|*.ace|*.gz|*.uue|*.bz2|*.jar|*.iso|";

// "photo", "audio", "video", "document", "archive" or "others": the first list, in that order,
// holding the name's extension.
std::string CategoryOf(std::string_view fileName);

}  // namespace salvora
