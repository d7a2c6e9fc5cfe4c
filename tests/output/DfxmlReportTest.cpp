#include "output/DfxmlReport.h"

#include <gtest/gtest.h>

#include "platform/Clock.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

TEST(DfxmlReport, OneFileObjectPerFileWithHostileNamesEscaped) {
  DfxmlReport report("card & co.img", "salvora-cli recover card.img --to out");
  DfxmlReport::FileObject a;
  a.filename = "DCIM/<evil>\"&'\x01\x1b[31m\x07name.jpg";
  a.outputPath = "out/photo/name.jpg";
  a.filesize = 1234;
  a.deleted = true;
  a.writeTime = platform::UnixToFileTime(1700000000);
  a.byteRuns = {{0, 1048576, 1234}};
  a.sha256 = std::string(64, 'a');
  report.Add(a);
  DfxmlReport::FileObject b;
  b.filename = "plain.txt";
  report.Add(b);

  std::string xml = report.ToXml();
  EXPECT_EQ(xml.find("<evil>"), std::string::npos);
  // Controls XML cannot carry are shown as the terminal shows them, not dropped.
  EXPECT_NE(xml.find("DCIM/&lt;evil&gt;&quot;&amp;&apos;\\x01\\x1b[31m\\x07name.jpg"), std::string::npos) << xml;
  EXPECT_NE(xml.find("card &amp; co.img"), std::string::npos);
  EXPECT_NE(xml.find("<mtime>2023-11-14T22:13:20Z</mtime>"), std::string::npos);
  EXPECT_NE(xml.find("img_offset=\"1048576\" len=\"1234\""), std::string::npos);
  EXPECT_NE(xml.find("<alloc>0</alloc>"), std::string::npos);
  size_t count = 0;
  for (size_t p = 0; (p = xml.find("<fileobject>", p)) != std::string::npos; ++p) ++count;
  EXPECT_EQ(count, 2u);

  if (test::HaveTool("python3")) {
    test::TempDir dir;
    ASSERT_EQ(report.WriteTo(dir.File("report.xml")), 0);
    EXPECT_EQ(test::RunCommand("python3 -c \"import sys,xml.dom.minidom as m; d=m.parse(sys.argv[1]); "
                               "sys.exit(0 if len(d.getElementsByTagName('fileobject'))==2 else 1)\" " +
                               dir.File("report.xml")),
              0)
        << "the report is well-formed XML";
  }
}

TEST(DfxmlReport, UnwritableDestinationIsAnError) {
  DfxmlReport report("x", "y");
  EXPECT_NE(report.WriteTo("/nonexistent-dir/report.xml"), 0);
}

}  // namespace
}  // namespace salvora
