// The sensitivity commands in the window program: the option dialog and its damping bounds,
// the prerequisite boxes, a whole run (calculation with the sensitivity option, the block
// sensitivity of a changed array type, the table and the plot choice), and the 3-D dialog.
#include "model/globals.h"
#include "model/services.h"
#include "platform/sys/sys.h"
#include "platform/ui/ui.h"
#include "sensitivity/sensitivity_3d.h"
#include "sensitivity/sensitivity_commands.h"
#include "shell/main_window.h"
#include "support/files.h"
#include "support/session.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include <cstdint>
#include <string>

namespace {

class SensitivityCommands : public test_support::ProgramTest {
  protected:
    SensitivityCommands() : ProgramTest("vd_senscmd") {}
    void SetUp() override {
        ProgramTest::SetUp();
        backend.set_screen(1024, 768); // as the script's start line does
        shell::Machine machine{1024, 768, std::uint64_t(512) << 20};
        ASSERT_TRUE(shell::start_program(machine));
        idle();
        take_output();
    }
    void TearDown() override {
        shell::end_program();
        ProgramTest::TearDown();
    }
    int lines(const std::string& text, const std::string& prefix) const {
        int n = 0;
        for (std::size_t p = 0; (p = text.find('\n', p)) != std::string::npos; ++p)
            n += text.compare(p + 1, prefix.size(), prefix) == 0;
        return n;
    }
};

TEST_F(SensitivityCommands, DampingIsBoundedAndCancelKeepsIt) {
    for (const char* typed : {"0.1", "0.000001", "0.02"}) {
        answer(std::string("dialog JacobCalDiaBox set 5285 ") + typed + " ok");
        command(5280);
        EXPECT_FLOAT_EQ(Modelsettings.res_damping, float(std::atof(typed))) << typed;
    }
    // Text, or a number outside the bounds, is no damping factor: the dialog names the field
    // and stays open.
    for (const char* typed : {"abc", "0.5", "0"}) {
        take_output();
        answer(std::string("dialog JacobCalDiaBox set 5285 ") + typed + " ok set 5285 0.03 ok");
        command(5280);
        EXPECT_EQ(take_output(),
                  "BOX [Message] The damping factor must be a number from 0.000001 to 0.1.\n")
            << typed;
        EXPECT_FLOAT_EQ(Modelsettings.res_damping, 0.03f) << typed;
    }
    answer("dialog JacobCalDiaBox set 5285 0.02 ok");
    command(5280);
    Modelsettings.fem = 0;
    answer("dialog JacobCalDiaBox click 5282 click 5284 set 5285 0.05 cancel");
    command(5280);
    EXPECT_FLOAT_EQ(Modelsettings.res_damping, 0.02f);
    EXPECT_EQ(Modelsettings.jacob, 0);
    EXPECT_EQ(Modelsettings.calc_resolution, 0);
    answer("dialog JacobCalDiaBox click 5282 ok");
    command(5280);
    EXPECT_EQ(Modelsettings.jacob, 1);
    EXPECT_EQ(Modelsettings.fem, 1);
    EXPECT_EQ(Modelsettings.sparsefem, 0);
    EXPECT_EQ(Mainviewstate.view_code, 5280);
    EXPECT_TRUE(answered());
}

TEST_F(SensitivityCommands, WholeRunWithAChangedArray) {
    const std::string prerequisite_data =
        "BEEP\nBOX [Message] You need to select a model and\\ncalculate the potentials.\n";
    command(5270);
    EXPECT_EQ(take_output(), prerequisite_data);
    EXPECT_EQ(Mainviewstate.view_code, 5270);
    command(5290);
    EXPECT_EQ(take_output(), prerequisite_data);

    answer("file " + std::string(VELDARIN_SOURCE_DIR) + "/examples/homogeneous_wenner.mod");
    command(101);
    command(130);
    take_output();
    command(5270);
    EXPECT_EQ(take_output(),
              "BEEP\nBOX [Message] You need to select the option to\\ninclude calculation "
              "of the sensitivity\\nvalues when calculating the potentials.\n");

    answer("dialog JacobCalDiaBox click 5282 click 5284 ok");
    command(5280);
    command(130);
    ASSERT_EQ(Modelsettings.sens_potentials_ready, 1);
    const int wenner_data = Modelsettings.ndata;
    take_output();

    // Dipole-dipole (dialog code 3): its own data, rebuilt before the sensitivities.
    answer("dialog ArrayTypeDiaBox2 click 203 ok");
    answer("box yes");
    answer("file " + home + "blocks.xyz");
    answer("box yes");
    answer("dialog SensTypeDiaBox click 5293 ok");
    answer("dialog ContourChoiceBox ok");
    command(5270);
    EXPECT_EQ(Modelsettings.array_type, 5);
    EXPECT_NE(Modelsettings.ndata, wenner_data);
    EXPECT_EQ(Modelsettings.sens_type, 2);
    EXPECT_EQ(Modelsettings.sens_values_ready, 1);
    const std::string table = test_support::read_file(home + "blocks.xyz");
    EXPECT_EQ(lines(table, "       1 "), 2); // the first block and the first datum
    EXPECT_NE(table.find("Block Resolution"), std::string::npos);
    EXPECT_EQ(lines(table, "  "), Modelsettings.sens_nblocks + Modelsettings.ndata);
    float mean = 0.0f;
    for (int b = 0; b < Modelsettings.sens_nblocks; ++b) {
        EXPECT_GE(Modelsettings.resolution[b], 0.0f);
        EXPECT_LE(Modelsettings.resolution[b], 1.0f);
        mean += Modelsettings.resolution[b] / float(Modelsettings.sens_nblocks);
    }
    EXPECT_GT(mean, 0.0f);

    // The plot of the model resolution, drawn in the window and kept on the canvas.
    const std::string plot = take_texts();
    EXPECT_NE(plot.find(" - Sensitivity Plot\n"), std::string::npos) << plot;
    EXPECT_NE(plot.find("\nModel resolution\n"), std::string::npos) << plot;

    answer("dialog SensTypeDiaBox click 5291 ok");
    answer("dialog ContourChoiceBox ok");
    command(5290);
    EXPECT_NE(take_texts().find("\nIntegrated sensitivity\n"), std::string::npos);
    EXPECT_EQ(Modelsettings.sens_type, 0);
    EXPECT_EQ(Mainviewstate.view_code, 5290);
    EXPECT_TRUE(answered()) << output();
}

// The electrode-position Jacobian from the menu: the calculation with the sensitivity option
// leaves every work file it reads, and a model read afterwards (here with data) needs a
// calculation of its own.
TEST_F(SensitivityCommands, ElectrodeJacobianAfterACalculation) {
    const std::string hill = std::string(VELDARIN_SOURCE_DIR) + "/examples/hill.mod";
    answer("file " + hill);
    command(101);
    answer("dialog JacobCalDiaBox click 5282 ok");
    command(5280);
    command(130);
    take_output();
    command(5288);
    const std::string done = take_output();
    EXPECT_NE(done.find("BOX [Message] Calculated Jacobian for " +
                        std::to_string(Modelsettings.ndata) +
                        " data points for change in 2 electrode position.\\nTime taken "),
              std::string::npos)
        << done;
    EXPECT_EQ(Mainviewstate.view_code, 5270);
    EXPECT_EQ(sys::file_size(Modelsettings.grfile_elec_file), 4LL * 2 * 2 * Modelsettings.ndata);

    // The model with its results holds data: only the sensitivity option is missing.
    answer("file " + home + "hill_results.mod");
    command(102);
    answer("file " + home + "hill_results.mod");
    command(101);
    take_output();
    ASSERT_GT(Modelsettings.ndata, 0);
    command(5288);
    EXPECT_EQ(take_output(),
              "BEEP\nBOX [Message] You need to select the option to\\ninclude calculation "
              "of the sensitivity\\nvalues when calculating the potentials.\n");
    EXPECT_TRUE(answered()) << output();
}

TEST_F(SensitivityCommands, ThreeDimensionalDialogShowsAndKeepsPresets) {
    answer("dialog Array3DSensDiaBox click 1728 ok");
    answer("file cancel");
    command(135);
    const Array3DSens& r = Array3dsens;
    EXPECT_EQ(r.array_type, 8);
    const float x[4] = {0, 0, 1, 1}, y[4] = {0.5f, -0.5f, 0.5f, -0.5f};
    for (int e = 0; e < 4; ++e) {
        EXPECT_EQ(r.elec_x[e], x[e]);
        EXPECT_EQ(r.elec_y[e], y[e]);
    }
    EXPECT_EQ(Mainviewstate.view_code, 135);
    for (const char* typed : {"0.05", "30", "2"}) {
        answer(std::string("dialog Array3DSensDiaBox set 1745 ") + typed + " ok");
        answer("file cancel");
        command(135);
        EXPECT_FLOAT_EQ(r.n_factor, float(std::atof(typed))) << typed;
    }
    for (const char* typed : {"0", "45"}) {
        take_output();
        answer(std::string("dialog Array3DSensDiaBox set 1745 ") + typed + " ok cancel");
        command(135);
        EXPECT_EQ(take_output(), "BOX [Message] The 'n' value must be a number from 0.05 to 30.\n")
            << typed;
        EXPECT_FLOAT_EQ(r.n_factor, 2.0f) << typed;
    }
    answer("dialog Array3DSensDiaBox click 1722 cancel");
    command(135);
    EXPECT_EQ(r.array_type, 8);
    EXPECT_EQ(r.accepted, 0);
    EXPECT_TRUE(answered());
}

} // namespace
