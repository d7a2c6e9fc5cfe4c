#include <gtest/gtest.h>

#include <QImage>
#include <QProcess>
#include <QPointer>
#include <QScreen>
#include <QStackedWidget>
#include <QTest>
#include <QTextDocument>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>

#include "AppTestSupport.h"
#include "app/CFoundFileBrowser.h"
#include "app/CMainWnd.h"
#include "app/CPlayerLauncher.h"
#include "app/CPlayerPane.h"
#include "app/CPreviewWnd.h"
#include "app/LanguageCatalog.h"
#include "ui/CDiskListUI.h"
#include "ui/CListExUI.h"
#include "ui/CRichEditUI.h"

using namespace salvora;
using app::CMainWnd;
using test::Msg;

namespace {

// Writes what a real engine would: a decodable JPEG for "*.jpg", junk for "bad.jpg", and some
// bytes for audio and video, all into the folder the test names.
class PreviewEngine : public IFileRecoveryParse {
 public:
  explicit PreviewEngine(std::string folder) : folder_(std::move(folder)) {}
  int OpenImageFile(const std::string&, char16_t) override { return 0; }
  int OpenDiskPartition(int, uint64_t, uint64_t, char16_t) override { return 0; }
  int SetScanCallbacks(ScanProgressCallback, RecoveryProgressCallback, void*, int) override { return 0; }
  int Scan(const char*) override { return 0; }
  int ListChildren(const FoundFileRecord*, int, std::vector<FoundFileRecord>&) override { return 0; }
  int CountFiles(const FoundFileRecord*, int, int& count) override { count = 0; return 0; }
  uint64_t GetFoundCount() override { return 0; }
  int GetFullPath(const FoundFileRecord*, std::string& path, int) override { path.clear(); return 0; }
  int RecoverFile(const FoundFileRecord* record, const std::string& destination, int) override {
    recovered.push_back(destination);
    std::ofstream(destination) << record->Name();
    return 0;
  }
  int NextUnusedRange(uint64_t&, uint64_t&) override { return 1; }
  int SetSearchCallback(SearchProgressCallback, void*) override { return 0; }
  int SearchByExtension(const std::string&, std::vector<FoundFileRecord>&) override { return 0; }
  int BuildUsageBitmap() override { return 87; }
  int ReadForPreview(const FoundFileRecord* record, std::string& tempPath, uint8_t*, int& size,
                     PreviewProgressCallback callback, void* user) override {
    const std::string name(record->Name());
    reads.push_back(name);
    if (beforeWrite) beforeWrite(name);
    size = 0;
    const bool picture = name.size() > 4 && name.substr(name.size() - 4) == ".jpg";
    tempPath = folder_ + (picture ? "/tmp.jpg" : "/tmp.avi");
    if (name == "bad.jpg") {
      std::ofstream(tempPath) << "not a picture";
    } else if (!media.empty() && !picture) {
      std::filesystem::copy_file(media, tempPath, std::filesystem::copy_options::overwrite_existing);
    } else if (picture) {
      QImage image(40 + int(reads.size()), 30, QImage::Format_RGB32);
      image.fill(Qt::red);
      image.save(QString::fromStdString(tempPath), "JPG");
    } else {
      std::ofstream(tempPath) << "RIFF....AVI ";
    }
    if (callback) callback(user, 100, 0);
    return 0;
  }

  std::vector<std::string> reads;
  std::vector<std::string> recovered;
  std::function<void(const std::string&)> beforeWrite;
  std::string media;  // a real clip handed out for audio and video

 private:
  std::string folder_;
};

// Progress windows run their loop; the viewer is handed to the test while it is open.
class PreviewAnswerer : public test::RecordingAnswerer {
 public:
  int AnswerModal(ui::CWindowUI& window) override {
    if (window.SkinName() == u"PreviewProcessWnd.xml") {
      progressSizes.push_back({window.width(), window.height()});
      return ui::IModalAnswerer::kRunModalLoop;
    }
    if (window.SkinName() == u"PreviewWnd.xml") {
      ++viewers;
      if (inViewer) inViewer(static_cast<app::CPreviewWnd&>(window));
      return 2;
    }
    return RecordingAnswerer::AnswerModal(window);
  }
  std::vector<std::pair<int, int>> progressSizes;
  int viewers = 0;
  std::function<void(app::CPreviewWnd&)> inViewer;
};

FoundFileRecord Record(const char* name, bool folder = false) {
  FoundFileRecord r{};
  r.SetDriveLetter(u'E');
  r.SetName(name);
  r.SetFolder(folder);
  return r;
}

class PreviewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    entries = {test::Volume(0, u'E', 2048, "FAT32", "CARD", 64ull << 20, 1ull << 20)};
  }
  void TearDown() override { app::CPlayerLauncher::EndAll(); }

  std::unique_ptr<CMainWnd> Open(const std::vector<FoundFileRecord>& records) {
    auto w = std::make_unique<CMainWnd>(std::make_unique<test::FakeDiskSource>(&entries, &removable));
    w->ShowWindow(800, 500);
    test::Settle();
    auto owned = std::make_unique<PreviewEngine>(dir.path());
    engine = owned.get();
    w->RowOf(w->DiskList()->topLevelItem(0)->child(0))->engine = std::move(owned);
    w->SetPlayerFolder(QString::fromStdString(dir.path()));
    w->FoundRecords() = records;
    auto* list = FileList(*w);
    for (size_t i = 0; i < records.size(); ++i) list->AddRow({QString::fromStdString(std::string(records[i].Name()))}, false, {}, i);
    return w;
  }
  // The recover page, where the preview pane is.
  static void ShowPane(CMainWnd& w) {
    w.Find<QStackedWidget>(QStringLiteral("TabPage"))->setCurrentIndex(CMainWnd::kRecoverPage);
    test::Settle();
  }
  static ui::CListExUI* FileList(const CMainWnd& w) { return w.Find<ui::CListExUI>(QStringLiteral("FileList")); }
  static ui::CRichEditUI* Pane(const ui::CWindowUI& w) { return w.Find<ui::CRichEditUI>(QStringLiteral("PreviewEdit")); }
  static void Select(CMainWnd& w, int row) {
    FileList(w)->setCurrentItem(FileList(w)->Row(row));
    test::Settle();
  }
  // A stand-in player: records its arguments and pid, then prints what it is told to.
  void WritePlayer(const char* name, const std::string& body) {
    const std::string path = dir.path() + "/" + name;
    std::ofstream(path) << "#!/bin/sh\necho \"$$ $*\" >> " << dir.path() << "/" << name << ".log\n" << body << "\n";
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
  }
  std::vector<std::string> PlayerLog(const char* name) const {
    std::vector<std::string> lines;
    std::ifstream in(dir.path() + "/" + name + ".log");
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  test::ScopedModuleFolder module;
  test::ScopedDataDir dataDir;
  test::TempDir dir;
  PreviewAnswerer answerer;
  std::vector<app::DiskSourceEntry> entries;
  std::vector<uint32_t> removable;
  PreviewEngine* engine = nullptr;
};

TEST_F(PreviewTest, PictureRowShowsThePictureAndFolderRowTheFolderText) {
  auto w = Open({Record("DCIM", true), Record("a.jpg")});
  Select(*w, 1);
  ASSERT_EQ(engine->reads, std::vector<std::string>{"a.jpg"});
  ASSERT_EQ(answerer.progressSizes.size(), 1u);
  EXPECT_EQ(answerer.progressSizes[0], std::make_pair(370, 220));
  EXPECT_TRUE(Pane(*w)->toHtml().contains(QStringLiteral("<img"))) << Pane(*w)->toHtml().toStdString();
  EXPECT_TRUE(Pane(*w)->toPlainText().contains(Msg("MSG0905")));
  Select(*w, 0);
  EXPECT_EQ(engine->reads.size(), 1u) << "a folder is not read";
  EXPECT_EQ(Pane(*w)->toPlainText().trimmed(), Msg("MSG0904"));
}

TEST_F(PreviewTest, ViewerPagesThroughThePicturesWrappingAtTheEnds) {
  auto w = Open({Record("a.jpg"), Record("song.mp3"), Record("DCIM", true), Record("b.jpg"), Record("c.jpg")});
  Select(*w, 4);
  std::vector<std::string> shown;
  answerer.inViewer = [&](app::CPreviewWnd& viewer) {
    EXPECT_TRUE(Pane(viewer)->toHtml().contains(QStringLiteral("<img")));
    // The skin's placeholder texts are replaced by the language file's.
    const auto section = app::LanguageCatalog::Instance().Section("PreviewWnd");
    for (const char* name : {"title", "RecoveryBtn", "CancelBtn"}) {
      EXPECT_EQ(test::Text(viewer, name), QString::fromStdString(section.at(name))) << name;
    }
    test::Click(viewer, "NextBtn");
    test::Settle();
    shown.emplace_back(viewer.Record().Name());
    EXPECT_TRUE(Pane(viewer)->toHtml().contains(QStringLiteral("<img")));
    test::Click(viewer, "PrevBtn");
    test::Settle();
    shown.emplace_back(viewer.Record().Name());
    test::Click(viewer, "PrevBtn");
    test::Settle();
    shown.emplace_back(viewer.Record().Name());
  };
  w->SendNotify(QStringLiteral("itemactivate"), FileList(*w));
  test::Settle();
  EXPECT_EQ(answerer.viewers, 1);
  EXPECT_EQ(shown, (std::vector<std::string>{"a.jpg", "c.jpg", "b.jpg"}));
  // Paging from the viewer opens the progress window at its smaller height.
  ASSERT_EQ(answerer.progressSizes.size(), 4u);
  EXPECT_EQ(answerer.progressSizes[1], std::make_pair(370, 200));
}

TEST_F(PreviewTest, OnlyPictureOfTheListLeavesTheViewerUnchanged) {
  auto w = Open({Record("a.jpg"), Record("notes.txt")});
  Select(*w, 0);
  answerer.inViewer = [&](app::CPreviewWnd& viewer) {
    test::Click(viewer, "NextBtn");
    test::Settle();
    EXPECT_EQ(viewer.Record().Name(), "a.jpg");
  };
  w->SendNotify(QStringLiteral("itemactivate"), FileList(*w));
  test::Settle();
  EXPECT_EQ(answerer.viewers, 1);
  EXPECT_EQ(engine->reads.size(), 1u);
}

TEST_F(PreviewTest, UndrawablePictureShowsTheCannotPreviewText) {
  auto w = Open({Record("bad.jpg")});
  Select(*w, 0);
  QString text;
  answerer.inViewer = [&](app::CPreviewWnd& viewer) { text = Pane(viewer)->toPlainText(); };
  w->SendNotify(QStringLiteral("itemactivate"), FileList(*w));
  test::Settle();
  EXPECT_EQ(text, QStringLiteral("\nCan not preview the picture!"));
}

TEST_F(PreviewTest, RecoveryButtonRecoversTheRecordOnShow) {
  auto w = Open({Record("a.jpg")});
  Select(*w, 0);
  const std::string out = dir.path() + "/out";
  std::filesystem::create_directories(out);
  answerer.folders = {QString::fromStdString(out + "/")};
  answerer.progressAnswer = [](ui::CWindowUI& window) {
    EXPECT_EQ(window.SkinName(), QStringLiteral("RecoverProcessWnd.xml"));
    EXPECT_TRUE(test::WaitUntil([&] { return test::Shown(window, "FinishBtn"); }));
    return 1;
  };
  answerer.inViewer = [&](app::CPreviewWnd& viewer) { test::Click(viewer, "RecoveryBtn"); };
  w->SendNotify(QStringLiteral("itemactivate"), FileList(*w));
  test::Settle();
  ASSERT_EQ(engine->recovered.size(), 1u);
  EXPECT_EQ(std::filesystem::path(engine->recovered[0]).filename(), "a.jpg");
  EXPECT_EQ(std::filesystem::path(engine->recovered[0]).parent_path().parent_path(), out);
}

TEST_F(PreviewTest, SecondVideoEndsTheFirstPlayerBeforeItsFileIsWritten) {
  WritePlayer("Player", "echo 'A:   0.1 V:   0.1 A-V:  0.000 ct:  0.000   1/  1 ??% ??% ??,?% 0 0'\nexec sleep 30");
  auto w = Open({Record("one.avi"), Record("two.mp4")});
  Select(*w, 0);
  QTRY_COMPARE_WITH_TIMEOUT(PlayerLog("Player").size(), size_t(1), 5000);
  const pid_t first = std::stoi(PlayerLog("Player")[0]);
  bool firstRunning = true;
  engine->beforeWrite = [&](const std::string&) { firstRunning = ::kill(first, 0) == 0; };
  Select(*w, 1);
  EXPECT_FALSE(firstRunning);
  QTRY_COMPARE_WITH_TIMEOUT(PlayerLog("Player").size(), size_t(2), 5000);
  // The player gets the fixed command line with the temporary file last.
  const std::string line = PlayerLog("Player")[1];
  EXPECT_NE(line.find("-aspect 16:9 -vo direct3d -lavdopts threads=4 -geometry 845:260 -x 326 -y 189 " + dir.path() +
                      "/tmp.avi"),
            std::string::npos)
      << line;
  test::Settle();
  EXPECT_TRUE(answerer.windows.empty()) << "a playing player needs no message";
}

TEST_F(PreviewTest, PlayerThatFailsLeadsToTheMessageWhateverItPrints) {
  // What mplayer prints without a sound device: a status line with '%', then a failure exit.
  WritePlayer("Player1", "echo 'AO: [alsa] cannot open audio device 0% 0%'\nexit 1");
  auto w = Open({Record("song.mp3")});
  Select(*w, 0);
  QTRY_COMPARE_WITH_TIMEOUT(answerer.windows.size(), size_t(1), 5000);
  EXPECT_EQ(answerer.windows[0].message, Msg("MSG1207"));
  EXPECT_EQ(answerer.windows[0].width, 330);
  EXPECT_EQ(answerer.windows[0].height, 150);
  ASSERT_EQ(PlayerLog("Player1").size(), 1u);
  EXPECT_NE(PlayerLog("Player1")[0].find(" " + dir.path() + "/tmp.avi"), std::string::npos);
}

TEST_F(PreviewTest, PlayerThatEndsWellSilentlyNeedsNoMessage) {
  WritePlayer("Player1", "exit 0");
  auto w = Open({Record("song.mp3")});
  Select(*w, 0);
  QTRY_COMPARE_WITH_TIMEOUT(PlayerLog("Player1").size(), size_t(1), 5000);
  QTest::qWait(300);
  EXPECT_TRUE(answerer.windows.empty());
}

TEST_F(PreviewTest, MissingPlayerLeadsToTheMessage) {
  auto w = Open({Record("clip.avi")});
  Select(*w, 0);
  QTRY_COMPARE_WITH_TIMEOUT(answerer.windows.size(), size_t(1), 5000);
  EXPECT_EQ(answerer.windows[0].message, Msg("MSG1207"));
}

// A stand-in for mplayer's slave mode: names a 4:3 picture, then logs every command it reads.
constexpr const char* kSlavePlayer =
    "printf 'ID_VIDEO_WIDTH=320\nID_VIDEO_HEIGHT=240\nA: 0.1 status line\r'\n"
    "while read -r line; do echo \"$line\" >> \"$0.in.log\"; [ \"$line\" = quit ] && exit 0; done";

TEST_F(PreviewTest, EmbeddedVideoDrawsInThePaneAndObeysItsButtons) {
  WritePlayer("Player", kSlavePlayer);
  auto w = Open({Record("clip.avi"), Record("a.jpg")});
  w->SetPlayersEmbedded(true);
  ShowPane(*w);
  Select(*w, 0);
  QTRY_COMPARE_WITH_TIMEOUT(PlayerLog("Player").size(), size_t(1), 5000);
  auto* video = w->FindControl(QStringLiteral("PlayerVideo"));
  const std::string line = PlayerLog("Player")[0];
  // The player draws into the pane's own child window, with the file last.
  EXPECT_NE(line.find("-slave"), std::string::npos) << line;
  EXPECT_NE(line.find("-wid " + std::to_string(video->winId()) + " " + dir.path() + "/tmp.avi"), std::string::npos) << line;
  EXPECT_TRUE(test::Shown(*w, "PlayerVideo"));
  // The picture keeps the 4:3 the player reported.
  QTRY_VERIFY_WITH_TIMEOUT(video->height() > 0 && std::abs(video->width() * 3 - video->height() * 4) <= 4, 5000);
  EXPECT_GE(video->width(), 150) << "fills the pane's width";

  const auto commands = [&] { return PlayerLog("Player.in"); };
  test::Click(*w, "PauseBtn");
  QTRY_COMPARE_WITH_TIMEOUT(commands(), std::vector<std::string>{"pause"}, 5000);
  EXPECT_FALSE(test::Shown(*w, "PauseBtn"));
  test::Click(*w, "PlayBtn");
  QTRY_COMPARE_WITH_TIMEOUT(commands(), (std::vector<std::string>{"pause", "pause"}), 5000);
  test::Click(*w, "StopBtn");
  EXPECT_EQ(commands(), (std::vector<std::string>{"pause", "pause", "quit"}));
  EXPECT_EQ(w->PlayerPane()->Launcher(), nullptr);
  EXPECT_FALSE(w->FindControl(QStringLiteral("StopBtn"))->isEnabled());
  // Play after Stop starts the file again.
  test::Click(*w, "PlayBtn");
  QTRY_COMPARE_WITH_TIMEOUT(PlayerLog("Player").size(), size_t(2), 5000);
  // A picture row ends the player and gives the pane back to the picture.
  const pid_t second = std::stoi(PlayerLog("Player")[1]);
  Select(*w, 1);
  EXPECT_NE(::kill(second, 0), 0) << "the player still runs";
  EXPECT_FALSE(test::Shown(*w, "PlayerBox"));
  EXPECT_TRUE(Pane(*w)->toHtml().contains(QStringLiteral("<img")));
  test::Settle();
  EXPECT_TRUE(answerer.windows.empty()) << "players ended by the program need no message";
}

TEST_F(PreviewTest, EmbeddedAudioShowsNoPictureAndAFailingPlayerStillSaysSo) {
  WritePlayer("Player1", "echo 'AO: [alsa] cannot open audio device 0% 0%'\nexit 1");
  auto w = Open({Record("song.mp3")});
  w->SetPlayersEmbedded(true);
  ShowPane(*w);
  Select(*w, 0);
  QTRY_COMPARE_WITH_TIMEOUT(answerer.windows.size(), size_t(1), 5000);
  EXPECT_EQ(answerer.windows[0].message, Msg("MSG1207"));
  const std::string line = PlayerLog("Player1").at(0);
  EXPECT_EQ(line.find("-wid"), std::string::npos) << line;
  EXPECT_TRUE(test::Shown(*w, "PlayerBox"));
  EXPECT_FALSE(test::Shown(*w, "PlayerVideo"));
  // Ended: Play offers the file again, Stop has nothing to stop.
  EXPECT_TRUE(test::Shown(*w, "PlayBtn"));
  EXPECT_FALSE(w->FindControl(QStringLiteral("StopBtn"))->isEnabled());
}

// A sound playing in the pane belongs to its row: once the list is listed afresh (another
// node, view or filter) or the page is left, the player ends and its Play/Stop bar goes.
TEST_F(PreviewTest, LeavingASoundFileEndsItsPlayerAndHidesItsBar) {
  WritePlayer("Player1", "while read -r line; do [ \"$line\" = quit ] && exit 0; done");
  auto w = Open({Record("song.mp3")});
  w->SetPlayersEmbedded(true);
  ShowPane(*w);
  Select(*w, 0);
  QTRY_COMPARE_WITH_TIMEOUT(PlayerLog("Player1").size(), size_t(1), 5000);
  ASSERT_TRUE(test::Shown(*w, "PlayerBox"));
  const pid_t player = std::stoi(PlayerLog("Player1")[0]);
  w->Browser()->ListNode(nullptr);  // what choosing another node does to the list
  test::Settle();
  EXPECT_FALSE(test::Shown(*w, "PlayerBox"));
  QTRY_VERIFY_WITH_TIMEOUT(::kill(player, 0) != 0, 5000);
  EXPECT_TRUE(answerer.windows.empty());
}

// mplayer without a sound device plays on in silence and ends well; the user is told why
// nothing is heard.
TEST_F(PreviewTest, ASoundWithoutASoundDeviceSaysSo) {
  WritePlayer("Player1",
              "echo '[AO SDL] Unable to open audio: No available audio device'\n"
              "echo 'Could not open/initialize audio device -> no sound.'\necho 'Audio: no sound'\nsleep 0.2\nexit 0");
  auto w = Open({Record("song.mp3")});
  Select(*w, 0);
  QTRY_COMPARE_WITH_TIMEOUT(answerer.windows.size(), size_t(1), 5000);
  EXPECT_EQ(answerer.windows[0].message, Msg("MSG1223"));
  test::Settle();
  QTest::qWait(300);
  EXPECT_EQ(answerer.windows.size(), 1u) << "said once, and the ending is no failure";
}

// The shipped video launcher and the real mplayer, drawing into the pane under an X server
// (ctest runs this under xvfb-run; elsewhere it is skipped).
TEST_F(PreviewTest, RealPlayerOnX11PlaysInThePanePausesAndStops) {
  if (!app::CPlayerPane::EmbeddingPossible()) GTEST_SKIP() << "needs the xcb platform";
  if (test::RunCommand("command -v mplayer >/dev/null && command -v ffmpeg >/dev/null") != 0) {
    GTEST_SKIP() << "needs mplayer and ffmpeg";
  }
  const std::string clip = dir.path() + "/clip.avi";
  ASSERT_EQ(test::RunCommand("ffmpeg -loglevel error -f lavfi -i color=c=red:size=320x180:rate=10,"
                              "drawbox=x=240:y=0:w=80:h=180:color=blue:t=fill -t 2 -c:v mpeg4 " + clip), 0);
  auto w = Open({Record("clip.avi")});
  w->SetPlayerFolder(QString::fromLatin1(SALVORA_LANGUAGE_SOURCE) + QStringLiteral("/../players"));
  engine->media = clip;
  ShowPane(*w);
  Select(*w, 0);
  app::CPlayerPane* pane = w->PlayerPane();
  ASSERT_NE(pane->Launcher(), nullptr);
  QTRY_VERIFY_WITH_TIMEOUT(std::abs(pane->Aspect() - 16.0 / 9.0) < 0.01, 10000);
  auto* video = w->FindControl(QStringLiteral("PlayerVideo"));
  QTRY_VERIFY_WITH_TIMEOUT(std::abs(video->width() * 9 - video->height() * 16) <= 16, 5000);
  // The card (red, its last quarter blue) reaches our own window, scaled to fill it: the player
  // draws there, not in a window of its own, and not cut or shrunk from the clip's picture.
  const auto at = [&](double share) {
    const QImage shot = video->screen()->grabWindow(video->winId()).toImage();
    if (shot.width() < 20) return QColor();
    return QColor(shot.pixel(static_cast<int>(shot.width() * share), shot.height() / 2));
  };
  const auto red = [](const QColor& c) { return c.red() > 150 && c.blue() < 100; };
  const auto blue = [](const QColor& c) { return c.blue() > 150 && c.red() < 100; };
  QTRY_VERIFY_WITH_TIMEOUT(red(at(0.02)), 10000);
  EXPECT_TRUE(red(at(0.70))) << at(0.70).name().toStdString();
  EXPECT_TRUE(blue(at(0.80)) && blue(at(0.98))) << at(0.80).name().toStdString() << " " << at(0.98).name().toStdString();

  // Paused, the two-second clip outlives its length; resumed and stopped, the player is gone.
  test::Click(*w, "PauseBtn");
  QPointer<QProcess> process = pane->Launcher()->Process();
  QTest::qWait(3000);
  ASSERT_TRUE(process && process->state() == QProcess::Running) << "the pause did not reach the player";
  test::Click(*w, "PlayBtn");
  test::Click(*w, "StopBtn");
  QTRY_VERIFY_WITH_TIMEOUT(!process || process->state() == QProcess::NotRunning, 5000);
  test::Settle();
  EXPECT_TRUE(answerer.windows.empty());
}

// The shipped launchers hand mplayer the file with options it understands.
TEST(PlayerLaunchers, MapTheCommandLineOntoMplayer) {
  test::TempDir bin;
  const std::string fake = bin.path() + "/mplayer";
  std::ofstream(fake) << "#!/bin/sh\necho \"$*\"\n";
  std::filesystem::permissions(fake, std::filesystem::perms::owner_all);
  const std::string players = std::string(SALVORA_LANGUAGE_SOURCE) + "/../players/";
  std::string out;
  ASSERT_EQ(test::RunCommand("PATH=" + bin.path() + ":/usr/bin:/bin " + players +
                                 "Player -aspect 16:9 -vo direct3d -lavdopts threads=4 -geometry 845:260 -x 326 -y 189 '/t/a b.avi'",
                             &out),
            0);
  EXPECT_EQ(out, "-noconsolecontrols -aspect 16:9 -vo xv,gl,x11, -lavdopts threads=4 -geometry 845:260 -x 326 -y 189 /t/a b.avi\n");
  out.clear();
  ASSERT_EQ(test::RunCommand("PATH=" + bin.path() + ":/usr/bin:/bin " + players + "Player1 /t/song.mp3", &out), 0);
  EXPECT_EQ(out, "-noconsolecontrols -novideo /t/song.mp3\n");
}

}  // namespace
