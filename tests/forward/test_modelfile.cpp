// The model file with results reads back through the read command to the same model, the same
// potentials and the same apparent values: a synthetic model (potentials only), models with
// water layers, IP values, topography and remote electrodes, and data lists of every index
// array written as the file's own data.
#include "fixture.h"

#include "forward/apparent.h"
#include "forward/commands.h"
#include "forward/datafile.h"
#include "model/text_format.h"
#include "model/utilities.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>
#include <vector>

using namespace forward_test;
using namespace test_support;

namespace {

// The model, its potentials and its data as a record leaves them.
struct Snapshot {
    std::vector<int> ints;
    std::vector<float> floats;
    std::vector<double> potentials;
    std::map<std::tuple<int, int, float>, float> data; ///< (first electrode, a, n) -> rho_a
    std::map<std::tuple<int, int, float>, float> ip;

    Snapshot(const ModelSettings& m, const ProgLim& limits) {
        ints = {m.nelec,
                m.nx_nodes,
                m.nz_nodes,
                m.margin_columns,
                m.nresis,
                m.nip,
                m.nodes_per_spacing,
                m.water_present,
                m.nwater_layers,
                m.nwater,
                m.tflag,
                m.ntopo,
                m.remote_electrodes,
                m.array_type,
                m.model_col_start,
                m.model_col_end,
                m.ndata,
                m.nboreholes,
                m.nborehole_nodes,
                m.borehole_type};
        ints.insert(ints.end(), m.issbor, m.issbor + m.nboreholes);
        floats = {m.unit_spacing, m.zwatermax,   m.water_x1,    m.water_x2,        m.c2_remote_x,
                  m.c2_remote_y,  m.p2_remote_x, m.p2_remote_y, m.electrode_offset};
        auto add = [this](const float* v, int n) { floats.insert(floats.end(), v, v + n); };
        add(m.model_resistivities, m.nresis);
        add(m.model_chargeabilities, m.nip);
        add(m.depth_lines, m.nz_nodes);
        add(m.water_resistivity, m.nwater_layers);
        add(m.water_thickness, m.nwater_layers);
        add(m.elec_x, m.ntopo);
        add(m.elec_z, m.ntopo);
        add(m.borehole_x, m.nborehole_nodes);
        add(m.borehole_z, m.nborehole_nodes);
        const int cells = m.nx_cells * m.nz_cells;
        ints.insert(ints.end(), m.resistivity_codes, m.resistivity_codes + cells);
        if (m.nip > 0) ints.insert(ints.end(), m.ip_codes, m.ip_codes + cells);
        const int n = limits.max_electrodes;
        for (const double* t : {m.potential_table_a, m.potential_table_b, m.potential_table_a_ip,
                                m.potential_table_b_ip})
            for (int i = 1; i < m.nelec; ++i)
                for (int j = i + 1; j <= m.nelec; ++j)
                    potentials.push_back(t[index2d(i, j, n)]);
        for (int d = 0; d < m.ndata; ++d) {
            const auto key =
                std::make_tuple(m.datum_first_electrode[d], m.datum_a[d], m.datum_n[d]);
            data[key] = m.app_resistivity[d];
            ip[key] = m.app_ip[d];
        }
    }
};

void expect_same(const Snapshot& a, const Snapshot& b, bool with_ip) {
    EXPECT_EQ(a.ints, b.ints);
    ASSERT_EQ(a.floats.size(), b.floats.size());
    for (std::size_t i = 0; i < a.floats.size(); ++i)
        EXPECT_NEAR(a.floats[i], b.floats[i], 1e-6 * std::max(1.0f, std::fabs(a.floats[i]))) << i;
    ASSERT_EQ(a.potentials.size(), b.potentials.size());
    const std::size_t used = with_ip ? a.potentials.size() : a.potentials.size() / 2;
    for (std::size_t i = 0; i < used; ++i)
        EXPECT_NEAR(a.potentials[i], b.potentials[i], 1e-7 * std::fabs(a.potentials[i])) << i;
    ASSERT_EQ(a.data.size(), b.data.size());
    for (const auto& [key, value] : a.data) {
        ASSERT_TRUE(b.data.count(key));
        EXPECT_NEAR(b.data.at(key), value, 1e-5 * std::fabs(value));
        if (with_ip) {
            EXPECT_NEAR(b.ip.at(key), a.ip.at(key), 1e-4 * std::fabs(a.ip.at(key)) + 1e-4);
        }
    }
}

struct RoundTrip {
    Records r{61, 4000};
    Headless h;
    TempDir home;
    RoundTrip() { model::set_work_file_paths(r.m, Modelresolution, home.path); }
    void read(const std::string& path) {
        h.answer("file " + path);
        read_model_command(Progdisplay, r.m);
        ASSERT_EQ(r.m.model_read, 1) << path << "\n" << h.output();
    }
    void calculate() {
        start_calculations(Progdisplay, r.m, r.limits, r.p);
        ASSERT_EQ(r.m.data_ready, 1) << h.output();
    }
    // Saves the model file, reads it back and compares.
    void check(const char* name, bool own_data = false) {
        SCOPED_TRACE(name);
        const Snapshot before(r.m, r.limits);
        const std::string path = home.file(name);
        h.answer("file " + path);
        save_results_command(Progdisplay, r.m, 0);
        ASSERT_EQ(forward::last_save_outcome(), forward::SaveOutcome::written) << h.output();
        const std::size_t boxes = h.output().size();
        read(path);
        EXPECT_EQ(h.output().find("Error"), std::string::npos) << h.output().substr(boxes);
        EXPECT_EQ(r.m.pot_values_present, 1);
        EXPECT_EQ(r.m.data_ready, 1);
        EXPECT_EQ(r.m.datum_array_type, own_data ? r.m.array_type : 0);
        expect_same(before, Snapshot(r.m, r.limits), r.m.nip > 0);
    }
    // Saves the model file as `name`, reads it back and calculates; the model and data then.
    Snapshot resaved(const char* name) {
        h.answer("file " + home.file(name));
        save_results_command(Progdisplay, r.m, 0);
        EXPECT_EQ(forward::last_save_outcome(), forward::SaveOutcome::written) << h.output();
        read(home.file(name));
        calculate();
        return Snapshot(r.m, r.limits);
    }
};

// Every float of the model the same, and the same data within 1e-6.
void expect_exact(const Snapshot& before, const Snapshot& after) {
    EXPECT_EQ(before.ints, after.ints);
    EXPECT_EQ(before.floats, after.floats);
    ASSERT_EQ(before.data.size(), after.data.size());
    for (const auto& [key, value] : before.data) {
        EXPECT_NEAR(after.data.at(key), value, 1e-6 * std::fabs(value));
        EXPECT_NEAR(after.ip.at(key), before.ip.at(key), 1e-6 * std::fabs(before.ip.at(key)));
    }
}

} // namespace

TEST(ModelFile, SyntheticModelReadsBackWithItsPotentialsAndData) {
    RoundTrip t;
    t.read(std::string(VELDARIN_SOURCE_DIR) + "/examples/homogeneous_wenner.mod");
    t.calculate();
    t.check("homogeneous.mod");
}

TEST(ModelFile, WaterIpTopographyRemoteElectrodesBoreholesAndTanksReadBack) {
    const std::string reader_fixtures =
        std::string(VELDARIN_SOURCE_DIR) + "/tests/model_reader/fixtures/";
    for (const std::string& path :
         {std::string(VELDARIN_TEST_DATA) + "/fixtures/water_ip.mod",
          std::string(VELDARIN_TEST_DATA) + "/fixtures/topography_remote_ip.mod",
          reader_fixtures + "borehole_vertical.mod", reader_fixtures + "tank.mod"}) {
        const std::string name = path.substr(path.rfind('/') + 1);
        RoundTrip t;
        t.read(path);
        t.calculate();
        t.check(name.c_str());
    }
}

// A data list of the current array written as the file's own data (measured and calculated
// values) comes back in its levels with its values, for every index-layout array.
TEST(ModelFile, OwnDataOfEveryIndexArrayReadsBack) {
    for (int code : {1, 2, 3, 4, 5, 6, 7}) {
        RoundTrip t;
        t.read(std::string(VELDARIN_SOURCE_DIR) + "/examples/homogeneous_wenner.mod");
        t.r.m.array_type = code;
        t.calculate();
        t.r.m.datum_array_type = code;
        t.check(("own_data_" + std::to_string(code) + ".mod").c_str(), true);
    }
}

// The reader's extremes survive the save and the read exactly: every float of the model comes
// back as the same float, and the model read back calculates the same data. Fixed decimals used
// to write a 1e-6 m spacing as 0.00 (refused on reading) and 1e-30 ohm-m as 0.000.
TEST(ModelFile, ExtremeValuesReadBackExactlyAndRecalculateTheSameData) {
    const std::string example =
        read_file(std::string(VELDARIN_SOURCE_DIR) + "/examples/homogeneous_wenner.mod");
    const std::string depths = "0.25 0.5 0.75 1.0 1.35 1.75 2.2 2.75 3.4 4.2 5.2 6.5 8.0 10.0 "
                               "12.5 15.5 19.5 24.0 30.0 37.0";
    std::string tiny_depths;
    for (std::size_t at = 0, end; at < depths.size(); at = end + 1) {
        end = std::min(depths.find(' ', at), depths.size());
        tiny_depths += depths.substr(at, end - at) + "e-6 ";
    }
    struct Case {
        const char* name;
        std::string text;
    };
    auto with = [&](const std::string& spacing, const std::string& rho, const std::string& dz,
                    const std::string& ip) {
        std::string t = example;
        t.replace(t.find("\n1.0\n"), 5, "\n" + spacing + "\n");
        t.replace(t.find("\n100\n"), 5, "\n" + rho + "\n");
        t.replace(t.find(depths), depths.size(), dz);
        if (!ip.empty()) {
            const std::size_t last = t.rfind('\n', t.size() - 2) + 1;
            std::string rows;
            for (int r = 0; r < 20; ++r)
                rows += std::string(96, '0') + "\n";
            t.insert(last, "IP present\n1\n" + ip + "\n" + rows);
        }
        return t;
    };
    const Case cases[] = {{"tiny.mod", with("1e-6", "1e-30", tiny_depths, "")},
                          {"large.mod", with("1.0", "2e6", depths, "0.999")}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RoundTrip t;
        const std::string source = t.home.write(std::string("source_") + c.name, c.text);
        t.read(source);
        t.calculate();
        const Snapshot before(t.r.m, t.r.limits);
        ASSERT_GT(before.data.size(), 20u);
        expect_exact(before, t.resaved(c.name));
    }
}

// A model file without depths gets default depth lines, deepened below the deepest level as
// given depths are; saved with its depths written out it reads back to the same mesh and the
// same data. The default grid of nine rows used to stop 3.1 unit spacings down (a 100 ohm-m
// half-space gave up to 200 ohm-m), and its saved copy was deepened on reading.
TEST(ModelFile, DefaultDepthsReadBackToTheSameMeshAndData) {
    auto without_depths = [](const std::string& path, const char* flag, const std::string& depths) {
        std::string t = read_file(path);
        t.replace(t.find("\n2\n0 "), 5, std::string("\n") + flag + "\n0 ");
        t.erase(t.find(depths), depths.size() + 1);
        return t;
    };
    std::string wenner = "Half-space of 100 ohm-m, nine rows of default depths\n25\n8\n0\n1.0\n"
                         "0\n0 96\n1\n4\n100\n9\n";
    for (int row = 0; row < 9; ++row)
        wenner += std::string(96, '0') + "\n";
    wenner += "1\n";
    struct Case {
        const char* name;
        std::string text;
        int depths_type;
    };
    const Case cases[] = {
        {"wenner.mod", wenner, 0},
        {"water_dipole.mod",
         without_depths(std::string(VELDARIN_TEST_DATA) + "/fixtures/water_ip.mod", "1",
                        "0.5 1.0 1.5 2.0 2.5 3.0 4.0 5.0 6.0"),
         1},
        {"tank.mod",
         without_depths(std::string(VELDARIN_SOURCE_DIR) + "/tests/model_reader/fixtures/tank.mod",
                        "0", "0.5 1.0 1.5 2.0 2.5 3.0 3.5 4.0 4.5"),
         0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RoundTrip t;
        t.read(t.home.write(std::string("source_") + c.name, c.text));
        EXPECT_EQ(t.r.m.depths_given, c.depths_type);
        t.calculate();
        if (&c == &cases[0]) {
            ASSERT_EQ(t.r.m.ndata, 92);
            for (int d = 0; d < t.r.m.ndata; ++d)
                EXPECT_NEAR(t.r.m.app_resistivity[d], 100.0f, 1.5f) << d;
        }
        const Snapshot before(t.r.m, t.r.limits);
        expect_exact(before, t.resaved(c.name));
    }
}

// Values whose fixed format would not read back are written with more digits.
TEST(ModelFile, SmallChargeabilitiesKeepTheirDigits) {
    EXPECT_EQ(model::exact_value("%10.3f", 0.05f), "     0.050");
    EXPECT_EQ(model::exact_value("%10.3f", 0.0015f), "0.00150000001");
    EXPECT_EQ(model::exact_value("%10.2f", 0.001f), "0.00100000005");
}

namespace {

using Cell = std::pair<int, int>; ///< cell column and row, from 1

// Two layers (100 ohm-m, 4 m, over 20 ohm-m; Wenner, 25 electrodes 2 m apart, 4 nodes per
// spacing), each row of one code (`blocks` 1) or of the whole row between the first and the
// last electrode (96, cell columns 20 to 115). With `ip` the two layers have chargeabilities 0
// and 0.05 in rows of their own. The `edited` cells of whole rows take a third value of each
// list: 10 ohm-m and 0.2.
std::string two_layer_text(int blocks, bool ip, const std::vector<Cell>& edited) {
    const bool third = !edited.empty();
    auto rows = [&] {
        std::string text;
        for (int r = 1; r <= 13; ++r) {
            std::string row;
            for (int k = 0; k < blocks; ++k) {
                const bool in =
                    std::find(edited.begin(), edited.end(), Cell{20 + k, r}) != edited.end();
                row += in ? '2' : r <= 7 ? '0' : '1';
            }
            text += row + "\n";
        }
        return text;
    };
    std::string t = "Two layers\n25\n8\n0\n2.0\n2\n0 " + std::to_string(blocks) + "\n" +
                    (third ? "3\n4\n100 20 10\n" : "2\n4\n100 20\n") +
                    "13\n0.5 1 1.5 2 2.5 3 4 5 6.2 7.6 9.4 11.6 14.4\n" + rows();
    if (ip)
        t += std::string("IP present\n") + (third ? "3\n0.0 0.05 0.2\n" : "2\n0.0 0.05\n") + rows();
    return t + "1\n";
}

// What the mouse editor does: a third value in each list, given to `cells`.
void edit_cells(ModelSettings& m, const std::vector<Cell>& cells, bool ip) {
    if (m.nresis == 2) m.model_resistivities[m.nresis++] = 10.0f;
    if (ip && m.nip == 2) m.model_chargeabilities[m.nip++] = 0.2f;
    for (const auto& [c, r] : cells) {
        m.resistivity_codes[index2d(c, r, m.nx_cells)] = 2;
        if (ip) m.ip_codes[index2d(c, r, m.nx_cells)] = 2;
    }
    model::model_edited(m);
}

// The cells and the calculated data of a model.
struct CellsAndData {
    std::vector<int> codes;
    std::vector<float> res, ip;
    explicit CellsAndData(const ModelSettings& m) {
        const int cells = m.nx_cells * m.nz_cells;
        codes.assign(m.resistivity_codes, m.resistivity_codes + cells);
        if (m.nip > 0) codes.insert(codes.end(), m.ip_codes, m.ip_codes + cells);
        res.assign(m.app_resistivity, m.app_resistivity + m.ndata);
        if (m.nip > 0) ip.assign(m.app_ip, m.app_ip + m.ndata);
    }
};

float largest_change(const std::vector<float>& a, const std::vector<float>& b) {
    float worst = 0.0f;
    for (std::size_t d = 0; d < a.size() && d < b.size(); ++d)
        worst = std::max(worst, std::fabs(b[d] - a[d]) / std::max(std::fabs(a[d]), 1e-6f));
    return worst;
}

// 36 cells of the 20 ohm-m layer, 4 to 7.6 m deep and 18 to 24 m along the line.
std::vector<Cell> block_in_the_lower_layer() {
    std::vector<Cell> cells;
    for (int r = 8; r <= 10; ++r)
        for (int c = 56; c <= 67; ++c)
            cells.push_back({c, r});
    return cells;
}

} // namespace

// A model whose rows are one code each is calculated and saved with its edited cells, not its
// rows: the edit changes the data exactly as the same cells written out in whole rows do, and
// the model saved, read back and calculated again has the same cells and the same data, for
// edits beside the first electrode too. The calculation took the code of each row's first
// block and the writer wrote the rows as they were read, so both lost every edit.
TEST(ModelFile, EditedCellsAreCalculatedAndSavedAsTheyAreShown) {
    const std::vector<Cell> block = block_in_the_lower_layer();
    for (const bool ip : {false, true}) {
        SCOPED_TRACE(ip ? "with IP codes" : "resistivity codes");
        RoundTrip whole_rows;
        whole_rows.read(whole_rows.home.write("whole.mod", two_layer_text(96, ip, block)));
        whole_rows.calculate();
        const CellsAndData expected(whole_rows.r.m);

        RoundTrip t;
        t.read(t.home.write("one_code.mod", two_layer_text(1, ip, {})));
        t.calculate();
        const CellsAndData unedited(t.r.m);
        edit_cells(t.r.m, block, ip);
        t.calculate();
        const CellsAndData edited(t.r.m);
        EXPECT_EQ(edited.codes, expected.codes);
        EXPECT_EQ(edited.res, expected.res);
        EXPECT_EQ(edited.ip, expected.ip);
        EXPECT_GT(largest_change(unedited.res, edited.res), 0.01f);
        if (ip) {
            EXPECT_GT(largest_change(unedited.ip, edited.ip), 0.01f);
        }

        // Column 19 lies left of the first electrode, inside the model section shown.
        edit_cells(t.r.m, {{19, 8}, {19, 9}}, ip);
        t.calculate();
        const CellsAndData before(t.r.m);
        EXPECT_GT(largest_change(edited.res, before.res), 1e-4f);
        const forward::BlockColumns columns = forward::written_block_columns(t.r.m);
        EXPECT_EQ(columns.first, 18);
        EXPECT_EQ(columns.last, 113);
        EXPECT_TRUE(columns.complete);
        t.resaved("edited.mod");
        const CellsAndData after(t.r.m);
        EXPECT_EQ(after.codes, before.codes);
        ASSERT_EQ(after.res.size(), before.res.size());
        for (std::size_t d = 0; d < before.res.size(); ++d)
            EXPECT_NEAR(after.res[d], before.res[d], 1e-6f * before.res[d]) << d;
        EXPECT_EQ(after.ip.size(), before.ip.size());
        for (std::size_t d = 0; d < before.ip.size(); ++d)
            EXPECT_NEAR(after.ip[d], before.ip[d], 1e-6f * std::fabs(before.ip[d]) + 1e-7f) << d;
    }
}

// The rows of a model file hold the blocks of one electrode line's width: edits left of the
// first and right of the last electrode together are wider, and the save says that those
// blocks are saved with the codes at the ends of their rows. Unedited models keep the block
// columns they were read with.
TEST(ModelFile, EditsWiderThanARowAreReported) {
    RoundTrip t;
    t.read(t.home.write("one_code.mod", two_layer_text(1, false, {})));
    forward::BlockColumns columns = forward::written_block_columns(t.r.m);
    EXPECT_EQ(columns.first, 20);
    EXPECT_EQ(columns.last, 20);
    edit_cells(t.r.m, {{19, 8}, {116, 9}}, false);
    columns = forward::written_block_columns(t.r.m);
    EXPECT_FALSE(columns.complete);
    EXPECT_EQ(columns.first, 20);
    EXPECT_EQ(columns.last, 115);
    t.h.answer("file " + t.home.file("wide.mod"));
    save_results_command(Progdisplay, t.r.m, 0);
    EXPECT_EQ(forward::last_save_outcome(), forward::SaveOutcome::written);
    EXPECT_TRUE(t.h.showed("Some edited blocks cannot be saved!\\nA row of a model file holds 96 "
                           "blocks"))
        << t.h.output();
    const std::string text = read_file(t.home.file("wide.mod"));
    EXPECT_NE(text.find("\n0,96,3\n"), std::string::npos);
}

// A multiple-gradient model saved with its results reads back as the same survey: the array, its
// number of segments and the same data, from the potentials of the file and calculated again.
// The writer gave it file code 11, which the reader refused.
TEST(ModelFile, MultipleGradientReadsBackWithItsSegmentsAndData) {
    RoundTrip t;
    ModelSettings& m = t.r.m;
    t.read(example("two_layers.mod"));
    m.array_type = 15;
    m.n_n_values = 2; // the read sets 3 for 25 electrodes
    t.calculate();
    auto data = [&m] {
        std::vector<float> v;
        for (int d = 0; d < m.ndata; ++d)
            v.insert(v.end(), {m.c1_x[d], m.c2_x[d], m.p1_x[d], m.p2_x[d], m.app_resistivity[d]});
        return v;
    };
    const std::vector<float> before = data();
    ASSERT_GT(m.ndata, 40);
    t.h.answer("file " + t.home.file("multiple_gradient.mod"));
    save_results_command(Progdisplay, m, 0);
    ASSERT_EQ(forward::last_save_outcome(), forward::SaveOutcome::written);
    t.read(t.home.file("multiple_gradient.mod"));
    EXPECT_EQ(t.h.output().find("Error"), std::string::npos) << t.h.output();
    EXPECT_EQ(m.array_type, 15);
    EXPECT_EQ(m.n_n_values, 2);
    EXPECT_EQ(m.data_ready, 1);
    auto expect_before = [&before](const std::vector<float>& after) {
        ASSERT_EQ(after.size(), before.size());
        for (std::size_t i = 0; i < before.size(); ++i)
            EXPECT_NEAR(after[i], before[i], 1e-6f * std::fabs(before[i])) << i;
    };
    expect_before(data());
    t.calculate();
    expect_before(data());
}

// The topography of a model with a unit spacing of 2 m and its list of one value per electrode
// read back as they were. Their lines are the reader's: the points in metres, the distance-type
// line after them, then the flag 1 and one value a line. With the points in unit spacings, no
// line after them and numbered values ("%3d,%9.4f"), the reader takes the surface at half its
// size: that layout does not give the model back. Its values are read without their numbers
// (every second number was taken as a value, and the half left over now refuses the file).
TEST(ModelFile, TopographyAndElectrodeValuesReadBack) {
    RoundTrip t;
    t.read(std::string(VELDARIN_TEST_DATA) + "/fixtures/topography_remote_ip.mod");
    ModelSettings& m = t.r.m;
    ASSERT_EQ(m.unit_spacing, 2.0f);
    ASSERT_EQ(m.ntopo, 5);
    t.calculate();
    m.topo_present = 1;
    for (int e = 0; e < m.nelec; ++e)
        m.topo_distance[e] = 0.25f * float(e) + 0.125f;
    const std::vector<float> x(m.elec_x, m.elec_x + m.ntopo), z(m.elec_z, m.elec_z + m.ntopo);
    const std::string path = t.home.file("values.mod");
    t.h.answer("file " + path);
    save_results_command(Progdisplay, m, 0);
    ASSERT_EQ(forward::last_save_outcome(), forward::SaveOutcome::written);
    std::string text = read_file(path);
    const std::string section = "1\n5\n    0.000,    0.000\n   10.000,    1.000\n   20.000,    "
                                "2.500\n   30.000,    1.500\n   40.000,    0.500\n0\n1\n   0.1250\n"
                                "   0.3750\n";
    const std::size_t at = text.find(section);
    ASSERT_NE(at, std::string::npos) << text.substr(text.size() - 400);
    auto read_back = [&](const std::string& name, const std::string& file) {
        t.read(t.home.write(name, file));
        EXPECT_EQ(m.tflag, 1);
        EXPECT_EQ(m.ntopo, 5);
    };
    read_back("same.mod", text);
    EXPECT_EQ(std::vector<float>(m.elec_x, m.elec_x + 5), x);
    EXPECT_EQ(std::vector<float>(m.elec_z, m.elec_z + 5), z);
    EXPECT_EQ(m.topo_present, 1);
    for (int e = 0; e < m.nelec; ++e)
        EXPECT_EQ(m.topo_distance[e], 0.25f * float(e) + 0.125f) << e;

    std::string other = "1\n5\n    0.000,    0.000\n    5.000,    0.500\n   10.000,    1.250\n"
                        "   15.000,    0.750\n   20.000,    0.250\n1\n";
    for (int e = 1; e <= m.nelec; ++e) {
        char line[32];
        std::snprintf(line, sizeof line, "%3d,%9.4f\n", e, 0.25 * (e - 1) + 0.125);
        other += line;
    }
    text.replace(at, text.find("\n0\n0\n\n", at) + 1 - at, other + "0\n0\n0\n0\n");
    read_back("numbered.mod", text);
    EXPECT_EQ(m.elec_x[1], x[1] / 2.0f);
    EXPECT_EQ(m.topo_distance[1], 0.375f);
    EXPECT_EQ(m.topo_distance[m.nelec - 1], 0.25f * float(m.nelec - 1) + 0.125f);
}
