#include "cli/RunOptions.h"

#include <algorithm>

#include "output/FileTypeOptions.h"

namespace salvora::cli {
namespace {

// "--types photo,video": the extension text of every option of those groups; "all" alone is the
// same as no --types.
bool TypesText(const std::string& list, std::string& text, std::string& error) {
  std::vector<FileTypeGroup> groups;
  bool all = false;
  size_t pos = 0;
  while (pos <= list.size()) {
    size_t end = std::min(list.find(',', pos), list.size());
    std::string name = list.substr(pos, end - pos);
    FileTypeGroup group;
    if (name == "all") {
      all = true;
    } else if (FileTypeGroupNamed(name, group)) {
      groups.push_back(group);
    } else {
      error = "unknown type '" + name + "' in --types (photo, audio, video or all)";
      return false;
    }
    pos = end + 1;
  }
  text = all ? "" : ExtensionTextOfGroups(groups);
  return true;
}

}  // namespace

bool ParseRunOptions(const Args& args, bool recover, RunOptions& options, std::string& error) {
  std::vector<std::string> flags = {"--fast", "--resume", "--fresh"};
  std::vector<std::string> valued = {"--types", "--ext", "--map"};
  if (recover) {
    flags.insert(flags.end(), {"--only-deleted", "--only-intact", "--force", "--overwrite", "--keep-partial"});
    valued.insert(valued.end(), {"--to", "--report"});
  } else {
    flags.insert(flags.end(), {"--tree", "--json", "--no-verify", "--force"});
  }
  std::vector<std::string> positional;
  std::vector<std::pair<std::string, std::string>> parsed;
  if (!ParseOptions(args, flags, valued, positional, parsed, error)) return false;
  bool resume = false, fresh = false, tree = false, types = false, ext = false;
  for (const auto& [name, value] : parsed) {
    if (name == "--fast") options.fast = true;
    else if (name == "--resume") resume = true;
    else if (name == "--fresh") fresh = true;
    else if (name == "--tree") tree = true;
    else if (name == "--json") options.json = true;
    else if (name == "--only-deleted") options.onlyDeleted = true;
    else if (name == "--only-intact") options.onlyIntact = true;
    else if (name == "--no-verify") options.noVerify = true;
    else if (name == "--force") options.force = true;
    else if (name == "--overwrite") options.overwrite = true;
    else if (name == "--keep-partial") options.keepPartial = true;
    else if (name == "--to") options.destination = value;
    else if (name == "--report") options.reportPath = value;
    else if (name == "--map") options.mapPath = value;
    else if (name == "--types") {
      if (!TypesText(value, options.searchText, error)) return false;
      types = true;
    } else if (name == "--ext") {
      options.searchText = ExtensionTextOfList(value);
      if (options.searchText.empty()) {
        error = "--ext needs a comma list of extensions (jpg,png)";
        return false;
      }
      ext = true;
    }
  }
  if (positional.size() != 1) {
    error = (recover ? "recover" : "scan") + std::string(" takes one SOURCE");
    return false;
  }
  options.source = positional[0];
  if (resume && fresh) error = "--resume and --fresh exclude each other";
  else if (options.fast && (resume || fresh)) error = "a fast scan is never resumed: drop --resume/--fresh or --fast";
  else if (types && ext) error = "give --types or --ext, not both";
  else if (tree && options.json) error = "give --tree or --json, not both";
  else if (recover && options.destination.empty()) error = "recover needs --to DIR";
  if (!error.empty()) return false;
  options.resume = resume ? ResumeMode::Resume : fresh ? ResumeMode::Fresh : ResumeMode::Ask;
  return true;
}

}  // namespace salvora::cli
