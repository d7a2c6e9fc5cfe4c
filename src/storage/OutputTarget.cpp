#include "storage/OutputTarget.h"

#include "platform/SourceLayers.h"

namespace salvora {
namespace {

std::string SourceRefusal(const std::string& path, const char* what, const std::vector<std::string>& sources) {
  for (const std::string& source : sources) {
    std::string how;
    if (source.empty() || !platform::IsSourceItself(path, source, how)) continue;
    return std::string("the ") + what + " " + path + " would replace the source " + source + " being read" +
           (how.empty() ? "" : " (" + how + ")") + "; choose another " + (std::string(what) == "folder" ? "folder" : "file");
  }
  return "";
}

std::string KindRefusal(const std::string& path, const char* what, platform::PathKind kind) {
  const bool node = kind == platform::PathKind::BlockDevice || kind == platform::PathKind::CharacterDevice;
  return std::string("the ") + what + " " + path + " is " + platform::PathKindText(kind) +
         (node ? std::string("; a ") + what + " is written to a file, never to a device node"
               : "; only a regular file is ever replaced");
}

}  // namespace

std::string OutputFileRefusal(const std::string& path, const char* what, const std::vector<std::string>& sources) {
  if (std::string refusal = SourceRefusal(path, what, sources); !refusal.empty()) return refusal;
  const platform::PathKind kind = platform::KindOfPath(path);
  if (kind == platform::PathKind::Missing || kind == platform::PathKind::Regular) return "";
  return KindRefusal(path, what, kind);
}

std::string OutputFolderRefusal(const std::string& path, const std::vector<std::string>& sources) {
  if (std::string refusal = SourceRefusal(path, "folder", sources); !refusal.empty()) return refusal;
  const platform::PathKind kind = platform::KindOfPath(path);
  if (kind == platform::PathKind::Missing || kind == platform::PathKind::Folder) return "";
  return "the folder " + path + " is " + platform::PathKindText(kind) + ", not a folder; choose another folder";
}

}  // namespace salvora
