#pragma once

// The format a sector was recognised as. Codes 0 to 48 and 50 to 65 name formats; kTypeNone means
// no format and also ends the format table. The later codes were added after 49 had come to mean
// "none" in saved scans, so they continue above it.
namespace salvora {

using TypeCode = int;

inline constexpr TypeCode kTypeDoc = 0;
inline constexpr TypeCode kTypeDocx = 1;
inline constexpr TypeCode kTypeOle = 2;
inline constexpr TypeCode kTypeXls = 3;
inline constexpr TypeCode kTypeXlsx = 4;
inline constexpr TypeCode kTypePpt = 5;
inline constexpr TypeCode kTypePptx = 6;
inline constexpr TypeCode kTypeMso07 = 7;
inline constexpr TypeCode kTypePdf = 8;
inline constexpr TypeCode kTypeGho = 9;
inline constexpr TypeCode kTypeJpg = 10;
inline constexpr TypeCode kTypeMp2 = 11;
inline constexpr TypeCode kTypeMp3 = 12;
inline constexpr TypeCode kTypeMid = 13;
inline constexpr TypeCode kTypeMmf = 14;
inline constexpr TypeCode kTypeMpeg = 15;
inline constexpr TypeCode kType3gp = 16;
inline constexpr TypeCode kTypeMov = 17;
inline constexpr TypeCode kTypeMp4 = 18;
inline constexpr TypeCode kTypeMkv = 19;
inline constexpr TypeCode kTypeTs = 20;
inline constexpr TypeCode kTypeWav = 21;
inline constexpr TypeCode kTypeAvi = 22;
inline constexpr TypeCode kTypeRmvb = 23;
inline constexpr TypeCode kTypeWmv = 24;
inline constexpr TypeCode kTypeApe = 25;
inline constexpr TypeCode kTypeSwf = 26;
inline constexpr TypeCode kTypeFlv = 27;
inline constexpr TypeCode kTypePsd = 28;
inline constexpr TypeCode kTypeBmp = 29;
inline constexpr TypeCode kTypePng = 30;
inline constexpr TypeCode kTypeGif = 31;
inline constexpr TypeCode kTypeTif = 32;
inline constexpr TypeCode kTypeCab = 33;
inline constexpr TypeCode kType7z = 34;
inline constexpr TypeCode kTypeZip = 35;
inline constexpr TypeCode kTypeGz = 36;
inline constexpr TypeCode kTypeRar = 37;
inline constexpr TypeCode kTypePst = 38;
inline constexpr TypeCode kTypeDb = 39;
inline constexpr TypeCode kTypeDbx = 40;
inline constexpr TypeCode kTypeExe = 41;
inline constexpr TypeCode kTypeDll = 42;
inline constexpr TypeCode kTypeSys = 43;
inline constexpr TypeCode kTypeFla = 44;
inline constexpr TypeCode kTypeTtf = 45;
inline constexpr TypeCode kTypeIco = 46;
inline constexpr TypeCode kTypeMts = 47;
inline constexpr TypeCode kTypeMxf = 48;
inline constexpr TypeCode kTypeNone = 49;
inline constexpr TypeCode kTypeHeic = 50;
inline constexpr TypeCode kTypeAvif = 51;
inline constexpr TypeCode kTypeCr3 = 52;
inline constexpr TypeCode kTypeRaf = 53;
inline constexpr TypeCode kTypeOrf = 54;
inline constexpr TypeCode kTypeRw2 = 55;
inline constexpr TypeCode kTypeCr2 = 56;
inline constexpr TypeCode kTypeNef = 57;
inline constexpr TypeCode kTypeArw = 58;
inline constexpr TypeCode kTypeDng = 59;
inline constexpr TypeCode kTypePef = 60;
inline constexpr TypeCode kTypeWebp = 61;
inline constexpr TypeCode kTypeFlac = 62;
inline constexpr TypeCode kTypeOgg = 63;
inline constexpr TypeCode kTypeOpus = 64;
inline constexpr TypeCode kTypeM4a = 65;
// One past the highest code: the size of a table indexed by code (kTypeNone's slot stays empty).
inline constexpr int kTypeCodeCount = 66;

}  // namespace salvora
