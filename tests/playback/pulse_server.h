// A private PulseAudio server for real-time playback tests: its own runtime and home folders,
// one null sink "wltest" (without rewinds, which would drop what the monitor already
// recorded) and a native socket without authentication, plus a recorder of the
// sink's monitor (parec). Both processes are started here and stopped by their process ids.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/test_files.h"

extern char** environ;

namespace player_test {

// A child process with extra environment variables, stdout and stderr sent to files.
class ChildProcess {
 public:
  ChildProcess() = default;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess() { Stop(); }

  // The child gets SIGTERM when the test process dies, so an aborted test (a sanitizer stop,
  // a crash) never leaves a server behind.
  bool Start(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv,
             const std::string& out, const std::string& err) {
    std::vector<std::string> env = extraEnv;
    for (char** e = environ; *e != nullptr; ++e) env.emplace_back(*e);  // extras win: first
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const auto& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    const std::string program = "/usr/bin/" + args[0];
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0) {
      // Only async-signal-safe calls between fork and exec.
      prctl(PR_SET_PDEATHSIG, SIGTERM);
      if (getppid() != parent) _exit(127);
      const int in = open("/dev/null", O_RDONLY);
      const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      if (in < 0 || o < 0 || e < 0) _exit(127);
      dup2(in, 0);
      dup2(o, 1);
      dup2(e, 2);
      execve(program.c_str(), argv.data(), envp.data());
      _exit(127);
    }
    return pid_ > 0;
  }

  bool Running() {
    if (pid_ <= 0) return false;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return false;
    }
    return true;
  }

  // SIGTERM, then SIGKILL after two seconds; always reaps the child.
  void Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    int status = 0;
    while (waitpid(pid_, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > end) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
};

inline std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class PulseServer {
 public:
  // Starts the server; on failure `error` says why (for the skip message).
  bool Start(std::string* error) {
    const std::string run = dir_.File("run");
    const std::string home = dir_.File("home");
    mkdir(run.c_str(), 0700);
    mkdir(home.c_str(), 0700);
    socket_ = run + "/native";
    log_ = dir_.File("pulse.log");
    const std::vector<std::string> args = {
        "pulseaudio",
        "-n",
        "--daemonize=no",
        "--exit-idle-time=-1",
        "--disallow-exit",
        "--system=no",
        "--disallow-module-loading=no",
        "--use-pid-file=no",
        "--log-target=stderr",
        "-L",
        "module-null-sink sink_name=wltest rate=44100 channels=2 norewinds=1",
        "-L",
        "module-native-protocol-unix auth-anonymous=1 socket=" + socket_};
    // Clients never start a server of their own when this one cannot be reached.
    clientConfig_ = dir_.File("client.conf");
    std::ofstream(clientConfig_) << "autospawn = no\n";
    env_ = {"XDG_RUNTIME_DIR=" + run, "HOME=" + home, "PULSE_SERVER=unix:" + socket_,
            "PULSE_CLIENTCONFIG=" + clientConfig_};
    if (!server_.Start(args, env_, dir_.File("pulse.out"), log_)) {
      *error = "pulseaudio could not be started";
      return false;
    }
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < end) {
      if (!server_.Running()) break;
      int status = -1;
      testing_support::RunCommand("PULSE_SERVER=unix:" + socket_ + " PULSE_CLIENTCONFIG=" +
                                      clientConfig_ + " pactl info >/dev/null 2>&1",
                                  &status);
      if (status == 0) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    *error = "pulseaudio did not come up: " + ReadText(log_);
    server_.Stop();
    return false;
  }

  // Records the null sink's monitor as raw 44.1 kHz stereo 16-bit into `path`.
  bool StartRecording(const std::string& path) {
    const std::vector<std::string> args = {
        "parec",          "-d",           "wltest.monitor", "--raw",
        "--format=s16le", "--rate=44100", "--channels=2",   "--latency-msec=20"};
    return recorder_.Start(args, env_, path, dir_.File("parec.log"));
  }
  void StopRecording() { recorder_.Stop(); }

  std::string ServerAddress() const { return "unix:" + socket_; }
  std::string ClientConfig() const { return clientConfig_; }
  std::string File(const std::string& name) const { return dir_.File(name); }

  void Stop() {
    recorder_.Stop();
    server_.Stop();
  }
  ~PulseServer() { Stop(); }

 private:
  testing_support::TempDir dir_;
  ChildProcess server_;
  ChildProcess recorder_;
  std::string socket_;
  std::string log_;
  std::string clientConfig_;
  std::vector<std::string> env_;
};

}  // namespace player_test
