// The 2-D sensitivity command.
#include "sensitivity/section_command.h"

#include "model/globals.h"
#include "model/services.h"
#include "platform/ui/ui.h"
#include "sensitivity/dialogs.h"
#include "sensitivity/standard_arrays.h"

namespace {

// True when the dialog ended with OK.
bool accepted(const ui::DialogTemplate& tmpl, const ui::DialogProc& proc) {
    dialog_result = 0;
    return ui::run_dialog(tmpl, proc) == 1 && dialog_result == 1;
}

} // namespace

int sensitivity_section_command(const std::function<void()>& from_file) {
    ModelSettings& m = Modelsettings;
    erase_window();
    ui::set_cursor(ui::Cursor::arrow);
    if (!accepted(Sens2DDiaBox, Sens2DDiaBoxProc)) return 137;
    ui::show_child(ui::Child::status, true);
    ui::invalidate_status();
    gfx::Canvas& window = ui::window_canvas();
    switch (m.sens_calc_type) {
    case 0:
        if (accepted(Array2DSensDiaBox, Array2DSensDiaBoxProc))
            calc_sensitivity_standard_arrays(m, Progdisplay, window);
        break;
    case 1:
        if (accepted(Array2DBorSensDiaBox, Array2DBorSensDiaBoxProc)) {
            m.sens_array_type = 12;
            calc_sensitivity_standard_arrays(m, Progdisplay, window);
        }
        break;
    case 2:
        m.sens_scale_factor = 10000.0f;
        m.sens_auto_scale = 1;
        if (from_file) from_file();
        break;
    default:
        break;
    }
    ui::show_child(ui::Child::status, false);
    return 137;
}
