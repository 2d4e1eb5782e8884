#include "output_file.h"
#include "png_encode.h"
#include "png_io.h"

namespace toolkit {

bool write_png(const std::string& path, const Image565& image, std::string& error) {
  std::vector<uint8_t> png;
  if (!encode_png(image, Compression::smallest, png, error)) {
    error = path + ": " + error;
    return false;
  }
  return write_output(path, {{png.data(), png.size()}}, error);
}

}  // namespace toolkit
