// A copy of the model record that a command puts back when it fails half-way, so that a failed
// read leaves the model that was loaded.
#pragma once

#include "model/records_fwd.h"

#include <cstddef>
#include <vector>

namespace model {

/// The state of `settings` that reading a model file changes: every field, and the contents of
/// every array the record owns except the display's work arrays (display_grid_a .. _d,
/// display_poly_a, display_poly_b, display_cells), which every display fills anew. The record's
/// arrays must have been allocated for `limits` (allocate_model_arrays); they are never
/// reallocated, so restore() puts the copy back into the same arrays. Only the pages the arrays
/// have written are copied (the others read as zeros), so a snapshot of a small model is small
/// however large the arrays' capacity. The snapshot refers to `settings`, which must outlive it.
class ModelSnapshot {
  public:
    ModelSnapshot(ModelSettings& settings, const ProgLim& limits);
    /// Puts the record back as it was when the snapshot was taken.
    void restore() const;

  private:
    // One array: its place and size, and the bytes of the parts that were written.
    struct Array {
        unsigned char* data;
        std::size_t size;
        std::vector<std::size_t> offsets;
        std::vector<std::vector<unsigned char>> parts;
    };
    ModelSettings& settings_;
    std::vector<unsigned char> fields_;
    std::vector<Array> arrays_;
};

} // namespace model
