// The model-file sections after the block-code rows, in file order: IP values, the depth grid's
// final row count, the array type with default depths and level limit, then the optional
// results section, topography and the sorting of the measured data.
#include "model/reader/readmodel_sections.h"
#include "model/services.h"

#include <new>

namespace model {

namespace {

// Everything after the level limit. A refusal here drops the measured data and fails the read,
// although the model itself was read completely.
void read_results_and_data(ModelReader& r) {
    MeasuredPositions data;
    read_results_section(r, data);
    read_topography_section(r, data);
    refuse_numbers_after_topography(r);
    sort_measured_data(r);
}

} // namespace

void read_model_after_blocks(ModelReader& r) {
    ModelSettings& m = r.model;
    read_ip_section(r);
    m.ndepths = m.ngrid_rows;
    if (!m.cylinder_model) apply_grid_extension(r);
    read_array_type_section(r);
    check_water_depth(r);
    if (check_levels_and_end(r)) {
        m.ndata = 0;
        m.datum_array_type = 0;
        m.ip_data_present = 0;
        return;
    }
    try {
        read_results_and_data(r);
    } catch (const ReadStop&) {
        // The read ends here with its message and fails; the mesh is still built so that the
        // record never keeps the mesh of an earlier model.
        m.ndata = 0;
        build_final_mesh(r);
        throw;
    } catch (const std::bad_alloc&) {
        m.ndata = 0;
        build_final_mesh(r);
        show_message("Insufficient memory for reading the data points!", "Error Message");
        throw ReadStop{1};
    }
}

} // namespace model
