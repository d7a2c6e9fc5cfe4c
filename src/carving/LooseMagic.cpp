#include "carving/LooseMagic.h"

#include <initializer_list>
#include <string_view>

#include "platform/ByteView.h"

namespace salvora {
namespace {

using namespace std::string_view_literals;

struct Magic {
  std::initializer_list<TypeCode> codes;
  size_t offset;
  std::initializer_list<std::string_view> starts;  // any one of them
};

const Magic kMagics[] = {
    {{kTypeJpg}, 0, {"\xFF\xD8\xFF"sv}},
    {{kTypePng}, 0, {"\x89PNG"sv}},
    {{kTypeGif}, 0, {"GIF8"sv}},
    {{kTypeBmp}, 0, {"BM"sv, "BA"sv}},
    {{kTypePsd}, 0, {"8BPS"sv}},
    {{kTypeIco}, 0, {"\x00\x00\x01\x00"sv}},
    {{kTypeTif, kTypeCr2, kTypeNef, kTypeArw, kTypeDng, kTypePef}, 0, {"II*\x00"sv, "MM\x00*"sv}},
    {{kTypeOrf}, 0, {"IIRO"sv, "IIRS"sv, "MMOR"sv}},
    {{kTypeRw2}, 0, {"IIU\x00"sv}},
    {{kTypeRaf}, 0, {"FUJIFILM"sv}},
    // RIFF files by their form type.
    {{kTypeWebp}, 8, {"WEBP"sv}},
    {{kTypeWav}, 8, {"WAVE"sv}},
    {{kTypeAvi}, 8, {"AVI "sv}},
    {{kTypeMp4, kType3gp, kTypeHeic, kTypeAvif, kTypeCr3, kTypeM4a}, 4, {"ftyp"sv}},
    {{kTypeMov}, 4, {"ftyp"sv, "moov"sv, "mdat"sv, "wide"sv, "free"sv, "skip"sv}},
    {{kTypeMkv}, 0, {"\x1A\x45\xDF\xA3"sv}},
    {{kTypeFlac}, 0, {"fLaC"sv}},
    {{kTypeOgg, kTypeOpus}, 0, {"OggS"sv}},
    {{kTypeTtf}, 0, {"\x00\x01\x00\x00"sv, "true"sv, "OTTO"sv}},
    {{kTypePdf}, 0, {"%PDF"sv}},
};

}  // namespace

MagicAnswer LooseMagicOf(TypeCode code, const uint8_t* bytes, int length) {
  const ByteView v = (bytes && length > 0) ? ByteView(bytes, size_t(length)) : ByteView();
  for (const Magic& magic : kMagics) {
    bool mine = false;
    for (TypeCode c : magic.codes) mine |= c == code;
    if (!mine) continue;
    for (std::string_view start : magic.starts)
      if (v.Equals(magic.offset, start)) return MagicAnswer::Carries;
    return MagicAnswer::Lacks;
  }
  return MagicAnswer::Unknown;
}

}  // namespace salvora
