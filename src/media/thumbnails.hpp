#pragma once
// The square thumbnails of a gallery: a crop of each picture, a movie's frame with a play symbol,
// a dark square with a speaker for sounds.
#include <optional>

#include "media/image_source.hpp"
#include "media/picture.hpp"
#include "model/media_kind.hpp"
#include "platform/long_work.hpp"

namespace lf::media {

// The picture scaled so its shorter side is exactly size and cropped to size × size: centred
// across, and along the long side of a portrait picture 40 % of the excess cut at the top and
// 60 % at the bottom. Transparent parts become white; 3-band sRGB. Nothing when size is below 1
// or the picture cannot be scaled.
std::optional<Picture> squareThumbnail(const Picture& picture, int size);

// The square thumbnail of a picture file, decoded just large enough for the crop: at longer side
// ceil(longer × size / shorter) when the oriented size is known, else at 3 × size.
// Nothing when it cannot be decoded; throws lf::Cancelled when stop is requested meanwhile.
std::optional<Picture> pictureThumbnail(const ImageSource& source, int size, lf::StopToken stop = {});

// The square of a movie (kind video: a play triangle) or a sound (any other kind: a speaker with
// two sound arcs), drawn over the square crop of the poster when there is one and it can be
// cropped, else over the dark background RGB 46, 50, 58, with a translucent black disc behind the
// symbol. Nothing when size is below 1 or the bitmap cannot be made.
std::optional<Picture> mediaThumbnail(lf::model::MediaKind kind, const std::optional<Picture>& poster, int size);

}  // namespace lf::media
