// The reading of the dialogs' number fields.
#include "model/dialog_fields.h"

#include "model/services.h"

#include <algorithm>
#include <cctype>
#include <cfloat>
#include <climits>
#include <cstdio>

namespace model {

std::string range_number(double v) {
    char text[64];
    const double a = std::fabs(v);
    if (a != 0.0 && a < 1e-4 && a >= 1e-12) {
        // Small bounds ("0.000001") read better in full than as powers of ten.
        const int decimals = int(std::ceil(-std::log10(a))) + 6;
        std::snprintf(text, sizeof text, "%.*f", decimals, v);
        std::string s = text;
        s.erase(s.find_last_not_of('0') + 1);
        return s;
    }
    std::snprintf(text, sizeof text, "%.7g", v);
    return text;
}

std::string range_text(const FieldRange& r) {
    const bool low = std::isfinite(r.low), high = std::isfinite(r.high);
    if (low && high && !r.above && !r.below)
        return "from " + range_number(r.low) + " to " + range_number(r.high);
    std::string text;
    if (low) text = (r.above ? "above " : "at least ") + range_number(r.low);
    if (high) {
        if (low) text += " and ";
        text += (r.below ? "below " : "at most ") + range_number(r.high);
    }
    return text;
}

namespace {

std::string sentence(const std::string& name) {
    std::string s = name;
    if (!s.empty()) s[0] = char(std::toupper(static_cast<unsigned char>(s[0])));
    return s;
}

// The range a field can hold at all: its own, cut at the float range (the int range for whole
// numbers), where the records keep it.
FieldRange storable(const NumberField& f) {
    FieldRange r = f.range;
    const double most = f.whole ? double(INT_MAX) : double(FLT_MAX);
    const double least = f.whole ? double(INT_MIN) : -double(FLT_MAX);
    if (!(r.high <= most)) r.high = most, r.below = false;
    if (!(r.low >= least)) r.low = least, r.above = false;
    return r;
}

// The numbers both ranges hold.
FieldRange both(const FieldRange& a, const FieldRange& b) {
    FieldRange r = a;
    if (b.low > r.low || (b.low == r.low && b.above)) r.low = b.low, r.above = b.above;
    if (b.high < r.high || (b.high == r.high && b.below)) r.high = b.high, r.below = b.below;
    return r;
}

// Whether the float `f` lies in `r`, whose ends are within the float range: a closed end
// compares as the float nearest to it (a typed end rounds to that float), an open one exactly.
bool float_holds(const FieldRange& r, float f) {
    const double v = f;
    const bool low = !std::isfinite(r.low) || (r.above ? v > r.low : f >= float(r.low));
    const bool high = !std::isfinite(r.high) || (r.below ? v < r.high : f <= float(r.high));
    return low && high;
}

// `r` as the floats it holds: an open end becomes the nearest float inside it.
FieldRange in_floats(FieldRange r) {
    if (std::isfinite(r.low) && r.above) {
        float f = float(r.low);
        if (double(f) <= r.low) f = std::nextafter(f, HUGE_VALF);
        r.low = f, r.above = false;
    }
    if (std::isfinite(r.high) && r.below) {
        float f = float(r.high);
        if (double(f) >= r.high) f = std::nextafter(f, -HUGE_VALF);
        r.high = f, r.below = false;
    }
    return r;
}

// `r` with each end the number its text in the box reads as.
FieldRange as_printed(FieldRange r) {
    double v = 0.0;
    if (std::isfinite(r.low) && ui::parse_number(range_number(r.low), v)) r.low = v;
    if (std::isfinite(r.high) && ui::parse_number(range_number(r.high), v)) r.high = v;
    return r;
}

bool blank(const std::string& text) {
    return text.find_first_not_of(" \t") == std::string::npos;
}

} // namespace

std::string field_text(const char* format, double shown,
                       const std::function<bool(double typed)>& gives_back) {
    char text[128], digits[40];
    std::snprintf(text, sizeof text, format, shown);
    double typed = 0.0;
    if (ui::parse_number(text, typed) && gives_back(typed)) return text;
    for (int n = 1; n <= 17; ++n) {
        std::snprintf(digits, sizeof digits, "%.*g", n, shown);
        if (ui::parse_number(digits, typed) && gives_back(typed)) return digits;
    }
    return text;
}

std::string field_text(const char* format, float value) {
    return field_text(format, double(value),
                      [value](double typed) { return float(typed) == value; });
}

std::string FieldReader::typed(const NumberField& field) const {
    const std::string text = dialog_.text(field.id);
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool FieldReader::refuse(const NumberField& field, const FieldRange& shown) {
    ok_ = false;
    const std::string range = range_text(shown);
    std::string text =
        sentence(field.name) + " must be a " + (field.whole ? "whole number" : "number");
    if (!range.empty()) text += (range.compare(0, 3, "at ") == 0 ? " of " : " ") + range;
    text += field.unit + ".";
    ask_message(text.c_str(), "Message", ui::mb_ok | ui::mb_iconexclamation);
    dialog_.set_focus(field.id);
    return false;
}

bool FieldReader::refuse(const NumberField& field) {
    return !ok_ ? false : refuse(field, field.range);
}

bool FieldReader::read_number(const NumberField& field, double& value, bool to_float) {
    double v = 0.0;
    if (!ui::parse_number(typed(field), v) || (field.whole && std::floor(v) != v) ||
        !field.range.holds(v))
        return refuse(field);
    // Beyond what the records hold the box names those ends too.
    const FieldRange can_hold = storable(field);
    if (!can_hold.holds(v)) return refuse(field, both(field.range, can_hold));
    // A number that only its float leaves out of the range (1e-46 above 0) is told the floats'
    // range; one outside the range as the box prints it (0.01 above a float 0.01), the range.
    if (to_float && !float_holds(can_hold, float(v)))
        return refuse(field, as_printed(field.range).holds(v) ? in_floats(can_hold) : field.range);
    value = v;
    return true;
}

bool FieldReader::read_into(const NumberField& field, double& value, bool to_float) {
    empty_ = false;
    if (!ok_) return false;
    const std::string text = typed(field);
    if (!field.shown.empty() && text == field.shown) return true;
    if (blank(text)) {
        empty_ = true;
        return field.may_be_empty || refuse(field);
    }
    return read_number(field, value, to_float);
}

bool FieldReader::read(const NumberField& field, double& value) {
    return read_into(field, value, false);
}

bool FieldReader::read(const NumberField& field, float& value) {
    double v = value;
    if (!read_into(field, v, true)) return false;
    value = float(v);
    return true;
}

bool FieldReader::read(const NumberField& field, std::int32_t& value) {
    double v = value;
    if (!read(field.integer(), v)) return false;
    value = std::int32_t(v);
    return true;
}

} // namespace model
