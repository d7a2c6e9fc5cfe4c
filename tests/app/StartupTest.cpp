#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <regex>

#include "AppTestSupport.h"
#include "app/AppPaths.h"
#include "app/CMessageBox.h"
#include "app/CrashHandler.h"
#include "app/FileIconFor.h"
#include "app/FormatFileTime.h"
#include "app/PlayerRegistry.h"
#include "app/SingleInstanceGuard.h"
#include "app/Startup.h"
#include "platform/Clock.h"
#include "ui/SkinImage.h"

using namespace salvora;

TEST(FormatFileTime, IsPaddedCalendarTimeThatSortsAsText) {
  // 2015-03-07 09:05:00 UTC
  EXPECT_EQ(app::FormatFileTime(platform::UnixToFileTime(1425719100)), "2015-03-07 09:05:00");
  EXPECT_EQ(app::FormatFileTime(platform::UnixToFileTime(1443657599)), "2015-09-30 23:59:59");
  // The date column sorts by its text: September before October.
  EXPECT_LT(app::FormatFileTime(platform::UnixToFileTime(1443657599)),
            app::FormatFileTime(platform::UnixToFileTime(1443657600 + 86400)));
}

TEST(FileIconFor, FollowsTheCategoryOrderWithDocumentsBeforeVideo) {
  EXPECT_EQ(app::FileIconFor("folder", false), "folder.png");
  EXPECT_EQ(app::FileIconFor("EXE", true), "exe.png");
  EXPECT_EQ(app::FileIconFor("exe", false), "exe_error.png");
  EXPECT_EQ(app::FileIconFor("JPG", true), "image.png");
  EXPECT_EQ(app::FileIconFor("jpg", false), "image_error.png");
  EXPECT_EQ(app::FileIconFor("ra", true), "image.png");  // inside the photo list's raf
  EXPECT_EQ(app::FileIconFor("mp3", true), "music.png");
  EXPECT_EQ(app::FileIconFor("pdf", true), "doc.png");
  EXPECT_EQ(app::FileIconFor("mp4", true), "video.png");
  EXPECT_EQ(app::FileIconFor("7z", false), "zip_error.png");
  EXPECT_EQ(app::FileIconFor("qqq", true), "default.png");
  EXPECT_EQ(app::FileIconFor("", true), "default.png");
  for (const char* ext : {"folder", "exe", "jpg", "mp3", "pdf", "mp4", "zip", "qqq"}) {
    for (bool good : {true, false}) {
      const QString icon = QStringLiteral("FileIcon/") + QString::fromStdString(app::FileIconFor(ext, good));
      EXPECT_TRUE(QFile::exists(ui::SkinImagePath(icon))) << icon.toStdString();
    }
  }
}

TEST(CrashHandler, WritesATimeNamedDumpWithTheSignalAndEnds) {
  test::TempDir dir;
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::chdir(dir.path().c_str()) != 0) ::_exit(3);
    app::InstallCrashHandler();
    ::raise(SIGSEGV);
    ::_exit(4);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(WTERMSIG(status), SIGSEGV);
  const std::regex name(R"(\d{4}-\d{2}-\d{2}-\d{2}-\d{2}-\d{2}-\d{2,3}\.dmp)");
  int dumps = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    const std::string file = entry.path().filename().string();
    if (!std::regex_match(file, name)) continue;
    ++dumps;
    std::ifstream in(entry.path());
    std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(text.find("signal 11"), std::string::npos) << text;
  }
  EXPECT_EQ(dumps, 1);
  EXPECT_EQ(app::CrashDumpName(2015, 3, 7, 9, 5, 0, 7), "2015-03-07-09-05-00-07.dmp");
}

TEST(SingleInstance, SecondGuardIsRefusedUntilTheFirstEnds) {
  test::TempDir dir;
  auto first = std::make_unique<app::SingleInstanceGuard>(QStringLiteral("SalvoraTestGuard"), QString::fromStdString(dir.path()));
  ASSERT_TRUE(first->Acquire());
  app::SingleInstanceGuard second(QStringLiteral("SalvoraTestGuard"), QString::fromStdString(dir.path()));
  EXPECT_FALSE(second.Acquire());
  first.reset();
  EXPECT_TRUE(second.Acquire());
}

TEST(SingleInstance, UnreachableRunningInstanceIsReportedAsRunning) {
  if (!test::HaveTool("flock")) GTEST_SKIP() << "flock not installed";
  test::TempDir dir;
  app::SingleInstanceGuard guard(QStringLiteral("SalvoraTestHeld"), QString::fromStdString(dir.path()));
  // Another process holds the lock but answers no one (its window cannot be found).
  QProcess holder;
  holder.start(QStringLiteral("flock"), {guard.LockPath(), QStringLiteral("sleep"), QStringLiteral("30")});
  ASSERT_TRUE(holder.waitForStarted());
  bool held = false;
  for (int i = 0; i < 200 && !held; ++i) {
    QTest::qWait(10);
    app::SingleInstanceGuard probe(QStringLiteral("SalvoraTestHeld"), QString::fromStdString(dir.path()));
    held = !probe.Acquire();
  }
  ASSERT_TRUE(held);
  test::RecordingAnswerer answerer;
  ASSERT_FALSE(guard.Acquire());
  app::HandleSecondStart(guard);
  ASSERT_EQ(answerer.windows.size(), 1u);
  EXPECT_EQ(answerer.windows[0].skin, QStringLiteral("MessageBox_Information.xml"));
  EXPECT_EQ(answerer.windows[0].message, QStringLiteral("Salvora is running."));
  EXPECT_EQ(answerer.windows[0].width, 350);
  EXPECT_EQ(answerer.windows[0].height, 150);
  holder.kill();
  holder.waitForFinished();
}

TEST(SingleInstance, SecondStartOfTheProgramShowsTheRunningWindowAndExits) {
  test::TempDir dir;
  // This test plays the running program: it holds the instance lock in the temp folder that the
  // started program will use.
  qputenv("TMPDIR", QByteArray::fromStdString(dir.path()));
  app::SingleInstanceGuard running;
  const bool acquired = running.Acquire();
  qunsetenv("TMPDIR");
  ASSERT_TRUE(acquired);
  int asked = 0;
  running.SetActivateHandler([&asked] { ++asked; return true; });
  QProcess second;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("TMPDIR"), QString::fromStdString(dir.path()));
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  second.setProcessEnvironment(env);
  second.start(QStringLiteral(SALVORA_GUI_PATH), {});
  ASSERT_TRUE(second.waitForStarted());
  for (int i = 0; i < 1000 && second.state() != QProcess::NotRunning; ++i) QTest::qWait(10);
  if (second.state() != QProcess::NotRunning) {
    second.kill();
    second.waitForFinished();
    FAIL() << "the second start did not end";
  }
  EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second.exitCode(), 0);
  EXPECT_EQ(asked, 1);
}

TEST(Shutdown, EndsOnlyOwnPlayersAndRemovesTheTemporaryVideo) {
  test::ScopedDataDir data;
  std::filesystem::create_directories(app::ScanLogFolder());
  std::ofstream(app::ScanLogFolder() + "/tmp.avi") << "x";
  QProcess ours, theirs;
  ours.start(QStringLiteral("sleep"), {QStringLiteral("30")});
  theirs.start(QStringLiteral("sleep"), {QStringLiteral("30")});
  ASSERT_TRUE(ours.waitForStarted());
  ASSERT_TRUE(theirs.waitForStarted());
  app::PlayerRegistry::Register(&ours);
  app::CleanUpAtExit();
  EXPECT_EQ(ours.state(), QProcess::NotRunning);
  EXPECT_EQ(theirs.state(), QProcess::Running);
  EXPECT_FALSE(std::filesystem::exists(app::ScanLogFolder() + "/tmp.avi"));
  app::CleanUpAtExit();  // nothing left to delete: harmless
  theirs.kill();
  theirs.waitForFinished();
}

TEST(Startup, PictureFormatsOfThePreviewDecode) { EXPECT_TRUE(app::PictureFormatsAvailable()); }
