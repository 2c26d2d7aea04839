// Plays a Jet client of a shared database by the rules of the Jet engine's lock file, with its
// own code (not Vask's), so the tests see Vask beside an independent user:
//   jet_client LDB COMPUTER USER
// takes the first free user lock (10000001h + slot) on LDB, writes its entry at slot * 64 and
// prints "slot N". Then, one command a line: "scrivi P" tries the write lock of page P (the
// 20000000h region, 256 bytes plus the user's number) and answers "ok" or "bloccato". It keeps
// its locks until its input closes.
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <string>
#include <unistd.h>

namespace {

bool lockRange(int fd, short type, long long start, long long length) {
  struct flock fl {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = start;
  fl.l_len = length;
  return ::fcntl(fd, F_SETLK, &fl) == 0;
}

} // namespace

int main(int argc, char **argv) {
  if (argc != 4)
    return 2;
  int fd = ::open(argv[1], O_RDWR | O_CREAT, 0666);
  if (fd < 0)
    return 3;
  int slot = 0;
  while (slot < 255 && !lockRange(fd, F_WRLCK, 0x10000001LL + slot, 1))
    ++slot;
  if (slot == 255)
    return 4;
  char entry[64] = {};
  std::strncpy(entry, argv[2], 31);
  std::strncpy(entry + 32, argv[3], 31);
  if (::pwrite(fd, entry, sizeof entry, off_t(slot) * 64) != off_t(sizeof entry))
    return 5;
  std::printf("slot %d\n", slot);
  std::fflush(stdout);
  std::string line;
  while (std::getline(std::cin, line)) {
    if (line.rfind("scrivi ", 0) == 0) {
      long long start = 0x20000000LL + std::stoll(line.substr(7)) * 256 + 1;
      bool ok = lockRange(fd, F_WRLCK, start, 256 + slot + 1);
      if (ok)
        lockRange(fd, F_UNLCK, start, 256 + slot + 1);
      std::printf("%s\n", ok ? "ok" : "bloccato");
      std::fflush(stdout);
    }
  }
  return 0;
}
