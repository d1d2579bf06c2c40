// Running the sorane executable in tests: arguments, folder, environment and a
// time limit; standard output and standard error captured, standard input empty.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "test_files.h"

extern char** environ;

namespace sorane {

struct ProcessRun {
  int status = -1;  // exit status; -1 when ended by a signal or the time limit
  int signal = 0;   // the signal that ended it
  double seconds = 0;
  std::string out, err;
};

// Runs `exe` with `args` in `dir`. `env` changes the environment: "NAME=value"
// sets, "NAME" removes. `while_running` (optional) is called once with the
// child's pid. The child is killed after `limit` seconds.
inline ProcessRun RunProcess(const std::string& exe, const std::vector<std::string>& args,
                             const std::filesystem::path& dir,
                             const std::vector<std::string>& env = {}, int limit = 30,
                             const std::function<void(pid_t)>& while_running = {}) {
  char tmpl[] = "/tmp/sorane-run-XXXXXX";
  std::filesystem::path capture = mkdtemp(tmpl);
  auto name_of = [](const std::string& s) { return s.substr(0, s.find('=')); };
  std::vector<std::string> envs;
  for (char** e = environ; *e; ++e) {
    std::string entry = *e;
    bool changed = false;
    for (const std::string& c : env) changed = changed || name_of(c) == name_of(entry);
    if (!changed) envs.push_back(entry);
  }
  for (const std::string& c : env)
    if (c.find('=') != std::string::npos) envs.push_back(c);
  std::vector<std::string> all = {exe};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv, envp;
  for (std::string& a : all) argv.push_back(a.data());
  for (std::string& a : envs) envp.push_back(a.data());
  argv.push_back(nullptr);
  envp.push_back(nullptr);
  std::string out_file = capture / "out", err_file = capture / "err";
  auto start = std::chrono::steady_clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    if (chdir(dir.c_str()) != 0) _exit(99);
    // As started from a terminal, even when the tests run with these ignored.
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
    int in = open("/dev/null", O_RDONLY);
    int o = open(out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int e = open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(in, 0);
    dup2(o, 1);
    dup2(e, 2);
    execve(exe.c_str(), argv.data(), envp.data());
    _exit(98);
  }
  if (while_running) while_running(pid);
  auto deadline = start + std::chrono::seconds(limit);
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ProcessRun r;
  r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (WIFEXITED(status)) r.status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) r.signal = WTERMSIG(status);
  r.out = ReadAll(out_file);
  r.err = ReadAll(err_file);
  std::filesystem::remove_all(capture);
  return r;
}

}  // namespace sorane
