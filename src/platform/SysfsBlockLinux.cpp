#include "platform/SysfsBlock.h"

#include <libudev.h>

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>

namespace salvora::platform {
namespace fs = std::filesystem;
namespace {

uint64_t ReadNumber(const fs::path& file, uint64_t fallback = 0) {
  std::string line = ReadFirstLine(file.string());
  uint64_t value = 0;
  auto [end, ec] = std::from_chars(line.data(), line.data() + line.size(), value);
  return ec == std::errc() && end != line.data() ? value : fallback;
}

bool ParseDev(const std::string& text, unsigned& major, unsigned& minor) {
  size_t colon = text.find(':');
  if (colon == std::string::npos) return false;
  auto a = std::from_chars(text.data(), text.data() + colon, major);
  auto b = std::from_chars(text.data() + colon + 1, text.data() + text.size(), minor);
  return a.ec == std::errc() && b.ec == std::errc();
}

bool IsRemovableBus(const std::string& subsystem) {
  return subsystem == "usb" || subsystem == "mmc" || subsystem == "memstick";
}

std::string BusFromUdev(const std::string& name) {
  std::string bus;
  udev* context = udev_new();
  if (!context) return bus;
  if (udev_device* dev = udev_device_new_from_subsystem_sysname(context, "block", name.c_str())) {
    for (const char* subsystem : {"usb", "mmc", "memstick"}) {
      if (udev_device_get_parent_with_subsystem_devtype(dev, subsystem, nullptr)) {
        bus = subsystem;
        break;
      }
    }
    udev_device_unref(dev);
  }
  udev_unref(context);
  return bus;
}

// Walks from the device's sysfs directory towards the root, looking at each "subsystem" link.
std::string BusFromTree(const std::string& sysfsRoot, const std::string& name) {
  std::error_code ec;
  fs::path dir = fs::canonical(fs::path(sysfsRoot) / "block" / name, ec);
  if (ec) return "";
  fs::path root = fs::canonical(sysfsRoot, ec);
  for (int depth = 0; depth < 64 && !dir.empty() && dir != root && dir != dir.root_path(); ++depth) {
    fs::path link = dir / "subsystem";
    if (fs::is_symlink(link, ec)) {
      std::string subsystem = fs::read_symlink(link, ec).filename().string();
      if (IsRemovableBus(subsystem)) return subsystem;
    }
    dir = dir.parent_path();
  }
  return "";
}

}  // namespace

bool DeviceNumberOf(const std::string& sysfsRoot, const std::string& name, unsigned& major, unsigned& minor) {
  std::error_code ec;
  fs::path dir = fs::path(sysfsRoot) / "class" / "block" / name;
  if (!fs::exists(dir / "dev", ec)) dir = fs::path(sysfsRoot) / "block" / name;
  return ParseDev(ReadFirstLine((dir / "dev").string()), major, minor);
}

bool ReadSysfsDisk(const std::string& sysfsRoot, const std::string& name, SysfsDisk& disk) {
  fs::path dir = fs::path(sysfsRoot) / "block" / name;
  std::error_code ec;
  if (name.empty() || name.find('/') != std::string::npos || !fs::is_directory(dir, ec)) return false;
  disk = SysfsDisk{};
  disk.name = name;
  disk.size512 = ReadNumber(dir / "size");
  uint64_t lbs = ReadNumber(dir / "queue" / "logical_block_size", 512);
  disk.logicalBlockSize = (lbs >= 512 && lbs <= 65536 && (lbs & (lbs - 1)) == 0) ? uint32_t(lbs) : 512;
  disk.removable = ReadNumber(dir / "removable") == 1;
  ParseDev(ReadFirstLine((dir / "dev").string()), disk.major, disk.minor);
  for (const auto& entry : fs::directory_iterator(dir, ec)) {
    fs::path p = entry.path();
    if (!fs::exists(p / "partition", ec) || !fs::exists(p / "start", ec)) continue;
    SysfsPartition part;
    part.name = p.filename().string();
    part.number = uint32_t(ReadNumber(p / "partition"));
    part.start512 = ReadNumber(p / "start");
    part.size512 = ReadNumber(p / "size");
    ParseDev(ReadFirstLine((p / "dev").string()), part.major, part.minor);
    disk.partitions.push_back(std::move(part));
  }
  std::sort(disk.partitions.begin(), disk.partitions.end(),
            [](const SysfsPartition& a, const SysfsPartition& b) { return a.start512 < b.start512; });
  return true;
}

std::string DiskBusType(const std::string& sysfsRoot, const std::string& name) {
  std::error_code ec;
  if (fs::equivalent(sysfsRoot, "/sys", ec)) {
    std::string bus = BusFromUdev(name);
    if (!bus.empty()) return bus;
  }
  return BusFromTree(sysfsRoot, name);
}

bool DescribeDevice(const std::string& sysfsRoot, unsigned major, unsigned minor, SysfsDeviceInfo& info) {
  std::error_code ec;
  fs::path link = fs::path(sysfsRoot) / "dev" / "block" / (std::to_string(major) + ":" + std::to_string(minor));
  fs::path dir = fs::canonical(link, ec);
  if (ec) return false;
  info = SysfsDeviceInfo{};
  info.name = dir.filename().string();
  info.diskName = info.name;
  if (fs::exists(dir / "partition", ec)) {
    info.isPartition = true;
    info.diskName = dir.parent_path().filename().string();
    info.startByte = ReadNumber(dir / "start") * 512;
    info.lengthBytes = ReadNumber(dir / "size") * 512;
  } else {
    info.lengthBytes = ReadNumber(dir / "size") * 512;
  }
  for (const auto& entry : fs::directory_iterator(dir / "slaves", ec))
    info.slaves.push_back(entry.path().filename().string());
  info.loopBackingFile = ReadFirstLine((dir / "loop" / "backing_file").string());
  info.loopOffset = ReadNumber(dir / "loop" / "offset");
  return true;
}

}  // namespace salvora::platform
