// The runs over an array configuration file in sensitivity and data mode, and the two commands
// that run a file in data mode.
#include "forward/commands.h"
#include "forward/configurations/configurations.h"
#include "forward/datafile.h"
#include "forward/noise.h"

#include "model/globals.h"
#include "model/model_settings.h"
#include "model/records.h"
#include "model/result_check.h"
#include "model/services.h"
#include "model/utilities.h"
#include "platform/gfx/canvas.h"
#include "platform/sys/sys.h"
#include "platform/ui/ui.h"
#include "sensitivity/grid_budget.h"
#include "sensitivity/sensitivity_commands.h"
#include "sensitivity/standard_arrays.h"

#include <cstdio>
#include <new>
#include <string>
#include <vector>

namespace {

using namespace forward;

// The geometric-factor type of a model with water is the surface one while a configuration file
// runs, and comes back however the run ends.
class SurfaceFactorForWater {
  public:
    explicit SurfaceFactorForWater(ModelSettings& m) : m_(m), kept_(m.geometric_factor_type) {
        if (m.zwatermax != 0.0f) m.geometric_factor_type = 0;
    }
    ~SurfaceFactorForWater() { m_.geometric_factor_type = kept_; }
    SurfaceFactorForWater(const SurfaceFactorForWater&) = delete;
    SurfaceFactorForWater& operator=(const SurfaceFactorForWater&) = delete;

  private:
    ModelSettings& m_;
    const std::int32_t kept_;
};

// Shows the lines the reader reads one text line below the other at x = 8.
class WindowEcho {
  public:
    WindowEcho() : dc_(ui::window_canvas()), step_(dc_.text_metrics().height) {}
    void operator()(const std::string& line) {
        dc_.text_out(8, y_, line);
        y_ += step_;
    }

  private:
    gfx::Canvas& dc_;
    int step_;
    int y_ = 10;
};

// Asks for the configuration file and reads it; false when there is nothing to run (Cancel, or
// a refusal that was shown). `path` receives the file chosen.
bool read_configuration_file(const ModelSettings& m, int mode, ConfigurationFile& file,
                             std::string& path) {
    SystemSettings& s = Systemsettings;
    model::copy_text(s.file_name, sizeof s.file_name, "*.txt");
    model::copy_text(s.file_title, sizeof s.file_title, "File with array configurations");
    if (!open_file_dialog(s.file_name, s.file_title, s.initial_dir)) return false;
    path = s.file_name;
    const std::string folder = sys::current_dir();
    model::copy_text(s.initial_dir, sizeof s.initial_dir, folder.c_str());
    update_status("Reading file with arrays configurations", 0);
    std::vector<char> text;
    bool loaded = false;
    try {
        loaded = sys::read_whole_file(path, text);
    } catch (const std::bad_alloc&) {
        text = std::vector<char>{};
    }
    if (loaded && text.size() > std::size_t(INT32_MAX) - 4) loaded = false;
    if (!loaded && sys::file_exists(path)) {
        model::report_error(model::Shown::box, "Error Message",
                            "Problem in allocating memory for this file!\nPress any key to "
                            "continue.");
        return false;
    }
    if (!loaded) {
        char message[1200];
        std::snprintf(message, sizeof message,
                      "Electrode configuration file error!\nThe file %s\ncannot be opened.",
                      path.c_str());
        model::report_error(model::Shown::box, "Error Message", "%s", message);
        return false;
    }
    WindowEcho echo;
    return parse_configuration_file(text.data(), std::int32_t(text.size()), m.unit_spacing, mode,
                                    Proglim.max_data_points, file, std::ref(echo));
}

// The Surfer files of the sections of `f` beside the report: a data and a post file per
// configuration that keeps a block of its own (16 at most), then the integrated block's.
std::vector<std::string> surfer_file_names(const std::string& report, const ConfigurationFile& f) {
    const std::string stem = sens::path_with_suffix(report, "");
    std::vector<std::string> names;
    for (std::size_t k = 0; f.arrays.size() <= 16 && k < f.arrays.size(); ++k) {
        const std::string data = stem + "_" + std::to_string(k + 1) + ".dat";
        for (const std::string& name : sens::surfer_file_paths(data))
            names.push_back(name);
    }
    names.push_back(stem + "_total.dat");
    return names;
}

// The Surfer files of the sections: a data and a post file per configuration with a block of
// its own, and the integrated block, each data file with its progress. Returns false after the
// message of a file not written, or of the user's break (the files written before it stay).
bool save_surfer_files(const std::string& report, const ConfigurationFile& f,
                       const SensitivitySections& s) {
    const std::string stem = sens::path_with_suffix(report, "");
    const float a = f.spacing;
    sens::GridPositions grid;
    for (const float x : s.x)
        grid.x.push_back(x * a);
    for (const float z : s.z)
        grid.z.push_back(z * a);
    std::string failed;
    char name[64];
    const std::size_t n = f.arrays.size();
    int written = 0;
    const auto stopped = [&written] {
        const std::string kept = std::to_string(written) + " Surfer files were written.";
        sens::stopped_message("Saving the sensitivity values", kept.c_str());
        return false;
    };
    for (std::size_t k = 0; s.per_configuration && k < n && failed.empty(); ++k, written += 2) {
        std::snprintf(name, sizeof name, "Saving sensitivity values for array %d.", int(k) + 1);
        sens::LoopProgress progress(name);
        sens::Electrodes e;
        for (int i = 0; i < 4; ++i)
            e.x[i] = f.arrays[k].x[i] * a, e.z[i] = f.arrays[k].z[i] * a;
        std::snprintf(name, sizeof name, "_%1d.dat", int(k) + 1);
        failed = sens::write_surfer_files(stem + name, grid, s.values.data() + k * s.points(),
                                          s.factor, e, &progress);
        if (progress.was_stopped()) return stopped();
    }
    if (failed.empty()) {
        const std::string total = stem + "_total.dat";
        sens::LoopProgress progress("Saving the integrated sensitivity values");
        if (!sens::save_surfer_data(total, grid, s.integrated(), s.factor, &progress))
            failed = total;
        if (progress.was_stopped()) return stopped();
    }
    update_status(" ", 0);
    if (failed.empty()) return true;
    char text[1200];
    std::snprintf(text, sizeof text, "There has been an error in creating\nthe file %s.",
                  failed.c_str());
    model::report_error(model::Shown::box, "Error Message", "%s", text);
    return false;
}

// Writes the data of the configurations to general_array_file.
void write_data(ModelSettings& m, const ConfigurationFile& f, ConfigData& data,
                bool all_boreholes) {
    if (all_boreholes)
        save_general_array_data_nbor(m, f, data);
    else
        save_general_array_data(m, f, data);
}

// With the model's potentials, the data of the configurations go to the data file chosen by
// the data-mode command; the sections are shown whether or not they could.
void sensitivity_mode_data(ModelSettings& m, const ConfigurationFile& f, bool all_boreholes) {
    if (m.pot_values_present != 1) return;
    ConfigData data = form_configuration_data(m, Proglim, f, all_boreholes);
    if (data.formed == 0 || !configurations_in_reach(m, f, data)) return;
    if (m.general_array_file[0] == '\0') {
        model::ask_message("The apparent resistivity values of these configurations are not "
                           "saved:\nno data file has been chosen yet. The option 'Calculate "
                           "apparent\nresistivity for non-standard arrays' chooses it.",
                           "Message", ui::mb_ok | ui::mb_iconinformation);
        return;
    }
    write_data(m, f, data, all_boreholes);
}

// What the files chosen are: the report ("" for none) and whether the Surfer files go with it.
struct SectionFiles {
    std::string report;
    bool surfer = false;
};

// Asks for the report and whether the Surfer files go with it; the Surfer files that exist are
// asked about once, and No leaves them out.
SectionFiles ask_section_files(const ConfigurationFile& f, const std::string& input) {
    SystemSettings& s = Systemsettings;
    model::copy_text(s.file_name, sizeof s.file_name,
                     sens::path_with_suffix(input, "_out.txt").c_str());
    model::copy_text(s.file_title, sizeof s.file_title,
                     "File to save sensitivity values in SURFER format");
    SectionFiles files;
    if (!save_file_dialog(s.file_name, s.file_title, s.initial_dir)) return files;
    files.report = s.file_name;
    files.surfer =
        model::ask_message("Do you want to save the sensitivity\nvalues in Surfer "
                           "format as well?",
                           "Surfer format", ui::mb_yesno | ui::mb_iconquestion) == ui::id_yes;
    if (files.surfer &&
        !model::replace_files(model::existing_files(surfer_file_names(files.report, f)),
                              "Surfer format")) {
        files.surfer = false;
        set_status_line("The sensitivity values were not saved in Surfer format.");
    }
    return files;
}

// What the sections of `f` take: their values, and the report and Surfer files chosen.
sens::GridNeeds section_needs(const ConfigurationFile& f, const SectionFiles& files) {
    const double nx = f.grid.nx(), nz = f.grid.nz(), n = double(f.arrays.size());
    const double blocks = n <= 16 ? n + 1 : 1;
    sens::GridNeeds needs;
    needs.points = nx * nz;
    needs.memory = 4.0 * (blocks * nx * nz + nx + nz + n);
    if (files.report.empty()) return needs;
    needs.folder = sens::folder_of(files.report);
    // The report: thirteen characters a value; a Surfer line about 30.
    needs.disk = 4096.0 + 150.0 * n + 13.0 * blocks * nx * nz + 16.0 * (nx + nz);
    if (files.surfer) needs.disk += blocks * (512.0 + 30.0 * nx * nz);
    return needs;
}

// Steps of the sensitivity mode after the file was read. The files are chosen first: sections
// whose values the memory, or whose files the disk, cannot hold are refused before they are
// computed.
void sensitivity_mode(ModelSettings& m, const ConfigurationFile& f, const std::string& input,
                      bool all_boreholes) {
    SensitivitySections sections;
    if (f.has_results) {
        sections = f.results;
        show_configuration_sections(m, Progdisplay, f, sections);
        return;
    }
    const SectionFiles files = ask_section_files(f, input);
    if (!sens::grid_fits(section_needs(f, files))) return;
    const int computed =
        compute_configuration_sections(f, m.sens_auto_scale, m.sens_scale_factor, sections);
    if (computed == 2)
        sens::stopped_message("The sensitivity calculation", "Nothing was saved or drawn.");
    if (computed != 0) return;
    if (!model::ResultValues()
             .add(sections.values.data(), sections.values.size())
             .add(sections.potentials.data(), sections.potentials.size())
             .add(sections.factor)
             .writable("sensitivity values"))
        return;
    if (!files.report.empty()) {
        update_status("Saving sensitivity values for all arrays", 0);
        if (save_text_file(files.report.c_str(), [&] {
                return configuration_report_text(f, sections, Systemsettings.version_text);
            })) {
            if (files.surfer) save_surfer_files(files.report, f, sections);
            sensitivity_mode_data(m, f, all_boreholes);
        }
    }
    show_configuration_sections(m, Progdisplay, f, sections);
}

bool run(ModelSettings& m, int mode, bool all_boreholes) {
    SurfaceFactorForWater surface_factor(m);
    if (mode != 0 && m.pot_values_present != 1) {
        model::report_error(model::Shown::box, "Error Message",
                            "You must first run the 'Calculate the\napprent resistivity values' "
                            "option.");
        return false;
    }
    ConfigurationFile file;
    std::string path;
    if (!read_configuration_file(m, mode, file, path)) return false;
    m.narrays = int(file.arrays.size());
    if (mode == 0) {
        sensitivity_mode(m, file, path, all_boreholes);
        return false;
    }
    ConfigData data = form_configuration_data(m, Proglim, file, all_boreholes);
    if (!configurations_in_reach(m, file, data)) return false;
    // Data for a file leave the model's own datum list alone.
    if (m.sens_option_2 == 1) {
        write_data(m, file, data, all_boreholes);
        return false;
    }
    store_configuration_data(m, file, data);
    return true;
}

} // namespace

bool sensitivity_array_file(ModelSettings& m, int mode) {
    return run(m, mode, false);
}

bool sensitivity_array_file_nbor(ModelSettings& m, int mode) {
    return run(m, mode, true);
}

bool run_configuration_file(ModelSettings& m, int mode) {
    return m.nboreholes > 2 ? sensitivity_array_file_nbor(m, mode)
                            : sensitivity_array_file(m, mode);
}

int save_general_array_file(ProgDisplay& display, ModelSettings& m) {
    erase_window();
    clear_area(display.canvas_dc, display.canvas_width, display.canvas_height);
    display.model_displayed = 0;
    SystemSettings& s = Systemsettings;
    model::copy_text(s.file_name, sizeof s.file_name, "*.dat");
    model::copy_text(s.file_title, sizeof s.file_title, "Output ORBANTEL general array file name");
    // Cancel in the file or the noise dialog ends the command with nothing changed.
    if (!save_file_dialog(s.file_name, s.file_title, s.initial_dir) ||
        ui::run_dialog(NoiseDiaBox, NoiseDiaBoxProc) != 1)
        return 1140;
    model::copy_text(m.general_array_file, sizeof m.general_array_file, s.file_name);
    model::trace("Calfile %.4f %d\n", double(m.noise_level), m.noise_model);
    m.sens_scale_factor = 10000.0f;
    m.sens_auto_scale = 1;
    m.sens_option_2 = 1;
    run_configuration_file(m, 1);
    return 1140;
}

int sensitivity_nonstd_command(ProgDisplay& display, ModelSettings& m,
                               const SensitivityHooks& hooks) {
    erase_window();
    clear_area(display.canvas_dc, display.canvas_width, display.canvas_height);
    display.model_displayed = 0;
    model::trace("sens nstd %d\n", m.pot_values_present);
    m.sens_scale_factor = 10000.0f;
    m.sens_option_2 = 0;
    m.sens_auto_scale = 1;
    const bool replaced = run_configuration_file(m, 1);
    m.sens_option_2 = 1;
    // Without the configurations' data (a Cancel, a refusal) there is nothing of theirs to
    // calculate: the datum list is the standard array's, whose values would pass for theirs.
    if (!replaced) return 5271;
    erase_window();
    clear_area(display.canvas_dc, display.canvas_width, display.canvas_height);
    int view = 0;
    sensitivity_command_no_array_dialog(view, m, hooks);
    // The datum list of the array in force comes back.
    const int previous = m.array_type;
    calappmod(m, Proglim, Potentialtables, 0, &previous);
    return 5271;
}
