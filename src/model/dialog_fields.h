// The number fields of the dialogs: every edit that takes a number is read by FieldReader, which
// refuses what is not one number of the field's range with a box that names the field and the
// range. A number is never moved into a range in silence: outside it, it is refused.
#pragma once

#include "platform/ui/ui.h"

#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>

namespace model {

/// The numbers a field takes: from `low` to `high`, each end left out when `above` or `below`
/// is set; an infinite end is no end. A real field also ends at the float range, a whole one at
/// the int range.
struct FieldRange {
    double low = -HUGE_VAL, high = HUGE_VAL;
    bool above = false; ///< low itself lies outside
    bool below = false; ///< high itself lies outside

    bool holds(double v) const {
        return (above ? v > low : v >= low) && (below ? v < high : v <= high);
    }
    bool bounded() const { return std::isfinite(low) || std::isfinite(high); }
};

inline FieldRange any_number() {
    return {};
}
inline FieldRange from_to(double low, double high) {
    return {low, high, false, false};
}
inline FieldRange at_least(double low) {
    return {low, HUGE_VAL, false, false};
}
inline FieldRange above(double low) {
    return {low, HUGE_VAL, true, false};
}
inline FieldRange above_below(double low, double high) {
    return {low, high, true, true};
}

/// One number field of a dialog: its edit, the name the messages give it ("the horizontal
/// display scale"), the numbers it takes and how it reads its text. Built by chaining:
/// NumberField(853, "the horizontal display scale").within(from_to(1, 200)).
struct NumberField {
    int id = 0;
    std::string name;
    FieldRange range;          ///< numbers outside are refused
    bool whole = false;        ///< whole numbers only
    bool may_be_empty = false; ///< blanks only are no entry: the value given stays
    std::string unit;          ///< after the range in the box, e.g. " (per cent)"
    std::string shown;         ///< see `unless_left_at`

    NumberField(int id_, std::string name_) : id(id_), name(std::move(name_)) {}
    NumberField within(const FieldRange& r) const {
        NumberField f = *this;
        f.range = r;
        return f;
    }
    NumberField integer() const {
        NumberField f = *this;
        f.whole = true;
        return f;
    }
    NumberField optional() const {
        NumberField f = *this;
        f.may_be_empty = true;
        return f;
    }
    NumberField in_units(std::string text) const {
        NumberField f = *this;
        f.unit = std::move(text);
        return f;
    }
    /// `text` is what the dialog showed for the stored value: an edit still holding it keeps
    /// that value as it is, also when the value lies outside the range (a setting of the
    /// program's own that the user left alone).
    NumberField unless_left_at(std::string text) const {
        NumberField f = *this;
        f.shown = std::move(text);
        return f;
    }
};

/// A number as the range texts print it: "200", "0.98", "0.000001", "3.402823e+38".
std::string range_number(double v);
/// The range as the messages say it: "from 1 to 200", "above 0", "at least 2", "at most 0.1",
/// "above 0 and below 1000"; "" for any number.
std::string range_text(const FieldRange& r);

/// The text of an edit that shows a stored number which OK reads back: `shown` in the
/// printf-style `format` (one conversion of a double, "%.2f") when `gives_back` takes the number
/// of that text for the stored value, else `shown` with the fewest significant digits that it
/// takes ("0.00015", "0.33333334"); so OK on an untouched dialog stores nothing new, and a value
/// the format shows exactly is shown as the format shows it. The format's text when no text of
/// up to 17 digits gives the value back (a NaN).
std::string field_text(const char* format, double shown,
                       const std::function<bool(double typed)>& gives_back);
/// field_text of a float setting shown as it is and read back into a float by FieldReader.
std::string field_text(const char* format, float value);

/// Reads the number fields of a dialog when its OK is pressed. The whole text of the edit is
/// read. The first field that holds no number of its range (text after the number, "nan",
/// infinities, blanks where an entry is needed, a fraction in a whole field, a number outside
/// the range, or one whose stored value would lie outside it: 1e-46 in a float above 0 is 0)
/// gets the box "<Name> must be a number <range><unit>." under "Message" and the keyboard
/// focus; every later read does nothing and returns false, so the procedure keeps the dialog
/// open with every entry as the user left it.
class FieldReader {
  public:
    explicit FieldReader(ui::Dialog& dialog) : dialog_(dialog) {}
    /// True with the number of `field` in `value` (blanks in an optional field, or the shown
    /// text of unless_left_at, leave `value` as it is); false after the box, or when an earlier
    /// read failed.
    bool read(const NumberField& field, double& value);
    bool read(const NumberField& field, float& value);
    bool read(const NumberField& field, std::int32_t& value);
    /// True while no field was refused.
    bool ok() const { return ok_; }
    /// True when the last field read held blanks only.
    bool was_empty() const { return empty_; }
    /// Refuses `field` as a read does (its box, the focus, later reads fail): for an entry that
    /// holds a number of the range but clashes with another field. Returns false.
    bool refuse(const NumberField& field);

  private:
    ui::Dialog& dialog_;
    bool ok_ = true;
    bool empty_ = false;

    bool refuse(const NumberField& field, const FieldRange& shown);
    // A read of either kind; `to_float`: the value is stored as a float, whose value must lie
    // in the range.
    bool read_into(const NumberField& field, double& value, bool to_float);
    // The number of the field's text, checked against its range and what the records hold.
    bool read_number(const NumberField& field, double& value, bool to_float);
    std::string typed(const NumberField& field) const;
};

/// The one number field of a dialog read on its own into `value` (double, float or
/// std::int32_t); false after the box, `value` unchanged.
template <class T> bool read_field(ui::Dialog& dialog, const NumberField& field, T& value) {
    FieldReader fields(dialog);
    return fields.read(field, value);
}

} // namespace model
