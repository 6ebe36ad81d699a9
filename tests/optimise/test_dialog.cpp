// OptArrayDiaBox: the bounds applied on OK, the layout buttons, the parallel switch without
// SSE2, and Cancel.
#include "model/globals.h"
#include "model/records.h"
#include "model/services.h"
#include "optimise/options_dialog.h"
#include "support/session.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

struct OptionsDialog : ::testing::Test {
    test_support::GlobalRecords records;
    test_support::Headless session;
    ModelResolution& r = Modelresolution;
    /// Runs the dialog with the answer "dialog OptArrayDiaBox <actions>".
    int run(const std::string& actions) {
        session.answer("dialog OptArrayDiaBox " + actions);
        const int result = ui::run_dialog(OptArrayDiaBox, OptArrayDiaBoxProc);
        EXPECT_TRUE(session.answered()) << session.err.str();
        return result;
    }
};

TEST_F(OptionsDialog, OkTakesEveryEditWithinItsBounds) {
    struct Case {
        const char* actions;
        int nelec, max_arrays;
    } cases[] = {
        {"set 1313 10 ok", 10, 5000},
        {"set 1313 64 ok", 64, 5000},
        {"set 1313 30 set 1323 30 ok", 30, 30},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(run(c.actions), 1) << c.actions;
        EXPECT_EQ(dialog_result, 1);
        EXPECT_EQ(r.opt_nelec, c.nelec) << c.actions;
        EXPECT_EQ(r.opt_max_arrays, c.max_arrays) << c.actions;
    }
    // Each real edit at its bounds is taken; below and above them it is refused with its box
    // and nothing is stored. The labels' ranges are not the bounds.
    struct Bound {
        int id;
        const char *low, *high;
        double at_low, at_high;
        float ModelResolution::*field;
        const char* box;
    } bounds[] = {
        {1321, "0.1", "0.95", 0.5, 0.9, &ModelResolution::opt_bgs_ratio,
         "The ratio of BGS iterations must be a number from 0.5 to 0.9."},
        {1322, "0.01", "0.6", 0.05, 0.5, &ModelResolution::opt_extra_ratio,
         "The ratio of extra arrays per iteration must be a number from 0.05 to 0.5."},
        {1324, "0.1", "0.5", 0.15, 0.3, &ModelResolution::opt_depth_ratio,
         "The ratio of maximum model depth to line length must be a number from 0.15 to 0.3."},
        {1325, "0.2", "2", 0.25, 1.0, &ModelResolution::opt_first_thickness,
         "The thickness of the first model layer must be a number from 0.25 to 1."},
        {1326, "0.9", "1.3", 1.0, 1.25, &ModelResolution::opt_thickness_factor,
         "The factor to increase the thickness of model layers must be a number from 1 to 1.25."},
        {1328, "0", "1", 0.0001, 0.1, &ModelResolution::opt_damping,
         "The damping factor must be a number from 0.0001 to 0.1."},
        {1329, "0.01", "150", 0.1, 100.0, &ModelResolution::opt_unit_spacing,
         "The unit electrode spacing must be a number from 0.1 to 100."},
    };
    for (const Bound& b : bounds) {
        const std::string id = std::to_string(b.id);
        for (const double at : {b.at_low, b.at_high}) {
            char typed[32];
            std::snprintf(typed, sizeof typed, "%g", at);
            run("set " + id + " " + typed + " ok");
            EXPECT_FLOAT_EQ(r.*b.field, float(at)) << b.id;
        }
        for (const char* outside : {b.low, b.high}) {
            session.take_output();
            EXPECT_EQ(run("set " + id + " " + outside + " ok cancel"), 2) << b.id;
            EXPECT_FLOAT_EQ(r.*b.field, float(b.at_high)) << b.id;
            EXPECT_EQ(session.take_output(), std::string("BOX [Message] ") + b.box + "\n");
        }
    }
    session.take_output();
    for (const char* whole : {"set 1313 5", "set 1313 65", "set 1313 10 set 1323 -4", "set 1320 0",
                              "set 1320 500", "set 1327 9", "set 1327 1"}) {
        EXPECT_EQ(run(std::string(whole) + " ok cancel"), 2) << whole;
        EXPECT_NE(session.take_output().find("must be a whole number"), std::string::npos) << whole;
    }
    EXPECT_EQ(r.opt_nelec, 30);
}

// "nan" in any field (or text after a number) is refused with the field's box, the dialog stays
// open and nothing is stored, not even the fields typed right.
TEST_F(OptionsDialog, NanAndTextAreRefused) {
    const ModelResolution defaults;
    EXPECT_EQ(run("set 1328 0.05 set 1324 nan ok set 1324 0.2x ok cancel"), 2);
    const std::string refused = "BOX [Message] The ratio of maximum model depth to line length "
                                "must be a number from 0.15 to 0.3.\n";
    EXPECT_EQ(session.output(), refused + refused);
    EXPECT_FLOAT_EQ(r.opt_damping, defaults.opt_damping);
    EXPECT_FLOAT_EQ(r.opt_depth_ratio, defaults.opt_depth_ratio);
    EXPECT_EQ(run("set 1329 nan ok set 1329 100 ok"), 1);
    EXPECT_FLOAT_EQ(r.opt_unit_spacing, 100.0f);
}

TEST_F(OptionsDialog, LayoutButtons) {
    r.opt_depth_ratio = 0.25f;
    r.opt_thickness_factor = 1.05f;
    run("click 1312 ok");
    EXPECT_EQ(r.cable_layout, 2);
    EXPECT_EQ(r.opt_nelec, 61);
    EXPECT_FLOAT_EQ(r.opt_depth_ratio, 0.17f);
    EXPECT_FLOAT_EQ(r.opt_thickness_factor, 1.15f);
    run("click 1311 ok");
    EXPECT_EQ(r.cable_layout, 1);
    EXPECT_EQ(r.opt_nelec, 41);
}

TEST_F(OptionsDialog, ParallelCalculationsNeedSse2) {
    for (int level : {0, 1, 2, 3}) {
        Proglim.simd_level = level;
        run("click 1338 ok");
        EXPECT_EQ(r.use_sse2, level >= 2 ? 1 : 0) << level;
    }
}

TEST_F(OptionsDialog, CancelRestoresEverySetting) {
    run("click 1300 click 1312 click 1331 click 1334 click 1335 click 1338 set 1320 7 "
        "set 1328 0.05 cancel");
    EXPECT_EQ(dialog_result, 2);
    const ModelResolution defaults;
    EXPECT_EQ(r.opt_param_2, defaults.opt_param_2);
    EXPECT_EQ(r.cable_layout, defaults.cable_layout);
    EXPECT_EQ(r.keep_symmetry, defaults.keep_symmetry);
    EXPECT_EQ(r.array_kinds, defaults.array_kinds);
    EXPECT_EQ(r.eth_type, defaults.eth_type);
    EXPECT_EQ(r.use_sse2, defaults.use_sse2);
    EXPECT_EQ(r.opt_nelec, defaults.opt_nelec);
    EXPECT_EQ(r.opt_max_iterations, defaults.opt_max_iterations);
    EXPECT_FLOAT_EQ(r.opt_depth_ratio, defaults.opt_depth_ratio);
    EXPECT_FLOAT_EQ(r.opt_thickness_factor, defaults.opt_thickness_factor);
    EXPECT_FLOAT_EQ(r.opt_damping, defaults.opt_damping);
}

} // namespace

// A value the edit's decimals cannot show (a damping of 0.00015 in four decimals) is shown with
// the digits it needs, so that OK on an untouched dialog keeps it.
TEST_F(OptionsDialog, OkOnAnUntouchedDialogKeepsEveryValue) {
    run("set 1328 0.00015 set 1325 0.3333 set 1329 0.1234 ok");
    const float damping = r.opt_damping, thickness = r.opt_first_thickness,
                spacing = r.opt_unit_spacing;
    EXPECT_EQ(run("ok"), 1);
    EXPECT_EQ(r.opt_damping, damping);
    EXPECT_EQ(r.opt_first_thickness, thickness);
    EXPECT_EQ(r.opt_unit_spacing, spacing);
    EXPECT_EQ(damping, 0.00015f);
}
