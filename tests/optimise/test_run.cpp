// Whole optimisation runs: the report, the configuration file and the closing box; the same
// files from a second run; the "Next" window; every method; a folder that takes no file.
#include "fixture.h"

#include "model/globals.h"
#include "optimise/optimise.h"
#include "platform/sys/sys.h"
#include "support/files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using test_support::read_file;

// The figures of iterations 1, 2, ... and the resolution column of every block line.
struct ReportFigures {
    std::vector<double> figures, resolutions;
    explicit ReportFigures(const std::string& report) {
        std::istringstream in(report);
        for (std::string line; std::getline(in, line);) {
            int iteration = 0, b = 0, c = 0, l = 0;
            double figure = 0, x = 0, z = 0, r = 0;
            if (std::sscanf(line.c_str(), "Iteration %d Model resolution ratio %lf", &iteration,
                            &figure) == 2 &&
                iteration > 0)
                figures.push_back(figure);
            if (std::sscanf(line.c_str(), "%d %d %d %lf %lf %lf", &b, &c, &l, &x, &z, &r) == 6)
                resolutions.push_back(r);
        }
    }
};

// The report without what depends on the clock: "Time taken" lines and the summary's times.
std::string without_times(const std::string& report) {
    std::istringstream in(report);
    std::string result;
    bool summary = false;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("Time taken", 0) == 0) continue;
        if (line == "Summary of results") summary = true;
        if (summary && line.rfind("   ", 0) == 0 && line.size() > 20) line.replace(10, 10, "");
        result += line + "\n";
    }
    return result;
}

struct OptimiseRun : ::testing::Test {
    opt_test::Workspace space;
    ModelResolution& s = *space.settings;
    OptimiseRun() { s.opt_max_iterations = 5; }
    std::string report() { return read_file(space.dir.file(s.output_name)); }
    std::string last_box() {
        return space.backend.boxes.empty() ? "" : space.backend.boxes.back().line();
    }
    // The work files that are still there.
    std::string work_files_left() const {
        std::string left;
        for (const char* path : s.work_files)
            if (sys::file_exists(path)) left += std::string(path) + " ";
        return left;
    }
};

TEST_F(OptimiseRun, BgsOnTenElectrodes) {
    optimise_arrays(s);
    EXPECT_STREQ(s.output_name, "model_res_bgs_10.txt");
    const std::string text = report();
    EXPECT_EQ(text.rfind("BGS method used\nNumber of model layers is 4.\nNumber of model blocks "
                         "is 36.\nNumber of electrodes in line is 10.\n",
                         0),
              0u);
    EXPECT_NE(text.find("Model resolution for comprehensive data set is 0.5721\nDamping factor "
                        "is 0.0100\n"),
              std::string::npos);
    EXPECT_NE(text.find("Iteration 0 Model resolution ratio 0.4211\n"), std::string::npos);
    EXPECT_NE(text.find("\nIteration 5, Number in optimum arrays 45.\n"), std::string::npos);
    const ReportFigures figures(text);
    ASSERT_EQ(figures.figures.size(), 5u);
    for (std::size_t i = 1; i < figures.figures.size(); ++i)
        EXPECT_GE(figures.figures[i], figures.figures[i - 1]) << i;
    EXPECT_EQ(figures.resolutions.size(), 7u * 36u); // comprehensive, base, five iterations
    for (double r : figures.resolutions)
        EXPECT_TRUE(r >= 0.0 && r < 1.0) << r;
    EXPECT_EQ(
        opt_test::lines_starting(text.substr(text.find("Summary of results")), "     ").size() > 0,
        true);
    EXPECT_EQ(s.narrays, 45);
    EXPECT_EQ(s.arrays.size(), 4u * 45u);
    const std::string config = read_file(space.dir.file("model_res_bgs_10_mod.txt"));
    EXPECT_EQ(config.rfind("Optimized arrays configurations\nNumber of configurations\n45\n", 0),
              0u);
    EXPECT_EQ(space.backend.boxes.size(), 1u);
    EXPECT_EQ(last_box().rfind("Message: Calculation of optimized arrays completed.\nNumber of "
                               "iterations 5.\nNumber of electrodes is 10.\nNumber of optimized "
                               "arrays is 45.\n",
                               0),
              0u);
    EXPECT_NE(last_box().find("Results saved in the files\nmodel_res_bgs_10.txt\n"
                              "model_res_bgs_10_mod.txt\n"),
              std::string::npos);
    EXPECT_EQ(work_files_left(), "");

    // A second run writes the same files but for the times.
    const std::string first = without_times(text);
    optimise_arrays(s);
    EXPECT_EQ(without_times(report()), first);
    EXPECT_EQ(read_file(space.dir.file("model_res_bgs_10_mod.txt")), config);
}

// A damping factor of more decimals than the report's four is reported as it is (0.00015 read
// 0.0001).
TEST_F(OptimiseRun, ReportShowsTheDampingFactorAsItIs) {
    s.opt_damping = 0.00015f;
    s.opt_max_iterations = 1;
    optimise_arrays(s);
    const std::string text = report();
    EXPECT_NE(text.find("\nDamping factor is 0.00015\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nDamping factor 0.00015\nUpdated model resolution values\n"),
              std::string::npos);
}

TEST_F(OptimiseRun, NextEndsTheRunAfterTheIterationUnderWay) {
    space.backend.at = "Iteration 2 ";
    optimise_arrays(s);
    EXPECT_EQ(ReportFigures(report()).figures.size(), 2u);
    EXPECT_NE(last_box().find("Number of iterations 2.\n"), std::string::npos);
}

TEST_F(OptimiseRun, NextEndsOnlyTheBgsPhaseOfTheCombinedMethod) {
    s.opt_param_2 = 3;
    space.backend.at = "Iteration 2 ";
    optimise_arrays(s);
    EXPECT_EQ(Nextwind.next_flag, 0);
    EXPECT_STREQ(s.output_name, "model_res_bgs_cpr_10.txt");
    const std::string text = report();
    EXPECT_EQ(text.rfind("BGS-CPR method used\n", 0), 0u);
    EXPECT_NE(text.find("Proportion and number of BGS iterations are 0.80 and 2\n"),
              std::string::npos);
    EXPECT_EQ(ReportFigures(text).figures.size(), 5u);
    EXPECT_EQ(s.opt_param_2, 3);
}

// Every method and its variants: the resolution ratio never falls, and R stays in [0, 1).
TEST_F(OptimiseRun, EveryMethodRaisesTheResolution) {
    struct Case {
        int method, eth_type, use_sse2, keep_symmetry, variant;
        const char* report;
    } cases[] = {
        {0, 1, 0, 0, 0, "model_res_cpr_10.txt"},     {0, 1, 1, 1, 0, "model_res_cpr_10.txt"},
        {0, 1, 0, 0, 1, "model_res_cpr_trc_10.txt"}, {1, 0, 0, 0, 0, "model_res_eth_10.txt"},
        {1, 1, 0, 0, 0, "model_res_eth_mdf_10.txt"}, {2, 1, 0, 1, 1, "model_res_bgs_10.txt"},
        {3, 1, 1, 0, 0, "model_res_bgs_cpr_10.txt"},
    };
    s.opt_max_iterations = 3;
    for (const Case& c : cases) {
        s.opt_param_2 = c.method, s.eth_type = c.eth_type, s.use_sse2 = c.use_sse2;
        s.keep_symmetry = c.keep_symmetry, s.compare_r_variant = c.variant;
        optimise_arrays(s);
        EXPECT_STREQ(s.output_name, c.report);
        const ReportFigures figures(report());
        ASSERT_EQ(figures.figures.size(), 3u) << c.report;
        EXPECT_GT(figures.figures.front(), 0.5) << c.report;
        for (std::size_t i = 1; i < figures.figures.size(); ++i)
            EXPECT_GE(figures.figures[i], figures.figures[i - 1]) << c.report << " " << i;
        for (double r : figures.resolutions)
            EXPECT_TRUE(r >= 0.0 && r < 1.0) << c.report << " " << r;
        EXPECT_NE(last_box().find("Calculation of optimized arrays completed."), std::string::npos)
            << c.report;
    }
}

// An iteration whose resolution fails ends the iterations; the summary and the files hold
// those done.
TEST_F(OptimiseRun, AFailedIterationEndsTheRunWithTheIterationsDone) {
    const std::string inverse = s.work_files[7];
    space.backend.at = "Iteration 2 ";
    space.backend.then = [&] {
        sys::delete_file(inverse);
        mkdir(inverse.c_str(), 0755); // the inverse can no longer be saved
    };
    optimise_arrays(s);
    rmdir(inverse.c_str());
    ASSERT_EQ(space.backend.boxes.size(), 2u);
    EXPECT_EQ(space.backend.boxes[0].text, "Inversion error 1.\nDamping factor 0.0100");
    EXPECT_NE(last_box().find("Number of iterations 1.\nNumber of electrodes is 10.\nNumber of "
                              "optimized arrays is 28.\n"),
              std::string::npos);
    const std::string text = report();
    EXPECT_EQ(ReportFigures(text).figures.size(), 1u);
    EXPECT_NE(text.find("\nSummary of results\n"), std::string::npos);
    EXPECT_EQ(text.find("Iteration 2, Number in optimum arrays"), std::string::npos);
    EXPECT_NE(read_file(space.dir.file("model_res_bgs_10_mod.txt")).find("\n28\n"),
              std::string::npos);
}

// Work files or work arrays that would not fit: the run says what it needs and what is free, of
// both, and writes no work file.
TEST_F(OptimiseRun, AWorkSpaceThatDoesNotFitIsRefusedBeforeAnythingIsWritten) {
    struct Case {
        const char* name;
        long long disk, memory; // free bytes forced, -1 none
    } cases[] = {{"disk", 100000, -1}, {"memory", -1, 65536}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        space.backend.boxes.clear();
        sys::set_free_disk_override(c.disk);
        if (c.memory >= 0) sys::set_page_budget(sys::page_bytes_in_use() + c.memory);
        optimise_arrays(s);
        sys::set_page_budget(-1);
        sys::set_free_disk_override(-1);
        ASSERT_EQ(space.backend.boxes.size(), 1u);
        const std::string box = last_box(), folder = space.dir.folder();
        const std::string head =
            "Message: The array optimisation needs %lf MB of disk space for its work files in\n" +
            folder +
            "\nand %lf MB of memory.\nThere are %lf MB of disk space and %lf MB of memory "
            "free.\nFewer electrodes or a smaller maximum 'n' factor need less.";
        double disk = 0, memory = 0, free_disk = 0, free_memory = 0;
        ASSERT_EQ(std::sscanf(box.c_str(), head.c_str(), &disk, &memory, &free_disk, &free_memory),
                  4)
            << box;
        if (c.disk >= 0) {
            EXPECT_GT(disk, free_disk) << box;
        } else {
            EXPECT_GT(memory, free_memory) << box;
        }
        EXPECT_EQ(work_files_left(), "");
        EXPECT_EQ(report(), "BGS method used\nNumber of model layers is 4.\nNumber of model blocks "
                            "is 36.\n");
        EXPECT_EQ(s.narrays, 0);
    }
}

// An abort key ends the run at once: in the iterations as a click on "Next" would after the
// iteration under way (which is dropped), before them with a box that says so. No work file is
// left either way. The pole-pole values are the run's first work on the threads: their later
// steps are held until the key is seen, which a fast or a busy machine would otherwise miss.
TEST_F(OptimiseRun, AnAbortKeyStopsTheRun) {
    struct Case {
        const char* at;
        int method;
        bool in_iterations, held;
    } cases[] = {{"Iteration 2 ", 0, true, false},
                 {"Iteration 2 ", 2, true, false},
                 {"Calculating Jacobian values", 2, false, true},
                 {"Jacobian model blocks", 2, false, false},
                 {"Creating Matrics", 2, false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.at);
        std::optional<test_support::HeldSteps> held;
        if (c.held) held.emplace();
        space.backend.boxes.clear();
        space.backend.done = false;
        space.backend.at = c.at;
        space.backend.then = [&] { space.backend.key = 'q'; };
        s.opt_param_2 = c.method;
        sys::delete_file(space.dir.file(s.output_name));
        const std::string config =
            c.method == 0 ? "model_res_cpr_10_mod.txt" : "model_res_bgs_10_mod.txt";
        sys::delete_file(space.dir.file(config));
        optimise_arrays(s);
        ASSERT_EQ(space.backend.boxes.size(), 1u);
        EXPECT_EQ(work_files_left(), "");
        if (c.in_iterations) {
            EXPECT_EQ(ReportFigures(report()).figures.size(), 1u);
            EXPECT_NE(last_box().find("Number of iterations 1.\n"), std::string::npos)
                << last_box();
            EXPECT_TRUE(sys::file_exists(space.dir.file(config)));
        } else {
            EXPECT_EQ(last_box(), "Message: The array optimisation was stopped by the user.\nNo "
                                  "optimised set was selected.");
            EXPECT_FALSE(sys::file_exists(space.dir.file(config)));
            EXPECT_EQ(s.narrays, 0);
        }
    }
}

TEST_F(OptimiseRun, AFolderThatTakesNoFileGetsTheMessageAndNoFiles) {
    const std::string gone = space.dir.file("gone");
    ASSERT_EQ(mkdir(gone.c_str(), 0755), 0);
    ASSERT_TRUE(sys::set_current_dir(gone));
    ASSERT_EQ(rmdir(gone.c_str()), 0);
    optimise_arrays(s);
    ASSERT_EQ(space.backend.boxes.size(), 1u);
    EXPECT_EQ(last_box(),
              "Error Message: There has been an error in creating\nthe file model_res_bgs_10.txt.");
    EXPECT_EQ(read_file(space.dir.file("grad2d_pp.bin")), "");
    EXPECT_FALSE(sys::file_exists(space.dir.file("elecs_file.bin")));
}

} // namespace
