// The horizontal-scale and vertical-factor dialogs.
#include "display/scales.h"

#include "display/dialog_util.h"
#include "display/display_commands.h"
#include "model/dialog_fields.h"
#include "model/globals.h"
#include "model/services.h"

using display::add;
using display::formatted;
using ui::ControlKind;

namespace {

ui::DialogTemplate make_scale_template(const char* name, const char* caption, int text_id) {
    ui::DialogTemplate t(name, caption, 260, 80);
    add(t, text_id, ControlKind::static_text, "", 10, 8, 240, 11);
    add(t, text_id + 1, ControlKind::edit, "", 90, 28, 80, 12);
    display::add_ok_cancel(t, 56);
    return t;
}

// 1 / v, shown as 0 for v = 0.
double reciprocal(float v) {
    return v != 0.0f ? 1.0 / double(v) : 0.0;
}

} // namespace

const ui::DialogTemplate HrpsDiaBox =
    make_scale_template("HrpsDiaBox", "Horizontal Display Scale", 852);
const ui::DialogTemplate VtsfDiaBox =
    make_scale_template("VtsfDiaBox", "Vertical/horizontal display scaling factor", 845);

bool HrpsDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args) {
    ProgDisplay& d = Progdisplay;
    if (event == ui::DialogEvent::init) return true;
    if (event == ui::DialogEvent::first_paint) {
        dialog.set_text(852, formatted("Horizontal display scale is %.1f pixels/electrode "
                                       "spacing.",
                                       d.xscale));
        dialog.set_text(853, model::field_text("%.2f", d.xscale));
        return true;
    }
    if (event != ui::DialogEvent::command) return false;
    if (args.id == ui::id_ok) {
        const model::NumberField scale =
            model::NumberField(853, "the horizontal display scale").within(model::from_to(1, 200));
        if (!model::read_field(dialog, scale, d.xscale)) return true;
    }
    if (args.id != ui::id_ok && args.id != ui::id_cancel) return false;
    display::end_dialog(dialog, args.id == ui::id_ok);
    return true;
}

bool VtsfDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args) {
    ProgDisplay& d = Progdisplay;
    if (event == ui::DialogEvent::init) return true;
    if (event == ui::DialogEvent::first_paint) {
        dialog.set_text(845, formatted("Vertical/horizontal display scaling factor is %.2f.",
                                       reciprocal(d.vh_factor)));
        const float kept = d.vh_factor;
        dialog.set_text(846, model::field_text("%.2f", reciprocal(kept), [kept](double typed) {
                            return static_cast<float>(1.0 / typed) == kept;
                        }));
        return true;
    }
    if (event != ui::DialogEvent::command) return false;
    if (args.id == ui::id_ok) {
        // The factor is kept as its reciprocal, which the drawings take up to 5.
        const model::NumberField factor =
            model::NumberField(846, "the vertical/horizontal display scaling factor")
                .within(model::from_to(0.2, 100));
        double v = 0.0;
        if (!model::read_field(dialog, factor, v)) return true;
        d.vh_factor = static_cast<float>(1.0 / v);
    }
    if (args.id != ui::id_ok && args.id != ui::id_cancel) return false;
    display::end_dialog(dialog, args.id == ui::id_ok);
    return true;
}

int hrps_menu_handler() {
    erase_window();
    clear_area(Progdisplay.canvas_dc, Progdisplay.canvas_width, Progdisplay.canvas_height);
    if (Modelsettings.ndata < 1)
        model::show_message("You need to read in a data set\nbefore using this option.", "Message");
    else if (ui::run_dialog(HrpsDiaBox, HrpsDiaBoxProc) == 1)
        set_status_line(formatted("Horizontal display scale: %.1f pixels an electrode spacing.",
                                  Progdisplay.xscale)
                            .c_str());
    redisplay_model(Progdisplay, Modelsettings);
    Progdisplay.model_displayed = 1;
    return 117;
}
