#pragma once

#include <string>

namespace salvora {

// Replaces a HEIC/HEIF/AVIF picture at path with its primary image decoded by libheif, as a binary
// PPM (which the desktop's image loader reads by its content whatever the file is named): Qt has
// no HEIF reader. false, with the file left as it was, when the picture does not decode.
bool DecodeHeifForPreview(const std::string& path);

// True for the extensions (lower case) of the pictures DecodeHeifForPreview takes.
bool IsHeifExtension(const std::string& extension);

}  // namespace salvora
