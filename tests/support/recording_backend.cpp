// A ui backend for tests that records every message box and beep and draws nothing.
#include "support/recording_backend.h"

#include "platform/sys/sys.h"

namespace test_support {

int RecordingBackend::message_box(const std::string& text, const std::string& caption,
                                  unsigned flags) {
    boxes.push_back({text, caption, flags, beep_pending_});
    beep_pending_ = false;
    if ((flags & ui::mb_buttons) != ui::mb_yesno) return ui::id_ok;
    if (answers.empty()) return ui::id_yes;
    const int answer = answers.front();
    answers.pop_front();
    return answer;
}

void RecordingBackend::beep() {
    ++beeps;
    beep_pending_ = true;
}

bool RecordingBackend::next_event(ui::Event& event) {
    if (++event_calls_ != abort_at) return false;
    event = ui::Event{};
    event.kind = ui::EventKind::key;
    event.id = 'q';
    return true;
}

TimedBreak::TimedBreak(double after) : at_(sys::wall_seconds() + after) {}

bool TimedBreak::next_event(ui::Event& event) {
    if (typed > 0 || sys::wall_seconds() < at_) return false;
    typed = sys::wall_seconds();
    event = ui::Event{};
    event.kind = ui::EventKind::key;
    event.id = 'q';
    return true;
}

} // namespace test_support
