// Construction and destruction of the model settings record.
#include "model/model_settings.h"

#include "model/globals.h"
#include "model/owned_arrays.h"
#include "platform/sys/sys.h"

#include <cstring>

namespace {
template <class T> void free_array(T*& p) {
    sys::page_free(p);
    p = nullptr;
}
} // namespace

ModelSettings::ModelSettings() {
    // The scalar defaults and the three short paths come from the member initialisers.
    nx_cells = nx_nodes - 1;
    nz_cells = nz_nodes - 1;
    side_node_weight = (1.0f - current_node_weight) * 0.5f;
    array_type_model = array_type;

    title_text = sys::page_alloc_array<char>(256);
    ip_unit_text = sys::page_alloc_array<char>(256);
    if (ip_unit_text) std::strcpy(ip_unit_text, "mV/V");
    const std::size_t water_entries = std::size_t(max_water_layers) * water_columns + 1;
    water_resistivity = sys::page_alloc_array<float>(water_entries);
    water_thickness = sys::page_alloc_array<float>(water_entries);
    water_layer_work = sys::page_alloc_array<float>(water_entries);
    fe_small_table_b = sys::page_alloc(16);
    fe_small_table_a = sys::page_alloc(24);
    constructed_ok_ = title_text && ip_unit_text && water_resistivity && water_thickness &&
                      water_layer_work && fe_small_table_b && fe_small_table_a;
}

bool ModelSettings::allocated() const {
    return constructed_ok_;
}

ModelSettings::~ModelSettings() {
    sys::page_free(fe_small_table_a);
    fe_small_table_a = nullptr;
    sys::page_free(fe_small_table_b);
    fe_small_table_b = nullptr;
    free_array(water_resistivity);
    free_array(water_thickness);
    free_array(water_layer_work);
    free_array(ip_unit_text);
    free_array(title_text);

    // dump_file, nodes_file, nodesadj_file and model_file are left on disk.
    for (const char* path :
         {grfinite_file, fourier_values_file, jacob_elec_positions_file, jacob_file, grfile_file,
          grfile_elec_file, hessmatrix_file, hessmatrix_row_file, invmatrix_file})
        model::empty_and_delete_file(path);

    model::visit_settings_arrays(*this, model::ModelCapacities{},
                                 [](auto*& p, std::size_t, const char*) { free_array(p); });
    ip_codes = cexp_codes = tau_codes = nullptr;
}
