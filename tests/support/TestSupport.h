#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Helpers shared by the tests: fixture paths, temporary folders, hashes and child processes.
namespace salvora::test {

// A fixture image built by tests/fixtures (fails the test when it is missing).
std::string FixturePath(const std::string& name);
// A file of the real-image collection in tests/third_party; a missing one fails the test.
std::string SharedTestData(const std::string& relative);
// Decompresses a third-party .gz image into dir once and returns the path ("" when unavailable).
std::string GunzipSharedImage(const std::string& relative, const std::string& dir);

// A fresh folder under /tmp, removed with its contents at destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Points the application-data folder at a temporary folder for the lifetime of the object.
class ScopedDataDir {
 public:
  ScopedDataDir();
  ~ScopedDataDir();
  const std::string& path() const { return dir_.path(); }

 private:
  TempDir dir_;
  std::string previous_;
  bool hadPrevious_ = false;
};

std::string Sha256File(const std::string& path);
std::vector<uint8_t> ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);
// Runs a shell command; returns its exit status and, when output is given, its stdout.
int RunCommand(const std::string& command, std::string* output = nullptr);
// True when a program is on PATH.
bool HaveTool(const std::string& name);
// The salvora-cli binary of this build.
std::string CliPath();
// In a forked child: becomes salvora-cli with args and dataDir as its data folder (exits 121
// when that fails).
[[noreturn]] void ExecCli(const std::string& dataDir, const std::vector<std::string>& args);

}  // namespace salvora::test
