// Fuzz target of the model-file reader: any bytes as a model file, read into one model record
// that lives for the whole run (as in the program, every read starts from the one before).
#include "model/reader/readmodel_sections.h"
#include "support/model_records.h"

#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > (1u << 20)) return 0;
    test_support::SharedRecords& r = test_support::shared_records();
    // Exactly the input's bytes, so that any read past the end of the text is caught.
    const std::vector<char> text(data, data + size);
    int error = 0;
    model::clear_read_fields(*r.model);
    model::read_model_text(r.limits, *r.model, r.model->model_title, text.data(),
                           static_cast<std::int32_t>(text.size()), nullptr, error);
    return 0;
}
