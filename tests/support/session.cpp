// Headless sessions of the tests.
#include "support/session.h"

#include "platform/sys/thread_pool.h"

#include "model/globals.h"
#include "platform/sys/sys.h"
#include "platform/ui/headless/script.h"

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace test_support {

PoolThreads::PoolThreads(int count) {
    sys::set_pool_threads(count);
}

PoolThreads::~PoolThreads() {
    sys::set_pool_threads(0);
}

HeldSteps::HeldSteps() {
    const auto guard = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    sys::set_step_hold([guard](int l, const std::atomic<bool>& stop) {
        while (l > 0 && !stop.load() && std::chrono::steady_clock::now() < guard)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
}

HeldSteps::~HeldSteps() {
    sys::set_step_hold(nullptr);
}

GlobalRecords::GlobalRecords() {
    EXPECT_EQ(init_globals(), 0);
}

GlobalRecords::GlobalRecords(const ProgLim& limits) : GlobalRecords() {
    Proglim = limits;
    EXPECT_EQ(model::allocate_model_arrays(Modelsettings, Potentialtables, Proglim), 0);
}

GlobalRecords::~GlobalRecords() {
    model::exit_globals();
}

Headless::Headless() {
    ui::reset();
    ui::install_backend(&backend);
}

Headless::~Headless() {
    ui::install_backend(nullptr);
    ui::reset();
}

void Headless::answer(const std::string& script) {
    std::vector<headless::ParseError> errors;
    for (const headless::Action& a : headless::parse_script(script, errors))
        backend.push_answer(a);
    EXPECT_TRUE(errors.empty()) << script;
}

void Headless::key(int ch) {
    ui::Event e;
    e.kind = ui::EventKind::key;
    e.id = ch;
    backend.post(e);
}

std::string Headless::take_output() {
    std::string s = out.str();
    out.str("");
    return s;
}

std::string Headless::take_texts() {
    std::istringstream lines(log.str());
    log.str("");
    std::string texts;
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("TEXT ", 0) == 0) texts += line.substr(5) + "\n";
    return texts;
}

ProgramTest::ProgramTest(const std::string& prefix) : home_dir(prefix), home(home_dir.path) {
    sys::set_program_dir(home);
}

void ProgramTest::SetUp() {
    ASSERT_FALSE(home.empty());
}

void ProgramTest::TearDown() {
    sys::set_page_budget(-1);
}

void ProgramTest::idle() {
    ui::Event e;
    for (int n = 0; n < 10000 && backend.next_event(e); ++n)
        ui::dispatch(e);
}

void ProgramTest::send(const ui::Event& e) {
    ui::dispatch(e);
    idle();
}

void ProgramTest::scroll_to(ui::Bar bar, int pos) {
    ui::Event e;
    e.kind = ui::EventKind::scroll;
    e.bar = bar;
    e.code = ui::ScrollCode::thumb_track;
    e.pos = pos;
    send(e);
}

void ProgramTest::command(int id) {
    ui::Event e;
    e.kind = ui::EventKind::command;
    e.id = id;
    send(e);
}

} // namespace test_support
