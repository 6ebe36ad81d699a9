// The global records: their storage, construction in the fixed order and destruction in the
// reverse order, the allocation of the arrays sized from the program limits, and the work files.
#include "model/globals.h"

#include "model/owned_arrays.h"
#include "model/services.h"
#include "model/utilities.h"
#include "platform/sys/sys.h"

#include <cstdio>
#include <new>

namespace {
// Raw storage for each record; init_globals builds the records in it and exit_globals destroys
// them, so the order of both is explicit and a test can run the whole life cycle.
template <class T> struct Slot {
    alignas(T) unsigned char bytes[sizeof(T)];
    T* get() { return reinterpret_cast<T*>(bytes); }
};
Slot<StatusWind> statuswind_slot;
Slot<NextWind> nextwind_slot;
Slot<ProgLim> proglim_slot;
Slot<PrintTrace> printtrace_slot;
Slot<ModelSettings> modelsettings_slot;
Slot<ProgDisplay> progdisplay_slot;
Slot<Potentials> potentials_slot;
Slot<Array3DSens> array3dsens_slot;
Slot<SystemSettings> systemsettings_slot;
Slot<ModelResolution> modelresolution_slot;
bool alive = false;
} // namespace

StatusWind& Statuswind = *statuswind_slot.get();
NextWind& Nextwind = *nextwind_slot.get();
ProgLim& Proglim = *proglim_slot.get();
PrintTrace& Printtrace = *printtrace_slot.get();
ModelSettings& Modelsettings = *modelsettings_slot.get();
ProgDisplay& Progdisplay = *progdisplay_slot.get();
Potentials& Potentialtables = *potentials_slot.get();
Array3DSens& Array3dsens = *array3dsens_slot.get();
SystemSettings& Systemsettings = *systemsettings_slot.get();
ModelResolution& Modelresolution = *modelresolution_slot.get();

std::int32_t dialog_result = 0;

int init_globals() {
    if (alive) model::exit_globals();
    new (statuswind_slot.bytes) StatusWind();
    new (nextwind_slot.bytes) NextWind();
    new (proglim_slot.bytes) ProgLim();
    new (printtrace_slot.bytes) PrintTrace();
    new (modelsettings_slot.bytes) ModelSettings();
    new (progdisplay_slot.bytes) ProgDisplay();
    new (potentials_slot.bytes) Potentials();
    new (array3dsens_slot.bytes) Array3DSens();
    new (systemsettings_slot.bytes) SystemSettings();
    new (modelresolution_slot.bytes) ModelResolution();
    alive = true;
    if (!Modelsettings.allocated() || !Modelresolution.allocated()) {
        model::show_message("Insufficient memory to start the program!.", "Error Message");
        return 1;
    }
    return 0;
}

namespace model {

void exit_globals() {
    if (!alive) return;
    alive = false;
    modelresolution_slot.get()->~ModelResolution();
    systemsettings_slot.get()->~SystemSettings();
    array3dsens_slot.get()->~Array3DSens();
    potentials_slot.get()->~Potentials();
    progdisplay_slot.get()->~ProgDisplay();
    modelsettings_slot.get()->~ModelSettings();
    PrintTrace* trace_record = printtrace_slot.get();
    if (trace_record->file) std::fclose(trace_record->file);
    trace_record->~PrintTrace();
    proglim_slot.get()->~ProgLim();
    nextwind_slot.get()->~NextWind();
    statuswind_slot.get()->~StatusWind();
}

bool globals_alive() {
    return alive;
}

ModelCapacities model_capacities(const ProgLim& limits) {
    auto count = [](std::int32_t v) { return v > 0 ? std::size_t(v) : std::size_t(0); };
    ModelCapacities c;
    c.N = count(limits.max_electrodes);
    c.D = count(limits.max_data_points);
    c.X = count(limits.max_node_columns);
    c.Z = count(limits.max_node_rows);
    c.C = (c.X > 0 ? c.X - 1 : 0) * (c.Z > 0 ? c.Z - 1 : 0);
    c.R = count(limits.max_resistivity_values);
    c.B = count(limits.max_boreholes);
    c.E = count(limits.max_borehole_electrodes);
    c.F = count(limits.max_frequencies);
    c.S = count(limits.max_spacing_ratio);
    c.L = count(limits.max_plot_levels);
    c.V = count(limits.max_levels);
    c.W = count(limits.max_electrodes_c);
    return c;
}

namespace {
// Allocates one array unless an earlier one failed; records the failure.
struct Allocate {
    bool failed = false;
    template <class T> void operator()(T*& p, std::size_t count, const char*) {
        if (failed) return;
        p = sys::page_alloc_array<T>(count);
        if (!p) failed = true;
    }
};
struct Release {
    template <class T> void operator()(T*& p, std::size_t, const char*) {
        sys::page_free(p);
        p = nullptr;
    }
};
} // namespace

int allocate_model_arrays(ModelSettings& settings, Potentials& potentials, const ProgLim& limits) {
    const ModelCapacities c = model_capacities(limits);
    Allocate allocate;
    visit_potentials_arrays(potentials, c, allocate);
    visit_settings_arrays(settings, c, allocate);
    if (allocate.failed) {
        release_model_arrays(settings, potentials);
        show_message("Insufficient memory for the model arrays!.", "Error Message");
        return 1;
    }
    settings.ip_codes = settings.resistivity_codes + c.C;
    settings.cexp_codes = settings.resistivity_codes + 2 * c.C;
    settings.tau_codes = settings.resistivity_codes + 3 * c.C;
    for (std::size_t k = 0; k < c.D; ++k)
        settings.datum_gfactor[k] = 1.0f;
    return 0;
}

void release_model_arrays(ModelSettings& settings, Potentials& potentials) {
    visit_settings_arrays(settings, ModelCapacities{}, Release{});
    visit_potentials_arrays(potentials, ModelCapacities{}, Release{});
    settings.ip_codes = settings.cexp_codes = settings.tau_codes = nullptr;
}

std::vector<OwnedArraySize> owned_array_sizes(const ProgLim& limits) {
    // Visits copies of the records' pointer fields only; nothing is allocated.
    const ModelCapacities c = model_capacities(limits);
    std::vector<OwnedArraySize> sizes;
    auto record = [&sizes](auto*& p, std::size_t count, const char* name) {
        sizes.push_back({name, count, count * sizeof *p});
    };
    Potentials potentials;
    visit_potentials_arrays(potentials, c, record);
    ModelSettings* settings = new (std::nothrow) ModelSettings();
    if (settings) {
        visit_settings_arrays(*settings, c, record);
        delete settings;
    }
    return sizes;
}

void set_work_file_paths(ModelSettings& settings, ModelResolution& resolution,
                         const std::string& folder, const std::string& listing_folder) {
    auto place = [&folder](char* destination, std::size_t capacity, const char* name) {
        copy_text(destination, capacity, (folder + name).c_str());
    };
    place(settings.nodes_file, sizeof settings.nodes_file, "nodesfile.xxx");
    place(settings.nodesadj_file, sizeof settings.nodesadj_file, "nodesadj.bin");
    place(settings.grfinite_file, sizeof settings.grfinite_file, "grfinite_r.bin");
    place(settings.fourier_values_file, sizeof settings.fourier_values_file, "fourier_values.bin");
    place(settings.jacob_file, sizeof settings.jacob_file, "jacob.bin");
    copy_text(settings.dump_file, sizeof settings.dump_file,
              ((listing_folder.empty() ? folder : listing_folder) + "dump_file.txt").c_str());
    place(settings.jacob_elec_positions_file, sizeof settings.jacob_elec_positions_file,
          "jacob_elec_positions.bin");
    place(settings.grfile_file, sizeof settings.grfile_file, "grfile.bin");
    place(settings.grfile_elec_file, sizeof settings.grfile_elec_file, "grfile_elec.bin");
    place(settings.hessmatrix_file, sizeof settings.hessmatrix_file, "hessmatrix.bin");
    place(settings.hessmatrix_row_file, sizeof settings.hessmatrix_row_file, "hessmatrix_row.bin");
    place(settings.invmatrix_file, sizeof settings.invmatrix_file, "invmatrix.bin");
    for (char* path : resolution.work_files) {
        const std::string name = sys::file_title(path);
        place(path, sizeof resolution.work_files[0], name.c_str());
    }
}

void empty_and_delete_file(const char* path) {
    if (!path || !*path) return;
    if (std::FILE* f = std::fopen(path, "wb")) std::fclose(f);
    std::remove(path);
}

} // namespace model
