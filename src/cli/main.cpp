#include <cstdio>
#include <cstring>
#include <string>

#include "cli/Commands.h"
#include "cli/UserText.h"

namespace {

struct Command {
  const char* name;
  int (*run)(const salvora::cli::Args&);
  const char* summary;
};

constexpr Command kCommands[] = {
    {"probe", salvora::cli::RunProbe, "tell what a source holds and which engine scans it"},
    {"sources", salvora::cli::RunSources, "list the disks, volumes and free stretches to scan"},
    {"image", salvora::cli::RunImage, "copy a disk, volume or stretch sector by sector into an image"},
    {"scan", salvora::cli::RunScan, "list the deleted files and folders a scan finds"},
    {"recover", salvora::cli::RunRecover, "scan a source and write what it finds into a folder"},
};

void PrintUsage(FILE* out) {
  std::fprintf(out, "usage: salvora-cli COMMAND [ARGS]\n\ncommands:\n");
  for (const auto& c : kCommands) std::fprintf(out, "  %-10s %s\n", c.name, c.summary);
  std::fprintf(out, "\n'salvora-cli COMMAND --help' describes a command.\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    PrintUsage(argc < 2 ? stderr : stdout);
    return argc < 2 ? salvora::cli::kExitBadInput : 0;
  }
  salvora::cli::Args args(argv + 2, argv + argc);
  for (const auto& c : kCommands)
    if (std::strcmp(argv[1], c.name) == 0) return c.run(args);
  std::fprintf(stderr, "salvora-cli: unknown command '%s' (see salvora-cli --help)\n",
               salvora::cli::Shown(argv[1]).c_str());
  return salvora::cli::kExitBadInput;
}
