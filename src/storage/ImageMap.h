#pragma once

#include <cstdint>
#include <string>

// An image made from a failing medium comes with a GNU ddrescue mapfile that tells which of its
// bytes were never read. Applying the map makes those areas fail to read in every source opened
// on the image, so scans and recoveries see the bad sectors the zeros stand for.
namespace salvora {

struct ImageMapFacts {
  std::string mapPath;
  uint64_t unreadableBytes = 0;
  size_t unreadableAreas = 0;
};

// The map path that goes with an image: its name with the extension replaced by .map
// (card.img -> card.map), or with .map added when it has no extension.
std::string MapPathFor(const std::string& imagePath);
// The map an imaging run leaves beside IMAGE: IMAGE's name with its extension replaced by .map
// (card.img -> card.map), else IMAGE.map. "" when neither exists.
std::string FindMapBeside(const std::string& imagePath);
// Reads mapPath and applies its unfinished areas to imagePath. false with a one-line reason.
bool ApplyImageMap(const std::string& imagePath, const std::string& mapPath, ImageMapFacts& facts,
                   std::string& error);

}  // namespace salvora
