// The image pipeline: picture decoding, the drawing surface and its
// snapshots, the image object and its writers. Other folders include this
// header only.
#pragma once

#include "imaging/area_resampler.hpp"
#include "imaging/drawing_surface.hpp"
#include "imaging/image_object.hpp"
#include "imaging/photo_file.hpp"
#include "imaging/picture.hpp"
