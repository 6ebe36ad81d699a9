// Contour levels: data range, automatic levels, contour-values files, and the contour dialogs
// driven through the headless backend.
#include "fixture.h"

#include "display/contour_levels.h"

#include <cmath>
#include <map>

namespace {
using display_test::Session;
using test_support::TempDir;

std::vector<float> first(const float* levels, int n) {
    return std::vector<float>(levels, levels + (n > 0 ? n : 0));
}

TEST(ArrayMaxMin, ScansForTheRange) {
    const float values[5] = {3.0f, -1.0f, 7.0f, 7.5f, 2.0f};
    const struct {
        int n;
        float min, max;
    } cases[] = {{5, -1.0f, 7.5f}, {3, -1.0f, 7.0f}, {1, 3.0f, 3.0f}, {0, 3.0f, 3.0f}};
    for (const auto& c : cases) {
        float hi = 0.0f;
        EXPECT_FLOAT_EQ(array_maxmin(c.n, values, &hi), c.min) << c.n;
        EXPECT_FLOAT_EQ(hi, c.max) << c.n;
    }
}

TEST(AutomaticLevels, LinearAndLogarithmicSpacing) {
    Session s;
    float levels[max_contour_levels];
    ASSERT_EQ(choose_contours(Progdisplay, 16, levels, 1, 16.0f, 0.0f), 1);
    for (int k = 0; k < 16; ++k)
        EXPECT_FLOAT_EQ(levels[k], 0.5f + k) << k;
    EXPECT_FLOAT_EQ(Progdisplay.contour_step, 1.0f);

    ASSERT_EQ(choose_contours(Progdisplay, 16, levels, 2, 1000.0f, 1.0f), 1);
    const double factor = std::pow(1000.0, 1.0 / 17.0);
    for (int k = 0; k < 16; ++k)
        EXPECT_NEAR(levels[k], std::sqrt(factor) * std::pow(factor, k), 2e-6 * levels[k]) << k;

    // Equal limits: data_max becomes data_min + 100; reversed limits are swapped.
    ASSERT_EQ(choose_contours(Progdisplay, 10, levels, 1, 5.0f, 5.0f), 1);
    EXPECT_FLOAT_EQ(levels[0], 10.0f);
    EXPECT_FLOAT_EQ(levels[9], 100.0f);
    EXPECT_FLOAT_EQ(Progdisplay.data_max, 105.0f);
    ASSERT_EQ(choose_contours(Progdisplay, 11, levels, 1, 0.0f, 11.0f), 1);
    EXPECT_FLOAT_EQ(levels[0], 0.5f);
    // Logarithmic spacing of data reaching zero or below falls back to linear.
    ASSERT_EQ(choose_contours(Progdisplay, 10, levels, 2, 10.0f, -10.0f), 1);
    EXPECT_FLOAT_EQ(levels[0], -9.0f);
    EXPECT_FLOAT_EQ(levels[9], 9.0f);
}

TEST(UserLogarithmicLevels, FactorPresetByRangeAndTypedFactorInItsRange) {
    const struct {
        float min, max;
        const char* steps;
        int choice;
        float factor;
    } cases[] = {
        {1.0f, 5.0f, "ok", 0, std::pow(2.0f, 0.25f)},     // ratio 5: radio 142
        {1.0f, 10.0f, "ok", 1, std::pow(2.0f, 0.33333f)}, // ratio exactly 10: radio 143
        {1.0f, 100.0f, "ok", 2, std::sqrt(2.0f)},         // ratio exactly 100: radio 144
        {1.0f, 100.0f, "click 145 ok", 3, 2.0f},
        {1.0f, 100.0f, "click 146 set 148 2.5 ok", 4, 2.5f},
        {1.0f, 100.0f, "click 146 set 148 1.05 ok", 4, 1.05f},
        // A factor that is no factor of the range is refused; the next one is taken.
        {1.0f, 100.0f, "click 146 set 148 -1.5 ok set 148 1.5 ok", 4, 1.5f},
        {1.0f, 100.0f, "click 146 set 148 3.0 ok set 148 1.5 ok", 4, 1.5f},
        {1.0f, 100.0f, "click 146 set 148 1.0 ok set 148 1.5 ok", 4, 1.5f},
    };
    for (const auto& c : cases) {
        Session s;
        float levels[max_contour_levels];
        s.answer(std::string("dialog ContourLogBox ") + c.steps + "\nbox yes");
        ASSERT_EQ(choose_contours(Progdisplay, 16, levels, 4, c.max, c.min), 1) << c.steps;
        EXPECT_EQ(Progdisplay.log_factor_choice, c.choice) << c.max << " " << c.steps;
        EXPECT_FLOAT_EQ(Progdisplay.contour_step, c.factor) << c.steps;
        EXPECT_FLOAT_EQ(levels[0], c.min);
        EXPECT_FLOAT_EQ(levels[1], c.min * c.factor);
        EXPECT_TRUE(s.showed("BOX [Retain Contour Values] You have choosen the following "
                             "boundary values :-\\nBoundary    Resistivity value\\n     1      "
                             "1.0000\\n"));
        EXPECT_EQ(s.showed("BOX [Message] The contour increase factor must be a number from "
                           "1.05 to 2.5."),
                  c.factor == 1.5f);
        EXPECT_TRUE(s.answered()) << s.err.str();
    }
}

TEST(UserLogarithmicLevels, CancelPutsBackThePresetFactor) {
    Session s;
    float levels[max_contour_levels];
    s.answer("dialog ContourLogBox click 145 cancel");
    EXPECT_EQ(choose_contours(Progdisplay, 16, levels, 4, 100.0f, 1.0f), 2);
    EXPECT_EQ(Progdisplay.log_factor_choice, 2);
    EXPECT_EQ(dialog_result, 2);
    EXPECT_FALSE(s.showed("Retain Contour Values"));
    EXPECT_TRUE(s.answered()) << s.err.str();
}

TEST(UserLinearLevels, TypedMinimumAndSpacingAskAgainOrCancel) {
    Session s;
    float levels[max_contour_levels];
    s.answer("dialog ContourLinearBox set 152 -5 set 153 2 ok\nbox yes");
    ASSERT_EQ(choose_contours(Progdisplay, 10, levels, 3, 20.0f, -5.0f), 1);
    EXPECT_EQ(first(levels, 3), (std::vector<float>{-5.0f, -3.0f, -1.0f}));

    // A spacing of 0 or below is refused; No then Yes opens the dialog again.
    s.answer("dialog ContourLinearBox set 152 0 set 153 0 ok set 153 -5 ok set 153 2 ok\n"
             "box no\nbox yes\ndialog ContourLinearBox set 152 1 set 153 1 ok\nbox yes");
    ASSERT_EQ(choose_contours(Progdisplay, 10, levels, 3, 20.0f, 0.0f), 1);
    EXPECT_EQ(first(levels, 3), (std::vector<float>{1.0f, 2.0f, 3.0f}));
    EXPECT_TRUE(s.showed("BOX [Message] The contour spacing value must be a number above 0.\n"
                         "BOX [Message] The contour spacing value must be a number above 0.\n"
                         "BOX [Retain Contour Values]"));
    EXPECT_TRUE(s.showed("     2      2.0000")); // the first answer's spacing

    s.answer("dialog ContourLinearBox set 152 1 set 153 1 ok\nbox no\nbox no");
    EXPECT_EQ(choose_contours(Progdisplay, 10, levels, 3, 20.0f, 0.0f), 2);

    // An empty field or one of text is no 0: the dialog stays open and names the field.
    s.answer("dialog ContourLinearBox set 153 1 ok set 152 abc ok set 152 4 ok\nbox yes");
    ASSERT_EQ(choose_contours(Progdisplay, 10, levels, 3, 20.0f, 0.0f), 1);
    EXPECT_EQ(first(levels, 2), (std::vector<float>{4.0f, 5.0f}));
    EXPECT_TRUE(s.showed("BOX [Message] The minimum contour value must be a number.\n"
                         "BOX [Message] The minimum contour value must be a number."));
    s.answer("dialog ContourLinearBox cancel");
    EXPECT_EQ(choose_contours(Progdisplay, 10, levels, 3, 20.0f, 0.0f), 2);
    EXPECT_EQ(dialog_result, 2);
    EXPECT_TRUE(s.answered()) << s.err.str();
}

TEST(SelectContours, ChoiceBoxesByTheSignOfTheData) {
    Session s;
    float levels[max_contour_levels];
    s.answer("dialog ContourChoiceBox ok"); // logarithmic is preset
    EXPECT_EQ(select_contours(Progdisplay, Systemsettings, 1.0f, 1000.0f, levels, 1), 16);
    EXPECT_EQ(Progdisplay.contour_choice, 2);
    EXPECT_NEAR(levels[0], std::sqrt(std::pow(1000.0, 1.0 / 17.0)), 1e-5);

    // Data reaching zero take the negative-range box, with linear levels preset.
    s.answer("dialog ContourNegBox ok");
    EXPECT_EQ(select_contours(Progdisplay, Systemsettings, 0.0f, 10.0f, levels, 2), 10);
    EXPECT_FLOAT_EQ(levels[0], 0.5f);
    EXPECT_EQ(Progdisplay.contour_dialog_result, 1);

    s.answer("dialog ContourChoiceBox click 163 cancel");
    EXPECT_EQ(select_contours(Progdisplay, Systemsettings, 1.0f, 10.0f, levels, 1), 0);
    EXPECT_EQ(Progdisplay.contour_choice, 1);
    EXPECT_TRUE(s.answered()) << s.err.str();
}

TEST(SelectContours, TitleLinesByQuantity) {
    const struct {
        int quantity;
        const char *choice, *negative;
    } cases[] = {{0, "Set Resistivity Contour Values", "Set Resistivity Contour Values"},
                 {1, "Set I.P. Contour Values", "Set I.P. Contour Values"},
                 {2, "Set Sensitivity Contour Values", "Set Sensitivity Contour Values"},
                 {3, "Set Uncertainity Contour Values", "Set Uncertainity Contour Values"},
                 {4, "Set Time Constant Contour Values", "Set Time Constant Contour Values"},
                 {5, "Set Cole Exponent Contour Values", "Set Cole Exponent Contour Values"},
                 {6, "Set Phase Contour Values", "Set I.P. Contour Values"},
                 {9, "Set I.P. Contour Values", "Set I.P. Contour Values"}};
    for (const auto& c : cases) {
        Session s;
        Progdisplay.contour_quantity = c.quantity;
        std::string titles[2];
        s.answer("dialog ContourChoiceBox ok\ndialog ContourNegBox ok");
        for (int k = 0; k < 2; ++k) {
            const ui::DialogProc proc =
                contour_dialog(Progdisplay, k == 0 ? ContourChoiceBoxProc : ContourNegBoxProc);
            ui::run_dialog(k == 0 ? ContourChoiceBox : ContourNegBox,
                           [&](ui::Dialog& d, ui::DialogEvent e, const ui::DialogArgs& a) {
                               const bool handled = proc(d, e, a);
                               titles[k] = d.text(k == 0 ? 984 : 985);
                               return handled;
                           });
        }
        EXPECT_EQ(titles[0], c.choice);
        EXPECT_EQ(titles[1], c.negative);
    }
}

TEST(SelectContours, TypedValuesAreSortedAndDuplicatesOfferAnotherChoice) {
    Session s;
    float levels[max_contour_levels];
    std::string typed = "dialog UdfBWDiaBox";
    const float values[10] = {9, 3, 1, 7, 5, 2, 4, 8, 6, 10};
    for (int k = 0; k < 10; ++k)
        typed += " set " + std::to_string(171 + k) + " " + std::to_string(int(values[k]));
    s.answer("dialog ContourChoiceBox click 164 ok\n" + typed + " ok click 187");
    ASSERT_EQ(select_contours(Progdisplay, Systemsettings, 1.0f, 10.0f, levels, 2), 10);
    for (int k = 0; k < 10; ++k)
        EXPECT_FLOAT_EQ(levels[k], float(k + 1)) << k;

    s.answer("dialog ContourChoiceBox click 164 ok\ndialog UdfDiaBox set 171 2 click 187\n"
             "box yes\ndialog ContourChoiceBox click 160 ok");
    EXPECT_EQ(select_contours(Progdisplay, Systemsettings, 1.0f, 16.0f, levels, 1),
              16); // empty fields are 0: duplicates
    EXPECT_TRUE(s.showed("BOX [Select contour intervals again] At least two of the contours "
                         "have the same value!\\nDo you want to select the contour intervals "
                         "again?"));
    s.answer("dialog ContourChoiceBox click 164 ok\ndialog UdfDiaBox click 188\n");
    EXPECT_EQ(select_contours(Progdisplay, Systemsettings, 1.0f, 16.0f, levels, 1), 0);
    EXPECT_TRUE(s.answered()) << s.err.str();
}

// A contour-values file padded past 50 bytes with a comment of no digits, signs or points.
std::string values_file(const std::string& numbers) {
    return numbers + "\n(contour values of the test section, written by hand)\n";
}

// n values 1, 2, .., n in a contour-values file.
std::string counted_values(int n) {
    std::string t = std::to_string(n) + "\n";
    for (int k = 1; k <= n; ++k)
        t += std::to_string(k) + " ";
    return values_file(t);
}

std::vector<float> one_to(int n) {
    std::vector<float> v;
    for (int k = 1; k <= n; ++k)
        v.push_back(float(k));
    return v;
}

// The colour scale has 17 colours: a file of more than 16 values (whose bands would take the
// drawing tools' magenta, white and black, or, at 32, draw no section at all) is refused with
// the number it can take.
TEST(ContourValuesFile, SortedOnReadAndBadFilesRefused) {
    Session s;
    TempDir dir;
    const std::string file_error =
        "BOX [Error Message] There is an error in the file with the contour values!\\n";
    const std::string duplicate = "BOX [Error message] At least two of the contours have the "
                                  "same value!\\nError in format for file with contour values.";
    const auto too_many = [](int n) {
        return "BOX [Error Message] The file gives " + std::to_string(n) +
               " contour values, but the colour scale shows at most 16.\\nPlease use a file "
               "with 16 contour values or fewer.";
    };
    const struct {
        const char* what;
        std::string bytes;
        std::vector<float> levels;
        std::string box;
    } cases[] = {
        {"unsorted", values_file("5\n5 1 3\n2 4"), {1, 2, 3, 4, 5}, ""},
        {"any separators", values_file("3, 30.5; 10 / 2e1"), {10, 20, 30.5f}, ""},
        {"40 bytes", "5\n5 1 3 2 4\nshort file, no comment..", {}, file_error},
        {"2000 bytes", values_file("2 1 2") + std::string(2000, ' '), {}, file_error},
        {"duplicates", values_file("3\n1 2 2"), {}, duplicate},
        {"16 values", counted_values(16), one_to(16), ""},
        {"17 values", counted_values(17), {}, too_many(17)},
        {"31 values", counted_values(31), {}, too_many(31)},
        {"32 values", counted_values(32), {}, too_many(32)},
        {"count 33", values_file("33 1 2 3"), {}, too_many(33)},
        {"count 0", values_file("0 1 2 3"), {}, file_error},
        {"count -2", values_file("-2 1 2 3"), {}, file_error},
        {"fewer numbers", values_file("6\n1 2 3 4 5"), {}, file_error},
        {"no numbers", std::string(60, 'x'), {}, file_error},
    };
    for (const auto& c : cases) {
        s.out.str("");
        const std::string path = dir.write("levels.val", c.bytes);
        float levels[max_contour_levels];
        for (float& l : levels)
            l = -77.0f;
        const int n = read_contour_values_file(path.c_str(), levels);
        EXPECT_EQ(n, int(c.levels.size())) << c.what;
        if (n > 0) {
            EXPECT_EQ(first(levels, n), c.levels) << c.what;
            EXPECT_EQ(s.output(), "") << c.what;
        } else {
            EXPECT_FLOAT_EQ(levels[0], -77.0f) << c.what;
            EXPECT_TRUE(s.showed(c.box)) << c.what << ": " << s.output();
        }
    }
    float levels[max_contour_levels];
    s.out.str("");
    EXPECT_EQ(read_contour_values_file(dir.file("missing.val").c_str(), levels), 0);
    EXPECT_EQ(s.output(), "");
}

TEST(SelectContours, ValuesFileFromTheFileDialog) {
    Session s;
    TempDir dir;
    model::copy_text(Systemsettings.program_dir, sizeof Systemsettings.program_dir,
                     dir.path.c_str());
    const std::string path = dir.write("set.val", values_file("4\n40 10 30 20"));
    float levels[max_contour_levels];
    s.answer("dialog ContourChoiceBox click 165 ok\nfile " + path);
    EXPECT_EQ(select_contours(Progdisplay, Systemsettings, 1.0f, 50.0f, levels, 1), 4);
    EXPECT_EQ(first(levels, 4), (std::vector<float>{10, 20, 30, 40}));

    // No file chosen: another choice is offered.
    s.answer("dialog ContourNegBox click 165 ok\nfile cancel\nbox yes\ndialog ContourNegBox ok");
    EXPECT_EQ(select_contours(Progdisplay, Systemsettings, -1.0f, 9.0f, levels, 1), 16);
    EXPECT_TRUE(s.showed("BOX [Select contour intervals again] I cannot find the file with the "
                         "contour values!"));
    EXPECT_TRUE(s.answered()) << s.err.str();
}

} // namespace
