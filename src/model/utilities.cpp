// Text-buffer readers, index sorts, permutations, rounding, level counts, cell conductivities
// from block codes and the logarithmic misfit.
#include "model/utilities.h"

#include "model/model_settings.h"
#include "model/services.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {
bool skipped_before_line(unsigned char b) {
    return b <= 32 || b == 255;
}
bool starts_number(char b) {
    return b == '-' || b == '+' || b == '.' || (b >= '0' && b <= '9');
}
bool continues_number(char b) {
    return starts_number(b) || b == 'e' || b == 'E' || b == 'd' || b == 'D';
}

// True when token[0..size) is one number: sign, digits with at most one point (at least one
// digit), and an exponent of a sign and digits after e, E, d or D.
bool whole_number_text(const char* token, std::size_t size) {
    std::size_t i = 0;
    if (i < size && (token[i] == '+' || token[i] == '-')) ++i;
    std::size_t digits = 0, points = 0;
    for (; i < size && (token[i] == '.' || (token[i] >= '0' && token[i] <= '9')); ++i)
        token[i] == '.' ? ++points : ++digits;
    if (digits == 0 || points > 1) return false;
    if (i == size) return true;
    if (token[i] != 'e' && token[i] != 'E' && token[i] != 'd' && token[i] != 'D') return false;
    ++i;
    if (i < size && (token[i] == '+' || token[i] == '-')) ++i;
    if (i == size) return false;
    for (; i < size; ++i)
        if (token[i] < '0' || token[i] > '9') return false;
    return true;
}

// strtod of token[0..size), the Fortran exponent letters d and D read as e. Tokens of up to 80
// bytes are copied into a local buffer, longer ones into a string of their own.
double convert_number_text(const char* token, std::size_t size) {
    char local[81];
    std::string long_text;
    char* text = local;
    if (size >= sizeof local) {
        long_text.resize(size);
        text = long_text.data();
    }
    for (std::size_t i = 0; i < size; ++i)
        text[i] = token[i] == 'd' || token[i] == 'D' ? 'e' : token[i];
    text[size] = '\0';
    return std::strtod(text, nullptr);
}
} // namespace

NumberToken read_buffer_number(const char* buffer, std::int32_t& cursor, std::int32_t length) {
    while (cursor < length && !starts_number(buffer[cursor]))
        ++cursor;
    NumberToken token;
    token.start = cursor;
    while (cursor < length && continues_number(buffer[cursor]))
        ++cursor;
    token.size = cursor - token.start;
    if (token.size == 0) return token;
    // The whole token is one number however long it is: a number written with thousands of
    // leading zeros or digits reads as that number, not as several.
    const std::size_t size = std::size_t(token.size);
    token.whole = whole_number_text(buffer + token.start, size);
    token.value = convert_number_text(buffer + token.start, size);
    return token;
}

namespace {
// A pass of the Shell sort with gap `gap` inserts each element of every chain p, p + gap, ...
// before all the chain's earlier elements that are greater or equal: the chain comes out
// ascending with equal values in the reverse of their order before the pass, which a stable sort
// of the reversed chain gives in n log n rather than in the insertion's time, quadratic in the
// run of equal values (tens of thousands of data at a few depths). Values that do not compare
// (NaN) and short chains take the insertions themselves.
template <class T> void shell_sort_index(int ascending, T* values, std::int32_t* index, int n) {
    if (!ascending)
        for (int p = 0; p < n; ++p)
            values[p] = -values[p];
    for (int p = 1; p <= n; ++p)
        index[p - 1] = p;
    const bool ordered = std::none_of(values, values + n, [](T v) { return v != v; });
    std::vector<std::pair<T, std::int32_t>> chain;
    for (int gap = n / 2; gap != 0; gap /= 2) {
        // Short chains are inserted as they are (at most their length in exchanges each).
        if (!ordered || n / gap <= 32) {
            for (int i = 1; i <= n - gap; ++i)
                for (int j = i; j >= 1 && values[j - 1] >= values[j + gap - 1]; j -= gap) {
                    std::swap(values[j - 1], values[j + gap - 1]);
                    std::swap(index[j - 1], index[j + gap - 1]);
                }
            continue;
        }
        for (int first = 0; first < gap; ++first) {
            chain.clear();
            for (int p = first + (n - 1 - first) / gap * gap; p >= 0; p -= gap)
                chain.emplace_back(values[p], index[p]);
            std::stable_sort(chain.begin(), chain.end(),
                             [](const auto& a, const auto& b) { return a.first < b.first; });
            int p = first;
            for (const auto& [value, original] : chain) {
                values[p] = value;
                index[p] = original;
                p += gap;
            }
        }
    }
    if (!ascending)
        for (int p = 0; p < n; ++p)
            values[p] = -values[p];
}

template <class T> void gather_by_index(T* a, T* work, const std::int32_t* index, int n) {
    for (int p = 0; p < n; ++p)
        work[p] = a[p];
    for (int p = 0; p < n; ++p)
        a[p] = work[index[p] - 1];
}

template <class T> void scatter_by_position(T* work, T* v, const std::int32_t* perm, int n) {
    for (int p = 0; p < n; ++p)
        work[p] = v[p];
    for (int p = 0; p < n; ++p)
        v[perm[p] - 1] = work[p];
}
} // namespace

int read_buffer_line(const char* buffer, char* destination, std::int32_t& cursor,
                     std::int32_t length, std::int32_t destination_size) {
    while (cursor < length && skipped_before_line(static_cast<unsigned char>(buffer[cursor])))
        ++cursor;
    int stored = 0;
    while (cursor < length && buffer[cursor] != '\r' && buffer[cursor] != '\n') {
        if (stored < destination_size - 1) destination[stored++] = buffer[cursor];
        ++cursor;
    }
    if (destination_size > 0) destination[stored] = '\0';
    return stored;
}

double read_buffer_real(const char* buffer, std::int32_t& cursor, std::int32_t length) {
    return read_buffer_number(buffer, cursor, length).value;
}

std::int32_t read_buffer_int(const char* buffer, std::int32_t& cursor, std::int32_t length) {
    const NumberToken token = read_buffer_number(buffer, cursor, length);
    if (token.size == 0) return 0;
    // A token that is no number gives its leading integer (sign and decimal digits), held to
    // 32 bits as strtol saturates.
    double value = token.value;
    if (!token.whole)
        value = double(std::strtol(
            std::string(buffer + token.start, std::size_t(token.size)).c_str(), nullptr, 10));
    if (!(value < 2147483647.0)) return INT32_MAX;
    if (!(value > -2147483648.0)) return INT32_MIN;
    return static_cast<std::int32_t>(value);
}

void shell_sort_real_index(int ascending, float* values, std::int32_t* index, int n) {
    shell_sort_index(ascending, values, index, n);
}

void shell_sort_int_index(int ascending, std::int32_t* values, std::int32_t* index, int n) {
    shell_sort_index(ascending, values, index, n);
}

void permute_vector(double* work, double* v, const std::int32_t* perm, int n) {
    scatter_by_position(work, v, perm, n);
}

void permute_vector(float* work, float* v, const std::int32_t* perm, int n) {
    scatter_by_position(work, v, perm, n);
}

void gather_int_by_index(std::int32_t* a, std::int32_t* work, const std::int32_t* index, int n) {
    gather_by_index(a, work, index, n);
}

void gather_real_by_index(float* a, float* work, const std::int32_t* index, int n) {
    gather_by_index(a, work, index, n);
}

std::int32_t round_to_int(float x) {
    // Clamped first: a float beyond the int range (a 1e12 m hill in pixels) has no conversion.
    if (!(x >= -float(int_clamp))) return x < 0.0f ? -int_clamp : 0; // NaN gives 0
    if (x > float(int_clamp)) return int_clamp;
    if (x > 0.0f) {
        std::int32_t k = static_cast<std::int32_t>(x);
        return x - static_cast<float>(k) >= 0.5f ? k + 1 : k;
    }
    if (x < 0.0f) {
        std::int32_t k = static_cast<std::int32_t>(x);
        return static_cast<float>(k) - x >= 0.5f ? k - 1 : k;
    }
    return 0;
}

std::int32_t truncate_to_int(float x) {
    if (!(x >= -float(int_clamp))) return x < 0.0f ? -int_clamp : 0;
    if (x > float(int_clamp)) return int_clamp;
    return static_cast<std::int32_t>(x);
}

double round_to_thousandths(float x) {
    return round_to_int(1000.0f * x) * 0.001;
}

void reverse_real_array(int n, float* a) {
    for (int p = 0; p < n / 2; ++p)
        std::swap(a[p], a[n - 1 - p]);
}

std::int32_t level_datum_count(int array_code, int m, int k) {
    if (array_code <= 3) return m - 3 * (k - 1);
    if (array_code == 7) return m - 2 * (k - 1);
    return m - k + 1;
}

void set_code2res(const ModelSettings& settings, int nip, const float* chargeabilities,
                  const std::int32_t* ip_codes, float* ip_conductivity, int l, int n, int col_start,
                  int col_end, const std::int32_t* codes, float* conductivity,
                  const float* resistivities) {
    model::trace("set code2res l %d %d %d n %d\n", l, col_start, col_end, n);
    const int columns = l - 1;
    for (int j = 1; j <= n - 1; ++j) {
        for (int i = 1; i <= columns; ++i) {
            // The edge columns of the model are extended outward to the grid border.
            const int source = i < col_start ? col_start : (i > col_end ? col_end : i);
            const std::int32_t cell = index2d(i, j, columns);
            const std::int32_t from = index2d(source, j, columns);
            conductivity[cell] = 1.0f / resistivities[codes[from]];
            if (nip > 0)
                ip_conductivity[cell] =
                    (1.0f - chargeabilities[ip_codes[from]]) * conductivity[cell];
        }
    }
    if (settings.tank_model != 1) return;
    for (int j = 1; j <= n - 1; ++j) {
        for (int i = 1; i <= columns; ++i) {
            if (i > settings.tank_left_column && i < settings.tank_right_column &&
                j < settings.tank_bottom_row)
                continue;
            const std::int32_t cell = index2d(i, j, columns);
            conductivity[cell] = 1.0f / settings.tank_wall_resistivity;
            if (nip > 0) ip_conductivity[cell] = conductivity[cell];
        }
    }
}

int rms_log_misfit(int mode, int n, float* shown, const float* measured, const float* calculated,
                   float* rms, float* log_ratio) {
    if (mode == 0) {
        for (int p = 0; p < n; ++p)
            shown[p] = measured[p];
    } else if (mode == 2) {
        bool all_zero = true;
        for (int p = 0; p < n; ++p) {
            shown[p] = static_cast<float>(100.0 * std::log(measured[p] / calculated[p]));
            if (shown[p] != 0.0f) all_zero = false;
        }
        if (all_zero && n > 0) {
            model::show_message(
                "There is absolutely no difference between the measured and\ncalculated "
                "apparent resistivity values. So, the program\nwill display the calculated "
                "apparent resistivity values.",
                "Message");
            for (int p = 0; p < n; ++p)
                shown[p] = calculated[p];
        }
    } else {
        for (int p = 0; p < n; ++p)
            shown[p] = calculated[p];
    }
    double sum = 0.0;
    for (int p = 0; p < n; ++p) {
        const double d = std::log(measured[p] / calculated[p]);
        log_ratio[p] = static_cast<float>(d);
        sum += d * d;
    }
    *rms = n > 0 ? static_cast<float>(std::sqrt(sum / n)) : 0.0f;
    return mode;
}

namespace model {
void model_edited(ModelSettings& s) {
    s.model_unsaved = 1;
    const bool results = s.pot_values_present == 1 || s.data_ready == 1 ||
                         s.sens_potentials_ready == 1 || s.sens_values_ready == 1;
    // The sensitivity work files hold the node potentials of the model before the change, and
    // the block sensitivities were made from them.
    s.sens_potentials_ready = 0;
    s.sens_values_ready = 0;
    if (!results) return;
    s.results_stale = 1;
    s.pot_values_present = 0;
    s.data_ready = 0;
    for (int d = 0; d < s.ndata; ++d) {
        if (s.app_resistivity) s.app_resistivity[d] = 0.0f;
        if (s.app_ip) s.app_ip[d] = 0.0f;
    }
}

void copy_text(char* destination, std::size_t capacity, const char* source) {
    if (capacity == 0) return;
    if (!source) source = "";
    std::size_t k = 0;
    for (; k + 1 < capacity && source[k]; ++k)
        destination[k] = source[k];
    destination[k] = '\0';
}

void proposed_file_name(char* destination, std::size_t capacity, const char* model_path,
                        const char* extension) {
    std::string name = model_path ? model_path : "";
    name.erase(0, name.rfind('/') + 1); // npos + 1 is 0: no folder
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    if (name.empty()) name = "*";
    copy_text(destination, capacity, (name + extension).c_str());
}
} // namespace model
