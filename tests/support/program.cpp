#include "support/program.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <algorithm>
#include <filesystem>
#include <stdexcept>

extern char** environ;

namespace kavrel::testing {

bool OnlyPagesOfNoSite(const ProgramResult& result) {
  std::vector<std::string> errors = Lines(result.err);
  if (result.exitCode != 3 || errors.empty()) return false;
  for (const std::string& line : errors) {
    if (!line.ends_with(": neither a transponder file nor a page of a known site")) return false;
  }
  return true;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t lf = text.find('\n', start);
    if (lf == std::string::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, lf - start));
    start = lf + 1;
  }
  return lines;
}

InstalledProgram::InstalledProgram() {
  scratch_.MakeDir("bin");
  scratch_.MakeDir("work");
  std::filesystem::copy_file(KAVREL_BINARY, BinaryPath());
  std::filesystem::permissions(BinaryPath(), std::filesystem::perms::owner_all);
}

void InstalledProgram::WriteConfig(const std::string& text) const { scratch_.Write("bin/kavrel.ini", text); }

void InstalledProgram::WriteWork(const std::string& name, const std::string& bytes) const {
  scratch_.Write("work/" + name, bytes);
}

std::string InstalledProgram::ReadWork(const std::string& name) const { return scratch_.Read("work/" + name); }

bool InstalledProgram::WorkExists(const std::string& name) const { return scratch_.Exists("work/" + name); }

std::vector<std::string> InstalledProgram::WorkNames() const {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(WorkDir())) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

ProgramResult InstalledProgram::Run(const std::vector<std::string>& arguments, int timeoutSeconds) const {
  return RunProcess(BinaryPath(), arguments, WorkDir(), timeoutSeconds);
}

BackgroundRun InstalledProgram::Start(const std::vector<std::string>& arguments) const {
  return BackgroundRun(BinaryPath(), arguments, WorkDir());
}

BackgroundRun::BackgroundRun(const std::string& program, const std::vector<std::string>& arguments,
                             const std::string& workingDirectory) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  pid_ = ::fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
    ::dup2(null, 2);
    if (::chdir(workingDirectory.c_str()) != 0) ::_exit(126);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
}

bool BackgroundRun::Running() {
  if (pid_ > 0 && ::waitpid(pid_, nullptr, WNOHANG) == pid_) pid_ = -1;
  return pid_ > 0;
}

bool BackgroundRun::Kill() {
  if (!Running()) return false;
  ::kill(pid_, SIGKILL);
  ::waitpid(pid_, nullptr, 0);
  pid_ = -1;
  return true;
}

ProgramResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& workingDirectory, int timeoutSeconds,
                         const Environment& changes) {
  // The child's environment is made before the fork: a child of a process
  // with threads may only call what is safe after fork.
  std::vector<std::string> entries;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    std::string text(*entry);
    if (!changes.contains(text.substr(0, text.find('=')))) entries.push_back(std::move(text));
  }
  for (const auto& [name, value] : changes) {
    if (value) entries.push_back(name + "=" + *value);
  }
  std::vector<char*> environment;
  for (std::string& entry : entries) environment.push_back(entry.data());
  environment.push_back(nullptr);
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  int outPipe[2], errPipe[2];
  if (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0) {
    throw std::runtime_error("pipe failed");
  }
  pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    ::setpgid(0, 0);  // a group of its own, so that a time-out ends all it started
    ::dup2(outPipe[1], 1);
    ::dup2(errPipe[1], 2);
    if (::chdir(workingDirectory.c_str()) != 0) ::_exit(126);
    ::execve(program.c_str(), argv.data(), environment.data());
    ::_exit(127);
  }
  ::close(outPipe[1]);
  ::close(errPipe[1]);
  ProgramResult result;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  struct pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open = 2;
  bool timedOut = false;
  while (open > 0) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      timedOut = true;
      break;
    }
    int ready = ::poll(fds, 2, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      char buffer[65536];
      ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
      if (got > 0) {
        sinks[i]->append(buffer, static_cast<size_t>(got));
      } else {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
  if (timedOut) ::kill(-pid, SIGKILL);
  for (auto& fd : fds) {
    if (fd.fd >= 0) ::close(fd.fd);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (timedOut) throw std::runtime_error("program timed out: " + program);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

std::string TestDataPath(const std::string& name) { return std::string(KAVREL_SOURCE_DIR) + "/tests/data/" + name; }

}  // namespace kavrel::testing
