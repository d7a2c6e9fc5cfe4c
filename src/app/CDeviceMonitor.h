#pragma once

#include <QObject>

class QSocketNotifier;
struct udev;
struct udev_monitor;

namespace salvora::app {

// Watches block devices coming and going (udev) and reports them as device-change events:
// 0x8000 for an arrival, 0x8004 for a completed removal.
class CDeviceMonitor : public QObject {
  Q_OBJECT

 public:
  explicit CDeviceMonitor(QObject* parent = nullptr);
  ~CDeviceMonitor() override;
  bool IsWatching() const { return notifier_ != nullptr; }

 signals:
  void deviceChanged(int event);

 private:
  void OnReadable();

  struct udev* udev_ = nullptr;
  struct udev_monitor* monitor_ = nullptr;
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace salvora::app
