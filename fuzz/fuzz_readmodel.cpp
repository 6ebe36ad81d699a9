// Fuzz target of the model-file reader: any bytes as a model file, read into one model record
// that lives for the whole run (as in the program, every read starts from the one before).
#include "model/globals.h"
#include "model/model_settings.h"
#include "model/readmodel_sections.h"
#include "model/records.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

struct Records {
    ProgLim limits;
    std::unique_ptr<ModelSettings> model = std::make_unique<ModelSettings>();
    std::unique_ptr<Potentials> potentials = std::make_unique<Potentials>();
    Records() {
        // The limits of window creation for the default screen and memory.
        const int n = 161;
        limits.max_electrodes = n;
        limits.max_n = 70;
        limits.max_data_points = 16000;
        limits.max_levels = 160;
        limits.max_resistivity_values = 33;
        limits.max_node_rows = 170;
        limits.max_node_columns = 4 * n + 23;
        limits.max_topo_points = n;
        limits.max_spacing_ratio = 160;
        limits.max_electrodes_b = limits.max_electrodes_c = limits.max_electrodes_d = n;
        limits.max_node_columns_b = limits.max_node_columns;
        limits.max_borehole_electrodes = 32;
        limits.max_boreholes = 30;
        limits.max_frequencies = 12;
        if (model::allocate_model_arrays(*model, *potentials, limits) != 0) std::abort();
    }
};

Records& records() {
    static Records r;
    return r;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > (1u << 20)) return 0;
    Records& r = records();
    // Exactly the input's bytes, so that any read past the end of the text is caught.
    const std::vector<char> text(data, data + size);
    int error = 0;
    model::clear_read_fields(*r.model);
    model::read_model_text(r.limits, *r.model, r.model->model_title, text.data(),
                           static_cast<std::int32_t>(text.size()), nullptr, error);
    return 0;
}
