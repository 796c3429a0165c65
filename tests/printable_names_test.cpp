// File names reach the terminal and JSON safely: control bytes and bytes that are not UTF-8 are
// escaped in text, and JSON stays valid UTF-8 while keeping a name's exact bytes.
#include <gtest/gtest.h>

#include "core/printable_text.h"
#include "info/json_writer.h"
#ifndef _WIN32
#include "tests/support/run_process.h"
#endif
#include "tests/support/sample_model.h"
#include "tests/support/temp_dir.h"

namespace durvane {
namespace {

using namespace fixture;

TEST(PrintableText, EscapesWhatWouldNotPrintAsItselfAndNothingElse) {
  struct Case {
    std::string in, out;
    bool utf8;
  };
  const Case cases[] = {
      {"ship 1.opt", "ship 1.opt", true},
      {"caf\xC3\xA9\xE2\x82\xAC\xF0\x9F\x9A\x80", "caf\xC3\xA9\xE2\x82\xAC\xF0\x9F\x9A\x80", true},
      {"a\x1b]0;x\x07z", "a\\x1b]0;x\\x07z", true},  // an escape sequence
      {"line\nbreak\ttab\x7f", "line\\x0abreak\\x09tab\\x7f", true},
      {"c1\xC2\x9B"
       "2J",
       "c1\\xc2\\x9b2J", true},                           // CSI as a C1 control
      {"latin1 \xE9t\xE9", "latin1 \\xe9t\\xe9", false},  // not UTF-8
      {"cut \xE2\x82", "cut \\xe2\\x82", false},          // a truncated sequence
      {"overlong \xC0\xAF", "overlong \\xc0\\xaf", false},
      {"overlong3 \xE0\x80\xAF", "overlong3 \\xe0\\x80\\xaf", false},
      {"overlong4 \xF0\x80\x80\xAF", "overlong4 \\xf0\\x80\\x80\\xaf", false},
      {"surrogate \xED\xA0\x80", "surrogate \\xed\\xa0\\x80", false},
      {"back\\slash", "back\\slash", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PrintableText(c.in), c.out) << c.out;
    EXPECT_EQ(IsValidUtf8(c.in), c.utf8) << c.out;
  }
}

// JSON strings: every C1 control (U+0080 to U+009F) escaped, the first character past them
// and other text as it is, bytes that are not UTF-8 as U+FFFD.
TEST(JsonText, EscapesControlsAndReplacesWhatIsNotUtf8) {
  struct Case {
    std::string in, out;
  };
  const Case cases[] = {
      {"\xC2\x80", "\\u0080"},
      {"\xC2\x85", "\\u0085"},
      {"\xC2\x9F", "\\u009f"},
      {"\xC2\xA0", "\xC2\xA0"},
      {"q\"b\\\n\t\x01", "q\\\"b\\\\\\n\\t\\u0001"},
      {"\xE0\x80\xAF", "\\ufffd\\ufffd\\ufffd"},
      {"\xE9t\xE9", "\\ufffdt\\ufffd"},
  };
  for (const Case& c : cases) {
    info::JsonWriter json;
    json.String(c.in);
    EXPECT_EQ(json.str(), "\"" + c.out + "\"") << PrintableText(c.in);
  }
}

#ifndef _WIN32
// The tool is started as a child process, through POSIX calls.
// Runs the tool on a sample file named `name` and checks that no raw control byte or invalid
// UTF-8 reaches stdout or stderr, and that --json names the file exactly.
TEST(PrintableText, ToolEscapesFileNamesInEveryMessage) {
  TempDir dir;
  const std::string name = "ev\x1b[7mil\xE9";
  const std::string opt = (dir / (name + ".opt")).string();
  const std::string prj = (dir / (name + ".prj")).string();
  WriteBytes(opt, SampleModel().bytes);
  WriteBytes(prj, TextBytes("not a PRJ file"));
  const std::string durvane = DURVANE_BIN_DIR "/durvane";
  const ProcessResult runs[] = {
      RunProcess(durvane, {"convert", "-o", dir.path().string(), opt}),
      RunProcess(durvane, {"info", opt, prj}),
      RunProcess(durvane, {"merge", prj, prj}),
      RunProcess(durvane, {"convert", "-o", dir.path().string(), prj}),
  };
  for (const ProcessResult& r : runs) {
    for (const std::string& text : {r.out, r.err}) {
      EXPECT_EQ(text.find('\x1b'), std::string::npos) << text;
      EXPECT_TRUE(IsValidUtf8(text)) << text;
    }
    EXPECT_NE((r.out + r.err).find("ev\\x1b[7mil\\xe9"), std::string::npos) << r.out << r.err;
  }
  const ProcessResult json = RunProcess(durvane, {"info", "--json", opt});
  EXPECT_TRUE(IsValidUtf8(json.out));
  EXPECT_NE(json.out.find("\"file_hex\":\"" + HexBytes(opt) + "\""), std::string::npos) << json.out;
}
#endif

}  // namespace
}  // namespace durvane
