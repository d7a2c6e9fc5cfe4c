#pragma once

class QProcess;

namespace salvora::app {

// The preview players this program started. At exit, and before a new preview, only these are
// ended: other programs' processes of the same name are left alone.
class PlayerRegistry {
 public:
  static void Register(QProcess* player);
  // Ends every registered player that still runs (terminate, then kill after a grace time).
  static int EndAll();
};

}  // namespace salvora::app
