#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

// The GUI tests run on the offscreen platform, with one application object for all of them.
int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
