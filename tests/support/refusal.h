// Memory refused at every allocation of a run in turn.
#pragma once

#include "model/solver_io.h"
#include "platform/sys/sys.h"
#include "support/recording_backend.h"

#include <gtest/gtest.h>

#include <string>

namespace test_support {

/// Runs `run` (returning a model::SolverResult) once free, then under page budgets from none up
/// to what the free run needed, in `steps` steps. Every refused run must return no_memory after
/// the one box `message` (caption and text as RecordingBackend::Box::line gives them), keep no
/// memory and pass check(budget). Returns the number of refused runs.
template <class Run, class Check>
int refuse_memory_in_turn(RecordingBackend& backend, int steps, const std::string& message, Run run,
                          Check check) {
    const long long start = sys::page_bytes_in_use();
    sys::reset_page_peak();
    run();
    const long long need = sys::page_bytes_peak() - start;
    int refused = 0;
    for (long long budget = 0; budget < need; budget += need / steps + 1) {
        backend.boxes.clear();
        sys::set_page_budget(start + budget);
        const model::SolverResult result = run();
        sys::set_page_budget(-1);
        EXPECT_EQ(sys::page_bytes_in_use(), start) << budget;
        if (result.ok()) continue;
        ++refused;
        EXPECT_EQ(result.status, model::SolverStatus::no_memory) << budget;
        EXPECT_EQ(backend.boxes.size(), 1u) << budget;
        if (!backend.boxes.empty()) {
            EXPECT_EQ(backend.boxes[0].line(), message) << budget;
        }
        check(budget);
    }
    return refused;
}

} // namespace test_support
