// The model converted from 2 to 4 nodes per electrode spacing reads back as the same model with
// its blocks in place: water in one and three layers, IP and spectral IP values, the offset and
// gradient arrays, a first-block offset; the refusals write no file.
#include "fixture.h"

#include "forward/commands.h"
#include "forward/datafile.h"
#include "model/utilities.h"
#include "platform/sys/sys.h"

#include <cmath>
#include <vector>

using namespace forward_test;
using namespace test_support;

namespace {

// A model file of 13 electrodes with 2 nodes per spacing and 24 block columns.
struct TwoNodeModel {
    int water_layers = 0;
    bool ip = false, spectral = false;
    int array = 1; ///< file code
    int offset = 0;
    int values = 3;
    std::string depths = "0.5 1.0 1.5 2.0 2.5 3.0 3.5 4.0 5.0";
    int rows = 9;

    // Block code of row r, column j (0-based): vertical bands that shift with depth.
    char code(int r, int j, int count) const { return "0123456789abc"[(j / 5 + r) % count]; }
    std::string block_rows(int count) const {
        std::string out;
        for (int r = 0; r < rows; ++r) {
            for (int j = 0; j < 24; ++j)
                out += code(r, j, count);
            out += "\n";
        }
        return out;
    }
    std::string text() const {
        std::string t = "Two nodes per spacing\n13,4\n";
        if (water_layers == 0) {
            t += "0\n";
        } else if (water_layers == 1) {
            t += "1\n5.0,0.0,12.0,0.4\n";
        } else {
            t += "1\nNumber of water layers\n3\n";
            const char* layers[] = {"5.0,0.0,12.0,0.2", "20.0,0.0,12.0,0.3", "50.0,0.0,12.0,0.4"};
            for (int k = 0; k < 3; ++k)
                t += "Layer " + std::to_string(k + 1) + " parameters\n" + layers[k] + "\n";
        }
        t += "1.0\n2\n" + std::to_string(offset) + ",24," + std::to_string(values) + "\n2\n";
        for (int v = 0; v < values; ++v)
            t += std::to_string(10 * (v + 1)) + (v + 1 < values ? " " : "\n");
        t += std::to_string(rows) + "\n" + depths + "\n" + block_rows(values);
        if (spectral) {
            t += "SIP present\n2\n0.01 0.05\n" + block_rows(2);
            t += "Time constant - Tau\n2\n0.01 0.1\n" + block_rows(2);
            t += "Exponent - C\n2\n0.25 0.5\n" + block_rows(2);
            t += "Number of frequencies\n3\nFrequency values\n1.0 10.0 100.0\n";
        } else if (ip) {
            t += "IP present\n2\n0.01 0.05\n" + block_rows(2);
        }
        t += std::to_string(array) + "\n";
        if (array == 8) t += "1.5\n";
        if (array == 9)
            t += "Gradient array C1 and C2 current electrodes locations\n0.0,0.0,0.0\n12.0,0.0,"
                 "0.0\n";
        return t;
    }
};

// The model a record holds, less the mesh columns.
struct Model {
    std::vector<int> ints;
    std::vector<float> floats;
    int margin = 0, nps = 0, nx_cells = 0, nz_cells = 0;
    std::vector<std::vector<int>> codes; ///< the four code tables of the cells

    explicit Model(const ModelSettings& m)
        : margin(m.margin_columns), nps(m.nodes_per_spacing), nx_cells(m.nx_cells),
          nz_cells(m.nz_cells) {
        ints = {m.nelec,
                m.nresis,
                m.nip,
                m.ntau,
                m.ncip,
                m.nfreq,
                m.nz_nodes,
                m.water_present,
                m.nwater,
                m.nwater_layers,
                m.array_type,
                m.ndata,
                m.geometric_factor_type};
        floats = {m.unit_spacing, m.zwatermax, m.water_x1, m.water_x2, m.electrode_offset};
        auto add = [this](const float* v, int n) { floats.insert(floats.end(), v, v + n); };
        add(m.model_resistivities, m.nresis);
        add(m.model_chargeabilities, m.nip);
        add(m.model_taus, m.ntau);
        add(m.model_cexps, m.ncip);
        add(m.frequencies, m.nfreq);
        add(m.depth_lines, m.nz_nodes);
        add(m.water_resistivity, m.nwater_layers);
        add(m.water_thickness, m.nwater_layers);
        for (const std::int32_t* table :
             {m.resistivity_codes, m.ip_codes, m.tau_codes, m.cexp_codes})
            codes.emplace_back(table, table + m.nx_cells * m.nz_cells);
    }
    // Code of table t in row r at x (electrode steps from the first electrode, the middle of a
    // cell of the finer mesh).
    int code_at(int t, int r, float x) const {
        const int c = margin + int(std::floor(x * float(nps)));
        return codes[std::size_t(t)][std::size_t(index2d(c, r, nx_cells))];
    }
};

void expect_same_model(const Model& two, const Model& four, int tables) {
    EXPECT_EQ(two.nps, 2);
    EXPECT_EQ(four.nps, 4);
    EXPECT_EQ(two.ints, four.ints);
    ASSERT_EQ(two.floats.size(), four.floats.size());
    for (std::size_t i = 0; i < two.floats.size(); ++i)
        EXPECT_FLOAT_EQ(two.floats[i], four.floats[i]) << i;
    ASSERT_EQ(two.nz_cells, four.nz_cells);
    // Every cell of the finer mesh from 2 spacings left of the line to 2 right of it.
    for (int t = 0; t < tables; ++t)
        for (int r = 1; r <= four.nz_cells; ++r)
            for (float x = -2.0f + 0.125f; x < 14.0f; x += 0.25f)
                ASSERT_EQ(two.code_at(t, r, x), four.code_at(t, r, x))
                    << "table " << t << " row " << r << " x " << x;
}

struct Conversion : CommandFixture {
    std::string convert(const std::string& source_text, const std::string& name) {
        const std::string source = home.write("source_" + name, source_text);
        read(source);
        EXPECT_EQ(r.m.model_read, 1) << h.output();
        const std::string target = home.file(name);
        h.answer("file " + target);
        EXPECT_EQ(convert_model_4nodes_command(Progdisplay, r.m), 5330);
        return target;
    }
};

TEST(FourNodes, ModelsReadBackWithTheirBlocksInPlace) {
    struct Case {
        const char* name;
        TwoNodeModel model;
        int tables;
    };
    auto with = [](auto change) {
        TwoNodeModel m;
        change(m);
        return m;
    };
    const Case cases[] = {
        {"plain.mod", TwoNodeModel{}, 1},
        {"water_one.mod", with([](TwoNodeModel& m) { m.water_layers = 1; }), 1},
        {"water_three_ip.mod", with([](TwoNodeModel& m) { m.water_layers = 3, m.ip = true; }), 2},
        {"ip_offset.mod", with([](TwoNodeModel& m) { m.ip = true, m.offset = 2; }), 2},
        {"spectral.mod", with([](TwoNodeModel& m) { m.spectral = true; }), 4},
        {"equatorial.mod", with([](TwoNodeModel& m) { m.array = 8; }), 1},
        {"gradient.mod", with([](TwoNodeModel& m) { m.array = 9, m.offset = -2; }), 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Conversion f;
        const std::string path = f.convert(c.model.text(), c.name);
        const Model two(f.r.m);
        EXPECT_TRUE(f.h.showed(std::string("BOX [Message] New model saved in file\\n") + path))
            << f.h.output();
        f.read(path);
        ASSERT_EQ(f.r.m.model_read, 1) << f.h.output();
        EXPECT_EQ(f.r.m.pot_values_present, 0);
        expect_same_model(two, Model(f.r.m), c.tables);
    }
}

// The block characters, each twice, and the depth formats by size.
TEST(FourNodes, RowsAndDepthsAsWritten) {
    TwoNodeModel model;
    model.values = 13;
    model.depths = "0.5 1.0 2.0 4.0 8.0 12.25 40.0 150.0 500.0 1500.0";
    model.rows = 10;
    Conversion f;
    const std::string text = read_file(f.convert(model.text(), "rows.mod"));
    EXPECT_NE(text.find("\n4\n"), std::string::npos);
    EXPECT_NE(text.find("\n0,48,13\n"), std::string::npos) << text;
    auto row = [](const char* codes) {
        std::string out;
        for (int k = 0; k < 5; ++k)
            out += std::string(k < 4 ? 10 : 8, codes[k]);
        return "\n" + out + "\n";
    };
    EXPECT_NE(text.find(row("01234")), std::string::npos) << text; // "12" as "1122"
    EXPECT_NE(text.find(row("89abc")), std::string::npos) << text; // code 12 as "cc"
    for (const char* depth : {"  0.5000,", "  12.250,", "  150.00,", "  1500.0"})
        EXPECT_NE(text.find(depth), std::string::npos) << depth;
}

TEST(FourNodes, RefusalsWriteNothing) {
    Conversion f;
    // Without a model.
    f.h.take_output();
    EXPECT_EQ(convert_model_4nodes_command(Progdisplay, f.r.m), 5330);
    EXPECT_EQ(f.h.take_output(), "BEEP\nBOX [Message] You must first read in a model!\\nPlease "
                                 "use the File option to read in a model file.\n");
    // A model of 4 nodes.
    const std::string target = f.home.file("again.mod");
    f.read(example("homogeneous_wenner.mod"));
    f.h.take_output();
    f.h.answer("file " + target);
    convert_model_4nodes_command(Progdisplay, f.r.m);
    EXPECT_EQ(f.h.take_output(), "BEEP\nBOX [Error Message] The model already has 4 nodes "
                                 "between adjacent electrodes!\\n\n");
    EXPECT_FALSE(sys::file_exists(target));
    // A file that cannot be created.
    f.read(f.home.write("two.mod", TwoNodeModel{}.text()));
    f.h.take_output();
    f.h.answer("file /no/such/folder/four.mod");
    convert_model_4nodes_command(Progdisplay, f.r.m);
    const std::string shown = f.h.take_output();
    EXPECT_NE(shown.find("[Error Message] There has been an error in creating\\nthe file "
                         "/no/such/folder/four.mod."),
              std::string::npos)
        << shown;
    EXPECT_EQ(shown.find("New model saved"), std::string::npos);
    EXPECT_TRUE(f.h.answered()) << f.h.err.str();
}

} // namespace
