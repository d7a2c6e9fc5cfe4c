// A name from the medium that holds a line end reaches every output of salvora-cli escaped: it
// cannot forge a line of the listing or of the recover output, and the JSON and the DFXML report
// still give it back exactly.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>

#include "support/TestSupport.h"

namespace salvora {
namespace {

namespace fs = std::filesystem;

const std::string kForged = "FAKE -> /etc/passwd: Success";
// mtools refuses these characters in a name; they are put in place afterwards.
const std::map<char16_t, char16_t> kPlaceholders = {{u'~', u'\n'}, {u'{', u'>'}, {u'}', u'/'}, {u'^', u':'}};

// Swaps the placeholders in every long-name entry of the root folder of a FAT12/16 image. The
// short name, and so the long name's checksum, stays as mtools wrote it.
void PlantLineEnds(const std::string& image) {
  auto bytes = test::ReadFileBytes(image);
  ASSERT_GT(bytes.size(), 512u);
  auto u16 = [&](size_t at) { return uint16_t(bytes[at] | bytes[at + 1] << 8); };
  const size_t sectorSize = u16(11), reserved = u16(14), fats = bytes[16], rootEntries = u16(17);
  const size_t root = (reserved + fats * u16(22)) * sectorSize;
  ASSERT_LE(root + rootEntries * 32, bytes.size());
  static constexpr size_t kNameSlots[] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
  for (size_t entry = root; entry < root + rootEntries * 32; entry += 32) {
    if (bytes[entry + 11] != 0x0F) continue;
    for (size_t slot : kNameSlots)
      if (auto it = kPlaceholders.find(u16(entry + slot)); it != kPlaceholders.end()) {
        bytes[entry + slot] = uint8_t(it->second);
        bytes[entry + slot + 1] = uint8_t(it->second >> 8);
      }
  }
  test::WriteFileBytes(image, bytes);
}

bool SomeLineStartsWith(const std::string& text, const std::string& start) {
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);)
    if (line.rfind(start, 0) == 0) return true;
  return false;
}

TEST(HostileNameCommand, ALineEndInANameIsPrintedEscapedEverywhere) {
  for (const char* tool : {"mkfs.fat", "mcopy", "mdel", "python3"})
    if (!test::HaveTool(tool)) GTEST_SKIP() << tool << " missing";
  test::TempDir dir, data;
  const std::string image = dir.File("card.img"), dest = dir.File("out"), report = dir.File("report.xml");
  test::WriteFileBytes(dir.File("payload"), std::vector<uint8_t>(700, 'x'));
  // Deleted, as the files a recovery is after are.
  ASSERT_EQ(test::RunCommand("mkfs.fat -C -F 12 '" + image + "' 1440 >/dev/null && mcopy -i '" + image + "' '" +
                             dir.File("payload") + "' '::/x~FAKE -{ }etc}passwd^ Success' && mdel -i '" + image +
                             "' '::/x~FAKE -{ }etc}passwd^ Success'"), 0);
  PlantLineEnds(image);
  const std::string cli = "SALVORA_DATA_DIR='" + data.path() + "' '" + test::CliPath() + "' ";
  const std::string escaped = "/x\\x0a" + kForged;

  std::string out;
  ASSERT_EQ(test::RunCommand(cli + "scan --fast '" + image + "' 2>&1", &out), 0) << out;
  EXPECT_NE(out.find(escaped), std::string::npos) << out;
  EXPECT_FALSE(SomeLineStartsWith(out, "FAKE")) << out;

  out.clear();
  ASSERT_EQ(test::RunCommand(cli + "recover --fast '" + image + "' --to '" + dest + "' --report '" + report + "' 2>&1",
                             &out), 0) << out;
  EXPECT_NE(out.find(escaped + " -> "), std::string::npos) << out;
  EXPECT_FALSE(SomeLineStartsWith(out, "FAKE")) << out;

  // Machine-readable outputs carry the name itself.
  const std::string name = "x\\n" + kForged;
  out.clear();
  ASSERT_EQ(test::RunCommand(cli + "scan --fast --json '" + image + "' 2>/dev/null | python3 -c \"import sys,json; "
                                   "print(any(r['name'] == '" + name + "' for r in json.load(sys.stdin)))\"", &out), 0);
  EXPECT_EQ(out, "True\n");
  out.clear();
  ASSERT_EQ(test::RunCommand("python3 -c \"import sys,xml.etree.ElementTree as E; r=E.parse(sys.argv[1]).getroot(); "
                             "print(any(f.findtext('filename') == '/" + name + "' for f in r.iter('fileobject')))\" '" +
                             report + "'", &out), 0);
  EXPECT_EQ(out, "True\n");
}

}  // namespace
}  // namespace salvora
