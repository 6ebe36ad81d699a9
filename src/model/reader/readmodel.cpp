// The frame of the model-file reader: loading the file, the reader's cursor, summary lines and
// refusals, the model header (name and kind, tank walls), and the sections in file order.
#include "model/reader/readmodel.h"

#include "model/reader/readmodel_sections.h"
#include "model/services.h"
#include "model/utilities.h"
#include "platform/gfx/canvas.h"
#include "platform/sys/sys.h"
#include "platform/ui/ui.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace model {

// ---- ModelReader ----------------------------------------------------------------------------

ModelReader::ModelReader(const ProgLim& limits_, ModelSettings& model_, gfx::Canvas* dc,
                         const char* text_, std::int32_t length_)
    : limits(limits_), model(model_), capacity(model_capacities(limits_)), text(text_),
      length(length_), dc_(dc) {}

namespace {
bool starts_number(char c) {
    return c == '-' || c == '+' || c == '.' || (c >= '0' && c <= '9');
}
bool separator(char c) {
    const unsigned char u = static_cast<unsigned char>(c);
    return u <= 32 || u == 255 || c == ',' || c == ';';
}
} // namespace

// Without this the number readers pass over words to the next number anywhere in the file,
// or give 0 at its end, and a later check then complains of a value the file never held.
void ModelReader::require_number() {
    std::int32_t at = cursor;
    while (at < length && separator(text[at]))
        ++at;
    if (at >= length) expect_number();
    if (starts_number(text[at])) return;
    std::int32_t end = at;
    while (end < length && end - at < 40 && !separator(text[end]))
        ++end;
    const std::string word(text + at, std::size_t(end - at));
    fail(1, "Error Message",
         "Error in model data file!\nLine %d holds \"%s\" where a number belongs.\nPlease check "
         "your file format.",
         line_number(at), word.c_str());
}

// The end of the text before the next number: the file is refused, naming its last line.
void ModelReader::expect_number() {
    std::int32_t at = cursor;
    while (at < length && !starts_number(text[at]))
        ++at;
    if (at < length) return;
    std::int32_t last = length;
    while (last > 0 && separator(text[last - 1]))
        --last;
    fail(1, "Error Message",
         "Error in model data file!\nThe file ends after line %d, before all the model "
         "values were read.\nPlease check your file format.",
         line_number(last > 0 ? last - 1 : 0));
}

// The next number token, read whole: a token that is no number ("1e", "1.2.3") is refused with
// its line rather than read as its leading digits.
NumberToken ModelReader::read_token() {
    if (numbers_required) require_number();
    if (values_expected) expect_number();
    const NumberToken token = read_buffer_number(text, cursor, length);
    last_number_at = token.start;
    if (token.size > 0 && !token.whole) {
        const std::string word(text + token.start, std::size_t(std::min(token.size, 40)));
        fail(1, "Error Message",
             "Error in model data file!\nLine %d holds \"%s\" where a number belongs.\nPlease "
             "check your file format.",
             line_number(token.start), word.c_str());
    }
    return token;
}

std::int32_t ModelReader::read_int() {
    const NumberToken token = read_token();
    const double value = token.value;
    // A count or a code is a whole number: 25.7 electrodes are not 25, while 2.5e1 and 25.0
    // are 25.
    if (std::isfinite(value) && value != std::trunc(value)) {
        const std::string word(text + token.start, std::size_t(std::min(token.size, 40)));
        fail(1, "Error Message",
             "Error in model data file!\nLine %d holds %s where a whole number belongs.\nPlease "
             "check your file format.",
             line_number(token.start), word.c_str());
    }
    // Beyond 32 bits a count is held at the limit, which its own check then refuses.
    if (!(value < 2147483647.0)) return INT32_MAX;
    if (!(value > -2147483648.0)) return INT32_MIN;
    return static_cast<std::int32_t>(value);
}

double ModelReader::read_double() {
    const double value = read_token().value;
    refuse_unless_finite(value);
    return value;
}

float ModelReader::read_real() {
    const float value = static_cast<float>(read_token().value);
    refuse_unless_finite(value);
    return value;
}

void ModelReader::refuse_unless_finite(double value) {
    // Every later step divides, compares and sums these values; an overflowed number would
    // turn the mesh into infinities without a word.
    if (!std::isfinite(value))
        fail(1, "Error Message",
             "Error in model data file!\nThe number in line %d is too large.\n"
             "Please check your file format.",
             line_number());
}

std::string ModelReader::read_line(int width) {
    std::vector<char> line(std::size_t(width > 1 ? width : 2));
    const int stored =
        read_buffer_line(text, line.data(), cursor, length, static_cast<std::int32_t>(line.size()));
    return std::string(line.data(), std::size_t(stored));
}

std::string ModelReader::peek_line(int width) {
    const std::int32_t saved = cursor;
    std::string line = read_line(width);
    cursor = saved;
    return line;
}

void ModelReader::print(const std::string& line, int x) {
    if (dc_) dc_->text_out(x, print_y_, line);
    print_y_ += 16;
}

void ModelReader::printf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(model.message_text, sizeof model.message_text, format, args);
    va_end(args);
    print(model.message_text);
}

void ModelReader::printf_at(int x, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(model.message_text, sizeof model.message_text, format, args);
    va_end(args);
    print(model.message_text, x);
}

void ModelReader::fail(int error, const char* caption, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(model.message_text, sizeof model.message_text, format, args);
    va_end(args);
    show_message(model.message_text, caption);
    throw ReadStop{error};
}

void ModelReader::fail_quiet(int error, const char* caption, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(model.message_text, sizeof model.message_text, format, args);
    va_end(args);
    ask_message(model.message_text, caption, ui::mb_ok | ui::mb_iconexclamation);
    throw ReadStop{error};
}

void ModelReader::warn(const char* caption, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(model.message_text, sizeof model.message_text, format, args);
    va_end(args);
    show_message(model.message_text, caption);
}

int ModelReader::line_number() const {
    return line_number(cursor);
}

int ModelReader::line_number(std::int32_t offset) const {
    int line = 1;
    for (std::int32_t i = 0; i < offset && i < length; ++i)
        if (text[i] == '\n') ++line;
    return line;
}

void ValuesLine::add(const char* format, double value) {
    char item[96];
    std::snprintf(item, sizeof item, format, value);
    text_ += item;
    if (int(text_.size()) >= width_) flush();
}

void ValuesLine::flush() {
    reader_.print(text_);
    text_.clear();
}

// ---- Model header -----------------------------------------------------------------------------

namespace {

bool is_letter(char c, char upper) {
    return c == upper || c == upper + ('a' - 'A');
}

// Tank walls and floor as written in the file (metres); the survey section divides them by the
// unit spacing.
void read_tank_boundaries(ModelReader& r) {
    ModelSettings& m = r.model;
    r.read_line();
    r.read_line();
    m.tank_x_left = r.read_real();
    m.tank_x_right = r.read_real();
    r.printf("X boundaries are at %.2f and %.2f", m.tank_x_left, m.tank_x_right);
    r.read_line();
    m.tank_y_min = r.read_real();
    m.tank_y_max = r.read_real();
    r.printf("Y boundaries are at %.2f and %.2f", m.tank_y_min, m.tank_y_max);
    r.read_line();
    m.tank_bottom_z = r.read_real();
    r.printf("Z boundary is at %.2f", m.tank_bottom_z);
    // A floor at or above the surface leaves no tank: every cell would lie outside it.
    if (!(m.tank_bottom_z > 0.0f))
        r.fail(1, "Error Message",
               "Error in the tank boundaries!\nThe Z boundary is at %.2f.\n"
               "The depth of the tank floor must be greater than 0!",
               m.tank_bottom_z);
}

} // namespace

void read_model_header(ModelReader& r, char* name_buffer) {
    ModelSettings& m = r.model;
    char name[256];
    read_buffer_line(r.text, name, r.cursor, r.length, sizeof name);
    copy_text(name_buffer, 256, name);
    char work[2048];
    std::snprintf(work, sizeof work, "Model name  -  %s.", name);
    r.print(work);

    const std::int32_t saved = r.cursor;
    const std::string kind = r.read_line();
    const char first = kind.empty() ? '\0' : kind[0];
    const char second = kind.size() > 1 ? kind[1] : '\0';
    if (is_letter(first, 'C')) {
        m.cylinder_model = 1;
        m.convex_section = is_letter(second, 'O') ? 1 : 0;
        r.print(m.convex_section ? "Convex section model" : "Cylinder model");
    } else if (is_letter(first, 'T')) {
        m.tank_model = 1;
        m.extend_depth = 1;
        r.print("Tank model");
        read_tank_boundaries(r);
    } else {
        r.cursor = saved;
    }
}

// ---- readmodel_2D -------------------------------------------------------------------------------

// Fields every read starts from, whatever the previous model left.
void clear_read_fields(ModelSettings& m) {
    m.ndata = 0;
    m.zwatermax = 0.0f;
    m.nwater = 0;
    m.cylinder_radius = 0.0f;
    m.cylinder_model = 0;
    m.convex_section = 0;
    m.tank_model = 0;
    m.electrode_type = 0;
    m.tflag = 0;
    m.borehole_type = 0;
    m.nboreholes = 0;
    m.nborehole_nodes = 0;
    m.nip = 0;
    m.ntau = 0;
    m.ncip = 0;
    m.nfreq = 0;
    m.first_electrode_x = 0.0f;
    m.jacob_cal_flag = 0;
    m.res_option_3 = 0;
    // The sensitivity work files belong to the previous model's mesh.
    m.sens_potentials_ready = 0;
    m.sens_values_ready = 0;
}

namespace {

// The whole file in page memory (size + 4 bytes, the four zero), or an empty block and a
// message. Returns the number of bytes read, or -1 after the message.
struct FileText {
    char* bytes = nullptr;
    ~FileText() { sys::page_free(bytes); }
};

std::int32_t load_file(const char* path, FileText& file) {
    char text[2048];
    std::error_code ec;
    const bool regular = path && std::filesystem::is_regular_file(path, ec);
    std::FILE* f = regular ? std::fopen(path, "rb") : nullptr;
    long long size = -1;
    if (f && std::fseek(f, 0, SEEK_END) == 0) size = std::ftell(f);
    if (size < 0 || (f && std::fseek(f, 0, SEEK_SET) != 0)) {
        if (f) std::fclose(f);
        std::snprintf(text, sizeof text, "Model data file error!\nThe file %s\ncannot be opened.",
                      path ? path : "");
        show_message(text, "Error Message");
        return -1;
    }
    if (size == 0) {
        std::fclose(f);
        show_message("Model data file error!\nThis file appears to be empty.", "Error Message");
        return -1;
    }
    // The cursor is a signed 32-bit offset: larger files cannot be parsed, and no model file
    // comes near that size.
    if (size > INT32_MAX - 4)
        file.bytes = nullptr;
    else
        file.bytes = static_cast<char*>(sys::page_alloc(std::size_t(size) + 4));
    if (!file.bytes) {
        std::fclose(f);
        show_message("Problem in allocating memory for this file!\nPress any key to continue.",
                     "Error Message");
        return -1;
    }
    const std::size_t got = std::fread(file.bytes, 1, std::size_t(size), f);
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed && got == 0) {
        std::snprintf(text, sizeof text, "Model data file error!\nThe file %s\ncannot be opened.",
                      path);
        show_message(text, "Error Message");
        return -1;
    }
    return static_cast<std::int32_t>(got);
}

} // namespace

} // namespace model

namespace model {

int read_model_text(const ProgLim& limits, ModelSettings& model, char* name_buffer,
                    const char* text, std::int32_t length, gfx::Canvas* dc, int& error_number) {
    ModelReader r(limits, model, dc, text, length);
    try {
        r.numbers_required = true;
        read_model_header(r, name_buffer);
        read_survey_section(r);
        read_grid_section(r);
        read_borehole_section(r);
        read_block_rows_section(r);
        r.numbers_required = false;
        read_model_after_blocks(r);
        finish_model_read(r);
    } catch (const ReadStop& stop) {
        // A refusal in any section, the data sections after the level limit too, fails the
        // read as a whole: its caller must not go on to calculate a model the user was told
        // is wrong.
        error_number = stop.error;
        r.result = 1;
    }
    if (error_number == 1) model.ndata = 0;
    return r.result;
}

int read_model_file(const ProgLim& limits, ModelSettings& model, char* name_buffer,
                    const char* path, gfx::Canvas* dc, int& error_number) {
    error_number = 0;
    clear_read_fields(model);
    FileText file;
    const std::int32_t length = load_file(path, file);
    if (length < 0) return 1;
    return read_model_text(limits, model, name_buffer, file.bytes, length, dc, error_number);
}

} // namespace model

int readmodel_2D(const ProgLim& limits, ModelSettings& model, char* name_buffer, const char* path,
                 gfx::Canvas* dc) {
    int error_number = 0;
    return model::read_model_file(limits, model, name_buffer, path, dc, error_number);
}
