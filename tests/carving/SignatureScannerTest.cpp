#include "carving/SignatureScanner.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "CarvingTestSupport.h"
#include "carving/FormatTable.h"
#include "carving/MeasureContext.h"
#include "carving/Testers.h"
#include "platform/ByteView.h"
#include "platform/ErrorCodes.h"

namespace salvora {
namespace {

using test::AimContextAt;
using test::PlantedMedium;

std::vector<uint8_t> Bytes(std::initializer_list<int> values, size_t size = 512) {
  std::vector<uint8_t> out(size, 0);
  size_t i = 0;
  for (int v : values) out[i++] = uint8_t(v);
  return out;
}

void Put(std::vector<uint8_t>& buffer, size_t at, const std::string& text) {
  std::memcpy(buffer.data() + at, text.data(), text.size());
}

void PutUtf16(std::vector<uint8_t>& buffer, size_t at, const std::string& text) {
  for (size_t i = 0; i < text.size(); ++i) StoreLe16(&buffer[at + 2 * i], uint8_t(text[i]));
}

struct Measured {
  int rc;
  std::string name;
  TypeCode code = kTypeNone;
  uint64_t size = 0;
};

Measured Measure(PlantedMedium& medium, uint64_t sector) {
  Measured m;
  SectorReader& reader = medium.Reader();
  m.rc = IdentifyAndMeasure(medium.SectorAt(sector), medium.sectorSize(), sector, 0, 1000, 0, 0,
                            &reader, medium.sectorSize(), m.name, m.code, m.size);
  return m;
}

class SignatureScanner : public ::testing::Test {
 protected:
  void SetUp() override { AimContextAt(nullptr, 0); }
  void TearDown() override { AimContextAt(nullptr, 0); }
};

// A compound-document header whose directory starts at its sector dirSector.
std::vector<uint8_t> CompoundHeader(uint32_t dirSector) {
  auto header = Bytes({0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1});
  StoreLe32(&header[48], dirSector);
  return header;
}

TEST_F(SignatureScanner, CompoundDocumentIsCarvedAsFlaAndCheckedByItsKind) {
  PlantedMedium medium(32);
  medium.Plant(10, CompoundHeader(3));
  medium.Plant(11, Bytes({0xEC, 0xA5, 0xC1, 0x00}));  // the Word file information block
  Measured m = Measure(medium, 10);
  EXPECT_EQ(m.rc, kOk);
  EXPECT_EQ(m.name, "10.fla");
  EXPECT_EQ(m.code, kTypeFla);
  EXPECT_GT(m.size, 0u);

  SectorReader& reader = medium.Reader();
  const uint8_t* first = medium.SectorAt(10);
  EXPECT_EQ(CheckSignature(first, 512, "doc", &reader, 512, 10), 1);
  EXPECT_EQ(CheckSignature(first, 512, "DOT", &reader, 512, 10), 1);
  EXPECT_EQ(CheckSignature(first, 512, "xls", &reader, 512, 10), 0);
  EXPECT_EQ(CheckSignature(first, 512, "fla", &reader, 512, 10), 1);
  EXPECT_EQ(CheckSignature(first, 512, "ole", &reader, 512, 10), 0);
}

TEST_F(SignatureScanner, CompoundDocumentKindFromBofClassIdAndStreamNames) {
  // An Excel beginning-of-file record right after the header.
  PlantedMedium excel(32);
  excel.Plant(4, CompoundHeader(0));
  excel.Plant(5, Bytes({0x09, 0x08, 0x10, 0x00, 0x00, 0x06}));
  SectorReader& r1 = excel.Reader();
  EXPECT_EQ(CheckSignature(excel.SectorAt(4), 512, "xls", &r1, 512, 4), 1);

  // The root entry's class identifier: PowerPoint.
  PlantedMedium ppt(32);
  ppt.Plant(4, CompoundHeader(2));
  auto directory = Bytes({});
  PutUtf16(directory, 0, "Root Entry");
  StoreLe32(&directory[80], 0x64818D10);
  StoreLe32(&directory[84], 0x11CF4F9B);
  StoreLe32(&directory[88], 0xAA00EA86);
  StoreLe32(&directory[92], 0xE829B900);
  ppt.Plant(4 + 1 + 2, directory);
  SectorReader& r2 = ppt.Reader();
  EXPECT_EQ(CheckSignature(ppt.SectorAt(4), 512, "pps", &r2, 512, 4), 1);

  // No class identifier, but a stream named WORDDOCUMENT (case ignored) in the directory.
  PlantedMedium named(32);
  named.Plant(4, CompoundHeader(1));
  auto names = Bytes({});
  PutUtf16(names, 0, "Root Entry");
  PutUtf16(names, 128, "WORDDOCUMENT");
  named.Plant(6, names);
  SectorReader& r3 = named.Reader();
  EXPECT_EQ(CheckSignature(named.SectorAt(4), 512, "doc", &r3, 512, 4), 1);

  // Nothing decides, or the next sector cannot be read: the generic kind.
  PlantedMedium plain(32);
  plain.Plant(4, CompoundHeader(1));
  SectorReader& r4 = plain.Reader();
  EXPECT_EQ(CheckSignature(plain.SectorAt(4), 512, "ole", &r4, 512, 4), 1);
  EXPECT_EQ(CheckSignature(plain.SectorAt(4), 512, "ole", nullptr, 512, 4), 1);
  EXPECT_EQ(CheckSignature(plain.SectorAt(4), 512, "doc", nullptr, 512, 4), 0);
}

std::vector<uint8_t> LocalHeader(const std::string& name) {
  std::vector<uint8_t> h(30 + name.size(), 0);
  Put(h, 0, "PK\x03\x04");
  StoreLe16(&h[26], uint16_t(name.size()));
  Put(h, 30, name);
  return h;
}

TEST_F(SignatureScanner, OfficePackageIsKnownByItsMembersAndNeverCarved) {
  PlantedMedium medium(64);
  medium.Plant(8, LocalHeader("word/document.xml"));
  SectorReader& reader = medium.Reader();
  AimContextAt(&reader, 8);
  EXPECT_EQ(IdentifySector(medium.SectorAt(8), 512), kTypeDocx);
  EXPECT_EQ(Measure(medium, 8).rc, kInvalidParameter);
  EXPECT_EQ(CheckSignature(medium.SectorAt(8), 512, "docx", &medium.Reader(), 512, 8), 1);
  // Its own row's test decides the content check: a package is a sound ZIP file as well.
  EXPECT_EQ(CheckSignature(medium.SectorAt(8), 512, "zip", &medium.Reader(), 512, 8), 1);
  EXPECT_EQ(CheckSignature(medium.SectorAt(8), 512, "pptx", &medium.Reader(), 512, 8), 0);
}

TEST_F(SignatureScanner, OfficePackageFindsASignatureSplitBetweenRounds) {
  PlantedMedium medium(64);
  medium.Plant(8, LocalHeader("mimetype"));
  // The next local header starts 2 bytes before the end of the first 4-sector round.
  auto member = LocalHeader("xl/workbook.xml");
  std::vector<uint8_t> tail(member.begin(), member.end());
  medium.Plant(8, {});
  std::memcpy(medium.bytes().data() + 12 * 512 - 2, tail.data(), tail.size());
  SectorReader& reader = medium.Reader();
  AimContextAt(&reader, 8);
  EXPECT_EQ(IdentifySector(medium.SectorAt(8), 512), kTypeXlsx);
}

TEST_F(SignatureScanner, OfficePackageIgnoresMembersAfterTheEndOfCentralDirectory) {
  PlantedMedium medium(64);
  auto first = LocalHeader("content.bin");
  first.resize(200, 0);
  Put(first, 100, "PK\x05\x06");
  auto later = LocalHeader("ppt/presentation.xml");
  first.insert(first.end(), later.begin(), later.end());
  medium.Plant(8, first);
  SectorReader& reader = medium.Reader();
  AimContextAt(&reader, 8);
  EXPECT_EQ(IdentifySector(medium.SectorAt(8), 512), kTypeZip);
  // Without a readable source the package test cannot decide either.
  AimContextAt(nullptr, 8);
  auto docx = LocalHeader("word/document.xml");
  docx.resize(512, 0);
  EXPECT_EQ(IdentifySector(docx.data(), 512), kTypeZip);
}

TEST_F(SignatureScanner, CheckSignatureIgnoresCaseAndPassesUnknownExtensions) {
  auto png = Bytes({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A});
  auto jpeg = Bytes({0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F'});
  EXPECT_EQ(CheckSignature(png.data(), 512, "JPG", nullptr, 512, 0), 0);
  EXPECT_EQ(CheckSignature(jpeg.data(), 512, "JPG", nullptr, 512, 0), 1);
  EXPECT_EQ(CheckSignature(png.data(), 512, "txt", nullptr, 512, 0), 1);
  EXPECT_EQ(CheckSignature(nullptr, 0, "txt", nullptr, 512, 0), 1);
  EXPECT_EQ(CheckSignature(nullptr, 0, "png", nullptr, 512, 0), 0);
  // mso07 has a row that no tester answers.
  auto docx = LocalHeader("word/document.xml");
  docx.resize(512);
  EXPECT_EQ(CheckSignature(docx.data(), 512, "mso07", nullptr, 512, 0), 0);
}

// A JPEG sector: the start marker, one segment of the given code and length (its payload zero),
// then the next marker.
std::vector<uint8_t> JpegStart(int code, int length) {
  auto b = Bytes({0xFF, 0xD8, 0xFF, code, length >> 8, length & 0xFF});
  if (4 + size_t(length) + 1 < b.size()) {
    b[4 + size_t(length)] = 0xFF;
    b[5 + size_t(length)] = 0xDB;
  }
  return b;
}

TEST_F(SignatureScanner, JpegStartsWithAnySegmentADecoderTakesFirst) {
  // Adobe APP14, ICC APP2, XMP APP1, a comment, a bare quantisation table, Huffman tables, a frame
  // header, a restart interval.
  for (auto [code, length] : {std::pair{0xEE, 14}, {0xE2, 300}, {0xE1, 120}, {0xFE, 19}, {0xDB, 67},
                              {0xC4, 31}, {0xC0, 17}, {0xC2, 17}, {0xDD, 4}, {0xE2, 9000}}) {
    EXPECT_EQ(IdentifySector(JpegStart(code, length).data(), 512), kTypeJpg) << std::hex << code;
  }
  // The codes that cannot come first, lengths too short for the segment, and a segment whose end
  // in this sector is not followed by a marker.
  for (auto [code, length] : {std::pair{0xC8, 17}, {0xCC, 17}, {0xD9, 2}, {0xDA, 12}, {0x00, 16},
                              {0xDB, 20}, {0xDD, 6}, {0xC0, 8}, {0xE1, 1}}) {
    EXPECT_EQ(IdentifySector(JpegStart(code, length).data(), 512), kTypeNone) << std::hex << code;
  }
  auto loose = JpegStart(0xFE, 19);
  loose[4 + 19] = 0x00;
  EXPECT_EQ(IdentifySector(loose.data(), 512), kTypeNone);
  // Carved under the JPEG name.
  PlantedMedium medium(32);
  medium.Plant(6, JpegStart(0xDB, 67));
  EXPECT_EQ(Measure(medium, 6).name, "6.jpg");
}

std::vector<uint8_t> pdfStart() { return Bytes({'%', 'P', 'D', 'F', '-'}); }

TEST_F(SignatureScanner, CheckSignatureHidesOnlyAFirstSectorThatIsPositivelyGone) {
  std::vector<uint8_t> noise(512);
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = uint8_t(i * 37 + 11);
  // A JPEG start the tester does not know (a first segment it finds insane) may still be the
  // photo's own: listed, its verdict tells the rest. Bytes no JPEG starts with are not.
  auto odd = JpegStart(0xE5, 1);
  EXPECT_EQ(IdentifySector(odd.data(), 512), kTypeNone);
  EXPECT_EQ(CheckSignature(odd.data(), 512, "jpg", nullptr, 512, 0), 1);
  EXPECT_EQ(CheckSignature(JpegStart(0xEE, 14).data(), 512, "jpg", nullptr, 512, 0), 1);
  EXPECT_EQ(CheckSignature(noise.data(), 512, "jpg", nullptr, 512, 0), 0);
  // A format without such bytes: only what is positively something else hides the file.
  EXPECT_EQ(CheckSignature(noise.data(), 512, "mmf", nullptr, 512, 0), 1);
  EXPECT_EQ(CheckSignature(pdfStart().data(), 512, "mmf", nullptr, 512, 0), 0);
  // Overwritten with zeros or erased flash, or by another format's start: hidden.
  EXPECT_EQ(CheckSignature(Bytes({}).data(), 512, "jpg", nullptr, 512, 0), 0);
  EXPECT_EQ(CheckSignature(std::vector<uint8_t>(512, 0xFF).data(), 512, "jpg", nullptr, 512, 0), 0);
  auto pdf = Bytes({'%', 'P', 'D', 'F', '-'});
  EXPECT_EQ(CheckSignature(pdf.data(), 512, "jpg", nullptr, 512, 0), 0);
  auto text = Bytes({});
  Put(text, 0, "Dear diary,\r\n\ttoday the card was formatted.\n");
  EXPECT_EQ(CheckSignature(text.data(), 512, "jpg", nullptr, 512, 0), 0);
  // A raw whose maker mark lies beyond the first sector is still a TIFF: one family.
  auto tiff = Bytes({'I', 'I', 0x2A, 0x00, 0x08, 0x00, 0x00, 0x00});
  EXPECT_EQ(CheckSignature(tiff.data(), 512, "nef", nullptr, 512, 0), 1);
  EXPECT_EQ(CheckSignature(tiff.data(), 512, "jpg", nullptr, 512, 0), 0);
  // A HEIF picture of either codec under the other name.
  auto avif = Bytes({0, 0, 0, 0x1C, 'f', 't', 'y', 'p', 'a', 'v', 'i', 'f'});
  EXPECT_EQ(CheckSignature(avif.data(), 512, "heic", nullptr, 512, 0), 1);
}

// The first sector of each new format, as its writer lays it out.
TEST_F(SignatureScanner, NewFormatsAreToldByTheirOwnMarks) {
  auto ftyp = [](const std::string& major, const std::string& compatible) {
    auto b = Bytes({0, 0, 0, int(16 + compatible.size()), 'f', 't', 'y', 'p'});
    Put(b, 8, major);
    Put(b, 16, compatible);
    return b;
  };
  EXPECT_EQ(IdentifySector(ftyp("heic", "mif1heic").data(), 512), kTypeHeic);
  EXPECT_EQ(IdentifySector(ftyp("mif1", "mif1heic").data(), 512), kTypeHeic);
  EXPECT_EQ(IdentifySector(ftyp("mif1", "mif1avifmiaf").data(), 512), kTypeAvif);
  EXPECT_EQ(IdentifySector(ftyp("crx ", "crx isom").data(), 512), kTypeCr3);
  EXPECT_EQ(IdentifySector(ftyp("M4A ", "M4A mp42isom").data(), 512), kTypeM4a);
  EXPECT_EQ(IdentifySector(ftyp("isom", "isomiso2mp41").data(), 512), kTypeMp4);

  auto webp = Bytes({});
  Put(webp, 0, "RIFF");
  webp[4] = 0x10;
  Put(webp, 8, "WEBPVP8 ");
  EXPECT_EQ(IdentifySector(webp.data(), 512), kTypeWebp);
  auto flac = Bytes({'f', 'L', 'a', 'C', 0x00, 0x00, 0x00, 34});
  EXPECT_EQ(IdentifySector(flac.data(), 512), kTypeFlac);
  auto ogg = Bytes({'O', 'g', 'g', 'S', 0, 0x02});
  ogg[26] = 1;
  ogg[27] = 19;
  Put(ogg, 28, "OpusHead");
  EXPECT_EQ(IdentifySector(ogg.data(), 512), kTypeOpus);
  Put(ogg, 28, "\x01vorbis");
  EXPECT_EQ(IdentifySector(ogg.data(), 512), kTypeOgg);
  ogg[5] = 0;  // not the first page of a stream
  EXPECT_EQ(IdentifySector(ogg.data(), 512), kTypeNone);

  // TIFF raws: Canon's mark after the header; the maker in the first directory; DNG's version.
  auto cr2 = Bytes({'I', 'I', 0x2A, 0, 0x10, 0, 0, 0, 'C', 'R', 2, 0});
  EXPECT_EQ(IdentifySector(cr2.data(), 512), kTypeCr2);
  auto nef = Bytes({'M', 'M', 0, 0x2A, 0, 0, 0, 8, 0, 2, 0x01, 0x0F, 0, 2, 0, 0, 0, 18, 0, 0, 0, 100,
                    0xC6, 0x12, 0, 1, 0, 0, 0, 4, 1, 4, 0, 0});
  Put(nef, 100, "NIKON CORPORATION");
  EXPECT_EQ(IdentifySector(nef.data(), 512), kTypeDng);  // a DNG written by a Nikon camera
  nef[22] = 0x01;                                       // the second tag is no longer DNGVersion
  EXPECT_EQ(IdentifySector(nef.data(), 512), kTypeNef);
  Put(nef, 100, "Canon");
  EXPECT_EQ(IdentifySector(nef.data(), 512), kTypeTif);
  auto raf = Bytes({});
  Put(raf, 0, "FUJIFILMCCD-RAW 0201");
  EXPECT_EQ(IdentifySector(raf.data(), 512), kTypeRaf);
  auto orf = Bytes({'I', 'I', 'R', 'O', 8, 0, 0, 0});
  EXPECT_EQ(IdentifySector(orf.data(), 512), kTypeOrf);
  auto rw2 = Bytes({'I', 'I', 'U', 0, 0x18, 0, 0, 0});
  EXPECT_EQ(IdentifySector(rw2.data(), 512), kTypeRw2);
}

// A run of transport-stream packets starting at byte offset start of the medium.
void PlantPackets(PlantedMedium& medium, size_t start, size_t packets) {
  for (size_t i = 0; i < packets; ++i) {
    uint8_t* p = medium.bytes().data() + start + i * 188;
    p[0] = 0x47;
    p[1] = 0x40;
    p[2] = 0x00;
    p[3] = 0x10;
  }
}

TEST_F(SignatureScanner, TransportStreamStrictModeRefusesAContinuation) {
  PlantedMedium medium(64);
  PlantPackets(medium, 20 * 512, 40);
  SectorReader& reader = medium.Reader();
  AimContextAt(&reader, 20);
  EXPECT_EQ(IdentifySector(medium.SectorAt(20), 512), kTypeTs);
  MeasureContext::Instance().strictTransportStream = true;
  EXPECT_EQ(IdentifySector(medium.SectorAt(20), 512), kTypeTs);

  // The sector before has the sync byte at 512 - 188: the packets run on from there.
  medium.bytes()[19 * 512 + 324] = 0x47;
  SectorReader& again = medium.Reader();
  AimContextAt(&again, 20);
  EXPECT_EQ(IdentifySector(medium.SectorAt(20), 512), kTypeTs);
  MeasureContext::Instance().strictTransportStream = true;
  EXPECT_EQ(IdentifySector(medium.SectorAt(20), 512), kTypeNone);
}

TEST_F(SignatureScanner, TransportStreamStrictModeSkipsMeasuredStreams) {
  PlantedMedium medium(64);
  PlantPackets(medium, 20 * 512, 40);
  SectorReader& reader = medium.Reader();
  AimContextAt(&reader, 20);
  MeasureContext& c = MeasureContext::Instance();
  c.strictTransportStream = true;
  c.TransportStreamExtents.push_back({10, 19});
  EXPECT_EQ(IdentifySector(medium.SectorAt(20), 512), kTypeTs);
  c.TransportStreamExtents.push_back({20, 30});
  EXPECT_EQ(IdentifySector(medium.SectorAt(20), 512), kTypeNone);
  c.strictTransportStream = false;
  EXPECT_EQ(IdentifySector(medium.SectorAt(20), 512), kTypeTs);
}

TEST_F(SignatureScanner, TransportStreamNeedsTwentyTwoPacketsAndAReadableSource) {
  PlantedMedium medium(64);
  PlantPackets(medium, 20 * 512, 21);  // the 22nd packet start is missing
  SectorReader& reader = medium.Reader();
  AimContextAt(&reader, 20);
  EXPECT_EQ(IdentifySector(medium.SectorAt(20), 512), kTypeNone);
  PlantedMedium full(64);
  PlantPackets(full, 20 * 512, 22);
  std::vector<uint8_t> first(full.SectorAt(20), full.SectorAt(20) + 512);
  AimContextAt(nullptr, 20);
  EXPECT_EQ(TestTransportStream(first.data(), 512), kTypeNone);
  // Bytes 1 to 3 all zero is no packet header.
  first[1] = first[2] = first[3] = 0;
  SectorReader& fullReader = full.Reader();
  AimContextAt(&fullReader, 20);
  EXPECT_EQ(TestTransportStream(first.data(), 512), kTypeNone);
}

TEST_F(SignatureScanner, TransportStreamAtTheFirstSectorHasNothingBeforeIt) {
  PlantedMedium medium(64);
  PlantPackets(medium, 0, 40);
  SectorReader& reader = medium.Reader();
  AimContextAt(&reader, 0);
  MeasureContext::Instance().strictTransportStream = true;
  EXPECT_EQ(IdentifySector(medium.SectorAt(0), 512), kTypeTs);
}

TEST_F(SignatureScanner, StrictFlagFollowsTheLastMeasurement) {
  PlantedMedium medium(64);
  PlantPackets(medium, 20 * 512, 40);
  medium.Plant(2, Bytes({0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F'}));
  MeasureContext& c = MeasureContext::Instance();

  EXPECT_EQ(Measure(medium, 5).rc, kInvalidParameter);  // zeros: nothing carvable
  EXPECT_TRUE(c.strictTransportStream);
  EXPECT_EQ(Measure(medium, 2).code, kTypeJpg);
  EXPECT_FALSE(c.strictTransportStream);
  Measured ts = Measure(medium, 20);
  EXPECT_EQ(ts.rc, kOk);
  EXPECT_EQ(ts.code, kTypeTs);
  EXPECT_EQ(ts.name, "20.ts");
  EXPECT_TRUE(c.strictTransportStream);
  // The measured stream's sectors are now known: in strict mode its start is no new file.
  EXPECT_FALSE(c.TransportStreamExtents.empty());
  EXPECT_EQ(Measure(medium, 20).rc, kInvalidParameter);
  EXPECT_TRUE(c.strictTransportStream);
  SectorReader& reader = medium.Reader();
  EXPECT_EQ(CheckSignature(medium.SectorAt(20), 512, "ts", &reader, 512, 20), 1);
  EXPECT_FALSE(c.strictTransportStream);
}

std::vector<uint8_t> BdavPacket(uint32_t stamp) {
  auto p = Bytes({0, 0, 0, 0, 0x47, 0x40, 0x00, 0x10, 0x00, 0x00, 0xB0, 0x11, 0x00, 0x00, 0xC1, 0x00});
  StoreLe32(&p[0], stamp);
  return p;
}

TEST_F(SignatureScanner, BdavStreamWhileOneIsMeasured) {
  PlantedMedium medium(64);
  medium.Plant(4, BdavPacket(0x1234));
  Measured m = Measure(medium, 4);
  EXPECT_EQ(m.code, kTypeMts);
  EXPECT_EQ(m.name, "4.mts");
  MeasureContext& c = MeasureContext::Instance();
  EXPECT_TRUE(c.bdavInProgress);
  EXPECT_FALSE(c.strictTransportStream);
  // While it is measured only a stream restarting at time 0 stops it.
  auto later = BdavPacket(0x5678);
  EXPECT_EQ(TestBdavTransportStream(later.data(), 512), kTypeNone);
  auto restart = BdavPacket(0);
  EXPECT_EQ(TestBdavTransportStream(restart.data(), 512), kTypeMts);
  c.bdavInProgress = false;
  EXPECT_EQ(TestBdavTransportStream(later.data(), 512), kTypeMts);
}

std::vector<uint8_t> PeImage(uint32_t headerOffset, uint16_t characteristics) {
  std::vector<uint8_t> pe(512, 0);
  Put(pe, 0, "MZ");
  StoreLe32(&pe[60], headerOffset);
  if (uint64_t(headerOffset) + 24 <= pe.size()) {
    Put(pe, headerOffset, std::string("PE\0\0", 4));
    StoreLe16(&pe[headerOffset + 22], characteristics);
  }
  return pe;
}

TEST_F(SignatureScanner, PeImageHeaderMustEndInTheFirstSector) {
  EXPECT_EQ(TestPeImage(PeImage(128, 0x0102).data(), 512), kTypeExe);
  EXPECT_EQ(TestPeImage(PeImage(128, 0x2102).data(), 512), kTypeDll);
  EXPECT_EQ(TestPeImage(PeImage(128, 0x3102).data(), 512), kTypeSys);
  EXPECT_EQ(TestPeImage(PeImage(128, 0x0100).data(), 512), kTypeNone);  // not executable
  EXPECT_EQ(TestPeImage(PeImage(488, 0x0002).data(), 512), kTypeExe);
  EXPECT_EQ(TestPeImage(PeImage(489, 0x0002).data(), 512), kTypeNone);
  EXPECT_EQ(TestPeImage(PeImage(0xFFFFFFF0u, 0x0002).data(), 512), kTypeNone);
  EXPECT_EQ(TestPeImage(PeImage(128, 0x0102).data(), 511), kTypeNone);
}

TEST_F(SignatureScanner, FixedOffsetTestersFollowTheirFieldRules) {
  auto gzip = Bytes({0x1F, 0x8B, 0x08, 0x00, 0, 0, 0, 0, 0x02, 0x03});
  EXPECT_EQ(TestGzip(gzip.data(), 512), kTypeGz);
  gzip[8] = 0x00;  // gzip's default level
  EXPECT_EQ(TestGzip(gzip.data(), 512), kTypeNone);
  gzip[8] = 0x04;
  gzip[9] = 0xFF;  // unknown system
  EXPECT_EQ(TestGzip(gzip.data(), 512), kTypeGz);
  gzip[9] = 14;
  EXPECT_EQ(TestGzip(gzip.data(), 512), kTypeNone);
  gzip[9] = 3;
  gzip[3] = 0x04;  // an extra field
  EXPECT_EQ(TestGzip(gzip.data(), 512), kTypeNone);

  auto swf = Bytes({'C', 'W', 'S', 6});
  EXPECT_EQ(TestFlashMovie(swf.data(), 512), kTypeSwf);
  swf[3] = 16;
  EXPECT_EQ(TestFlashMovie(swf.data(), 512), kTypeNone);
  swf = Bytes({'F', 'W', 'S', 6});
  EXPECT_EQ(TestFlashMovie(swf.data(), 512), kTypeNone);

  auto id3 = Bytes({'I', 'D', '3', 3, 0, 0x10, 0, 0, 0x7F, 0x7F});
  EXPECT_EQ(TestId3v2(id3.data(), 512), kTypeNone);  // undefined flag bits
  id3[5] = 0x80;
  EXPECT_EQ(TestId3v2(id3.data(), 512), kTypeMp3);
  id3[9] = 0x80;
  EXPECT_EQ(TestId3v2(id3.data(), 512), kTypeNone);

  auto mpeg = Bytes({0, 0, 1, 0xBA});
  EXPECT_EQ(TestMpegProgramStream(mpeg.data(), 512), kTypeNone);
  mpeg[28] = 0; mpeg[29] = 0; mpeg[30] = 1; mpeg[31] = 0xBB;  // system header ends at byte 31
  EXPECT_EQ(TestMpegProgramStream(mpeg.data(), 512), kTypeMpeg);
  std::swap(mpeg[28], mpeg[29]);
  mpeg[29] = 0; mpeg[30] = 0; mpeg[31] = 1; mpeg[32] = 0xBB;  // one byte too far
  EXPECT_EQ(TestMpegProgramStream(mpeg.data(), 512), kTypeNone);
}

TEST_F(SignatureScanner, IconDirectoryMustDescribeContiguousImages) {
  auto ico = Bytes({0, 0, 1, 0, 2, 0});
  StoreLe32(&ico[6 + 8], 100);
  StoreLe32(&ico[6 + 12], 38);
  StoreLe32(&ico[22 + 8], 50);
  StoreLe32(&ico[22 + 12], 138);
  EXPECT_EQ(TestIcon(ico.data(), 512), kTypeIco);
  StoreLe32(&ico[22 + 12], 139);
  EXPECT_EQ(TestIcon(ico.data(), 512), kTypeNone);
  StoreLe32(&ico[22 + 12], 138);
  ico[22 + 3] = 1;  // reserved byte
  EXPECT_EQ(TestIcon(ico.data(), 512), kTypeNone);
  ico[22 + 3] = 0;
  EXPECT_EQ(TestIcon(ico.data(), 37), kTypeNone);  // the directory does not fit
  StoreLe16(&ico[4], 0);
  EXPECT_EQ(TestIcon(ico.data(), 512), kTypeNone);
  StoreLe16(&ico[4], 0xFFFF);  // a directory far longer than the sector
  EXPECT_EQ(TestIcon(ico.data(), 512), kTypeNone);
}

TEST_F(SignatureScanner, NothingCarvableAnswers87AndLeavesOutputs) {
  std::vector<uint8_t> zeros(512, 0);
  std::string name = "unchanged";
  TypeCode code = 7;
  uint64_t size = 9;
  EXPECT_EQ(IdentifyAndMeasure(zeros.data(), 512, 3, 0, 1, 0, 0, nullptr, 512, name, code, size),
            kInvalidParameter);
  EXPECT_EQ(name, "unchanged");
  auto pdf = Bytes({'%', 'P', 'D', 'F', '-', '1', '.', '4'});
  EXPECT_EQ(IdentifyAndMeasure(pdf.data(), 512, 3, 0, 1, 0, 0, nullptr, 512, name, code, size),
            kInvalidParameter);
  EXPECT_EQ(IdentifyAndMeasure(nullptr, 0, 3, 0, 1, 0, 0, nullptr, 512, name, code, size),
            kInvalidParameter);
}

TEST_F(SignatureScanner, MeasuredNameUsesTheCanonicalExtensionAndSector) {
  PlantedMedium medium(16);
  auto bmp = Bytes({'B', 'M'});
  StoreLe32(&bmp[14], 40);
  medium.Plant(9, bmp);
  Measured m = Measure(medium, 9);
  EXPECT_EQ(m.rc, kOk);
  EXPECT_EQ(m.name, "9.bmp");  // not "dib"
  EXPECT_EQ(m.code, kTypeBmp);

  std::string name;
  TypeCode code = kTypeNone;
  uint64_t size = 0;
  const uint64_t far = 0x7FFFFFFFFFFFFFF0ull;
  auto rm = Bytes({'.', 'R', 'M', 'F'});
  IdentifyAndMeasure(rm.data(), 512, far, 0, 1, 0, 0, nullptr, 512, name, code, size);
  EXPECT_EQ(name, std::to_string(far) + ".rmvb");
  EXPECT_EQ(MeasureContext::Instance().startSector, far);
}

TEST_F(SignatureScanner, WorkBufferLivesWhileLeased) {
  MeasureContext& c = MeasureContext::Instance();
  EXPECT_EQ(c.WorkBuffer(), nullptr);
  {
    WorkBufferLease engine;
    ASSERT_NE(c.WorkBuffer(), nullptr);
    {
      WorkBufferLease another;
      EXPECT_NE(c.WorkBuffer(), nullptr);
    }
    EXPECT_NE(c.WorkBuffer(), nullptr);
    c.WorkBuffer()[MeasureContext::kWorkBufferBytes - 1] = 1;
  }
  EXPECT_EQ(c.WorkBuffer(), nullptr);
}

}  // namespace
}  // namespace salvora
