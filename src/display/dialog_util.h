// Small helpers of the display dialogs: formatted texts, radio groups, endings and template
// building (the number fields are read by model::FieldReader).
#pragma once

#include "platform/sys/verify.h"
#include "platform/ui/ui.h"

#include <cstdint>
#include <string>

namespace display {

/// `format` (one printf conversion of a double) applied to `value`.
std::string formatted(const char* format, double value);

/// Appends a control to a template.
inline void add(ui::DialogTemplate& t, int id, ui::ControlKind kind, const std::string& text, int x,
                int y, int w, int h) {
    t.controls.push_back({id, kind, text, x, y, w, h});
}
/// Appends OK (1) and Cancel (2) buttons side by side at row y.
void add_ok_cancel(ui::DialogTemplate& t, int y);

/// Ends a dialog the way every display dialog does: dialog_result 1 and the result 1 on OK,
/// dialog_result 2 and the result 0 on Cancel.
void end_dialog(ui::Dialog& dialog, bool ok);
/// end_dialog for `id` OK or Cancel; true when it was one of them, false (nothing done) else.
bool end_on_ok_or_cancel(ui::Dialog& dialog, int id);

/// Radio buttons first..last standing for the values 0..last-first of one field.
struct RadioGroup {
    int first, last;
    std::int32_t* field;
};

/// Dialog::take_radio over `groups` (a range of RadioGroup): true when `id` was one of their
/// buttons.
template <class Groups> bool take_radio(ui::Dialog& dialog, int id, const Groups& groups) {
    for (const RadioGroup& group : groups)
        if (dialog.take_radio(group.first, group.last, id, *group.field)) return true;
    return false;
}

/// What up to three radio groups held when their dialog opened, for Cancel to put back.
class OpeningChoices {
  public:
    template <class Groups> void keep(const Groups& groups) {
        int g = 0;
        for (const RadioGroup& group : groups) {
            VERIFY(g < max_groups, g);
            values_[g++] = *group.field;
        }
    }
    template <class Groups> void restore(const Groups& groups) const {
        int g = 0;
        for (const RadioGroup& group : groups) {
            VERIFY(g < max_groups, g);
            *group.field = values_[g++];
        }
    }

  private:
    static constexpr int max_groups = 3;
    std::int32_t values_[max_groups] = {0, 0, 0};
};

/// Marks in each of `groups` the button of its field's value.
template <class Groups> void mark_radios(ui::Dialog& dialog, const Groups& groups) {
    for (const RadioGroup& group : groups)
        dialog.check_radio(group.first, group.last, group.first + *group.field);
}

/// The procedure of a dialog of radio groups over record fields. Init keeps the fields in
/// `opening` and calls show(dialog), which marks the buttons and fills the other controls; a
/// click on a button of a group sets its field at once; OK ends the dialog with 1 when
/// accept(dialog) agrees (false keeps it open, after its own message); Cancel puts back what
/// `opening` kept, also after several clicks, and ends with 0.
template <class Groups, class Show, class Accept>
bool radio_groups_procedure(OpeningChoices& opening, const Groups& groups, Show show, Accept accept,
                            ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args) {
    if (event == ui::DialogEvent::init) {
        opening.keep(groups);
        show(dialog);
        return true;
    }
    if (event != ui::DialogEvent::command) return false;
    if (take_radio(dialog, args.id, groups)) return true;
    switch (args.id) {
    case ui::id_ok:
        if (accept(dialog)) dialog.end(1);
        return true;
    case ui::id_cancel:
        opening.restore(groups);
        dialog.end(0);
        return true;
    default:
        return false;
    }
}

/// Shows `text` under `caption` with `flags` (through the message funnel, no beep).
int ask(const std::string& text, const char* caption, unsigned flags);

} // namespace display
