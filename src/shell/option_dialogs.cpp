// The option dialogs of the main window.
#include "shell/option_dialogs.h"

#include "display/dialog_util.h"
#include "model/globals.h"
#include "model/model_settings.h"
#include "model/services.h"

namespace {

using ui::ControlKind;

ui::DialogTemplate make_complex_ip() {
    ui::DialogTemplate t;
    t.name = "ComplexIPDiaBox";
    t.caption = "Type of IP model";
    t.width = 240, t.height = 110;
    display::add(t, -1, ControlKind::static_text, "The non-linear model takes the chargeability",
                 10, 6, 220, 10);
    display::add(t, -1, ControlKind::static_text, "into a complex resistivity (finite elements).",
                 10, 16, 220, 10);
    display::add(t, 571, ControlKind::radio, "Linear", 20, 34, 200, 12);
    display::add(t, 572, ControlKind::radio, "Non-Linear", 20, 48, 200, 12);
    display::add_ok_cancel(t, 80);
    return t;
}

std::int32_t complex_ip_at_init = 0; // the value Cancel puts back

} // namespace

const ui::DialogTemplate ComplexIPDiaBox = make_complex_ip();

bool ComplexIPDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args) {
    ModelSettings& m = Modelsettings;
    if (event == ui::DialogEvent::init) {
        complex_ip_at_init = m.complex_ip_model;
        dialog.check_radio(571, 572, m.complex_ip_model == 1 ? 572 : 571);
        return true;
    }
    if (event != ui::DialogEvent::command) return false;
    switch (args.id) {
    case 571:
    case 572:
        m.complex_ip_model = args.id - 571;
        dialog.check_radio(571, 572, args.id);
        return true;
    case ui::id_ok:
        if (m.complex_ip_model == 1) m.fem = 1;
        display::end_dialog(dialog, true);
        return true;
    case ui::id_cancel:
        m.complex_ip_model = complex_ip_at_init;
        display::end_dialog(dialog, false);
        return true;
    default:
        return false;
    }
}

namespace shell {

int complex_ip_command() {
    erase_window();
    const int result = ui::run_dialog(ComplexIPDiaBox, ComplexIPDiaBoxProc);
    Progdisplay.model_displayed = 1;
    return result;
}

} // namespace shell
