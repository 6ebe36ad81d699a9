// veldarin-script as a program: options, exit codes, standard output and the transcript file.
#include "platform/sys/sys.h"
#include "support/files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/wait.h>

namespace {

const std::string program = VELDARIN_BINARY_DIR "/app/veldarin-script";

using test_support::read_file;

class Program : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_FALSE(dir_.empty()); }

    /// Runs the program with `args` (script text, if any, in dir_/s.txt); returns its exit code
    /// and fills out_ and err_.
    int run(const std::string& args, const std::string& script = "") {
        if (!script.empty()) std::ofstream(dir_ + "/s.txt") << script;
        std::string cmd = "'" + program + "' " + args + " >'" + dir_ + "/out' 2>'" + dir_ + "/err'";
        int status = std::system(cmd.c_str());
        out_ = read_file(dir_ + "/out");
        err_ = read_file(dir_ + "/err");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    test_support::TempDir temp_{"vd_ui_program"};
    std::string dir_ = temp_.folder(), out_, err_;
};

TEST_F(Program, RunsAScript) {
    std::string s =
        "--script '" + dir_ + "/s.txt' --home '" + dir_ + "' --transcript '" + dir_ + "/t.txt'";
    EXPECT_EQ(run(s, "start screen 800 600 memory 256\nclose\n"), 0) << err_;
    EXPECT_EQ(run(s, "# the first paint tells the electrode limit of the machine\n"
                     "start screen 1024 768 memory 512\n"
                     "expect box \"[Program Information]*Maximum number of electrodes is 161.\"\n"
                     "close\n"),
              0)
        << err_;
    const std::string box = "BOX [Program Information] 2D Resistivity and IP Forward Modelling";
    EXPECT_EQ(out_.rfind(box, 0), 0u) << out_;
    std::string transcript = read_file(dir_ + "/t.txt");
    EXPECT_NE(transcript.find(box), std::string::npos) << transcript;
}

TEST_F(Program, FailuresExitWithTwo) {
    std::string s = "--script '" + dir_ + "/s.txt' --home '" + dir_ + "'";
    EXPECT_EQ(run(s, "start\nmenu 101\nbogus line\n"), 2);
    EXPECT_NE(err_.find("s.txt:3:"), std::string::npos) << err_;
    EXPECT_EQ(out_, ""); // nothing ran
    EXPECT_EQ(run(s, "menu 101\nexpect box \"Calculations completed*\"\n"), 2);
    EXPECT_EQ(run(s, "box yes\nclose\n"), 2);
    EXPECT_NE(err_.find("s.txt:1:"), std::string::npos) << err_;
}

TEST_F(Program, BadCallsExitWithTwo) {
    const struct {
        const char* args;
        const char* message;
    } cases[] = {
        {"", "--batch MODEL.mod [--out DIR] [--home DIR]"},
        {"--script", "needs a value"},
        {"--frobnicate", "unknown argument"},
        {"--script /no/such/script.txt", "cannot read"},
        {"--script /dev/null --home /no/such/folder", "not a folder"},
        {"--batch model.mod --out /tmp", "no such model file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        EXPECT_EQ(run(c.args), 2);
        EXPECT_NE(err_.find(c.message), std::string::npos) << err_;
    }
}

// Help finds the page the build puts beside the programs, whatever the program folder is
// (--home, or VELDARIN_HOME).
TEST_F(Program, HelpPageBesideTheProgramsWhateverTheProgramFolder) {
    const std::string page = VELDARIN_BINARY_DIR "/app/Veldarin.html";
    ASSERT_TRUE(sys::file_exists(page));
    const std::string script = "start\nmenu 146\nclose\n";
    for (const std::string& args :
         {"--script '" + dir_ + "/s.txt' --home '" + dir_ + "'", "--script '" + dir_ + "/s.txt'"}) {
        SCOPED_TRACE(args);
        setenv("VELDARIN_HOME", dir_.c_str(), 1);
        EXPECT_EQ(run(args, script), 0) << err_;
        unsetenv("VELDARIN_HOME");
        EXPECT_NE(out_.find("HELP " + page + "\n"), std::string::npos) << out_;
        EXPECT_EQ(out_.find("cannot be shown"), std::string::npos) << out_;
    }
}

TEST_F(Program, SampleScriptsRun) {
    const char* samples[] = {"start_and_close.txt", "nonlinear_ip.txt", "edit_block.txt"};
    for (const char* name : samples) {
        SCOPED_TRACE(name);
        EXPECT_EQ(run(std::string("--script '") + VELDARIN_SOURCE_DIR + "/examples/scripts/" +
                      name + "' --home '" + dir_ + "'"),
                  0)
            << err_;
    }
    // The block edit saves the data of the edited model and the model itself.
    EXPECT_TRUE(sys::file_exists(dir_ + "/edit_block.dat"));
    EXPECT_NE(read_file(dir_ + "/edit_block.mod").find("1111111100000000"), std::string::npos);
}

} // namespace
