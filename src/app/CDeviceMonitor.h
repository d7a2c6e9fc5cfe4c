#pragma once

#include <QObject>
#include <QTimer>
#include <functional>
#include <string>

class QSocketNotifier;
struct udev;
struct udev_monitor;

namespace salvora::app {

// Watches block devices coming and going and reports them as device-change events: 0x8000 for an
// arrival, 0x8004 for a completed removal. udev tells where its daemon runs; elsewhere (a
// container, a system without udevd, whose netlink socket stays silent) the disks are looked at
// periodically and a change of what `look` sees counts as both.
class CDeviceMonitor : public QObject {
  Q_OBJECT

 public:
  static constexpr int kLookMs = 3000;
  // What the disks look like now (names, sizes, partitions); compared between looks.
  using Look = std::function<std::string()>;

  explicit CDeviceMonitor(Look look, QObject* parent = nullptr);
  ~CDeviceMonitor() override;
  bool IsWatching() const { return notifier_ != nullptr; }
  bool IsLooking() const { return timer_.isActive(); }
  // Looks every periodMs instead of listening (also where udev would tell).
  void StartLooking(int periodMs);

 signals:
  void deviceChanged(int event);

 private:
  void OnReadable();
  void LookAgain();

  struct udev* udev_ = nullptr;
  struct udev_monitor* monitor_ = nullptr;
  QSocketNotifier* notifier_ = nullptr;
  Look look_;
  std::string seen_;
  QTimer timer_;
};

}  // namespace salvora::app
