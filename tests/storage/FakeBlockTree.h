#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "storage/DiskEnumerator.h"
#include "support/TestSupport.h"

// A fake /sys, /dev and mountinfo in a temporary folder, so that discovery runs against known
// disks. Disks are sparse files in the fake /dev; their partition tables are real bytes.
namespace salvora::test {

struct MbrPartition {
  uint32_t start = 0;
  uint32_t count = 0;
  uint8_t type = 0x83;
};

class FakeBlockTree {
 public:
  FakeBlockTree() {
    namespace fs = std::filesystem;
    fs::create_directories(sys() + "/block");
    fs::create_directories(sys() + "/devices");
    fs::create_directories(dev());
    std::ofstream touch(mountInfo());
    // Discovery follows SALVORA_DISK_MAP when it is set; these tests want the tree.
    if (const char* map = std::getenv("SALVORA_DISK_MAP")) savedMap_ = map, hadMap_ = true;
    ::unsetenv("SALVORA_DISK_MAP");
  }
  ~FakeBlockTree() {
    if (hadMap_) ::setenv("SALVORA_DISK_MAP", savedMap_.c_str(), 1);
  }

  std::string sys() const { return dir_.path() + "/sys"; }
  std::string dev() const { return dir_.path() + "/dev"; }
  std::string mountInfo() const { return dir_.path() + "/mountinfo"; }
  std::string Folder(const std::string& name) const {
    std::filesystem::create_directories(dir_.path() + "/" + name);
    return dir_.path() + "/" + name;
  }
  DiscoveryRoots Roots() const { return DiscoveryRoots{sys(), dev(), mountInfo()}; }

  // A disk of sectors x 512 bytes. With a device folder under /sys/devices (a bus path such as
  // "usb1/1-1"), the disk hangs below it and that folder's subsystem is bus.
  void AddDisk(const std::string& name, uint64_t sectors, unsigned minor, bool removable = false,
               const std::string& bus = "", uint32_t logicalBlockSize = 512) {
    namespace fs = std::filesystem;
    std::string dir = sys() + "/block/" + name;
    if (!bus.empty()) {
      std::string busDir = sys() + "/devices/pci0/" + bus + "/1-1";
      fs::create_directories(busDir + "/host0/block/" + name);
      fs::create_directories(sys() + "/bus/" + bus);
      fs::create_symlink(sys() + "/bus/" + bus, busDir + "/subsystem");
      fs::create_symlink(busDir + "/host0/block/" + name, dir);
    } else {
      fs::create_directories(dir);
    }
    fs::create_directories(dir + "/queue");
    Write(dir + "/size", std::to_string(sectors));
    Write(dir + "/removable", removable ? "1" : "0");
    Write(dir + "/queue/logical_block_size", std::to_string(logicalBlockSize));
    Write(dir + "/dev", "8:" + std::to_string(minor));
    if (!fs::exists(dev() + "/" + name)) {
      std::ofstream(dev() + "/" + name);
      fs::resize_file(dev() + "/" + name, sectors * 512);
    }
  }
  // A disk whose device is an existing image (linked, never written).
  void AddImageDisk(const std::string& name, const std::string& image, unsigned minor) {
    std::filesystem::create_symlink(image, dev() + "/" + name);
    AddDisk(name, std::filesystem::file_size(image) / 512, minor);
  }
  void RemoveDisk(const std::string& name) {
    std::filesystem::remove_all(sys() + "/block/" + name);
    std::filesystem::remove(dev() + "/" + name);
  }
  // A partition the kernel exposes; withNode also puts an (empty) node into the fake /dev.
  void AddKernelPartition(const std::string& disk, int number, uint64_t start, uint64_t size, unsigned minor,
                          bool withNode = true) {
    if (withNode) std::ofstream(dev() + "/" + disk + std::to_string(number));
    std::string dir = sys() + "/block/" + disk + "/" + disk + std::to_string(number);
    std::filesystem::create_directories(dir);
    Write(dir + "/partition", std::to_string(number));
    Write(dir + "/start", std::to_string(start));
    Write(dir + "/size", std::to_string(size));
    Write(dir + "/dev", "8:" + std::to_string(minor));
  }
  void WriteMbr(const std::string& disk, const std::vector<MbrPartition>& parts) {
    uint8_t sector[512] = {};
    for (size_t i = 0; i < parts.size() && i < 4; ++i) {
      uint8_t* p = sector + 446 + 16 * i;
      p[4] = parts[i].type;
      for (int b = 0; b < 4; ++b) {
        p[8 + b] = uint8_t(parts[i].start >> (8 * b));
        p[12 + b] = uint8_t(parts[i].count >> (8 * b));
      }
    }
    sector[510] = 0x55;
    sector[511] = 0xAA;
    std::fstream f(dev() + "/" + disk, std::ios::in | std::ios::out | std::ios::binary);
    f.write(reinterpret_cast<const char*>(sector), 512);
  }
  // Copies the bytes of an image into the disk at a sector.
  void Place(const std::string& disk, uint64_t sector, const std::string& image) {
    std::ifstream in(image, std::ios::binary);
    std::fstream f(dev() + "/" + disk, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(std::streamoff(sector * 512));
    f << in.rdbuf();
  }
  void AddMount(unsigned minor, const std::string& mountPoint, const std::string& fsType, const std::string& source) {
    std::ofstream out(mountInfo(), std::ios::app);
    out << 100 + mounts_++ << " 1 8:" << minor << " / " << mountPoint << " rw,relatime - " << fsType << ' '
        << source << " rw\n";
  }

 private:
  static void Write(const std::string& path, const std::string& text) { std::ofstream(path) << text << "\n"; }

  TempDir dir_;
  int mounts_ = 0;
  std::string savedMap_;
  bool hadMap_ = false;
};

}  // namespace salvora::test
