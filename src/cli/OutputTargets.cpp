#include "cli/OutputTargets.h"

#include <cstdio>

#include "cli/UserText.h"
#include "platform/FileStatus.h"
#include "storage/OutputTarget.h"

namespace salvora::cli {
namespace {

bool Refuse(const std::string& path, const ScanSource& source, const char* what) {
  std::fprintf(stderr, "salvora-cli: %s is on the scanned source %s; writing there may overwrite the files you "
                       "want back (choose another %s, or --force)\n",
               Shown(path).c_str(), Shown(source.label).c_str(), what);
  return false;
}

bool RefuseAlways(const std::string& refusal) {
  std::fprintf(stderr, "salvora-cli: %s\n", Shown(refusal).c_str());
  return false;
}

}  // namespace

bool CheckOutputTargets(const EngineSession& session, const RunOptions& options, const std::string& destination) {
  const std::vector<std::string> sources = session.SourcePaths();
  if (std::string refusal = OutputFolderRefusal(destination, sources); !refusal.empty()) return RefuseAlways(refusal);
  if (const ScanSource* source = session.SourceHolding(destination); source && !options.force)
    return Refuse(destination, *source, "folder");
  const std::string& report = options.reportPath;
  if (report.empty()) return true;
  if (std::string refusal = OutputFileRefusal(report, "report", sources); !refusal.empty()) return RefuseAlways(refusal);
  platform::FileStatus st;
  if (platform::StatLink(report, st) == 0 && !options.overwrite) {
    std::fprintf(stderr, "salvora-cli: the report %s exists; give --overwrite to replace it\n", Shown(report).c_str());
    return false;
  }
  if (const ScanSource* source = session.SourceHolding(report); source && !options.force)
    return Refuse(report, *source, "file");
  return true;
}

}  // namespace salvora::cli
