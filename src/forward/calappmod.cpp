// Apparent values of a new array type or datum set from the potentials already calculated.
#include "forward/apparent.h"
#include "forward/commands.h"
#include "forward/cylinder_path.h"
#include "forward/mesh_reach.h"

#include "model/datum_points.h"
#include "model/model_settings.h"
#include "model/records.h"
#include "model/services.h"
#include "platform/ui/ui.h"

#include <cstdio>

namespace {

// Whether the offset table of potentials calculated for the array type `solved_for` serves
// `array`: the equatorial dipole-dipole array (8) reads the section-plane potential less the
// potential at the strike offset, the offset pole-dipole array (10) the latter itself.
bool offset_table_serves(int solved_for, int array) {
    if (array != 8 && array != 10) return true;
    return (solved_for == 10) == (array == 10);
}

void advise_recalculation() {
    model::ask_message("To see the effects of the changes you have made,\nyou should choose the "
                       "Forward Modelling option to\nrecalculate the potential values.",
                       "Message", ui::mb_ok | ui::mb_iconexclamation);
}

} // namespace

void calappmod(ModelSettings& s, const ProgLim& limits, Potentials& p, int show_message,
               const int* previous_array_type) {
    if (s.cylinder_model) {
        forward::cylinder_calappmod(s, limits, p, previous_array_type);
        return;
    }
    char text[400];
    if (s.ntau >= 1 && !forward::spectral_array_supported(s)) {
        model::show_message("This array is not supported for a spectral IP model", "Error Message");
        if (previous_array_type) s.array_type = *previous_array_type;
        return;
    }
    if (s.pot_values_present == 1) {
        model::trace("generate spacings no elecs %d array %d\n", s.nelec, s.array_type);
        s.ndata = calc_datum_points(s, limits);
        model::trace("calappmod data %d\n", s.ndata);
    }
    // Potentials whose mesh does not reach the widest datum of the new list, or whose offset
    // table holds the other quantity, would give wrong values for it: the list then waits for a
    // new calculation.
    if (s.pot_values_present == 1 &&
        (!forward::potentials_reach(s, s.potentials_span) ||
         !offset_table_serves(s.potentials_array_type, s.array_type))) {
        s.data_ready = 0;
        if (show_message == 1) advise_recalculation();
    } else if (s.pot_values_present == 1) {
        if (s.ntau >= 1) {
            std::snprintf(text, sizeof text, "profil array %d", s.array_type);
            model::show_message(text, "Message");
            s.ndata = calappres_ip(s, limits, p, &ui::window_canvas());
        } else {
            calappres_arrays(s, limits);
        }
        model::trace("calappmod final data %d\n", s.ndata);
        if (show_message == 1) {
            std::snprintf(text, sizeof text,
                          "The new apparent resistivity values with %d data points\nhas been "
                          "calculated.\nTo see the results, select the Edit/Display option.\n",
                          s.ndata);
            model::ask_message(text, "Message", ui::mb_ok | ui::mb_iconinformation);
        }
    } else if (s.pot_values_present == 0) {
        s.ndata = calc_datum_points(s, limits);
        // The new datum list has no values yet.
        s.data_ready = 0;
        if (show_message == 1) advise_recalculation();
    }
    s.array_type_copy = s.array_type;
}
