#pragma once

#include <string>
#include <vector>

// Whether a path may take what a run writes (a report, a map, an image, the folder of recovered
// files), checked against every source by identity before anything is written. None of these
// refusals can be lifted: not by --overwrite, not by --force, not by a confirmation.
namespace salvora {

// "" when path may be written as a file; else a sentence naming path and the source. A file that
// is one of the sources (the same inode, a hard link or symlink to it, the file behind a loop
// device read, a partition's whole disk) is refused, so is any device node, and so is an
// existing path that is not a regular file (a FIFO, a socket, a folder), which is never replaced.
// what: "report", "map", "image".
std::string OutputFileRefusal(const std::string& path, const char* what, const std::vector<std::string>& sources);

// The same for the folder that recovered files go into: it must be a folder or not yet exist.
std::string OutputFolderRefusal(const std::string& path, const std::vector<std::string>& sources);

}  // namespace salvora
