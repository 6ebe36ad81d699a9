// The model-file sections after the block-code rows. For now the read ends with the rows: the
// depth grid takes its final row count and a file without depths gets its default depths. The
// IP values, the array type, the results section, the topography and the sorting of measured
// data are read here, in file order, before the end-of-read steps (finish_model_read).
#include "model/readmodel_sections.h"

namespace model {

void read_model_after_blocks(ModelReader& r) {
    ModelSettings& m = r.model;
    m.ndepths = m.ngrid_rows;
    if (!m.cylinder_model) apply_grid_extension(r);
    // Without an array type the thickness factor is that of model.array_type as it stands.
    if (m.depths_given != 2 && !m.cylinder_model) set_default_depth_lines(r);
    r.result = 0;
}

} // namespace model
