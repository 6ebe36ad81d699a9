// The shared model record and the read helpers of the reader tests.
#include "reader_fixture.h"

#include "platform/sys/sys.h"
#include "support/files.h"
#include "support/model_records.h"

#include <cstdio>
#include <unistd.h>

namespace reader_test {

ModelSettings& shared_model() {
    return *test_support::shared_records().model;
}
const ProgLim& shared_limits() {
    return test_support::shared_records().limits;
}

std::string fixture(const std::string& name) {
    return std::string(VELDARIN_TEST_DATA) + "/fixtures/" + name;
}

std::string fixture_text(const std::string& name) {
    EXPECT_TRUE(sys::file_exists(fixture(name))) << name;
    return test_support::read_file(fixture(name));
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
