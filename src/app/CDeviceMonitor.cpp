#include "app/CDeviceMonitor.h"

#include <libudev.h>

#include <QSocketNotifier>
#include <cstring>

#include "platform/PathQueries.h"

namespace salvora::app {

CDeviceMonitor::CDeviceMonitor(Look look, QObject* parent) : QObject(parent), look_(std::move(look)) {
  connect(&timer_, &QTimer::timeout, this, &CDeviceMonitor::LookAgain);
  // Without the daemon's control socket nobody sends udev events: the disks are looked at.
  if (!platform::PathExists("/run/udev/control")) {
    StartLooking(kLookMs);
    return;
  }
  udev_ = udev_new();
  if (!udev_) return;
  monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
  if (!monitor_) return;
  // Disks and their partitions; USB devices without a disk do not change the disk list.
  if (udev_monitor_filter_add_match_subsystem_devtype(monitor_, "block", nullptr) < 0 ||
      udev_monitor_enable_receiving(monitor_) < 0) {
    return;
  }
  const int fd = udev_monitor_get_fd(monitor_);
  if (fd < 0) return;
  notifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &CDeviceMonitor::OnReadable);
}

CDeviceMonitor::~CDeviceMonitor() {
  delete notifier_;
  if (monitor_) udev_monitor_unref(monitor_);
  if (udev_) udev_unref(udev_);
}

void CDeviceMonitor::StartLooking(int periodMs) {
  if (!look_) return;
  seen_ = look_();
  timer_.start(periodMs);
}

void CDeviceMonitor::LookAgain() {
  std::string now = look_();
  if (now == seen_) return;
  seen_ = std::move(now);
  // A change may be a disk come or gone; the window refreshes for both.
  emit deviceChanged(0x8000);
  emit deviceChanged(0x8004);
}

void CDeviceMonitor::OnReadable() {
  udev_device* device = udev_monitor_receive_device(monitor_);
  if (!device) return;
  const char* action = udev_device_get_action(device);
  if (action && std::strcmp(action, "add") == 0) emit deviceChanged(0x8000);
  else if (action && std::strcmp(action, "remove") == 0) emit deviceChanged(0x8004);
  else if (action && std::strcmp(action, "change") == 0) emit deviceChanged(0x8000);  // media inserted in a reader
  udev_device_unref(device);
}

}  // namespace salvora::app
