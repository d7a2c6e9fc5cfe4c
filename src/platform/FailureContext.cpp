#include "platform/FailureContext.h"

namespace salvora::platform {
namespace {

// Per thread: a scan, a recovery and the desktop's workers each describe their own failure.
thread_local FailureContext tContext;

}  // namespace

void NoteFailedRead(int code, uint64_t sector) { tContext = {code, {}, sector, true}; }

void NoteFailedStructure(int code, std::string_view structure) {
  if (tContext.code == code) {
    if (tContext.structure.empty()) tContext.structure = std::string(structure);
    return;
  }
  tContext = {code, std::string(structure), 0, false};
}

void NoteFailedStructure(int code, std::string_view structure, uint64_t sector) {
  NoteFailedStructure(code, structure);
  if (!tContext.hasSector) {
    tContext.sector = sector;
    tContext.hasSector = true;
  }
}

void ClearFailure() { tContext = {}; }

FailureContext FailureOf(int code) { return code != 0 && tContext.code == code ? tContext : FailureContext{}; }

FailureContext LastFailure() { return tContext; }

std::string DescribeFailure(int code) {
  const FailureContext context = FailureOf(code);
  if (context.code == 0) return {};
  std::string text = " (reading ";
  text += context.structure.empty() ? "the source" : context.structure;
  if (context.hasSector) text += " at sector " + std::to_string(context.sector);
  return text + ")";
}

}  // namespace salvora::platform
