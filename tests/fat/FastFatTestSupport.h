#pragma once

#include <map>
#include <string>
#include <vector>

#include "fat/CFastFatRecovery.h"
#include "scan/ScanLogCatalogue.h"
#include "support/TestSupport.h"

// Scanning fixture images with the fast FAT engine and walking what it found, for the tests.
namespace salvora::test {

struct FastFatItem {
  FoundFileRecord record;
  std::string path;  // "/" joined from the top; folders end with "/"
  int depth = 0;
};

inline void CollectTree(IFileRecoveryParse& engine, const FoundFileRecord* folder, int depth,
                        const std::string& prefix, std::vector<FastFatItem>& out) {
  std::vector<FoundFileRecord> children;
  EXPECT_EQ(engine.ListChildren(folder, depth, children), 0);
  for (const auto& child : children) {
    std::string path = prefix + std::string(child.Name()) + (child.IsFolder() ? "/" : "");
    out.push_back({child, path, depth});
    if (child.IsFolder() && depth < 64) CollectTree(engine, &out.back().record, depth + 1, path, out);
  }
}

inline std::vector<FastFatItem> CollectTree(IFileRecoveryParse& engine) {
  std::vector<FastFatItem> out;
  CollectTree(engine, nullptr, 0, "/", out);
  return out;
}

// One image scanned in a fresh data folder.
class ScannedImage {
 public:
  explicit ScannedImage(const std::string& image) : image_(image) {
    openResult = engine.OpenImageFile(image, 0);
    ScanLogCatalogue::Instance().NewSession();
    scanResult = engine.Scan(nullptr);
    items = CollectTree(engine);
  }
  std::vector<std::string> Paths() const {
    std::vector<std::string> paths;
    for (const auto& item : items) paths.push_back(item.path);
    return paths;
  }
  const FastFatItem* Find(const std::string& path) const {
    for (const auto& item : items)
      if (item.path == path) return &item;
    return nullptr;
  }
  std::vector<const FastFatItem*> FindAll(const std::string& path) const {
    std::vector<const FastFatItem*> found;
    for (const auto& item : items)
      if (item.path == path) found.push_back(&item);
    return found;
  }

  ScopedDataDir dataDir;
  CFastFatRecovery engine;
  int openResult = -1;
  int scanResult = -1;
  std::vector<FastFatItem> items;

 private:
  std::string image_;
};

// The source file of fat-src/ that each deleted file of the main fixture volumes was copied from.
inline const std::map<std::string, std::string>& MainVolumeSources() {
  static const std::map<std::string, std::string> sources = {
      {"/_hoto1.jpg", "logo.jpg"},
      {"/_MPTY.DAT", "empty.dat"},
      {"/name with spaces.jpg", "rose.jpg"},
      {"/\xC3\x9Cn\xC3\xAF" "c\xC3\xB6" "d\xC3\xA9 na\xC3\xAFve notes.txt", "notes.txt"},
      {"/_HOTOS/A.JPG", "logo.jpg"},
      {"/_HOTOS/Trip notes.txt", "notes.txt"},
      {"/_HOTOS/SUB/C.TXT", "readme.txt"},
      {"/_LD/_ONE.TXT", "readme.txt"},
      {"/DCIM/100CAM/_MG_0002.PNG", "netscape.png"},
      {"/DCIM/100CAM/Long Holiday Picture.jpg", "rose.jpg"},
  };
  return sources;
}

inline std::string FatSource(const std::string& name) { return FixturePath("fat-src/" + name); }

}  // namespace salvora::test
