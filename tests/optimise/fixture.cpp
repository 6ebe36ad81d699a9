// Shared set-up of the optimisation tests.
#include "fixture.h"

#include "model/globals.h"
#include "optimise/pole_pole.h"
#include "optimise/resolution.h"
#include "platform/sys/sys.h"
#include "platform/ui/ui.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

namespace opt_test {

bool WatchingBackend::next_event(ui::Event& event) {
    if (!done && !at.empty() && std::string(Statuswind.text).rfind(at, 0) == 0) {
        done = true;
        if (then)
            then();
        else
            Nextwind.next_flag = 1;
    }
    if (key == 0) return false;
    event.kind = ui::EventKind::key;
    event.id = key;
    key = 0;
    return true;
}

Workspace::Workspace(int electrodes) : dir("vd_optimise") {
    for (char* path : settings->work_files) {
        const std::string name = path;
        std::snprintf(path, 256, "%s", dir.file(name).c_str());
    }
    settings->opt_nelec = electrodes;
    EXPECT_TRUE(sys::set_current_dir(dir.folder()));
    ui::install_backend(&backend);
}

Workspace::~Workspace() {
    ui::install_backend(nullptr);
    settings.reset(); // deletes the work files before the folder goes
}

PreparedRun::PreparedRun(const ModelResolution& settings) : run(settings) {
    using namespace opt;
    build_grid(settings, run.grid);
    const std::size_t packed = std::size_t(run.nblocks()) * std::size_t(run.nblocks() + 1) / 2;
    EXPECT_TRUE(run.table.allocate(pole_pole_table_size(run.grid)));
    EXPECT_TRUE(run.hessian.allocate(packed) && run.inverse.allocate(packed));
    EXPECT_TRUE(run.resolution.allocate(run.nblocks()) &&
                run.comprehensive_resolution.allocate(run.nblocks()));
    EXPECT_EQ(pole_pole_table(run.grid, settings.work_files[2], run.table.get()), 0);
    ArrayList base;
    EXPECT_TRUE(generate_arrays(settings, run.grid, run.candidates, base));
    run.comprehensive_count = run.candidates.count;
    base_count = base.count;
    run.iteration = -1;
    EXPECT_EQ(set_resolution(run, run.candidates.e.get(), run.candidates.count), 0);
    comprehensive_figure = run.figure;
    std::copy(run.resolution.get(), run.resolution.get() + run.nblocks(),
              run.comprehensive_resolution.get());
    run.chosen.assign(base.e.get(), base.e.get() + 4 * base.count);
    run.iteration = 0;
    EXPECT_EQ(chosen_set_resolution(run), 0);
    base_figure = run.figure;
}

std::string lines_starting(const std::string& text, const std::string& prefix) {
    std::istringstream in(text);
    std::string result;
    for (std::string line; std::getline(in, line);)
        if (line.rfind(prefix, 0) == 0) result += line + "\n";
    return result;
}

} // namespace opt_test
