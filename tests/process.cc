#include "tests/process.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cctype>
#include <cstring>
#include <stdexcept>

ProgramUnderTest FindProgramUnderTest() {
  ProgramUnderTest program;
  const char* runner = getenv("BRANTIX_RUNNER");
  const char* path = getenv("BRANTIX_PROGRAM");
  if (path == nullptr || *path == '\0') {
    throw std::runtime_error("BRANTIX_PROGRAM is not set");
  }
  if (runner != nullptr && *runner != '\0') {
    program.command.push_back(runner);
    program.windows = true;
  }
  program.command.push_back(path);
  return program;
}

namespace {

std::vector<std::string> FullCommand(const std::vector<std::string>& args,
                                     const std::vector<std::string>& prefix) {
  std::vector<std::string> command = prefix;
  for (const std::string& part : FindProgramUnderTest().command) {
    command.push_back(part);
  }
  command.insert(command.end(), args.begin(), args.end());
  return command;
}

// In the child: move to |folder|, apply the limit, and start the program.
[[noreturn]] void ExecInChild(const std::vector<std::string>& command,
                              const std::string& folder,
                              long long file_size_limit) {
  if (!folder.empty() && chdir(folder.c_str()) != 0) _exit(120);
  if (file_size_limit >= 0) {
    struct rlimit limit;
    limit.rlim_cur = limit.rlim_max = static_cast<rlim_t>(file_size_limit);
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  signal(SIGPIPE, SIG_DFL);
  std::vector<char*> argv;
  for (const std::string& a : command)
    argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  execvp(argv[0], argv.data());
  _exit(127);
}

// Reads what is available within |timeout_ms|. Returns false at the end.
bool ReadSome(Session* s, int timeout_ms) {
  struct pollfd p = {s->from_child, POLLIN, 0};
  int ready = poll(&p, 1, timeout_ms);
  if (ready <= 0) return ready == 0;
  char buffer[4096];
  ssize_t got = read(s->from_child, buffer, sizeof buffer);
  if (got < 0 && errno == EINTR) return true;
  if (got <= 0) return false;  // EIO on a terminal whose child has gone.
  s->output.append(buffer, static_cast<std::size_t>(got));
  return true;
}

long long NowMs() {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1000LL + t.tv_nsec / 1000000;
}

// Starts |command| with its standard input and output on pipes.
Session SpawnOnPipes(const std::vector<std::string>& command,
                     const std::string& folder, long long file_size_limit) {
  int in[2], out[2];
  if (pipe(in) != 0 || pipe(out) != 0) throw std::runtime_error("pipe failed");
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    close(in[0]);
    close(in[1]);
    close(out[0]);
    close(out[1]);
    ExecInChild(command, folder, file_size_limit);
  }
  close(in[0]);
  close(out[1]);
  Session s;
  s.pid = pid;
  s.to_child = in[1];
  s.from_child = out[0];
  s.windows = FindProgramUnderTest().windows;
  return s;
}

}  // namespace

namespace {

// What Wine's console shows of |raw|, the bytes it sends to a terminal.
std::string ShownOnWineConsole(const std::string& raw) {
  std::string out;
  std::size_t column = 0;  // Characters on the current line.
  for (std::size_t i = 0; i < raw.size(); ++i) {
    const char c = raw[i];
    if (c == '\x1b' && i + 1 < raw.size() && raw[i + 1] == '[') {
      std::size_t end = i + 2;
      while (end < raw.size() &&
             !std::isalpha(static_cast<unsigned char>(raw[end]))) {
        ++end;
      }
      if (end < raw.size() && raw[end] == 'C') {
        const std::string count = raw.substr(i + 2, end - i - 2);
        const std::size_t n = count.empty() ? 1 : std::stoul(count);
        out.append(n, ' ');
        column += n;
      }
      i = end;
    } else if (c == '\r') {
      continue;
    } else if (c == '\n') {
      if (column != 80) out += c;
      column = 0;
    } else {
      out += c;
      if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++column;
    }
  }
  return out;
}

}  // namespace

std::string Printed(const Session& s) {
  if (!s.windows) return s.output;
  if (s.terminal) return ShownOnWineConsole(s.output);
  std::string out;
  for (std::size_t i = 0; i < s.output.size(); ++i) {
    if (s.output[i] == '\r' && i + 1 < s.output.size() &&
        s.output[i + 1] == '\n') {
      continue;
    }
    out += s.output[i];
  }
  return out;
}

Session StartSession(const std::vector<std::string>& args,
                     const std::string& folder, bool terminal,
                     const std::vector<std::string>& prefix) {
  signal(SIGPIPE, SIG_IGN);
  Session s;
  s.windows = FindProgramUnderTest().windows;
  std::vector<std::string> command = FullCommand(args, prefix);
  if (terminal) {
    int master = -1;
    struct termios settings;
    std::memset(&settings, 0, sizeof settings);
    cfmakeraw(&settings);
    // Canonical input as at a real console, but no echo and no output
    // translation, so that the test sees exactly what the program writes.
    settings.c_lflag = ICANON;
    settings.c_iflag = 0;
    settings.c_oflag = 0;
    settings.c_cflag = CS8 | CREAD;
    settings.c_cc[VEOF] = 4;
    settings.c_cc[VMIN] = 1;
    pid_t pid = forkpty(&master, nullptr, &settings, nullptr);
    if (pid < 0) throw std::runtime_error("forkpty failed");
    if (pid == 0) ExecInChild(command, folder, -1);
    s.pid = pid;
    s.to_child = s.from_child = master;
    s.terminal = true;
    return s;
  }
  return SpawnOnPipes(command, folder, -1);
}

bool WaitFor(Session* s, const std::string& text) {
  long long deadline = NowMs() + 20000;
  for (;;) {
    std::string now = Printed(*s);
    std::string::size_type at = now.find(text, s->seen);
    if (at != std::string::npos) {
      s->seen = at + text.size();
      return true;
    }
    long long left = deadline - NowMs();
    if (left <= 0 || !ReadSome(s, static_cast<int>(left))) return false;
  }
}

void Send(Session* s, const std::string& bytes) {
  ssize_t put = write(s->to_child, bytes.data(), bytes.size());
  if (put != static_cast<ssize_t>(bytes.size())) {
    throw std::runtime_error("short write to the program");
  }
}

void CloseInput(Session* s) {
  if (s->to_child == s->from_child) {
    Send(s, "\x04");  // A terminal ends input with its EOF character.
    return;
  }
  close(s->to_child);
  s->to_child = -1;
}

RunResult Finish(Session* s) {
  // Reads until the end of the output (on a terminal, until the child has
  // gone), then collects the status; a program that hangs is killed.
  long long deadline = NowMs() + 30000;
  while (s->from_child >= 0 && NowMs() < deadline && ReadSome(s, 1000)) {
  }
  if (NowMs() >= deadline) kill(s->pid, SIGKILL);
  int status = 0;
  waitpid(s->pid, &status, 0);
  RunResult result;
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
  result.output = Printed(*s);
  if (s->to_child >= 0 && s->to_child != s->from_child) close(s->to_child);
  if (s->from_child >= 0) close(s->from_child);
  s->to_child = s->from_child = -1;
  return result;
}

RunResult RunProgram(const std::vector<std::string>& args,
                     const RunOptions& options) {
  signal(SIGPIPE, SIG_IGN);
  Session s = SpawnOnPipes(FullCommand(args, options.prefix), options.folder,
                           options.file_size_limit);
  if (options.close_output) {
    close(s.from_child);
    s.from_child = -1;
  }
  if (!options.input.empty()) {
    // The program may stop before reading it all: a short write is fine.
    ssize_t ignored =
        write(s.to_child, options.input.data(), options.input.size());
    (void)ignored;
  }
  if (options.close_input) CloseInput(&s);
  return Finish(&s);
}
