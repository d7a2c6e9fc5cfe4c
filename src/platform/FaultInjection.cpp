#include "platform/FaultInjection.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <mutex>

#include "platform/FileIo.h"

namespace salvora::platform {
namespace {

std::mutex gMutex;
std::map<std::string, FaultPlan> gPlans;

std::string Canonical(const std::string& path) { return ResolvedPath(path); }

// Parses "START-END,START-END" into plan; malformed items are skipped.
FaultPlan ParseRanges(const std::string& text) {
  FaultPlan plan;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t comma = text.find(',', pos);
    std::string item = text.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
    size_t dash = item.find('-');
    if (item.rfind("slow:", 0) == 0) {
      plan.readDelayUs = uint32_t(std::min<unsigned long>(std::strtoul(item.c_str() + 5, nullptr, 10), 1000000));
    } else if (dash != std::string::npos) {
      char* end = nullptr;
      uint64_t a = std::strtoull(item.c_str(), &end, 10);
      uint64_t b = std::strtoull(item.c_str() + dash + 1, &end, 10);
      if (b > a) plan.badRanges.emplace_back(a, b);
    }
    if (comma == std::string::npos) break;
    pos = comma + 1;
  }
  return plan;
}

std::optional<FaultPlan> FromEnvironment(const std::string& canonical) {
  const char* env = std::getenv("SALVORA_FAULTS");
  if (!env || !*env) return std::nullopt;
  std::string all(env);
  size_t pos = 0;
  while (pos < all.size()) {
    size_t semi = all.find(';', pos);
    std::string entry = all.substr(pos, semi == std::string::npos ? std::string::npos : semi - pos);
    size_t eq = entry.rfind('=');
    if (eq != std::string::npos && Canonical(entry.substr(0, eq)) == canonical)
      return ParseRanges(entry.substr(eq + 1));
    if (semi == std::string::npos) break;
    pos = semi + 1;
  }
  return std::nullopt;
}

}  // namespace

void SetFaultPlan(const std::string& path, FaultPlan plan) {
  std::lock_guard lock(gMutex);
  gPlans[Canonical(path)] = std::move(plan);
}

void ClearFaultPlans() {
  std::lock_guard lock(gMutex);
  gPlans.clear();
}

std::optional<FaultPlan> FaultPlanFor(const std::string& path) {
  std::string canonical = Canonical(path);
  {
    std::lock_guard lock(gMutex);
    if (auto it = gPlans.find(canonical); it != gPlans.end()) return it->second;
  }
  return FromEnvironment(canonical);
}

}  // namespace salvora::platform
