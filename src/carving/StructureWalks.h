#pragma once

#include "carving/StructureWalk.h"

// The structure walks of the carvable formats. Each reads a candidate file from its first byte
// through a ByteSource and measures it by the format's own structure (see WalkResult). They trust
// nothing they read: every length is checked against the source's limit before it is followed.
namespace salvora {

WalkResult WalkJpeg(ByteSource& source);      // segments from SOI, the scans' entropy data, EOI
WalkResult WalkPng(ByteSource& source);       // chunks with their CRCs to IEND
WalkResult WalkGif(ByteSource& source);       // blocks and sub-blocks to the trailer
WalkResult WalkTiff(ByteSource& source);      // IFD chain, sub-IFDs, strips, tiles, thumbnail
WalkResult WalkIsoMedia(ByteSource& source);  // top-level boxes of MP4, MOV, 3GP
WalkResult WalkZip(ByteSource& source);       // local entries, central directory, end record
WalkResult WalkGzip(ByteSource& source);      // header, deflate stream (inflated), trailer
WalkResult WalkSqlite(ByteSource& source);    // page size x page count of the header
WalkResult WalkMp3(ByteSource& source);       // ID3v2 tag, MPEG audio frames, APE and ID3v1 tails
WalkResult WalkPdf(ByteSource& source);       // the last %%EOF that closes a cross-reference section
WalkResult WalkPhotoshop(ByteSource& source);    // sections, then the merged image data
WalkResult WalkMatroska(ByteSource& source);     // EBML header and the segment's declared size
WalkResult WalkFlashVideo(ByteSource& source);   // tags with their trailing sizes
WalkResult WalkMpegProgram(ByteSource& source);  // packs and packets to the program end code
WalkResult WalkRealMedia(ByteSource& source);    // chunks of declared sizes
WalkResult WalkMxf(ByteSource& source);          // key-length-value packs
WalkResult WalkFlashMovie(ByteSource& source);   // a compressed movie's zlib stream
WalkResult WalkHeif(ByteSource& source);         // top-level boxes of a HEIF/AVIF still picture
WalkResult WalkWebp(ByteSource& source);         // RIFF chunks of a WebP picture
WalkResult WalkFujifilmRaw(ByteSource& source);  // header, preview, CFA header and data
WalkResult WalkOlympusRaw(ByteSource& source);   // TIFF directories under Olympus' magic
WalkResult WalkPanasonicRaw(ByteSource& source);  // TIFF directories under Panasonic's magic
WalkResult WalkFlac(ByteSource& source);         // metadata blocks, frames decoded to the last
WalkResult WalkOgg(ByteSource& source);          // pages with their CRCs to each stream's end

// The TIFF walk for a header whose magic number magicAccepted takes (42 for TIFF itself).
WalkResult WalkTiffStructure(ByteSource& source, bool (*magicAccepted)(uint16_t));
// The top-level box walk of ISO media; the file is whole only when it holds a box of the type
// essential ("moov" for a movie, "meta" for a still picture).
WalkResult WalkTopLevelBoxes(ByteSource& source, const char (&essential)[5]);

}  // namespace salvora
