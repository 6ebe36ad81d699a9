// The settings file: defaults, the 254-character cut and the order of the written lines.
#include "shell/settings_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
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
    EXPECT_EQ(v.paint, "pbrush.exe");
    EXPECT_EQ(v.editor, "notepad.exe");
    EXPECT_EQ(v.extension, "*.mod");
    EXPECT_EQ(v.input, dir);
    EXPECT_EQ(v.output, dir); // never a bare separator at exit

    ASSERT_TRUE(shell::write_settings_file(dir, v));
    EXPECT_EQ(get(), "[programs]\npaint=pbrush.exe\neditor=notepad.exe\n[files]\n"
                     "extension=*.mod\noutput=" +
                         dir + "\ninput=" + dir + "\n");
}

TEST_F(SettingsFile, PartialFileKeepsDefaultsAndWritesOutputBeforeInput) {
    put("[files]\r\ninput=/data/models\r\n");
    shell::SettingsValues v;
    shell::read_settings_file(dir, v);
    EXPECT_EQ(v.paint, "pbrush.exe");
    EXPECT_EQ(v.editor, "notepad.exe");
    EXPECT_EQ(v.extension, "*.mod");
    EXPECT_EQ(v.input, "/data/models");
    EXPECT_EQ(v.output, dir);

    v.extension = "*.txt";
    ASSERT_TRUE(shell::write_settings_file(dir, v));
    EXPECT_EQ(get(), "[programs]\npaint=pbrush.exe\neditor=notepad.exe\n[files]\n"
                     "extension=*.txt\noutput=" +
                         dir + "\ninput=/data/models/\n");

    // What was written reads back the same (the separator already there is not doubled).
    shell::SettingsValues back;
    shell::read_settings_file(dir, back);
    EXPECT_EQ(back.extension, "*.txt");
    EXPECT_EQ(back.input, "/data/models/");
    ASSERT_TRUE(shell::write_settings_file(dir, back));
    EXPECT_NE(get().find("input=/data/models/\n"), std::string::npos);
}

TEST_F(SettingsFile, LongValuesAreCutTo254Characters) {
    const std::string longer(300, 'p');
    put("[programs]\npaint=" + longer +
        "\neditor=ed\n[files]\nextension=*.dat\noutput=\n"
        "input=/in/\n");
    shell::SettingsValues v;
    shell::read_settings_file(dir, v);
    EXPECT_EQ(v.paint, longer.substr(0, 254));
    EXPECT_EQ(v.editor, "ed");
    EXPECT_EQ(v.extension, "*.dat");
    EXPECT_EQ(v.output, dir); // an empty folder is the program folder
    EXPECT_EQ(v.input, "/in/");
}

TEST_F(SettingsFile, UnwritableFileReportsFailure) {
    shell::SettingsValues v;
    EXPECT_FALSE(shell::write_settings_file(dir + "no/such/folder/", v));
}

} // namespace
