#include "cli/EngineSession.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "cli/Commands.h"
#include "cli/Interrupt.h"
#include "cli/ProgressLine.h"
#include "platform/Clock.h"
#include "platform/PlatformError.h"
#include "scan/EngineFactory.h"
#include "scan/ScanLogCatalogue.h"

namespace salvora::cli {
namespace {

constexpr int kMaxDepth = 256;

int ScanProgress(void* userData, int percent, int, int remaining, uint64_t, uint64_t, uint64_t, int) {
  auto* line = static_cast<ProgressLine*>(userData);
  line->Update(percent, "scanning: " + std::to_string(percent) + "%, time left " + FormatSecondsLeft(remaining));
  return Interrupted() ? ScanCancelled : 0;
}

}  // namespace

bool EngineSession::Open(const std::string& text, bool fast, std::string& error) {
  auto spec = ParseSourceSpec(text, error);
  if (!spec) return false;
  auto& factory = EngineFactory::Instance();
  switch (spec->kind) {
    case SourceSpec::Kind::Image: engine_ = factory.CreateForImage(spec->path, 0, !fast); break;
    case SourceSpec::Kind::Disk: engine_ = factory.CreateForDisk(spec->number, 0, 0, 0, !fast); break;
    case SourceSpec::Kind::DiskRange:
      engine_ = factory.CreateForDisk(spec->number, spec->start, spec->count, 0, !fast);
      break;
    case SourceSpec::Kind::Volume:
      error = "volume sources are not supported yet; name the disk and its range (disk:N:START:COUNT)";
      return false;
  }
  if (!engine_) {
    error = "cannot " + std::string(fast ? "fast-" : "") + "scan " + text +
            ": the source cannot be read or holds no file system this scan knows";
    return false;
  }
  return true;
}

int EngineSession::Scan() {
  InstallInterruptHandler();
  ScanLogCatalogue::Instance().NewSession();
  ProgressLine line;
  engine_->SetScanCallbacks(ScanProgress, nullptr, &line, 100);
  int rc = engine_->Scan(nullptr);
  line.Finish();
  return rc;
}

int EngineSession::Walk(std::vector<FoundItem>& items) { return WalkFolder(nullptr, 0, "/", items); }

int EngineSession::WalkFolder(const FoundFileRecord* folder, int depth, const std::string& prefix,
                              std::vector<FoundItem>& items) {
  if (depth > kMaxDepth) return 0;
  std::vector<FoundFileRecord> children;
  int result = engine_->ListChildren(folder, depth, children);
  for (const auto& child : children) {
    std::string path = prefix + std::string(child.Name()) + (child.IsFolder() ? "/" : "");
    items.push_back({child, path, depth});
    if (child.IsFolder()) {
      FoundFileRecord copy = child;
      int rc = WalkFolder(&copy, depth + 1, path, items);
      if (result == 0) result = rc;
    }
  }
  return result;
}

std::string FormatRecordTime(uint64_t fileTime) {
  if (fileTime == 0) return "-";
  time_t t = time_t(platform::FileTimeToUnix(fileTime));
  struct tm tm {};
  if (!gmtime_r(&t, &tm)) return "-";
  char text[80];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", tm.tm_year + 1900, tm.tm_mon + 1,
                tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
  return text;
}

bool ParseOptions(const Args& args, const std::vector<std::string>& flags,
                  const std::vector<std::string>& valued, std::vector<std::string>& positional,
                  std::vector<std::pair<std::string, std::string>>& options, std::string& error) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (std::find(flags.begin(), flags.end(), a) != flags.end()) {
      options.emplace_back(a, "");
    } else if (std::find(valued.begin(), valued.end(), a) != valued.end()) {
      if (i + 1 >= args.size()) {
        error = a + " needs a value";
        return false;
      }
      options.emplace_back(a, args[++i]);
    } else if (a.size() > 1 && a[0] == '-') {
      error = "unknown option " + a;
      return false;
    } else {
      positional.push_back(a);
    }
  }
  return true;
}

}  // namespace salvora::cli
