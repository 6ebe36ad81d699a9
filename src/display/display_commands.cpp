// The display and edit commands, the misfit of the stored data, and the editing-keys help.
#include "display/display_commands.h"

#include "display/bitmap.h"
#include "display/colours.h"
#include "display/contour_levels.h"
#include "display/cylinder_drawing.h"
#include "display/layout.h"
#include "display/model_section.h"
#include "display/section_display.h"
#include "display/section_state.h"
#include "model/globals.h"
#include "model/plot_points.h"
#include "model/services.h"
#include "model/utilities.h"
#include "platform/gfx/canvas.h"
#include "platform/sys/page_array.h"
#include "platform/ui/ui.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

float calc_rms(int mode, int n, const float* a, const float* b) {
    if (n < 1) return 0.0f;
    long double sum = 0.0L;
    for (int i = 0; i < n; ++i) {
        const long double t = mode == 0 ? std::log((long double)a[i] / (long double)b[i])
                                        : (long double)a[i] - (long double)b[i];
        sum += t * t;
    }
    const float s = static_cast<float>(sum);
    const float r = std::sqrt(s / float(n));
    return mode == 0 ? 100.0f * r : r;
}

std::string editing_help_text(bool with_keys) {
    std::string t = "To move the cursor, use the mouse.\n"
                    "     USE               CHANGE\n"
                    " Right mouse button -  1 block\n"
                    " Left mouse button   -  4 blocks\n";
    if (with_keys)
        t += " P  key                     -  1 block\n"
             " 4  key                     -  4 blocks\n"
             " D  key                    -  vertical column\n"
             " ]  key                      -  row to right\n"
             " [  key                      -  row to left\n"
             " }  key                      -  all bottom right blocks\n"
             " {  key                      -  all bottom left blocks\n";
    t += " \n"
         "The mouse cursor must be located within a block,\n"
         "and not on a block boundary, before you can mark\n"
         "the block to change.\n\n"
         "To change the marked blocks to a new resistivity\n"
         "value, move the cursor to one of the colour boxes\n"
         "above the model, and then press a mouse button or\n"
         "the C key.\n\n"
         "To quit, just click another option on the top menu bar.";
    return t;
}

namespace {

void show_help(bool with_keys, char* buffer, std::size_t size) {
    if (!buffer || size == 0) return;
    model::copy_text(buffer, size, editing_help_text(with_keys).c_str());
    model::ask_message(buffer, "Help Message", ui::mb_ok | ui::mb_iconinformation);
}

} // namespace

void show_editing_keys_help(char* buffer, std::size_t size) {
    show_help(false, buffer, size);
}

void edit_help_message(char* buffer, std::size_t size) {
    show_help(true, buffer, size);
}

int editing_keys_command() {
    sys::PageArray<char> buffer(4096);
    if (buffer.ok()) {
        if (Modelsettings.cylinder_model != 0)
            show_editing_keys_help(buffer.get(), buffer.size());
        else
            edit_help_message(buffer.get(), buffer.size());
    }
    return 147;
}

void set_section_layout(ProgDisplay& d, const ModelSettings& s) {
    gfx::Canvas& dc = d.canvas_dc ? *d.canvas_dc : ui::window_canvas();
    const gfx::TextMetrics tm = dc.text_metrics();
    if (d.char_w <= 0) d.char_w = tm.ave_char_width;
    d.left_margin = 7 * d.char_w + 4 + (s.nelec < 20 ? 4 * d.char_w : 0);
    d.layout_margin_right = 2 * d.char_w;
    d.layout_margin_left = d.left_margin;
    // The canvas the sections are laid out on is the one of the screen: one that grew to hold
    // a long picture would widen the next model's scale.
    int canvas_width = d.canvas_width;
    if (d.canvas_dc && d.canvas_dc->growth().base.cx > 0)
        canvas_width = d.canvas_dc->growth().base.cx;
    float raw_scale = 0.0f;
    d.xscale = layout_text_metrics(s.nodes_per_spacing, canvas_width, s.nelec, &raw_scale,
                                   &d.plot_width, d.layout_margin_left, d.layout_margin_right,
                                   &d.char_w, &d.char_h, &d.lengthvx, &d.layout_client_height, dc);
}

std::vector<std::int32_t> data_level_counts(const ModelSettings& s) {
    std::vector<std::int32_t> counts;
    const int most = std::max(0, Proglim.max_spacing_ratio) + 1;
    int sum = 0;
    for (int k = 0; k < most && sum < s.ndata && s.level_counts; ++k) {
        const int c = s.level_counts[k];
        if (c <= 0) break;
        counts.push_back(std::min(c, s.ndata - sum));
        sum += counts.back();
    }
    if (sum < s.ndata) counts.push_back(s.ndata - sum);
    return counts;
}

namespace {

// The stored data set of the model file, shown beside the calculated values.
bool has_stored_data(const ModelSettings& m) {
    return m.datum_array_type > 0 && m.ndata_read == m.ndata;
}

// Colour index of every value of the model: spread over the 17 colours of the scale by the
// number of resistivity values (4 apart up to 4 values, 3 up to 6, 2 up to 8, else 1).
void set_value_colours(ModelSettings& m) {
    const int step = m.nresis <= 4 ? 4 : m.nresis <= 6 ? 3 : m.nresis <= 8 ? 2 : 1;
    const int n = std::max(0, Proglim.max_resistivity_values);
    for (int i = 0; i < n; ++i)
        m.colour_marks[i] = std::min(16, step * i);
}

const std::int32_t* codes_of_group(const ModelSettings& m, int group) {
    switch (group) {
    case 1:
        return m.ip_codes;
    case 2:
        return m.tau_codes;
    case 3:
        return m.cexp_codes;
    default:
        return m.resistivity_codes;
    }
}

// The canvas after the last display, as a hash of its size and pixels (FNV-1a); 0 for none.
std::uint64_t displayed_fingerprint = 0;

std::uint64_t fingerprint(const gfx::Canvas& c) {
    std::uint64_t h = 1469598103934665603ull;
    const auto mix = [&h](std::uint64_t v) {
        h ^= v;
        h *= 1099511628211ull;
    };
    mix(std::uint64_t(c.width()));
    mix(std::uint64_t(c.height()));
    for (const gfx::Colour p : c.pixels())
        mix(p);
    return h == 0 ? 1 : h;
}

// A growing canvas ends a margin beyond the picture (never below its base size), so that the
// scroll bars end with the picture: right of it, one that grew in steps gives back what it does
// not need; below it, the margin also holds the status line, which lies over the lowest rows of
// the window (ProgDisplay::status_height), so that the window scrolled to its end shows the
// picture's last rows above it (the canvas grows for that where it may).
void fit_canvas_to_picture(gfx::Canvas& c, int status_height) {
    const gfx::Canvas::Growth& g = c.growth();
    if (g.most.cx <= 0 || g.most.cy <= 0) return;
    constexpr int margin = 16;
    const DrawnSize drawn = drawn_extent(c);
    const long long width = std::max(g.base.cx, std::min(c.width(), drawn.width + margin));
    long long most_height = g.most.cy;
    if (g.most_pixels > 0) most_height = std::min(most_height, g.most_pixels / width);
    const long long height = std::max<long long>(
        g.base.cy, std::min<long long>(most_height, drawn.height + margin + status_height));
    try {
        c.resize(int(width), int(std::max<long long>(height, drawn.height)));
    } catch (const std::bad_alloc&) {
        // No memory for the margin: the canvas stays as it is.
    }
}

// A picture the canvas could not hold whole (a long line at a large horizontal scale) is cut:
// the user is told what is not shown and how to see it.
void report_cut_picture(const gfx::Canvas& c) {
    const gfx::Size wanted = c.cut_extent();
    if (wanted.cx <= 0) return;
    char text[512];
    std::snprintf(text, sizeof text,
                  "The picture is %d x %d pixels, more than the window can hold:\nwhat lies right "
                  "of %d or below %d pixels is not shown.\nA smaller horizontal plotting scale "
                  "shows the whole picture.",
                  wanted.cx, wanted.cy, c.width(), c.height());
    model::show_message(text, "Message");
}

void show_canvas(const ProgDisplay& d) {
    if (d.canvas_dc)
        ui::window_canvas().bit_blt(0, 0, d.canvas_width, d.canvas_height, *d.canvas_dc, d.scroll_x,
                                    d.scroll_y);
}

// One run of the display command: the records, the canvas and the work arrays.
struct DisplayRun {
    ProgDisplay& d;
    ModelSettings& m;
    gfx::Canvas& dc;
    sys::PageArray<float> x, z, q1, q2; // plot x and pseudodepth; spectral quantities
    std::vector<std::int32_t> counts;
    int bottom = 0;                      // of the last section drawn
    float unit_spacing = 0.0f;           // of the pseudosections (0: the model's)
    const KeptPicture* before = nullptr; // what the canvas showed before this display
    bool put_back = false;               // the display drew nothing and put it back

    DisplayRun(ProgDisplay& display, ModelSettings& settings, gfx::Canvas& canvas)
        : d(display), m(settings), dc(canvas) {}

    // A display that ends before it drew anything (its contour choice was cancelled) leaves
    // the picture it found.
    void keep_the_picture_before() {
        if (!before) return;
        before->put_back(d);
        put_back = true;
    }

    bool allocate() {
        const std::size_t n = std::size_t(std::max(1, Proglim.max_data_points));
        return x.allocate(n) && z.allocate(n) && q1.allocate(n) && q2.allocate(n);
    }
    int ndata() const { return std::min(m.ndata, int(x.size())); }

    // Next section below y.
    void place_below(int y) {
        d.xplt = d.left_margin;
        d.yplt = y + 4 * d.char_h + d.char_h / 2;
    }

    // Plot points of the data and the vertical factor that fits the deepest of them.
    void plot_points() {
        calc_plot_points(m, Proglim, x.get(), z.get());
        float deepest = 0.0f;
        for (int i = 0; i < ndata(); ++i)
            deepest = std::max(deepest, z[i]);
        const float vh = d.vh_factor > 0.0f ? d.vh_factor : 1.0f;
        const int p = round_to_int(deepest * d.xscale / vh);
        const int room = d.layout_client_height / 2 - Sectiondisplay.top_margin - 3 * d.char_h - 50;
        if (room > 0 && p > room) d.vh_factor = float(p) * vh / float(room);
    }

    SectionSurvey survey() const {
        SectionSurvey s;
        s.nelec = m.nelec;
        s.unit_spacing = unit_spacing > 0.0f ? unit_spacing : m.unit_spacing;
        s.first_x = 0.0f;
        s.array_type = m.array_type;
        s.ndata = ndata();
        s.x = x.get();
        s.depth = z.get();
        s.ndata_levels = int(counts.size());
        s.level_counts = counts.data();
        s.a_factors = m.datum_a;
        s.n_factors = m.datum_n;
        s.level_scheme = d.level_scheme;
        return s;
    }

    // The contour levels of `values` from their own range into `levels` (`quantity` titles the
    // choice: 1 IP, 6 phase); their number, 0 when the choice was cancelled.
    int own_levels(const float* values, int quantity, float* levels) {
        d.data_min = array_maxmin(ndata(), values, &d.data_max);
        d.contour_quantity = quantity;
        return select_contours(d, Systemsettings, d.data_min, d.data_max, levels, d.level_scheme);
    }

    // A pseudosection page at the current yplt (or the top margin); the next section goes below.
    void page(int quantity, int title_line, int top, const char* unit, const float* first,
              const float* second, float* levels) {
        const int second_shown = Sectiondisplay.panel_count == 2 && second ? 1 : 0;
        const int y = display_section(0, title_line, top, quantity, unit, 1, second_shown, first,
                                      second, levels, d.ncontours, survey(), dc);
        place_below(y);
    }

    // A model section of one kind at (xplt, yplt), with a misfit line when `misfit` is finite.
    void model_section(int group, const char* title, int n, const float* values, float misfit,
                       int rms_units) {
        Sectionoutlines.clear_group(group);
        ModelSectionSpec s;
        s.title = title;
        s.group = group;
        s.nvalues = n;
        s.values = values;
        s.codes = codes_of_group(m, group);
        s.colours = m.colour_marks;
        s.xplt = d.xplt;
        s.yplt = d.yplt;
        s.lengthvy = 2 * d.layout_client_height / 3;
        s.rms_flag = std::isfinite(misfit) ? 1 : 0;
        s.rms_units = rms_units;
        s.rms_value = std::isfinite(misfit) ? misfit : 0.0f;
        bottom = plotmodel(m, s, dc);
        show_canvas(d);
    }

    // The chargeabilities in mV/V, drawn from a copy so that the model keeps its values.
    void ip_model(float misfit) {
        std::vector<float> shown(m.model_chargeabilities, m.model_chargeabilities + m.nip);
        for (float& v : shown)
            v *= 1000.0f;
        model_section(1, "IP model", m.nip, shown.data(), misfit, 1);
    }
};

constexpr float no_misfit = NAN;

// The misfit of a stored data set against the calculated values, or no_misfit when it cannot
// be formed (no values, a value of 0 or below in the logarithmic mode).
float stored_misfit(int mode, int n, const float* a, const float* b) {
    if (n < 1) return no_misfit;
    const float r = calc_rms(mode, n, a, b);
    return std::isfinite(r) ? r : no_misfit;
}

// The model sections of every kind, one below the other from the current yplt.
void model_kinds(DisplayRun& run, float res_misfit) {
    ModelSettings& m = run.m;
    run.model_section(0, "Resistivity model", m.nresis, m.model_resistivities, res_misfit, 0);
    if (m.nip > 0) {
        run.place_below(run.bottom);
        run.ip_model(no_misfit);
    }
    if (m.ntau > 0) {
        run.place_below(run.bottom);
        run.model_section(2, "Time constant model", m.ntau, m.model_taus, no_misfit, 1);
        run.place_below(run.bottom);
        run.model_section(3, "Cole exponent model", m.ncip, m.model_cexps, no_misfit, 1);
    }
}

void finish_picture(DisplayRun& run) {
    ProgDisplay& d = run.d;
    d.drawn_height = std::min(run.bottom, d.canvas_height);
    d.drawn_width = std::min(d.lengthvx, d.canvas_width);
    show_canvas(d);
}

void model_only_display(DisplayRun& run) {
    if (run.m.model_read != 1) {
        model::show_message("Hello. There is no model to display!", "Message");
        return;
    }
    run.d.xplt = run.d.left_margin;
    run.d.yplt = 5 * run.d.char_h;
    model_kinds(run, no_misfit);
    finish_picture(run);
}

// The two spectral quantities of the first n data at the chosen frequency, in mode 0 the
// in-phase and out-of-phase parts, in mode 1 the amplitude and the phase (mrad), both against
// the apparent resistivity (0 where it is 0).
void spectral_quantities(const ModelSettings& m, int mode, int n, float* q1, float* q2) {
    const std::size_t block = std::size_t(std::max(1, Proglim.max_data_points));
    const std::size_t k0 =
        std::size_t(std::clamp(m.freq_index, 1, std::max(1, m.nfreq)) - 1) * block;
    for (int i = 0; i < n; ++i) {
        const float re = m.sip_inphase[k0 + i], im = m.sip_quadrature[k0 + i];
        const float rho = m.app_resistivity[i];
        const bool ok = rho != 0.0f;
        q1[i] = !ok         ? 0.0f
                : mode == 0 ? (rho - re) * 1000.0f / rho
                            : (rho - std::sqrt(re * re + im * im)) * 1000.0f / rho;
        q2[i] = !ok ? 0.0f : mode == 0 ? -im * 1000.0f / rho : -1000.0f * std::atan2(im, re);
    }
}

// The unit text of spectral quantity 1 or 2 at the chosen frequency.
void spectral_unit(const ModelSettings& m, int mode, int quantity, char* unit, std::size_t size) {
    const float frequency = m.frequencies ? m.frequencies[std::max(0, m.freq_index - 1)] : 0.0f;
    const char* format =
        quantity == 1 ? (mode == 0 ? "mV/V (Inphase at %.3f Hz)" : "mV/V (Amplitude at %.3f Hz)")
                      : (mode == 0 ? "mV/V (Outphase at %.3f Hz)" : "mrad (Phase at %.3f Hz)");
    std::snprintf(unit, size, format, double(frequency));
}

// The page quantity (title and caption) of spectral quantity 1 or 2 in display mode `mode`.
int spectral_page(int mode, int quantity) {
    if (quantity == 1) return mode == 0 ? section_quantity::inphase : section_quantity::amplitude;
    return mode == 0 ? section_quantity::outphase : section_quantity::phase;
}

// The contour choice of spectral quantity 1 or 2 (phase: 6, the others are chargeabilities).
int spectral_contour_quantity(int mode, int quantity) {
    return quantity == 2 && mode == 1 ? 6 : 1;
}

// The in-phase (or amplitude) and out-of-phase (or phase) pages of spectral IP at the chosen
// frequency in display mode `mode`, each placed below the last section (after the vertical fit
// when `fit`) and followed by its model, drawn by model_of(1 or 2). Each page takes levels of
// its own values: the in-phase and out-of-phase parts and the phase are far from the apparent
// chargeability (and from each other), whose levels would show each of them in one band. A
// cancelled choice leaves its page and model out.
template <class Model>
void spectral_quantity_pages(DisplayRun& run, int mode, bool fit, const Model& model_of) {
    ProgDisplay& d = run.d;
    spectral_quantities(run.m, mode, run.ndata(), run.q1.get(), run.q2.get());
    for (int q = 1; q <= 2; ++q) {
        const float* values = q == 1 ? run.q1.get() : run.q2.get();
        d.ncontours = run.own_levels(values, spectral_contour_quantity(mode, q), d.ip_levels);
        if (d.ncontours <= 0) continue;
        if (fit) run.plot_points();
        run.place_below(run.bottom);
        char unit[128];
        spectral_unit(run.m, mode, q, unit, sizeof unit);
        run.page(spectral_page(mode, q), 0, d.yplt, unit, values, nullptr, d.ip_levels);
        show_canvas(d);
        model_of(q);
    }
}

// Spectral IP of a block model: the two pages with the time-constant and Cole-exponent models.
void spectral_pages(DisplayRun& run) {
    ModelSettings& m = run.m;
    // A display drawn again keeps the frequency and the quantities of the last one.
    if (!contour_replay_running()) ui::run_dialog(FreqSelectDiaBox, FreqSelectDiaBoxProc);
    spectral_quantity_pages(run, run.d.ip_display_mode, true, [&](int q) {
        if (q == 1)
            run.model_section(2, "Time constant model", m.ntau, m.model_taus, no_misfit, 1);
        else
            run.model_section(3, "Cole exponent model", m.ncip, m.model_cexps, no_misfit, 1);
    });
}

void data_display(DisplayRun& run) {
    ProgDisplay& d = run.d;
    ModelSettings& m = run.m;
    const int n = run.ndata();
    // A data set stored with the model is shown beside the calculated values; without one the
    // stored values are the calculated ones.
    const bool stored = has_stored_data(m);
    const bool calculated = m.app_resistivity[0] != 0.0f;
    Sectiondisplay.panel_count = stored && calculated ? 2 : 1;
    d.level_scheme = 1;
    run.counts = data_level_counts(m);

    d.ncontours = set_ncontours(d.level_scheme);
    const float* range = calculated ? m.app_resistivity : m.measured_values;
    d.data_min = array_maxmin(n, range, &d.data_max);
    d.contour_quantity = 0;
    d.ncontours =
        select_contours(d, Systemsettings, d.data_min, d.data_max, d.res_levels, d.level_scheme);
    const float* stored_ip = stored ? m.measured_values_2 : m.app_ip;
    if (m.nip > 0 && d.ncontours > 0) {
        float hi = 0.0f;
        const float lo = array_maxmin(n, stored_ip, &hi);
        d.contour_quantity = 1;
        d.ncontours = select_contours(d, Systemsettings, lo, hi, d.ip_levels, d.level_scheme);
    }
    if (d.ncontours <= 0) {
        model::show_message("Contour values not selected.", "Message");
        run.keep_the_picture_before();
        return;
    }

    model::trace("start plot mdata %d\n", m.ndata);
    model::trace("caldispxy mdata %d\n", m.ndata);
    run.plot_points();
    // The sections stand right of the widest level label ("1.0,16.0"), clear of its axis.
    d.left_margin = std::max(d.left_margin, section_label_room(run.survey(), run.dc));
    const float* stored_res = stored ? m.measured_values : m.app_resistivity;
    model::trace("plots3\n");
    run.page(section_quantity::resistivity, 1, Sectiondisplay.top_margin, "", stored_res,
             m.app_resistivity, d.res_levels);
    show_canvas(d);
    float misfit = no_misfit;
    if (stored && calculated) {
        d.yplt += d.char_h;
        misfit = stored_misfit(0, n, m.app_resistivity, m.measured_values);
    }
    run.model_section(0, "Resistivity model", m.nresis, m.model_resistivities, misfit, 0);

    if (m.nip > 0 && d.ncontours > 0) {
        run.plot_points();
        run.place_below(run.bottom);
        run.page(section_quantity::chargeability, 0, d.yplt,
                 m.ip_unit_text ? m.ip_unit_text : "mV/V", stored_ip, m.app_ip, d.ip_levels);
        show_canvas(d);
        float ip_misfit = no_misfit;
        if (stored && n > 0 && (m.app_ip[0] != 0.0f || m.app_ip[n - 1] != 0.0f)) {
            d.yplt += d.char_h;
            ip_misfit = stored_misfit(1, n, m.measured_values_2, m.app_ip);
        }
        run.ip_model(ip_misfit);
    }
    if (m.ntau > 0) spectral_pages(run);
    finish_picture(run);
}

// A cylinder model of `group` drawn at (xplt, yplt) with the cylinder's own scale.
void cylinder_model(DisplayRun& run, int group, const char* title, int n, const float* values) {
    ProgDisplay& d = run.d;
    const int height = 3 * d.layout_client_height / 5;
    run.bottom = draw_cylinder_model(1, &d.xscale, Cylindermesh, title, group, n, values,
                                     codes_of_group(run.m, group), run.m.colour_marks, d.xplt,
                                     d.yplt, height, run.m.nelec, run.dc);
    show_canvas(d);
}

// The chargeabilities of a cylinder model in mV/V, drawn from a copy.
void cylinder_ip_model(DisplayRun& run) {
    std::vector<float> shown(run.m.model_chargeabilities, run.m.model_chargeabilities + run.m.nip);
    for (float& v : shown)
        v *= 1000.0f;
    model::trace("IP xscale %.4f\n", double(run.d.xscale));
    cylinder_model(run, 1, "Cylinder IP model", run.m.nip, shown.data());
}

// The pseudosections of a cylinder model (electrodes round the circumference, so one electrode
// spacing is 2 pi / nelec) with the cylinder drawings below them. The horizontal scale is the
// cylinder's only while its drawings are made.
void cylinder_display(DisplayRun& run) {
    ProgDisplay& d = run.d;
    ModelSettings& m = run.m;
    if (m.ndata <= 0) {
        model::show_message("You must first calculate the apprent resistivity values", "Message");
        return;
    }
    const int n = run.ndata();
    Sectiondisplay.panel_count = 1;
    d.level_scheme = 1;
    d.vh_factor = 1.0f;
    d.ncontours = set_ncontours(d.level_scheme);
    d.data_min = std::min(10.0f, array_maxmin(n, m.app_resistivity, &d.data_max));
    d.contour_quantity = 0;
    d.ncontours =
        select_contours(d, Systemsettings, d.data_min, d.data_max, d.res_levels, d.level_scheme);
    if (d.ncontours <= 0) {
        run.keep_the_picture_before();
        return;
    }
    run.unit_spacing = 6.283186f / float(std::max(1, m.nelec));
    run.counts = data_level_counts(m);

    struct ScaleGuard {
        float& xscale;
        float saved;
        ~ScaleGuard() { xscale = saved; }
    } guard{d.xscale, d.xscale};
    d.xplt = 6 * d.char_w;
    draw_cylinder_model(0, &d.xscale, Cylindermesh, nullptr, 0, 0, nullptr, nullptr, nullptr,
                        d.xplt, d.yplt, 3 * d.layout_client_height / 5, m.nelec, run.dc);
    calc_plot_points(m, Proglim, run.x.get(), run.z.get());
    const int y = display_section(m.normalise != 0 ? 0 : 1, 1, Sectiondisplay.top_margin, 0, "", 1,
                                  0, m.app_resistivity, nullptr, d.res_levels, d.ncontours,
                                  run.survey(), run.dc);
    show_canvas(d);
    run.place_below(y);
    cylinder_model(run, 0, "Resistivity model", m.nresis, m.model_resistivities);
    d.xscale = guard.saved;
    if (m.nip <= 0) return;
    const bool spectral = m.ntau > 0;
    if (spectral && !contour_replay_running() &&
        ui::run_dialog(FreqSelectDiaBox, FreqSelectDiaBoxProc) != 1)
        return;

    // Every page on levels of its own values.
    d.ncontours = run.own_levels(m.app_ip, 1, d.ip_levels);
    if (d.ncontours <= 0) return;
    run.place_below(run.bottom);
    run.page(section_quantity::chargeability, 0, d.yplt, m.ip_unit_text ? m.ip_unit_text : "mV/V",
             m.app_ip, nullptr, d.ip_levels);
    show_canvas(d);
    cylinder_ip_model(run);
    d.xscale = guard.saved;
    if (!spectral) return;
    spectral_quantity_pages(run, d.ip_display_mode, false, [&](int q) {
        if (q == 1) {
            model::trace("Tau xscale %.4f\n", double(d.xscale));
            cylinder_model(run, 2, "Cylinder Tau model", m.ntau, m.model_taus);
        } else {
            cylinder_model(run, 3, "Cylinder C model", m.ncip, m.model_cexps);
        }
        d.xscale = guard.saved;
    });
}

// The display on the canvas; false when it drew nothing of its own (the picture before is
// back, or the work arrays could not be had).
bool run_display(ProgDisplay& d, ModelSettings& m, const KeptPicture& before) {
    DisplayRun run(d, m, *d.canvas_dc);
    run.before = &before;
    if (!run.allocate()) {
        model::show_message("Insufficient memory for the display!", "Error Message");
        return false;
    }
    if (m.cylinder_model != 0) {
        cylinder_display(run);
        return !run.put_back;
    }
    model::trace("Plot model data %d array %d\n", m.ndata, m.array_type);
    // Without data of the model file and without calculated values (an edit of the model took
    // them, or a new array type waits for its calculation) there is no pseudosection to show.
    const bool no_values = !has_stored_data(m) && m.app_resistivity[0] == 0.0f;
    if (m.ndata <= 0 || m.array_type == 15 || no_values)
        model_only_display(run);
    else
        data_display(run);
    return !run.put_back;
}

} // namespace

void Call_Edit_Display_Model_2D(ProgDisplay& d, ModelSettings& m) {
    model::trace("Call_Edit_Display_Model_2D mdata %d tflag %d\n", m.ndata, m.tflag);
    const KeptPicture before(d);
    erase_window();
    clear_area(d.canvas_dc, d.canvas_width, d.canvas_height);
    if (!d.canvas_dc) return;
    rebuild_display_objects();
    d.model_displayed = 1;
    m.array_type_copy = m.array_type;
    if (!(d.xscale >= 1.0f) || d.char_h <= 0 || d.layout_client_height <= 0)
        set_section_layout(d, m);
    // The margin of the layout; a data display may widen it for its labels.
    if (d.layout_margin_left > 0) d.left_margin = d.layout_margin_left;
    Sectiondisplay.top_margin = 3 * d.char_h;
    Sectiondisplay.panel_count = 1;
    Sectiondisplay.point_marks = 1;
    Sectiondisplay.na_labels = 1;
    d.yplt = Sectiondisplay.top_margin;
    Sectionoutlines.reset();
    set_value_colours(m);
    forget_contour_choices();
    try {
        if (run_display(d, m, before)) {
            fit_canvas_to_picture(*d.canvas_dc, d.status_height);
            displayed_fingerprint = fingerprint(*d.canvas_dc);
            report_cut_picture(*d.canvas_dc);
        }
    } catch (const std::bad_alloc&) {
        model::show_message("Insufficient memory for the display!", "Error Message");
    }
}

int draw_model_sections(ProgDisplay& d, ModelSettings& m, int y, float misfit) {
    if (!d.canvas_dc || m.model_read != 1 || m.cylinder_model != 0) return y;
    rebuild_display_objects();
    if (!(d.xscale >= 1.0f) || d.char_h <= 0 || d.layout_client_height <= 0)
        set_section_layout(d, m);
    DisplayRun run(d, m, *d.canvas_dc);
    try {
        d.xplt = d.left_margin;
        d.yplt = y;
        Sectionoutlines.reset();
        set_value_colours(m);
        model_kinds(run, misfit);
        fit_canvas_to_picture(*d.canvas_dc, d.status_height);
    } catch (const std::bad_alloc&) {
        model::show_message("Insufficient memory for the display!", "Error Message");
        return y;
    }
    return run.bottom;
}

int draw_cylinder_sections(ProgDisplay& d, ModelSettings& m) {
    if (!d.canvas_dc || m.cylinder_model == 0) return 0;
    rebuild_display_objects();
    if (!(d.xscale >= 1.0f) || d.char_h <= 0 || d.layout_client_height <= 0)
        set_section_layout(d, m);
    DisplayRun run(d, m, *d.canvas_dc);
    const float saved = d.xscale;
    try {
        Sectionoutlines.reset();
        set_value_colours(m);
        d.xplt = 6 * d.char_w;
        d.yplt = 4 * d.char_h;
        cylinder_model(run, 0, "Cylinder resistivity model", m.nresis, m.model_resistivities);
        if (m.nip > 0) {
            d.yplt = run.bottom + 4 * d.char_h;
            cylinder_ip_model(run);
        }
        fit_canvas_to_picture(*d.canvas_dc, d.status_height);
    } catch (const std::bad_alloc&) {
        model::show_message("Insufficient memory for the display!", "Error Message");
    }
    d.xscale = saved;
    return run.bottom;
}

struct KeptPicture::Copy {
    gfx::Canvas canvas;
    SectionOutlines outlines;
};

KeptPicture::KeptPicture(const ProgDisplay& d) {
    if (!d.canvas_dc) return;
    try {
        copy_ = std::make_unique<Copy>();
        const gfx::Canvas& now = *d.canvas_dc;
        copy_->canvas.resize(now.width(), now.height());
        copy_->canvas.bit_blt(0, 0, now.width(), now.height(), now, 0, 0);
        copy_->outlines = Sectionoutlines;
    } catch (const std::bad_alloc&) {
        copy_.reset(); // nothing to put back: the command goes on without it
    }
}

KeptPicture::~KeptPicture() = default;

void KeptPicture::put_back(ProgDisplay& d) const {
    if (!copy_ || !d.canvas_dc) return;
    // The canvas as it was: also its size, where it had grown to hold the picture.
    if (d.canvas_dc->growth().most.cx > 0)
        d.canvas_dc->resize(copy_->canvas.width(), copy_->canvas.height());
    d.canvas_dc->bit_blt(0, 0, copy_->canvas.width(), copy_->canvas.height(), copy_->canvas, 0, 0);
    Sectionoutlines = copy_->outlines;
    show_canvas(d);
}

bool canvas_shows_display(const ProgDisplay& d) {
    return d.canvas_dc && displayed_fingerprint != 0 &&
           fingerprint(*d.canvas_dc) == displayed_fingerprint;
}

void picture_after_colours(ProgDisplay& d, ModelSettings& m, bool was_display,
                           const KeptPicture& before) {
    if (was_display && m.model_read == 1)
        redisplay_model(d, m);
    else
        before.put_back(d);
    d.model_displayed = 1;
}

void redisplay_model(ProgDisplay& display, ModelSettings& settings) {
    if (settings.model_read != 1 || !display.canvas_dc) return;
    const ContourReplay replay;
    Call_Edit_Display_Model_2D(display, settings);
}

int edit_model_command() {
    Progdisplay.grid_flag = 0;
    Progdisplay.editmode = 1;
    Call_Edit_Display_Model_2D(Progdisplay, Modelsettings);
    return 110;
}

int display_model_command() {
    Progdisplay.grid_flag = 1;
    Progdisplay.editmode = 0;
    ui::set_cursor(ui::Cursor::arrow);
    Call_Edit_Display_Model_2D(Progdisplay, Modelsettings);
    return 111;
}

std::vector<std::string> display_dialogs(const ModelSettings& m) {
    std::vector<std::string> names;
    const int n = std::min(m.ndata, std::max(0, Proglim.max_data_points));
    if (m.model_read != 1 || n <= 0 || (m.array_type == 15 && m.cylinder_model == 0)) return names;
    const auto choice = [&](float lo) {
        names.push_back(lo > 0.0f ? "ContourChoiceBox" : "ContourNegBox");
    };
    float hi = 0.0f;
    // The levels of the two spectral pages, each from its own values at the frequency and in
    // the display mode the frequency dialog's OK keeps.
    const auto spectral_choices = [&] {
        std::vector<float> q1(std::size_t(n) + 1), q2(std::size_t(n) + 1);
        spectral_quantities(m, Progdisplay.ip_display_mode, n, q1.data(), q2.data());
        choice(array_maxmin(n, q1.data(), &hi));
        choice(array_maxmin(n, q2.data(), &hi));
    };
    if (m.cylinder_model != 0) {
        choice(std::min(10.0f, array_maxmin(n, m.app_resistivity, &hi)));
        if (m.nip <= 0) return names;
        if (m.ntau > 0) names.push_back("FreqSelectDiaBox");
        choice(array_maxmin(n, m.app_ip, &hi));
        if (m.ntau > 0) spectral_choices();
        return names;
    }
    const bool stored = has_stored_data(m);
    choice(
        array_maxmin(n, m.app_resistivity[0] != 0.0f ? m.app_resistivity : m.measured_values, &hi));
    if (m.nip > 0) choice(array_maxmin(n, stored ? m.measured_values_2 : m.app_ip, &hi));
    if (m.ntau > 0) {
        names.push_back("FreqSelectDiaBox");
        spectral_choices();
    }
    return names;
}
