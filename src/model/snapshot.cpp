// The snapshot of the model record.
#include "model/snapshot.h"

#include "model/globals.h"
#include "model/owned_arrays.h"
#include "platform/sys/sys.h"

#include <cstring>
#include <string>
#include <type_traits>
#include <utility>

namespace model {

// The record holds plain values, fixed texts and pointers to the arrays it owns, and nothing
// else (no string, container or virtual function): its bytes and the contents of its arrays are
// the whole of its state.
static_assert(!std::is_polymorphic_v<ModelSettings>, "ModelSettings must stay plain data");

namespace {
bool display_work_array(const char* name) {
    const std::string n = name;
    return n.rfind("ModelSettings::display_", 0) == 0;
}
} // namespace

ModelSnapshot::ModelSnapshot(ModelSettings& settings, const ProgLim& limits)
    : settings_(settings), fields_(sizeof(ModelSettings)) {
    std::memcpy(fields_.data(), static_cast<const void*>(&settings), sizeof(ModelSettings));
    auto keep = [this](void* data, std::size_t bytes) {
        if (!data || bytes == 0) return;
        Array a{static_cast<unsigned char*>(data), bytes, {}, {}};
        for (const sys::ByteRange& r : sys::written_ranges(data, bytes)) {
            a.offsets.push_back(r.offset);
            a.parts.emplace_back(a.data + r.offset, a.data + r.offset + r.bytes);
        }
        arrays_.push_back(std::move(a));
    };
    visit_settings_arrays(settings, model_capacities(limits),
                          [&](auto*& p, std::size_t count, const char* name) {
                              if (!display_work_array(name)) keep(p, count * sizeof *p);
                          });
    // The arrays of the constructor.
    const std::size_t water = std::size_t(std::max(0, settings.max_water_layers)) *
                                  std::size_t(std::max(0, settings.water_columns)) +
                              1;
    keep(settings.title_text, 256);
    keep(settings.ip_unit_text, 256);
    keep(settings.water_resistivity, water * sizeof(float));
    keep(settings.water_thickness, water * sizeof(float));
    keep(settings.water_layer_work, water * sizeof(float));
}

void ModelSnapshot::restore() const {
    std::memcpy(static_cast<void*>(&settings_), fields_.data(), sizeof(ModelSettings));
    for (const Array& a : arrays_) {
        // What was written since is cleared, then the parts of the snapshot go back: the
        // pages outside both were never written and hold zeros still.
        for (const sys::ByteRange& r : sys::written_ranges(a.data, a.size))
            std::memset(a.data + r.offset, 0, r.bytes);
        for (std::size_t k = 0; k < a.parts.size(); ++k)
            std::memcpy(a.data + a.offsets[k], a.parts[k].data(), a.parts[k].size());
    }
}

} // namespace model
