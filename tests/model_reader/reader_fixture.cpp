// The recording backend, the shared model record and the read helpers of the reader tests.
#include "reader_fixture.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace reader_test {

ProgLim default_limits() {
    ProgLim l;
    const int n = 161;
    l.max_electrodes = n;
    l.max_n = 70;
    l.max_data_points = 16000;
    l.max_levels = 160;
    l.max_resistivity_values = 33;
    l.max_node_rows = 170;
    l.max_node_columns = 4 * n + 23;
    l.max_topo_points = n;
    l.max_spacing_ratio = 160;
    l.max_electrodes_b = l.max_electrodes_c = l.max_electrodes_d = n;
    l.max_node_columns_b = l.max_node_columns;
    l.max_borehole_electrodes = 32;
    l.max_boreholes = 30;
    l.max_frequencies = 12;
    return l;
}

namespace {
struct SharedRecords {
    ProgLim limits = default_limits();
    std::unique_ptr<ModelSettings> model = std::make_unique<ModelSettings>();
    std::unique_ptr<Potentials> potentials = std::make_unique<Potentials>();
    SharedRecords() {
        if (model::allocate_model_arrays(*model, *potentials, limits) != 0) std::abort();
    }
    ~SharedRecords() { model::release_model_arrays(*model, *potentials); }
};
SharedRecords& shared() {
    static SharedRecords records;
    return records;
}
} // namespace

ModelSettings& shared_model() {
    return *shared().model;
}
const ProgLim& shared_limits() {
    return shared().limits;
}

std::string fixture(const std::string& name) {
    return std::string(VELDARIN_TEST_DATA) + "/fixtures/" + name;
}

std::string fixture_text(const std::string& name) {
    std::ifstream in(fixture(name), std::ios::binary);
    EXPECT_TRUE(in.good()) << name;
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string replace_once(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << "not in the fixture: " << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

bool ReadOutcome::has_line(const std::string& line) const {
    for (const std::string& s : summary)
        if (s == line) return true;
    return false;
}

ReadOutcome read_model(const std::string& path, const std::vector<int>& answers) {
    RecordingBackend backend;
    backend.answers.assign(answers.begin(), answers.end());
    ui::install_backend(&backend);
    gfx::Canvas canvas(16, 16);
    ReadOutcome out;
    canvas.set_text_observer(
        [&](int, int, const std::string& text) { out.summary.push_back(text); });
    ModelSettings& m = shared_model();
    out.result =
        model::read_model_file(shared_limits(), m, m.model_title, path.c_str(), &canvas, out.error);
    ui::install_backend(nullptr);
    EXPECT_TRUE(backend.answers.empty()) << "answers left for " << path;
    out.boxes = backend.boxes;
    out.beeps = backend.beeps;
    return out;
}

ReadOutcome read_text(const std::string& text, const std::vector<int>& answers) {
    char name[] = "/tmp/vd_reader_XXXXXX";
    const int fd = mkstemp(name);
    EXPECT_GE(fd, 0);
    if (fd >= 0) {
        const ssize_t written = write(fd, text.data(), text.size());
        EXPECT_EQ(written, ssize_t(text.size()));
        close(fd);
    }
    ReadOutcome out = read_model(name, answers);
    std::remove(name);
    return out;
}

} // namespace reader_test

namespace reader_test {

std::string tank_text_with_rows(int rows, const std::string& levels_and_water,
                                const std::string& floor) {
    std::string text = fixture_text("tank.mod");
    text = replace_once(text, "\n12\n4\n0\n", "\n12\n" + levels_and_water + "\n");
    text = replace_once(text, "\n40.0\n", "\n" + floor + "\n");
    const std::string row = "00000000000111111111110000000000011111111111\n";
    const std::size_t grid = text.find("\n9\n0.5 1.0");
    EXPECT_NE(grid, std::string::npos);
    std::string tail = "\n" + std::to_string(rows) + "\n";
    for (int i = 1; i <= rows; ++i)
        tail += std::to_string(0.5 * i) + (i % 10 ? " " : "\n");
    tail += "\n";
    for (int i = 0; i < rows; ++i)
        tail += row;
    tail += "1\n";
    return text.substr(0, grid) + tail;
}

} // namespace reader_test
