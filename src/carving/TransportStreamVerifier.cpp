#include "carving/TransportStreamVerifier.h"

namespace salvora {

TransportStreamVerifier::TransportStreamVerifier(int sectorSize) {
  const uint64_t size = sectorSize > 0 ? uint64_t(sectorSize) : 0;
  verified_ = size - size % kPacket;
  next_ = verified_;
  pieceStart_ = size;
}

void TransportStreamVerifier::AddPiece(const uint8_t* piece, size_t length) {
  const uint64_t start = pieceStart_;
  const uint64_t end = start + length;
  pieceStart_ = end;
  if (failed_ || !piece) return;
  if (next_ < start) {  // the packet that crosses into this piece
    verified_ += kPacket;
    next_ += kPacket;
  }
  while (next_ >= start && next_ + kPacket <= end) {
    if (piece[next_ - start] != kSync) {
      failed_ = true;
      return;
    }
    verified_ += kPacket;
    next_ += kPacket;
  }
}

}  // namespace salvora
