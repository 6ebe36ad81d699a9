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
    void send_click(int x, int y) {
        ui::Event e;
        e.kind = ui::EventKind::mouse_down;
        e.button = ui::MouseButton::left;
        e.x = x, e.y = y;
        send(e);
    }
    // The block sensitivities of the array in force, without the table or the plot.
    void block_sensitivities() {
        answer("dialog ArrayTypeDiaBox2 ok");
        answer("box no");
        answer("box no");
        command(5270);
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

    // The plot is of the array the values were calculated for: after another array is chosen,
    // and after a run stopped by the user (a break typed ahead), there is none to show.
    const std::string no_values = "BEEP\nBOX [Message] You need to select the option to\\ndisplay "
                                  "sensitivity values for an array first.\n";
    answer("dialog ArrayTypeDiaBox2 click 201 ok");
    command(112);
    take_output();
    command(5290);
    EXPECT_EQ(take_output(), no_values);
    block_sensitivities();
    ASSERT_EQ(Modelsettings.sens_values_ready, 1);
    take_output();
    key('q');
    answer("dialog ArrayTypeDiaBox2 ok");
    command(5270);
    EXPECT_EQ(take_output(), "BEEP\nBOX [Message] The sensitivity calculation stopped by the "
                             "user.\\nNothing was saved.\n");
    command(5290);
    EXPECT_EQ(take_output(), no_values);
    EXPECT_TRUE(answered()) << output();
}

// A model whose calculation never keeps the potentials at all the nodes says why, rather than
// asking for the calculation again that it has just had.
TEST_F(SensitivityCommands, ModelsWhoseCalculationKeepsNoNodePotentialsSaySo) {
    const struct {
        const char* model;
        const char* before; // answers and commands before the calculation
        const char* box;
    } cases[] = {
        {"boreholes.mod", "",
         "The potentials of a model with boreholes are calculated\\nwithout the potentials at "
         "all the nodes: the sensitivity\\nvalues are not calculated for it."},
        {"cylinder_wenner.mod", "",
         "The sensitivity values are not calculated for\\ncylinder models."},
        {"chargeable_wenner.mod", "dialog ComplexIPDiaBox click 572 ok",
         "The non-linear IP model is calculated without the potentials\\nat all the nodes. "
         "Choose the linear model in 'Type of IP model'\\nand calculate the potentials again "
         "for the sensitivity values."},
    };
    for (const auto& c : cases) {
        answer("file " + std::string(VELDARIN_SOURCE_DIR) + "/examples/" + c.model);
        command(101);
        answer("dialog JacobCalDiaBox click 5282 ok");
        command(5280);
        if (*c.before) {
            answer(c.before);
            command(570);
        }
        command(130);
        take_output();
        command(5270);
        EXPECT_EQ(take_output(), std::string("BEEP\nBOX [Message] ") + c.box + "\n") << c.model;
        command(5288);
        EXPECT_EQ(take_output(), std::string("BEEP\nBOX [Message] ") + c.box + "\n") << c.model;
    }
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

    // The model with its results holds data, but its potentials come from the file: they must
    // be calculated again with the option (which stays chosen).
    answer("file " + home + "hill_results.mod");
    command(102);
    answer("file " + home + "hill_results.mod");
    command(101);
    take_output();
    ASSERT_GT(Modelsettings.ndata, 0);
    command(5288);
    EXPECT_EQ(take_output(),
              "BEEP\nBOX [Message] The potentials were not calculated with the option\\nto "
              "include the sensitivity values. You need to\\ncalculate the potentials again "
              "first.\n");
    EXPECT_TRUE(answered()) << output();
}

// A homogeneous line of n electrodes 1 m apart over 100 ohm-m, Wenner, 8 levels: the model
// file's text.
std::string half_space(int n) {
    const char* depths = "0.25 0.5 0.75 1.0 1.35 1.75 2.2 2.75 3.4 4.2 5.2 6.5 8.0 10.0 12.5 "
                         "15.5 19.5 24.0 30.0 37.0";
    std::string text = "Homogeneous line\n" + std::to_string(n) +
                       "\n8\n0\n1.0\n2\n0 1\n1\n4\n100\n20\n" + depths + "\n";
    for (int r = 0; r < 20; ++r)
        text += "0\n";
    return text + "1\n";
}

// Every result of a calculation with the sensitivity option belongs to the model as it was:
// after a block edit or a new layer depth, the block sensitivity, its table, the plot and the
// electrode-position Jacobian say what to run first, and run again after a new calculation.
TEST_F(SensitivityCommands, AChangedModelLeavesNoSensitivityResults) {
    const std::string model = home_dir.write("line.mod", half_space(25));
    const std::string changed =
        "BEEP\nBOX [Message] The model has changed since the potentials were calculated.\\nYou "
        "need to calculate the potentials again\\nbefore the sensitivity values.\n";
    const std::string values_changed =
        "BEEP\nBOX [Message] The model has changed since the sensitivity values\\nwere "
        "calculated. You need to calculate the\\npotentials and the sensitivity values again "
        "first.\n";
    for (const bool by_depth : {false, true}) {
        SCOPED_TRACE(by_depth ? "a new layer depth" : "a block edit");
        if (Modelsettings.model_unsaved == 1) answer("box no"); // the edit is not saved
        answer("file " + model);
        command(101);
        answer("dialog JacobCalDiaBox click 5282 ok");
        command(5280);
        command(130);
        block_sensitivities();
        ASSERT_EQ(Modelsettings.sens_values_ready, 1);
        take_output();
        if (by_depth) {
            answer("dialog ModDepthDiaBox set 401 0.2 click 187");
            command(400);
        } else {
            // A block of 10 ohm-m (the model section of a 25-electrode line on this screen: 36
            // pixels a metre from x = 60, the first rows from y = 382).
            answer("dialog AddNewModResDiaBox set 302 10 ok");
            command(300);
            answer("dialog ContourChoiceBox ok");
            command(110);
            send_click(460, 390);
            send_click(105, 321);
            ASSERT_EQ(Modelsettings.results_stale, 1);
        }
        take_output();
        command(5270);
        EXPECT_EQ(take_output(), changed);
        command(5288);
        EXPECT_EQ(take_output(), changed);
        command(5290);
        EXPECT_EQ(take_output(), values_changed);
        EXPECT_EQ(Modelsettings.sens_values_ready, 0);
        // Calculated again, the sensitivities are the changed model's.
        command(130);
        answer("dialog ArrayTypeDiaBox2 ok");
        answer("box yes");
        answer("file " + home + "blocks.xyz");
        answer("box no");
        command(5270);
        EXPECT_EQ(Modelsettings.sens_values_ready, 1);
        const std::string table = test_support::read_file(home + "blocks.xyz");
        if (by_depth)
            EXPECT_NE(table.find("       1       0.500      0.100 "), std::string::npos) << table;
        else
            EXPECT_EQ(table.find("      0.0000        0.0000"), std::string::npos) << table;
        sys::delete_file(home + "blocks.xyz");
    }
    EXPECT_TRUE(answered()) << output();
}

// The data of the calculation with the sensitivity option come from a mesh that reaches the
// widest datum: on a line of 49 electrodes Wenner a = 16 is within 0.5 % of the half-space's 100
// ohm-m (measured 0.14 %; it read 102.6 on the model's own mesh, 115.6 at a = 33 of 101
// electrodes). A wider array chosen in the block sensitivity's array dialog than the potentials
// reach asks for a new calculation, as the array command does.
TEST_F(SensitivityCommands, TheDataOfTheSensitivityRunReachTheirWidestArray) {
    answer("file " + home_dir.write("line.mod", half_space(49)));
    command(101);
    answer("dialog JacobCalDiaBox click 5282 ok");
    command(5280);
    answer("dialog ArrayTypeDiaBox2 set 212 4 ok");
    command(112);
    command(130);
    take_output();
    answer("dialog ArrayTypeDiaBox2 set 212 16 ok");
    command(5270);
    EXPECT_EQ(take_output(),
              "BEEP\nBOX [Message] The potentials do not give the apparent resistivity\\nvalues "
              "of this array. You need to calculate\\nthe potentials again for it first.\n");
    EXPECT_EQ(Modelsettings.sens_values_ready, 0);
    command(130);
    ASSERT_EQ(Modelsettings.data_ready, 1);
    const int last = Modelsettings.ndata - 1;
    ASSERT_EQ(Modelsettings.datum_a[last], 16);
    for (int d = 0; d <= last; ++d) {
        if (Modelsettings.datum_a[d] == 16) {
            ASSERT_NEAR(Modelsettings.app_resistivity[d], 100.0, 0.5) << "datum " << d;
        }
    }
    answer("dialog ArrayTypeDiaBox2 set 212 4 ok");
    answer("box no");
    answer("box no");
    command(5270);
    EXPECT_EQ(Modelsettings.sens_values_ready, 1);
    EXPECT_TRUE(answered()) << output();
}

// The work files hold the node potentials of the resistivity model, which the block
// sensitivities are of: the IP pass and the homogeneous pass of the normalisation that follow it
// write none.
TEST_F(SensitivityCommands, TheWorkFilesHoldTheResistivityModel) {
    answer("file " + std::string(VELDARIN_SOURCE_DIR) + "/examples/blocks_ip.mod");
    command(101);
    ASSERT_GT(Modelsettings.nip, 0);
    answer("dialog JacobCalDiaBox click 5282 ok");
    command(5280);
    const auto files = [] {
        return test_support::read_file(Modelsettings.grfinite_file) +
               test_support::read_file(Modelsettings.jacob_file);
    };
    command(130);
    ASSERT_EQ(Modelsettings.sens_potentials_ready, 1);
    const std::string with_ip = files();
    Modelsettings.normalise = 1;
    command(130);
    ASSERT_EQ(Modelsettings.sens_potentials_ready, 1);
    const std::string normalised = files();
    Modelsettings.normalise = 0;
    Modelsettings.nip = 0;
    command(130);
    ASSERT_EQ(Modelsettings.sens_potentials_ready, 1);
    const std::string resistivity = files();
    ASSERT_GT(resistivity.size(), 0u);
    EXPECT_TRUE(with_ip == resistivity);
    EXPECT_TRUE(normalised == resistivity);
}

// The 3-D sensitivity on a grid of 7 x 5 x 5 points (x from -1 to 2, y from -1 to 1, both every
// 0.5, depths 0.1 to 0.5 every 0.1).
constexpr const char* small_3d_grid = "dialog Array3DSensDiaBox set 1746 -1 set 1747 2 set 1748 "
                                      "0.5 set 1749 -1 set 1750 1 set 1751 0.5 set 1752 0.1 set "
                                      "1753 0.5 set 1754 0.1 ok";

// Its file dialog takes a new name (it refused one), and one question lists the files of the
// output that would replace a user's own; No asks for another name.
TEST_F(SensitivityCommands, ThreeDimensionalFilesAreAskedForOnce) {
    answer(small_3d_grid);
    answer("file " + home + "survey.txt");
    command(135);
    EXPECT_NE(take_output().find("The last file is " + home + "survey5.dat"), std::string::npos);
    for (const char* name : {"survey1.dat", "survey5.dat", "survey.lvl"})
        EXPECT_TRUE(sys::file_exists(home + name)) << name;

    home_dir.write("field3.dat", "field data");
    home_dir.write("field.lvl", "levels");
    answer(small_3d_grid);
    answer("file " + home + "field.txt");
    answer("box no");
    answer("file cancel");
    command(135);
    EXPECT_EQ(take_output(), "BOX [3D Sensitivity File] These files already exist:\\nfield3.dat\\n"
                             "field.lvl\\nDo you want to replace them?\n");
    EXPECT_EQ(test_support::read_file(home + "field3.dat"), "field data");
    EXPECT_FALSE(sys::file_exists(home + "field1.dat"));
    // The Slicer/Dicer output writes the name chosen itself (the metadata) and the volume
    // beside it: the level files do not matter to it.
    home_dir.write("field.txt", "notes");
    answer("dialog Array3DSensDiaBox click 1756 set 1754 0.1 ok");
    answer("file " + home + "field.txt");
    answer("box yes");
    command(135);
    EXPECT_EQ(take_output().rfind("BOX [3D Sensitivity File] field.txt already exists.\\nDo you "
                                  "want to replace it?\nBOX [Message] Model saved in Slicer/Dicer",
                                  0),
              0u);
    EXPECT_EQ(test_support::read_file(home + "field3.dat"), "field data");
    EXPECT_NE(test_support::read_file(home + "field.txt"), "notes");
    EXPECT_TRUE(answered()) << output();
}

// A grid whose values the free memory cannot hold is refused before a file is asked for, one
// whose files the free disk cannot hold before it is computed, each naming the sizes; a break
// typed ahead stops the calculation with nothing saved.
TEST_F(SensitivityCommands, ThreeDimensionalGridsWithinTheMachineAndStoppable) {
    sys::set_free_memory_override(1000);
    answer(small_3d_grid);
    command(135);
    sys::set_free_memory_override(-1);
    EXPECT_EQ(take_output().rfind("BEEP\nBOX [Message] The sensitivity grid of 175 points is too "
                                  "large:\\nits arrays need 0.0 MB of memory, and 0.0 MB are "
                                  "free.",
                                  0),
              0u);
    sys::set_free_disk_override(4096);
    answer(small_3d_grid);
    answer("file " + home + "full.txt");
    command(135);
    sys::set_free_disk_override(-1);
    const std::string refused = take_output();
    EXPECT_NE(refused.find("its files 0.0 MB of disk space in\\n" +
                           home_dir.path.substr(0, home_dir.path.size() - 1) + ",\\nand "),
              std::string::npos)
        << refused;
    EXPECT_FALSE(sys::file_exists(home + "full1.dat"));
    key('q');
    answer(small_3d_grid);
    answer("file " + home + "stopped.txt");
    command(135);
    EXPECT_EQ(take_output(), "BEEP\nBOX [Message] The 3-D sensitivity calculation stopped by the "
                             "user.\\nNothing was saved.\n");
    EXPECT_FALSE(sys::file_exists(home + "stopped1.dat"));
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
