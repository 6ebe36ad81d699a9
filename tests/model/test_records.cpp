// The global records: defaults, the arrays sized from the program limits, the memory message
// when the page budget runs out, and the work files deleted at exit.
#include "support/model_records.h"
#include "support/session.h"

#include "model/globals.h"
#include "model/owned_arrays.h"
#include "model/snapshot.h"
#include "platform/sys/sys.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <set>

namespace {
using test_support::GlobalRecords;
using test_support::Headless;
using test_support::limits_for;
using test_support::TempDir;

TEST(Records, DefaultsAfterStartUp) {
    GlobalRecords records;
    const ModelSettings& m = Modelsettings;
    // Every field is compared as a double; float fields with float expectations.
    auto expect = [](const char* name, double actual, double expected) {
        EXPECT_EQ(actual, expected) << name;
    };
    expect("array_type (Wenner Alpha)", m.array_type, 1);
    expect("array_type_model", m.array_type_model, 1);
    expect("nlev", m.nlev, 5);
    expect("nx_nodes", m.nx_nodes, 200);
    expect("nz_nodes", m.nz_nodes, 20);
    expect("nx_cells", m.nx_cells, 199);
    expect("nz_cells", m.nz_cells, 19);
    expect("nodes_per_spacing", m.nodes_per_spacing, 4);
    expect("margin_columns", m.margin_columns, 20);
    expect("unit_spacing", m.unit_spacing, 1.0);
    expect("nky", m.nky, 12);
    expect("ky_min", m.ky_min, 0.002f);
    expect("ky_max", m.ky_max, 8.0);
    expect("fd_type (Modified 5-point)", m.fd_type, 1);
    expect("distributed_source (point source)", m.distributed_source, 0);
    expect("current_node_weight", m.current_node_weight, 0.93f);
    expect("side_node_weight", m.side_node_weight, (1.0f - 0.93f) * 0.5f);
    expect("extend_depth", m.extend_depth, 1);
    expect("extend_depth_factor", m.extend_depth_factor, 2.5);
    expect("tank_x_left", m.tank_x_left, -90);
    expect("tank_wall_resistivity", m.tank_wall_resistivity, 100000);
    expect("cylinder_radius", m.cylinder_radius, 1.0);
    expect("max_geometric_factor", m.max_geometric_factor, 1055.5776f);
    expect("shift_nodes", m.shift_nodes, 1);
    expect("sens_type", m.sens_type, 1);
    expect("res_damping", m.res_damping, 0.001f);
    expect("sens_option_2", m.sens_option_2, 1);
    expect("n_a_spacings", m.n_a_spacings, 1);
    expect("n_n_values", m.n_n_values, 5);
    expect("n_a_spacings_wenner", m.n_a_spacings_wenner, 5);
    expect("max_potential", m.max_potential, 1.0);
    expect("fd_option", m.fd_option, 1);
    expect("freq_index", m.freq_index, 1);
    expect("cylinder_option", m.cylinder_option, 1);
    expect("sens_p1_x", m.sens_p1_x, 1.0f / 3.0f);
    expect("sens_p2_x", m.sens_p2_x, 2.0f / 3.0f);
    expect("sens_z_min", m.sens_z_min, 0.01f);
    expect("sens_scale_factor", m.sens_scale_factor, 100);
    expect("max_water_layers", m.max_water_layers, 3);
    expect("water_columns", m.water_columns, 1);
    expect("max_depth_ratio", m.max_depth_ratio, 10);
    expect("n_elec_positions", m.n_elec_positions, 2);
    expect("grad_param_a", m.grad_param_a, 9);
    expect("grad_param_b", m.grad_param_b, 10);
    expect("nelec", m.nelec, 0);
    expect("model_read", m.model_read, 0);
    expect("ProgLim::max_plot_levels", Proglim.max_plot_levels, 40);
    expect("ProgLim::max_electrodes_c", Proglim.max_electrodes_c, 301);
    expect("ProgLim::max_electrodes", Proglim.max_electrodes, 0);
    expect("PrintTrace::active", Printtrace.active, 0);
    expect("StatusWind::bar_length", Statuswind.bar_length, 0);
    expect("NextWind::next_flag", Nextwind.next_flag, 0);
    expect("Array3DSens::array_type", Array3dsens.array_type, 1);
    expect("Array3DSens::elec_x[3]", Array3dsens.elec_x[3], 2.0f / 3.0f);
    expect("Array3DSens::z_start", Array3dsens.z_start, 0.05f);
    expect("ModelResolution::opt_nelec", Modelresolution.opt_nelec, 22);
    expect("ModelResolution::opt_bgs_ratio", Modelresolution.opt_bgs_ratio, 0.8f);
    expect("ModelResolution::opt_max_arrays", Modelresolution.opt_max_arrays, 5000);
    expect("ModelResolution::opt_param_100", Modelresolution.opt_param_100, 100);

    const struct {
        const char* name;
        const char* actual;
        const char* expected;
    } texts[] = {
        {"nodes_file", m.nodes_file, "nodes.bin"},
        {"nodesadj_file", m.nodesadj_file, "nodesadj.bin"},
        {"model_file", m.model_file, "model.mod"},
        {"grfinite_file", m.grfinite_file, ""},
        {"ip_unit_text", m.ip_unit_text, "mV/V"},
        {"title_text", m.title_text, ""},
        {"PrintTrace::file_name", Printtrace.file_name, "c:\\zultracex64.txt"},
        {"StatusWind::window_name", Statuswind.window_name, "Status Window"},
        {"NextWind::window_name", Nextwind.window_name, "Next Window"},
        {"SystemSettings::version_text", Systemsettings.version_text, "VELDARIN ver. 3.03.01"},
        {"SystemSettings::window_class", Systemsettings.window_class,
         "2D Resistivity and IP Forward Modelling"},
        {"SystemSettings::menu_name", Systemsettings.menu_name, "Alteration"},
        {"SystemSettings::status_class", Systemsettings.status_class, "Status Windows"},
        {"ModelResolution::work_files[0]", Modelresolution.work_files[0], "elecs_opt.bin"},
        {"ModelResolution::work_files[7]", Modelresolution.work_files[7], "invmatrix.bin"},
    };
    for (const auto& t : texts)
        EXPECT_STREQ(t.actual, t.expected) << t.name;

    EXPECT_EQ(sizeof Statuswind.text, 512u); // 511 characters and a zero
    EXPECT_EQ(std::memcmp(Progdisplay.colour_table, Progdisplay.saved_colour_table, 32 * 4), 0);
    EXPECT_EQ(Progdisplay.colour_table[13], 0x0000FFu); // pure red
    EXPECT_EQ(Progdisplay.colour_table[18], 0xFFFFFFu); // white
    EXPECT_EQ(Progdisplay.colour_table[0], 0x800000u);  // dark blue (0, 0, 128)
}

TEST(Records, ConstructorAllocatesOnlyItsOwnArrays) {
    GlobalRecords records;
    ModelSettings& m = Modelsettings;
    EXPECT_NE(m.title_text, nullptr);
    EXPECT_NE(m.fe_small_table_a, nullptr);
    EXPECT_NE(m.fe_small_table_b, nullptr);
    for (float* w : {m.water_thickness, m.water_resistivity, m.water_layer_work}) {
        ASSERT_NE(w, nullptr);
        for (int k = 0; k < 4; ++k)
            EXPECT_EQ(w[k], 0.0f); // 3 layers x 1 column + 1, zeroed
    }
    EXPECT_EQ(m.ip_codes, nullptr);
    int arrays = 0;
    model::visit_settings_arrays(m, model::ModelCapacities{},
                                 [&arrays](auto*& p, std::size_t, const char* name) {
                                     EXPECT_EQ(p, nullptr) << name;
                                     ++arrays;
                                 });
    model::visit_potentials_arrays(
        Potentialtables, model::ModelCapacities{},
        [](auto*& p, std::size_t, const char* name) { EXPECT_EQ(p, nullptr) << name; });
    EXPECT_GT(arrays, 130);
}

// Capacities in elements at N = 161, D = 16000 (X = 687, C = 686 x 169) and at N = 295,
// D = 80000 (X = 1223, C = 1222 x 169).
TEST(Records, OwnedArraySizesAtTwoLimitSettings) {
    const struct {
        const char* name;
        std::size_t small, large;
        std::size_t element_bytes;
    } expected[] = {
        {"ModelSettings::node_z", 115934, 206518, 4},
        {"ModelSettings::resistivity_codes", 463740, 826076, 4},
        {"ModelSettings::cell_sigma_dbl_1", 115934, 206518, 8},
        {"ModelSettings::driver_cells_2x", 231868, 413036, 4},
        {"ModelSettings::electrode_table", 163, 297, 44},
        {"ModelSettings::display_grid_a", 3737281, 6653121, 4},
        {"ModelSettings::display_poly_b", 1868640, 3326560, 4},
        {"ModelSettings::display_cells", 116790, 207910, 4},
        {"ModelSettings::node_col_x", 688, 1224, 4},
        {"ModelSettings::depth_lines", 171, 171, 4},
        {"ModelSettings::plot_levels", 6441, 11801, 4},
        {"ModelSettings::plot_level_z", 42, 42, 4},
        {"ModelSettings::electrode_spacing_table", 25760, 47200, 4},
        {"ModelSettings::app_res_grid", 25760, 47200, 4},
        {"ModelSettings::electrode_water", 162, 296, 4},
        {"ModelSettings::electrode_node", 163, 297, 4},
        {"ModelSettings::elec_x", 648, 1184, 4},
        {"ModelSettings::app_resistivity", 16001, 80001, 4},
        {"ModelSettings::app_ip", 16000, 80000, 4},
        {"ModelSettings::datum_median_depth", 32000, 160000, 4},
        {"ModelSettings::gen_array_3", 192000, 960000, 4},
        {"ModelSettings::sip_inphase", 192000, 960000, 4},
        {"ModelSettings::potential_table_a", 25921, 87025, 8},
        {"ModelSettings::borehole_x", 961, 961, 4},
        {"ModelSettings::issbor", 31, 31, 4},
        {"ModelSettings::model_resistivities", 44, 44, 4},
        {"ModelSettings::mark_list_a", 132, 132, 4},
        {"ModelSettings::level_counts", 161, 161, 4},
        {"ModelSettings::frequencies", 13, 13, 4},
        {"ModelSettings::depth_factors", 60, 60, 4},
        {"ModelSettings::model_title", 256, 256, 1},
        {"Potentials::ip_vector_a", 323, 591, 8},
        {"Potentials::spectral_table_b", 311052, 1044300, 8},
        {"Potentials::cylinder_table", 25921, 87025, 8},
    };
    std::map<std::string, model::OwnedArraySize> small, large;
    for (const auto& a : model::owned_array_sizes(limits_for(161, 16000)))
        small[a.name] = a;
    for (const auto& a : model::owned_array_sizes(limits_for(295, 80000)))
        large[a.name] = a;
    for (const auto& e : expected) {
        ASSERT_EQ(small.count(e.name), 1u) << e.name;
        EXPECT_EQ(small[e.name].elements, e.small) << e.name;
        EXPECT_EQ(large[e.name].elements, e.large) << e.name;
        EXPECT_EQ(small[e.name].bytes, e.small * e.element_bytes) << e.name;
    }
    // Every array listed once, none empty; the whole set takes about 95 MiB at N = 161.
    std::size_t total = 0;
    for (const auto& a : model::owned_array_sizes(limits_for(161, 16000))) {
        EXPECT_GT(a.elements, 0u) << a.name;
        total += a.bytes;
    }
    EXPECT_EQ(small.size(), model::owned_array_sizes(limits_for(161, 16000)).size());
    EXPECT_GT(total, 85u << 20);
    EXPECT_LT(total, 105u << 20);
}

std::size_t total_bytes(const ProgLim& limits) {
    std::size_t total = 0;
    for (const auto& a : model::owned_array_sizes(limits))
        total += a.bytes;
    return total;
}

TEST(Records, AllocationTakesEveryArrayAndReleaseGivesItBack) {
    GlobalRecords records;
    const ProgLim limits = limits_for(161, 16000);
    const model::ModelCapacities c = model::model_capacities(limits);
    const long long before = sys::page_bytes_in_use();
    ASSERT_EQ(model::allocate_model_arrays(Modelsettings, Potentialtables, limits), 0);
    EXPECT_EQ(sys::page_bytes_in_use() - before, (long long)total_bytes(limits));

    ModelSettings& m = Modelsettings;
    model::visit_settings_arrays(
        m, c, [](auto*& p, std::size_t, const char* name) { EXPECT_NE(p, nullptr) << name; });
    EXPECT_EQ(m.ip_codes, m.resistivity_codes + c.C);
    EXPECT_EQ(m.cexp_codes, m.resistivity_codes + 2 * c.C);
    EXPECT_EQ(m.tau_codes, m.resistivity_codes + 3 * c.C);
    // A cell's IP code lives beside, not on, its resistivity code.
    m.resistivity_codes[0] = 3;
    m.ip_codes[0] = 7;
    m.tau_codes[c.C - 1] = 9;
    EXPECT_EQ(m.resistivity_codes[0], 3);
    EXPECT_EQ(m.cexp_codes[c.C - 1], 0);
    EXPECT_EQ(m.datum_gfactor[0], 1.0f);
    EXPECT_EQ(m.datum_gfactor[c.D - 1], 1.0f);
    EXPECT_EQ(m.datum_gfactor[c.D], 0.0f);
    EXPECT_EQ(m.node_z[c.C - 1], 0.0f); // zero-filled

    model::release_model_arrays(m, Potentialtables);
    EXPECT_EQ(sys::page_bytes_in_use(), before);
    EXPECT_EQ(m.node_z, nullptr);
    EXPECT_EQ(m.ip_codes, nullptr);
}

// At the widest limits the arrays are reserved, not touched: what a new set holds besides zeros
// is a small part of its capacity. A snapshot puts back exactly what the record held, the parts
// written since (on pages the snapshot had, and on pages it never saw) cleared again.
TEST(Records, ArraysStayUntouchedAndTheSnapshotPutsBackExactly) {
    GlobalRecords records;
    const ProgLim limits = limits_for(601, 80000);
    const model::ModelCapacities c = model::model_capacities(limits);
    ASSERT_EQ(model::allocate_model_arrays(Modelsettings, Potentialtables, limits), 0);
    ModelSettings& m = Modelsettings;
    std::size_t written = 0;
    model::visit_settings_arrays(m, c, [&written](auto*& p, std::size_t count, const char*) {
        for (const sys::ByteRange& r : sys::written_ranges(p, count * sizeof *p))
            written += r.bytes;
    });
    EXPECT_LT(written, total_bytes(limits) / 100) << written << " of " << total_bytes(limits);

    m.nelec = 24;
    m.node_x[1000] = 7.0f;
    m.cell_conductivity[3] = 2.0;
    const std::vector<float> node_x(m.node_x, m.node_x + c.C);
    {
        const model::ModelSnapshot kept(m, limits);
        m.nelec = 601;
        m.node_x[1000] = 8.0f;
        m.node_x[1001] = 9.0f;
        m.node_x[c.C - 1] = 10.0f;
        m.cell_conductivity[c.C / 2] = 3.0;
        kept.restore();
    }
    EXPECT_EQ(m.nelec, 24);
    EXPECT_TRUE(std::equal(node_x.begin(), node_x.end(), m.node_x));
    EXPECT_EQ(m.cell_conductivity[3], 2.0);
    EXPECT_EQ(m.cell_conductivity[c.C / 2], 0.0);
    model::release_model_arrays(m, Potentialtables);
}

TEST(Records, PageBudgetReachesTheMemoryMessage) {
    GlobalRecords records;
    const ProgLim limits = limits_for(161, 16000);
    const long long total = (long long)total_bytes(limits);
    const long long before = sys::page_bytes_in_use();
    for (long long room : {0LL, 1000LL, total / 2, total - 1}) {
        SCOPED_TRACE(room);
        Headless ui;
        sys::set_page_budget(before + room);
        EXPECT_EQ(model::allocate_model_arrays(Modelsettings, Potentialtables, limits), 1);
        sys::set_page_budget(-1);
        EXPECT_EQ(ui.output(),
                  "BEEP\nBOX [Error Message] Insufficient memory for the model arrays!.\n");
        EXPECT_EQ(sys::page_bytes_in_use(), before); // what was taken is given back
        model::visit_settings_arrays(
            Modelsettings, model::ModelCapacities{},
            [](auto*& p, std::size_t, const char* name) { EXPECT_EQ(p, nullptr) << name; });
        EXPECT_EQ(Potentialtables.ip_vector_a, nullptr);
    }
    Headless ui;
    sys::set_page_budget(before + total);
    EXPECT_EQ(model::allocate_model_arrays(Modelsettings, Potentialtables, limits), 0);
    sys::set_page_budget(-1);
    EXPECT_EQ(ui.output(), "");
}

TEST(Records, StartUpWithoutMemoryShowsTheMessageAndStillEnds) {
    model::exit_globals();
    Headless ui;
    sys::set_page_budget(sys::page_bytes_in_use());
    EXPECT_EQ(init_globals(), 1);
    sys::set_page_budget(-1);
    EXPECT_EQ(ui.output(),
              "BEEP\nBOX [Error Message] Insufficient memory to start the program!.\n");
    EXPECT_EQ(Modelsettings.title_text, nullptr);
    model::exit_globals();
    EXPECT_FALSE(model::globals_alive());
    model::exit_globals(); // a second exit does nothing
}

const char* const deleted_at_exit[] = {
    "grfinite_r.bin", "fourier_values.bin", "jacob_elec_positions.bin", "jacob.bin",
    "grfile.bin",     "grfile_elec.bin",    "hessmatrix.bin",           "hessmatrix_row.bin",
    "invmatrix.bin",  "grad2d_pp.bin",      "gradmatrix.bin",           "gradmatrix_complete.bin",
    "elecs_opt.bin",  "elecs_file.bin"};
const char* const kept_at_exit[] = {"dump_file.txt", "nodesfile.xxx", "nodesadj.bin",
                                    "model.mod",     "kwoptrace.txt", "other.bin"};

TEST(Records, ExitDeletesExactlyTheWorkFiles) {
    TempDir dir;
    ASSERT_EQ(init_globals(), 0);
    model::set_work_file_paths(Modelsettings, Modelresolution, dir.path);
    EXPECT_EQ(std::string(Modelsettings.nodes_file), dir.file("nodesfile.xxx"));
    EXPECT_EQ(std::string(Modelresolution.work_files[4]), dir.file("gradmatrix_complete.bin"));
    for (const char* name : deleted_at_exit)
        dir.touch(name);
    for (const char* name : kept_at_exit)
        dir.touch(name);
    model::exit_globals();
    for (const char* name : deleted_at_exit)
        EXPECT_FALSE(sys::file_exists(dir.file(name))) << name;
    for (const char* name : kept_at_exit)
        EXPECT_TRUE(sys::file_exists(dir.file(name))) << name;
}

// A work folder deep in the file system (a long program folder and the run's own folder in it)
// still gets every work-file path whole, never one cut to another name.
TEST(Records, WorkFilePathsFitADeepFolder) {
    ASSERT_EQ(init_globals(), 0);
    const std::string deep = "/" + std::string(420, 'd') + "/work.4194304.AbCdEf/";
    model::set_work_file_paths(Modelsettings, Modelresolution, deep, "/listings/");
    EXPECT_EQ(std::string(Modelsettings.nodes_file), deep + "nodesfile.xxx");
    EXPECT_EQ(std::string(Modelsettings.nodesadj_file), deep + "nodesadj.bin");
    EXPECT_EQ(std::string(Modelsettings.jacob_elec_positions_file),
              deep + "jacob_elec_positions.bin");
    EXPECT_EQ(std::string(Modelresolution.work_files[4]), deep + "gradmatrix_complete.bin");
    EXPECT_EQ(std::string(Modelsettings.dump_file), "/listings/dump_file.txt");
    model::exit_globals();
}

TEST(Records, ExitCreatesNoFileThatStays) {
    TempDir dir;
    ASSERT_EQ(init_globals(), 0);
    model::set_work_file_paths(Modelsettings, Modelresolution, dir.path);
    model::exit_globals();
    for (const char* name : deleted_at_exit)
        EXPECT_FALSE(sys::file_exists(dir.file(name))) << name;
    EXPECT_EQ(std::system(("test -z \"$(ls -A '" + dir.path + "')\"").c_str()), 0);
}

} // namespace
