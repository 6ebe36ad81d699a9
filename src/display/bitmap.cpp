// The 256-colour table and the window bitmap.
#include "display/bitmap.h"

#include "display/dialog_util.h"
#include "model/globals.h"
#include "model/services.h"
#include "model/utilities.h"
#include "platform/gfx/canvas.h"
#include "platform/ui/ui.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

void set_palette256(std::uint32_t* table) {
    static const std::uint32_t low[11] = {
        gfx::rgb(0, 0, 0),       gfx::rgb(128, 0, 0),     gfx::rgb(0, 128, 0),
        gfx::rgb(128, 128, 0),   gfx::rgb(0, 0, 128),     gfx::rgb(128, 0, 128),
        gfx::rgb(0, 128, 128),   gfx::rgb(192, 192, 192), gfx::rgb(192, 220, 192),
        gfx::rgb(166, 202, 240), gfx::rgb(8, 40, 76)};
    static const std::uint32_t high[10] = {gfx::rgb(255, 251, 240), gfx::rgb(160, 160, 164),
                                           gfx::rgb(128, 128, 128), gfx::rgb(255, 0, 0),
                                           gfx::rgb(0, 255, 0),     gfx::rgb(255, 255, 0),
                                           gfx::rgb(0, 0, 255),     gfx::rgb(255, 0, 255),
                                           gfx::rgb(0, 255, 255),   gfx::rgb(255, 255, 255)};
    int k = 0;
    for (std::uint32_t c : low)
        table[k++] = c;
    const auto corner = [](int v) { return v == 0 || v == 255; };
    for (int r = 0; r <= 255; r += 51)
        for (int g = 0; g <= 255; g += 51)
            for (int b = 0; b <= 255; b += 51)
                if (!(corner(r) && corner(g) && corner(b))) table[k++] = gfx::rgb(r, g, b);
    for (int g = 127; g <= 223; g += 32)
        for (int r = 63; r <= 255 && k < 246; r += 32)
            table[k++] = gfx::rgb(r, g, 191);
    for (std::uint32_t c : high)
        table[k++] = c;
}

bool write_window_bitmap(const gfx::Canvas* canvas, int width, int height, const char* path,
                         std::string* error) {
    gfx::Canvas picture(width, height);
    if (canvas) picture.bit_blt(0, 0, width, height, *canvas, 0, 0);
    return picture.save_bmp(path, error);
}

DrawnSize drawn_extent(const gfx::Canvas& canvas) {
    DrawnSize drawn;
    const std::vector<gfx::Colour>& pixels = canvas.pixels();
    const int w = canvas.width();
    for (int y = 0; y < canvas.height(); ++y)
        for (int x = 0; x < w; ++x)
            if ((pixels[std::size_t(y) * std::size_t(w) + std::size_t(x)] & 0xFFFFFFu) !=
                gfx::white) {
                drawn.width = std::max(drawn.width, x + 1);
                drawn.height = y + 1;
            }
    return drawn;
}

DrawnSize picture_size(const gfx::Canvas* canvas, int client_width, int client_height) {
    const DrawnSize client{std::abs(client_width), std::abs(client_height)};
    if (!canvas) return client;
    const DrawnSize drawn = drawn_extent(*canvas);
    constexpr int margin = 8;
    return {std::max(client.width, drawn.width + margin),
            std::max(client.height, drawn.height + margin)};
}

namespace {
bool last_bmp_written = false;
} // namespace

bool screen_bmp_written() {
    return last_bmp_written;
}

int save_screen_bmp() {
    SystemSettings& s = Systemsettings;
    last_bmp_written = false;
    model::proposed_file_name(s.file_name, sizeof s.file_name,
                              Modelsettings.model_read == 1 ? Modelsettings.namefile : "", ".bmp");
    model::copy_text(s.file_title, sizeof s.file_title, "Output BMP File");
    if (save_file_dialog(s.file_name, s.file_title, s.initial_dir)) {
        const ui::Cursor before = ui::cursor();
        ui::set_cursor(ui::Cursor::wait);
        const ui::Size client = ui::client_size();
        const DrawnSize size = picture_size(Progdisplay.canvas_dc, client.width, client.height);
        std::string cause;
        last_bmp_written = write_window_bitmap(Progdisplay.canvas_dc, size.width, size.height,
                                               s.file_name, &cause);
        if (!last_bmp_written)
            display::ask("Cannot open file " + std::string(s.file_name) + "\n" + cause + ".",
                         "Message", ui::mb_ok | ui::mb_iconinformation);
        else
            set_status_line(("Bitmap written: " + std::string(s.file_name)).c_str());
        ui::set_cursor(before);
    }
    Progdisplay.model_displayed = 1;
    ui::invalidate();
    return 552;
}
