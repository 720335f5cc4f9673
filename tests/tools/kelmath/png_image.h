// A PNG file's pixels as RGBA, for the tests that look at what a renderer drew.
#ifndef KELMATH_TESTS_TOOLS_KELMATH_PNG_IMAGE_H
#define KELMATH_TESTS_TOOLS_KELMATH_PNG_IMAGE_H

#include <png.h>

#include <string>
#include <vector>

namespace kelmath_test {

struct Image {
  int width = 0;
  int height = 0;
  std::vector<unsigned char> rgba;
  const unsigned char* Pixel(int x, int y) const {
    return &rgba[4 *
                 (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x))];
  }
};

// The image, or an empty one (width 0) when the file is missing or not a PNG.
inline Image ReadPng(const std::string& path) {
  Image image;
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&png, path.c_str())) return image;
  png.format = PNG_FORMAT_RGBA;
  image.rgba.resize(PNG_IMAGE_SIZE(png));
  if (!png_image_finish_read(&png, nullptr, image.rgba.data(), 0, nullptr)) return {};
  image.width = static_cast<int>(png.width);
  image.height = static_cast<int>(png.height);
  return image;
}

}  // namespace kelmath_test

#endif
