// Testers of the video and audio containers that are recognised from the first sector alone.
#include <cstring>

#include "carving/MeasureContext.h"
#include "carving/TesterInput.h"
#include "carving/Testers.h"

namespace salvora {
namespace {

// True when the 4-byte code occurs wholly within the first limit bytes of the view.
bool OccursWithin(ByteView v, size_t limit, const uint8_t (&code)[4]) {
  const size_t end = v.size() < limit ? v.size() : limit;
  for (size_t at = 0; at + 4 <= end; ++at)
    if (std::memcmp(v.data() + at, code, 4) == 0) return true;
  return false;
}

bool IsFtyp(ByteView v) { return v.Equals(4, "ftyp"); }

}  // namespace

TypeCode TestMpegProgramStream(const uint8_t* bytes, int length) {
  const ByteView v = TesterInput(bytes, length, 16);
  if (!v.size() || v.U8(0) != 0 || v.U8(1) != 0 || v.U8(2) != 1) return kTypeNone;
  static constexpr uint8_t kSystemHeader[4] = {0, 0, 1, 0xBB};
  static constexpr uint8_t kGroupOfPictures[4] = {0, 0, 1, 0xB8};
  if (v.U8(3) == 0xBA && OccursWithin(v, 32, kSystemHeader)) return kTypeMpeg;
  if (v.U8(3) == 0xB3 && OccursWithin(v, 32, kGroupOfPictures)) return kTypeMpeg;
  return kTypeNone;
}


// ISO media by its major brand: movies, and the files that are not movies: still pictures (HEIF
// with HEVC or AV1 images), Canon's raw photos and iTunes audio. Mixed-image brands name the codec
// among the compatible brands, which the ftyp box lists from offset 16. One tester for all of them
// keeps sectors that start with a zero byte (most of a card's free space) to one test.
TypeCode TestIsoMedia(const uint8_t* bytes, int length) {
  const ByteView v = TesterInput(bytes, length, 32);
  if (!v.size() || !IsFtyp(v)) return kTypeNone;
  if (v.Equals(8, "iso") || v.Equals(8, "mp42")) return kTypeMp4;
  if (v.Equals(8, "heic") || v.Equals(8, "heix") || v.Equals(8, "heim") || v.Equals(8, "heis"))
    return kTypeHeic;
  if (v.Equals(8, "avif") || v.Equals(8, "avis")) return kTypeAvif;
  if (v.Equals(8, "crx ")) return kTypeCr3;
  if (v.Equals(8, "M4A ") || v.Equals(8, "M4B ") || v.Equals(8, "M4P ")) return kTypeM4a;
  if (!v.Equals(8, "mif1") && !v.Equals(8, "msf1")) return kTypeNone;
  const size_t boxEnd = v.U32Be(0) < v.size() ? v.U32Be(0) : v.size();
  for (size_t at = 16; at + 4 <= boxEnd; at += 4)
    if (v.Equals(at, "avif") || v.Equals(at, "avis")) return kTypeAvif;
  return kTypeHeic;
}

TypeCode TestRealMedia(const uint8_t* bytes, int length) {
  const ByteView v = TesterInput(bytes, length, 4);
  return v.Equals(0, ".RMF") ? kTypeRmvb : kTypeNone;
}

TypeCode TestAsf(const uint8_t* bytes, int length) {
  static constexpr uint8_t kHeaderObject[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                                0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
  const ByteView v = TesterInput(bytes, length, 24);
  return v.Equals(0, kHeaderObject, 16) ? kTypeWmv : kTypeNone;
}

TypeCode TestFlashMovie(const uint8_t* bytes, int length) {
  const ByteView v = TesterInput(bytes, length, 8);
  const uint8_t version = v.U8(3);
  if (v.Equals(0, "CWS") && version >= 6 && version <= 15) return kTypeSwf;
  if (v.Equals(0, "FWS") && version < 6) return kTypeSwf;
  return kTypeNone;
}

TypeCode TestAvi(const uint8_t* bytes, int length) {
  const ByteView v = TesterInput(bytes, length, 16);
  return (v.Equals(0, "RIFF") && v.Equals(8, "AVI ") && v.Equals(12, "LIST")) ? kTypeAvi : kTypeNone;
}

TypeCode TestFlashVideo(const uint8_t* bytes, int length) {
  static constexpr uint8_t kHeaderLength[4] = {0, 0, 0, 9};
  const ByteView v = TesterInput(bytes, length, 16);
  return (v.Equals(0, "FLV\x01") && v.Equals(5, kHeaderLength, 4)) ? kTypeFlv : kTypeNone;
}

TypeCode Test3gpp(const uint8_t* bytes, int length) {
  const ByteView v = TesterInput(bytes, length, 32);
  return (IsFtyp(v) && v.Equals(8, "3gp")) ? kType3gp : kTypeNone;
}

TypeCode TestMatroska(const uint8_t* bytes, int length) {
  static constexpr uint8_t kEbml[4] = {0x1A, 0x45, 0xDF, 0xA3};
  const ByteView v = TesterInput(bytes, length, 16);
  return v.Equals(0, kEbml, 4) ? kTypeMkv : kTypeNone;
}

TypeCode TestBdavTransportStream(const uint8_t* bytes, int length) {
  // A program association table right behind the 4-byte arrival time stamp and the packet header.
  static constexpr uint8_t kPatStart[8] = {0x00, 0x00, 0xB0, 0x11, 0x00, 0x00, 0xC1, 0x00};
  const ByteView v = TesterInput(bytes, length, 16);
  if (!v.Equals(8, kPatStart, 8)) return kTypeNone;
  const bool stampZero = v.U32(0) == 0;
  // While a BDAV stream is being measured, only a stream restarting at time 0 stops it.
  return (stampZero || !MeasureContext::Instance().bdavInProgress) ? kTypeMts : kTypeNone;
}

TypeCode TestMxf(const uint8_t* bytes, int length) {
  static constexpr uint8_t kHeaderPartition[16] = {0x06, 0x0E, 0x2B, 0x34, 0x02, 0x05, 0x01, 0x01,
                                                   0x0D, 0x01, 0x02, 0x01, 0x01, 0x02, 0x04, 0x00};
  const ByteView v = TesterInput(bytes, length, 16);
  return v.Equals(0, kHeaderPartition, 16) ? kTypeMxf : kTypeNone;
}

TypeCode TestId3v2(const uint8_t* bytes, int length) {
  const ByteView v = TesterInput(bytes, length, 10);
  if (!v.Equals(0, "ID3") || v.U8(3) == 0xFF || v.U8(4) == 0xFF || (v.U8(5) & 0x1F) != 0)
    return kTypeNone;
  // The tag size is four 7-bit bytes.
  for (size_t i = 6; i < 10; ++i)
    if (v.U8(i) >= 0x80) return kTypeNone;
  return kTypeMp3;
}

TypeCode TestStandardMidi(const uint8_t* bytes, int length) {
  const ByteView v = TesterInput(bytes, length, 18);
  return (v.Equals(0, "MThd") && v.U32Be(4) == 6 && v.Equals(14, "MTrk")) ? kTypeMid : kTypeNone;
}

TypeCode TestMonkeysAudio(const uint8_t* bytes, int length) {
  const ByteView v = TesterInput(bytes, length, 4);
  return v.Equals(0, "MAC ") ? kTypeApe : kTypeNone;
}

TypeCode TestFlac(const uint8_t* bytes, int length) {
  // "fLaC", then the STREAMINFO block (type 0, 34 bytes), which always comes first.
  const ByteView v = TesterInput(bytes, length, 42);
  return (v.Equals(0, "fLaC") && (v.U8(4) & 0x7F) == 0 && v.U32Be(4) % 0x1000000 == 34) ? kTypeFlac
                                                                                         : kTypeNone;
}

// The first page of an Ogg stream (version 0, beginning of stream), named by its first packet.
TypeCode TestOgg(const uint8_t* bytes, int length) {
  const ByteView v = TesterInput(bytes, length, 64);
  if (!v.Equals(0, "OggS") || v.U8(4) != 0 || (v.U8(5) & 0x02) == 0) return kTypeNone;
  const size_t packet = 27 + size_t(v.U8(26));
  if (v.Equals(packet, "OpusHead")) return kTypeOpus;
  return v.Has(packet, 8) ? kTypeOgg : kTypeNone;
}

TypeCode TestWave(const uint8_t* bytes, int length) {
  const ByteView v = TesterInput(bytes, length, 16);
  return (v.Equals(0, "RIFF") && v.Equals(8, "WAVE") && v.Equals(12, "fmt ")) ? kTypeWav : kTypeNone;
}

TypeCode TestQuickTime(const uint8_t* bytes, int length) {
  const ByteView v = TesterInput(bytes, length, 16);
  if (v.Equals(0, "moov") || (IsFtyp(v) && v.Equals(8, "qt  "))) return kTypeMov;
  return kTypeNone;
}

TypeCode TestMpegAudioFrame(const uint8_t* bytes, int length) {
  static constexpr uint8_t kFrame[4] = {0xFF, 0xFD, 0xE4, 0x00};
  const ByteView v = TesterInput(bytes, length, 4);
  return v.Equals(0, kFrame, 4) ? kTypeMp2 : kTypeNone;
}

TypeCode TestSmaf(const uint8_t* bytes, int length) {
  const ByteView v = TesterInput(bytes, length, 4);
  return v.Equals(0, "MMMD") ? kTypeMmf : kTypeNone;
}

}  // namespace salvora
