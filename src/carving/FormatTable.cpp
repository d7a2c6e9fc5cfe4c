#include "carving/FormatTable.h"

namespace salvora {

const FormatEntry FormatTable[kFormatRowCount + 1] = {
    {"mpeg", kTypeMpeg, TestMpegProgramStream, SizeMpegEndCode},
    {"mpg", kTypeMpeg, TestMpegProgramStream, SizeMpegEndCode},
    {"vob", kTypeMpeg, TestMpegProgramStream, SizeMpegEndCode},
    {"mp4", kTypeMp4, TestIsoMedia, SizeMediaTrailerText},
    {"rmvb", kTypeRmvb, TestRealMedia, SizeRealMediaIndex},
    {"rm", kTypeRmvb, TestRealMedia, SizeRealMediaIndex},
    {"wmv", kTypeWmv, TestAsf, SizeAsfFileProperties},
    {"asf", kTypeWmv, TestAsf, SizeAsfFileProperties},
    {"wma", kTypeWmv, TestAsf, SizeAsfFileProperties},
    {"swf", kTypeSwf, TestFlashMovie, SizeFlashHeader},
    {"avi", kTypeAvi, TestAvi, SizeAviRiffLength},
    {"flv", kTypeFlv, TestFlashVideo, SizeNextStop6GiB},
    {"3gp", kType3gp, Test3gpp, SizeNextStop6GiB},
    {"mkv", kTypeMkv, TestMatroska, SizeNextStop64GiB},
    {"ts", kTypeTs, TestTransportStream, SizeTransportStream},
    {"mts", kTypeMts, TestBdavTransportStream, SizeNextStop6GiB},
    {"mxf", kTypeMxf, TestMxf, SizeNextStop6GiB},
    {"mp3", kTypeMp3, TestId3v2, SizeId3v1Tag},
    {"mid", kTypeMid, TestStandardMidi, SizeMidiTracks},
    {"ape", kTypeApe, TestMonkeysAudio, SizeApeTag},
    {"wav", kTypeWav, TestWave, SizeWaveRiffLength},
    {"mov", kTypeMov, TestQuickTime, SizeNextStop6GiB},
    {"mp2", kTypeMp2, TestMpegAudioFrame, SizeNextStop256MiB},
    {"mmf", kTypeMmf, TestSmaf, SizeNextStop256MiB},
    {"fla", kTypeFla, TestCompoundPrefix, SizeNextStop256MiB},
    {"gif", kTypeGif, TestGif, SizeGifTrailer},
    {"bmp", kTypeBmp, TestBmp, SizeBmpLength},
    {"dib", kTypeBmp, TestBmp, SizeBmpLength},
    {"jpg", kTypeJpg, TestJpeg, SizeJpegEndMarker},
    {"jpeg", kTypeJpg, TestJpeg, SizeJpegEndMarker},
    {"jpe", kTypeJpg, TestJpeg, SizeJpegEndMarker},
    {"jfif", kTypeJpg, TestJpeg, SizeJpegEndMarker},
    {"png", kTypePng, TestPng, SizePngEndChunk},
    {"psd", kTypePsd, TestPhotoshop, SizeNextStop128MiB},
    {"tif", kTypeTif, TestTiff, SizeNextStop128MiB},
    {"tiff", kTypeTif, TestTiff, SizeNextStop128MiB},
    {"ico", kTypeIco, TestIcon, SizeIconDirectory},
    {"doc", kTypeDoc, TestCompoundDocument, nullptr},
    {"dot", kTypeDoc, TestCompoundDocument, nullptr},
    {"wps", kTypeDoc, TestCompoundDocument, nullptr},
    {"wpt", kTypeDoc, TestCompoundDocument, nullptr},
    {"xls", kTypeXls, TestCompoundDocument, nullptr},
    {"xlt", kTypeXls, TestCompoundDocument, nullptr},
    {"xla", kTypeXls, TestCompoundDocument, nullptr},
    {"et", kTypeXls, TestCompoundDocument, nullptr},
    {"ett", kTypeXls, TestCompoundDocument, nullptr},
    {"ppt", kTypePpt, TestCompoundDocument, nullptr},
    {"pot", kTypePpt, TestCompoundDocument, nullptr},
    {"pps", kTypePpt, TestCompoundDocument, nullptr},
    {"dps", kTypePpt, TestCompoundDocument, nullptr},
    {"dpt", kTypePpt, TestCompoundDocument, nullptr},
    {"ole", kTypeOle, TestCompoundDocument, nullptr},
    {"docx", kTypeDocx, TestOfficePackage, nullptr},
    {"docm", kTypeDocx, TestOfficePackage, nullptr},
    {"dotm", kTypeDocx, TestOfficePackage, nullptr},
    {"dotx", kTypeDocx, TestOfficePackage, nullptr},
    {"xlsx", kTypeXlsx, TestOfficePackage, nullptr},
    {"xlsb", kTypeXlsx, TestOfficePackage, nullptr},
    {"xlsm", kTypeXlsx, TestOfficePackage, nullptr},
    {"xlsx", kTypeXlsx, TestOfficePackage, nullptr},
    {"xlam", kTypeXlsx, TestOfficePackage, nullptr},
    {"xltx", kTypeXlsx, TestOfficePackage, nullptr},
    {"xltm", kTypeXlsx, TestOfficePackage, nullptr},
    {"pptx", kTypePptx, TestOfficePackage, nullptr},
    {"pptm", kTypePptx, TestOfficePackage, nullptr},
    {"potx", kTypePptx, TestOfficePackage, nullptr},
    {"potm", kTypePptx, TestOfficePackage, nullptr},
    {"ppsx", kTypePptx, TestOfficePackage, nullptr},
    {"ppsm", kTypePptx, TestOfficePackage, nullptr},
    {"mso07", kTypeMso07, TestOfficePackage, nullptr},
    {"pdf", kTypePdf, TestPdf, nullptr},
    {"gz", kTypeGz, TestGzip, nullptr},
    {"gzip", kTypeGz, TestGzip, nullptr},
    {"7z", kType7z, Test7z, nullptr},
    {"zip", kTypeZip, TestZip, nullptr},
    {"rar", kTypeRar, TestRar, nullptr},
    {"cab", kTypeCab, TestCabinet, nullptr},
    {"exe", kTypeExe, TestPeImage, nullptr},
    {"dll", kTypeDll, TestPeImage, nullptr},
    {"sys", kTypeSys, TestPeImage, nullptr},
    {"gho", kTypeGho, TestGhostImage, nullptr},
    {"db", kTypeDb, TestSqlite, nullptr},
    {"dbx", kTypeDbx, TestMailFolder, nullptr},
    {"pst", kTypePst, TestPersonalFolders, nullptr},
    {"ttf", kTypeTtf, TestTrueType, nullptr},
    {"", kTypeNone, nullptr, nullptr},
};

namespace {

struct CanonicalIndex {
  const FormatEntry* rows[kTypeCodeCount] = {};
  CanonicalIndex() {
    for (size_t i = 0; i < kFormatRowCount; ++i) {
      const TypeCode code = FormatTable[i].typeCode;
      if (code >= 0 && code < kTypeCodeCount && rows[code] == nullptr) rows[code] = &FormatTable[i];
    }
  }
};

}  // namespace

const FormatEntry* CanonicalRow(TypeCode code) {
  static const CanonicalIndex index;
  if (code < 0 || code >= kTypeCodeCount) return nullptr;
  return index.rows[code];
}

}  // namespace salvora
