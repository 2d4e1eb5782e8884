#include "temp_file.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace art {

TempFile::TempFile(const std::string& final_path)
    : final_path_(final_path), temp_path_(final_path + ".tmp" + std::to_string(getpid())) {
  file_ = std::fopen(temp_path_.c_str(), "wb");
}

TempFile::~TempFile() {
  if (file_) {
    std::fclose(file_);
    std::remove(temp_path_.c_str());
  }
}

bool TempFile::commit(std::string& error) {
  if (!file_) {
    error = final_path_ + ": cannot create " + temp_path_;
    return false;
  }
  bool ok = std::fflush(file_) == 0 && !std::ferror(file_);
  int saved = errno;
  if (std::fclose(file_) != 0 && ok) {
    ok = false;
    saved = errno;
  }
  file_ = nullptr;
  if (ok && std::rename(temp_path_.c_str(), final_path_.c_str()) != 0) {
    ok = false;
    saved = errno;
  }
  if (!ok) {
    std::remove(temp_path_.c_str());
    error = final_path_ + ": " + std::strerror(saved);
  }
  return ok;
}

bool write_file_atomically(const std::string& path, const void* data, size_t size, std::string& error) {
  TempFile temp(path);
  if (!temp.file()) {
    error = path + ": cannot create " + temp.temp_path() + ": " + std::strerror(errno);
    return false;
  }
  if (size != 0 && std::fwrite(data, 1, size, temp.file()) != size) {
    error = path + ": " + std::strerror(errno);
    return false;
  }
  return temp.commit(error);
}

}  // namespace art
