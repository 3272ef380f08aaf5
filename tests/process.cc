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

#include <algorithm>
#include <cctype>
#include <cstdio>
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

long long NowMs() {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1000LL + t.tv_nsec / 1000000;
}

// Starts s->command: on a pseudo-terminal, or with its standard input and
// output on pipes, and under Wine its standard error on a pipe of its own,
// so that a run that printed nothing there either can be told.
void Spawn(Session* s) {
  if (s->terminal) {
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
    if (pid == 0) ExecInChild(s->command, s->folder, -1);
    s->pid = pid;
    s->to_child = s->from_child = master;
    return;
  }
  int in[2], out[2], err[2] = {-1, -1};
  if (pipe(in) != 0 || pipe(out) != 0 || (s->windows && pipe(err) != 0)) {
    throw std::runtime_error("pipe failed");
  }
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    if (err[1] >= 0) dup2(err[1], 2);
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) {
      if (fd >= 0) close(fd);
    }
    ExecInChild(s->command, s->folder, s->file_size_limit);
  }
  close(in[0]);
  close(out[1]);
  if (err[1] >= 0) close(err[1]);
  s->pid = pid;
  s->to_child = in[1];
  s->from_child = out[0];
  s->from_child_errors = err[0];
}

// Reads from the standard error (under Wine). Returns false at its end.
bool ReadErrors(Session* s) {
  char buffer[4096];
  ssize_t got = read(s->from_child_errors, buffer, sizeof buffer);
  if (got < 0 && errno == EINTR) return true;
  if (got <= 0) {
    close(s->from_child_errors);
    s->from_child_errors = -1;
    return false;
  }
  s->errors.append(buffer, static_cast<std::size_t>(got));
  return true;
}

// Reads what is available within |timeout_ms| on the standard output, and
// on the standard error when it is read. Returns false at the output's end.
bool ReadSome(Session* s, int timeout_ms) {
  struct pollfd p[2] = {{s->from_child, POLLIN, 0},
                        {s->from_child_errors, POLLIN, 0}};
  int ready = poll(p, s->from_child_errors >= 0 ? 2 : 1, timeout_ms);
  if (ready <= 0) return ready == 0;
  if (s->from_child_errors >= 0 && p[1].revents != 0) ReadErrors(s);
  if (p[0].revents == 0) return true;
  char buffer[4096];
  ssize_t got = read(s->from_child, buffer, sizeof buffer);
  if (got < 0 && errno == EINTR) return true;
  if (got <= 0) return false;  // EIO on a terminal whose child has gone.
  s->output.append(buffer, static_cast<std::size_t>(got));
  return true;
}

// Collects the child's status, killing it after |wait_ms|, and then what
// it wrote on its standard error: once it has gone, that is all there.
void Collect(Session* s, long long wait_ms) {
  if (s->wait_status == -1) {
    const long long deadline = NowMs() + wait_ms;
    int status = 0;
    // It is ending as a rule: look again at once, then less and less often.
    for (useconds_t pause = 50; waitpid(s->pid, &status, WNOHANG) == 0;
         pause = std::min<useconds_t>(pause * 2, 10000)) {
      if (NowMs() >= deadline) {
        kill(s->pid, SIGKILL);
        waitpid(s->pid, &status, 0);
        break;
      }
      usleep(pause);
    }
    s->wait_status = status;
  }
  while (s->from_child_errors >= 0) {
    struct pollfd p = {s->from_child_errors, POLLIN, 0};
    if (poll(&p, 1, 0) <= 0 || !ReadErrors(s)) break;
  }
}

void CloseFds(Session* s) {
  if (s->to_child >= 0 && s->to_child != s->from_child) close(s->to_child);
  if (s->from_child >= 0) close(s->from_child);
  if (s->from_child_errors >= 0) close(s->from_child_errors);
  s->to_child = s->from_child = s->from_child_errors = -1;
}

// Once the output has ended: a run under Wine that ended with status 1
// having printed nothing is a program that Wine failed to start. It is
// started once more, given what the first was given, and the log says so.
bool StartedAgain(Session* s) {
  if (!s->windows || s->retried || !s->output.empty()) return false;
  Collect(s, 30000);
  if (!WIFEXITED(s->wait_status) || WEXITSTATUS(s->wait_status) != 1 ||
      !s->errors.empty()) {
    return false;
  }
  std::string line = "retried once:";
  for (const std::string& part : s->command) line += " " + part;
  std::fprintf(stderr,
               "%s\n  (ended with status 1 having printed nothing, as when "
               "Wine fails to start a program)\n",
               line.c_str());
  CloseFds(s);
  s->retried = true;
  s->wait_status = -1;
  Spawn(s);
  // As in RunProgram, a short write is fine: the program may stop first.
  ssize_t ignored = write(s->to_child, s->sent.data(), s->sent.size());
  (void)ignored;
  if (s->input_closed) {
    close(s->to_child);
    s->to_child = -1;
  }
  return true;
}

Session StartWith(const std::vector<std::string>& command,
                  const std::string& folder, bool terminal,
                  long long file_size_limit) {
  signal(SIGPIPE, SIG_IGN);
  Session s;
  s.windows = FindProgramUnderTest().windows;
  s.terminal = terminal;
  s.command = command;
  s.folder = folder;
  s.file_size_limit = file_size_limit;
  Spawn(&s);
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
  return StartWith(FullCommand(args, prefix), folder, terminal, -1);
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
    if (left <= 0) return false;
    if (ReadSome(s, static_cast<int>(left))) continue;
    if (!StartedAgain(s)) return false;
    deadline = NowMs() + 20000;
  }
}

void Send(Session* s, const std::string& bytes) {
  s->sent += bytes;
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
  s->input_closed = true;
}

RunResult Finish(Session* s) {
  // Reads until the end of the output (on a terminal, until the child has
  // gone), then collects the status; a program that hangs is killed.
  long long deadline = NowMs() + 30000;
  while (s->from_child >= 0 && NowMs() < deadline) {
    if (ReadSome(s, 1000)) continue;
    if (!StartedAgain(s)) break;
    deadline = NowMs() + 30000;
  }
  Collect(s, NowMs() < deadline ? 30000 : 0);
  const int status = s->wait_status;
  RunResult result;
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
  result.output = Printed(*s);
  // What the program wrote on its standard error stays in the test's log.
  std::fwrite(s->errors.data(), 1, s->errors.size(), stderr);
  CloseFds(s);
  return result;
}

RunResult RunProgram(const std::vector<std::string>& args,
                     const RunOptions& options) {
  Session s = StartWith(FullCommand(args, options.prefix), options.folder,
                        false, options.file_size_limit);
  if (options.close_output) {
    close(s.from_child);
    s.from_child = -1;
  }
  if (!options.input.empty()) {
    // The program may stop before reading it all: a short write is fine.
    s.sent = options.input;
    ssize_t ignored =
        write(s.to_child, options.input.data(), options.input.size());
    (void)ignored;
  }
  if (options.close_input) CloseInput(&s);
  return Finish(&s);
}
