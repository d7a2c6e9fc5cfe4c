#pragma once

#include <cstdint>
#include <string>

namespace salvora {

// What a picture's Exif block says about when and with what it was taken.
struct ExifFacts {
  uint64_t taken = 0;  // DateTimeOriginal as FILETIME (the camera's clock, kept as it stands); 0: none
  std::string model;   // the camera model, trimmed; empty when none
};

// Reads DateTimeOriginal and the camera model of a JPEG, a TIFF file or a camera raw (TIFF-based,
// Olympus, Panasonic, Fujifilm, Canon CR3) or a HEIF picture from its first MiB, with libexif.
// false when the file carries neither.
bool ReadExifFacts(const std::string& path, ExifFacts& facts);

// "YYYY:MM:DD HH:MM:SS" (Exif's form) as FILETIME, read as UTC; 0 when it is no valid date.
uint64_t ExifDateTime(const std::string& text);

}  // namespace salvora
