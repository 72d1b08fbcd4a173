// Writes a small seed corpus of JPEG files made by our own generators.
#include <string>

#include "fuzz/seed_folder.hpp"

using namespace trimbrel::fixtures;

int main(int argc, char** argv) {
  return RunSeedProgram(argc, argv, [](const std::string& folder) {
    WriteSeed(folder, "baseline.jpg", MakeJpeg(24, 16, SeedNoise, {.quality = 50}));
    WriteSeed(folder, "progressive.jpg", MakeJpeg(17, 9, SeedNoise, {.progressive = true}));
    WriteSeed(folder, "grey.jpg", MakeJpeg(8, 8, SeedNoise, {.grey = true}));
    WriteSeed(folder, "cmyk.jpg", MakeJpeg(8, 8, SeedNoise, {.cmyk = true}));
    WriteSeed(folder, "arithmetic.jpg", MakeJpeg(8, 8, SeedNoise, {.arithmetic = true}));
    WriteSeed(folder, "exif6.jpg", WithExifOrientation(MakeJpeg(16, 8, SeedNoise), 6, true));
    WriteSeed(folder, "exif3.jpg", WithExifOrientation(MakeJpeg(16, 8, SeedNoise), 3, false));
  });
}
