// The settings file: defaults, the order of the written lines, values too long for their
// field, what the program does not own, and files that must not be read or replaced.
#include "shell/settings_file.h"

#include "platform/sys/sys.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class SettingsFile : public ::testing::Test {
  protected:
    std::string dir; // with trailing '/'
    void SetUp() override {
        char tmpl[] = "/tmp/vd_settings_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = std::string(tmpl) + "/";
    }
    void TearDown() override {
        std::remove((dir + "veldarin.ini").c_str());
        rmdir(dir.c_str());
    }
    void put(const std::string& text) {
        std::ofstream(dir + "veldarin.ini", std::ios::binary) << text;
    }
    std::string get() {
        std::ifstream in(dir + "veldarin.ini", std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
};

TEST_F(SettingsFile, MissingFileGivesDefaultsAndProgramFolders) {
    shell::SettingsValues v;
    v.paint = "old.exe";
    shell::read_settings_file(dir, v);
    EXPECT_EQ(v.paint, "xdg-open");
    EXPECT_EQ(v.editor, "xdg-open");
    EXPECT_EQ(v.extension, "*.mod");
    EXPECT_EQ(v.input, dir);
    EXPECT_EQ(v.output, dir); // never a bare separator at exit

    ASSERT_EQ(shell::write_settings_file(dir, v), "");
    EXPECT_EQ(get(), "[programs]\npaint=xdg-open\neditor=xdg-open\n[files]\n"
                     "extension=*.mod\noutput=" +
                         dir + "\ninput=" + dir + "\n");
}

TEST_F(SettingsFile, WindowsProgramsOfEarlierFilesReadAsTheDesktopOpener) {
    put("[programs]\npaint=pbrush.exe\neditor=notepad.exe\n");
    shell::SettingsValues v;
    EXPECT_EQ(shell::read_settings_file(dir, v), "");
    EXPECT_EQ(v.paint, "xdg-open");
    EXPECT_EQ(v.editor, "xdg-open");
    put("[programs]\npaint=gimp\neditor=mousepad\n");
    shell::read_settings_file(dir, v);
    EXPECT_EQ(v.paint, "gimp");
    EXPECT_EQ(v.editor, "mousepad");
}

TEST_F(SettingsFile, PartialFileKeepsDefaultsAndTheFilesOwnLines) {
    put("[files]\r\ninput=/data/models\r\n");
    shell::SettingsValues v;
    EXPECT_EQ(shell::read_settings_file(dir, v), "");
    EXPECT_EQ(v.paint, "xdg-open");
    EXPECT_EQ(v.editor, "xdg-open");
    EXPECT_EQ(v.extension, "*.mod");
    EXPECT_EQ(v.input, "/data/models");
    EXPECT_EQ(v.output, dir);

    v.extension = "*.txt";
    ASSERT_EQ(shell::write_settings_file(dir, v), "");
    EXPECT_EQ(get(), "[files]\r\ninput=/data/models/\r\nextension=*.txt\r\noutput=" + dir +
                         "\r\n[programs]\r\npaint=xdg-open\r\neditor=xdg-open\r\n");

    // What was written reads back the same (the separator already there is not doubled).
    shell::SettingsValues back;
    shell::read_settings_file(dir, back);
    EXPECT_EQ(back.extension, "*.txt");
    EXPECT_EQ(back.input, "/data/models/");
    ASSERT_EQ(shell::write_settings_file(dir, back), "");
    EXPECT_NE(get().find("input=/data/models/\r\n"), std::string::npos);
}

// Sections, keys and comments of other programs or of the user stay as they were.
TEST_F(SettingsFile, LinesTheProgramDoesNotOwnAreKept) {
    const std::string before = "; my notes\n[programs]\npaint=gimp\n; keep this\nviewer=eog\n\n"
                               "[window]\nwidth=800\n[files]\ninput=/in/\n";
    put(before);
    shell::SettingsValues v;
    shell::read_settings_file(dir, v);
    v.output = "/out";
    ASSERT_EQ(shell::write_settings_file(dir, v), "");
    EXPECT_EQ(get(), "; my notes\n[programs]\npaint=gimp\n; keep this\nviewer=eog\n"
                     "editor=xdg-open\n\n[window]\nwidth=800\n[files]\ninput=/in/\n"
                     "extension=*.mod\noutput=/out/\n");
}

TEST_F(SettingsFile, ValuesLongerThanTheFieldAreRefusedNotCut) {
    const std::string longer(300, 'p');
    put("[programs]\npaint=" + longer +
        "\neditor=ed\n[files]\nextension=*.dat\noutput=\n"
        "input=/in/\n");
    shell::SettingsValues v;
    EXPECT_EQ(shell::read_settings_file(dir, v),
              "The settings file\n" + dir +
                  "veldarin.ini\nThe value of paint is longer than 254 characters; the default "
                  "is used.\n");
    EXPECT_EQ(v.paint, "xdg-open");
    EXPECT_EQ(v.editor, "ed");
    EXPECT_EQ(v.extension, "*.dat");
    EXPECT_EQ(v.output, dir); // an empty folder is the program folder
    EXPECT_EQ(v.input, "/in/");

    // On writing, a value too long for the field is refused and the file keeps its line.
    v.paint = std::string(254, 'q'); // fits
    v.input = "/" + std::string(260, 'f');
    EXPECT_EQ(shell::write_settings_file(dir, v),
              "The settings file\n" + dir +
                  "veldarin.ini\nThe value of input is longer than 254 characters and is not "
                  "written.\n");
    EXPECT_NE(get().find("paint=" + std::string(254, 'q') + "\n"), std::string::npos);
    EXPECT_NE(get().find("input=/in/\n"), std::string::npos);
}

TEST_F(SettingsFile, UnwritableFileIsReportedAndAFullDiskKeepsTheOldFile) {
    shell::SettingsValues v;
    EXPECT_EQ(shell::write_settings_file(dir + "no/such/folder/", v),
              "The settings file\n" + dir +
                  "no/such/folder/veldarin.ini\ncannot be written: No such file or directory.");

    put("[files]\ninput=/in/\n");
    v.input = "/elsewhere/";
    sys::set_save_failure(10);
    EXPECT_NE(shell::write_settings_file(dir, v).find("cannot be written: No space left on device"),
              std::string::npos);
    sys::set_save_failure(-1);
    EXPECT_EQ(get(), "[files]\ninput=/in/\n");
}

// A FIFO in place of the file would block its reader for ever, and a huge file would be read
// whole: neither is read or replaced, and the defaults are used.
TEST_F(SettingsFile, FifoAndHugeFileAreNeitherReadNorReplaced) {
    ASSERT_EQ(::mkfifo((dir + "veldarin.ini").c_str(), 0600), 0);
    shell::SettingsValues v;
    EXPECT_EQ(shell::read_settings_file(dir, v),
              "The settings file\n" + dir +
                  "veldarin.ini\ncannot be used: it is not a regular file.\nThe default "
                  "settings are used and the file is left as it is.");
    EXPECT_EQ(v.paint, "xdg-open");
    EXPECT_NE(shell::write_settings_file(dir, v).find("cannot be written: it is not a regular"),
              std::string::npos);
    struct stat st;
    ASSERT_EQ(::stat((dir + "veldarin.ini").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    std::remove((dir + "veldarin.ini").c_str());

    const std::string huge = "[programs]\npaint=x\n" + std::string(2 << 20, ';') + "\n";
    put(huge);
    EXPECT_NE(shell::read_settings_file(dir, v).find("cannot be used: it is larger than 1 MB"),
              std::string::npos);
    EXPECT_EQ(v.paint, "xdg-open");
    EXPECT_NE(shell::write_settings_file(dir, v), "");
    EXPECT_EQ(get().size(), huge.size());
}

} // namespace
