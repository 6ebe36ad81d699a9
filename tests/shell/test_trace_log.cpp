// The trace log of one session through the program's main paths: the water rows of the reader,
// the set-up after a read, a finite-element calculation with the sensitivity option, the
// display of a model with topography, the electrode-position Jacobian and the display of a
// spectral cylinder model.
#include "window_fixture.h"

#include "display/display_commands.h"
#include "support/files.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class TraceLog : public WindowProgram {
  protected:
    void SetUp() override {
        WindowProgram::SetUp();
        ASSERT_TRUE(start());
        answer("dialog TraceDiaBox click 1242 ok");
        command(1240);
        ASSERT_EQ(Printtrace.active, 1);
        take_output();
    }
    void read(const std::string& relative) {
        answer("file " + std::string(VELDARIN_SOURCE_DIR) + "/" + relative);
        command(101);
        ASSERT_EQ(Modelsettings.model_read, 1) << output();
    }
    void display() {
        for (const std::string& name : display_dialogs(Modelsettings))
            answer("dialog " + name + " ok");
        command(111);
    }
    // The log written since the last call.
    std::string log() {
        const std::string all = test_support::read_file(home + "kwoptrace.txt");
        const std::string since = all.substr(seen_);
        seen_ = all.size();
        return since;
    }
    std::size_t seen_ = 0;
};

TEST_F(TraceLog, EveryPathWritesItsLines) {
    struct Step {
        const char* what;
        std::vector<std::string> lines;
    };
    read("tests/model_reader/fixtures/water_multi_layer.mod");
    read("tests/model_reader/fixtures/water_one_layer.mod");
    const Step water{"water rows",
                     {"\nfvalue   0.80 layer 1 depth   0.10\n", "\nResistivity water layer code ",
                      "\nMesh layer 1 depths   0.00   0.20 mid    0.10 layers   0.50   0.80\n"}};
    const std::string reading = log();
    for (const std::string& line : water.lines)
        EXPECT_NE(reading.find(line), std::string::npos) << water.what << ": " << line;

    read("examples/hill.mod");
    answer("dialog JacobCalDiaBox click 5282 ok");
    command(5280);
    command(130);
    ASSERT_EQ(Modelsettings.data_ready, 1) << output();
    display();
    command(5288);
    const Step block{"block model",
                     {"\nset models initial\n", "\nset grid initial\n", "\nset xscale\n",
                      "\nset tank\nend set tank\n", "\nget datadir\n", "\nConductivity\n",
                      "\nConductivity IP\n", "\nStart model c cal fem 1 sparsefem 0\n",
                      "\nFinite-element potentials 31\n  1   2 ", "\nBlock 1 ",
                      "\nCapacitence matrix shift values\n    1 ", " sum=", "\nTotal sum="}};
    const std::string calculation = log();
    for (const std::string& line : block.lines)
        EXPECT_NE(calculation.find(line), std::string::npos) << block.what << ": " << line;

    read("tests/forward/fixtures/spectral_cylinder.mod");
    command(130);
    ASSERT_EQ(Modelsettings.data_ready, 1) << output();
    display();
    const std::string cylinder = log();
    for (const char* line : {"\nIP xscale ", "\nTau xscale "})
        EXPECT_NE(cylinder.find(line), std::string::npos) << line;
    EXPECT_TRUE(answered()) << output();
}

} // namespace
