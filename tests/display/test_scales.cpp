// The horizontal-scale and vertical-factor dialogs through the headless backend.
#include "fixture.h"

#include "display/scales.h"

namespace {
using display_test::Session;

TEST(HorizontalScale, AcceptsOneTo200AndIgnoresTheRest) {
    const struct {
        const char* typed;
        float xscale;
    } cases[] = {{"200", 200.0f}, {"200.5", 12.0f},  {"0.5", 12.0f},
                 {"1", 1.0f},     {"37.25", 37.25f}, {"-20", 12.0f}};
    for (const auto& c : cases) {
        Session s;
        Modelsettings.ndata = 10;
        Progdisplay.xscale = 12.0f;
        s.answer(std::string("dialog HrpsDiaBox set 853 ") + c.typed + " ok");
        EXPECT_EQ(hrps_menu_handler(), 117);
        EXPECT_FLOAT_EQ(Progdisplay.xscale, c.xscale) << c.typed;
        EXPECT_EQ(dialog_result, 1);
        EXPECT_EQ(Progdisplay.model_displayed, 1);
        EXPECT_TRUE(s.answered()) << s.err.str();
    }
}

TEST(HorizontalScale, CancelKeepsAndNoDataSetOnlyTellsTheUser) {
    Session s;
    Modelsettings.ndata = 10;
    Progdisplay.xscale = 12.0f;
    std::string shown, field;
    s.answer("dialog HrpsDiaBox set 853 50 cancel");
    ui::run_dialog(HrpsDiaBox, [&](ui::Dialog& d, ui::DialogEvent e, const ui::DialogArgs& a) {
        const bool handled = HrpsDiaBoxProc(d, e, a);
        if (e == ui::DialogEvent::first_paint) shown = d.text(852), field = d.text(853);
        return handled;
    });
    EXPECT_EQ(shown, "Horizontal display scale is 12.0 pixels/electrode spacing.");
    EXPECT_EQ(field, "12.00");
    EXPECT_FLOAT_EQ(Progdisplay.xscale, 12.0f);
    EXPECT_EQ(dialog_result, 2);

    Modelsettings.ndata = 0;
    hrps_menu_handler(); // no dialog answer is queued: the dialog must not open
    EXPECT_TRUE(s.showed("BEEP\nBOX [Message] You need to read in a data set\\nbefore using "
                         "this option."));
    EXPECT_FALSE(s.showed("NOANSWER"));
    EXPECT_EQ(Progdisplay.model_displayed, 1);
}

TEST(VerticalFactor, StoresTheReciprocalWithinZeroToFive) {
    const struct {
        const char* typed;
        float before, after;
    } cases[] = {
        {"2", 1.0f, 0.5f}, {"0.25", 1.0f, 4.0f}, {"0.15", 1.0f, 1.0f}, // 6.67 is above 5
        {"0", 0.8f, 0.8f}, {"0.1", 0.8f, 0.8f},  {"-3", 0.8f, 0.8f},   {"0.2", 0.8f, 5.0f},
    };
    for (const auto& c : cases) {
        Session s;
        Progdisplay.vh_factor = c.before;
        s.answer(std::string("dialog VtsfDiaBox set 846 ") + c.typed + " ok");
        EXPECT_EQ(ui::run_dialog(VtsfDiaBox, VtsfDiaBoxProc), 1);
        EXPECT_FLOAT_EQ(Progdisplay.vh_factor, c.after) << c.typed;
        EXPECT_EQ(dialog_result, 1);
    }
}

// A field that holds no number keeps the dialog open with a message that names it; the number
// typed next is taken.
TEST(ScaleDialogs, NoNumberKeepsTheDialogOpen) {
    Session s;
    Progdisplay.xscale = 12.0f;
    Progdisplay.vh_factor = 1.0f;
    s.answer("dialog HrpsDiaBox set 853 abc ok set 853 \"\" ok set 853 30 ok\n"
             "dialog VtsfDiaBox set 846 1x ok set 846 2 ok");
    EXPECT_EQ(ui::run_dialog(HrpsDiaBox, HrpsDiaBoxProc), 1);
    EXPECT_EQ(ui::run_dialog(VtsfDiaBox, VtsfDiaBoxProc), 1);
    EXPECT_FLOAT_EQ(Progdisplay.xscale, 30.0f);
    EXPECT_FLOAT_EQ(Progdisplay.vh_factor, 0.5f);
    EXPECT_TRUE(s.showed("BOX [Message] Please type a number for the horizontal display scale.\n"
                         "BOX [Message] Please type a number for the horizontal display scale.\n"
                         "BOX [Message] Please type a number for the vertical/horizontal display "
                         "scaling factor."));
    EXPECT_TRUE(s.answered()) << s.err.str();
}

TEST(VerticalFactor, ShowsTheReciprocalAndCancelKeeps) {
    Session s;
    Progdisplay.vh_factor = 0.5f;
    std::string shown, field;
    s.answer("dialog VtsfDiaBox set 846 4 cancel");
    EXPECT_EQ(ui::run_dialog(VtsfDiaBox,
                             [&](ui::Dialog& d, ui::DialogEvent e, const ui::DialogArgs& a) {
                                 const bool handled = VtsfDiaBoxProc(d, e, a);
                                 if (e == ui::DialogEvent::first_paint)
                                     shown = d.text(845), field = d.text(846);
                                 return handled;
                             }),
              0);
    EXPECT_EQ(shown, "Vertical/horizontal display scaling factor is 2.00.");
    EXPECT_EQ(field, "2.00");
    EXPECT_FLOAT_EQ(Progdisplay.vh_factor, 0.5f);
    EXPECT_EQ(dialog_result, 2);
}

} // namespace
