#pragma once
// libvips plumbing shared by the picture operations: running a lazy pipeline to memory under a
// stop token, and bringing any decoded picture to the working form (8-bit sRGB, flattened).
#include "media/picture.hpp"
#include "platform/long_work.hpp"

namespace lf::media::vips_work {

// Computes a lazy pipeline into memory now. A stop requested while it runs kills the evaluation
// and throws lf::Cancelled; other failures throw vips::VError.
Picture evaluate(const Picture& pipeline, const lf::StopToken& stop);

// The picture as 8-bit sRGB with three bands, or four when it has an alpha channel. Lazy.
Picture asSRGB8(const Picture& picture);

// The picture as 8-bit sRGB with three bands, transparent parts laid onto opaque white. Lazy.
Picture flattenedOnWhite(const Picture& picture);

}  // namespace lf::media::vips_work
