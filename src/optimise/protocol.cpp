// Protocol and configuration files of an optimised array set.
#include "optimise/protocol.h"

#include "model/records.h"
#include "model/services.h"
#include "model/text_format.h"
#include "model/utilities.h"
#include "optimise/grid.h"
#include "platform/sys/sys.h"

#include <cstdio>
#include <vector>

namespace opt {

namespace {

// One protocol file: the header, then the arrays that pass `wanted`, renumbered by `number`.
template <class Wanted, class Number>
bool protocol_file(const std::string& path, const char* header, const std::int32_t* arrays,
                   int count, Wanted wanted, Number number) {
    std::string text = std::string("11\n") + header + "\n";
    for (int k = 0; k < count; ++k) {
        const std::int32_t* e = arrays + 4 * std::size_t(k);
        if (!wanted(k, e)) continue;
        char row[64];
        std::snprintf(row, sizeof row, "%2d %2d %2d %2d\n", number(e[0]), number(e[1]),
                      number(e[2]), number(e[3]));
        text += row;
    }
    if (sys::save_file(path, text)) return true;
    file_creation_error(path);
    return false;
}

bool any_above(const std::int32_t* e, int limit, int (*number)(int)) {
    for (int i = 0; i < 4; ++i)
        if (number(e[i]) > limit) return true;
    return false;
}
bool any_below(const std::int32_t* e, int limit, int (*number)(int)) {
    for (int i = 0; i < 4; ++i)
        if (number(e[i]) < limit) return true;
    return false;
}
int as_stored(int e) {
    return e;
}
int short_cable_number(int e) {
    return e - 10;
}

} // namespace

int long_cable_number(int e) {
    if (e < 12) return e;
    if (e > 51) return e - 20;
    if ((e - 11) % 2 != 0) return 0;
    return (e - 11) / 2 + 11;
}

std::string report_stem(const char* output_name) {
    std::string name = output_name;
    for (std::size_t i = name.size(); i-- > 0;) {
        if (name[i] == '/') break;
        if (name[i] == '.') return name.substr(0, i);
    }
    return name;
}

void file_creation_error(const std::string& path) {
    char text[1024];
    std::snprintf(text, sizeof text, "There has been an error in creating\nthe file %s.",
                  path.c_str());
    model::show_message(text, "Error Message");
}

int write_protocol_files(int cable_layout, const std::string& stem, const std::int32_t* arrays,
                         int count) {
    int failed = 0;
    const auto all = [](int, const std::int32_t*) { return true; };
    if (cable_layout == 1) {
        failed += !protocol_file(stem + "_41.org", "SHORT32", arrays, count, all, as_stored);
        failed += !protocol_file(
            stem + "_41.up", "SHORT32", arrays, count,
            [](int, const std::int32_t* e) { return any_above(e, 21, as_stored); }, as_stored);
        failed += !protocol_file(
            stem + "_41.dwn", "SHORT32", arrays, count,
            [](int, const std::int32_t* e) { return any_below(e, 21, as_stored); }, as_stored);
        return failed;
    }
    if (cable_layout != 2) return 0;
    // Short-cable arrays lie wholly on electrodes 11..51; all others need the long cable.
    std::vector<char> short_cable(std::size_t(count > 0 ? count : 0));
    for (int k = 0; k < count; ++k) {
        const std::int32_t* e = arrays + 4 * std::size_t(k);
        short_cable[std::size_t(k)] = !any_below(e, 11, as_stored) && !any_above(e, 51, as_stored);
    }
    const auto on_short = [&](int k, const std::int32_t*) { return short_cable[std::size_t(k)]; };
    const auto on_long = [&](int k, const std::int32_t*) { return !short_cable[std::size_t(k)]; };
    failed +=
        !protocol_file(stem + "_S.org", "SHORT32", arrays, count, on_short, short_cable_number);
    failed += !protocol_file(
        stem + "_S.up", "SHORT32", arrays, count,
        [&](int k, const std::int32_t* e) { return on_short(k, e) && any_above(e, 31, as_stored); },
        short_cable_number);
    failed += !protocol_file(
        stem + "_S.dwn", "SHORT32", arrays, count,
        [&](int k, const std::int32_t* e) { return on_short(k, e) && any_below(e, 31, as_stored); },
        short_cable_number);
    failed += !protocol_file(stem + "_L.org", "LONG32", arrays, count, on_long, long_cable_number);
    failed += !protocol_file(
        stem + "_L.up", "LONG32", arrays, count,
        [&](int k, const std::int32_t* e) {
            return on_long(k, e) && any_above(e, 31, long_cable_number);
        },
        long_cable_number);
    failed += !protocol_file(
        stem + "_L.dwn", "LONG32", arrays, count,
        [&](int k, const std::int32_t* e) {
            return on_long(k, e) && any_below(e, 11, long_cable_number);
        },
        long_cable_number);
    return failed;
}

bool write_optimised_config_file(ModelResolution& settings, const std::int32_t* arrays, int count) {
    const std::string stem = report_stem(settings.output_name);
    model::copy_text(settings.stem, sizeof settings.stem, stem.c_str());
    const double a = settings.opt_unit_spacing;
    const int n = line_electrodes(settings);
    // The spacing and the electrode positions are read back by the configuration reader: each
    // is written so that it reads back as the same number.
    std::string text;
    model::appendf(text, "Optimized arrays configurations\nNumber of configurations\n%d\n", count);
    model::append_values(text,
                         "Unit electrode spacing\n%.2f\nCoordinates of electrodes "
                         "(xc1,zc1,xc2,zc2,xp1,zp1,xp2,zp2)\n",
                         {a});
    for (int k = 0; k < count; ++k) {
        const std::int32_t* e = arrays + 4 * std::size_t(k);
        const auto x = [&](int i) {
            return double(electrode_position(settings.cable_layout, e[i])) * a;
        };
        model::appendf(text, "Configuration %d\n", k + 1);
        model::append_values(text, "%.2f,0\n%.2f,0\n%.2f,0\n%.2f,0\n", {x(0), x(1), x(2), x(3)});
    }
    const double line_end = electrode_position(settings.cable_layout, n) + 1.0;
    const double depth = double(float(n - 1) * settings.opt_depth_ratio);
    text += "Starting and ending x-location to calculate sensitivity values, spacing\n";
    model::appendf(text, "%.2f,%.2f,%.2f\n", -a, line_end * a, 0.5 * a);
    text += "Starting and ending z-location to calculate sensitivity values, spacing\n";
    model::appendf(text, "%.2f,%.2f,%.2f\n", 0.1 * a, depth * a, 0.25 * a);
    text += "Material resistivity (ohm.m)\n10.0\nMaximum current (Amp)\n1.0\nMinimum potential "
            "(mV)\n0.1\n";
    const std::string path = stem + "_mod.txt";
    if (sys::save_file(path, text)) return true;
    file_creation_error(path);
    return false;
}

} // namespace opt
