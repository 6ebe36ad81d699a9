// The model and array option commands on models read by the program: array type, new values,
// layer depths, geometric factor, normalisation, and the Surfer model file.
#include "window_fixture.h"

#include "forward/commands.h"
#include "model/model_settings.h"
#include "model/services.h"
#include "model/utilities.h"
#include "shell/model_commands.h"
#include "shell/model_dialogs.h"
#include "shell/surfer_file.h"
#include "support/files.h"

#include <sstream>
#include <vector>

namespace {

using test_support::read_file;

std::string example(const std::string& name) {
    return std::string(VELDARIN_SOURCE_DIR) + "/examples/" + name;
}
std::string fixture(const std::string& name) {
    return std::string(VELDARIN_SOURCE_DIR) + "/tests/forward/fixtures/" + name;
}

// The homogeneous example on a mesh of 2 nodes per spacing.
std::string two_node_example() {
    std::string t = read_file(example("homogeneous_wenner.mod"));
    t.replace(t.find("0 96\n1\n4\n"), 9, "0 48\n1\n2\n");
    for (std::size_t at; (at = t.find(std::string(96, '0'))) != std::string::npos;)
        t.replace(at, 96, std::string(48, '0'));
    return t;
}

// The homogeneous example with 45 layers of 0.25, more than the layer-depth dialog has rows.
std::string deep_example() {
    const std::string t = read_file(example("homogeneous_wenner.mod"));
    const std::string row = std::string(96, '0') + "\n";
    const std::size_t depths = t.find("\n20\n") + 1, rows = t.find(row);
    std::string text = t.substr(0, depths) + "45\n";
    for (int k = 1; k <= 45; ++k)
        text += std::to_string(0.25 * k) + (k < 45 ? " " : "\n");
    for (int k = 0; k < 45; ++k)
        text += row;
    return text + t.substr(rows + 20 * row.size());
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

class Commands : public WindowProgram {
  protected:
    ModelSettings& m = Modelsettings;
    void SetUp() override {
        WindowProgram::SetUp();
        ASSERT_TRUE(start());
        take_output();
    }
    void read(const std::string& path) {
        answer("file " + path);
        command(101);
        ASSERT_EQ(m.model_read, 1) << output();
        take_output();
    }
    void calculate() {
        command(130);
        ASSERT_EQ(m.data_ready, 1) << output();
        take_output();
    }
};

TEST_F(Commands, ArrayTypeRefusesFieldDataAndCancelChangesNothing) {
    // Before a model is read there is nothing to recompute.
    answer("dialog ArrayTypeDiaBox2 click 203 ok");
    EXPECT_EQ(shell::change_array_type(Progdisplay, m), 112);
    EXPECT_EQ(m.ndata, 0);
    EXPECT_EQ(m.data_ready, 0);
    EXPECT_EQ(take_output().rfind("BOX [Message] To see the effects of the changes", 0), 0u);
    read(example("homogeneous_wenner.mod"));
    calculate();
    m.datum_array_type = 1;
    EXPECT_EQ(shell::change_array_type(Progdisplay, m), 112);
    EXPECT_EQ(take_output(), "BOX [Message] Sorry, your data set contains field data.\\nYou "
                             "cannot change the array type.\\nIf you want to see what the "
                             "pseudosection\\nlooks like with other arrays, create a new\\nmodel "
                             "file without the measured apparent\\nresistivity values.\n");
    EXPECT_EQ(m.array_type, 1);

    m.datum_array_type = 0;
    const int ndata = m.ndata;
    const float first = m.app_resistivity[0];
    m.app_resistivity[0] = -1.0f; // what the data hold now, whatever they hold
    answer("dialog ArrayTypeDiaBox2 click 203 set 212 3 cancel");
    shell::change_array_type(Progdisplay, m);
    EXPECT_EQ(m.array_type, 1);
    EXPECT_EQ(m.ndata, ndata);
    EXPECT_EQ(m.app_resistivity[0], -1.0f); // not formed again after Cancel
    EXPECT_EQ(take_output(), "");
    m.app_resistivity[0] = first;

    // From the file's offset pole-dipole to the equatorial dipole-dipole: no data until the
    // next calculation.
    m.array_type_model = 10;
    answer("dialog ArrayTypeDiaBox2 click 208 ok");
    shell::change_array_type(Progdisplay, m);
    EXPECT_EQ(m.array_type, 8);
    EXPECT_EQ(m.ndata, 0);
    EXPECT_EQ(m.pot_values_present, 0);
    EXPECT_EQ(m.data_ready, 0);
    EXPECT_TRUE(answered()) << err.str();
}

TEST_F(Commands, NewResistivityValues) {
    shell::add_model_resistivity(m);
    EXPECT_EQ(take_output(), "BOX [Message] Sorry, you must first read in a model file.\n");
    read(example("homogeneous_wenner.mod"));
    std::string counts[2];
    int focus = 0;
    answer("dialog AddNewModResDiaBox set 302 0.01 ok");
    ui::run_dialog(AddNewModResDiaBox,
                   [&](ui::Dialog& d, ui::DialogEvent e, const ui::DialogArgs& a) {
                       const bool handled = AddNewModResDiaBoxProc(d, e, a);
                       if (e == ui::DialogEvent::first_paint)
                           counts[0] = d.text(301), counts[1] = d.text(303), focus = d.focus();
                       return handled;
                   });
    EXPECT_EQ(counts[0], "Your model has 1 resistivity values.");
    EXPECT_EQ(counts[1], "Your model has 0 I.P. values.");
    EXPECT_EQ(focus, 302);
    EXPECT_EQ(m.nresis, 2);
    EXPECT_FLOAT_EQ(m.model_resistivities[1], 0.01f);
    EXPECT_EQ(dialog_result, 1);
    answer("dialog AddNewModResDiaBox set 302 1e6 ok");
    shell::add_model_resistivity(m);
    EXPECT_EQ(m.nresis, 3);
    EXPECT_FLOAT_EQ(m.model_resistivities[2], 1000000.0f);
    // A value that is no resistivity of the range is refused with its box, however near the
    // range it lies; nothing is added.
    take_output();
    for (const char* typed : {"0.001", "2e6", "5e7", "-3", "-50", "0", "abc", "nan", "12abc"}) {
        answer(std::string("dialog AddNewModResDiaBox set 302 ") + typed + " ok cancel");
        shell::add_model_resistivity(m);
        EXPECT_EQ(m.nresis, 3) << typed;
        EXPECT_EQ(take_output(), "BOX [Message] The new resistivity value must be a number from "
                                 "0.01 to 1000000.\n")
            << typed;
    }
    answer("dialog AddNewModResDiaBox set 302 7 cancel");
    shell::add_model_resistivity(m);
    EXPECT_EQ(m.nresis, 3);
    EXPECT_EQ(dialog_result, 2);

    m.nresis = Proglim.max_resistivity_values;
    take_output();
    EXPECT_EQ(shell::add_model_resistivity(m), 300);
    EXPECT_EQ(take_output(), "BOX [Message] Sorry, you already have\\n33 model resistivity "
                             "values.\n");

    read(example("chargeable_wenner.mod"));
    const int nip = m.nip;
    answer("dialog AddNewModResDiaBox set 302 20 set 304 50 ok");
    shell::add_model_resistivity(m);
    ASSERT_EQ(m.nip, nip + 1);
    EXPECT_FLOAT_EQ(m.model_chargeabilities[nip], 0.05f);
    take_output();
    // 1e-44 mV/V is no chargeability above 0 as the model keeps it (a float of V/V).
    for (const char* typed : {"1000", "0", "-5", "abc", "1e-44"}) {
        answer(std::string("dialog AddNewModResDiaBox set 302 20 set 304 ") + typed + " ok cancel");
        shell::add_model_resistivity(m);
        EXPECT_EQ(m.nip, nip + 1) << typed;
        EXPECT_EQ(take_output(), "BOX [Message] The new I.P. value must be a number above 0 and "
                                 "below 1000.\n")
            << typed;
    }
    EXPECT_TRUE(answered()) << err.str();

    // A model without IP values takes no IP value: its edit takes no entry.
    read(example("two_layers.mod"));
    answer("dialog AddNewModResDiaBox set 302 20 set 304 abc ok");
    shell::add_model_resistivity(m);
    EXPECT_NE(err.str().find("control 304 is disabled"), std::string::npos) << err.str();
    EXPECT_EQ(m.nip, 0);
}

// On a water model the new value goes in front of the water values: a block given it keeps it
// through the model file, and the water stays water.
TEST_F(Commands, NewValueOfAWaterModelSurvivesTheModelFile) {
    read(fixture("water_ip.mod"));
    ASSERT_EQ(m.nwater_layers, 2);
    const int own = m.nresis - 2, own_ip = m.nip - 1;
    const int water_row = 1, row = m.nwater + 1, column = m.model_col_start + 3;
    const int water_code = m.resistivity_codes[index2d(column, water_row, m.nx_cells)];
    answer("dialog AddNewModResDiaBox set 302 7 set 304 30 ok");
    shell::add_model_resistivity(m);
    // The editor gives a block the new values.
    m.resistivity_codes[index2d(column, row, m.nx_cells)] = own;
    m.ip_codes[index2d(column, row, m.nx_cells)] = own_ip;
    const std::string path = home + "added.mod";
    answer("file " + path);
    command(102);
    read(path);
    EXPECT_EQ(m.nresis, own + 3);
    EXPECT_FLOAT_EQ(m.model_resistivities[own], 7.0f);
    EXPECT_FLOAT_EQ(m.model_chargeabilities[own_ip], 0.03f);
    EXPECT_EQ(m.resistivity_codes[index2d(column, row, m.nx_cells)], own);
    EXPECT_EQ(m.ip_codes[index2d(column, row, m.nx_cells)], own_ip);
    const int water_now = m.resistivity_codes[index2d(column, water_row, m.nx_cells)];
    EXPECT_EQ(water_now, water_code + 1);
    EXPECT_FLOAT_EQ(m.model_resistivities[water_now], m.water_resistivity[0]);
    EXPECT_TRUE(answered()) << err.str();
}

// What the layer-depth dialog shows, where its focus goes, and what OK takes.
struct DepthView {
    std::vector<std::string> edits, statics;
    std::vector<int> focus;
};
int run_depths(DepthView& v) {
    return ui::run_dialog(ModDepthDiaBox,
                          [&](ui::Dialog& d, ui::DialogEvent e, const ui::DialogArgs& a) {
                              const bool handled = ModDepthDiaBoxProc(d, e, a);
                              if (e == ui::DialogEvent::first_paint)
                                  for (int row = 1; row <= 40; ++row) {
                                      v.edits.push_back(d.text(400 + row));
                                      v.statics.push_back(d.text(500 + row));
                                  }
                              if (e != ui::DialogEvent::init) v.focus.push_back(d.focus());
                              return handled;
                          });
}

TEST_F(Commands, LayerDepths) {
    shell::model_depth_command(m);
    EXPECT_EQ(take_output(), "BOX [Message] Sorry, you must first read in a model file.\n");
    read(example("homogeneous_wenner.mod"));
    const int rows = std::min(m.nz_nodes - 1, 40);
    ASSERT_GE(rows, 20);
    DepthView v;
    answer("dialog ModDepthDiaBox ok ok cancel cancel cancel click 188");
    EXPECT_EQ(run_depths(v), 0);
    EXPECT_EQ(v.edits[0], "0.250");
    EXPECT_EQ(v.edits[1], "0.500");
    EXPECT_EQ(v.edits[3], "1.00");
    EXPECT_EQ(v.edits[13], "10.0");
    EXPECT_EQ(v.statics[1], "0.500");
    EXPECT_EQ(v.edits[std::size_t(m.nz_nodes - 1)], "None");
    // Enter twice, Esc three times: round the rows backwards.
    EXPECT_EQ(v.focus, (std::vector<int>{401, 402, 403, 402, 401, 400 + rows, 400 + rows}));
    EXPECT_EQ(dialog_result, 2);

    calculate();
    // A depth that does not go deeper is named and the dialog stays open; so is a first depth
    // at the surface. Nothing changes until OK is accepted.
    const float third = m.depth_lines[3];
    answer("dialog ModDepthDiaBox set 403 0.4 click 187 set 403 0.7 set 401 0 click 187 "
           "set 401 0.25 set 402 abc click 187 set 402 0.8 set 403 \"\" click 187 click 188");
    shell::model_depth_command(m);
    EXPECT_EQ(take_output(), "BOX [Message] The depth of layer 3 must be a number above 0.5.\n"
                             "BOX [Message] The depth of layer 1 must be a number above 0.\n"
                             "BOX [Message] The depth of layer 2 must be a number above 0.25.\n"
                             "BOX [Message] The depth of layer 3 must be a number above 0.8.\n");
    EXPECT_EQ(m.depth_lines[3], third);
    EXPECT_EQ(m.data_ready, 1);

    // An empty row keeps its depth; OK applies the rest and the potentials no longer belong to
    // the model.
    answer("dialog ModDepthDiaBox set 402 0.6 set 404 \"\" click 187");
    shell::model_depth_command(m);
    EXPECT_FLOAT_EQ(m.depth_lines[2], 0.6f);
    EXPECT_FLOAT_EQ(m.depth_lines[4], 1.0f);
    EXPECT_FLOAT_EQ(m.node_row_dz[1], 0.35f);
    EXPECT_FLOAT_EQ(m.node_row_dz[2], 0.15f);
    EXPECT_EQ(m.pot_values_present, 0);
    EXPECT_EQ(m.data_ready, 0);
    EXPECT_EQ(dialog_result, 1);

    // With more layers than rows, Enter and Esc wrap at the last row of the dialog.
    answer("box no"); // the new depths are not saved
    read(home_dir.write("deep.mod", deep_example()));
    ASSERT_GT(m.nz_nodes - 1, 40);
    DepthView deep;
    answer("dialog ModDepthDiaBox cancel ok click 188");
    run_depths(deep);
    EXPECT_EQ(deep.focus, (std::vector<int>{401, 440, 401, 401}));
    EXPECT_EQ(deep.edits[39], "10.0");

    // The depths of a cylinder model are the radii of its rings: no dialog opens for them.
    read(example("cylinder_wenner.mod"));
    shell::model_depth_command(m);
    EXPECT_EQ(take_output(), "BOX [Message] The depths of a cylinder model are the radii of its "
                             "rings;\\nthey cannot be changed here.\n");
    EXPECT_TRUE(answered()) << err.str();
}

// ---- Every road calculates the model as it stands after the edits -----------------------------

// What a model of the road test holds besides its two layers of 100 and 20 ohm-m.
struct EditedModelKind {
    bool ip = false;         ///< chargeabilities 0 and 0.05 for the two layers
    bool spectral = false;   ///< the chargeabilities as Cole-Cole values, at 1 and 10 Hz
    bool topography = false; ///< a gentle rise of 0.5 m to the middle of the line
    bool borehole = false;   ///< a borehole at 6 m with electrodes at 2 and 3 m depth
};

// 13 electrodes 1 m apart, 10 rows; `edited`: with the edits of the test written in (layer 5 at
// 1.25 m instead of 1.5, a third resistivity of 5 ohm-m and a third chargeability of 0.2 given
// to a block of rows 2 and 3).
std::string road_model(const EditedModelKind& k, bool edited) {
    // Rows 1 to 4 of code `upper`, 5 to 10 of `lower`; the edited block of code 2 when `block`.
    auto rows = [edited](char upper, char lower, bool block) {
        std::string text;
        for (int row = 1; row <= 10; ++row) {
            std::string codes(48, row <= 4 ? upper : lower);
            if (block && edited && (row == 2 || row == 3)) codes.replace(20, 8, 8, '2');
            text += codes + "\n";
        }
        return text;
    };
    std::string t = "Two layers and a block\n13\n4\n0\n1.0\n2\n0 48\n";
    t += edited ? "3\n4\n100 20 5\n10\n0.25 0.5 0.75 1.0 1.25 2.0 2.5 3.0 3.5 4.0\n"
                : "2\n4\n100 20\n10\n0.25 0.5 0.75 1.0 1.5 2.0 2.5 3.0 3.5 4.0\n";
    if (k.borehole) t += "Boreholes\nNumber of boreholes\n1\nBorehole 1\n2\n6 2.0\n6 3.0\n";
    t += rows('0', '1', true);
    const std::string charges = edited ? "3\n0.0 0.05 0.2\n" : "2\n0.0 0.05\n";
    if (k.spectral) {
        t += "Spectral IP present\n" + charges + rows('0', '1', true);
        t += "Time constants\n1\n0.01\n" + rows('0', '0', false);
        t += "Cole-Cole exponents\n1\n0.5\n" + rows('0', '0', false);
        t += "Number of frequencies\n2\nFrequency values\n1.0 10.0\n";
    } else if (k.ip) {
        t += "IP present\n" + charges + rows('0', '1', true);
    }
    t += "1\n";
    if (k.topography) t += "0\n0\n0\n1\n3\n0 0\n6 0.5\n12 0\n0\n0\n";
    return t;
}

// A road: the method and options the user picks (or the model forces).
struct Road {
    const char* name;
    EditedModelKind kind;
    int fem = 0, sparse = 0, quadrilateral = 0, fd_type = 1, complex_ip = 0, jacobian = 0;
};

std::vector<Road> roads() {
    const EditedModelKind plain, ip{true}, spectral{true, true}, topography{false, false, true},
        borehole{false, false, false, true};
    return {
        {"finite differences, modified 5-point", plain, 0, 0, 0, 1},
        {"finite differences, modified 9-point", plain, 0, 0, 0, 2},
        {"finite differences, Dey & Morrison", plain, 0, 0, 0, 0},
        {"finite elements, band", plain, 1},
        {"finite elements, sparse", plain, 1, 1},
        {"finite elements, quadrilaterals", plain, 1, 0, 1},
        {"finite elements for the sensitivity option", plain, 0, 0, 0, 1, 0, 1},
        {"finite elements forced by topography", topography},
        {"finite elements forced by a borehole", borehole},
        {"linear IP, finite differences", ip},
        {"linear IP, finite elements", ip, 1},
        {"linear IP, sparse finite elements", ip, 1, 1},
        {"non-linear IP", ip, 1, 0, 0, 1, 1},
        {"spectral IP", spectral},
    };
}

// The values a calculation gave: apparent resistivity, IP and the first frequency's spectrum.
std::vector<float> calculated_values(const ModelSettings& m) {
    std::vector<float> v(m.app_resistivity, m.app_resistivity + m.ndata);
    if (m.nip > 0) v.insert(v.end(), m.app_ip, m.app_ip + m.ndata);
    if (m.nip > 0 && m.nfreq > 0) {
        v.insert(v.end(), m.sip_inphase, m.sip_inphase + m.ndata);
        v.insert(v.end(), m.sip_quadrature, m.sip_quadrature + m.ndata);
    }
    return v;
}

// On every road, a model edited with the program's edits (a layer depth, a new resistivity and
// chargeability, a block given them) calculates as the model file holding those edits does,
// to the last digit. The finite elements kept the node positions of the depths read and gave
// the data of the model before a depth edit.
TEST_F(Commands, EveryRoadCalculatesTheEditedModel) {
    for (const Road& road : roads()) {
        SCOPED_TRACE(road.name);
        auto pick = [&] {
            m.fem = road.fem;
            m.sparsefem = road.sparse;
            m.fem_variant = road.quadrilateral;
            m.fd_type = road.fd_type;
            m.complex_ip_model = road.complex_ip;
            m.jacob = road.jacobian;
        };
        if (m.model_unsaved == 1) answer("box no"); // the last road's edits are not saved
        read(home_dir.write("edited.mod", road_model(road.kind, true)));
        pick();
        calculate();
        const std::vector<float> expected = calculated_values(m);
        const std::vector<std::int32_t> codes(m.resistivity_codes,
                                              m.resistivity_codes + m.nx_cells * m.nz_cells);
        const std::vector<std::int32_t> ip_codes(m.ip_codes, m.ip_codes + m.nx_cells * m.nz_cells);

        read(home_dir.write("model.mod", road_model(road.kind, false)));
        pick();
        calculate();
        const std::vector<float> before = calculated_values(m);
        answer("dialog ModDepthDiaBox set 405 1.25 click 187");
        shell::model_depth_command(m);
        // A model without IP values takes no IP value.
        answer(std::string("dialog AddNewModResDiaBox set 302 5") +
               (road.kind.ip ? " set 304 200" : "") + " ok");
        shell::add_model_resistivity(m);
        // The block the editor gives the new values.
        std::copy(codes.begin(), codes.end(), m.resistivity_codes);
        if (road.kind.ip) std::copy(ip_codes.begin(), ip_codes.end(), m.ip_codes);
        calculate();
        EXPECT_EQ(calculated_values(m), expected);
        EXPECT_NE(calculated_values(m), before);
        EXPECT_TRUE(answered()) << err.str();
    }
}

// The lines a model fixes keep their depths: the water rows follow the water thickness, and a
// borehole electrode or the tank floor stands on its line. Moved, the solvers would calculate a
// model the model file does not describe (a borehole electrode off every line was put on the
// nearest one without a word). The box names the layer; the dialog stays open.
TEST_F(Commands, LinesTheModelFixesKeepTheirDepths) {
    struct Case {
        std::string path;
        int layer;
        const char* message;
    };
    const Case cases[] = {
        {example("water_layer.mod"), 1,
         "The depth of layer 1 must stay 0.500: the water layers set it."},
        {example("boreholes.mod"), 4,
         "The depth of layer 4 must stay 1.00: electrode 1 of borehole 1 stands on it."},
        {std::string(VELDARIN_SOURCE_DIR) + "/tests/model_reader/fixtures/tank.mod", 21,
         "The depth of layer 21 must stay 40.0: the tank floor stands on it."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        read(c.path);
        const std::size_t layer = std::size_t(c.layer);
        const std::vector<float> depths(m.depth_lines, m.depth_lines + m.nz_nodes);
        const float moved = 0.5f * (depths[layer] + depths[layer - 1]) * m.unit_spacing;
        answer("dialog ModDepthDiaBox set " + std::to_string(400 + c.layer) + " " +
               std::to_string(moved) + " click 187 click 188");
        shell::model_depth_command(m);
        EXPECT_EQ(take_output(), std::string("BOX [Message] ") + c.message + "\n");
        EXPECT_EQ(std::vector<float>(m.depth_lines, m.depth_lines + m.nz_nodes), depths);
        EXPECT_TRUE(answered()) << err.str();
    }
}

// The dialog takes no grid that the model file reader refuses, with which the model saved
// afterwards could not be read again (it was calculated and saved, and its file refused): a row
// more than ten times as thick as the row above it, or on a dry surface a first grid line deeper
// than the unit electrode spacing; on a water model counted from the water floor. A grid it
// takes is saved and read again.
TEST_F(Commands, LayerDepthsTheModelFileCannotHoldAreRefused) {
    read(example("water_layer.mod"));
    const std::string floor_row = std::to_string(m.nwater + 1),
                      below = std::to_string(m.nwater + 2);
    const float floor = m.depth_lines[m.nwater] * m.unit_spacing;
    struct Case {
        std::string path, typed, message;
    };
    const Case cases[] = {
        {example("two_layers.mod"), "set 401 0.05",
         "Layer 2 would be 0.950 m thick, more than ten times layer 1 above it (0.050 m):\\na "
         "model file cannot hold such a grid, and the model could not be read again."},
        {example("two_layers.mod"),
         "set 401 2.1 set 402 2.2 set 403 2.3 set 404 2.4 set 405 2.5 set 406 2.6",
         "The first grid line would lie 2.10 m below the surface,\\ndeeper than the unit "
         "electrode spacing of 2.00 m:\\nthe mesh could not follow the potential between "
         "neighbouring electrodes."},
        {example("water_layer.mod"),
         "set " + std::to_string(400 + m.nwater + 1) + " " + std::to_string(floor + 0.02f),
         "Layer " + below + " would be 0.980 m thick, more than ten times layer " + floor_row +
             " above it (0.020 m):\\na model file cannot hold such a grid, and the model could "
             "not be read again."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        read(c.path);
        const std::vector<float> depths(m.depth_lines, m.depth_lines + m.nz_nodes);
        answer("dialog ModDepthDiaBox " + c.typed + " click 187 click 188");
        shell::model_depth_command(m);
        EXPECT_EQ(take_output(), "BOX [Message] " + c.message + "\n");
        EXPECT_EQ(std::vector<float>(m.depth_lines, m.depth_lines + m.nz_nodes), depths);
    }
    // Thinner, but no more than ten times: taken, saved and read again.
    read(example("two_layers.mod"));
    answer("dialog ModDepthDiaBox set 401 0.1 click 187");
    shell::model_depth_command(m);
    calculate();
    const std::string path = home + "thin_top.mod";
    answer("file " + path);
    command(102);
    read(path);
    EXPECT_FLOAT_EQ(m.depth_lines[1] * m.unit_spacing, 0.1f);
    EXPECT_TRUE(answered()) << err.str();
}

TEST_F(Commands, GeometricFactorRecomputesOnlyWithPotentials) {
    answer("dialog GeomDiaBox click 561 ok");
    EXPECT_EQ(shell::geom_factor_command(Progdisplay, m), 123);
    EXPECT_EQ(m.geometric_factor_type, 1);
    EXPECT_EQ(m.pot_values_present, 0);
    EXPECT_EQ(m.data_ready, 0);

    // A model read but not calculated has no potentials to form the values from.
    read(example("homogeneous_wenner.mod"));
    m.app_resistivity[0] = -1.0f;
    answer("dialog GeomDiaBox click 560 ok");
    shell::geom_factor_command(Progdisplay, m);
    EXPECT_EQ(m.geometric_factor_type, 0);
    EXPECT_EQ(m.app_resistivity[0], -1.0f);
    EXPECT_EQ(m.pot_values_present, 0);
    EXPECT_EQ(m.data_ready, 0);

    calculate();
    const float first = m.app_resistivity[0];
    m.app_resistivity[0] = -1.0f;
    m.data_ready = 0;
    // Cancel changes nothing; OK forms the values anew.
    answer("dialog GeomDiaBox click 561 cancel");
    shell::geom_factor_command(Progdisplay, m);
    EXPECT_EQ(m.geometric_factor_type, 0);
    EXPECT_EQ(m.app_resistivity[0], -1.0f);
    EXPECT_EQ(m.data_ready, 0);
    answer("dialog GeomDiaBox ok");
    shell::geom_factor_command(Progdisplay, m);
    EXPECT_EQ(m.app_resistivity[0], first);
    EXPECT_EQ(m.data_ready, 1);

    // A cylinder model keeps the values of its own path.
    read(example("cylinder_wenner.mod"));
    calculate();
    m.app_resistivity[0] = -1.0f;
    answer("dialog GeomDiaBox ok");
    shell::geom_factor_command(Progdisplay, m);
    EXPECT_EQ(m.app_resistivity[0], -1.0f);
    EXPECT_TRUE(answered()) << err.str();
}

TEST_F(Commands, NormalisationQuestion) {
    const struct {
        const char* answer;
        int electrode_type, before, after;
        const char* present;
    } cases[] = {{"box yes", 0, 0, 1, "no normalisation"},
                 {"box no", 0, 1, 0, "to use normalisation"},
                 {"box yes", 1, 0, 0, "no normalisation"}};
    for (const auto& c : cases) {
        m.electrode_type = c.electrode_type;
        m.normalise = c.before;
        answer(c.answer);
        EXPECT_EQ(shell::normalise_command(Progdisplay, m), 120);
        EXPECT_EQ(m.normalise, c.after) << c.answer << " " << c.electrode_type;
        const std::string shown = take_output();
        EXPECT_EQ(shown.rfind("BOX [Normalisation] One possible way to reduce the errors", 0), 0u);
        EXPECT_NE(shown.find(std::string("The present choice is ") + c.present), std::string::npos);
    }
    EXPECT_TRUE(answered()) << err.str();
}

// The method a model forces holds for that model: the next model is calculated with the user's
// own choice again, and the status line names the method of each run.
TEST_F(Commands, AForcedMethodHoldsForItsModelOnly) {
    const auto first_datum = [&](const std::string& model, const char* method) {
        read(example(model));
        calculate();
        EXPECT_STREQ(status_line(), method) << model;
        return m.app_resistivity[0];
    };
    const char* differences = "Calculated by finite differences.";
    const float fresh = first_datum("two_layers.mod", differences);
    EXPECT_NEAR(fresh, 96.2965f, 1e-4f);
    first_datum("hill.mod", "Calculated by finite elements: the model has topography.");
    EXPECT_EQ(first_datum("two_layers.mod", differences), fresh);
    // Boreholes take the sparse finite-element solver; the next model the band one again.
    const float boreholes =
        first_datum("boreholes.mod", "Calculated by finite elements: the model has boreholes.");
    answer("dialog FemDiaBox click 162 ok");
    command(122);
    const float elements = first_datum("two_layers.mod", "Calculated by finite elements.");
    EXPECT_NE(elements, fresh);
    EXPECT_EQ(m.sparsefem, 0);
    // The user's own choice comes back after a model that forces the same.
    first_datum("hill.mod", "Calculated by finite elements: the model has topography.");
    EXPECT_EQ(first_datum("two_layers.mod", "Calculated by finite elements."), elements);
    answer("dialog FemDiaBox click 161 ok");
    command(122);
    EXPECT_EQ(
        first_datum("boreholes.mod", "Calculated by finite elements: the model has boreholes."),
        boreholes);
    EXPECT_EQ(first_datum("two_layers.mod", differences), fresh);
    EXPECT_TRUE(answered()) << err.str();
}

// A name typed without an extension into a save dialog is saved under its filter's extension,
// so that the read dialog's "*.mod" lists the model file again.
TEST_F(Commands, SaveDialogsAddTheirExtension) {
    read(example("two_layers.mod"));
    calculate();
    const struct {
        int command;
        const char* answers;
        const char* file;
    } saves[] = {{102, "", "edited.mod"},
                 {103, "\ndialog NoiseDiaBox click 503 ok", "edited.dat"},
                 {105, "", "edited.txt"},
                 {552, "", "edited.bmp"}};
    for (const auto& c : saves) {
        answer("file " + home + "edited" + c.answers);
        command(c.command);
        EXPECT_TRUE(sys::file_exists(home + c.file)) << c.command << ": " << take_output();
    }
    EXPECT_FALSE(sys::file_exists(home + "edited"));
    read(home + "edited.mod");
    EXPECT_TRUE(answered()) << err.str();
}

TEST_F(Commands, SurferModelFile) {
    const std::string path = home + "model.txt";
    answer("file " + path);
    EXPECT_EQ(shell::save_model_surfer(Progdisplay, m), 105);
    EXPECT_EQ(read_file(path), "X-location Z-location Resistivity(Ohm.m)\n");

    const struct {
        std::string model;
        const char* header;
        const char* first;
        const char* second;
    } cases[] = {
        {two_node_example(), "X-location Z-location Resistivity(Ohm.m)",
         "   0.250    0.125  100.00000", "   0.750    0.125  100.00000"},
        {example("homogeneous_wenner.mod"), "X-location Z-location Resistivity(Ohm.m)",
         "   0.125    0.125  100.00000", "   0.375    0.125  100.00000"},
        {example("chargeable_wenner.mod"),
         "X-location Z-location Resistivity(Ohm.m) Chargeability(mV/V)",
         "   0.125    0.125  100.00000   50.00000", "   0.375    0.125  100.00000   50.00000"},
        // Values too small for five decimals keep their size.
        {example("chargeable_wenner.mod"),
         "X-location Z-location Resistivity(Ohm.m) Chargeability(mV/V)",
         "   0.125    0.125      1e-30 0.00123457", "   0.375    0.125      1e-30 0.00123457"},
    };
    for (const auto& c : cases) {
        read(c.model.find('\n') == std::string::npos ? c.model
                                                     : home_dir.write("two.mod", c.model));
        if (&c == &cases[3]) {
            m.model_resistivities[0] = 1e-30f;
            m.model_chargeabilities[0] = 1.234567e-6f;
        }
        const std::string file = home + "model_" + std::to_string(&c - cases) + ".txt";
        answer("file " + file);
        shell::save_model_surfer(Progdisplay, m);
        const std::vector<std::string> lines = lines_of(read_file(file));
        ASSERT_EQ(lines.size(),
                  std::size_t(1 + (m.nz_nodes - 1) * (m.nelec - 1) * m.nodes_per_spacing));
        EXPECT_EQ(lines[0], c.header);
        EXPECT_EQ(lines[1], c.first);
        EXPECT_EQ(lines[2], c.second);
    }
    // Topography adds no elevation: the cells of a row share its depth, the middle of the
    // first grid layer (0.5 m) for the top row.
    read(fixture("topography_remote_ip.mod"));
    ASSERT_EQ(m.tflag, 1);
    answer("file " + home + "topography.txt");
    shell::save_model_surfer(Progdisplay, m);
    const std::vector<std::string> lines = lines_of(read_file(home + "topography.txt"));
    const std::size_t columns = std::size_t((m.nelec - 1) * m.nodes_per_spacing);
    ASSERT_EQ(lines.size(), 1 + std::size_t(m.nz_nodes - 1) * columns);
    EXPECT_EQ(lines[1].substr(8, 9), "    0.250");
    for (std::size_t k = 1; k < lines.size(); ++k)
        EXPECT_EQ(lines[k].substr(8, 9), lines[1 + (k - 1) / columns * columns].substr(8, 9)) << k;

    // A file that cannot be created is named, and nothing is written.
    answer("file /no/such/folder/model.txt");
    take_output();
    shell::save_model_surfer(Progdisplay, m);
    EXPECT_NE(take_output().find("[Error Message] There has been an error in creating\\nthe file "
                                 "/no/such/folder/model.txt."),
              std::string::npos);
    EXPECT_TRUE(answered()) << err.str();
}

} // namespace

namespace {

// Commands the dispatch runs with their dialogs and boxes.
TEST_F(Commands, TraceProgramInfoAndThePotentialSection) {
    answer("dialog TraceDiaBox click 1242 ok");
    command(1240);
    EXPECT_EQ(read_file(home + "kwoptrace.txt").rfind("2D trace\n", 0), 0u);
    take_output();
    command(1240); // tracing is on: no dialog
    EXPECT_EQ(take_output(), "BOX [Message] This option is already active!\n");

    answer("dialog AboutDiaBox ok");
    command(145);
    EXPECT_EQ(Mainviewstate.view_code, 145);

    Mainviewstate.view_code = 42;
    command(132);
    EXPECT_EQ(take_output(), "BOX [Message] Potential values calculated\n");
    EXPECT_EQ(lines_of(read_file(home + "pot1elec.dat")).size(), 821u);
    EXPECT_EQ(Mainviewstate.view_code, 42);
    // A program folder that cannot take the file: the error, and no report of success.
    model::copy_text(Systemsettings.program_dir, sizeof Systemsettings.program_dir,
                     "/no/such/folder/");
    command(132);
    const std::string shown = take_output();
    EXPECT_NE(shown.find("There has been an error in creating\\nthe file "
                         "/no/such/folder/pot1elec.dat."),
              std::string::npos)
        << shown;
    EXPECT_EQ(shown.find("Potential values calculated"), std::string::npos);
    EXPECT_TRUE(answered()) << err.str();
}

} // namespace
