#pragma once
// Another program run by a test, talked to a line at a time: its standard input and output are
// pipes to the test.
#include <csignal>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace vasktest {

class ChildProcess {
public:
  // Runs `program` with `args` (argv[1]...), `variable`=`value` added to its environment where
  // `variable` is given.
  ChildProcess(const std::string &program, const std::vector<std::string> &args,
               const char *variable = nullptr, const std::string &value = {}) {
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0)
      throw std::runtime_error("pipe");
    std::vector<char *> argv{const_cast<char *>(program.c_str())};
    for (const auto &a : args)
      argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
      dup2(in[0], 0);
      dup2(out[1], 1);
      close(in[1]);
      close(out[0]);
      if (variable)
        setenv(variable, value.c_str(), 1);
      execv(program.c_str(), argv.data());
      _exit(127);
    }
    close(in[0]);
    close(out[1]);
    toChild_ = in[1];
    fromChild_ = out[0];
  }
  ~ChildProcess() {
    closeInput();
    wait();
  }
  ChildProcess(const ChildProcess &) = delete;
  ChildProcess &operator=(const ChildProcess &) = delete;

  // The next line it wrote, without its end; empty once it has gone.
  std::string readLine() {
    std::string s;
    char c;
    while (read(fromChild_, &c, 1) == 1 && c != '\n')
      s += c;
    return s;
  }
  void writeLine(const std::string &line) {
    std::string l = line + "\n";
    if (toChild_ < 0 || write(toChild_, l.data(), l.size()) != ssize_t(l.size()))
      throw std::runtime_error("the child process has gone");
  }
  void closeInput() {
    if (toChild_ >= 0)
      close(toChild_);
    toChild_ = -1;
  }
  void kill9() { kill(pid_, SIGKILL); }
  // Waits for it to end and returns its wait status.
  int wait() {
    int status = 0;
    if (pid_ > 0)
      waitpid(pid_, &status, 0);
    pid_ = -1;
    if (fromChild_ >= 0)
      close(fromChild_);
    fromChild_ = -1;
    return status;
  }

private:
  pid_t pid_ = -1;
  int toChild_ = -1, fromChild_ = -1;
};

} // namespace vasktest
