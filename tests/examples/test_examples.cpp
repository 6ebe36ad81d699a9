// The bundled example models as a user runs them, through `veldarin-script --batch`, each data
// file checked against the physics of its model; and the README's annotated model file is the
// example file itself.
#include "support/files.h"
#include "support/layered_earth.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace {

using test_support::read_file;

const std::string program = VELDARIN_BINARY_DIR "/app/veldarin-script";
const std::string examples = VELDARIN_SOURCE_DIR "/examples/";
constexpr double pi = 3.14159265358979323846;

/// One data line of a data file: x of the array's middle, spacing a and n (1 for arrays
/// without one) in metres and unit spacings as written, apparent resistivity and IP (mV/V).
struct Datum {
    double x = 0, a = 0, n = 1, rho = 0, ip = 0;
};

/// The data lines of a data file written by the batch (empty when it cannot be read).
std::vector<Datum> parse_data_file(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    if (lines.size() < 6) return {};
    const int code = std::atoi(lines[2].c_str());
    // The electrode offset of the equatorial and offset pole-dipole arrays comes first.
    std::size_t at = (code == 8 || code == 10) ? 4 : 3;
    const int count = std::atoi(lines[at].c_str());
    const bool ip = std::atoi(lines[at + 2].c_str()) == 1;
    at += ip ? 6 : 3;
    std::vector<Datum> data;
    for (int i = 0; i < count && at + std::size_t(i) < lines.size(); ++i) {
        std::istringstream row(lines[at + std::size_t(i)]);
        std::vector<double> v;
        for (double value; row >> value;)
            v.push_back(value);
        const std::size_t values = ip ? 2 : 1;
        if (v.size() < 2 + values) return {};
        Datum d;
        d.x = v[0];
        d.a = v[1];
        if (v.size() > 2 + values) d.n = v[2];
        d.rho = v[v.size() - values];
        if (ip) d.ip = v.back();
        data.push_back(d);
    }
    return data;
}

/// Wenner apparent resistivity of a layer over a half-space, spacing a.
double wenner_two_layer(double rho1, double rho2, double h, double a) {
    using test_support::two_layer_potential;
    return 2 * pi * a * 2 *
           (two_layer_potential(rho1, rho2, h, a) - two_layer_potential(rho1, rho2, h, 2 * a));
}

class Examples : public ::testing::Test {
  protected:
    /// The data lines `veldarin-script --batch MODEL` writes; the test fails when the run fails.
    std::vector<Datum> run(const std::string& model) {
        const std::string out = dir_.folder() + "/out", log = dir_.file("batch.log");
        const std::string cmd = "'" + program + "' --batch '" + model + "' --out '" + out +
                                "' --home '" + dir_.folder() + "' >'" + log + "' 2>&1";
        const int status = std::system(cmd.c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << read_file(log);
        std::string name = model.substr(model.find_last_of('/') + 1);
        name = name.substr(0, name.size() - 4);
        const std::vector<Datum> data = parse_data_file(read_file(out + "/" + name + ".dat"));
        EXPECT_FALSE(data.empty()) << model << ": no data lines\n" << read_file(log);
        return data;
    }
    test_support::TempDir dir_{"vd_examples"};
};

TEST_F(Examples, TwoLayersReadTheLayeredEarth) {
    const std::vector<Datum> data = run(examples + "two_layers.mod");
    ASSERT_EQ(data.size(), 92u);
    double worst = 0;
    for (const Datum& d : data)
        worst = std::max(worst, std::fabs(d.rho / wenner_two_layer(100, 20, 4.0, d.a) - 1));
    // Measured 1.02 %, at the smallest spacing (the mesh's first rows).
    EXPECT_LT(worst, 0.012);
}

TEST(ExamplesReadme, TheAnnotatedModelFileIsTheTwoLayerExample) {
    const std::string readme = read_file(VELDARIN_SOURCE_DIR "/README.md");
    const std::size_t section = readme.find("\n## The model file\n");
    ASSERT_NE(section, std::string::npos);
    const std::size_t open = readme.find("\n```\n", section);
    ASSERT_NE(open, std::string::npos);
    const std::size_t begin = open + 5, end = readme.find("```\n", begin);
    ASSERT_NE(end, std::string::npos);
    EXPECT_EQ(readme.substr(begin, end - begin), read_file(examples + "two_layers.mod"));
}

} // namespace
