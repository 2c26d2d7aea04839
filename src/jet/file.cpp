#include "jet/file.h"

#include "jet/errors.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace jet {

Result<std::unique_ptr<File>> File::open(const std::string &path, OpenMode mode) {
  int flags = (mode == OpenMode::ReadOnly ? O_RDONLY : O_RDWR) | O_CLOEXEC;
  int fd = ::open(path.c_str(), flags);
  if (fd < 0)
    return ioError(path, "aprire", errno);
  struct stat st;
  int err = 0;
  if (::fstat(fd, &st) != 0)
    err = errno;
  else if (S_ISDIR(st.st_mode))
    err = EISDIR;
  else if (!S_ISREG(st.st_mode))
    err = EINVAL;
  if (err != 0) {
    ::close(fd);
    return ioError(path, "aprire", err);
  }
  return std::unique_ptr<File>(new File(path, mode, fd));
}

File::~File() {
  if (fd_ >= 0)
    ::close(fd_);
}

Result<uint64_t> File::size() const {
  struct stat st;
  if (::fstat(fd_, &st) != 0)
    return ioError(path_, "leggere", errno);
  return static_cast<uint64_t>(st.st_size);
}

Status File::readAt(uint64_t offset, void *buffer, size_t length) const {
  auto *out = static_cast<uint8_t *>(buffer);
  while (length > 0) {
    ssize_t n = ::pread(fd_, out, length, static_cast<off_t>(offset));
    if (n < 0) {
      if (errno == EINTR)
        continue;
      return ioError(path_, "leggere", errno);
    }
    if (n == 0)
      return corrupt("il file finisce prima del previsto");
    out += n;
    offset += static_cast<uint64_t>(n);
    length -= static_cast<size_t>(n);
  }
  return Status::ok();
}

Status File::writeAt(uint64_t offset, const void *buffer, size_t length) {
  if (mode_ != OpenMode::ReadWrite)
    return {ErrorCode::ReadOnly, "Il database è aperto in sola lettura."};
  const auto *in = static_cast<const uint8_t *>(buffer);
  while (length > 0) {
    ssize_t n = ::pwrite(fd_, in, length, static_cast<off_t>(offset));
    if (n < 0) {
      if (errno == EINTR)
        continue;
      return ioError(path_, "scrivere", errno);
    }
    in += n;
    offset += static_cast<uint64_t>(n);
    length -= static_cast<size_t>(n);
  }
  return Status::ok();
}

Status File::truncate(uint64_t size) {
  if (mode_ != OpenMode::ReadWrite)
    return {ErrorCode::ReadOnly, "Il database è aperto in sola lettura."};
  if (::ftruncate(fd_, static_cast<off_t>(size)) != 0)
    return ioError(path_, "scrivere", errno);
  return Status::ok();
}

Status File::sync() {
  if (::fsync(fd_) != 0)
    return ioError(path_, "scrivere", errno);
  return Status::ok();
}

} // namespace jet
