#pragma once

#include <cstdint>
#include <string>

// A size-limited tmpfs mounted on a fresh folder, for tests of a destination that fills up. Needs
// the right to mount (root in the test container); Mounted() says whether it worked, so a test
// can skip where it did not.
namespace salvora::test {

class SmallFileSystem {
 public:
  explicit SmallFileSystem(uint64_t bytes);
  ~SmallFileSystem();
  SmallFileSystem(const SmallFileSystem&) = delete;
  SmallFileSystem& operator=(const SmallFileSystem&) = delete;

  bool Mounted() const { return mounted_; }
  const std::string& path() const { return path_; }
  // Fills the file system with a file of its own until at most `bytes` stay free.
  void FillLeaving(uint64_t bytes);
  uint64_t FreeBytes() const;

 private:
  std::string path_;
  bool mounted_ = false;
};

}  // namespace salvora::test
