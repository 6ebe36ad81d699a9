// Palette whites, brushes, colour-scheme files and the colour commands and dialog, driven
// through the headless backend.
#include "fixture.h"

#include "display/colours.h"

#include <cstring>

namespace {
using display_test::Session;
using test_support::TempDir;

// A colour-scheme file: n, then the given entries (4 bytes each, little-endian).
std::string scheme_bytes(std::int32_t n, const std::vector<std::uint32_t>& entries) {
    std::string bytes;
    const auto put = [&](std::uint32_t v) {
        for (int b = 0; b < 4; ++b)
            bytes.push_back(char(v >> (8 * b) & 0xFF));
    };
    put(std::uint32_t(n));
    for (std::uint32_t e : entries)
        put(e);
    return bytes;
}

std::vector<std::uint32_t> ramp(int count) {
    std::vector<std::uint32_t> v;
    for (int i = 0; i < count; ++i)
        v.push_back(gfx::rgb(i, 2 * i, 3 * i));
    return v;
}

TEST(Palette, WhiteIsEnteredAs250AndBrushesPaintTheirPaletteColour) {
    Session s;
    Progdisplay.colour_table[5] = gfx::white;
    rebuild_display_objects();
    EXPECT_EQ(Progdisplay.colour_table[5], gfx::white);
    EXPECT_EQ(Progdisplay.palette[5], gfx::rgb(250, 250, 250));
    EXPECT_EQ(Progdisplay.palette[18], gfx::rgb(250, 250, 250)); // the default fixed whites
    EXPECT_EQ(Progdisplay.palette[25], gfx::rgb(250, 250, 250));
    EXPECT_EQ(Progdisplay.palette[23], gfx::rgb(254, 254, 254));
    gfx::Canvas canvas(32 * 4, 4);
    for (int i = 0; i < 32; ++i) {
        canvas.select_brush(Progdisplay.brushes[i]);
        canvas.select_pen(Progdisplay.pens[i]);
        canvas.rectangle(4 * i, 0, 4 * i + 4, 4);
        EXPECT_EQ(canvas.get_pixel(4 * i + 1, 1), Progdisplay.palette[i]) << i;
        EXPECT_EQ(canvas.get_pixel(4 * i, 0), Progdisplay.palette[i]) << i;
        EXPECT_NE(canvas.get_pixel(4 * i + 1, 1), gfx::white) << i;
    }
    create_display_objects();
    for (int i = 0; i < 32; ++i)
        EXPECT_EQ(Progdisplay.palette256[i], Progdisplay.palette[i]) << i;
}

// The colour-scale boxes of a drawing share their edges: rectangles are right- and
// bottom-exclusive, so neighbours tile without gap or overlap.
TEST(Palette, BandRectanglesTile) {
    Session s;
    gfx::Canvas canvas(17 * 6, 12);
    for (int i = 0; i < 17; ++i) {
        canvas.select_brush(Progdisplay.brushes[i]);
        canvas.select_pen(Progdisplay.pens[i]);
        canvas.rectangle(6 * i, i % 2, 6 * i + 6, 12 - i % 2);
    }
    for (int x = 0; x < 17 * 6; ++x)
        for (int y = 1; y < 11; ++y)
            ASSERT_EQ(canvas.get_pixel(x, y), Progdisplay.palette[x / 6]) << x << "," << y;
}

TEST(ColourSchemeFile, RoundTripsTheEntriesOfItsLevelCount) {
    Session s;
    TempDir dir;
    for (const auto& c :
         std::vector<std::pair<int, long>>{{16, 72}, {10, 48}, {11, 52}, {31, 132}, {5, 28}}) {
        std::uint32_t written[36];
        for (int i = 0; i < 36; ++i)
            written[i] = gfx::rgb(7 * i, 255 - i, i);
        const std::string path = dir.file("scheme" + std::to_string(c.first) + ".col");
        ASSERT_TRUE(write_colour_scheme_file(path.c_str(), c.first, written));
        EXPECT_EQ(sys::file_size(path), c.second);
        std::uint32_t table[36];
        std::memcpy(table, default_colours, sizeof default_colours);
        ASSERT_EQ(read_colour_scheme_file(path.c_str(), table), ColourFileStatus::ok);
        for (int i = 0; i < 32; ++i)
            EXPECT_EQ(table[i], i <= c.first ? written[i] : default_colours[i]) << i;
    }
    EXPECT_FALSE(write_colour_scheme_file("/nonexistent/dir/x.col", 16, default_colours));
}

// A file of 16 to 132 bytes with n in 5..31 gives entries 0..n; bytes after them are ignored.
TEST(ColourSchemeFile, LongerFilesGiveTheirFirstEntries) {
    Session s;
    TempDir dir;
    const struct {
        int n, entries;
        long size;
    } cases[] = {{16, 19, 80}, {5, 32, 132}};
    for (const auto& c : cases) {
        const std::string path = dir.write("long.col", scheme_bytes(c.n, ramp(c.entries)));
        ASSERT_EQ(sys::file_size(path), c.size);
        std::uint32_t table[36];
        std::memcpy(table, default_colours, sizeof default_colours);
        ASSERT_EQ(read_colour_scheme_file(path.c_str(), table), ColourFileStatus::ok) << c.size;
        for (int i = 0; i < 32; ++i)
            EXPECT_EQ(table[i], i <= c.n ? gfx::rgb(i, 2 * i, 3 * i) : default_colours[i])
                << c.size << " bytes, entry " << i;
    }
}

TEST(ColourSchemeFile, BadSizesAndCountsLeaveTheTableUnchanged) {
    Session s;
    TempDir dir;
    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"133 bytes", scheme_bytes(31, ramp(32)) + "x"},
        {"n = 4", scheme_bytes(4, ramp(5))},
        {"n = 32", scheme_bytes(32, ramp(31))},
        {"n = 16 in 68 bytes", scheme_bytes(16, ramp(16))},
        {"n = 31 in 40 bytes", scheme_bytes(31, ramp(9))},
        {"12 bytes", scheme_bytes(16, ramp(2))},
        {"n = -1", scheme_bytes(-1, ramp(20))},
    };
    for (const auto& c : cases) {
        const std::string path = dir.write("bad.col", c.bytes);
        std::uint32_t table[36];
        std::memcpy(table, default_colours, sizeof default_colours);
        EXPECT_EQ(read_colour_scheme_file(path.c_str(), table), ColourFileStatus::bad_file)
            << c.what;
        EXPECT_EQ(std::memcmp(table, default_colours, sizeof default_colours), 0) << c.what;
    }
    std::uint32_t table[36] = {};
    EXPECT_EQ(read_colour_scheme_file(dir.file("missing.col").c_str(), table),
              ColourFileStatus::cannot_open);
}

TEST(ReadColourScheme, GoodFileRestoresBadFileIsReportedAndChangesNothing) {
    Session s;
    TempDir dir;
    model::copy_text(Systemsettings.initial_dir, sizeof Systemsettings.initial_dir,
                     dir.path.c_str());
    const std::string good = dir.write("good.col", scheme_bytes(16, ramp(17)));
    s.answer("file " + good);
    EXPECT_EQ(read_colour_scheme(), 539);
    EXPECT_TRUE(s.showed("BOX [Message] The colour scheme in the\\n" + good +
                         "\\nfile has been restored."));
    for (int i = 0; i <= 16; ++i)
        EXPECT_EQ(Progdisplay.colour_table[i], gfx::rgb(i, 2 * i, 3 * i)) << i;
    EXPECT_EQ(Progdisplay.colour_table[17], default_colours[17]);
    EXPECT_EQ(Progdisplay.brushes[3].colour, gfx::rgb(3, 6, 9));
    EXPECT_EQ(Progdisplay.model_displayed, 1);
    EXPECT_EQ(std::string(Systemsettings.current_dir) + "/", dir.path);

    std::uint32_t before[36];
    std::memcpy(before, Progdisplay.colour_table, sizeof before);
    const std::string bad = dir.write("bad.col", scheme_bytes(4, ramp(18)));
    s.out.str("");
    s.answer("file " + bad);
    read_colour_scheme();
    EXPECT_TRUE(
        s.showed("BOX [Colour scheme file] The file\\n" + bad + "\\nis not a colour scheme file."));
    EXPECT_FALSE(s.showed("has been restored"));
    EXPECT_EQ(std::memcmp(before, Progdisplay.colour_table, sizeof before), 0);

    // A missing file is refused in the dialog: nothing is read, nothing changes.
    s.out.str("");
    s.answer("file " + dir.file("none.col") + "\nfile cancel");
    read_colour_scheme();
    EXPECT_TRUE(s.showed("none.col\\nThis file does not exist."));
    EXPECT_FALSE(s.showed("has been restored"));
    EXPECT_EQ(std::memcmp(before, Progdisplay.colour_table, sizeof before), 0);
    EXPECT_TRUE(s.answered()) << s.err.str();
}

TEST(RestoreDefaultColours, PutsBackTheFirst32Entries) {
    Session s;
    for (int i = 0; i < 32; ++i)
        Progdisplay.colour_table[i] = gfx::rgb(1, 2, 3);
    rebuild_display_objects();
    EXPECT_EQ(restore_default_colours(), 301);
    EXPECT_EQ(std::memcmp(Progdisplay.colour_table, default_colours, sizeof default_colours), 0);
    EXPECT_EQ(Progdisplay.brushes[0].colour, default_colours[0]);
    EXPECT_TRUE(s.showed("BOX [Message] The default colour scheme has been restored."));
    EXPECT_EQ(Progdisplay.model_displayed, 1);
}

// Runs ColDiaBox with the given steps and returns the dialog's result.
int colour_dialog(Session& s, const std::string& steps) {
    s.answer("dialog ColDiaBox " + steps);
    const int result = ui::run_dialog(ColDiaBox, ColDiaBoxProc);
    EXPECT_TRUE(s.answered()) << s.err.str();
    return result;
}

TEST(ColourDialog, ScrollBarsComposeTheEntryWithinZeroTo255) {
    const struct {
        const char* steps;
        int red;
    } cases[] = {
        {"scroll 10 10 scroll 10 pageup", 0},
        {"scroll 10 250 scroll 10 pagedown", 255},
        {"scroll 10 100 scroll 10 lineup", 99},
        {"scroll 10 100 scroll 10 linedown", 101},
        {"scroll 10 100 scroll 10 top", 0},
        {"scroll 10 100 scroll 10 bottom", 255},
        {"scroll 10 300", 255},
        {"scroll 10 0 scroll 10 lineup", 0},
    };
    for (const auto& c : cases) {
        Session s;
        EXPECT_EQ(colour_dialog(s, std::string("click 903 ") + c.steps + " ok"), 1);
        EXPECT_EQ(dialog_result, 1);
        EXPECT_EQ(gfx::red_of(Progdisplay.colour_table[3]), c.red) << c.steps;
        EXPECT_EQ(Progdisplay.colour_table[3] & 0xFFFF00u, default_colours[3] & 0xFFFF00u);
        EXPECT_EQ(Progdisplay.colour_table[32], Progdisplay.colour_table[3]);
    }
}

TEST(ColourDialog, OkAppliesEveryChangedEntryAndCancelKeepsTheTable) {
    Session s;
    std::map<int, std::string> texts; // as the dialog shows them when OK is pressed
    s.answer("dialog ColDiaBox click 900 scroll 11 17 click 916 scroll 12 5 click 900 ok");
    ui::run_dialog(ColDiaBox, [&](ui::Dialog& d, ui::DialogEvent e, const ui::DialogArgs& a) {
        if (e == ui::DialogEvent::command && a.id == ui::id_ok)
            for (int id : {941, 944})
                texts[id] = d.text(id);
        return ColDiaBoxProc(d, e, a);
    });
    EXPECT_EQ(texts[944], "Colour 1");
    EXPECT_EQ(texts[941], "17");
    EXPECT_EQ(gfx::green_of(Progdisplay.colour_table[0]), 17);
    EXPECT_EQ(gfx::blue_of(Progdisplay.colour_table[16]), 5);
    EXPECT_TRUE(s.showed("BEEP")); // entry 1 was changed when chosen again

    std::uint32_t before[36];
    std::memcpy(before, Progdisplay.colour_table, sizeof before);
    EXPECT_EQ(colour_dialog(s, "click 905 scroll 10 0 scroll 11 0 scroll 12 0 cancel"), 0);
    EXPECT_EQ(dialog_result, 2);
    EXPECT_EQ(std::memcmp(before, Progdisplay.colour_table, 32 * sizeof before[0]), 0);
}

TEST(EditColourScheme, SavesTheSchemeOrReportsThatItCouldNot) {
    Session s;
    TempDir dir;
    model::copy_text(Systemsettings.initial_dir, sizeof Systemsettings.initial_dir,
                     dir.path.c_str());
    Progdisplay.level_scheme = 3; // 11 levels: entries 0..11
    s.answer("dialog ColDiaBox click 902 scroll 10 1 scroll 11 2 scroll 12 3 ok\nbox yes\nfile " +
             dir.file("mine.col"));
    EXPECT_EQ(edit_colour_scheme(), 525);
    EXPECT_TRUE(s.answered()) << s.err.str();
    EXPECT_EQ(Progdisplay.brushes[2].colour, gfx::rgb(1, 2, 3));
    EXPECT_EQ(sys::file_size(dir.file("mine.col")), 52);
    EXPECT_TRUE(s.showed("BOX [Colour scheme file] Colour scheme has been saved in the file\\n" +
                         dir.file("mine.col") + "."));
    std::uint32_t table[36] = {};
    ASSERT_EQ(read_colour_scheme_file(dir.file("mine.col").c_str(), table), ColourFileStatus::ok);
    EXPECT_EQ(table[2], gfx::rgb(1, 2, 3));

    s.out.str("");
    const std::string blocked = dir.file("no/such/folder/mine.col");
    s.answer("dialog ColDiaBox ok\nbox yes\nfile " + blocked);
    edit_colour_scheme();
    EXPECT_TRUE(s.showed("BOX [Colour scheme file] The colour scheme could not be saved in the "
                         "file\\n" +
                         blocked + ".\\nNo such file or directory."));
    EXPECT_FALSE(s.showed("has been saved"));

    // A disk that fills up leaves the scheme saved before.
    s.out.str("");
    s.answer("dialog ColDiaBox ok\nbox yes\nfile " + dir.file("mine.col") + "\nbox yes");
    sys::set_save_failure(20);
    edit_colour_scheme();
    sys::set_save_failure(-1);
    EXPECT_TRUE(s.showed("could not be saved in the file\\n" + dir.file("mine.col") +
                         ".\\nNo space left on device."));
    ASSERT_EQ(read_colour_scheme_file(dir.file("mine.col").c_str(), table), ColourFileStatus::ok);
    EXPECT_EQ(table[2], gfx::rgb(1, 2, 3));
    EXPECT_TRUE(s.answered()) << s.err.str();

    // Cancel asks nothing.
    s.out.str("");
    s.answer("dialog ColDiaBox cancel");
    edit_colour_scheme();
    EXPECT_FALSE(s.showed("Save Changes"));
    EXPECT_TRUE(s.answered());
}

} // namespace
