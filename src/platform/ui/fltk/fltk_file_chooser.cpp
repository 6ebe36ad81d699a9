// The file chooser of the FLTK backend. The name field is a plain input: nothing is completed or
// put in front of what the user types, so an entry means exactly the path it spells.
#include "platform/ui/fltk/fltk_dialogs.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Hold_Browser.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Output.H>
#include <FL/Fl_Return_Button.H>

#include <filesystem>
#include <string>
#include <vector>

namespace ui {

namespace {

constexpr int font_size = 13;
const char* const all_files = "*";

class FileChooser {
  public:
    explicit FileChooser(const FileRequest& request);
    bool run(std::string& path);

  private:
    Fl_Double_Window window_{560, 420};
    Fl_Output* folder_ = nullptr;
    Fl_Hold_Browser* list_ = nullptr;
    Fl_Input* name_ = nullptr;
    Fl_Choice* filter_ = nullptr;
    std::string folder_path_;
    std::vector<std::string> filters_;
    std::vector<std::string> entries_;
    std::string chosen_;
    bool done_ = false, accepted_ = false;

    void fill_filters();
    void show_folder(const std::string& folder);
    void take(const std::string& entry);
    void accept();
    void list_clicked();
    void finish(bool accepted) {
        done_ = true;
        accepted_ = accepted;
        window_.hide();
    }
};

FileChooser::FileChooser(const FileRequest& request) {
    window_.copy_label(request.title.c_str());
    window_.begin();
    auto* label = new Fl_Box(10, 10, 70, 25, "Folder:");
    label->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
    folder_ = new Fl_Output(80, 10, 470, 25);
    folder_->clear_visible_focus();
    list_ = new Fl_Hold_Browser(10, 45, 540, 260);
    list_->textsize(font_size);
    list_->when(FL_WHEN_RELEASE_ALWAYS); // a double click on the chosen line too
    list_->callback([](Fl_Widget*, void* self) { static_cast<FileChooser*>(self)->list_clicked(); },
                    this);
    name_ = new Fl_Input(110, 315, 440, 25, "File name:");
    name_->textsize(font_size);
    name_->when(FL_WHEN_ENTER_KEY_ALWAYS);
    name_->callback([](Fl_Widget*, void* self) { static_cast<FileChooser*>(self)->accept(); },
                    this);
    filter_ = new Fl_Choice(110, 347, 440, 25, "Files of type:");
    filters_ = {request.filter};
    if (request.filter != all_files) filters_.push_back(all_files);
    fill_filters();
    filter_->callback(
        [](Fl_Widget*, void* self) {
            auto* c = static_cast<FileChooser*>(self);
            c->show_folder(c->folder_path_);
        },
        this);
    auto* ok = new Fl_Return_Button(360, 385, 90, 25, "OK");
    ok->callback([](Fl_Widget*, void* self) { static_cast<FileChooser*>(self)->accept(); }, this);
    auto* cancel = new Fl_Button(460, 385, 90, 25, "Cancel");
    cancel->callback([](Fl_Widget*, void* self) { static_cast<FileChooser*>(self)->finish(false); },
                     this);
    window_.end();
    // Esc and the window's close button cancel.
    window_.callback([](Fl_Widget*, void* self) { static_cast<FileChooser*>(self)->finish(false); },
                     this);
    window_.set_modal();
    show_folder(request.folder);
    name_->value(request.name.c_str());
}

// The filters, the first one chosen.
void FileChooser::fill_filters() {
    filter_->clear();
    for (const std::string& f : filters_) {
        // '/' would make a submenu of the item, '&' a shortcut and '_' a divider.
        std::string item;
        for (char c : f == all_files ? std::string("All files (*)") : f) {
            if (c == '/' || c == '&' || c == '_' || c == '\\') item += '\\';
            item += c;
        }
        filter_->add(item.c_str());
    }
    filter_->value(0);
}

void FileChooser::show_folder(const std::string& folder) {
    folder_path_ = folder;
    folder_->value(folder.c_str());
    const int f = filter_->value();
    entries_ = folder_listing(folder, filters_[f < 0 ? 0 : std::size_t(f)]);
    list_->clear();
    for (const std::string& e : entries_)
        list_->add(e.c_str());
}

// A list entry or a typed entry: a folder opens, a pattern filters, a file is the answer.
void FileChooser::take(const std::string& entry) {
    if (entry.find_first_of("*?[") != std::string::npos && entry.find('/') == std::string::npos) {
        filters_.insert(filters_.begin(), entry);
        fill_filters();
        name_->value("");
        show_folder(folder_path_);
        return;
    }
    const std::string path = typed_path(folder_path_, entry);
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        std::string folder = std::filesystem::path(path).lexically_normal().string();
        while (folder.size() > 1 && folder.back() == '/')
            folder.pop_back();
        show_folder(folder);
        name_->value("");
        return;
    }
    chosen_ = path;
    finish(true);
}

void FileChooser::accept() {
    const std::string typed = name_->value();
    if (typed.find_first_not_of(" \t") != std::string::npos) {
        take(typed);
        return;
    }
    const int line = list_->value();
    if (line > 0) take(entries_[std::size_t(line - 1)]);
}

void FileChooser::list_clicked() {
    const int line = list_->value();
    if (line <= 0) return;
    const std::string& entry = entries_[std::size_t(line - 1)];
    const bool folder = !entry.empty() && entry.back() == '/';
    if (Fl::event_clicks() > 0) {
        Fl::event_clicks(0);
        take(entry);
    } else if (!folder) {
        name_->value(entry.c_str());
    }
}

bool FileChooser::run(std::string& path) {
    place_in_front(window_);
    window_.show();
    name_->take_focus();
    name_->position(name_->size(), 0); // the proposed name selected: typing replaces it
    while (!done_ && window_.shown())
        Fl::wait();
    if (!accepted_) return false;
    path = chosen_;
    return true;
}

} // namespace

bool fltk_choose_file(const FileRequest& request, std::string& path) {
    FileChooser chooser(request);
    return chooser.run(path);
}

} // namespace ui
