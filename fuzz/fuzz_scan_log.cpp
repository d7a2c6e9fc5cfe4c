// A scan log and a catalogue file read back from disk: relation text, folder list and config are
// untrusted, and every query over them must stay in bounds and finish.
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "scan/FoundFileStore.h"
#include "scan/RelationText.h"
#include "scan/ScanLogCatalogue.h"

namespace {

const std::string& WorkDir() {
  // Never destroyed, so the clean-up at exit can still use it.
  static const std::string& dir = *new std::string([] {
    // Memory-backed when possible: every input is written out as files.
    char shm[] = "/dev/shm/salvora-fuzz-log-XXXXXX";
    char tmp[] = "/tmp/salvora-fuzz-log-XXXXXX";
    const char* made = ::mkdtemp(shm);
    if (!made) made = ::mkdtemp(tmp);
    if (!made) ::abort();
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(WorkDir(), ec);
    });
    return std::string(made);
  }());
  return dir;
}

void Write(const std::string& path, const uint8_t* data, size_t size) {
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data),
                                                                std::streamsize(size));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace salvora;
  if (size < 4) return 0;
  size_t relationBytes = (data[0] | (data[1] << 8)) % (size - 2);
  size_t recordCount = data[2] % 16;
  const uint8_t* rest = data + 3;
  size_t restSize = size - 3;
  relationBytes = std::min(relationBytes, restSize);
  size_t folderBytes = (restSize - relationBytes) / 2;

  // Records whose ids and folder flags come from the input, so relations can point at them.
  const std::string folder = WorkDir() + "/log/";
  ::mkdir(folder.c_str(), 0755);
  std::vector<uint8_t> records;
  for (size_t k = 1; k <= recordCount; ++k) {
    FoundFileRecord r;
    uint8_t b = rest[k % restSize];
    r.SetRecordNumber(uint32_t(k));
    r.SetObjectId(b % 8);
    r.SetFolder(b & 0x10);
    r.SetContentCheck(b & 0x20 ? 1 : 0);
    r.SetName(b & 0x40 ? "x.jpg" : "D");
    records.insert(records.end(), r.bytes(), r.bytes() + FoundFileRecord::kSize);
  }
  Write(folder + "L", records.data(), records.size());
  Write(folder + "L_Relation", rest, relationBytes);
  Write(folder + "L_DirInfo", rest + relationBytes, folderBytes);

  RelationLists lists;
  ParseRelations(std::string_view(reinterpret_cast<const char*>(rest), relationBytes), lists);
  {
    FoundFileStore store;
    if (store.OpenLogIn(folder, "L") == 0) {
      std::vector<FoundFileRecord> out;
      int count = 0;
      store.ListChildren(0, out);
      store.CountFiles(0, count);
      for (const auto& [key, numbers] : store.Relations()) {
        std::vector<FoundFileRecord> children;
        store.ListChildren(key, children);
        store.CountFiles(key, count);
      }
      std::string path;
      for (uint32_t n = 1; n <= store.TotalRecords(); ++n) {
        FoundFileRecord r;
        if (store.ReadRecord(n, r) == 0) store.GetFullPath(r, path, 260);
      }
      store.SearchByExtension("*.jpg|", out);
    }
  }

  // The catalogue over the same bytes as a config file.
  const std::string logs = WorkDir() + "/ScanLog";
  ::mkdir(logs.c_str(), 0755);
  Write(logs + "/config", rest + relationBytes + folderBytes, restSize - relationBytes - folderBytes);
  ScanLogCatalogue catalogue(logs);
  ScanSessionEntry entry;
  for (const auto& e : std::vector<ScanSessionEntry>(catalogue.Entries())) {
    if (!e.ImagePath().empty()) catalogue.LookupImage(e.ImagePath(), entry);
  }
  catalogue.NewSession();
  return 0;
}
