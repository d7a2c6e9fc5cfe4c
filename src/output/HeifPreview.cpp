#include "output/HeifPreview.h"

#include <libheif/heif.h>

#include <cstdio>
#include <memory>

#include "output/OutputFiles.h"
#include "platform/PathChanges.h"

namespace salvora {
namespace {

// A preview needs no more; a hostile header declaring more is refused before decoding.
constexpr int kMaxSide = 16384;

struct HeifDeleter {
  void operator()(heif_context* c) const { heif_context_free(c); }
  void operator()(const heif_image_handle* h) const { heif_image_handle_release(h); }
  void operator()(const heif_image* i) const { heif_image_release(i); }
};

bool WritePpm(const std::string& path, const uint8_t* rgb, int stride, int width, int height) {
  OutputFile out;
  if (out.Create(path) != 0) return false;
  char header[64];
  const int n = std::snprintf(header, sizeof header, "P6\n%d %d\n255\n", width, height);
  bool ok = out.Write(reinterpret_cast<const uint8_t*>(header), size_t(n)) == 0;
  for (int y = 0; ok && y < height; ++y) ok = out.Write(rgb + size_t(y) * size_t(stride), size_t(width) * 3) == 0;
  return out.Close() == 0 && ok;
}

}  // namespace

bool DecodeHeifForPreview(const std::string& path) {
  std::unique_ptr<heif_context, HeifDeleter> context(heif_context_alloc());
  if (!context || heif_context_read_from_file(context.get(), path.c_str(), nullptr).code != heif_error_Ok) return false;
  heif_image_handle* rawHandle = nullptr;
  if (heif_context_get_primary_image_handle(context.get(), &rawHandle).code != heif_error_Ok) return false;
  std::unique_ptr<const heif_image_handle, HeifDeleter> handle(rawHandle);
  const int width = heif_image_handle_get_width(rawHandle), height = heif_image_handle_get_height(rawHandle);
  if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return false;
  heif_image* rawImage = nullptr;
  if (heif_decode_image(rawHandle, &rawImage, heif_colorspace_RGB, heif_chroma_interleaved_RGB, nullptr).code !=
      heif_error_Ok)
    return false;
  std::unique_ptr<const heif_image, HeifDeleter> image(rawImage);
  int stride = 0;
  const uint8_t* rgb = heif_image_get_plane_readonly(rawImage, heif_channel_interleaved, &stride);
  if (!rgb || stride < width * 3) return false;
  const std::string decoded = path + ".ppm";
  if (!WritePpm(decoded, rgb, stride, width, height) || platform::RenameReplacing(decoded, path) != 0) {
    platform::RemoveFile(decoded);
    return false;
  }
  return true;
}

}  // namespace salvora
