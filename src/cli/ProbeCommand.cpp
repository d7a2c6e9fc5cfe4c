#include <cinttypes>
#include <cstdio>

#include "cli/BootNotice.h"
#include "cli/Commands.h"
#include "cli/SourceArgument.h"
#include "cli/SourceEntry.h"
#include "cli/UserText.h"
#include "platform/PlatformError.h"
#include "recovery/EngineFactory.h"

namespace salvora::cli {

namespace {

// As listings and reports name the engines: users never see a class name.
const char* FastEngineName(SourceKind kind) {
  switch (kind) {
    case SourceKind::Ntfs: return "fast-ntfs";
    case SourceKind::Fat: return "fast-fat";
    case SourceKind::Ext: return "fast-ext";
    case SourceKind::Exfat: return "fast-exfat";
    case SourceKind::Unknown: break;
  }
  return nullptr;
}

}  // namespace

int RunProbe(const Args& args) {
  if (args.size() != 1 || args[0] == "--help" || args[0] == "-h") {
    std::fprintf(args.size() == 1 ? stdout : stderr,
                 "usage: salvora-cli probe SOURCE\n"
                 "  SOURCE: an image path, or disk:N[:START:COUNT]\n"
                 "Prints what the start of the source holds and which engine a scan would use.\n");
    return args.size() == 1 ? kExitOk : kExitBadInput;
  }
  std::string error;
  auto spec = ParseSourceArgument(args[0], error);
  if (!spec || spec->kind == SourceArgument::Kind::Volume) {
    std::fprintf(stderr, "salvora-cli: %s\n", spec ? "probe takes an image path or disk:N[:START:COUNT]" : Shown(error).c_str());
    return kExitBadInput;
  }
  if (!CheckSourceKind(*spec, args[0], error)) {
    std::fprintf(stderr, "salvora-cli: %s\n", Shown(error).c_str());
    return kExitBadInput;
  }
  auto& factory = EngineFactory::Instance();
  ProbeResult probe = spec->kind == SourceArgument::Kind::Image
                          ? factory.ProbeImage(spec->path)
                          : factory.ProbeDisk(spec->number, spec->start);
  if (probe.error != 0) {
    std::fprintf(stderr, "salvora-cli: cannot read %s: %s\n", Shown(args[0]).c_str(),
                 Reason(probe.error).c_str());
    return kExitBadInput;
  }
  if (const std::string notice = BootNotice(probe, args[0], false); !notice.empty())
    std::fprintf(stderr, "salvora-cli: warning: %s\n", notice.c_str());
  const char* fast = FastEngineName(probe.kind);
  std::printf("source: %s\nfile system: %s\nsector size: %d\nfast engine: %s\n"
              "advanced engine: %s%sthe sweep (deep-ntfs, deep-fat, deep-exfat, file-type)\n",
              Shown(args[0]).c_str(), SourceKindName(probe.kind), probe.sectorSize, fast ? fast : "none",
              fast ? fast : "", fast ? ", then " : "");
  if (probe.unreadableBytes != 0)
    std::printf("unreadable: %zu of the first %zu bytes (taken as zeros)\n", probe.unreadableBytes,
                EngineFactory::kProbeBytes);
  return kExitOk;
}

}  // namespace salvora::cli
