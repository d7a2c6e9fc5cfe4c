#pragma once

#include <string>
#include <string_view>

// The extension lists (items "*.ext|") that decide preview handling, the content-check filter and
// the type categories. Extensions are tested as substrings of a list, so "pg" matches "*.jpg|".
// A few items added later match only as a whole extension: as substrings they would take shorter
// ones from the lists after them ("avi" inside "avif", "fla" inside "flac").
namespace salvora {

inline constexpr char PictureExtensions[] =
    "*.bmp|*.gif|*.jpg|*.jpeg|*.png|*.psd|*.tif|*.tiff|*.pcx|*.scr|*.ico|*.nef|*.nrw|*.crw|*.cr2|"
    "*.sr2|*.arw|*.srf|*.divu|*.pgm|*.k25|*.kdc|*.dcr|*.raf|*.iff|*.pbm|*.mef|*.jp2|*.mos|*.x3f|"
    "*.orf|*.erf|*.indd|*.pef|*.psp|*.mrw|*.dng|*.raw|*.pct|*.tga|*.thm|"
    "*.heic|*.heif|*.avif|*.cr3|*.rw2|*.webp|";

inline constexpr char AudioExtensions[] =
    "*.mp3|*.wav|*.ape|*.aiff|*.rps|*.mid|*.midi|*.m4a|*.m4p|*.au|*.ogg|*.wma|*.rm|*.ra|*.acd|"
    "*.amr|*.at3|*.caf|*.dss|*.m4r|*.nra|*.snd|*.flac|*.opus|*.oga|";

inline constexpr char VideoExtensions[] =
    "*.rmvb|*.rm|*.mpeg|*.mov|*.avi|*.wmv|*.asf|*.mp4|*.flv|*.fla|*.swf|*.m4v|*.3gp|*.dv|*.3g2|"
    "*.m4b|*.mkv|*.mts|*.divx|*.ogm|*.moi|*.vob|*.ajp|*.f4v|*.mqv|*.svi|*.vid|*.tod|*.hdmov|"
    "*.mod|*.mxf|*.lrv|*.m2t|";

// A search-text item that matches every file, with or without an extension (the "others" of
// the desktop program, which no list of extensions can name).
inline constexpr std::string_view kEveryFileItem = "*.*|";

// The text after the last "." of name, lower-cased; empty when there is none.
std::string LowerExtensionOf(std::string_view name);
// True when extension is non-empty and occurs as a substring of list, other than as a part of an
// item that matches only whole.
bool ExtensionInList(std::string_view extension, std::string_view list);

}  // namespace salvora
