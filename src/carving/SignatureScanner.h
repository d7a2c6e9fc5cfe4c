#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "carving/TypeCode.h"
#include "storage/SectorReader.h"

// Format recognition over the format table. Everything here shares MeasureContext::Instance():
// one scan at a time, on one thread.
namespace salvora {

// Longest carved-file name IdentifyAndMeasure produces.
inline constexpr size_t kCarvedNameMax = 259;

// Type code of the first table row whose extension equals the given one (ASCII case ignored), or
// kTypeNone.
TypeCode TypeCodeOf(std::string_view extension);

// The first answer other than kTypeNone of the testers in table order, or kTypeNone. Testers that
// read further sectors use MeasureContext's reader and sector under test as they stand.
TypeCode IdentifySector(const uint8_t* bytes, int length);

// The same answer, computed by running every row's tester in order without dispatching on the
// first bytes. IdentifySector must always agree with it; tests and the fuzz target check that.
TypeCode IdentifySectorInTableOrder(const uint8_t* bytes, int length);

// True for a sector of file-system metadata: an NTFS file record, index block or log restart
// page, an NTFS $STA stream, a FAT/NTFS/exFAT boot sector, or a FAT directory sector.
bool IsMetadataSector(const uint8_t* bytes, int length);

// Recognises a carvable file starting in this sector and measures it. On 0, name is
// "<start sector>.<extension>", typeCode the canonical row's code and size the size rule's answer.
// 87: nothing carvable starts here; -9527: the progress callback cancelled during measuring.
int IdentifyAndMeasure(const uint8_t* bytes, int length, uint64_t sectorAddress, uint64_t processed,
                       uint64_t total, int remainingSeconds, uint64_t foundCount,
                       SectorReader* reader, int sectorSize, std::string& name, TypeCode& typeCode,
                       uint64_t& size);

// 0 when the bytes (the first sector of a file, at sectorAddress on the reader's source) show that
// the file named with this extension is gone: they are blank, plain text, file-system metadata, or
// the start of a format of another family. 1 otherwise: they start a file of the promised format, the
// extension is not in the table, or nothing says they are not the file's own.
int CheckSignature(const uint8_t* bytes, int length, std::string_view extension,
                   SectorReader* reader, int sectorSize, uint64_t sectorAddress);

// 1 when the bytes positively start a file of the extension's format (its tester answers its
// code), or when the extension is not in the table; else 0. For probes that choose among
// candidate sectors, where "might be" is not enough.
int MatchesSignature(const uint8_t* bytes, int length, std::string_view extension, SectorReader* reader,
                     int sectorSize, uint64_t sectorAddress);

}  // namespace salvora
