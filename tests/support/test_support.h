#pragma once
// Helpers shared by the test suites: temporary directories, files as bytes,
// and running the built qjsqlexe binary as a user would.

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace qjtest {

// A fresh directory under the system's temporary directory, removed with its
// contents when the object goes away.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Sets an environment variable (or removes it, for a null value) until the
// object goes away, then puts back what was there before.
class ScopedEnv {
 public:
  ScopedEnv(std::string name, const char* value);
  // Only puts back the present value: the test may change the variable.
  explicit ScopedEnv(std::string name);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  bool wasSet_ = false;
  std::string oldValue_;
};

void WriteBytes(const std::string& path, const std::string& bytes);
std::string ReadBytes(const std::string& path);
bool FileExists(const std::string& path);

struct RunResult {
  int exitCode = -1;      // -1 when the process did not exit normally
  int signal = 0;         // the signal that ended it, if any
  std::string out;        // standard output, exact bytes
  std::string err;        // standard error
};

struct RunOptions {
  std::string executable;                  // default: the built qjsqlexe
  std::string workingDirectory;            // default: the current one
  std::map<std::string, std::string> env;  // set on top of a cleaned environment
  std::vector<std::string> unsetEnv;       // removed from the environment
  int timeoutSeconds = 120;
  // Runs in the child between fork and exec (set resource limits, signal
  // dispositions); must only make async-signal-safe calls.
  std::function<void()> beforeExec;
};

// Runs a program with the given argument words and captures everything. The
// locale variables LANG, LC_ALL and LC_* are removed unless set in options.env.
RunResult RunProgram(const std::vector<std::string>& args, const RunOptions& options = {});

// A server that takes connections on a loopback port and never says a word:
// a stopped database server as a client sees it.
class SilentServer {
 public:
  SilentServer();
  ~SilentServer();
  SilentServer(const SilentServer&) = delete;
  SilentServer& operator=(const SilentServer&) = delete;
  const std::string& Port() const { return port_; }

 private:
  int fd_ = -1;
  std::string port_;
};

// The path of the built qjsqlexe binary.
std::string BinaryPath();

// Copies the built binary into dir (as dir/qjsqlexe) so that a query
// definition file can be laid beside it; returns the copy's path.
std::string InstallBinary(const std::string& dir);

}  // namespace qjtest
