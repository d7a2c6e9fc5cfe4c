#include "carving/FormatTable.h"

namespace salvora {

const FormatEntry FormatTable[kFormatRowCount + 1] = {
    {"mpeg", kTypeMpeg, TestMpegProgramStream, SizeMpegPacks},
    {"mpg", kTypeMpeg, TestMpegProgramStream, SizeMpegPacks},
    {"vob", kTypeMpeg, TestMpegProgramStream, SizeMpegPacks},
    {"mp4", kTypeMp4, TestIsoMedia, SizeMp4Boxes},
    {"heic", kTypeHeic, TestIsoMedia, SizeHeifBoxes},
    {"heif", kTypeHeic, TestIsoMedia, SizeHeifBoxes},
    {"avif", kTypeAvif, TestIsoMedia, SizeHeifBoxes},
    {"cr3", kTypeCr3, TestIsoMedia, SizeCr3Boxes},
    {"m4a", kTypeM4a, TestIsoMedia, SizeM4aBoxes},
    {"m4b", kTypeM4a, TestIsoMedia, SizeM4aBoxes},
    {"rmvb", kTypeRmvb, TestRealMedia, SizeRealMediaChunks},
    {"rm", kTypeRmvb, TestRealMedia, SizeRealMediaChunks},
    {"wmv", kTypeWmv, TestAsf, SizeAsfFileProperties},
    {"asf", kTypeWmv, TestAsf, SizeAsfFileProperties},
    {"wma", kTypeWmv, TestAsf, SizeAsfFileProperties},
    {"swf", kTypeSwf, TestFlashMovie, SizeFlashMovie},
    {"avi", kTypeAvi, TestAvi, SizeAviRiffLength},
    {"flv", kTypeFlv, TestFlashVideo, SizeFlashVideoTags},
    {"3gp", kType3gp, Test3gpp, SizeQuickTimeBoxes},
    {"mkv", kTypeMkv, TestMatroska, SizeMatroskaSegment},
    {"ts", kTypeTs, TestTransportStream, SizeTransportStream},
    {"mts", kTypeMts, TestBdavTransportStream, SizeNextStop6GiB},
    {"mxf", kTypeMxf, TestMxf, SizeMxfPacks},
    {"mp3", kTypeMp3, TestId3v2, SizeMp3Frames},
    {"mid", kTypeMid, TestStandardMidi, SizeMidiTracks},
    {"ape", kTypeApe, TestMonkeysAudio, SizeApeTag},
    {"flac", kTypeFlac, TestFlac, SizeFlacFrames},
    {"ogg", kTypeOgg, TestOgg, SizeOggPages},
    {"oga", kTypeOgg, TestOgg, SizeOggPages},
    {"opus", kTypeOpus, TestOgg, SizeOggPages},
    {"wav", kTypeWav, TestWave, SizeWaveRiffLength},
    {"webp", kTypeWebp, TestWebp, SizeWebpChunks},
    {"mov", kTypeMov, TestQuickTime, SizeQuickTimeBoxes},
    {"mp2", kTypeMp2, TestMpegAudioFrame, SizeNextStop256MiB},
    {"mmf", kTypeMmf, TestSmaf, SizeNextStop256MiB},
    {"fla", kTypeFla, TestCompoundPrefix, SizeNextStop256MiB},
    {"gif", kTypeGif, TestGif, SizeGifBlocks},
    {"bmp", kTypeBmp, TestBmp, SizeBmpLength},
    {"dib", kTypeBmp, TestBmp, SizeBmpLength},
    {"jpg", kTypeJpg, TestJpeg, SizeJpegSegments},
    {"jpeg", kTypeJpg, TestJpeg, SizeJpegSegments},
    {"jpe", kTypeJpg, TestJpeg, SizeJpegSegments},
    {"jfif", kTypeJpg, TestJpeg, SizeJpegSegments},
    {"png", kTypePng, TestPng, SizePngChunks},
    {"psd", kTypePsd, TestPhotoshop, SizePhotoshopSections},
    {"cr2", kTypeCr2, TestTiffRaw, SizeTiffDirectories},
    {"nef", kTypeNef, TestTiffRaw, SizeTiffDirectories},
    {"arw", kTypeArw, TestTiffRaw, SizeTiffDirectories},
    {"dng", kTypeDng, TestTiffRaw, SizeTiffDirectories},
    {"pef", kTypePef, TestTiffRaw, SizeTiffDirectories},
    {"raf", kTypeRaf, TestFujifilmRaw, SizeFujifilmRaw},
    {"orf", kTypeOrf, TestOlympusRaw, SizeOlympusRaw},
    {"rw2", kTypeRw2, TestPanasonicRaw, SizePanasonicRaw},
    {"tif", kTypeTif, TestTiff, SizeTiffDirectories},
    {"tiff", kTypeTif, TestTiff, SizeTiffDirectories},
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
    {"docx", kTypeDocx, TestOfficePackage, SizeZipEndRecord},
    {"docm", kTypeDocx, TestOfficePackage, SizeZipEndRecord},
    {"dotm", kTypeDocx, TestOfficePackage, SizeZipEndRecord},
    {"dotx", kTypeDocx, TestOfficePackage, SizeZipEndRecord},
    {"xlsx", kTypeXlsx, TestOfficePackage, SizeZipEndRecord},
    {"xlsb", kTypeXlsx, TestOfficePackage, SizeZipEndRecord},
    {"xlsm", kTypeXlsx, TestOfficePackage, SizeZipEndRecord},
    {"xlsx", kTypeXlsx, TestOfficePackage, SizeZipEndRecord},
    {"xlam", kTypeXlsx, TestOfficePackage, SizeZipEndRecord},
    {"xltx", kTypeXlsx, TestOfficePackage, SizeZipEndRecord},
    {"xltm", kTypeXlsx, TestOfficePackage, SizeZipEndRecord},
    {"pptx", kTypePptx, TestOfficePackage, SizeZipEndRecord},
    {"pptm", kTypePptx, TestOfficePackage, SizeZipEndRecord},
    {"potx", kTypePptx, TestOfficePackage, SizeZipEndRecord},
    {"potm", kTypePptx, TestOfficePackage, SizeZipEndRecord},
    {"ppsx", kTypePptx, TestOfficePackage, SizeZipEndRecord},
    {"ppsm", kTypePptx, TestOfficePackage, SizeZipEndRecord},
    {"mso07", kTypeMso07, TestOfficePackage, SizeZipEndRecord},
    {"pdf", kTypePdf, TestPdf, SizePdfLastEof},
    {"gz", kTypeGz, TestGzip, SizeGzipStream},
    {"gzip", kTypeGz, TestGzip, SizeGzipStream},
    {"7z", kType7z, Test7z, nullptr},
    {"zip", kTypeZip, TestZip, SizeZipEndRecord},
    {"rar", kTypeRar, TestRar, nullptr},
    {"cab", kTypeCab, TestCabinet, nullptr},
    {"exe", kTypeExe, TestPeImage, nullptr},
    {"dll", kTypeDll, TestPeImage, nullptr},
    {"sys", kTypeSys, TestPeImage, nullptr},
    {"gho", kTypeGho, TestGhostImage, nullptr},
    {"db", kTypeDb, TestSqlite, SizeSqlitePages},
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
