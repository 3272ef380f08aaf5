// The console dialogue, one question at a time: each answer is written only
// once its prompt has appeared, and the answers are checked through the page
// that the program rewrites from them.
#include <unistd.h>

#include <string>
#include <vector>

#include "tests/e2e.h"

namespace {

const char kIncomplete[] = "fin de la saisie avant la derniere reponse";

// The prompts from the first up to |count|, as the program prints them.
std::string Prompts(std::size_t count) {
  std::string out;
  for (std::size_t i = 0; i < count; ++i) out += kPrompts[i];
  return out;
}

class DialogueTest : public SmallTableTest {
 protected:
  void SetUp() override {
    printed_ = Prompts(6);
    Put("page.htm", SmallTable());
    Put("param.txt", "1\nfichier\nf1\nf2\nfm\nfl\n");  // must not be used
  }
  Session Start(const std::vector<std::string>& args = {"page.htm"},
                bool terminal = false) {
    return E2eTest::Start(args, terminal);
  }
  // Waits for prompt |index| and checks that nothing else came since the
  // previous one: the program waits right after each prompt.
  void Prompt(Session* s, std::size_t index) {
    ASSERT_TRUE(WaitFor(s, kPrompts[index])) << Printed(*s);
    EXPECT_EQ(Printed(*s), Prompts(index + 1));
  }
  // Answers every question from |first| on with |answers| (one write each),
  // confirms with Enter and waits for the end.
  RunResult AnswerAll(Session* s, const std::vector<std::string>& answers,
                      std::size_t first = 0) {
    for (std::size_t i = 0; i < answers.size(); ++i) {
      Prompt(s, first + i);
      Send(s, answers[i]);
    }
    EXPECT_TRUE(WaitFor(s, kConfirm)) << Printed(*s);
    Send(s, "\n");
    return Finish(s);
  }
};

// The answers to the questions after the column number that give the
// column most tests add, one line each; |column| first when given.
std::vector<std::string> Answers(const std::string& column = "") {
  std::vector<std::string> answers;
  if (!column.empty()) answers.push_back(column);
  for (const char* field : {kHeading, kIcon1, kIcon2, kMap, kLinkFile}) {
    answers.push_back(field + std::string("\n"));
  }
  return answers;
}

TEST_F(DialogueTest, SixQuestionsInOrder) {
  Session s = Start();
  ExpectRewritten(AnswerAll(&s, Answers("2\n")), 2);
}

// "%d" reading: what follows the number on its line is dropped, and empty
// lines before it keep the question waiting.
TEST_F(DialogueTest, ColumnNumber) {
  Session s = Start();
  Prompt(&s, 0);
  Send(&s, "4 xyz\n");
  ExpectRewritten(AnswerAll(&s, Answers(), 1), 4);

  Put("page.htm", SmallTable());
  Session t = Start();
  Prompt(&t, 0);
  // Blank lines are passed over without a new question: the output up to
  // the next question, checked by AnswerAll, is that question alone.
  Send(&t, "\n");
  Send(&t, " \t\r\n");
  Send(&t, "  3\n");
  ExpectRewritten(AnswerAll(&t, Answers(), 1), 3);
}

TEST_F(DialogueTest, EmptyAnswers) {
  Session s = Start();
  ExpectRewritten(
      AnswerAll(&s, {"1\n", "\n", "video.gif\n", "\n", "carte\n", "\n"}), 1, "",
      "video.gif", "", "carte", "");
}

// Lines sent together with an answer are dropped: the next question waits
// for a line of its own. Had a dropped line been taken, the page would show
// it in place of the answers that follow.
TEST_F(DialogueTest, LinesSentWithAnAnswerAreDropped) {
  Session s = Start();
  Prompt(&s, 0);
  Send(&s, "2\nEntete de trop\n");
  Prompt(&s, 1);
  Send(&s, "Entete\nvideo.gif\nson2.gif\ncarte\nlien.htm\n");
  Prompt(&s, 2);
  // The confirmation reads fresh input too: the "N" here is dropped.
  Send(&s, "v.gif\nN\n");
  ExpectRewritten(AnswerAll(&s, {"son2.gif\n", "carte\n", "lien.htm\nN\n"}, 3),
                  2, "Entete", "v.gif");
}

TEST_F(DialogueTest, CrLfAnswersAtFullLength) {
  const std::string heading(251, 'e'), name(27, 'n');
  Session s = Start();
  ExpectRewritten(AnswerAll(&s, {"1\r\n", heading + "\r\n", name + "\r\n",
                                 name + "\r\n", name + "\r\n", name + "\r\n"}),
                  1, heading, name, name, name, name);
}

TEST_F(DialogueTest, EndOfInputBeforeTheLastAnswer) {
  for (std::size_t answered = 0; answered < 6; ++answered) {
    SCOPED_TRACE(answered);
    Put("page.htm", SmallTable());
    Session s = Start();
    const std::vector<std::string> answers = Answers("2\n");
    for (std::size_t i = 0; i < answered; ++i) {
      Prompt(&s, i);
      Send(&s, answers[i]);
    }
    Prompt(&s, answered);
    CloseInput(&s);
    ExpectRefused(Finish(&s), Prompts(answered + 1) + kIncomplete);
  }
}

TEST_F(DialogueTest, RefusedAnswers) {
  const struct {
    std::size_t question;
    std::string answer;
    std::string message;
  } cases[] = {
      {0, "abc\n", "numero de colonne invalide"},
      {0, "-x\n", "numero de colonne invalide"},
      {0, "2147483648\n", "numero de colonne hors limites"},
      {0, "-2147483649 \n", "numero de colonne hors limites"},
      {1, std::string(252, 'e') + "\n",
       "reponse trop longue (251 caracteres au plus)"},
      {1, std::string(251, 'e') + "\r\r\n",
       "reponse trop longue (251 caracteres au plus)"},
      {3, std::string(28, 'n') + "\r\n",
       "reponse trop longue (27 caracteres au plus)"},
      {5, std::string(5000, 'n') + "\n",
       "reponse trop longue (27 caracteres au plus)"},
  };
  const std::vector<std::string> good = Answers("2\n");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answer.substr(0, 20));
    Put("page.htm", SmallTable());
    Session s = Start();
    for (std::size_t i = 0; i < c.question; ++i) {
      Prompt(&s, i);
      Send(&s, good[i]);
    }
    Prompt(&s, c.question);
    Send(&s, c.answer);
    ExpectRefused(Finish(&s), Prompts(c.question + 1) + c.message);
  }
}

// Only the exact "-1" reads param.txt; every other mode asks at the console.
TEST_F(DialogueTest, ModeArgumentsThatAsk) {
  for (const char* mode : {"0", "-2", "x", "-01", "-1 ", " -1", ""}) {
    SCOPED_TRACE(std::string("[") + mode + "]");
    Session s = Start({"page.htm", mode});
    Prompt(&s, 0);
    CloseInput(&s);
    ExpectRefused(Finish(&s), Prompts(1) + kIncomplete);
  }
}

// Accents go into the page as the answer's bytes from a pipe. Typed at a
// console, they go in as the platform writes text: on Linux the bytes the
// terminal sends (UTF-8 here); on Windows the ANSI code page
// (windows-1252 under Wine), as Windows programs write text files, a
// character it lacks becoming "?". Wine's console takes CR for Enter.
TEST_F(DialogueTest, AccentedAnswer) {
  const std::string typed = "\u00c9couter \u65e5\u672c";
  for (bool terminal : {false, true}) {
    SCOPED_TRACE(terminal ? "console" : "pipe");
    Put("page.htm", SmallTable());
    Session s = Start({"page.htm"}, terminal);
    const std::string enter = terminal && Windows() ? "\r" : "\n";
    const std::vector<std::string> answers = {
        "2" + enter,        typed + enter,   "video.gif" + enter,
        "son2.gif" + enter, "carte" + enter, "lien.htm" + enter};
    for (std::size_t i = 0; i < answers.size(); ++i) {
      ASSERT_TRUE(WaitFor(&s, kPrompts[i])) << Printed(s);
      Send(&s, answers[i]);
    }
    ASSERT_TRUE(WaitFor(&s, kConfirm)) << Printed(s);
    Send(&s, enter);
    RunResult r = Finish(&s);
    EXPECT_EQ(r.status, 0) << r.output;
    const std::string heading = terminal && Windows() ? "\xc9"
                                                        "couter ??"
                                                      : typed;
    EXPECT_EQ(Get("page.htm"),
              SmallTableRewritten(2, heading, kIcon1, kIcon2, kMap, kLinkFile));
  }
}

// At a terminal, lines typed ahead of a question are flushed after each
// answer, not taken as the next answers.
TEST_F(DialogueTest, TypedAheadAtATerminal) {
  if (Windows()) GTEST_SKIP() << "no pseudo-terminal under Wine";
  Session s = Start({"page.htm"}, true);
  Prompt(&s, 0);
  Send(&s, "2\nEntete en avance\n");
  Prompt(&s, 1);
  Send(&s, "Entete\nicone en avance\nautre\n");
  ExpectRewritten(
      AnswerAll(&s, {"video.gif\n", "son2.gif\n", "carte\n", "lien.htm\nN\n"},
                2),
      2);
}

}  // namespace
