#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>

#include "AppTestSupport.h"
#include "app/CMessageBox.h"

using namespace salvora;
using app::CMessageBox;

namespace {

// Presses one button of the box while its real modal loop runs.
class PressingAnswerer : public test::RecordingAnswerer {
 public:
  QString button;
  int AnswerModal(ui::CWindowUI& window) override {
    test::RecordingAnswerer::AnswerModal(window);
    if (auto* b = window.Find<QPushButton>(button)) QTest::mouseClick(b, Qt::LeftButton);
    return kRunModalLoop;
  }
};

}  // namespace

TEST(MessageBox, EachKindHasItsSkinAndTitle) {
  test::ScopedModuleFolder module;
  const char* skins[] = {"MessageBox_Error.xml", "MessageBox_Confirm.xml", "MessageBox_Information.xml",
                         "MessageBox_Warning.xml", "MessageBox_Question.xml", "MessageBox_Error.xml"};
  const char* titles[] = {"MSG0401", "MSG0402", "MSG0403", "MSG0405", "MSG0404", "MSG0401"};
  const int kinds[] = {0, 1, 2, 3, 4, 9};
  test::RecordingAnswerer answerer;
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(CMessageBox::Show(nullptr, kinds[i], QStringLiteral("text"), 300, 160), 1);
    ASSERT_EQ(answerer.windows.size(), static_cast<size_t>(i + 1));
    EXPECT_EQ(answerer.windows[i].skin, QString::fromLatin1(skins[i]));
    EXPECT_EQ(answerer.windows[i].title, test::Msg(titles[i]));
    EXPECT_EQ(answerer.windows[i].message, QStringLiteral("text"));
  }
  EXPECT_EQ(CMessageBox::Show(nullptr, 2, QStringLiteral("t"), 300, 160, QStringLiteral("Own title")), 1);
  EXPECT_EQ(answerer.windows.back().title, QStringLiteral("Own title"));
}

TEST(MessageBox, OkIsOneCancelAndCloseAreTwo) {
  test::ScopedModuleFolder module;
  PressingAnswerer answerer;
  answerer.button = QStringLiteral("okbtn");
  EXPECT_EQ(CMessageBox::Show(nullptr, CMessageBox::kQuestion, QStringLiteral("Go on?"), 350, 160), 1);
  answerer.button = QStringLiteral("cancelbtn");
  EXPECT_EQ(CMessageBox::Show(nullptr, CMessageBox::kQuestion, QStringLiteral("Go on?"), 350, 160), 2);
  answerer.button = QStringLiteral("closebtn");
  EXPECT_EQ(CMessageBox::Show(nullptr, CMessageBox::kConfirm, QStringLiteral("Sure?"), 450, 160), 2);
  // The buttons carry the catalogue's texts.
  CMessageBox box(nullptr, CMessageBox::kQuestion, QStringLiteral("x"), QString());
  answerer.button.clear();
  box.ShowWindow(350, 160);
  EXPECT_EQ(box.Find<QPushButton>(QStringLiteral("okbtn"))->text(), QStringLiteral("OK"));
  EXPECT_EQ(box.Find<QPushButton>(QStringLiteral("cancelbtn"))->text(), QStringLiteral("Cancel"));
  box.Close(2);
}
