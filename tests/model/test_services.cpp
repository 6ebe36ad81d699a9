// The trace log, the message funnel, the status services over the pump, the status line, the
// clearing of a canvas and the shared file dialogs.
#include "support/files.h"
#include "support/session.h"

#include "model/globals.h"
#include "model/services.h"
#include "model/utilities.h"
#include "platform/gfx/canvas.h"
#include "platform/sys/sys.h"

#include <fstream>

namespace {
using test_support::GlobalRecords;
using test_support::Headless;
using test_support::read_file;
using test_support::TempDir;

TEST(Trace, OffCreatesNothing) {
    GlobalRecords records;
    TempDir dir;
    model::copy_text(Printtrace.file_name, sizeof Printtrace.file_name,
                     dir.file("kwoptrace.txt").c_str());
    model::trace("step %d\n", 1);
    EXPECT_FALSE(sys::file_exists(dir.file("kwoptrace.txt")));
    EXPECT_STREQ(Printtrace.line, ""); // nothing is even formatted
}

TEST(Trace, EachLineIsAppendedWithTheFileClosedBetween) {
    GlobalRecords records;
    TempDir dir;
    model::copy_text(Printtrace.file_name, sizeof Printtrace.file_name,
                     dir.file("kwoptrace.txt").c_str());
    Printtrace.active = 1;
    model::trace("end readmodel_2D tflag %d\n", 2);
    EXPECT_EQ(Printtrace.file, nullptr);
    EXPECT_EQ(Printtrace.pending, 0);
    EXPECT_EQ(read_file(dir.file("kwoptrace.txt")), "end readmodel_2D tflag 2\n");
    // Another writer between two lines is kept: the file is opened again for each line.
    {
        std::ofstream other(dir.file("kwoptrace.txt"), std::ios::app);
        other << "other\n";
    }
    model::trace("jacob cal flag %d\n", 0);
    EXPECT_EQ(read_file(dir.file("kwoptrace.txt")),
              "end readmodel_2D tflag 2\nother\njacob cal flag 0\n");
}

TEST(Trace, LongLineIsCutToTheBuffer) {
    GlobalRecords records;
    TempDir dir;
    model::copy_text(Printtrace.file_name, sizeof Printtrace.file_name,
                     dir.file("kwoptrace.txt").c_str());
    Printtrace.active = 1;
    const std::string long_text(20000, 'x');
    model::trace("%s|%s\n", long_text.c_str(), long_text.c_str());
    EXPECT_EQ(read_file(dir.file("kwoptrace.txt")), std::string(8191, 'x'));
}

TEST(Trace, SwitchesOffWhenTheFileCannotBeOpened) {
    GlobalRecords records;
    TempDir dir;
    model::copy_text(Printtrace.file_name, sizeof Printtrace.file_name,
                     dir.file("missing/kwoptrace.txt").c_str());
    Printtrace.active = 1;
    model::trace("first\n");
    EXPECT_EQ(Printtrace.active, 0);
    // Even when the file could be opened again, tracing stays off.
    model::copy_text(Printtrace.file_name, sizeof Printtrace.file_name,
                     dir.file("kwoptrace.txt").c_str());
    model::trace("second\n");
    EXPECT_FALSE(sys::file_exists(dir.file("kwoptrace.txt")));
}

TEST(Messages, FunnelBeepsAndShowsTheBox) {
    Headless ui;
    EXPECT_EQ(model::show_message("Error in the number for the array type!", "Error Message"),
              ui::id_ok);
    beep();
    EXPECT_EQ(ui.output(), "BEEP\nBOX [Error Message] Error in the number for the array type!\n"
                           "BEEP\n");
}

// Every failure goes to the trace and the count, then to the box or the status line.
TEST(Messages, ErrorsAreTracedCountedAndShownAsAsked) {
    GlobalRecords records;
    TempDir dir;
    model::copy_text(Printtrace.file_name, sizeof Printtrace.file_name,
                     dir.file("kwoptrace.txt").c_str());
    Printtrace.active = 1;
    Headless ui;
    model::clear_error_count();
    EXPECT_EQ(model::report_error(model::Shown::box, "Error Message", "Error in opening file\n%s",
                                  "a.dat"),
              ui::id_ok);
    EXPECT_EQ(ui.take_output(), "BEEP\nBOX [Error Message] Error in opening file\\na.dat\n");
    EXPECT_EQ(
        model::report_error(model::Shown::status_line, nullptr, "Error in allocating memory."), 0);
    EXPECT_EQ(ui.take_output(), "BEEP\n");
    EXPECT_NE(ui.take_texts().find("Error in allocating memory."), std::string::npos);
    model::report_error(model::Shown::box_in_front, "Message", "Calculation error at point %5d.",
                        12);
    EXPECT_EQ(ui.take_output(), "BOX [Message] Calculation error at point    12.\n");
    EXPECT_EQ(model::error_count(), 3);
    EXPECT_EQ(read_file(dir.file("kwoptrace.txt")),
              "Error [Error Message] Error in opening file\na.dat\n"
              "Error [status line] Error in allocating memory.\n"
              "Error [Message] Calculation error at point    12.\n");
    model::clear_error_count();
    EXPECT_EQ(model::error_count(), 0);
}

TEST(Progress, CheckUserAbortWithScriptedKeysAndClose) {
    GlobalRecords records;
    const struct {
        const char* name;
        std::vector<int> keys; // characters, then -1 for a close request
        int result;
    } cases[] = {
        {"nothing waiting", {}, 0},
        {"Esc", {27}, 1},
        {"Q", {'Q'}, 1},
        {"q", {'q'}, 1},
        {"other keys", {'a', 'x', ' '}, 0},
        {"q behind other keys", {'a', 'q'}, 1},
        {"close request", {-1}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Headless ui;
        std::vector<int> delivered;
        ui::Handlers handlers;
        handlers.key = [&delivered](int ch) { delivered.push_back(ch); };
        ui::set_handlers(handlers);
        for (int k : c.keys) {
            if (k >= 0) {
                ui.key(k);
            } else {
                ui::Event close;
                close.kind = ui::EventKind::close;
                ui.backend.post(close);
            }
        }
        ui::CommandScope command; // the calculation runs inside a command
        EXPECT_EQ(check_user_abort(), c.result);
        for (int ch : delivered)
            EXPECT_FALSE(ui::is_abort_key(ch)); // abort keys not dispatched
        if (c.keys == std::vector<int>{-1}) {
            // The close waits for the command and the next check stops again.
            EXPECT_TRUE(ui::close_requested());
            EXPECT_EQ(check_user_abort(), 1);
        }
    }
}

TEST(Progress, UpdateStatusStoresABoundedTextAndRecordsAnAbort) {
    GlobalRecords records;
    Headless ui;
    update_status("Finite-Difference Calculations -  50.0% completed", 120);
    EXPECT_STREQ(Statuswind.text, "Finite-Difference Calculations -  50.0% completed");
    EXPECT_EQ(Statuswind.bar_length, 120);
    EXPECT_EQ(Statuswind.abort_word, 0);

    const std::string long_text(700, 'z');
    ui.key('q');
    update_status(long_text.c_str(), 0);
    EXPECT_EQ(std::string(Statuswind.text), std::string(511, 'z'));
    EXPECT_EQ(Statuswind.bar_length, 0);
    EXPECT_EQ(Statuswind.abort_word, 1);
    // The abort stays until a check reports it (a key typed ahead is never lost to a progress
    // update), or until the next command starts.
    update_status("next", 0);
    EXPECT_EQ(Statuswind.abort_word, 1);
    EXPECT_EQ(check_user_abort(), 1);
    EXPECT_EQ(Statuswind.abort_word, 0);
    EXPECT_EQ(check_user_abort(), 0);
    ui.key('q');
    update_status("next", 0);
    command_started();
    EXPECT_EQ(check_user_abort(), 0);
}

TEST(StatusLine, RedTextAboveTheStatusWindowAndBlackAfterwards) {
    GlobalRecords records;
    gfx::Canvas canvas(900, 400);
    canvas.fill_rect({0, 0, 900, 400}, gfx::rgb(0, 0, 255));
    Progdisplay.client_height = 300;
    Progdisplay.status_height = 20;
    show_status_text(std::string(900, 'W').c_str(), &canvas);
    int red = 0, outside = 0;
    for (int y = 0; y < 400; ++y)
        for (int x = 0; x < 900; ++x) {
            const gfx::Colour p = canvas.get_pixel(x, y);
            if (p == gfx::rgb(255, 0, 0)) {
                ++red;
                if (y < 280 || y >= 296 || x < 8) ++outside;
            }
        }
    EXPECT_GT(red, 0);
    EXPECT_EQ(outside, 0);
    // The wiped line is background-filled from x = 8 on (107 blanks of 8 pixels).
    EXPECT_NE(canvas.get_pixel(8 + 107 * 8 - 1, 282), gfx::rgb(0, 0, 255));
    EXPECT_EQ(canvas.get_pixel(4, 282), gfx::rgb(0, 0, 255));
    EXPECT_EQ(canvas.set_text_colour(gfx::black), gfx::black);
    show_status_text("x", nullptr); // no canvas: nothing happens
}

TEST(ClearArea, WhitensTheRectangleOnlyAndLeavesAWhiteBrush) {
    gfx::Canvas canvas(40, 30);
    canvas.fill_rect({0, 0, 40, 30}, gfx::black);
    canvas.select_brush(gfx::Brush{gfx::rgb(1, 2, 3), false});
    clear_area(&canvas, 10, 5);
    EXPECT_EQ(canvas.get_pixel(0, 0), gfx::white);
    EXPECT_EQ(canvas.get_pixel(9, 4), gfx::white);
    EXPECT_EQ(canvas.get_pixel(10, 4), gfx::black);
    EXPECT_EQ(canvas.get_pixel(9, 5), gfx::black);
    EXPECT_EQ(canvas.brush().colour, gfx::white);
}

TEST(FileDialogs, ChosenFileFillsBothBuffersAndCancelLeavesThem) {
    GlobalRecords records;
    TempDir dir;
    dir.touch("two_layer.mod");
    const std::string saved_dir = sys::current_dir();
    Headless ui;
    file_dialog_init();
    EXPECT_EQ(Systemsettings.file_dialog.max_file, int(sys::path_max));
    EXPECT_STREQ(Systemsettings.file_dialog.filter, "All Files (*.*)");

    char file[260] = "*.mod";
    char title[264] = "2D Model File";
    ui.answer("file " + dir.file("two_layer.mod"));
    EXPECT_NE(open_file_dialog(file, title, dir.path.c_str()), 0);
    EXPECT_EQ(std::string(file), dir.file("two_layer.mod"));
    EXPECT_STREQ(title, "two_layer.mod");
    EXPECT_EQ(Systemsettings.file_dialog.flags, ofn_create_prompt);

    char out[260] = "*.dat";
    char out_title[264] = "Output data file";
    ui.answer("file cancel");
    EXPECT_EQ(save_file_dialog(out, out_title, dir.path.c_str()), 0);
    EXPECT_STREQ(out, "*.dat");
    EXPECT_STREQ(out_title, "Output data file");
    EXPECT_EQ(Systemsettings.file_dialog.flags, ofn_overwrite_prompt);
    sys::set_current_dir(saved_dir);
}

} // namespace
