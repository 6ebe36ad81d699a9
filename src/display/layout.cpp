// Layout of the section drawings, axis numbers, level counts and path joining.
#include "display/layout.h"

#include "model/globals.h"
#include "model/utilities.h"
#include "platform/gfx/canvas.h"
#include "platform/ui/ui.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

std::int32_t contour_count = 16;
std::int32_t path_folder_length = 0;

int format_axis_number(char* buffer, std::size_t size, float value, int ndec) {
    static const char* const formats[] = {"%3.1f", "%4.2f", "%5.3f", "%6.4f", "%7.5f", "%8.6f"};
    int n = 0;
    if (ndec <= 0) {
        // The whole number nearest to the value itself, halves away from zero as round_to_int
        // does; never through an int, which would hold 1e30 at 2147483520. No "-0".
        const double whole = std::round(double(value));
        n = std::snprintf(buffer, size, "%.0f", whole == 0.0 ? 0.0 : whole);
    } else {
        n = std::snprintf(buffer, size, formats[ndec > 6 ? 5 : ndec - 1], double(value));
    }
    if (n < 0) n = 0;
    return size == 0 ? 0 : n < int(size) ? n : int(size) - 1;
}

float layout_text_metrics(int nodes_per_spacing, int canvas_width, int nelec, float* xscale_raw,
                          std::int32_t* plot_width, int margin_a, int margin_b,
                          std::int32_t* char_w, std::int32_t* char_h, std::int32_t* lengthvx,
                          std::int32_t* client_height, gfx::Canvas& dc) {
    const ui::Size client = ui::client_size();
    const int width = std::abs(client.width);
    const int height = std::abs(client.height);
    if (height < 550) dc.select_font(Progdisplay.small_font);
    const gfx::TextMetrics tm = dc.text_metrics();
    *char_w = tm.ave_char_width;
    *char_h = tm.height;

    const int nps = nodes_per_spacing > 0 ? nodes_per_spacing : 1;
    const int spans = nelec > 2 ? nelec - 1 : 1; // a line needs two electrodes
    const int margins = margin_a + margin_b + *char_w;
    // Whole pixels a mesh column that keep the line and its margins (the room of the last
    // distance label and of the unit-spacing line) inside the client area: rounding up would
    // push them past its right edge.
    float s = float(truncate_to_int(float(width - margins) / float(nps * spans)) * nps);
    // Between 5 and 10 pixels per mesh column, unless the canvas is too narrow for 5 or wide
    // enough for 10; then the electrode line fills the canvas.
    const auto fit = [&](int per_column) {
        const int needed = per_column * nps * spans + margins;
        if (canvas_width >= needed) {
            s = float(per_column * nps);
            *lengthvx = needed;
        } else {
            s = float(canvas_width - margins) / float(spans);
            *lengthvx = canvas_width;
        }
    };
    if (s > float(10 * nps))
        fit(10);
    else if (s < float(5 * nps))
        fit(5);
    else
        *lengthvx = static_cast<std::int32_t>(float(spans) * s + float(margins));

    *xscale_raw = s;
    *plot_width = round_to_int(s * float(spans));
    *client_height = height;
    const float xscale = float(*plot_width) / float(spans);
    return xscale < 1.0f ? 1.0f : xscale;
}

void set_layout_fractions(float* fractions) {
    static const float defaults[8] = {0.5f, 0.4f, 0.6f, 0.9f, 0.3f, 0.45f, 0.55f, 0.4f};
    std::memcpy(fractions, defaults, sizeof defaults);
}

int set_ncontours(int mode) {
    contour_count = mode == 2 ? 10 : mode == 3 ? 11 : 16;
    return contour_count;
}

void make_path(const char* folder, const char* name, char* destination, std::size_t size) {
    if (size == 0) return;
    const std::size_t length = std::strlen(folder);
    path_folder_length = static_cast<std::int32_t>(length);
    const bool separator = length == 0 || folder[length - 1] == '/' || folder[length - 1] == '\\';
    std::snprintf(destination, size, "%s%s%s", folder, separator ? "" : "/", name);
}
