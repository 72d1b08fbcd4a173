// The image pipeline: picture decoding, the drawing surface and its
// snapshots, the image object and its writers. Other folders include this
// header only.
//
// Two layers meet here. Values and rows (Picture, PictureHeader, the JPEG
// row stream, AreaResampler, DecodeFromDib, SaveImage) carry the batch
// engine's streaming road. The handle-based layer (the picture registry with
// LoadPicture and PictureHandle, the surface's handle entry points,
// TakeSnapshot and DecodeFromBin) serves only the drawing road: the step by
// step reference that the streaming road is tested against, byte for byte.
// The image object (ImageRef, SetXDPI, EncodeToFile) belongs to both.
#pragma once

#include "imaging/area_resampler.hpp"
#include "imaging/drawing_surface.hpp"
#include "imaging/image_object.hpp"
#include "imaging/picture.hpp"
