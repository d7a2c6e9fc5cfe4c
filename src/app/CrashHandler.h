#pragma once

#include <string>

namespace salvora::app {

// On a fatal signal, writes "%d-%02d-%02d-%02d-%02d-%02d-%02d.dmp" (local time down to the
// millisecond) into the current folder with the signal and a backtrace, then lets the process
// end as it would have.
void InstallCrashHandler();

// The dump file name for a moment in local time.
std::string CrashDumpName(int year, int month, int day, int hour, int minute, int second, int ms);

}  // namespace salvora::app
