// Running the real program in the tests: a child process in a folder of its
// own, with its standard input and output on pipes or on a pseudo-terminal.
// POSIX only; the program itself may be the Windows build under Wine.
#ifndef BRANTIX_TESTS_PROCESS_H_
#define BRANTIX_TESTS_PROCESS_H_

#include <sys/types.h>

#include <string>
#include <vector>

/// How to start the program under test, from the environment of the test:
/// BRANTIX_PROGRAM is its path, BRANTIX_RUNNER an optional program that runs
/// it (wine for brantix.exe).
struct ProgramUnderTest {
  std::vector<std::string> command;  ///< Runner (if any) and program.
  bool windows = false;              ///< Runs under Wine.
};

/// Reads the program to test from the environment.
ProgramUnderTest FindProgramUnderTest();

/// The result of a finished run.
struct RunResult {
  int status = -1000;  ///< Exit status (0..255), or -signal.
  std::string output;  ///< Standard output, CR LF of Wine's console as LF.
};

/// Options of a run.
struct RunOptions {
  std::string folder;              ///< Working folder of the child.
  std::string input;               ///< Written to its standard input.
  bool close_input = true;         ///< Then closed.
  bool close_output = false;       ///< Its standard output read by no one.
  long long file_size_limit = -1;  ///< RLIMIT_FSIZE when >= 0.
  /// A command that starts the program, before it (setpriv, nohup...).
  std::vector<std::string> prefix;
};

/// Runs the program with |args| and waits for it to end.
RunResult RunProgram(const std::vector<std::string>& args,
                     const RunOptions& options);

/// A program running with its standard input and output connected to the
/// test, through pipes or through a pseudo-terminal.
struct Session {
  pid_t pid = -1;
  int to_child = -1;    ///< Its standard input (the terminal's master).
  int from_child = -1;  ///< Its standard output (the same master on a tty).
  bool windows = false;
  bool terminal = false;  ///< On a pseudo-terminal.
  std::string output;     ///< Everything read so far.
  std::size_t seen = 0;   ///< Part of |output| already matched by WaitFor.
  /// What started it, kept to start it once more when Wine failed to.
  std::vector<std::string> command;
  std::string folder;
  long long file_size_limit = -1;
  std::string sent;            ///< Everything sent to its standard input.
  bool input_closed = false;   ///< And then closed.
  bool retried = false;        ///< Already started a second time.
  int from_child_errors = -1;  ///< Its standard error, read under Wine.
  std::string errors;          ///< Everything read there so far.
  int wait_status = -1;        ///< Its status once collected, else -1.
};

/// What the program has printed so far, each CR LF of Wine's console as LF
/// (the output as it is when the program runs natively). On a terminal
/// under Wine, what its console shows: the console's own cursor escapes
/// left out (a move to the right as blanks), no CR, and no line end where
/// a line of 80 characters wraps. Wine's console echoes what is typed
/// there, which is then part of it.
std::string Printed(const Session& session);

/// Starts the program; |terminal| puts it on a pseudo-terminal, and
/// |prefix| is a command that starts it. Under Wine a program now and then
/// fails to start: it ends with status 1 having printed nothing, on its
/// standard output or its standard error. Such a run, and only such a run,
/// is started once more, with what was sent to it so far, and a line on
/// the test's standard error says so; any other end counts.
Session StartSession(const std::vector<std::string>& args,
                     const std::string& folder, bool terminal = false,
                     const std::vector<std::string>& prefix = {});

/// Reads output until |text| appears after what earlier calls matched.
/// Returns false when the program ends or 20 seconds pass first.
bool WaitFor(Session* session, const std::string& text);

/// Sends |bytes| to the program's standard input in one write.
void Send(Session* session, const std::string& bytes);

/// Closes the program's standard input (end of input).
void CloseInput(Session* session);

/// Reads the rest of the output and waits for the program to end.
RunResult Finish(Session* session);

#endif  // BRANTIX_TESTS_PROCESS_H_
