// Model-file section of the IP values: chargeabilities with their block codes, and for a
// spectral-IP model the Cole-Cole time constants and exponents with theirs and the frequencies.
#include "model/reader/readmodel.h"
#include "model/reader/readmodel_sections.h"
#include "model/services.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace model {

namespace {

bool is_ip_letter(char c) {
    return c == 'I' || c == 'i' || c == 'S' || c == 's';
}

bool is_spectral_letter(char c) {
    return c == 'S' || c == 's';
}

// Reads one table of block codes with `nvalues` values (the grid of the resistivity codes, or
// the rings of a cylinder); rows added below the depth grid repeat the last row read.
void read_code_table(ModelReader& r, std::int32_t* codes, int nvalues) {
    ModelSettings& m = r.model;
    int failed;
    if (m.cylinder_model) {
        failed = read_cylinder_block_codes(m.ne, m.le, codes, nvalues, r.length, r.text, r.cursor);
    } else {
        failed =
            read_block_code_rows(m.ngrid_rows, m.ndepth_values, m.model_col_start, m.blocks_per_row,
                                 m.nx_cells, codes, nvalues, r.length, r.text, r.cursor);
        if (!failed) copy_code_rows_down(codes, m.nx_cells, m.ngrid_rows + 1, m.ngrid_lines);
    }
    if (failed) r.stop(failed);
}

// The value lists hold max_resistivity_values + 1 entries; the IP list keeps one of them for
// the water.
int value_room(const ModelReader& r) {
    return int(std::min<std::size_t>(std::size_t(r.limits.max_resistivity_values), r.capacity.R));
}

// The count and the values of one list of `noun` values ("IP", "Tau", "C") after its header
// line: the count shown and refused below 1 or beyond the room of the list, each value shown with
// `format` (in lines of 75 characters) and passed to check(index, value) before the next is read.
template <class Check>
void read_value_list(ModelReader& r, const char* noun, std::int32_t& count, float* values,
                     const char* format, Check check) {
    count = r.read_int();
    r.printf("Number of %s values is %d", noun, count);
    if (count < 1)
        r.fail_quiet(1, "Error Message",
                     "Number of %s values is %d.\nYou must have at least 1 %s value.", noun, count,
                     noun);
    if (count > value_room(r))
        r.fail_quiet(1, "Error Message",
                     "Number of %s values is %d.\nMaximum number of %s values is %d.", noun, count,
                     noun, value_room(r));
    ValuesLine line(r, 75);
    for (int i = 0; i < count; ++i) {
        values[i] = r.read_real();
        line.add(format, values[i]);
        check(i, values[i]);
    }
    line.flush();
}

void refuse_chargeability(ModelReader& r, float value) {
    if (value > 1.0f)
        r.fail_quiet(1, "Error Message",
                     "You cannot have a chargeability value of greater than 1.0.\nPlease "
                     "check you input model file format.");
    // Negative chargeabilities are taken (negative IP effects), but not beyond -1: -1e30 gave
    // apparent chargeabilities of -1e33 mV/V.
    if (value < -1.0f)
        r.fail_quiet(1, "Error Message",
                     "You cannot have a chargeability value of less than -1.0.\nPlease "
                     "check you input model file format.");
    // A chargeability of exactly 1 leaves no conductivity for the IP pass, whose matrix
    // then cannot be factorised.
    if (value == 1.0f)
        r.fail_quiet(1, "Error Message",
                     "A chargeability value of 1.0 leaves the IP model without any\n"
                     "conductivity. The chargeability values must be below 1.0.\nPlease "
                     "check you input model file format.");
}

void read_chargeabilities(ModelReader& r) {
    ModelSettings& m = r.model;
    r.read_line();
    read_value_list(r, "IP", m.nip, m.model_chargeabilities, " %6.2f",
                    [&r](int, float value) { refuse_chargeability(r, value); });
    // The water blocks take the code after the model's values.
    if (m.water_present == 1) m.model_chargeabilities[m.nip++] = 0.0f;
}

void read_taus(ModelReader& r) {
    ModelSettings& m = r.model;
    const std::string header = r.read_line();
    trace("Tau Header\n%s\n", header.c_str());
    // A negative time constant has no relaxation: the Cole-Cole term turns the wrong way and
    // the complex solver failed on the model after it had been read as valid.
    read_value_list(r, "Tau", m.ntau, m.model_taus, " %6.2f", [&r](int i, float value) {
        if (value < 0.0f)
            r.fail_quiet(1, "Error Message",
                         "Error in Tau value.\nThe Tau value for model number %d is "
                         "%g.\nThe time constants cannot be negative.\n",
                         i + 1, value);
    });
    if (!m.cylinder_model) r.print("Reading model tau values");
    read_code_table(r, m.tau_codes, m.ntau);
}

void read_exponents(ModelReader& r) {
    ModelSettings& m = r.model;
    r.read_line();
    read_value_list(r, "C", m.ncip, m.model_cexps, " %6.3f", [&r](int i, float value) {
        if (!(value > 0.0f && value < 1.0f))
            r.fail_quiet(1, "Error Message",
                         "Error in C value.\nThe C value for model number %d is "
                         "%.2f.\nThis parameters can only have\na value of "
                         "between 0 and 1.\n",
                         i + 1, value);
    });
    read_code_table(r, m.cexp_codes, m.ncip);
}

void read_frequencies(ModelReader& r) {
    ModelSettings& m = r.model;
    r.read_line();
    m.nfreq = r.read_int();
    if (m.nfreq < 2)
        r.fail_quiet(1, "Error Message",
                     "Number of frequency values is %d.\nYou must have at least 2 frequency "
                     "values.",
                     m.nfreq);
    if (m.nfreq > r.limits.max_frequencies || std::size_t(m.nfreq) > r.capacity.F)
        r.fail_quiet(1, "Error Message",
                     "Number of frequency values is %d.\nMaximum number of frequency values is "
                     "%d.",
                     m.nfreq, r.limits.max_frequencies);
    r.printf("Number of frequency values is %d.", m.nfreq);
    r.read_line();
    std::string summary = "Frequency values :- ";
    for (int i = 0; i < m.nfreq; ++i) {
        const float value = r.read_real();
        m.frequencies[i] = value;
        char item[64];
        std::snprintf(item, sizeof item, value >= 1.0f ? "%.1f " : "%.3f ", value);
        summary += item;
        // A frequency of 0 or less has no Cole-Cole response (-1 Hz was taken as direct
        // current).
        if (!(value > 0.0f)) {
            r.print(summary);
            r.fail_quiet(1, "Error Message",
                         "Error in frequency value.\nThe frequency value number %d is %.3f.\n"
                         "The frequency values must be greater than 0.\nPlease check you input "
                         "model file format.",
                         i + 1, value);
        }
    }
    r.print(summary);
}

} // namespace

void read_ip_section(ModelReader& r) {
    ModelSettings& m = r.model;
    m.ntau = 0;
    m.nfreq = 0;
    const std::string header = r.peek_line();
    const char first = header.empty() ? '\0' : header[0];
    const char second = header.size() > 1 ? header[1] : '\0';
    if (!is_ip_letter(first) && !is_ip_letter(second)) {
        m.ntau = m.ncip = m.nip = 0;
        return;
    }
    const bool spectral = is_spectral_letter(first) || is_spectral_letter(second);
    if (spectral) r.print("Spectral IP model");
    // The header says the values follow: a file that ends before them is cut short.
    const ExpectedValues expected(r);
    // One beep for every IP model, before any value is read; the messages that follow have
    // none of their own.
    ::beep();
    read_chargeabilities(r);
    read_code_table(r, m.ip_codes, m.nip);
    if (!spectral) return;
    read_taus(r);
    read_exponents(r);
    read_frequencies(r);
}

} // namespace model
