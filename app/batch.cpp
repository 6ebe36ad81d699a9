// The batch run: one program run on the headless backend, driven step by step, each step
// checked before the next one starts.
#include "batch.h"

#include "display/bitmap.h"
#include "display/display_commands.h"
#include "forward/commands.h"
#include "forward/noise.h"
#include "model/globals.h"
#include "model/model_settings.h"
#include "platform/gfx/canvas.h"
#include "platform/sys/sys.h"
#include "platform/ui/headless/backend.h"
#include "platform/ui/headless/headless.h"
#include "platform/ui/ui.h"
#include "shell/dispatch.h"
#include "shell/main_window.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <system_error>
#include <unistd.h>

namespace batch {

namespace {

namespace fs = std::filesystem;

bool has_command(int id) {
    for (const shell::CommandRow& row : shell::command_table())
        if (row.id == id) return static_cast<bool>(row.action);
    return false;
}

headless::Action file_answer(const std::string& path) {
    headless::Action a;
    a.kind = headless::ActionKind::file;
    a.text = path;
    return a;
}

headless::Action yes_answer() {
    headless::Action a;
    a.kind = headless::ActionKind::box;
    a.id = ui::id_yes;
    return a;
}

// "No noise" in NoiseDiaBox, then OK.
headless::Action no_noise_answer() {
    headless::Action a;
    a.kind = headless::ActionKind::dialog;
    a.text = "NoiseDiaBox";
    headless::DialogStep no;
    no.kind = headless::DialogStep::Kind::click;
    no.id = noise_control::no_noise;
    headless::DialogStep ok;
    ok.kind = headless::DialogStep::Kind::ok;
    a.steps = {no, ok};
    return a;
}

// OK for every dialog the display opens: automatic contour levels.
std::vector<headless::Action> display_answers() {
    std::vector<headless::Action> answers;
    for (const std::string& name : display_dialogs(Modelsettings)) {
        headless::Action a;
        a.kind = headless::ActionKind::dialog;
        a.text = name;
        headless::DialogStep ok;
        ok.kind = headless::DialogStep::Kind::ok;
        a.steps = {ok};
        answers.push_back(a);
    }
    return answers;
}

/// The program on the headless backend for one batch run.
class Run {
  public:
    Run() : transcript_(sink_, &log_, std::cerr, "batch"), backend_(transcript_, ".") {
        ui::reset();
        ui::install_backend(&backend_);
        backend_.set_screen(1024, 768);
    }
    ~Run() {
        shell::end_program();
        ui::install_backend(nullptr);
        ui::reset();
    }

    bool start() {
        // The batch draws on a 1024 x 768 screen but calculates at the program's largest
        // limits: those of the widest screen with this computer's memory.
        shell::Machine m;
        m.memory_bytes = sys::physical_memory_bytes();
        m.widest_limits = true;
        const bool started = shell::start_program(m);
        idle();
        print(false);
        return started;
    }
    /// Runs menu command `id` with the answers given, then prints what it showed (with the
    /// text drawn in the window when `with_text`). False when an answer was left unused.
    bool command(int id, const std::vector<headless::Action>& answers, bool with_text = false) {
        for (const headless::Action& a : answers)
            backend_.push_answer(a);
        ui::Event e;
        e.kind = ui::EventKind::command;
        e.id = id;
        ui::dispatch(e);
        idle();
        print(with_text);
        return backend_.answers().empty();
    }
    void close() {
        ui::Event e;
        e.kind = ui::EventKind::close;
        ui::dispatch(e);
        idle();
        print(false);
    }

  private:
    std::ostringstream sink_, log_;
    headless::Transcript transcript_;
    headless::ScriptBackend backend_;
    std::size_t printed_ = 0;

    void idle() {
        ui::Event e;
        for (int n = 0; n < 100000 && backend_.next_event(e); ++n)
            ui::dispatch(e);
    }
    // The transcript lines since the last call: boxes, beeps and notes always, the text drawn
    // in the window only when asked (the model summary of the read).
    void print(bool with_text) {
        const std::string all = log_.str();
        std::istringstream lines(all.substr(printed_));
        printed_ = all.size();
        std::string line;
        while (std::getline(lines, line))
            if (with_text || line.rfind("TEXT ", 0) != 0) std::cout << line << '\n';
        std::cout << std::flush;
    }
};

// Absolute path of an existing regular file, or "" after a message that says why not.
std::string model_path(const std::string& model) {
    std::error_code ec;
    const fs::path path = fs::absolute(model, ec).lexically_normal();
    std::string why;
    if (ec)
        why = ec.message();
    else if (path.string().size() >= sys::path_max)
        why = "the path has " + std::to_string(path.string().size()) + " characters, and at most " +
              std::to_string(sys::path_max - 1) + " are allowed";
    else if (!fs::exists(path, ec))
        why = ec ? ec.message() : "no such model file";
    else if (!fs::is_regular_file(path, ec))
        why = "it is not a regular file";
    if (!why.empty()) {
        std::cerr << "veldarin-script: --batch " << model << ": " << why << '\n';
        return {};
    }
    return path.string();
}

bool fail(const std::string& step) {
    std::cout << "FAILED " << step << '\n';
    return false;
}

// The outcome of each step comes from the step itself (its record flag or its own outcome),
// never from a look at the disk afterwards: a cut-short file exists too.
bool save_bitmap(Run& run, const std::string& path) {
    if (has_command(shell::cmd::save_screen_bmp)) {
        std::vector<headless::Action> answers{file_answer(path)};
        if (sys::file_exists(path)) answers.push_back(yes_answer());
        if (!run.command(shell::cmd::save_screen_bmp, answers) || !screen_bmp_written())
            return fail("saving the window as a bitmap " + path);
    } else {
        // Without the bitmap command the canvas is saved as the calculation left it.
        const ui::Size client = ui::client_size();
        const DrawnSize size = picture_size(&shell::canvas(), client.width, client.height);
        std::string cause;
        if (!write_window_bitmap(&shell::canvas(), size.width, size.height, path.c_str(), &cause))
            return fail("saving the window as a bitmap " + path + ": " + cause);
    }
    std::cout << "Bitmap written: " << path << '\n';
    return true;
}

// The steps in order; the first that fails ends the run, so nothing is written after it.
bool steps(Run& run, const std::string& model, const std::string& dat, const std::string& bmp) {
    if (!run.start()) return fail("starting the program");
    if (!run.command(shell::cmd::read_model, {file_answer(model)}, true) ||
        Modelsettings.model_read != 1)
        return fail("reading the model " + model);
    run.command(shell::cmd::calculate, {});
    if (Modelsettings.data_ready != 1) return fail("calculating the potentials");
    // The canvas grows to hold the display, and the bitmap holds the whole picture.
    if (has_command(shell::cmd::display_model))
        run.command(shell::cmd::display_model, display_answers());
    if (!save_bitmap(run, bmp)) return false;
    std::vector<headless::Action> answers{file_answer(dat)};
    if (sys::file_exists(dat)) answers.push_back(yes_answer());
    answers.push_back(no_noise_answer());
    if (!run.command(shell::cmd::save_data_file, answers) ||
        forward::last_save_outcome() != forward::SaveOutcome::written)
        return fail("writing the data file " + dat);
    std::cout << "Data file written: " << dat << '\n';
    return true;
}

// True when `output` names the same file as `model` (links and "." or ".." resolved, hard
// links too): the batch would replace its own input.
bool same_file(const fs::path& model, const fs::path& output) {
    std::error_code ec;
    if (fs::exists(output, ec)) return fs::equivalent(model, output, ec);
    return fs::weakly_canonical(model, ec) == fs::weakly_canonical(output, ec);
}

// The output folder, made when missing; "" after a message that names it and the cause.
std::string output_folder(const std::string& model, const std::string& out_dir) {
    if (out_dir.empty()) return fs::path(model).parent_path().string();
    std::error_code ec;
    const fs::path folder = fs::absolute(out_dir, ec);
    // A missing output folder is made, as a user asking for output there would expect.
    if (!ec && !fs::exists(folder, ec)) {
        fs::create_directories(folder, ec);
        if (ec) {
            std::cerr << "veldarin-script: --out " << out_dir << " cannot be made: " << ec.message()
                      << '\n';
            return {};
        }
    }
    if (ec || !fs::is_directory(folder, ec)) {
        std::cerr << "veldarin-script: --out " << out_dir << " is not a folder\n";
        return {};
    }
    if (::access(folder.c_str(), W_OK | X_OK) != 0) {
        std::cerr << "veldarin-script: --out " << out_dir << " cannot be written: "
                  << std::error_code(errno, std::generic_category()).message() << '\n';
        return {};
    }
    return folder.string();
}

} // namespace

int run(const std::string& model, const std::string& out_dir) {
    const std::string path = model_path(model);
    if (path.empty()) return 2;
    const std::string folder_text = output_folder(path, out_dir);
    if (folder_text.empty()) return 2;
    const fs::path folder(folder_text);
    const std::string stem = fs::path(path).stem().string();
    const std::string dat = (folder / (stem + ".dat")).lexically_normal().string();
    const std::string bmp = (folder / (stem + ".bmp")).lexically_normal().string();
    for (const std::string& output : {dat, bmp}) {
        if (same_file(path, output)) {
            std::cerr << "veldarin-script: --batch " << model << ": the output file " << output
                      << " would replace the model file itself; give another --out folder\n";
            return 2;
        }
        if (output.size() >= sys::path_max) {
            std::cerr << "veldarin-script: the output path " << output << " is too long: it has "
                      << output.size() << " characters, and at most " << sys::path_max - 1
                      << " are allowed\n";
            return 2;
        }
    }
    Run run;
    const bool ok = steps(run, path, dat, bmp);
    run.close();
    return ok ? 0 : 1;
}

} // namespace batch
