#pragma once
// Everything of media processing in one include: display pictures, the watermark, the JPEG
// writer, square thumbnails, movie posters and the symbols of movies and sounds.
#include "media/bitmap.hpp"
#include "media/decode_scaled.hpp"
#include "media/decode_threads.hpp"
#include "media/image_error.hpp"
#include "media/image_source.hpp"
#include "media/jpeg_writer.hpp"
#include "media/picture.hpp"
#include "media/poster_frame.hpp"
#include "media/render_picture.hpp"
#include "media/thumbnails.hpp"
#include "media/watermark.hpp"
