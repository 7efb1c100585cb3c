// The command line, the files and the messages, run on the built binary.

#include "driver/driver.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "support/binary_runner.h"

namespace {

namespace fs = std::filesystem;

const char kBanner[] =
    "Vimbrel.exe - Program for adding trace functionality to FLMs.\n"
    "               The Vimbrel developers.\n"
    " Usage:\n"
    "   vimbrel.exe inputfile.flm - the flm file to add trace statements to.\n"
    " Output is in inputfile.fln and a temporary file is generated: "
    "inputfile.tmp.\n";

// What follows the banner where the options are asked for or wrong.
const char kOptionsHeading[] =
    " Options, before the file name (-- ends them):\n";

std::string SuccessMessages(const std::string& input, const std::string& final_output) {
  return "Finished first pass at processing " + input + ".\n"
         "Finished second pass. Saved new flasm to " + final_output + ".\n"
         "Shutting down...\n";
}

int FilesIn(const std::string& directory) {
  int count = 0;
  for ([[maybe_unused]] auto& entry : fs::directory_iterator(directory))
    ++count;
  return count;
}

TEST(FileNamesTest, FirstFlmOfTheFileNameIsReplaced) {
  FileNames names;
  ASSERT_TRUE(derive_file_names("a.flm.flm", names));
  EXPECT_EQ(names.final_output, "a.fln.flm");
  EXPECT_EQ(names.intermediate, "a.tmp.flm");
  ASSERT_TRUE(derive_file_names("x.flmz", names));
  EXPECT_EQ(names.final_output, "x.flnz");
  EXPECT_EQ(names.intermediate, "x.tmpz");
  ASSERT_TRUE(derive_file_names(".flm", names));
  EXPECT_EQ(names.final_output, ".fln");
  EXPECT_EQ(names.intermediate, ".tmp");
}

TEST(FileNamesTest, DirectoryPartIsKept) {
  FileNames names;
  ASSERT_TRUE(derive_file_names("maps.flm/movie.flm", names));
  EXPECT_EQ(names.input, "maps.flm/movie.flm");
  EXPECT_EQ(names.final_output, "maps.flm/movie.fln");
  EXPECT_EQ(names.intermediate, "maps.flm/movie.tmp");
  EXPECT_FALSE(derive_file_names("maps.flm/movie", names));
  EXPECT_FALSE(derive_file_names("movie.FLM", names));
}

TEST(FileNamesTest, WindowsPathsSeparateFoldersWithEitherSlash) {
  FileNames names;
  ASSERT_TRUE(derive_file_names("x.flm\\movie.flm", names, true));
  EXPECT_EQ(names.final_output, "x.flm\\movie.fln");
  EXPECT_EQ(names.intermediate, "x.flm\\movie.tmp");
  ASSERT_TRUE(derive_file_names("C:\\games.flm\\movie.flm", names, true));
  EXPECT_EQ(names.final_output, "C:\\games.flm\\movie.fln");
  ASSERT_TRUE(derive_file_names("C:movie.flm", names, true));
  EXPECT_EQ(names.final_output, "C:movie.fln");
  ASSERT_TRUE(derive_file_names("\\\\server.flm\\share\\movie.flm", names, true));
  EXPECT_EQ(names.final_output, "\\\\server.flm\\share\\movie.fln");
  EXPECT_FALSE(derive_file_names("maps.flm\\movie", names, true));
  EXPECT_FALSE(derive_file_names("C:.flm\\movie", names, true));
  // Elsewhere a backslash is a character of the name.
  ASSERT_TRUE(derive_file_names("x.flm\\movie.flm", names, false));
  EXPECT_EQ(names.final_output, "x.fln\\movie.flm");
}

// A function, and a pool for the tracer.
const char kTracedFunction[] =
    "  frame 0\n"
    "    constants 'go'\n"
    "    function go ()\n"
    "    end // of function\n";

TEST(CommandLineTest, NoArgumentShowsTheBanner) {
  TempDir dir;
  RunResult run = run_vimbrel(dir.path(), {});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.standard_error, kBanner);
  EXPECT_EQ(run.standard_output, "");
  EXPECT_EQ(FilesIn(dir.path()), 0);
}

TEST(CommandLineTest, ArgumentWithoutFlmIsAUsageError) {
  TempDir dir;
  write_file(dir.file("movie.FLM"), "stop\n");
  for (const char* argument : {"movie.FLM", "maps.flm/movie"}) {
    RunResult run = run_vimbrel(dir.path(), {argument});
    EXPECT_EQ(run.status, 2) << argument;
    EXPECT_EQ(run.standard_error, kBanner) << argument;
  }
  EXPECT_EQ(FilesIn(dir.path()), 1);
}

// The options' lines themselves are the help's to word; each option is named.
void ExpectBannerThenOptions(const std::string& text) {
  std::string banner_and_heading = std::string(kBanner) + kOptionsHeading;
  EXPECT_EQ(text.substr(0, banner_and_heading.size()), banner_and_heading);
  for (const char* option :
       {"--clock=getTimer", "--clock=date", "--collect-from-start", "--only",
        "--skip", "--flush-every", "--frames", "--events", "--list-functions",
        "--help"})
    EXPECT_NE(text.find(option, banner_and_heading.size()), std::string::npos)
        << option;
}

TEST(CommandLineTest, HelpGoesToStandardOutput) {
  TempDir dir;
  for (const char* help : {"--help", "-h"}) {
    RunResult run = run_vimbrel(dir.path(), {"--clock=date", help, "a.flm"});
    EXPECT_EQ(run.status, 0);
    ExpectBannerThenOptions(run.standard_output);
    EXPECT_EQ(run.standard_error, "");
  }
  EXPECT_EQ(FilesIn(dir.path()), 0);
}

TEST(CommandLineTest, UnknownOptionOrClockIsNamed) {
  TempDir dir;
  write_file(dir.file("a.flm"), "stop\n");
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"--verbose", "a.flm"}, "Unknown option --verbose.\n"},
      {{"-x.flm"}, "Unknown option -x.flm.\n"},
      {{"--clock=gettimer", "a.flm"},
       "Unknown clock gettimer: the clocks are getTimer and date.\n"},
      {{"--clock", "", "a.flm"},
       "Unknown clock : the clocks are getTimer and date.\n"},
      {{"--clock"}, "--clock needs a clock\n"},
      {{"--only"}, "--only needs a pattern\n"},
      {{"--list-functions", "--skip"}, "--skip needs a pattern\n"},
      {{"--flush-every"}, "--flush-every needs a number of records\n"},
      {{"--flush-every=5x", "a.flm"},
       "--flush-every takes a whole number of records, not 5x.\n"},
      {{"--flush-every", "2147483648", "a.flm"},
       "--flush-every takes a whole number of records, not 2147483648.\n"},
  };
  for (const auto& [arguments, message] : cases) {
    RunResult run = run_vimbrel(dir.path(), arguments);
    EXPECT_EQ(run.status, 2) << arguments[0];
    EXPECT_EQ(run.standard_error.substr(0, message.size()), message);
    ExpectBannerThenOptions(run.standard_error.substr(message.size()));
    EXPECT_EQ(run.standard_output, "");
  }
  EXPECT_EQ(FilesIn(dir.path()), 1);
}

TEST(CommandLineTest, OptionsWithoutAFileShowTheBanner) {
  TempDir dir;
  RunResult run = run_vimbrel(dir.path(), {"--clock=date", "--collect-from-start"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.standard_error, kBanner);
  EXPECT_EQ(run.standard_output, "");
}

TEST(CommandLineTest, DoubleDashEndsTheOptions) {
  TempDir dir;
  write_file(dir.file("--x.flm"), "stop\n");
  RunResult run = run_vimbrel(dir.path(), {"--clock=date", "--", "--x.flm"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.standard_error, SuccessMessages("--x.flm", "--x.fln"));
  EXPECT_EQ(read_file(dir.file("--x.fln")), "stop\n");
}

TEST(CommandLineTest, SecondArgumentIsIgnored) {
  TempDir dir;
  write_file(dir.file("a.flm"), "stop\n");
  RunResult run = run_vimbrel(dir.path(), {"a.flm", "b.flm", "--bogus"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.standard_error, SuccessMessages("a.flm", "a.fln"));
  EXPECT_FALSE(file_exists(dir.file("b.fln")));
}

TEST(CommandLineTest, OurOptionsAfterTheNameAreWarnedOfAndIgnored) {
  TempDir dir;
  write_file(dir.file("a.flm"), kTracedFunction);
  RunResult run = run_vimbrel(
      dir.path(), {"a.flm", "--only", "Game.*", "--clock=date", "--bogus", "-"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.standard_error,
            "--only after the file name is ignored: options go before it\n"
            "--clock=date after the file name is ignored: options go before it\n" +
                SuccessMessages("a.flm", "a.fln"));
  // Traced as without them: go is traced, with getTimer.
  EXPECT_NE(read_file(dir.file("a.fln")).find("push 'go'"), std::string::npos);
  EXPECT_EQ(read_file(dir.file("a.fln")).find("'Date'"), std::string::npos);
}

TEST(CommandLineTest, NamesDerivedFromTheFirstFlm) {
  TempDir dir;
  write_file(dir.file("a.flm.flm"), "stop\n");
  write_file(dir.file("x.flmz"), "stop\n");
  EXPECT_EQ(run_vimbrel(dir.path(), {"a.flm.flm"}).status, 0);
  EXPECT_EQ(read_file(dir.file("a.fln.flm")), "stop\n");
  EXPECT_TRUE(file_exists(dir.file("a.tmp.flm")));
  EXPECT_EQ(run_vimbrel(dir.path(), {"x.flmz"}).status, 0);
  EXPECT_EQ(read_file(dir.file("x.flnz")), "stop\n");
  EXPECT_TRUE(file_exists(dir.file("x.tmpz")));
}

TEST(CommandLineTest, OutputStaysBesideTheInput) {
  TempDir dir;
  fs::create_directory(dir.file("maps.flm"));
  write_file(dir.file("maps.flm/movie.flm"), "stop\n");
  RunResult run = run_vimbrel(dir.path(), {"maps.flm/movie.flm"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.standard_error,
            SuccessMessages("maps.flm/movie.flm", "maps.flm/movie.fln"));
  EXPECT_EQ(read_file(dir.file("maps.flm/movie.fln")), "stop\n");
  EXPECT_TRUE(file_exists(dir.file("maps.flm/movie.tmp")));
  EXPECT_EQ(FilesIn(dir.path()), 1);
}

const char kFunctions[] =
    "  frame 0\n"
    "    constants 'go'\n"
    "    function go ()\n"
    "    end // of function\n"
    "    function  ()\n"
    "    end // of function\n"
    "    function go ()\n"
    "    end // of function\n"
    "    push 'it\\'s'\n"
    "    function  ()\n"
    "    end // of function\n";

TEST(ListFunctionsTest, NamesAsRecordsShowThemInTheOrderOfTheirFirstEntry) {
  TempDir dir;
  write_file(dir.file("movie.flm"), kFunctions);
  RunResult run = run_vimbrel(dir.path(), {"--list-functions", "movie.flm"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.standard_output, "2 go\n1 anon0\n1 it's\n");
  EXPECT_EQ(run.standard_error, "");
  EXPECT_EQ(FilesIn(dir.path()), 1);

  run = run_vimbrel(dir.path(),
                    {"--skip", "anon*", "--list-functions", "movie.flm"});
  EXPECT_EQ(run.standard_output, "2 go\n1 it's\n");
  EXPECT_EQ(FilesIn(dir.path()), 1);

  // The frame script comes first: its entry follows the frame's pool.
  run = run_vimbrel(dir.path(), {"--events", "--list-functions", "movie.flm"});
  EXPECT_EQ(run.standard_output, "1 frame 0\n2 go\n1 anon0\n1 it's\n");
}

TEST(ListFunctionsTest, PatternThatMatchesNoFunctionIsWarnedOf) {
  TempDir dir;
  write_file(dir.file("movie.flm"), kFunctions);
  RunResult run = run_vimbrel(
      dir.path(), {"--only", "Gmae.*", "--skip=go", "--list-functions", "movie.flm"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.standard_output, "");
  EXPECT_EQ(run.standard_error, "--only 'Gmae.*' matches no function\n");

  // A run that writes its files goes on after the warning.
  run = run_vimbrel(dir.path(), {"--skip", "Go", "movie.flm"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.standard_error,
            "Finished first pass at processing movie.flm.\n"
            "--skip 'Go' matches no function\n"
            "Finished second pass. Saved new flasm to movie.fln.\n"
            "Shutting down...\n");
  EXPECT_NE(read_file(dir.file("movie.fln")).find("push 'go'"),
            std::string::npos);
}

TEST(FileErrorTest, MissingInput) {
  TempDir dir;
  RunResult run = run_vimbrel(dir.path(), {"nothere.flm"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.standard_error, "Could not open nothere.flm. Exiting...\n");
  EXPECT_EQ(FilesIn(dir.path()), 0);
}

TEST(FileErrorTest, DirectoryIsNoInput) {
  TempDir dir;
  fs::create_directory(dir.file("movie.flm"));
  RunResult run = run_vimbrel(dir.path(), {"movie.flm"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.standard_error, "Could not open movie.flm. Exiting...\n");
  EXPECT_EQ(FilesIn(dir.path()), 1);
}

TEST(FileErrorTest, IntermediateNameTakenByADirectory) {
  TempDir dir;
  write_file(dir.file("movie.flm"), "stop\n");
  fs::create_directory(dir.file("movie.tmp"));
  RunResult run = run_vimbrel(dir.path(), {"movie.flm"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.standard_error, "Could not create a temporary output file.\n");
  EXPECT_FALSE(file_exists(dir.file("movie.fln")));
}

TEST(FileErrorTest, FinalNameTakenByADirectory) {
  TempDir dir;
  write_file(dir.file("movie.flm"), "stop\n");
  fs::create_directory(dir.file("movie.fln"));
  RunResult run = run_vimbrel(dir.path(), {"movie.flm"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.standard_error,
            "Finished first pass at processing movie.flm.\n"
            "Could not open the final output file.\n");
  EXPECT_EQ(read_file(dir.file("movie.tmp")), "stop\n");
}

TEST(RunTest, EmptyInputGivesEmptyFiles) {
  TempDir dir;
  write_file(dir.file("empty.flm"), "");
  RunResult run = run_vimbrel(dir.path(), {"empty.flm"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.standard_error, SuccessMessages("empty.flm", "empty.fln"));
  EXPECT_EQ(run.standard_output, "");
  ASSERT_TRUE(file_exists(dir.file("empty.tmp")));
  ASSERT_TRUE(file_exists(dir.file("empty.fln")));
  EXPECT_EQ(read_file(dir.file("empty.tmp")), "");
  EXPECT_EQ(read_file(dir.file("empty.fln")), "");
}

// /dev/full accepts the open and fails every write, as a full disk does.
TEST(WriteFailureTest, IntermediateOnAFullDevice) {
  TempDir dir;
  write_file(dir.file("movie.flm"), "frame 0\nfunction f ()\nend\n");
  fs::create_symlink("/dev/full", dir.file("movie.tmp"));
  RunResult run = run_vimbrel(dir.path(), {"movie.flm"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.standard_error,
            "Finished first pass at processing movie.flm.\n"
            "Could not write movie.tmp.\n");
  EXPECT_FALSE(file_exists(dir.file("movie.fln")));
}

TEST(WriteFailureTest, FinalOnAFullDevice) {
  TempDir dir;
  write_file(dir.file("movie.flm"), "stop\n");
  fs::create_symlink("/dev/full", dir.file("movie.fln"));
  RunResult run = run_vimbrel(dir.path(), {"movie.flm"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.standard_error,
            "Finished first pass at processing movie.flm.\n"
            "Could not write movie.fln.\n");
}

TEST(WriteFailureTest, FileSizeLimitDuringPassOne) {
  TempDir dir;
  std::string input;
  for (int i = 0; i < 40000; ++i)
    input += "    push 'x'\n    trace\n";
  write_file(dir.file("big.flm"), input);
  RunResult run =
      run_vimbrel(dir.path(), {"big.flm"}, "trap '' XFSZ; ulimit -f 256;");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.standard_error,
            "Finished first pass at processing big.flm.\n"
            "Could not write big.tmp.\n");
  EXPECT_EQ(read_file(dir.file("big.flm")), input);
}

}  // namespace
