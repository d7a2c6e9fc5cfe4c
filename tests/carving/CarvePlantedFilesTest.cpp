// Carving of real files (ImageMagick, ffmpeg and the media fixture scripts) planted in raw images.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "carving/CFileTypeRecovery.h"
#include "carving/MeasureContext.h"
#include "carving/PlantedImage.h"
#include "output/Sha256.h"
#include "platform/ErrorCodes.h"
#include "scan/ScanLogCatalogue.h"
#include "scan/SectorSweep.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

using Bytes = std::vector<uint8_t>;

enum class End {
  // The rule finds the file's true end: its own structure, a declared size, or an end marker
  // meeting the clean-end condition (or the verified packets of a transport stream).
  Exact,
  // The rule knows no end of the format and runs to the next stop sector: the size is the file
  // rounded up to whole sectors when another file follows directly.
  NextStop,
};

struct Format {
  const char* sample;   // sample.<ext> of the fixtures
  const char* carved;   // extension of the carved name (the format's first table row)
  End end;
  bool skipsOne;        // declared sizes: the sweep moves on by one sector
};

// mp2, mmf, fla and mts: their rules have no end search at all, so they end at the next file.
const Format kFormats[] = {
    {"mpeg", "mpeg", End::Exact, false}, {"mp4", "mp4", End::Exact, false},
    {"rm", "rmvb", End::Exact, false},   {"wmv", "wmv", End::Exact, true},
    {"swf", "swf", End::Exact, true},    {"avi", "avi", End::Exact, true},
    {"flv", "flv", End::Exact, false},   {"3gp", "3gp", End::Exact, false},
    {"mkv", "mkv", End::Exact, false},   {"ts", "ts", End::Exact, false},
    {"mts", "mts", End::NextStop, false}, {"mxf", "mxf", End::Exact, false},
    {"mp3", "mp3", End::Exact, false},   {"mid", "mid", End::Exact, false},
    {"ape", "ape", End::Exact, false},   {"wav", "wav", End::Exact, true},
    {"mov", "mov", End::Exact, false},   {"mp2", "mp2", End::NextStop, false},
    {"mmf", "mmf", End::NextStop, false}, {"fla", "fla", End::NextStop, false},
    {"gif", "gif", End::Exact, false},   {"bmp", "bmp", End::Exact, true},
    {"jpg", "jpg", End::Exact, false},   {"png", "png", End::Exact, false},
    {"psd", "psd", End::Exact, false},   {"tif", "tif", End::Exact, false},
    {"ico", "ico", End::Exact, true},    {"m1v", "mpeg", End::Exact, false},
};

// ffmpeg's RealMedia files carry no final empty index chunk, and its MPEG streams no end code;
// those rules are tested on files with that trailer appended. The MPEG rule is tried on a program stream (end code B9) and on a video
// elementary stream (m1v, sequence end code B7).
Bytes Sample(const std::string& ext, const std::string& set = "") {
  Bytes b = set.empty() ? test::MediaSample(ext) : test::SampleFrom(set, ext);
  if (b.empty()) return b;
  if (ext == "mpeg" || ext == "m1v") {
    // ffmpeg leaves out the program and sequence end codes (they hinder joining streams).
    const std::string end(ext == "mpeg" ? "\x00\x00\x01\xB9" : "\x00\x00\x01\xB7", 4);
    b.insert(b.end(), end.begin(), end.end());
  } else if (ext == "rm") {
    const std::string index("INDX\x00\x00\x00\x14\x00\x00\x00\x00\x00\x00\x00\x02\x00\x00\x00\x00", 20);
    b.insert(b.end(), index.begin(), index.end());
  }
  return b;
}

std::string Sha256Hex(const Bytes& b) {
  Sha256 h;
  h.Update(b.data(), b.size());
  return h.HexDigest();
}

uint64_t RoundUp(uint64_t bytes, int sectorSize) {
  return (bytes + sectorSize - 1) / sectorSize * sectorSize;
}

// The first `size` bytes the carved file should have: the original, then its sector's zero padding.
Bytes Expected(const Bytes& original, uint64_t size) {
  Bytes b(original.begin(), original.begin() + std::min<uint64_t>(size, original.size()));
  b.resize(size, 0);
  return b;
}

class CarvePlantedFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    ScanLogCatalogue::Instance().NewSession();
    MeasureContext::Instance().TransportStreamExtents.clear();
  }

  // Writes the image and binds the engine and a sweep reader to it.
  void Open(const test::PlantedImage& image) {
    path_ = dir_.File("planted.img");
    image.Write(path_);
    sha_ = test::Sha256File(path_);
    const int ss = image.SectorSize();
    // A log of its own for each image.
    const std::string log = "File_Type_0_2026127 " + std::to_string(++opened_);
    ASSERT_EQ(engine_.AttachImage(log, 0, path_, ss), 0);
    auto file = std::make_unique<platform::FileSource>();
    ASSERT_EQ(file->Open(path_), 0);
    reader_.Attach(std::move(file), image.Sectors());
    // The engine's own reader must count sectors of the same size.
    auto own = std::make_unique<platform::FileSource>();
    ASSERT_EQ(own->Open(path_), 0);
    engine_.Reader().Attach(std::move(own), image.Sectors());
  }

  // Sweeps the whole image through CarveAt, as the advanced scan does.
  int Sweep(const test::PlantedImage& image, uint64_t& found) {
    const int ss = image.SectorSize();
    SectorSweep sweep(reader_, ss);
    return sweep.Run(0, image.Sectors(), 0,
                     [&](const uint8_t* sector, size_t, uint64_t address, uint64_t& skip) {
                       return engine_.CarveAt(sector, ss, address, sweep.Swept(), image.Sectors(),
                                              -1, &reader_, ss, skip, found);
                     });
  }

  std::map<uint64_t, FoundFileRecord> RecordsBySector() {
    std::vector<FoundFileRecord> all;
    EXPECT_EQ(engine_.ListChildren(nullptr, 0, all), 0);
    std::map<uint64_t, FoundFileRecord> by;
    for (auto& r : all) by[r.EntrySector()] = r;
    return by;
  }

  Bytes Recover(const FoundFileRecord& r) {
    const std::string out = dir_.File("out/" + std::string(r.Name()));
    EXPECT_EQ(engine_.RecoverFile(&r, out, 0), 0) << r.Name();
    return test::ReadFileBytes(out);
  }

  test::ScopedDataDir data_;
  test::TempDir dir_;
  std::string path_, sha_;
  int opened_ = 0;
  SectorReader reader_;
  CFileTypeRecovery engine_;
};

TEST_F(CarvePlantedFiles, EveryCarvableFormatFollowedByAnotherFile) {
  int tested = 0;
  for (const char* set : test::kSampleSets)
  for (const Format& f : kFormats) {
    SCOPED_TRACE(std::string(set) + "/" + f.sample);
    Bytes original = Sample(f.sample, set);
    if (original.empty() && std::string(set) == "media") continue;  // the carve set has them all
    ASSERT_FALSE(original.empty()) << "missing sample." << f.sample;
    test::PlantedImage image;
    image.Random(8);
    const uint64_t at = image.Plant(f.sample, original).sector;
    const std::string next = std::string(f.sample) == "jpg" ? "png" : "jpg";
    image.Plant(next, Sample(next, set));
    image.Random(8);
    Open(image);

    uint64_t skip = 1, found = 0;
    const Bytes& bytes = image.Bytes();
    ASSERT_EQ(engine_.CarveAt(bytes.data() + at * 512, 512, at, 0, image.Sectors(), -1, &reader_,
                              512, skip, found), 0);
    auto records = RecordsBySector();
    ASSERT_EQ(records.count(at), 1u);
    const FoundFileRecord& r = records[at];
    EXPECT_EQ(r.Name(), std::to_string(at) + "." + f.carved);
    const uint64_t want = f.end == End::Exact ? original.size() : RoundUp(original.size(), 512);
    EXPECT_EQ(r.FileSize(), want);
    EXPECT_EQ(skip, f.skipsOne ? 1u : (r.FileSize() + 511) / 512);
    Bytes got = Recover(r);
    EXPECT_EQ(Sha256Hex(got), Sha256Hex(Expected(original, r.FileSize())));
    EXPECT_EQ(test::Sha256File(path_), sha_);
    ++tested;
  }
  // The 27 carvable formats, mpeg in both of its forms, from the carve set, and the 27 of the
  // media set when that was built.
  const bool media = !test::SampleFrom("media", "jpg").empty();
  EXPECT_EQ(tested, 28 + (media ? 27 : 0));
}

TEST_F(CarvePlantedFiles, SweepFindsEveryPlantedFileAmongRandomBytes) {
  test::PlantedImage image(512, 20261207);
  image.Random(3);
  std::vector<const Format*> order;
  for (const Format& f : kFormats) {
    image.Plant(f.sample, Sample(f.sample));
    order.push_back(&f);
    image.Random(5 + image.Files().size() * 3);
  }
  Open(image);
  uint64_t found = 0;
  ASSERT_EQ(Sweep(image, found), 0);
  auto records = RecordsBySector();
  EXPECT_EQ(found, records.size());

  const auto& files = image.Files();
  for (size_t i = 0; i < files.size(); ++i) {
    const Format& f = *order[i];
    SCOPED_TRACE(f.sample);
    ASSERT_EQ(records.count(files[i].sector), 1u);
    const FoundFileRecord& r = records[files[i].sector];
    EXPECT_EQ(r.Name(), std::to_string(files[i].sector) + "." + f.carved);
    const uint64_t toNext =
        (i + 1 < files.size() ? files[i + 1].sector : image.Sectors()) - files[i].sector;
    // Files without an end of their own take the random bytes up to the next file with them.
    const uint64_t want = f.end == End::Exact ? files[i].bytes.size() : toNext * 512;
    EXPECT_EQ(r.FileSize(), want);
    Bytes got = Recover(r);
    const size_t same = std::min<size_t>(got.size(), files[i].bytes.size());
    EXPECT_TRUE(std::equal(got.begin(), got.begin() + same, files[i].bytes.begin()));
  }
  // Files inside files: declared sizes are skipped by one sector only, so what such a file holds
  // may be carved as well; nothing else is found in the random bytes.
  size_t extra = records.size() - files.size();
  EXPECT_LE(extra, 3u) << "unexpected finds";
  RecordProperty("extra_finds", int(extra));
  EXPECT_EQ(test::Sha256File(path_), sha_);
}

TEST_F(CarvePlantedFiles, FourKibSectors) {
  test::PlantedImage image(4096, 4096);
  image.Random(2);
  const char* samples[] = {"jpg", "png", "gif", "ts", "mid", "mpeg", "psd"};
  for (const char* s : samples) {
    image.Plant(s, Sample(s));
    image.Random(3);
  }
  Open(image);
  uint64_t found = 0;
  ASSERT_EQ(Sweep(image, found), 0);
  auto records = RecordsBySector();
  const auto& files = image.Files();
  ASSERT_EQ(files.size(), std::size(samples));
  for (size_t i = 0; i < files.size(); ++i) {
    SCOPED_TRACE(files[i].ext);
    ASSERT_EQ(records.count(files[i].sector), 1u);
    const FoundFileRecord& r = records[files[i].sector];
    EXPECT_EQ(r.FileSize(), files[i].bytes.size());
    EXPECT_EQ(Recover(r), files[i].bytes);
  }
}

TEST_F(CarvePlantedFiles, TransportStreamExtentHidesItsOwnPackets) {
  test::PlantedImage image;
  image.Random(4);
  Bytes ts = Sample("ts");
  const uint64_t at = image.Plant("ts", ts).sector;
  image.Random(4);
  Open(image);
  uint64_t found = 0;
  ASSERT_EQ(Sweep(image, found), 0);
  auto records = RecordsBySector();
  ASSERT_EQ(records.count(at), 1u);
  EXPECT_EQ(records[at].FileSize(), ts.size());
  EXPECT_EQ(found, 1u);  // no packet of the stream is taken for a new one
  const auto& extents = MeasureContext::Instance().TransportStreamExtents;
  ASSERT_EQ(extents.size(), 1u);
  EXPECT_EQ(extents[0].first, at);
  EXPECT_EQ(extents[0].last, at + (ts.size() + 511) / 512 - 1);
}

// Cancels once a measurement has read past a given sector count.
struct CancelPast {
  uint64_t processed;
  int calls = 0;
};
int CancelWhenPast(void* user, int, int, int, uint64_t processed, uint64_t, uint64_t, int) {
  auto* c = static_cast<CancelPast*>(user);
  ++c->calls;
  return processed > c->processed ? kScanCancelled : 0;
}

TEST_F(CarvePlantedFiles, CancelWhileMeasuringStopsTheSweepAtThatFile) {
  test::PlantedImage image;
  image.Random(4);
  const uint64_t png = image.Plant("png", Sample("png")).sector;
  image.Random(200);
  // A JPEG without its end: measuring it reads ahead over many pieces of random bytes.
  const Bytes jpeg = Sample("jpg");
  Bytes head(jpeg.begin(), jpeg.begin() + 16);
  const uint64_t jpg = image.Plant("jpg", head).sector;
  image.Random(1000);
  Open(image);
  CancelPast cancel{jpg + 200};
  engine_.SetScanCallbacks(&CancelWhenPast, nullptr, &cancel, 90);
  const int ss = image.SectorSize();
  SectorSweep sweep(reader_, ss);
  uint64_t found = 0;
  const int rc = sweep.Run(0, image.Sectors(), 0,
                           [&](const uint8_t* sector, size_t, uint64_t address, uint64_t& skip) {
                             return engine_.CarveAt(sector, ss, address, sweep.Swept(),
                                                    image.Sectors(), -1, &reader_, ss, skip, found);
                           });
  engine_.SetScanCallbacks(nullptr, nullptr, nullptr, 0);
  EXPECT_EQ(rc, kScanCancelled);
  EXPECT_EQ(sweep.Offset(), jpg);  // a resumed sweep starts with the cancelled file
  EXPECT_EQ(found, 1u);
  auto records = RecordsBySector();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records.begin()->first, png);
}

}  // namespace
}  // namespace salvora
