#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "scan/ContentVerdict.h"

namespace salvora {

// A Digital Forensics XML report of recovered files: one fileobject per file written, with its
// name as found, size, times, byte runs on the source where known, and the sha256 of what was
// written, so that forensic tools can read what a recovery produced.
class DfxmlReport {
 public:
  struct ByteRun {
    uint64_t fileOffset = 0;
    uint64_t imageOffset = 0;  // bytes from the start of the source
    uint64_t length = 0;
  };
  struct FileObject {
    std::string filename;        // path as found on the medium
    std::string outputPath;      // where it was written
    std::string originalName;    // the name before it was shortened to fit ("" when it was not)
    std::string status;          // "" when whole; "short" (the medium held less) or "partial"
    uint64_t filesize = 0;
    bool deleted = false;
    uint64_t writeTime = 0;      // FILETIME; 0 when unknown
    uint64_t creationTime = 0;
    uint64_t accessTime = 0;
    std::vector<ByteRun> byteRuns;
    std::string sha256;
    std::string engine;
    std::string state;                 // live, deleted, lost or carved
    std::vector<std::string> foundBy;  // every engine that found it
    std::string timeSource;            // where the written file's times came from ("": none given)
    std::optional<ContentVerdict> verdict;  // the check of what was written (none given: left out)
  };

  DfxmlReport(std::string source, std::string commandLine);
  void Add(FileObject file) { files_.push_back(std::move(file)); }
  size_t size() const { return files_.size(); }
  // The whole document.
  std::string ToXml() const;
  // Writes the document to path through a new temporary file beside it and a rename; an existing
  // path is replaced only when replace is set. 0 or a platform error.
  int WriteTo(const std::string& path, bool replace = false) const;

  // Text with the five XML special characters escaped, tabs and line ends as character
  // references, the other control characters (which XML cannot carry) dropped and malformed
  // UTF-8 replaced by U+FFFD.
  static std::string Escape(const std::string& text);
  // FILETIME as ISO 8601 UTC ("2026-12-08T01:02:03Z"); "" for 0.
  static std::string IsoTime(uint64_t fileTime);

 private:
  std::string source_;
  std::string commandLine_;
  std::vector<FileObject> files_;
};

}  // namespace salvora
