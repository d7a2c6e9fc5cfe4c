#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// What was being read when an operation failed. Operations keep returning the bare codes
// (ErrorCodes.h); the context travels beside the code on the failing thread, from the read that
// failed (its sector) up through the structure being read (its name), to the message a user sees.
namespace salvora::platform {

struct FailureContext {
  int code = 0;           // 0: no failure noted
  std::string structure;  // "the FAT allocation table"; empty when only the sector is known
  uint64_t sector = 0;
  bool hasSector = false;
};

// A read of sector (in the reader's sectors) failed with code: a new context.
void NoteFailedRead(int code, uint64_t sector);
// A structure could not be read with code: it names the read noted with the same code, or starts
// a new context. The innermost name is kept.
void NoteFailedStructure(int code, std::string_view structure);
void NoteFailedStructure(int code, std::string_view structure, uint64_t sector);
// Forgets the context (before an operation whose failure is to be described).
void ClearFailure();
// The context of code, when the last failure noted had that code; an empty one otherwise.
FailureContext FailureOf(int code);
// The last failure noted on this thread, for a caller that was told only that something failed.
FailureContext LastFailure();
// " (reading the FAT allocation table at sector 32)", or "" when nothing of code is known.
std::string DescribeFailure(int code);

}  // namespace salvora::platform
