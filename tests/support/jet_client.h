#pragma once
// A Jet client of the suite in a process of its own (jet_client_main.cpp), for the tests of
// Vask beside the suite: its entry in the .ldb and its user lock held until it goes.
#include "child_process.h"
#include "test_support.h"

namespace vasktest {

class JetClient {
public:
  JetClient(const std::string &ldb, const std::string &computer, const std::string &user)
      : process_((binaryDir() / "tests" / "jet_client").string(), {ldb, computer, user}) {
    std::string first = process_.readLine();
    if (first.rfind("slot ", 0) != 0)
      throw std::runtime_error("jet_client did not start: " + first);
    slot_ = std::stoi(first.substr(5));
  }

  int slot() const { return slot_; }
  // Whether the client could take the write lock of a page now.
  bool canWritePage(unsigned page) {
    process_.writeLine("scrivi " + std::to_string(page));
    return process_.readLine() == "ok";
  }
  // Ends the client: its locks go with it, its entry stays.
  void quit() {
    process_.closeInput();
    process_.wait();
  }

private:
  ChildProcess process_;
  int slot_ = -1;
};

} // namespace vasktest
