#pragma once

#include <QString>

namespace salvora::app {

struct DiskRow;

// A scan source as a Linux user knows it, for lists and questions: "sdb1 CANON_DC (FAT32, 64 MB)",
// "Free space 13.9 GB on disk 1", "sdb (whole disk, 64 MB)" or an image's file name.
QString SourceTitle(const DiskRow& row);

}  // namespace salvora::app
