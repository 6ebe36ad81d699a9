// Palette, brushes and pens of the colour table, the colour dialog and colour-scheme files.
#include "display/colours.h"

#include "display/dialog_util.h"
#include "display/display_commands.h"
#include "display/layout.h"
#include "model/globals.h"
#include "model/services.h"
#include "model/utilities.h"
#include "platform/sys/sys.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using display::add;
using ui::ControlKind;

gfx::Colour palette_colour(std::uint32_t colour) {
    const gfx::Colour c = colour & 0xFFFFFFu;
    return c == gfx::white ? gfx::rgb(250, 250, 250) : c;
}

void rebuild_display_objects() {
    ProgDisplay& d = Progdisplay;
    gfx::Canvas& window = ui::window_canvas();
    window.select_pen(gfx::Pen{gfx::black, false});
    window.select_brush(gfx::Brush{gfx::white, false});
    for (int i = 0; i < 32; ++i) {
        d.palette[i] = palette_colour(d.colour_table[i]);
        d.brushes[i] = gfx::Brush{d.palette[i], false};
        d.pens[i] = gfx::Pen{d.palette[i], false};
    }
}

void create_display_objects() {
    rebuild_display_objects();
    gfx::Canvas sample(4, 4);
    for (int i = 0; i < 32; ++i) {
        sample.select_brush(Progdisplay.brushes[i]);
        sample.select_pen(Progdisplay.pens[i]);
        sample.rectangle(0, 0, 4, 4);
        Progdisplay.palette256[i] = sample.get_pixel(1, 1);
    }
}

// ---- Colour-scheme files ---------------------------------------------------------------------

namespace {
std::uint32_t le32(const char* p) {
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return std::uint32_t(u[0]) | std::uint32_t(u[1]) << 8 | std::uint32_t(u[2]) << 16 |
           std::uint32_t(u[3]) << 24;
}
} // namespace

ColourFileStatus read_colour_scheme_file(const char* path, std::uint32_t* table) {
    std::vector<char> bytes;
    if (!sys::read_whole_file(path, bytes)) return ColourFileStatus::cannot_open;
    if (bytes.size() < 16 || bytes.size() > 132) return ColourFileStatus::bad_file;
    const std::int32_t n = static_cast<std::int32_t>(le32(bytes.data()));
    if (n < 5 || n > 31) return ColourFileStatus::bad_file;
    // A file cut short would leave the entries it lacks at their old colours: a scheme that
    // is neither the old one nor the file's.
    if (bytes.size() < 4 * std::size_t(n + 2)) return ColourFileStatus::bad_file;
    for (int i = 0; i <= n; ++i)
        table[i] = le32(bytes.data() + 4 * (i + 1)) & 0xFFFFFFu;
    return ColourFileStatus::ok;
}

bool write_colour_scheme_file(const char* path, int n, const std::uint32_t* table,
                              std::string* error) {
    std::vector<unsigned char> bytes;
    const auto put = [&](std::uint32_t v) {
        for (int b = 0; b < 4; ++b)
            bytes.push_back(static_cast<unsigned char>(v >> (8 * b)));
    };
    put(static_cast<std::uint32_t>(n));
    for (int i = 0; i <= n; ++i)
        put(table[i]);
    return sys::save_file(path, bytes.data(), bytes.size(), error);
}

// ---- Commands ----------------------------------------------------------------------------------

namespace {

void clear_canvas() {
    clear_area(Progdisplay.canvas_dc, Progdisplay.canvas_width, Progdisplay.canvas_height);
}

// The file dialog of the colour-scheme files, starting in the input folder: the path is in
// SystemSettings::file_name when it returns true.
bool colour_file_dialog(ui::FileDialogKind kind, const char* title) {
    SystemSettings& s = Systemsettings;
    model::copy_text(s.current_dir, sizeof s.current_dir, s.initial_dir);
    make_path(s.current_dir, "*.col", s.file_name, sizeof s.file_name);
    sys::set_current_dir(s.current_dir);
    model::copy_text(s.file_title, sizeof s.file_title, title);
    return kind == ui::FileDialogKind::save
               ? save_file_dialog(s.file_name, s.file_title, s.initial_dir) != 0
               : open_file_dialog(s.file_name, s.file_title, s.initial_dir) != 0;
}

void remember_folder() {
    model::copy_text(Systemsettings.current_dir, sizeof Systemsettings.current_dir,
                     sys::current_dir().c_str());
}

std::string with_path(const char* before, const std::string& after) {
    return before + std::string(Systemsettings.file_name) + after;
}

void save_colour_scheme() {
    if (!colour_file_dialog(ui::FileDialogKind::save, "File Name for Colour scheme")) return;
    const int n = set_ncontours(Progdisplay.level_scheme);
    std::string cause;
    if (!write_colour_scheme_file(Systemsettings.file_name, n, Progdisplay.colour_table, &cause)) {
        model::show_message(
            with_path("The colour scheme could not be saved in the file\n", ".\n" + cause + ".")
                .c_str(),
            "Colour scheme file");
        return;
    }
    display::ask(with_path("Colour scheme has been saved in the file\n", "."), "Colour scheme file",
                 ui::mb_ok | ui::mb_iconinformation);
    remember_folder();
}

// The scale boxes in the new colours, at the left of the canvas and the window.
void show_colour_scale() {
    ProgDisplay& d = Progdisplay;
    gfx::Canvas* surfaces[2] = {d.canvas_dc, &ui::window_canvas()};
    for (gfx::Canvas* c : surfaces) {
        if (!c) continue;
        c->select_pen(d.pens[24]);
        for (int i = 0; i <= 16; ++i) {
            c->select_brush(d.brushes[i]);
            c->rectangle(20, 20 + 25 * i, 40, 40 + 25 * i);
        }
    }
}

// A colour command on the cleared window: `change` sets the colours and returns whether the
// window shows its picture again (false: the command was given up and the window stays
// cleared). The picture is the display in the new colours where the canvas held one, else the
// canvas as it was.
template <class Change> void change_colours(Change&& change) {
    const bool was_display = canvas_shows_display(Progdisplay);
    const KeptPicture before(Progdisplay);
    erase_window();
    if (!change()) return;
    picture_after_colours(Progdisplay, Modelsettings, was_display, before);
    ui::invalidate();
}

} // namespace

int edit_colour_scheme() {
    change_colours([] {
        clear_canvas();
        if (ui::run_dialog(ColDiaBox, ColDiaBoxProc) == 1) {
            rebuild_display_objects();
            show_colour_scale();
            if (display::ask("Colour scheme has been changed.\nDo you want to save the colour\n"
                             "values into a disk file?",
                             "Save Changes", ui::mb_yesno | ui::mb_iconquestion) == ui::id_yes)
                save_colour_scheme();
        }
        erase_window();
        clear_canvas();
        return true;
    });
    return 525;
}

int read_colour_scheme() {
    change_colours([] {
        if (!colour_file_dialog(ui::FileDialogKind::open, "Read colour scheme file")) return false;
        const ColourFileStatus status =
            read_colour_scheme_file(Systemsettings.file_name, Progdisplay.colour_table);
        if (status == ColourFileStatus::cannot_open) {
            display::ask(with_path("I cannot find the color scheme file\n",
                                   ".\nThe default colour scheme will be used."),
                         "Colour scheme file", ui::mb_ok | ui::mb_iconinformation);
        } else if (status == ColourFileStatus::bad_file) {
            model::show_message(with_path("The file\n", "\nis not a colour scheme file.\n"
                                                        "The colour scheme has not been changed.")
                                    .c_str(),
                                "Colour scheme file");
        } else {
            remember_folder();
        }
        clear_canvas();
        rebuild_display_objects();
        if (status == ColourFileStatus::ok)
            display::ask(with_path("The colour scheme in the\n", "\nfile has been restored."),
                         "Message", ui::mb_ok | ui::mb_iconexclamation);
        return true;
    });
    return 539;
}

int restore_default_colours() {
    change_colours([] {
        std::memcpy(Progdisplay.colour_table, default_colours, sizeof default_colours);
        clear_canvas();
        rebuild_display_objects();
        display::ask("The default colour scheme has been restored.", "Message",
                     ui::mb_ok | ui::mb_iconexclamation);
        return true;
    });
    return 301;
}

// ---- The colour dialog -------------------------------------------------------------------------

namespace {

ui::DialogTemplate make_colour_template() {
    ui::DialogTemplate t("ColDiaBox", "Select Colour", 300, 260);
    add(t, -1, ControlKind::static_text, "Old", 40, 4, 30, 11);
    add(t, -1, ControlKind::static_text, "New", 76, 4, 30, 11);
    for (int i = 0; i <= 16; ++i) {
        const int y = 16 + 13 * i;
        add(t, 900 + i, ControlKind::radio, std::to_string(i + 1), 6, y, 30, 11);
        add(t, 3920 + i, ControlKind::colour_swatch, "", 40, y, 30, 11);
        add(t, 920 + i, ControlKind::colour_swatch, "", 76, y, 30, 11);
    }
    const char* names[3] = {"Red", "Green", "Blue"};
    for (int c = 0; c < 3; ++c) {
        add(t, -1, ControlKind::static_text, names[c], 130 + 50 * c, 16, 40, 11);
        add(t, 10 + c, ControlKind::scroll_bar, "", 140 + 50 * c, 30, 14, 150);
        add(t, 940 + c, ControlKind::static_text, "0", 134 + 50 * c, 184, 30, 11);
    }
    add(t, 944, ControlKind::static_text, "Colour 1", 130, 204, 80, 11);
    add(t, 943, ControlKind::colour_swatch, "", 214, 202, 45, 22);
    display::add_ok_cancel(t, 236);
    return t;
}

struct ColourDialogState {
    std::uint32_t working[32] = {};
    int current = 0;
    int channel[3] = {0, 0, 0}; // red, green, blue of the composed colour
};
ColourDialogState colour_state;

std::uint32_t composed() {
    const int* c = colour_state.channel;
    return gfx::rgb(c[0], c[1], c[2]);
}

// Label, the three values and the preview of the current entry.
void show_current(ui::Dialog& dialog, std::uint32_t preview) {
    dialog.set_text(944, "Colour " + std::to_string(colour_state.current + 1));
    for (int c = 0; c < 3; ++c)
        dialog.set_text(940 + c, std::to_string(colour_state.channel[c]));
    dialog.set_swatch(943, preview);
}

void take_channels(std::uint32_t colour) {
    colour_state.channel[0] = gfx::red_of(colour);
    colour_state.channel[1] = gfx::green_of(colour);
    colour_state.channel[2] = gfx::blue_of(colour);
}

void init_colour_dialog(ui::Dialog& dialog) {
    ColourDialogState& s = colour_state;
    std::memcpy(s.working, Progdisplay.colour_table, sizeof s.working);
    s.current = 0;
    take_channels(s.working[0]);
    for (int c = 0; c < 3; ++c)
        dialog.set_scroll(10 + c, 0, 255, s.channel[c]);
    dialog.check_radio(900, 916, 900);
}

void paint_colour_dialog(ui::Dialog& dialog) {
    ProgDisplay& d = Progdisplay;
    for (int i = 0; i <= 16; ++i) {
        dialog.set_swatch(920 + i, d.colour_table[i]);
        dialog.set_swatch(3920 + i, d.colour_table[i]);
    }
    d.colour_table[32] = colour_state.working[colour_state.current];
    show_current(dialog, d.colour_table[32]);
}

int scrolled(int value, ui::ScrollCode code, int pos) {
    switch (code) {
    case ui::ScrollCode::line_up:
        value -= 1;
        break;
    case ui::ScrollCode::line_down:
        value += 1;
        break;
    case ui::ScrollCode::page_up:
        value -= 16;
        break;
    case ui::ScrollCode::page_down:
        value += 16;
        break;
    case ui::ScrollCode::thumb_position:
    case ui::ScrollCode::thumb_track:
        value = pos;
        break;
    case ui::ScrollCode::top:
        value = 0;
        break;
    case ui::ScrollCode::bottom:
        value = 255;
        break;
    case ui::ScrollCode::end_scroll:
        break;
    }
    return std::clamp(value, 0, 255);
}

void scroll_colour_dialog(ui::Dialog& dialog, const ui::DialogArgs& args) {
    ColourDialogState& s = colour_state;
    int& value = s.channel[args.id - 10];
    value = scrolled(value, args.code, args.pos);
    dialog.set_scroll(args.id, 0, 255, value);
    s.working[s.current] = composed();
    Progdisplay.colour_table[32] = composed();
    show_current(dialog, composed());
    dialog.set_swatch(920 + s.current, composed());
}

void choose_entry(ui::Dialog& dialog, int k) {
    ColourDialogState& s = colour_state;
    s.current = k;
    dialog.check_radio(900, 916, 900 + k);
    take_channels(s.working[k]);
    for (int c = 0; c < 3; ++c)
        dialog.set_scroll(10 + c, 0, 255, s.channel[c]);
    // A changed entry is announced: the preview shows the colour it had before.
    if (s.working[k] != Progdisplay.colour_table[k]) ::beep();
    show_current(dialog, Progdisplay.colour_table[k]);
}

} // namespace

const ui::DialogTemplate ColDiaBox = make_colour_template();

bool ColDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args) {
    switch (event) {
    case ui::DialogEvent::init:
        init_colour_dialog(dialog);
        return true;
    case ui::DialogEvent::first_paint:
        paint_colour_dialog(dialog);
        return true;
    case ui::DialogEvent::scroll:
        if (args.id < 10 || args.id > 12) return false;
        if (args.code != ui::ScrollCode::end_scroll) scroll_colour_dialog(dialog, args);
        return true;
    case ui::DialogEvent::command:
        if (args.id >= 900 && args.id <= 916) {
            choose_entry(dialog, args.id - 900);
            return true;
        }
        if (args.id == ui::id_ok)
            std::memcpy(Progdisplay.colour_table, colour_state.working,
                        sizeof colour_state.working);
        return display::end_on_ok_or_cancel(dialog, args.id);
    }
    return false;
}
