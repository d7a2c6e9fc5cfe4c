#include "carving/FormatTable.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "carving/SignatureScanner.h"

namespace salvora {
namespace {

TEST(FormatTable, HasItsRowsInOrderAndATerminator) {
  EXPECT_EQ(FormatTable[kFormatRowCount].typeCode, kTypeNone);
  EXPECT_EQ(FormatTable[kFormatRowCount].tester, nullptr);
  std::string order;
  for (size_t i = 0; i < kFormatRowCount; ++i) order += std::string(FormatTable[i].extension) + " ";
  EXPECT_EQ(order,
            "mpeg mpg vob mp4 heic heif avif cr3 m4a m4b rmvb rm wmv asf wma swf avi flv 3gp mkv ts mts "
            "mxf mp3 mid ape flac ogg oga opus wav webp mov mp2 mmf fla gif bmp dib jpg jpeg jpe jfif "
            "png psd cr2 nef arw dng pef raf orf rw2 tif tiff ico doc dot wps wpt xls xlt "
            "xla et ett ppt pot pps dps dpt ole docx docm dotm dotx xlsx xlsb xlsm xlsx xlam xltx "
            "xltm pptx pptm potx potm ppsx ppsm mso07 pdf gz gzip 7z zip rar cab exe dll sys gho db "
            "dbx pst ttf ");
}

TEST(FormatTable, EveryCodeHasACanonicalRowAndSharedTestersAreContiguous) {
  for (TypeCode code = 0; code < kTypeCodeCount; ++code) {
    if (code == kTypeNone) continue;
    const FormatEntry* row = CanonicalRow(code);
    ASSERT_NE(row, nullptr) << code;
    EXPECT_EQ(row->typeCode, code);
  }
  EXPECT_EQ(CanonicalRow(kTypeNone), nullptr);
  EXPECT_STREQ(CanonicalRow(kTypeXls)->extension, "xls");
  EXPECT_STREQ(CanonicalRow(kTypeRmvb)->extension, "rmvb");
  std::set<Tester> finished;
  for (size_t i = 0; i < kFormatRowCount; ++i) {
    ASSERT_NE(FormatTable[i].tester, nullptr);
    if (i > 0 && FormatTable[i].tester != FormatTable[i - 1].tester) finished.insert(FormatTable[i - 1].tester);
    EXPECT_EQ(finished.count(FormatTable[i].tester), 0u) << FormatTable[i].extension;
  }
  // Carvable formats are the media and pictures up to the icon (the first 56 rows), and the
  // archives, office packages, PDF and database files that are carved when their own structure
  // measures them.
  const std::set<TypeCode> measuredByStructure = {kTypeDocx, kTypeXlsx, kTypePptx, kTypeMso07,
                                                  kTypePdf,  kTypeGz,   kTypeZip,  kTypeDb};
  for (size_t i = 0; i < kFormatRowCount; ++i)
    EXPECT_EQ(FormatTable[i].sizeRule != nullptr,
              i < 56 || measuredByStructure.count(FormatTable[i].typeCode) > 0)
        << FormatTable[i].extension;
}

TEST(TypeCodeOf, IgnoresCaseAndAnswersNoneForUnknown) {
  EXPECT_EQ(TypeCodeOf("jpg"), kTypeJpg);
  EXPECT_EQ(TypeCodeOf("JPG"), kTypeJpg);
  EXPECT_EQ(TypeCodeOf("JfIf"), kTypeJpg);
  EXPECT_EQ(TypeCodeOf("xlsx"), kTypeXlsx);
  EXPECT_EQ(TypeCodeOf("mso07"), kTypeMso07);
  EXPECT_EQ(TypeCodeOf("txt"), kTypeNone);
  EXPECT_EQ(TypeCodeOf(""), kTypeNone);
  EXPECT_EQ(TypeCodeOf("jpgx"), kTypeNone);
}

}  // namespace
}  // namespace salvora
