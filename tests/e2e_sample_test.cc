// The sample page of the repository, rewritten from its param.txt and from
// the same answers typed at the console: both must give the expected page,
// written out by hand, byte for byte.
#include <string>
#include <vector>

#include "tests/e2e.h"

namespace {

std::string Sample(const std::string& name) {
  return ReadBytes(std::string(BRANTIX_SAMPLES_DIR) + "/" + name);
}

class SampleTest : public E2eTest {
 protected:
  void SetUp() override {
    page_ = Sample("liste.htm");
    param_ = Sample("param.txt");
    expected_ = Sample("liste.htm.attendu");
    ASSERT_FALSE(page_.empty());
    ASSERT_EQ(page_.find('\r'), std::string::npos) << "the sample has LF ends";
    Put("liste.htm", page_);
    Put("param.txt", param_);
  }
  void ExpectDone(const RunResult& r, const std::string& output) {
    EXPECT_EQ(r.output, output);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(Get("liste.htm"), expected_);
    EXPECT_EQ(Get("liste.htm.orig"), LoneLfToCrLf(page_));
  }
  std::string page_, param_, expected_;
};

TEST_F(SampleTest, FromTheParameterFile) {
  ExpectDone(Run({"liste.htm", "-1"}, "\n"), kConfirm);
}

TEST_F(SampleTest, FromTheDialogue) {
  Session s = Start({"liste.htm"});
  std::string::size_type from = 0;
  std::string output;
  for (const char* prompt : kPrompts) {
    ASSERT_TRUE(WaitFor(&s, prompt));
    std::string::size_type end = param_.find('\n', from) + 1;
    Send(&s, param_.substr(from, end - from));
    from = end;
    output += prompt;
  }
  ASSERT_TRUE(WaitFor(&s, kConfirm));
  Send(&s, "o\n");
  ExpectDone(Finish(&s), output + kConfirm);
}

}  // namespace
