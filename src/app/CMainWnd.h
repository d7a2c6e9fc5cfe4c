#pragma once

#include <QString>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/CRecoverProcessWnd.h"
#include "app/DiskRow.h"
#include "app/DiskSource.h"
#include "app/IScanRunner.h"
#include "scan/FoundFileRecord.h"
#include "ui/CWindowUI.h"

class QCheckBox;
class QTreeWidgetItem;

namespace salvora::ui {
class CDiskListUI;
}

namespace salvora::app {

class CDeviceMonitor;
class CFindBar;
class CFolderView;
class CThumbnailGrid;
class CFoundFileBrowser;
class CVolumeSpaceCounter;
class CPlayerLauncher;
class CPlayerPane;
class CPreviewWnd;

// The program's one top-level window: the start page (recovery or image mode), the scan page
// with the disk list, the file-type page and the recover page.
class CMainWnd : public ui::CWindowUI {
  Q_OBJECT

 public:
  // The window's own messages (the numbers of the user messages they stand for).
  static constexpr int kMsgScanDone = 1025;
  static constexpr int kMsgSearchDone = 1026;
  static constexpr int kMsgPreview = 1027;
  static constexpr int kMsgLanguage = 1030;
  static constexpr int kMsgHelp = 1124;
  static constexpr int kMsgFaq = 1125;
  static constexpr int kMsgAbout = 1128;
  static constexpr int kMsgSupport = 1129;

  static constexpr int kDeviceArrival = 0x8000;
  static constexpr int kDeviceRemoveComplete = 0x8004;
  static constexpr int kDeviceTimerMs = 5000;

  enum Page { kStartPage = 0, kScanPage = 1, kFileTypePage = 2, kRecoverPage = 3 };
  enum Mode { kRecoveryMode = 0, kImageMode = 1 };

  explicit CMainWnd(std::unique_ptr<IDiskSource> disks = MakeSystemDiskSource(),
                    std::unique_ptr<IScanRunner> runner = std::make_unique<CProcessScanRunner>());
  ~CMainWnd() override;

  // The size the window opens at: the one it had when it last closed, else one that shows every
  // column of the file list on a 1366 x 768 screen. Shows the window and remembers its size at close.
  static constexpr int kDefaultWidth = 1280;
  static constexpr int kDefaultHeight = 680;
  void ShowAtRememberedSize();

  // Queues a message for the window, as a worker posts one; callable from any thread.
  void PostMessage(int message);
  void HandleMessage(int message);
  // A device notification of the system (arrival or removal complete).
  void OnDeviceChange(int event);

  // Adds an image file under the "ImageFile" group and returns its row.
  QTreeWidgetItem* AddImageRow(const QString& path);

  int Mode() const { return mode_; }
  int CurrentPage() const { return page_; }
  bool RowSelected() const { return rowSelected_; }
  bool Scanning() const { return scanning_; }
  ui::CDiskListUI* DiskList() const;
  CDeviceMonitor* DeviceMonitor() const { return deviceMonitor_; }
  DiskRow* RowOf(const QTreeWidgetItem* item) const;
  const std::vector<FoundFileRecord>& FoundRecords() const { return found_; }
  std::vector<FoundFileRecord>& FoundRecords() { return found_; }
  // The extension text the search gets from the ticked file-type options.
  std::string ExtensionText() const;
  int LastImageLetter() const { return imageLetter_; }
  CFoundFileBrowser* Browser() const { return browser_; }
  CFolderView* FolderView() const { return folders_; }
  CThumbnailGrid* Thumbnails() const { return thumbs_; }
  // The browser the file list follows: the folder view's when it is in front, else the type view's.
  CFoundFileBrowser* ActiveBrowser() const;
  // Whether a folder lies on a scanned source (writing there may overwrite what is to be
  // recovered). Also called from the search window's worker, while the rows stand still.
  bool DestinationOnScannedSource(const std::string& folder) const;
  // The folder the last recovery run wrote into.
  const std::string& RecoveryFolder() const { return recoveryFolder_; }

  // Preview: the records of the file list's rows, in row order; the engine of a record's source.
  std::vector<FoundFileRecord> ListedRecords() const;
  IFileRecoveryParse* EngineFor(const FoundFileRecord& record) const;
  // Previews a record into receiver behind the preview progress window; its result (1, 2).
  int RunPreview(const FoundFileRecord& record, CPreviewWnd* receiver, int height);
  // A file-list row chosen: the picture into PreviewEdit, audio and video to their player.
  void PreviewRecord(const FoundFileRecord& record);
  // Message 1027: the viewer for a picture, the player for audio and video.
  void PostPreview(CPreviewWnd* viewer);
  CPreviewWnd* LastPreview() const { return preview_.get(); }
  // Recovers one record (the viewer's RecoveryBtn), in a recovery window of this height.
  static constexpr int kSingleRecoveryHeight = 200;
  void RecoverRecord(const FoundFileRecord& record);
  // Where Player and Player1 are looked for (the program's folder unless set).
  void SetPlayerFolder(const QString& folder) { playerFolder_ = folder; }
  QString PlayerFolder() const;
  // Whether audio and video play in the preview pane (where the window system allows it) or in
  // players of their own.
  void SetPlayersEmbedded(bool embedded) { playersEmbedded_ = embedded; }
  CPlayerPane* PlayerPane() const { return playerPane_; }

 protected:
  void Notify(ui::TNotifyUI& msg) override;
  void closeEvent(QCloseEvent* event) override;
  // Escape (a dialog's "reject") leaves the main window as it is: the program ends only through
  // its close button or Exit, never with a stray key that would drop the results.
  void reject() override {}

 private:
  QString Msg(const char* id) const;
  // A text of the window's own catalogue section that no control carries (dialog titles, filters).
  static QString Text(const char* key);
  void InitWindow();
  void ApplyTexts();
  void ShowPage(int page);
  void SetShown(const char* name, bool shown);
  void SetEnabled(const char* name, bool enabled);
  void SetText(const char* name, const QString& text);
  void SetTxt1Colour(const QString& argb);
  void SetMode(int mode);
  void ApplyModeToDiskList();
  void ShowCurrentRowDetails();

  // Disk list.
  void FillDiskList();
  QTreeWidgetItem* AddDiskRows(uint32_t disk, const std::vector<DiskSourceEntry>& entries);
  // The bar of a volume row: its used percent, or none where the space is not known.
  static int UsageOf(const DiskSourceEntry& entry);
  void ShowSpace(const DiskSourceEntry& entry);
  // A count of the worker arrived for the row of tag (which may be gone by now).
  void OnSpaceCounted(quint64 tag, bool known, uint64_t freeBytes);
  QString DiskRowText(const DiskRow& row) const;
  static QString EntryText(const DiskRow& row);
  QTreeWidgetItem* NewRowItem(QTreeWidgetItem* parent, std::unique_ptr<DiskRow> row, const QStringList& cells,
                              int usage, const QString& image, int insertAt = -1);
  void RemoveRowItem(QTreeWidgetItem* item);
  void OnDiskRowSelected(QTreeWidgetItem* item);
  void ClearPanel();
  void OnDeviceTimer(int id);
  void AddArrivedDisks();
  void RemoveGoneEntries();

  // Commands.
  void OnScan();
  // No engine could be opened: says so, with each source's reason when it is known.
  void WarnNotOpened(const std::vector<DiskRow*>& sources);
  void StartTypeSearch();
  void OnSearchDone();
  void OnLoadImage();
  void OnCreateImage();
  struct ImageSource {
    DiskSourceEntry entry;  // the entry copied; kind WholeDisk for a whole disk
    int diskNumber = -1;    // a whole disk's number, -1 for an entry
    uint64_t bytes = 0;
    QString suggested;
  };
  bool ImageSourceOf(QTreeWidgetItem* item, ImageSource& source);
  // The save dialog until a destination passes the checks; empty when cancelled.
  QString ChooseImageDestination(const ImageSource& source);
  void OnPrev();
  void OnNext();
  void OnAssistMenu();
  void OnLanguageMenu();
  void OnLikeIt();
  void OpenWebPage(int message);
  void OnLanguageChanged();

  // Preview.
  void OnFileRowSelected(QTreeWidgetItem* item);
  // Ends the player of the pane (and its Play/Stop bar) and clears the pane.
  void ClosePreview();
  void OnFileRowActivated();
  void OnPreviewMessage(CPreviewWnd* viewer);
  CPlayerLauncher* Play(const CPreviewWnd& preview);

  // File-type page.
  void PrepareFileTypePage();
  QList<QCheckBox*> TypeOptions(const char* group) const;
  void SetGroupTicked(const char* group, bool ticked);
  void BuildTypeTree();
  // After a search: drops the files no ticked option asked for.
  void KeepSearchedFiles();
  // Find bar and folder view (CMainWndBrowse.cpp).
  void InitBrowseViews();
  bool BrowseNotify(const ui::TNotifyUI& msg);
  void ShowFolderView(bool folders);
  void ResetFolderView();
  void ShowGrid(bool grid);
  void RefreshGrid();
  // Ends the thumbnail worker before anything else uses or replaces the engines.
  void StopThumbnails();

  // Recover page.
  void OnRecover();
  std::string PathOfRecord(const FoundFileRecord& record) const;
  // The scanned rows' engines with what each reads, for a recovery window.
  std::vector<CRecoverProcessWnd::Source> RecoverySources() const;

  std::unique_ptr<IDiskSource> disks_;
  std::unique_ptr<IScanRunner> runner_;
  // Declared after disks_, which its worker uses: it ends first.
  std::unique_ptr<CVolumeSpaceCounter> spaceCounter_;
  CDeviceMonitor* deviceMonitor_ = nullptr;

  int mode_ = kRecoveryMode;
  int page_ = kStartPage;
  bool rowSelected_ = false;
  bool scanning_ = false;
  bool scanFromFileTypePage_ = false;
  std::vector<DiskSourceEntry> entries_;
  std::map<quint64, std::unique_ptr<DiskRow>> rows_;
  quint64 nextTag_ = 1;
  std::vector<quint64> lastSources_;
  int imageLetter_ = 1000;
  std::vector<FoundFileRecord> found_;
  CFoundFileBrowser* browser_ = nullptr;
  CFindBar* findBar_ = nullptr;
  CFolderView* folders_ = nullptr;
  bool folderView_ = false;
  CThumbnailGrid* thumbs_ = nullptr;
  bool gridView_ = false;
  // Held around engine use on the interface thread while the thumbnail worker may run.
  mutable std::mutex engineLock_;
  std::string recoveryFolder_;
  std::unique_ptr<CPreviewWnd> preview_;  // the last finished preview
  QString playerFolder_;
  bool rememberSize_ = false;
  bool playersEmbedded_;
  CPlayerPane* playerPane_ = nullptr;
};

}  // namespace salvora::app
