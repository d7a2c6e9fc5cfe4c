#pragma once

#include <cstdint>

#include "carving/TypeCode.h"

// The testers of the format table: each looks at one sector's bytes and answers the type code of the
// format that starts there, or kTypeNone. A null input or one shorter than the tester needs answers
// kTypeNone. The few that read further sectors do so through MeasureContext, relative to its sector
// under test.
namespace salvora {

using Tester = TypeCode (*)(const uint8_t* bytes, int length);

// Video and audio containers.
TypeCode TestMpegProgramStream(const uint8_t* bytes, int length);
TypeCode TestIsoMedia(const uint8_t* bytes, int length);  // mp4, heic, avif, cr3, m4a
TypeCode TestRealMedia(const uint8_t* bytes, int length);
TypeCode TestAsf(const uint8_t* bytes, int length);
TypeCode TestFlashMovie(const uint8_t* bytes, int length);
TypeCode TestAvi(const uint8_t* bytes, int length);
TypeCode TestFlashVideo(const uint8_t* bytes, int length);
TypeCode Test3gpp(const uint8_t* bytes, int length);
TypeCode TestMatroska(const uint8_t* bytes, int length);
TypeCode TestTransportStream(const uint8_t* bytes, int length);
TypeCode TestBdavTransportStream(const uint8_t* bytes, int length);
TypeCode TestMxf(const uint8_t* bytes, int length);
TypeCode TestId3v2(const uint8_t* bytes, int length);
TypeCode TestStandardMidi(const uint8_t* bytes, int length);
TypeCode TestMonkeysAudio(const uint8_t* bytes, int length);
TypeCode TestFlac(const uint8_t* bytes, int length);
TypeCode TestOgg(const uint8_t* bytes, int length);  // ogg or opus
TypeCode TestWave(const uint8_t* bytes, int length);
TypeCode TestQuickTime(const uint8_t* bytes, int length);
TypeCode TestMpegAudioFrame(const uint8_t* bytes, int length);
TypeCode TestSmaf(const uint8_t* bytes, int length);

// Pictures.
TypeCode TestGif(const uint8_t* bytes, int length);
TypeCode TestBmp(const uint8_t* bytes, int length);
TypeCode TestJpeg(const uint8_t* bytes, int length);
TypeCode TestPng(const uint8_t* bytes, int length);
TypeCode TestPhotoshop(const uint8_t* bytes, int length);
TypeCode TestWebp(const uint8_t* bytes, int length);
TypeCode TestTiffRaw(const uint8_t* bytes, int length);  // cr2, nef, arw, dng, pef
TypeCode TestFujifilmRaw(const uint8_t* bytes, int length);
TypeCode TestOlympusRaw(const uint8_t* bytes, int length);
TypeCode TestPanasonicRaw(const uint8_t* bytes, int length);
TypeCode TestTiff(const uint8_t* bytes, int length);
TypeCode TestIcon(const uint8_t* bytes, int length);

// Documents, archives and the rest.
TypeCode TestCompoundPrefix(const uint8_t* bytes, int length);
TypeCode TestCompoundDocument(const uint8_t* bytes, int length);
TypeCode TestOfficePackage(const uint8_t* bytes, int length);
TypeCode TestPdf(const uint8_t* bytes, int length);
TypeCode TestGzip(const uint8_t* bytes, int length);
TypeCode Test7z(const uint8_t* bytes, int length);
TypeCode TestZip(const uint8_t* bytes, int length);
TypeCode TestRar(const uint8_t* bytes, int length);
TypeCode TestCabinet(const uint8_t* bytes, int length);
TypeCode TestPeImage(const uint8_t* bytes, int length);
TypeCode TestGhostImage(const uint8_t* bytes, int length);
TypeCode TestSqlite(const uint8_t* bytes, int length);
TypeCode TestMailFolder(const uint8_t* bytes, int length);
TypeCode TestPersonalFolders(const uint8_t* bytes, int length);
TypeCode TestTrueType(const uint8_t* bytes, int length);

}  // namespace salvora
