// The window program on the headless backend: start-up, first paint, child windows, painting,
// scrolling, mouse and keys, and the close sequence.
#include "window_fixture.h"

#include "model/services.h"
#include "model/utilities.h"

#include "shell/paint.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

using test_support::read_file;

TEST_F(WindowProgram, StartUpAndFirstPaint) {
    std::ofstream(home + "veldarin.ini") << "[files]\nextension=*.txt\n";
    ASSERT_TRUE(start());
    EXPECT_EQ(take_output(), "BOX [Program Information] 2D Resistivity and IP Forward Modelling"
                             "\\n\\nVELDARIN ver. 3.03.01\\n\\nMaximum number of electrodes is "
                             "161.\n");
    EXPECT_EQ(ui::title(), "VELDARIN ver. 3.03.01");
    EXPECT_EQ(Mainviewstate.view_code, 0);
    EXPECT_EQ(Mainviewstate.view_detail, 0);

    // Canvas of 5/4 the screen, limits and arrays from 1024 px and 512 MiB.
    EXPECT_EQ(shell::canvas().width(), 1280);
    EXPECT_EQ(shell::canvas().height(), 960);
    EXPECT_EQ(Progdisplay.canvas_dc, &shell::canvas());
    EXPECT_EQ(Proglim.max_electrodes, 161);
    EXPECT_NE(Potentialtables.potential_table_1, nullptr);
    EXPECT_EQ(Modelsettings.datum_gfactor[Proglim.max_data_points - 1], 1.0f);

    // Paths in the program folder, which is the current folder.
    EXPECT_EQ(std::string(Systemsettings.program_dir), home);
    EXPECT_EQ(std::filesystem::path(sys::current_dir()), std::filesystem::path(home).parent_path());
    EXPECT_EQ(std::string(Printtrace.file_name), home + "kwoptrace.txt");
    EXPECT_EQ(std::string(Systemsettings.bmp_path), home + "temp.bmp");
    // The work files in a folder of this run's own inside it; the listing beside the settings.
    const std::string work = sys::work_folder();
    EXPECT_EQ(work.rfind(home + "work.", 0), 0u) << work;
    EXPECT_EQ(std::string(Systemsettings.work_dir), work);
    EXPECT_EQ(std::string(Modelsettings.nodes_file), work + "nodesfile.xxx");
    EXPECT_EQ(std::string(Modelresolution.work_files[0]), work + "elecs_opt.bin");
    EXPECT_EQ(std::string(Modelsettings.dump_file), home + "dump_file.txt");

    // The settings file read at the first paint.
    EXPECT_EQ(std::string(Modelsettings.model_file), "*.txt");
    EXPECT_EQ(std::string(Systemsettings.initial_dir), home);
    EXPECT_EQ(std::string(Systemsettings.paint_program), "xdg-open");

    // Scroll ranges over the canvas: client 1007 x 726.
    ui::Event e;
    e.kind = ui::EventKind::scroll;
    e.bar = ui::Bar::vertical;
    e.code = ui::ScrollCode::thumb_track;
    e.pos = 100000;
    send(e);
    EXPECT_EQ(Progdisplay.scroll_y, 960 - 726);
}

TEST_F(WindowProgram, FirstPaintRunsOnce) {
    ASSERT_TRUE(start());
    take_output();
    ui::invalidate();
    idle();
    shell::paint_main_window();
    EXPECT_EQ(take_output(), "");
}

TEST_F(WindowProgram, ChildWindowsAtTheFootStartHidden) {
    ASSERT_TRUE(start());
    const ui::ChildPlace s = ui::child_place(ui::Child::status);
    const ui::ChildPlace n = ui::child_place(ui::Child::next);
    EXPECT_FALSE(ui::child_shown(ui::Child::status));
    EXPECT_FALSE(ui::child_shown(ui::Child::next));
    // Fixed font: 8 x 16 cells; "Calculation status child window for messages.   " has 48.
    EXPECT_EQ(Statuswind.bar_width, 48 * 8);
    EXPECT_EQ(Statuswind.bar_height, 19);
    EXPECT_EQ(s.x, 0);
    EXPECT_EQ(s.y, 726 - 19);
    EXPECT_EQ(s.w, 48 * 8);
    EXPECT_EQ(Nextwind.button_width, 10 * 8);
    EXPECT_EQ(n.x, 1007 - 80 - 1);
    EXPECT_EQ(n.y, 726 - 19);
}

TEST_F(WindowProgram, StatusBarAndText) {
    ASSERT_TRUE(start());
    ui::show_child(ui::Child::status, true);
    const gfx::Colour green = gfx::rgb(0, 255, 63);
    for (int length : {0, 50}) {
        Statuswind.bar_length = length;
        std::snprintf(Statuswind.text, sizeof Statuswind.text, "Step 3");
        ui::invalidate_status();
        idle();
        const gfx::Canvas& c = ui::child_canvas(ui::Child::status);
        EXPECT_EQ(c.get_pixel(40, 17) == green, length == 50) << length;
        EXPECT_EQ(c.get_pixel(60, 17), gfx::white);
        // Text drawn over the bar: some pixel of the first cell is neither white nor green.
        bool ink = false;
        for (int y = 0; y < 16; ++y)
            for (int x = 2; x < 10; ++x)
                ink |= c.get_pixel(x, y) != gfx::white && c.get_pixel(x, y) != green;
        EXPECT_TRUE(ink) << length;
    }
}

TEST_F(WindowProgram, NextWindowToggles) {
    ASSERT_TRUE(start());
    ui::show_child(ui::Child::next, true);
    idle();
    const gfx::Colour yellow = gfx::rgb(255, 255, 0), red = gfx::rgb(255, 0, 0);
    EXPECT_EQ(ui::child_canvas(ui::Child::next).get_pixel(0, 18), yellow);
    ui::Event e;
    e.kind = ui::EventKind::child_mouse_down;
    e.child = ui::Child::next;
    e.x = e.y = 1;
    const int flags[] = {1, 0};
    const gfx::Colour faces[] = {red, yellow};
    for (int i = 0; i < 2; ++i) {
        send(e);
        EXPECT_EQ(Nextwind.next_flag, flags[i]);
        EXPECT_EQ(ui::child_canvas(ui::Child::next).get_pixel(0, 18), faces[i]);
    }
}

TEST_F(WindowProgram, FontSizeFollowsClientHeight) {
    struct Case {
        int screen_height, font;
    } cases[] = {{562, 14}, {563, 16}}; // client 520 and 521 pixels
    for (const Case& c : cases) {
        ASSERT_TRUE(start(1024, c.screen_height));
        EXPECT_EQ(shell::Windowobjects.text_font.height, c.font) << c.screen_height;
        EXPECT_EQ(shell::Windowobjects.text_font.face, "Arial");
        shell::end_program();
        ui::reset();
    }
}

TEST_F(WindowProgram, PaintCopiesTheCanvasFromTheScrollOffsets) {
    ASSERT_TRUE(start());
    shell::canvas().set_pixel(30, 40, gfx::rgb(255, 0, 0));
    Progdisplay.model_displayed = 0;
    shell::paint_main_window();
    EXPECT_EQ(ui::window_canvas().get_pixel(30, 40), gfx::white);
    Progdisplay.model_displayed = 1;
    shell::hscroll_handler(ui::ScrollCode::thumb_track, 10);
    shell::vscroll_handler(ui::ScrollCode::thumb_track, 20);
    idle();
    EXPECT_EQ(ui::window_canvas().get_pixel(20, 20), gfx::rgb(255, 0, 0));
}

TEST_F(WindowProgram, ScrollRequests) {
    ASSERT_TRUE(start()); // horizontal range 0 .. 1280 - 1007 = 273
    struct Case {
        int from;
        ui::ScrollCode code;
        int pos, to;
    } cases[] = {
        {3, ui::ScrollCode::page_up, 0, 3}, // 3 - 5 is not above 0
        {3, ui::ScrollCode::line_up, 0, 2},           {0, ui::ScrollCode::line_up, 0, 0},
        {6, ui::ScrollCode::page_up, 0, 1},           {267, ui::ScrollCode::page_down, 0, 272},
        {268, ui::ScrollCode::page_down, 0, 268}, // 273 is not below the range end
        {272, ui::ScrollCode::line_down, 0, 273},     {273, ui::ScrollCode::line_down, 0, 273},
        {10, ui::ScrollCode::thumb_position, 99, 10}, {10, ui::ScrollCode::thumb_track, 99, 99},
        {10, ui::ScrollCode::thumb_track, 5000, 273}, // kept within the range
        {10, ui::ScrollCode::thumb_track, -7, 0},     {10, ui::ScrollCode::end_scroll, 99, 10},
    };
    for (const Case& c : cases) {
        Progdisplay.scroll_x = c.from;
        shell::hscroll_handler(c.code, c.pos);
        EXPECT_EQ(Progdisplay.scroll_x, c.to) << c.from << " code " << int(c.code);
        EXPECT_EQ(ui::scroll_pos(ui::Bar::horizontal), c.to);
    }
}

// A model read anew is shown from the top left of the canvas, however far the model before it
// was scrolled; a file that is not read leaves the view where it was.
TEST_F(WindowProgram, ANewModelStartsAtTheTop) {
    ASSERT_TRUE(start());
    const std::string model = std::string(VELDARIN_SOURCE_DIR) + "/examples/two_layers.mod";
    answer("file " + model);
    command(101);
    ASSERT_EQ(Modelsettings.model_read, 1);
    scroll_to(ui::Bar::vertical, 150);
    scroll_to(ui::Bar::horizontal, 120);
    ASSERT_EQ(Progdisplay.scroll_y, 150);
    ASSERT_EQ(Progdisplay.scroll_x, 120);
    answer("file " + home_dir.write("broken.mod", "Broken\n3\n"));
    command(101);
    EXPECT_EQ(Progdisplay.scroll_y, 150);
    EXPECT_EQ(ui::scroll_pos(ui::Bar::vertical), 150);
    answer("file " + std::string(VELDARIN_SOURCE_DIR) + "/examples/hill.mod");
    command(101);
    ASSERT_EQ(Modelsettings.model_read, 1);
    EXPECT_EQ(Progdisplay.scroll_y, 0);
    EXPECT_EQ(Progdisplay.scroll_x, 0);
    EXPECT_EQ(ui::scroll_pos(ui::Bar::vertical), 0);
    EXPECT_EQ(ui::scroll_pos(ui::Bar::horizontal), 0);
    EXPECT_TRUE(answered()) << err.str();
}

TEST_F(WindowProgram, MouseAndKeysFeedTheEditor) {
    ASSERT_TRUE(start());
    int calls = 0, last_x = -1, last_y = -1, last_ch = 0;
    shell::EditHooks hooks;
    hooks.mark_blocks_multi = [&](int x, int y) {
        ++calls, last_x = x, last_y = y;
        return 1;
    };
    hooks.mark_block = [&](int x, int y) {
        ++calls, last_x = x, last_y = y;
        return 2;
    };
    hooks.edit_blocks_mode3 = [&](int ch, int x, int y) {
        ++calls, last_ch = ch, last_x = x, last_y = y;
        return 3;
    };
    shell::set_edit_hooks(hooks);
    Progdisplay.scroll_x = 5;
    Progdisplay.scroll_y = 7;

    // Outside edit mode nothing changes but the cursor position.
    shell::left_button_handler(10, 20);
    shell::char_key_handler('a');
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(Progdisplay.cursor_x, 15);
    EXPECT_EQ(Progdisplay.cursor_y, 27);

    Progdisplay.editmode = 1;
    shell::left_button_handler(10, 20);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(Progdisplay.edit_changed, 1);
    shell::right_button_handler(1, 2);
    EXPECT_EQ(last_x, 6);
    EXPECT_EQ(last_y, 9);
    EXPECT_EQ(Progdisplay.edit_changed, 2);
    // A key edits where the pointer is.
    ui::Event move;
    move.kind = ui::EventKind::mouse_move;
    move.x = 100;
    move.y = 200;
    send(move);
    shell::char_key_handler('r');
    EXPECT_EQ(last_ch, 'r');
    EXPECT_EQ(last_x, 105);
    EXPECT_EQ(last_y, 207);
    EXPECT_EQ(Progdisplay.edit_changed, 3);

    // Keys do not edit a cylinder model.
    Modelsettings.cylinder_model = 1;
    shell::char_key_handler('s');
    EXPECT_EQ(last_ch, 'r');
    shell::set_edit_hooks({});
}

// Esc or q typed before "Calculate" waits in the queue: the calculation's first look at the
// queue (a progress update) finds it, and the calculation stops, says so in a box and on the
// status line, and shows the model sections it drew. The next command clears the status line.
TEST_F(WindowProgram, KeyTypedAheadStopsTheCalculationAndTheStatusLineSaysSo) {
    const std::string model = std::string(VELDARIN_SOURCE_DIR) + "/examples/homogeneous_wenner.mod";
    for (int ch : {int('q'), 27}) {
        ASSERT_TRUE(start());
        answer("file " + model);
        command(101);
        take_output();
        take_texts();
        key(ch);
        command(130);
        EXPECT_NE(take_output().find("BOX [Message] Calculations stopped by the user."),
                  std::string::npos);
        EXPECT_EQ(Modelsettings.data_ready, 0);
        EXPECT_STREQ(status_line(), "Calculation stopped by the user.");
        const std::string texts = take_texts();
        EXPECT_NE(texts.find("Resistivity model\n"), std::string::npos) << texts;
        EXPECT_NE(texts.find("Calculation stopped by the user.\n"), std::string::npos) << texts;
        command(111);
        EXPECT_STREQ(status_line(), "");
        shell::end_program();
        ui::reset();
    }
}

// "Quit program" and "Exit program" chosen while a calculation runs do what the window's close
// request does: the calculation stops, and the program ends when it has returned.
TEST_F(WindowProgram, QuitDuringACalculationStopsItAndEndsTheProgram) {
    const std::string model = std::string(VELDARIN_SOURCE_DIR) + "/examples/homogeneous_wenner.mod";
    for (int id : {150, 106}) {
        ASSERT_TRUE(start());
        answer("file " + model);
        command(101);
        take_output();
        ui::Event quit;
        quit.kind = ui::EventKind::command;
        quit.id = id;
        backend.post(quit);
        command(130);
        const std::string out = take_output();
        EXPECT_NE(out.find("BOX [Message] Calculations stopped by the user."), std::string::npos)
            << id << ": " << out;
        EXPECT_EQ(Modelsettings.data_ready, 0) << id;
        EXPECT_TRUE(ui::window_closed()) << id;
        EXPECT_TRUE(sys::file_exists(home + "veldarin.ini")) << id;
        shell::end_program();
        ui::reset();
        std::remove((home + "veldarin.ini").c_str());
    }
}

// Closing, or reading another model, after an edit that was not saved asks to save the edited
// model first: Cancel keeps it, so does Yes with the save cancelled; Yes with a file saves it and
// goes on; No goes on at once (the edit given up knowingly). Without an edit no question comes.
TEST_F(WindowProgram, GivingUpAnUnsavedEditAsksToSaveTheModel) {
    const std::string examples = std::string(VELDARIN_SOURCE_DIR) + "/examples/";
    const std::string asked = "BOX [Message] The model has been edited and not saved.\\nDo you "
                              "want to save the model before ";
    const struct {
        int id;
        const char* before;
    } ways[] = {{150, "closing?"}, {101, "reading another model?"}};
    const struct {
        const char* answers;
        bool edited, goes_on, saved;
    } cases[] = {
        {"box cancel", true, false, false},
        {"box yes\nfile cancel", true, false, false},
        {"box yes\nfile $H/saved.mod", true, true, true},
        {"box no", true, true, false},
        {"", false, true, false},
    };
    for (const auto& way : ways)
        for (const auto& c : cases) {
            SCOPED_TRACE(std::to_string(way.id) + ": " + c.answers);
            ASSERT_TRUE(start());
            answer("file " + examples + "hill.mod");
            command(101);
            ASSERT_EQ(Modelsettings.nelec, 31);
            if (c.edited) model::model_edited(Modelsettings);
            take_output();
            std::string answers = c.answers;
            if (answers.find("$H/") != std::string::npos)
                answers.replace(answers.find("$H/"), 3, home);
            answer(answers);
            if (way.id == 101 && c.goes_on) answer("file " + examples + "two_layers.mod");
            command(way.id);
            const std::string out = take_output();
            EXPECT_EQ(out.find(asked + way.before) != std::string::npos, c.edited) << out;
            EXPECT_EQ(way.id == 150 ? ui::window_closed() : Modelsettings.nelec == 25, c.goes_on);
            EXPECT_EQ(sys::file_exists(home + "saved.mod"), c.saved);
            EXPECT_TRUE(answered()) << err.str();
            shell::end_program();
            ui::reset();
            std::remove((home + "saved.mod").c_str());
        }
}

TEST_F(WindowProgram, CloseWritesTheSettingsFileAndRemovesTheStructureFile) {
    ASSERT_TRUE(start());
    std::ofstream(Modelsettings.nodes_file) << "work";
    command(150);
    EXPECT_TRUE(ui::window_closed());
    EXPECT_EQ(read_file(home + "veldarin.ini"),
              "[programs]\npaint=xdg-open\neditor=xdg-open\n[files]\nextension=*.mod\n"
              "output=" +
                  home + "\ninput=" + home + "\n");
    EXPECT_FALSE(sys::file_exists(Modelsettings.nodes_file));
}

TEST_F(WindowProgram, ArraysThatCannotBeHadEndTheStartCleanly) {
    ASSERT_EQ(init_globals(), 0);
    sys::set_page_budget(sys::page_bytes_in_use() + (1 << 20));
    backend.set_screen(1024, 768);
    EXPECT_FALSE(shell::start_program(shell::Machine{}));
    EXPECT_NE(take_output().find("BOX ["), std::string::npos);
    EXPECT_EQ(Potentialtables.potential_table_1, nullptr);
    shell::end_program();
    EXPECT_EQ(sys::page_bytes_in_use(), 0);
}

} // namespace
