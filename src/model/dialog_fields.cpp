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
    std::string text = dialog_.text(field.id).substr(0, std::size_t(std::max(0, field.max_chars)));
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

// The numbers the box names: those the field keeps as typed.
FieldRange FieldReader::shown(const NumberField& field) {
    return field.clamps ? both(field.range, field.limits) : field.range;
}

bool FieldReader::refuse(const NumberField& field) {
    return !ok_ ? false : refuse(field, shown(field));
}

bool FieldReader::read(const NumberField& field, double& value) {
    empty_ = false;
    if (!ok_) return false;
    const std::string text = typed(field);
    if (blank(text)) {
        empty_ = true;
        return field.may_be_empty || refuse(field);
    }
    double v = 0.0;
    if (!ui::parse_number(text, v) || (field.whole && std::floor(v) != v) || !field.range.holds(v))
        return refuse(field);
    // Beyond what the records hold the box names those ends too.
    const FieldRange can_hold = storable(field);
    if (!can_hold.holds(v)) return refuse(field, both(shown(field), can_hold));
    if (field.clamps && !field.limits.holds(v)) {
        const double used = v < field.limits.low ? field.limits.low : field.limits.high;
        note(field, used, "the value must be " + range_text(field.limits));
        v = used;
    }
    value = v;
    return true;
}

bool FieldReader::read(const NumberField& field, float& value) {
    double v = value;
    if (!read(field, v)) return false;
    value = float(v);
    return true;
}

bool FieldReader::read(const NumberField& field, std::int32_t& value) {
    double v = value;
    if (!read(field.integer(), v)) return false;
    value = std::int32_t(v);
    return true;
}

void FieldReader::note(const NumberField& field, double used, const std::string& rule) {
    if (!notes_.empty()) notes_ += " ";
    notes_ += sentence(field.name) + " " + typed(field) + " was taken as " + range_number(used) +
              ": " + rule + ".";
}

void FieldReader::tell_notes() const {
    if (!notes_.empty()) set_status_line(notes_.c_str());
}

} // namespace model
