#pragma once
// The operating-system layer: one open file, read and written at explicit offsets.
#include "jet/status.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace jet {

enum class OpenMode { ReadOnly, ReadWrite };

class File {
public:
  static Result<std::unique_ptr<File>> open(const std::string &path, OpenMode mode);
  ~File();
  File(const File &) = delete;
  File &operator=(const File &) = delete;

  const std::string &path() const { return path_; }
  OpenMode mode() const { return mode_; }
  int descriptor() const { return fd_; }

  Result<uint64_t> size() const;
  // Reads exactly length bytes; a short read (end of file) is an error.
  Status readAt(uint64_t offset, void *buffer, size_t length) const;
  Status writeAt(uint64_t offset, const void *buffer, size_t length);
  Status truncate(uint64_t size);
  Status sync();

private:
  File(std::string path, OpenMode mode, int fd) : path_(std::move(path)), mode_(mode), fd_(fd) {}
  std::string path_;
  OpenMode mode_;
  int fd_;
};

} // namespace jet
