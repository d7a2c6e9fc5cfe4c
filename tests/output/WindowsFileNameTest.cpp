#include <gtest/gtest.h>

#include "output/WindowsFileName.h"
#include "platform/TextEncoding.h"

namespace salvora {
namespace {

TEST(WindowsFileName, DeviceNamesGetALeadingUnderscoreWithOrWithoutExtension) {
  EXPECT_EQ(WindowsSafeName("CON"), "_CON");
  EXPECT_EQ(WindowsSafeName("aux.txt"), "_aux.txt");
  EXPECT_EQ(WindowsSafeName("Nul.tar.gz"), "_Nul.tar.gz");
  EXPECT_EQ(WindowsSafeName("com1"), "_com1");
  EXPECT_EQ(WindowsSafeName("LPT9.log"), "_LPT9.log");
  EXPECT_EQ(WindowsSafeName("prn .doc"), "_prn .doc");
  EXPECT_EQ(WindowsSafeName("CONOUT$"), "_CONOUT$");
  // Near misses stay as they are.
  EXPECT_EQ(WindowsSafeName("COM0"), "COM0");
  EXPECT_EQ(WindowsSafeName("console.txt"), "console.txt");
  EXPECT_EQ(WindowsSafeName("aux_notes.txt"), "aux_notes.txt");
  EXPECT_EQ(WindowsSafeName("LPT10"), "LPT10");
}

TEST(WindowsFileName, ForbiddenCharactersAndTrailingDotsAndSpacesBecomeUnderscores) {
  EXPECT_EQ(WindowsSafeName("a<b>c:d\"e|f?g*h.jpg"), "a_b_c_d_e_f_g_h.jpg");
  EXPECT_EQ(WindowsSafeName("tab\there"), "tab_here");
  EXPECT_EQ(WindowsSafeName("notes."), "notes_");
  EXPECT_EQ(WindowsSafeName("end. . "), "end____");
  EXPECT_EQ(WindowsSafeName("..."), "___");
  // A name that became a device name by the change is caught as well.
  EXPECT_EQ(WindowsSafeName("con."), "con_");
  EXPECT_EQ(WindowsSafeName("Ürlaub 2024 — Strand.JPG"), "Ürlaub 2024 — Strand.JPG");
}

TEST(TextEncoding, TruncationByUtf16UnitsKeepsSurrogatePairsWhole) {
  const std::string text = "ab\xC3\xA9\xF0\x9F\x93\xB7z";  // a b é 📷 z: 6 UTF-16 units
  EXPECT_EQ(platform::TruncateUtf8ToUtf16Units(text, 6), text);
  EXPECT_EQ(platform::TruncateUtf8ToUtf16Units(text, 5), "ab\xC3\xA9\xF0\x9F\x93\xB7");
  EXPECT_EQ(platform::TruncateUtf8ToUtf16Units(text, 4), "ab\xC3\xA9");  // half a pair is left out
  EXPECT_EQ(platform::TruncateUtf8ToUtf16Units(text, 0), "");
  EXPECT_EQ(platform::TruncateUtf8ToUtf16Units("x\xC3", 5), "x");  // a cut-off character
}

}  // namespace
}  // namespace salvora
