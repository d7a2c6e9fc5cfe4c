#include "output/FileTypeOptions.h"

#include <algorithm>

#include "platform/TextEncoding.h"
#include "scan/ExtensionLists.h"

namespace salvora {

const std::vector<FileTypeOption>& FileTypeOptions() {
  static const std::vector<FileTypeOption> options = {
      {FileTypeGroup::Photo, "bmp", "BMP (.bmp)", "file='FileIcon/image.png'"},
      {FileTypeGroup::Photo, "gif", "GIF (.gif)", "file='FileIcon/image.png'"},
      {FileTypeGroup::Photo, "jpg|jpeg", "JPG/JPEG (.jpg .jpeg)", "file='FileIcon/image.png'"},
      {FileTypeGroup::Photo, "png", "PNG (.png)", "file='FileIcon/image.png'"},
      {FileTypeGroup::Photo, "psd", "PSD (.psd)", "file='FileIcon/image.png'"},
      {FileTypeGroup::Photo, "tif|tiff", "TIF/TIFF (.tif .tiff)", "file='FileIcon/image.png'"},
      {FileTypeGroup::Photo, "pcx|scr", "PCX/SCR (.pcx .scr)", "file='FileIcon/image.png'"},
      {FileTypeGroup::Photo, "ico", "ICO (.ico)", "file='FileIcon/image.png'"},
      {FileTypeGroup::Photo, "nef", "NEF (.nef)", "file='FileIcon/image.png'"},
      {FileTypeGroup::Photo, "cr2", "CR2 (.cr2)", "file='FileIcon/image.png'"},
      {FileTypeGroup::Photo, "crw", "CRW (.crw)", "file='FileIcon/image.png'"},
      {FileTypeGroup::Photo, "arw", "ARW (.arw)", "file='FileIcon/image.png'"},
      {FileTypeGroup::Photo, "orf", "ORF (.orf)", "file='FileIcon/image.png'"},
      {FileTypeGroup::Photo, "raf", "RAF (.raf)", "file='FileIcon/image.png'"},
      {FileTypeGroup::Photo, "dng", "DNG (.dng)", "file='FileIcon/image.png'"},
      {FileTypeGroup::Photo, "pef", "PEF (.pef)", "file='FileIcon/image.png'"},
      {FileTypeGroup::Photo, "heic|heif", "HEIC/HEIF (.heic .heif)", "file='FileIcon/image.png'"},
      {FileTypeGroup::Photo, "avif", "AVIF (.avif)", "file='FileIcon/image.png'"},
      {FileTypeGroup::Photo, "webp", "WebP (.webp)", "file='FileIcon/image.png'"},
      {FileTypeGroup::Photo, "cr3", "CR3 (.cr3)", "file='FileIcon/image.png'"},
      {FileTypeGroup::Photo, "rw2", "RW2 (.rw2)", "file='FileIcon/image.png'"},
      {FileTypeGroup::Audio, "mp3", "MP3 (.mp3)", "file='FileIcon/music.png'"},
      {FileTypeGroup::Audio, "wav", "WAV (.wav)", "file='FileIcon/music.png'"},
      {FileTypeGroup::Audio, "m4a|m4p", "M4A/M4P (.m4a .m4p)", "file='FileIcon/music.png'"},
      {FileTypeGroup::Audio, "mid|midi", "MID/MIDI (.mid .midi)", "file='FileIcon/music.png'"},
      {FileTypeGroup::Audio, "ogg|oga", "OGG (.ogg .oga)", "file='FileIcon/music.png'"},
      {FileTypeGroup::Audio, "wma", "WMA (.wma)", "file='FileIcon/music.png'"},
      {FileTypeGroup::Audio, "amr", "AMR (.amr)", "file='FileIcon/music.png'"},
      {FileTypeGroup::Audio, "ape", "APE (.ape)", "file='FileIcon/music.png'"},
      {FileTypeGroup::Audio, "aiff", "AIFF (.aiff)", "file='FileIcon/music.png'"},
      {FileTypeGroup::Audio, "au", "AU (.au)", "file='FileIcon/music.png'"},
      {FileTypeGroup::Audio, "ra", "RA (.ra)", "file='FileIcon/music.png'"},
      {FileTypeGroup::Audio, "m4r", "M4R (.m4r)", "file='FileIcon/music.png'"},
      {FileTypeGroup::Audio, "flac", "FLAC (.flac)", "file='FileIcon/music.png'"},
      {FileTypeGroup::Audio, "opus", "Opus (.opus)", "file='FileIcon/music.png'"},
      {FileTypeGroup::Video, "avi", "AVI (.avi)", "file='FileIcon/video.png'"},
      {FileTypeGroup::Video, "mp4", "MP4 (.mp4)", "file='FileIcon/video.png'"},
      {FileTypeGroup::Video, "mov", "MOV (.mov)", "file='FileIcon/video.png'"},
      {FileTypeGroup::Video, "mkv", "MKV (.mkv)", "file='FileIcon/video.png'"},
      {FileTypeGroup::Video, "wmv", "WMV (.wmv)", "file='FileIcon/video.png'"},
      {FileTypeGroup::Video, "flv", "FLV (.flv)", "file='FileIcon/video.png'"},
      {FileTypeGroup::Video, "3gp", "3GP (.3gp)", "file='FileIcon/video.png'"},
      {FileTypeGroup::Video, "mpeg", "MPEG (.mpeg)", "file='FileIcon/video.png'"},
      {FileTypeGroup::Video, "m4v", "M4V (.m4v)", "file='FileIcon/video.png'"},
      {FileTypeGroup::Video, "mts", "MTS (.mts)", "file='FileIcon/video.png'"},
      {FileTypeGroup::Video, "vob", "VOB (.vob)", "file='FileIcon/video.png'"},
      {FileTypeGroup::Video, "asf", "ASF (.asf)", "file='FileIcon/video.png'"},
      {FileTypeGroup::Video, "swf", "SWF (.swf)", "file='FileIcon/video.png'"},
      {FileTypeGroup::Video, "rmvb", "RMVB (.rmvb)", "file='FileIcon/video.png'"},
      {FileTypeGroup::Document, "pdf", "PDF (.pdf)", "file='FileIcon/doc.png'"},
      {FileTypeGroup::Document, "doc", "Word (.doc)", "file='FileIcon/doc.png'"},
      {FileTypeGroup::Document, "docx", "Word (.docx)", "file='FileIcon/doc.png'"},
      {FileTypeGroup::Document, "xls", "Excel (.xls)", "file='FileIcon/doc.png'"},
      {FileTypeGroup::Document, "xlsx", "Excel (.xlsx)", "file='FileIcon/doc.png'"},
      {FileTypeGroup::Document, "ppt", "PowerPoint (.ppt)", "file='FileIcon/doc.png'"},
      {FileTypeGroup::Document, "pptx", "PowerPoint (.pptx)", "file='FileIcon/doc.png'"},
      {FileTypeGroup::Document, "odt", "OpenDocument (.odt)", "file='FileIcon/doc.png'"},
      {FileTypeGroup::Document, "ods", "OpenDocument (.ods)", "file='FileIcon/doc.png'"},
      {FileTypeGroup::Document, "txt", "Text (.txt)", "file='FileIcon/doc.png'"},
      {FileTypeGroup::Document, "xml", "XML (.xml)", "file='FileIcon/doc.png'"},
      {FileTypeGroup::Document, "html", "HTML (.html)", "file='FileIcon/doc.png'"},
      {FileTypeGroup::Document, "chm", "CHM (.chm)", "file='FileIcon/doc.png'"},
      {FileTypeGroup::Document, "pst", "Outlook (.pst)", "file='FileIcon/doc.png'"},
      {FileTypeGroup::Document, "mdb", "Access (.mdb)", "file='FileIcon/doc.png'"},
      {FileTypeGroup::Archive, "zip", "ZIP (.zip)", "file='FileIcon/zip.png'"},
      {FileTypeGroup::Archive, "rar", "RAR (.rar)", "file='FileIcon/zip.png'"},
      {FileTypeGroup::Archive, "7z", "7-Zip (.7z)", "file='FileIcon/zip.png'"},
      {FileTypeGroup::Archive, "gz|gzip", "GZIP (.gz)", "file='FileIcon/zip.png'"},
      {FileTypeGroup::Archive, "tar", "TAR (.tar)", "file='FileIcon/zip.png'"},
      {FileTypeGroup::Archive, "bz2", "BZIP2 (.bz2)", "file='FileIcon/zip.png'"},
      {FileTypeGroup::Archive, "cab", "CAB (.cab)", "file='FileIcon/zip.png'"},
      {FileTypeGroup::Archive, "iso", "ISO (.iso)", "file='FileIcon/zip.png'"},
      {FileTypeGroup::Archive, "jar", "JAR (.jar)", "file='FileIcon/zip.png'"},
      {FileTypeGroup::Archive, "arj", "ARJ (.arj)", "file='FileIcon/zip.png'"},
      {FileTypeGroup::Archive, "lzh", "LZH (.lzh)", "file='FileIcon/zip.png'"},
      {FileTypeGroup::Archive, "ace", "ACE (.ace)", "file='FileIcon/zip.png'"},
      {FileTypeGroup::Other, "*", "Every other file", "file='FileIcon/default.png'"},
  };
  return options;
}

bool FileTypeGroupNamed(std::string_view name, FileTypeGroup& group) {
  if (name == "photo") group = FileTypeGroup::Photo;
  else if (name == "audio") group = FileTypeGroup::Audio;
  else if (name == "video") group = FileTypeGroup::Video;
  else return false;
  return true;
}

std::string ExtensionTextOfKeys(std::vector<std::string> keys) {
  std::sort(keys.begin(), keys.end());
  keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
  std::string text;
  for (const auto& key : keys) text += (text.empty() ? "*." : "|*.") + key;
  // The every-file key ("*", sorted first) is an item only with its bar.
  if (!keys.empty() && keys.front() == "*" && text.find(kEveryFileItem) == std::string::npos) text += '|';
  return text;
}

std::string ExtensionTextOfGroups(const std::vector<FileTypeGroup>& groups) {
  std::vector<std::string> keys;
  for (const auto& option : FileTypeOptions())
    if (std::find(groups.begin(), groups.end(), option.group) != groups.end())
      keys.emplace_back(option.userData);
  return ExtensionTextOfKeys(std::move(keys));
}

std::string ExtensionTextOfList(std::string_view commaList) {
  std::string text;
  size_t pos = 0;
  while (pos <= commaList.size()) {
    size_t end = std::min(commaList.find(',', pos), commaList.size());
    std::string item(commaList.substr(pos, end - pos));
    while (!item.empty() && item.front() == ' ') item.erase(item.begin());
    while (!item.empty() && item.back() == ' ') item.pop_back();
    if (item.rfind("*.", 0) == 0) item.erase(0, 2);
    else if (item.rfind(".", 0) == 0) item.erase(0, 1);
    if (!item.empty() && item.find_first_of("|*") == std::string::npos)
      text += "*." + platform::ToLowerAscii(item) + "|";
    pos = end + 1;
  }
  return text;
}

}  // namespace salvora
