#pragma once
// A Jet client of the suite in a process of its own (jet_client_main.cpp), for the tests of
// Vask beside the suite: its entry in the .ldb and its user lock held until it goes.
#include "test_support.h"

#include <csignal>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace vasktest {

class JetClient {
public:
  JetClient(const std::string &ldb, const std::string &computer, const std::string &user) {
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0)
      throw std::runtime_error("pipe");
    const std::string program = (binaryDir() / "tests" / "jet_client").string();
    pid_ = fork();
    if (pid_ == 0) {
      dup2(in[0], 0);
      dup2(out[1], 1);
      close(in[1]);
      close(out[0]);
      execl(program.c_str(), "jet_client", ldb.c_str(), computer.c_str(), user.c_str(),
            static_cast<char *>(nullptr));
      _exit(127);
    }
    close(in[0]);
    close(out[1]);
    toChild_ = in[1];
    fromChild_ = out[0];
    std::string first = line();
    if (first.rfind("slot ", 0) != 0)
      throw std::runtime_error("jet_client did not start: " + first);
    slot_ = std::stoi(first.substr(5));
  }
  ~JetClient() { quit(); }
  JetClient(const JetClient &) = delete;
  JetClient &operator=(const JetClient &) = delete;

  int slot() const { return slot_; }
  // Whether the client could take the write lock of a page now.
  bool canWritePage(unsigned page) {
    std::string cmd = "scrivi " + std::to_string(page) + "\n";
    if (write(toChild_, cmd.data(), cmd.size()) != ssize_t(cmd.size()))
      throw std::runtime_error("jet_client gone");
    return line() == "ok";
  }
  // Closes its input: the client ends and its locks go with it (its entry stays).
  void quit() {
    if (toChild_ >= 0)
      close(toChild_);
    toChild_ = -1;
    if (pid_ > 0) {
      int status = 0;
      waitpid(pid_, &status, 0);
    }
    pid_ = -1;
    if (fromChild_ >= 0)
      close(fromChild_);
    fromChild_ = -1;
  }

private:
  std::string line() {
    std::string s;
    char c;
    while (read(fromChild_, &c, 1) == 1 && c != '\n')
      s += c;
    return s;
  }
  pid_t pid_ = -1;
  int toChild_ = -1, fromChild_ = -1;
  int slot_ = -1;
};

} // namespace vasktest
