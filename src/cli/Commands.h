#pragma once

#include <string>
#include <vector>

// The subcommands of salvora-cli. Each takes the arguments after its name and returns the exit
// code: 0 success, 1 partial, 2 bad arguments or source not openable, 130 cancelled.
namespace salvora::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitPartial = 1;
inline constexpr int kExitBadInput = 2;
inline constexpr int kExitCancelled = 130;

using Args = std::vector<std::string>;

int RunProbe(const Args& args);
int RunSources(const Args& args);
int RunImage(const Args& args);
int RunScan(const Args& args);
int RunRecover(const Args& args);

}  // namespace salvora::cli
