// A model file's own data and electrodes through the whole road: read, calculate, save the model
// file, read it back and calculate again. The data a file lists are the data calculated and
// written, for every array; the model keeps its electrodes whatever its data use; the reader
// takes the electrode limit of the calculation; deep water is drawn down to the canvas only.
#include "fixture.h"

#include "display/colours.h"
#include "display/display_commands.h"
#include "forward/commands.h"
#include "forward/datafile.h"
#include "model/utilities.h"
#include "platform/gfx/canvas.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <tuple>
#include <vector>

using namespace forward_test;
using namespace test_support;

namespace {

// The data a calculation formed: the electrodes of each datum (numbers from 1) with its
// apparent resistivity, in the order of the datum list.
struct FormedData {
    float first_x = 0.0f;
    std::vector<std::tuple<int, int, int, int>> electrodes;
    std::vector<float> rho;
    explicit FormedData(const ModelSettings& m) : first_x(m.first_electrode_x) {
        for (int d = 0; d < m.ndata; ++d) {
            electrodes.emplace_back(m.datum_c1[d], m.datum_c2[d], m.datum_p1[d], m.datum_p2[d]);
            rho.push_back(m.app_resistivity[d]);
        }
    }
    // The same data, whatever their order; the values within 1e-6.
    void expect_same(const FormedData& other) const {
        EXPECT_FLOAT_EQ(other.first_x, first_x);
        ASSERT_EQ(other.electrodes.size(), electrodes.size());
        std::vector<std::pair<std::tuple<int, int, int, int>, float>> a, b;
        for (std::size_t d = 0; d < rho.size(); ++d) {
            a.emplace_back(electrodes[d], rho[d]);
            b.emplace_back(other.electrodes[d], other.rho[d]);
        }
        std::sort(a.begin(), a.end());
        std::sort(b.begin(), b.end());
        for (std::size_t d = 0; d < a.size(); ++d) {
            EXPECT_EQ(b[d].first, a[d].first) << d;
            EXPECT_NEAR(b[d].second, a[d].second, 1e-6f * std::fabs(a[d].second)) << d;
        }
    }
};

// The command fixture whose reads and calculations must succeed.
struct Session : CommandFixture {
    using CommandFixture::CommandFixture;
    void read_ok(const std::string& path) {
        read(path);
        ASSERT_EQ(r.m.model_read, 1) << path << "\n" << h.output();
    }
    void calculate_ok() {
        calculate();
        ASSERT_EQ(r.m.data_ready, 1) << h.output();
    }
    void save_model(const std::string& name) {
        h.answer("file " + home.file(name));
        save_results_command(Progdisplay, r.m, 0);
        ASSERT_EQ(forward::last_save_outcome(), forward::SaveOutcome::written) << h.output();
    }
    // Saves the model file, reads it back and calculates; the data then.
    FormedData round_trip(const std::string& name) {
        save_model(name);
        read_ok(home.file(name));
        calculate_ok();
        return FormedData(r.m);
    }
};

std::string two_layers_with_array(const std::string& array_lines) {
    std::string text = read_file(example("two_layers.mod"));
    text.erase(text.rfind("\n1\n") + 1);
    return text + array_lines;
}

// The array line of file code `code` for the two-layer model (25 electrodes 2 m apart).
std::string array_lines(int code) {
    switch (code) {
    case 8:
    case 10:
        return std::to_string(code) + "\n2.0\n";
    case 9:
        return "9\nGradient array C1 and C2 current electrodes locations\n0,0,0\n48,0,0\n";
    case 11:
        return "11\nMultiple gradient array, number of current electrode segments\n2\n";
    default:
        return std::to_string(code) + "\n";
    }
}

// Two data of every three of the list calculated become the model's own measured data, with
// values of their own (a tenth above the calculated ones).
void keep_as_own_data(ModelSettings& m) {
    int kept = 0;
    for (int d = 0; d < m.ndata; ++d) {
        if (d % 3 == 2 || !(m.app_resistivity[d] > 0.0f)) continue;
        m.datum_first_electrode[kept] = m.datum_first_electrode[d];
        m.datum_a[kept] = m.datum_a[d];
        m.datum_n[kept] = m.datum_n[d];
        for (float* c : {m.c1_x, m.c2_x, m.p1_x, m.p2_x})
            c[kept] = c[d];
        m.app_resistivity[kept] = m.app_resistivity[d];
        m.measured_values[kept] = 1.1f * m.app_resistivity[d];
        ++kept;
    }
    m.ndata = kept;
    m.datum_array_type = m.array_type;
}

// The model `source` calculated, two thirds of its data kept as the model file's own list and
// saved: read, calculated, saved, read and calculated again, the file's list is what is
// calculated and comes back with the same values.
void expect_listed_data_kept(const std::string& source) {
    std::string listed;
    int count = 0;
    {
        Session s;
        s.read_ok(s.home.write("source.mod", source));
        s.calculate_ok();
        keep_as_own_data(s.r.m);
        count = s.r.m.ndata;
        ASSERT_GT(count, 10);
        s.save_model("listed.mod");
        listed = read_file(s.home.file("listed.mod"));
    }
    Session s;
    s.read_ok(s.home.write("listed.mod", listed));
    ASSERT_EQ(s.r.m.datum_array_type, s.r.m.array_type);
    s.calculate_ok();
    ASSERT_EQ(s.r.m.ndata, count);
    const FormedData first(s.r.m);
    for (int d = 0; d < count; ++d)
        EXPECT_GT(first.rho[d], 0.0f) << d;
    first.expect_same(s.round_trip("again.mod"));
    EXPECT_EQ(s.r.m.ndata, count);
}

} // namespace

// For every array code a model file that lists its data has those data calculated, and the model
// file saved with them reads back to the same data: the list is the file's, not the standard
// list made anew (a third of it is left out). The multiple gradient's list was replaced by the
// standard one (its array number differed from the model's) and was never written; gradient
// data came back one electrode off, and offset pole-dipole data lost their n factors. A
// spectral IP model keeps its list too (its spectra were formed for the standard list).
TEST(OwnData, EveryArrayCalculatesAndWritesTheDataItsFileLists) {
    for (int code = 1; code <= 11; ++code) {
        SCOPED_TRACE("array " + std::to_string(code));
        expect_listed_data_kept(two_layers_with_array(array_lines(code)));
    }
    SCOPED_TRACE("spectral IP");
    expect_listed_data_kept(read_file(example("spectral_wenner.mod")));
}

// A multiple-gradient model whose 29 data start 7.5 m along the line: those 29 are calculated,
// the data file holds them from 7.5 m, and the model file saved with them reads back to the same
// data. A data file of the 57 standard data from x = 0 used to be written, none of the 29.
TEST(OwnData, MultipleGradientDataFromTheirOwnPositions) {
    std::string text =
        two_layers_with_array(array_lines(11)) + "0\n0\n2\nGeneral array\n29\n1\n0\n";
    // C1 at electrode 1 (7.5 m) and C2 at 25, then 1 and 13; dipoles 2 m long between them.
    auto x = [](int electrode) { return 7.5 + 2.0 * (electrode - 1); };
    int d = 0;
    for (const auto& [c2, last] : {std::pair<int, int>{25, 22}, std::pair<int, int>{13, 9}})
        for (int p = 2; p <= last; ++p, ++d) {
            char line[128];
            std::snprintf(line, sizeof line, "4, %g,0, %g,0, %g,0, %g,0, %d\n", x(1), x(c2), x(p),
                          x(p + 1), 100 + d);
            text += line;
        }
    ASSERT_EQ(d, 29);
    Session s;
    s.read_ok(s.home.write("gradients.mod", text + "0\n0\n"));
    s.calculate_ok();
    ASSERT_EQ(s.r.m.ndata, 29);
    const FormedData first(s.r.m);
    EXPECT_FLOAT_EQ(first.first_x, 7.5f);
    EXPECT_EQ(first.electrodes[0], std::make_tuple(1, 25, 2, 3));
    EXPECT_EQ(first.electrodes[28], std::make_tuple(1, 13, 9, 10));

    s.h.answer("file " + s.home.file("gradients.dat") + "\ndialog NoiseDiaBox click 503 ok");
    save_results_command(Progdisplay, s.r.m, 1);
    ASSERT_EQ(forward::last_save_outcome(), forward::SaveOutcome::written) << s.h.output();
    const std::string data = read_file(s.home.file("gradients.dat"));
    EXPECT_NE(data.find("\n29\n"), std::string::npos) << data.substr(0, 400);
    EXPECT_NE(data.find("\n4     7.5000,0.0     55.5000,0.0      9.5000,0.0     11.5000,0.0"),
              std::string::npos)
        << data.substr(0, 600);
    // The writer adds no noise to these data: asked for some, the user is told so.
    s.h.answer("file " + s.home.file("noisy.dat") + "\ndialog NoiseDiaBox click 504 set 500 5 ok");
    save_results_command(Progdisplay, s.r.m, 1);
    EXPECT_TRUE(s.h.showed("Multiple gradient data are written without noise:\\nthe noise level "
                           "chosen is not added to them."))
        << s.h.output();
    EXPECT_EQ(read_file(s.home.file("noisy.dat")), data);

    first.expect_same(s.round_trip("again.mod"));
}

// A model of 20 electrodes with a 10 ohm-m block under electrodes 15 to 20, whose measured data
// use electrodes 1 to 12: it keeps its 20 electrodes and its block, and the model file saved
// reads back to the same model and data. It was read with 12 electrodes; the file saved then
// read back with its rows cut, and the next save dropped the block.
TEST(OwnData, ModelKeepsTheElectrodesAndBlocksItsDataDoNotUse) {
    std::string text = "Block beyond the data\n20\n6\n0\n1.0\n2\n0 76\n2\n4\n100 10\n13\n"
                       "0.25 0.5 0.75 1 1.5 2 2.5 3 4 5 6.5 8 10\n";
    for (int row = 1; row <= 13; ++row)
        text += std::string(56, '0') + std::string(20, row >= 3 && row <= 6 ? '1' : '0') + "\n";
    text += "1\n0\n0\n2\n15\n1\n0\n";
    for (int a = 1; a <= 2; ++a)
        for (int f = 1; f + 3 * a <= 12; ++f) {
            char line[64];
            std::snprintf(line, sizeof line, "%g, %d, 100\n", f - 1 + 1.5 * a, a);
            text += line;
        }
    Session s;
    s.read_ok(s.home.write("block.mod", text + "0\n0\n"));
    EXPECT_EQ(s.r.m.nelec, 20);
    const int nx = s.r.m.nx_cells;
    const std::vector<int> codes(s.r.m.resistivity_codes,
                                 s.r.m.resistivity_codes + nx * s.r.m.nz_cells);
    EXPECT_EQ(codes[index2d(s.r.m.margin_columns + 70, 4, nx) - 1], 1);
    s.calculate_ok();
    ASSERT_EQ(s.r.m.ndata, 15);
    const FormedData first(s.r.m);
    first.expect_same(s.round_trip("again.mod"));
    EXPECT_EQ(s.r.m.nelec, 20);
    EXPECT_EQ(
        std::vector<int>(s.r.m.resistivity_codes, s.r.m.resistivity_codes + nx * s.r.m.nz_cells),
        codes);
}

// Surface and borehole electrodes together up to the calculation's maximum (30 here) are read
// and calculated; one more is refused when the model is read, naming the line. The reader took
// one more than the calculation, which then stopped with "code -2".
TEST(OwnData, ReaderAndCalculationTakeTheSameElectrodeLimit) {
    auto model = [](int second_borehole) {
        std::string text = read_file(example("boreholes.mod"));
        const std::string first = "Borehole 1\n8\n5 1\n5 2\n5 3\n5 4\n5 5\n5 6\n5 7\n5 8\n";
        text.replace(text.find(first), first.size(), "Borehole 1\n4\n5 1\n5 2\n5 3\n5 4\n");
        std::string second = "Borehole 2\n" + std::to_string(second_borehole) + "\n";
        for (int e = 1; e <= second_borehole; ++e)
            second += "15 " + std::to_string(e) + "\n";
        const std::size_t at = text.find("Borehole 2\n");
        text.replace(at, text.find("15 8\n") + 5 - at, second);
        return text;
    };
    {
        Session s(30);
        s.read_ok(s.home.write("at_limit.mod", model(5)));
        EXPECT_EQ(s.r.m.nelec + s.r.m.nborehole_nodes, 30);
        s.calculate_ok();
    }
    Session s(30);
    s.read(s.home.write("beyond.mod", model(6)));
    EXPECT_EQ(s.r.m.model_read, 0);
    EXPECT_TRUE(s.h.showed("Too many electrodes!\\nError in line 23: the model has 21 surface "
                           "and 10 borehole\\nelectrodes, 31 in all, but at most 30 electrodes "
                           "can be used."))
        << s.h.output();
}

// Water far deeper than the section's height on the canvas: the section ends at the canvas's
// bottom. It was laid out (and its rectangles walked, one row a pixel) down to the water's full
// depth, some hundred thousand rows below.
TEST(OwnData, DeepWaterIsDrawnDownToTheCanvasOnly) {
    std::string text = read_file(example("water_layer.mod"));
    const std::string layer = "20.0 0.0 48.0 2.0";
    text.replace(text.find(layer), layer.size(), "20.0 0.0 48.0 5000.0");
    Session s;
    gfx::Canvas canvas(1024, 768);
    s.h.backend.set_screen(1024, 768);
    rebuild_display_objects();
    Progdisplay.canvas_dc = &canvas;
    Progdisplay.canvas_width = canvas.width();
    Progdisplay.canvas_height = canvas.height();
    s.read_ok(s.home.write("deep.mod", text));
    const int bottom = draw_model_sections(Progdisplay, s.r.m, 80);
    Progdisplay.canvas_dc = nullptr;
    EXPECT_GT(bottom, 80);
    EXPECT_LE(bottom, canvas.height() + 10);
}
