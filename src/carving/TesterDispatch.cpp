#include "carving/TesterDispatch.h"

#include <string_view>

#include "carving/FormatTable.h"

namespace salvora {
namespace {

// The first bytes with which each tester can answer. A tester missing here is run for every byte.
struct FirstBytes {
  Tester tester;
  std::string_view bytes;  // empty: any first byte
};

using namespace std::string_view_literals;

const FirstBytes kFirstBytes[] = {
    {TestMpegProgramStream, "\x00"sv},
    {TestIsoMedia, ""sv},  // "ftyp" at 4
    {TestRealMedia, "."sv},
    {TestAsf, "\x30"sv},
    {TestFlashMovie, "CF"sv},
    {TestAvi, "R"sv},
    {TestFlashVideo, "F"sv},
    {Test3gpp, ""sv},                 // "ftyp" at 4
    {TestMatroska, "\x1A"sv},
    {TestTransportStream, "\x47"sv},
    {TestBdavTransportStream, ""sv},  // bytes 8-15
    {TestMxf, "\x06"sv},
    {TestId3v2, "I"sv},
    {TestStandardMidi, "M"sv},
    {TestMonkeysAudio, "M"sv},
    {TestFlac, "f"sv},
    {TestOgg, "O"sv},
    {TestWave, "R"sv},
    {TestWebp, "R"sv},
    {TestQuickTime, ""sv},            // "moov" at 0 or "ftyp" at 4
    {TestMpegAudioFrame, "\xFF"sv},
    {TestSmaf, "M"sv},
    {TestCompoundPrefix, "\xD0"sv},
    {TestGif, "G"sv},
    {TestBmp, "B"sv},
    {TestJpeg, "\xFF"sv},
    {TestPng, "\x89"sv},
    {TestPhotoshop, "8"sv},
    {TestTiffRaw, "MI"sv},
    {TestFujifilmRaw, "F"sv},
    {TestOlympusRaw, "MI"sv},
    {TestPanasonicRaw, "I"sv},
    {TestTiff, "MI"sv},
    {TestIcon, "\x00"sv},
    {TestCompoundDocument, "\xD0"sv},
    {TestOfficePackage, ""sv},        // "PK" at 0 or "[Content_Types].xml" at 31
    {TestPdf, "%"sv},
    {TestGzip, "\x1F"sv},
    {Test7z, "7"sv},
    {TestZip, "P"sv},
    {TestRar, "R"sv},
    {TestCabinet, "M"sv},
    {TestPeImage, "M"sv},
    {TestGhostImage, "\xFE"sv},
    {TestSqlite, "S"sv},
    {TestMailFolder, "\xCF"sv},
    {TestPersonalFolders, "!"sv},
    {TestTrueType, "\x00"sv},
};

bool CanAnswerFor(Tester tester, uint8_t firstByte) {
  for (const FirstBytes& entry : kFirstBytes) {
    if (entry.tester != tester) continue;
    if (entry.bytes.empty()) return true;
    return entry.bytes.find(char(firstByte)) != std::string_view::npos;
  }
  return true;
}

}  // namespace

const TesterDispatch& TesterDispatch::Instance() {
  static const TesterDispatch dispatch;
  return dispatch;
}

TesterDispatch::TesterDispatch() {
  for (int b = 0; b < 256; ++b) {
    Tester previous = nullptr;
    for (size_t i = 0; i < kFormatRowCount; ++i) {
      const Tester tester = FormatTable[i].tester;
      if (tester == previous) continue;
      previous = tester;
      if (CanAnswerFor(tester, uint8_t(b))) byFirstByte_[size_t(b)].push_back(tester);
    }
  }
}

}  // namespace salvora
