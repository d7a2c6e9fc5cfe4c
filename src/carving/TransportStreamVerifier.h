#pragma once

#include <cstddef>
#include <cstdint>

namespace salvora {

// Counts the 188-byte transport-stream packets of a file, from its start, for as long as each
// packet begins with the sync byte. The pieces read ahead are fed in order; a packet that crosses
// from one piece into the next is counted without its sync byte being looked at, as its start lay
// in bytes already gone. Once a packet fails, counting stops for good.
class TransportStreamVerifier {
 public:
  static constexpr size_t kPacket = 188;
  static constexpr uint8_t kSync = 0x47;

  // The packets wholly inside the first sector were checked by the tester already.
  explicit TransportStreamVerifier(int sectorSize);

  // The next piece of the file, starting where the previous one ended.
  void AddPiece(const uint8_t* piece, size_t length);

  // Bytes of the packets verified so far.
  uint64_t VerifiedLength() const { return verified_; }
  bool Failed() const { return failed_; }

 private:
  uint64_t verified_;
  uint64_t next_;       // file offset of the first packet not yet counted
  uint64_t pieceStart_; // file offset of the next piece
  bool failed_ = false;
};

}  // namespace salvora
