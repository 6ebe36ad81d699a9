// The horizontal-scale and vertical-factor dialogs through the headless backend.
#include "fixture.h"

#include "display/scales.h"

namespace {
using display_test::Session;

// A scale outside 1..200 is refused with the box that names the range, and the dialog stays
// open until Cancel.
TEST(HorizontalScale, AcceptsOneTo200AndRefusesTheRest) {
    const struct {
        const char* typed;
        float xscale; // 0: refused
    } cases[] = {{"200", 200.0f}, {"1", 1.0f},   {"37.25", 37.25f}, {"200.5", 0.0f},
                 {"0.5", 0.0f},   {"-20", 0.0f}, {"500", 0.0f}};
    for (const auto& c : cases) {
        Session s;
        Modelsettings.ndata = 10;
        Progdisplay.xscale = 12.0f;
        const bool taken = c.xscale > 0.0f;
        s.answer(std::string("dialog HrpsDiaBox set 853 ") + c.typed +
                 (taken ? " ok" : " ok cancel"));
        EXPECT_EQ(hrps_menu_handler(), 117);
        EXPECT_FLOAT_EQ(Progdisplay.xscale, taken ? c.xscale : 12.0f) << c.typed;
        EXPECT_EQ(dialog_result, taken ? 1 : 2);
        EXPECT_EQ(s.showed("BOX [Message] The horizontal display scale must be a number from 1 "
                           "to 200."),
                  !taken)
            << c.typed;
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

TEST(VerticalFactor, StoresTheReciprocalOfAFactorFrom02To100) {
    const struct {
        const char* typed;
        float after; // 0: refused, the factor stays 0.8
    } cases[] = {
        {"2", 0.5f},    {"0.25", 4.0f}, {"0.2", 5.0f}, {"100", 0.01f}, // the reciprocal at most 5
        {"0.15", 0.0f}, {"0", 0.0f},    {"0.1", 0.0f}, {"-3", 0.0f},   {"-2", 0.0f}, {"101", 0.0f},
    };
    for (const auto& c : cases) {
        Session s;
        Progdisplay.vh_factor = 0.8f;
        const bool taken = c.after > 0.0f;
        s.answer(std::string("dialog VtsfDiaBox set 846 ") + c.typed +
                 (taken ? " ok" : " ok cancel"));
        EXPECT_EQ(ui::run_dialog(VtsfDiaBox, VtsfDiaBoxProc), taken ? 1 : 0);
        EXPECT_FLOAT_EQ(Progdisplay.vh_factor, taken ? c.after : 0.8f) << c.typed;
        EXPECT_EQ(s.showed("BOX [Message] The vertical/horizontal display scaling factor must be a "
                           "number from 0.2 to 100."),
                  !taken)
            << c.typed;
        EXPECT_TRUE(s.answered()) << s.err.str();
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
    EXPECT_TRUE(s.showed("BOX [Message] The horizontal display scale must be a number from 1 to "
                         "200.\nBOX [Message] The horizontal display scale must be a number from 1 "
                         "to 200.\nBOX [Message] The vertical/horizontal display scaling factor "
                         "must be a number from 0.2 to 100."));
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
