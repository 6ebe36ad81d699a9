// The potential section of one current electrode.
#include "forward/pot1elec.h"
#include "forward/datafile.h"
#include "model/text_format.h"

#include "model/utilities.h"

#include <cmath>
#include <vector>

namespace forward {

std::string pot1elec_text() {
    const float step = 0.05f, z_first = 0.05f;
    const int nx = round_to_int(std::fabs(2.0f) * 20.0f) + 1;
    const int nz = round_to_int(std::fabs(0.95f) * 20.0f) + 1;
    std::vector<float> x(std::size_t(nx), 0.0f), z(std::size_t(nz), 0.0f);
    // From -1.0 counted about the source, so that mirrored points get the same value.
    for (int i = 0; i < nx; ++i)
        x[std::size_t(i)] = step * float(i - (nx - 1) / 2);
    for (int j = 0; j < nz; ++j)
        z[std::size_t(j)] = z_first + step * float(j);
    std::string out = "\"X-location\",\"Z-location\",\"Potential\"\n";
    for (float depth : z)
        for (float across : x) {
            const float r = std::sqrt(across * across + depth * depth);
            model::append_values(out, "%6.3f %6.3f %9.5f\n",
                                 {across, -depth, 1.0f / (6.28318f * r)}, true);
        }
    return out;
}

} // namespace forward

bool write_pot1elec(const char* program_dir) {
    const std::string path = std::string(program_dir ? program_dir : "") + "pot1elec.dat";
    return forward::save_text_file(path.c_str(), forward::pot1elec_text());
}
