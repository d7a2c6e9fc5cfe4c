#pragma once

#include <string>

#include "cli/Commands.h"
#include "cli/EngineSession.h"

// The options scan and recover share, parsed and checked once.
namespace salvora::cli {

struct RunOptions {
  std::string source;
  bool fast = false;
  ResumeMode resume = ResumeMode::Ask;
  std::string searchText;  // extension text of --types or --ext; empty: every record listed
  bool json = false;       // scan
  std::string destination; // recover: --to
  bool onlyDeleted = false;
  bool onlyIntact = false;  // recover: only files whose content check found them intact
  bool noVerify = false;    // scan: list without reading the files to check their content
  std::string reportPath;
  bool force = false;
  bool overwrite = false;  // recover: --overwrite, an existing --report file may be replaced
  bool keepPartial = false;  // recover: an interrupted file stays as "name.partial.ext"
  std::string mapPath;     // --map: an imaging run's map of an image source
};

// Parses the arguments of scan (recover false) or recover. false with a one-line reason.
bool ParseRunOptions(const Args& args, bool recover, RunOptions& options, std::string& error);

}  // namespace salvora::cli
