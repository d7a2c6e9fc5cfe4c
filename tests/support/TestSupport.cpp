#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "output/Sha256.h"

namespace salvora::test {
namespace fs = std::filesystem;

std::string FixturePath(const std::string& name) {
  std::string path = std::string(SALVORA_FIXTURE_DIR) + "/" + name;
  EXPECT_TRUE(fs::exists(path)) << "fixture missing: " << path << " (run the fixtures.build test)";
  return path;
}

std::string SharedTestData(const std::string& relative) {
  std::string path = std::string(SALVORA_SHARED_TESTDATA) + "/" + relative;
  // The images ship with the repository: a missing one is a broken checkout, never a reason to skip.
  if (fs::exists(path)) return path;
  ADD_FAILURE() << "third-party test data missing: " << path;
  return "";
}

std::string GunzipSharedImage(const std::string& relative, const std::string& dir) {
  std::string source = SharedTestData(relative);
  if (source.empty()) return "";
  std::string name = fs::path(relative).filename().string();
  if (name.size() > 3 && name.substr(name.size() - 3) == ".gz") name.resize(name.size() - 3);
  std::string out = dir + "/" + name;
  if (!fs::exists(out)) {
    std::string tmp = out + ".tmp" + std::to_string(::getpid());
    if (RunCommand("gunzip -c '" + source + "' > '" + tmp + "'") != 0) return "";
    fs::rename(tmp, out);
  }
  return out;
}

TempDir::TempDir() {
  char pattern[] = "/tmp/salvora-test-XXXXXX";
  char* made = ::mkdtemp(pattern);
  path_ = made ? made : "/tmp";
}

TempDir::~TempDir() {
  std::error_code ec;
  if (path_ != "/tmp") fs::remove_all(path_, ec);
}

ScopedDataDir::ScopedDataDir() {
  if (const char* old = std::getenv("SALVORA_DATA_DIR")) {
    previous_ = old;
    hadPrevious_ = true;
  }
  ::setenv("SALVORA_DATA_DIR", dir_.path().c_str(), 1);
}

ScopedDataDir::~ScopedDataDir() {
  if (hadPrevious_)
    ::setenv("SALVORA_DATA_DIR", previous_.c_str(), 1);
  else
    ::unsetenv("SALVORA_DATA_DIR");
}

std::string Sha256File(const std::string& path) { return Sha256OfFile(path); }

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
  // One read of the whole file: byte-wise stream iteration is slow under the sanitizers.
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return {};
  const std::streamoff size = in.tellg();
  if (size <= 0) return {};
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  in.seekg(0);
  in.read(reinterpret_cast<char*>(bytes.data()), size);
  bytes.resize(static_cast<size_t>(in.gcount()));
  return bytes;
}

void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

int RunCommand(const std::string& command, std::string* output) {
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return -1;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0)
    if (output) output->append(buf, n);
  int status = ::pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool HaveTool(const std::string& name) {
  return RunCommand("command -v '" + name + "' >/dev/null 2>&1") == 0;
}

std::string CliPath() { return SALVORA_CLI_PATH; }

void ExecCli(const std::string& dataDir, const std::vector<std::string>& args) {
  ::setenv("SALVORA_DATA_DIR", dataDir.c_str(), 1);
  std::vector<std::string> all{CliPath()};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  ::execv(argv[0], argv.data());
  ::_exit(121);
}

}  // namespace salvora::test
