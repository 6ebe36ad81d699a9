// Every array code the model file takes on every road of the calculation (the three
// finite-difference formulations, band and sparse finite elements, linear and non-linear IP at a
// small chargeability, the spectral IP road), over a half-space and two-layer earths of either
// contrast, through the program's own paths: a model file written into a temporary folder is
// read, calculated and saved as a data file by the commands, and every value the data file
// holds (data lines, additional rows, remote-electrode potentials, the general-array copy) is
// compared with the analytic value of its electrodes (earth_reference.h). The line has 16
// electrodes 2.5 m apart; the surveys that give their own data start at 37.5 m.
#include "earth_reference.h"
#include "fixture.h"

#include "forward/commands.h"
#include "model/array_type.h"
#include "platform/ui/ui.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

using namespace forward_test;
using reference::Complex;
using reference::Electrodes;
using reference::Point;

namespace {

constexpr int nelec = 16;
constexpr double spacing = 2.5;
constexpr double first_x = 37.5; // the first electrode of the surveys that give their data
constexpr double layer_h = 2.5;  // thickness of the top layer (metres), on a grid line

// Roads ------------------------------------------------------------------------------------------

enum class Ip { none, linear, complex, spectral };

struct Road {
    const char* name;
    int fem, fd_type, sparse;
    Ip ip;
};

const Road roads[] = {{"FivePoint", 0, 1, 0, Ip::none},    {"NinePoint", 0, 2, 0, Ip::none},
                      {"DeyMorrison", 0, 0, 0, Ip::none},  {"Band", 1, 1, 0, Ip::none},
                      {"Sparse", 1, 1, 1, Ip::none},       {"LinearIpFd", 0, 1, 0, Ip::linear},
                      {"LinearIpFe", 1, 1, 0, Ip::linear}, {"NonLinearIp", 1, 1, 0, Ip::complex},
                      {"Spectral", 1, 1, 1, Ip::spectral}};

// Earths and meshes --------------------------------------------------------------------------

struct Ground {
    const char* name;
    double rho1, rho2, m1, m2; // resistivities (ohm-m) and chargeabilities of the two layers
    bool default_mesh;         // the reader's default depths at 2 nodes a spacing
};

const Ground grounds[] = {{"HalfSpace", 100.0, 100.0, 0.02, 0.02, false},
                          {"ConductiveOverResistive", 20.0, 200.0, 0.01, 0.03, false},
                          {"ResistiveOverConductive", 200.0, 20.0, 0.03, 0.01, false},
                          {"HalfSpaceDefaultMesh", 100.0, 100.0, 0.02, 0.02, true}};

bool layered(const Ground& g) {
    return g.rho1 != g.rho2;
}

reference::Earth earth_of(const Ground& g, Complex rho1, Complex rho2) {
    return {rho1, rho2, layered(g) ? layer_h : 0.0};
}

// Cole-Cole time constant and exponent of both layers and the frequencies of the spectral road.
constexpr double tau = 0.01, cexp = 0.5;
const double frequencies[] = {1.0, 10.0};

// Arrays -------------------------------------------------------------------------------------

enum class Remote { none, near, far, strike };

struct Survey {
    const char* name;
    int file_code;        // array code of the model file
    const char* line;     // what the file gives after the code
    bool reverse = false; // reverse pole-dipole, chosen in the array dialog
    Remote remote = Remote::none;
};

const Survey surveys[] = {{"Wenner alpha", 1, ""},
                          {"Wenner beta", 4, ""},
                          {"Wenner gamma", 5, ""},
                          {"pole-pole", 2, ""},
                          {"pole-pole, remotes near", 2, "", false, Remote::near},
                          {"pole-pole, remotes far", 2, "", false, Remote::far},
                          {"pole-pole, remotes along strike", 2, "", false, Remote::strike},
                          {"dipole-dipole", 3, ""},
                          {"pole-dipole", 6, ""},
                          {"reverse pole-dipole", 6, "", true},
                          {"pole-dipole, remote near", 6, "", false, Remote::near},
                          {"pole-dipole, remote far", 6, "", false, Remote::far},
                          {"pole-dipole, remote along strike", 6, "", false, Remote::strike},
                          {"Wenner-Schlumberger", 7, ""},
                          {"equatorial dipole-dipole", 8, "3.75\n"},
                          {"gradient", 9, "Current electrodes\n0 0 0 37.5 0 0\n"},
                          {"offset pole-dipole", 10, "2.5\n"},
                          {"reverse offset pole-dipole", 10, "2.5\n", true},
                          {"multiple gradient", 11, "Multiple gradient segments\n2\n"}};

// The remote electrodes (metres from the first electrode; x along the line, y across it): near
// the ends, far beyond them, and along strike, C2 four spacings beside an electrode and P2 400
// spacings off the line.
struct RemotePlaces {
    double c2x, c2y, p2x, p2y;
};
RemotePlaces remote_places(Remote r) {
    if (r == Remote::near) return {-12.5, 5.0, 50.0, -2.5};
    if (r == Remote::strike) return {17.5, 10.0, 36.25, -1000.0};
    return {-250.0, 0.0, 300.0, 0.0};
}

// Arrays whose data a spectral model cannot give: the road refuses them.
bool spectral_refuses(const Survey& s) {
    return s.file_code >= 8;
}

// The arrays of the index layout take their data list from the model file on the layered
// earths (so that the line starts at first_x); the others, and the reverse pole-dipoles chosen
// in the dialog, the standard list of the array.
bool own_data(const Ground& g, const Survey& s) {
    return layered(g) && s.file_code <= 8 && !s.reverse;
}

// The model file ---------------------------------------------------------------------------

constexpr int grid_rows = 14, layer_rows = 4;
const char* const depths = "0.625 1.25 1.875 2.5 3.25 4.2 5.4 7.0 9.0 11.5 14.5 18.5 23.5 30.0";

std::string code_rows(const char* top, const char* below) {
    std::string text;
    for (int j = 0; j < grid_rows; ++j)
        text += std::string(j < layer_rows ? top : below) + "\n";
    return text;
}

// A datum list of the array with file code `code` whose first electrode stands at first_x, one
// datum a line "x a [n] value [IP]" (x the first electrode).
std::string own_data_section(int code, bool ip) {
    const bool has_n = code == 3 || code == 6 || code == 7;
    std::ostringstream d;
    int count = 0;
    auto add = [&](int first, int a, int n) {
        d << first_x + (first - 1) * spacing << " " << a * spacing;
        if (has_n) d << " " << n;
        d << " 50" << (ip ? " 10" : "") << "\n";
        ++count;
    };
    for (int a = 1; a <= (has_n ? 2 : 4); ++a) {
        if (!has_n) {
            const int span = code == 2 || code == 8 ? a : 3 * a;
            for (int x = 1; x + span <= nelec; ++x)
                add(x, a, 1);
            continue;
        }
        for (int n = 1; n <= 4; ++n) {
            const int span = code == 3 ? (n + 2) * a : code == 6 ? (n + 1) * a : (2 * n + 1) * a;
            for (int x = 1; x + span <= nelec; ++x) {
                add(x, a, n);
                if (code == 6) add(x, a, -n);
            }
        }
    }
    return "0\n0\n2\n" + std::to_string(count) + "\n0\n0\n" + d.str();
}

std::string model_file(const Road& road, const Ground& g, const Survey& s) {
    std::ostringstream f;
    f << "Road table: " << s.name << " over " << g.name << "\n"
      << nelec << "\n6\n0\n"
      << spacing << "\n";
    if (s.remote != Remote::none) {
        const RemotePlaces r = remote_places(s.remote);
        f << "Far electrodes\nC2 electrode location\n"
          << r.c2x << " " << r.c2y << "\nP2 electrode location\n"
          << r.p2x << " " << r.p2y << "\n";
    }
    f << (g.default_mesh ? 0 : 2) << "\n0 1\n2\n"
      << (g.default_mesh ? 2 : 4) << "\n"
      << g.rho1 << " " << g.rho2 << "\n"
      << grid_rows << "\n";
    if (!g.default_mesh) f << depths << "\n";
    f << code_rows("0", "1");
    if (road.ip == Ip::linear || road.ip == Ip::complex)
        f << "IP present\n2\n" << g.m1 << " " << g.m2 << "\n" << code_rows("0", "1");
    if (road.ip == Ip::spectral)
        f << "Spectral IP present\n2\n"
          << g.m1 << " " << g.m2 << "\n"
          << code_rows("0", "1") << "Time constants\n1\n"
          << tau << "\n"
          << code_rows("0", "0") << "Cole-Cole exponents\n1\n"
          << cexp << "\n"
          << code_rows("0", "0") << "Number of frequencies\n2\nFrequency values\n"
          << frequencies[0] << " " << frequencies[1] << "\n";
    f << s.file_code << "\n" << s.line;
    if (own_data(g, s)) f << own_data_section(s.file_code, road.ip != Ip::none);
    return f.str();
}

// The data file, read back --------------------------------------------------------------------

struct Datum {
    std::string where;
    Electrodes at; // metres
    double rho = 0.0;
    bool has_ip = false;
    double ip = 0.0;
    std::vector<Complex> spectrum; // in-phase and quadrature of every frequency
    bool additional = false;       // an additional row
};

struct RemoteValue {
    std::string where;
    Point source, at;
    double value = 0.0;
};

struct DataFile {
    std::vector<Datum> data;
    std::vector<RemoteValue> remote;
    std::optional<Point> c2, p2; // the remote electrodes the header names
    int general_copy = 0;        // lines of the general-array copy
    int additional = 0;          // additional rows
    double first_x = 0.0;        // the x of the first electrode: the leftmost of the data
};

std::vector<double> numbers_of(const std::string& line) {
    std::string text = line;
    std::replace(text.begin(), text.end(), ',', ' ');
    std::istringstream in(text);
    std::vector<double> v;
    for (double x; in >> x;)
        v.push_back(x);
    return v;
}

// The electrodes of an index-layout line of written array code `written`: location x,
// spacing sa, factor n (1 when the code has none); `offset` the distance of the second line.
Electrodes index_electrodes(int written, double x, double sa, double n, double offset) {
    auto at = [](double px, double py = 0.0) { return Point{px, py}; };
    const double m = std::fabs(n);
    switch (written) {
    case 1: // C1 P1 P2 C2
    case 4: // C2 C1 P1 P2
    case 5: // C1 P1 C2 P2
    {
        const double f = x - 1.5 * sa;
        if (written == 1) return {at(f), at(f + 3 * sa), at(f + sa), at(f + 2 * sa)};
        if (written == 4) return {at(f + sa), at(f), at(f + 2 * sa), at(f + 3 * sa)};
        return {at(f), at(f + 2 * sa), at(f + sa), at(f + 3 * sa)};
    }
    case 2: // C1 P1
        return {at(x - 0.5 * sa), std::nullopt, at(x + 0.5 * sa), std::nullopt};
    case 8: // C1 P1 on the line, C2 P2 across from them on the second line
        return {at(x - 0.5 * sa), at(x - 0.5 * sa, offset), at(x + 0.5 * sa),
                at(x + 0.5 * sa, offset)};
    case 3: { // C2 C1 P1 P2
        const double f = x - 0.5 * sa * (n + 2.0);
        return {at(f + sa), at(f), at(f + sa + n * sa), at(f + 2 * sa + n * sa)};
    }
    case 6:    // C1 P1 P2, or with n < 0 P2 P1 C1
    case 10: { // the same with C1 on the second line
        const double f = x - 0.5 * sa * (m + 1.0), y = written == 10 ? offset : 0.0;
        if (n > 0.0) return {at(f, y), std::nullopt, at(f + m * sa), at(f + m * sa + sa)};
        return {at(f + sa + m * sa, y), std::nullopt, at(f + sa), at(f)};
    }
    default: { // 7: C1 P1 P2 C2
        const double f = x - 0.5 * sa * (2.0 * n + 1.0);
        return {at(f), at(f + 2 * n * sa + sa), at(f + n * sa), at(f + n * sa + sa)};
    }
    }
}

class Reader {
  public:
    explicit Reader(const std::string& text) {
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);)
            lines_.push_back(line);
    }
    DataFile read();

  private:
    std::vector<std::string> lines_;
    std::size_t at_ = 0;
    DataFile out_;
    int written_ = 0, count_ = 0, nfreq_ = 0;
    bool ip_ = false;
    double a_ = 0.0, offset_ = 0.0;

    std::string next() { return at_ < lines_.size() ? lines_[at_++] : std::string(); }
    double number() { return numbers_of(next()).at(0); }
    std::string where(const char* section) const {
        return std::string(section) + " (line " + std::to_string(at_) + ")";
    }
    std::size_t find(const std::string& line, std::size_t from) const {
        return std::size_t(std::find(lines_.begin() + std::ptrdiff_t(std::min(from, lines_.size())),
                                     lines_.end(), line) -
                           lines_.begin());
    }
    void header();
    void values(Datum& d, const std::vector<double>& v, std::size_t first) const;
    void index_line(const char* section, const std::vector<double>& v);
    void general_line(const char* section, const std::vector<double>& v);
    void additional_rows();
    void remote_section();
};

void Reader::header() {
    next(); // title
    a_ = number();
    written_ = int(number());
    if (written_ == 8 || written_ == 10) offset_ = number();
    if (lines_.at(at_) == "Remote electrodes included") {
        next();
        for (std::optional<Point>* remote : {&out_.c2, &out_.p2}) {
            if (lines_.at(at_).find("remote electrode") == std::string::npos) break;
            next();
            const std::vector<double> v = numbers_of(next());
            *remote = Point{v.at(0), v.at(1)};
        }
        next(); // approximate geometric factor
    }
    if (written_ == 11) at_ += 3; // sub-type and type of measurement
    count_ = int(number());
    next();
    const int ip = int(number());
    ip_ = ip == 1;
    if (ip == 1) at_ += 3;
    if (ip == 2) {
        at_ += 2;
        nfreq_ = int(number());
        at_ += std::size_t(nfreq_) + 1;
    }
}

void Reader::values(Datum& d, const std::vector<double>& v, std::size_t first) const {
    d.rho = v.at(first);
    for (int f = 0; f < nfreq_; ++f)
        d.spectrum.push_back({v.at(first + 1 + 2 * f), v.at(first + 2 + 2 * f)});
    d.has_ip = ip_;
    if (ip_) d.ip = v.at(first + 1);
}

void Reader::index_line(const char* section, const std::vector<double>& v) {
    Datum d;
    d.where = where(section);
    const bool with_n = written_ == 3 || written_ == 6 || written_ == 7 || written_ == 10;
    d.at = index_electrodes(written_, v.at(0), v.at(1), with_n ? v.at(2) : 1.0, offset_);
    values(d, v, with_n ? 3 : 2);
    out_.data.push_back(d);
}

// A general-array line: the count, then x and elevation of C1 (C2) P1 (P2), then the values.
void Reader::general_line(const char* section, const std::vector<double>& v) {
    Datum d;
    d.where = where(section);
    const int count = int(v.at(0));
    auto x = [&](int k) { return Point{v.at(std::size_t(1 + 2 * k)), 0.0}; };
    if (count == 2) d.at = {x(0), std::nullopt, x(1), std::nullopt};
    if (count == 3) d.at = {x(0), std::nullopt, x(1), x(2)};
    if (count == 4) d.at = {x(0), x(1), x(2), x(3)};
    values(d, v, std::size_t(1 + 2 * count));
    out_.data.push_back(d);
}

// Rows "x spacing n value [IP]" in groups opened by empty lines, until a line of one number.
void Reader::additional_rows() {
    const std::size_t head = find("Additional measurements", at_);
    if (head == lines_.size()) return;
    for (at_ = head + 1; at_ < lines_.size(); ++at_) {
        const std::vector<double> v = numbers_of(lines_[at_]);
        if (lines_[at_].empty()) continue;
        if (v.size() < 4) break;
        Datum d;
        d.where = "additional row (line " + std::to_string(at_ + 1) + ")";
        d.additional = true;
        d.at = index_electrodes(written_, v[0], v[1], v[2], offset_);
        values(d, v, 3);
        out_.data.push_back(d);
        ++out_.additional;
    }
}

// The potentials at every electrode from C2, then at P2 from every electrode.
void Reader::remote_section() {
    const char* const heads[2] = {"C2 remote electrode X, Y and Z location",
                                  "P2 remote electrode X, Y and Z location"};
    for (int k = 0; k < 2; ++k) {
        const std::size_t i = find(heads[k], at_);
        if (i == lines_.size()) return;
        at_ = i + 1;
        const std::vector<double> place = numbers_of(next());
        for (int e = 1; e <= nelec; ++e) {
            const std::vector<double> v = numbers_of(next());
            out_.remote.push_back({where(k == 0 ? "potential from C2" : "potential at P2"),
                                   Point{place.at(0), place.at(1)},
                                   Point{out_.first_x + (v.at(0) - 1.0) * a_, 0.0}, v.at(1)});
        }
    }
}

DataFile Reader::read() {
    header();
    const std::size_t first = at_;
    for (int d = 0; d < count_; ++d) {
        if (written_ == 11)
            general_line("data", numbers_of(next()));
        else
            index_line("data", numbers_of(next()));
    }
    out_.first_x = 1e30;
    for (const Datum& d : out_.data)
        for (const std::optional<Point>& e : {d.at.c1, d.at.c2, d.at.p1, d.at.p2})
            if (e) out_.first_x = std::min(out_.first_x, e->x);
    additional_rows();
    remote_section();
    const std::size_t copy = find("General array format", first);
    if (copy < lines_.size()) {
        at_ = copy + 1;
        for (int d = 0; d < count_; ++d, ++out_.general_copy)
            general_line("general-array copy", numbers_of(next()));
    }
    return out_;
}

// The analytic values ----------------------------------------------------------------------

struct Expected {
    double rho = 0.0, ip = 0.0;
    std::vector<Complex> spectrum;
    double remote_share = 0.0; // the largest remote-electrode term of a spectrum (ohm-m)
};

// The largest term the remote electrodes the data file names add to datum `e`'s potential
// difference, times the geometric factor k: the pairs of C1 and P1 with the remote electrodes
// of the file and of the two together.
double remote_share(const Ground& g, const Electrodes& e, const DataFile& file, double k) {
    const reference::Earth earth = earth_of(g, g.rho1, g.rho2);
    double share = 0.0;
    auto term = [&](const std::optional<Point>& a, const std::optional<Point>& b) {
        if (a && b)
            share = std::max(share, std::abs(k * reference::potential(
                                                     earth, std::hypot(a->x - b->x, a->y - b->y))));
    };
    const bool c2 = !e.c2 && file.c2, p2 = !e.p2 && file.p2;
    if (c2) term(file.c2, e.p1);
    if (p2) term(e.c1, file.p2);
    if (c2 || p2) term(c2 ? file.c2 : e.c2, p2 ? file.p2 : e.p2);
    return share;
}

Expected expected(const Road& road, const Ground& g, const Datum& d, const DataFile& file) {
    Expected x;
    const double h = layered(g) ? layer_h : 0.0;
    Electrodes e = d.at;
    x.rho = reference::apparent_resistivity(earth_of(g, g.rho1, g.rho2), e).real();
    if (road.ip == Ip::linear)
        x.ip = reference::seigel_chargeability(g.rho1, g.rho2, g.m1, g.m2, h, e);
    if (road.ip == Ip::complex) {
        const Complex r = reference::apparent_resistivity(
            earth_of(g, g.rho1 * Complex(1.0, g.m1), g.rho2 * Complex(1.0, g.m2)), e);
        x.rho = r.real();
        x.ip = 1000.0 * r.imag() / r.real();
    }
    if (road.ip != Ip::spectral) return x;
    // The spectra over the geometric factor of the electrodes on the line; the data lines with
    // the potential differences of the remote electrodes, the additional rows without them.
    const double k = reference::geometric_factor(e);
    if (!d.additional) x.remote_share = remote_share(g, e, file, k);
    if (!d.additional && !e.c2) e.c2 = file.c2;
    if (!d.additional && !e.p2) e.p2 = file.p2;
    for (double f : frequencies)
        x.spectrum.push_back(k * reference::potential_difference(
                                     earth_of(g, reference::cole_cole(g.rho1, g.m1, tau, cexp, f),
                                              reference::cole_cole(g.rho2, g.m2, tau, cexp, f)),
                                     e));
    x.rho = std::abs(x.spectrum[0]);
    return x;
}

// One case -----------------------------------------------------------------------------------

struct Worst {
    double error = 0.0;
    std::string where;
    void take(double e, const std::string& at) {
        if (!(e <= error)) error = e, where = at;
    }
};

struct Outcome {
    std::string failure; // what ended the case before the comparison
    bool refused = false;
    Worst rho, ip, remote; // relative, absolute mV/V, relative
    int compared = 0;
    DataFile file;
};

Outcome run_case(const Road& road, const Ground& g, const Survey& s) {
    Outcome o;
    CommandFixture f;
    ModelSettings& m = f.r.m;
    f.read(f.home.write("case.mod", model_file(road, g, s)));
    if (m.model_read != 1) {
        o.failure = "the model file was not read: " + f.h.output();
        return o;
    }
    m.fem = road.fem;
    m.fd_type = road.fd_type;
    m.sparsefem = road.sparse;
    m.complex_ip_model = road.ip == Ip::complex ? 1 : 0;
    if (s.reverse) {
        // As the array-type command: the dialog, then the values of the new list.
        const int previous = m.array_type;
        f.h.answer("dialog ArrayTypeDiaBox2 click 216 ok");
        ui::run_dialog(ArrayTypeDiaBox2, ArrayTypeDiaBox2Proc);
        calappmod(m, f.r.limits, f.r.p, 0, &previous);
    }
    f.calculate();
    o.refused = f.h.showed("This array is not supported for a spectral IP model");
    if (m.data_ready != 1) {
        if (!o.refused) o.failure = "no values were calculated: " + f.h.output();
        return o;
    }
    std::string text;
    f.save_data_file(f.home.file("case.dat"), &text);
    o.file = Reader(text).read();
    for (const Datum& d : o.file.data) {
        const Expected x = expected(road, g, d, o.file);
        ++o.compared;
        if (d.spectrum.empty()) o.rho.take(std::fabs(d.rho / x.rho - 1.0), d.where);
        if (d.has_ip) o.ip.take(std::fabs(d.ip - x.ip), d.where);
        // A spectrum the remote electrodes' terms nearly cancel (C2 beside the line as far
        // from P1 as C1 is) is held to the largest of those terms, as accurate as its parts.
        for (std::size_t k = 0; k < d.spectrum.size(); ++k)
            o.rho.take(std::abs(d.spectrum[k] - x.spectrum[k]) /
                           std::max(std::abs(x.spectrum[k]), x.remote_share),
                       d.where + ", frequency " + std::to_string(k + 1));
        if (!d.spectrum.empty())
            o.rho.take(std::fabs(d.rho - x.rho) / std::max(x.rho, x.remote_share),
                       d.where + ", amplitude");
    }
    // The remote potentials are those of a unit current with distances in unit spacings.
    for (const RemoteValue& r : o.file.remote) {
        const double distance = std::hypot(r.source.x - r.at.x, r.source.y - r.at.y);
        const double v =
            spacing * reference::potential(earth_of(g, g.rho1, g.rho2), distance).real();
        o.remote.take(std::fabs(r.value / v - 1.0), r.where);
        ++o.compared;
    }
    return o;
}

// The bounds ---------------------------------------------------------------------------------

// The worst errors a road may show over one earth, each the worst measured over every array
// rounded up by some 5 %: the apparent resistivity (and spectra) of the in-line arrays and of
// the arrays with a second line (per cent; the spectral road refuses the latter), the apparent
// chargeability (mV/V; the data file writes four decimals; spectral data have none) and the
// remote-electrode potentials (per cent). The errors are those of 4 nodes a spacing (2 on the
// default mesh) and are largest for the smallest arrays. Over the conductive layer the
// five-point offset pole-dipole's nearest data read 0.61 %, 0.19 % more than when the
// potentials at a strike distance held the first sample's ratio below the first wavenumber,
// which made them all some 0.15 % low.
struct Bound {
    double in_line, second_line, ip, remote;
};

struct BoundRow {
    const char* road;
    const char* ground;
    Bound bound;
};

const BoundRow bounds[] = {{"FivePoint", "HalfSpace", {1.8, 1.2, 0.0005, 2.5}},
                           {"FivePoint", "ConductiveOverResistive", {2.7, 0.64, 0.0005, 2.3}},
                           {"FivePoint", "ResistiveOverConductive", {2.5, 2.75, 0.0005, 4.1}},
                           {"FivePoint", "HalfSpaceDefaultMesh", {1.6, 0.92, 0.0005, 1.7}},
                           // The arrays with a second line: below the five-point formulation's
                           // bounds over the resistive layer and on the default mesh; above them
                           // by up to 0.4 % on the half-space and over the conductive layer,
                           // where the nine-point samples of the last resolved wavenumber read
                           // 1.6 % low and the five-point ones high. P2 300 m off the end
                           // 0.98 % off on the columns graded around it (0.8 % before), C2
                           // four spacings beside the line 3.4 % over the resistive layer.
                           {"NinePoint", "HalfSpace", {0.96, 1.24, 0.0005, 1.03}},
                           {"NinePoint", "ConductiveOverResistive", {0.86, 1.0, 0.0005, 2.3}},
                           {"NinePoint", "ResistiveOverConductive", {1.36, 1.26, 0.0005, 3.6}},
                           {"NinePoint", "HalfSpaceDefaultMesh", {0.96, 0.81, 0.0005, 0.69}},
                           {"DeyMorrison", "HalfSpace", {2.7, 1.1, 0.0005, 2.3}},
                           {"DeyMorrison", "ConductiveOverResistive", {3.5, 0.8, 0.0005, 2.3}},
                           // Over the resistive layer its samples of the last resolved
                           // wavenumber read up to 6.5 % high; the transform's held ratio hid
                           // some of it (2.95 %, now 3.27).
                           {"DeyMorrison", "ResistiveOverConductive", {2.7, 3.45, 0.0005, 3.9}},
                           {"DeyMorrison", "HalfSpaceDefaultMesh", {3.1, 0.83, 0.0005, 2.0}},
                           {"Band", "HalfSpace", {2.0, 1.3, 0.0005, 2.4}},
                           {"Band", "ConductiveOverResistive", {2.7, 0.77, 0.0005, 2.3}},
                           {"Band", "ResistiveOverConductive", {2.6, 2.6, 0.0005, 4.1}},
                           {"Band", "HalfSpaceDefaultMesh", {3.6, 1.2, 0.0005, 1.7}},
                           {"Sparse", "HalfSpace", {2.0, 1.3, 0.0005, 2.4}},
                           {"Sparse", "ConductiveOverResistive", {2.7, 0.77, 0.0005, 2.3}},
                           {"Sparse", "ResistiveOverConductive", {2.6, 2.6, 0.0005, 4.1}},
                           {"Sparse", "HalfSpaceDefaultMesh", {3.6, 1.2, 0.0005, 1.7}},
                           {"LinearIpFd", "HalfSpace", {1.8, 1.2, 0.0005, 2.5}},
                           {"LinearIpFd", "ConductiveOverResistive", {2.7, 0.64, 0.14, 2.3}},
                           {"LinearIpFd", "ResistiveOverConductive", {2.5, 2.75, 0.34, 4.1}},
                           {"LinearIpFd", "HalfSpaceDefaultMesh", {1.6, 0.92, 0.0005, 1.7}},
                           {"LinearIpFe", "HalfSpace", {2.0, 1.3, 0.0005, 2.4}},
                           {"LinearIpFe", "ConductiveOverResistive", {2.7, 0.77, 0.14, 2.3}},
                           {"LinearIpFe", "ResistiveOverConductive", {2.6, 2.6, 0.33, 4.1}},
                           {"LinearIpFe", "HalfSpaceDefaultMesh", {3.6, 1.2, 0.0005, 1.7}},
                           {"NonLinearIp", "HalfSpace", {2.0, 1.3, 0.0005, 3.8}},
                           {"NonLinearIp", "ConductiveOverResistive", {2.7, 0.77, 0.21, 2.8}},
                           // The equatorial dipole-dipole's chargeability over the resistive
                           // layer: 0.33 mV/V off (0.30 with the held ratio).
                           {"NonLinearIp", "ResistiveOverConductive", {2.6, 2.6, 0.345, 3.7}},
                           {"NonLinearIp", "HalfSpaceDefaultMesh", {3.6, 1.2, 0.0005, 4.1}},
                           // The spectra of the pole arrays take the remote electrodes'
                           // potentials into their differences: a reverse pole-dipole whose
                           // P2 stands 12.5 m from the near C2 reads 3.7 % off over the
                           // resistive layer, its remote potentials 3.4 %.
                           {"Spectral", "HalfSpace", {2.0, 0.0, 0.0005, 2.4}},
                           {"Spectral", "ConductiveOverResistive", {2.8, 0.0, 0.0005, 2.3}},
                           {"Spectral", "ResistiveOverConductive", {3.9, 0.0, 0.0005, 4.1}},
                           {"Spectral", "HalfSpaceDefaultMesh", {3.6, 0.0, 0.0005, 1.7}}};

Bound bound_of(const Road& road, const Ground& g) {
    for (const BoundRow& b : bounds)
        if (std::string(b.road) == road.name && std::string(b.ground) == g.name) return b.bound;
    ADD_FAILURE() << "no bound for " << road.name << " over " << g.name;
    return {};
}

// The pending list: what fails now for faults mended elsewhere. A case here is still run and
// its error shown, but not held to its bound until the entry is removed.
enum class Value { resistivity, remote };

struct Pending {
    const char* road;   // nullptr: every road
    const char* ground; // nullptr: every earth
    const char* survey;
    Value value;
    double measured; // the worst error measured (per cent)
    const char* why;
};

// Nothing waits now.
const std::vector<Pending> pending;

const Pending* pending_of(const Road& road, const Ground& g, const Survey& s, Value v) {
    for (const Pending& p : pending)
        if ((!p.road || std::string(p.road) == road.name) &&
            (!p.ground || std::string(p.ground) == g.name) && std::string(p.survey) == s.name &&
            p.value == v)
            return &p;
    return nullptr;
}

// Holds the worst error `w` (a fraction; the bound in per cent, or mV/V with `absolute`) to
// its bound, unless the case waits on the pending list.
void check(const char* what, const Worst& w, double bound, const Pending* waiting,
           bool absolute = false) {
    const double error = absolute ? w.error : 100.0 * w.error;
    if (waiting) {
        if (error <= bound)
            std::printf("Pending case within its bound now (%s %.4g, bound %.4g): take it off "
                        "the pending list (%s)\n",
                        what, error, bound, waiting->why);
        return;
    }
    EXPECT_LE(error, bound) << what << " at " << w.where;
}

// Data-file sections the arrays must have: additional rows for dipole-dipole, Wenner-
// Schlumberger and both pole-dipoles; a general-array copy of every index-layout array with
// electrodes on the line alone; the remote potentials with remote electrodes.
void check_sections(const Survey& s, const DataFile& file) {
    const int code = s.file_code;
    const bool rows = code == 3 || code == 6 || code == 7 || code == 10;
    EXPECT_EQ(file.additional > 0, rows) << "additional rows: " << file.additional;
    const bool copy = code <= 7;
    EXPECT_EQ(file.general_copy > 0, copy) << "general-array copy: " << file.general_copy;
    EXPECT_EQ(file.remote.size(), s.remote == Remote::none ? 0u : 2u * nelec);
}

// The table ----------------------------------------------------------------------------------

class RoadTable : public ::testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(RoadTable, EveryArrayEveryDatum) {
    const Road& road = roads[std::get<0>(GetParam())];
    const Ground& g = grounds[std::get<1>(GetParam())];
    const Bound b = bound_of(road, g);
    for (const Survey& s : surveys) {
        SCOPED_TRACE(std::string(s.name) + " on the " + road.name + " road over " + g.name);
        const Outcome o = run_case(road, g, s);
        if (!o.failure.empty()) {
            ADD_FAILURE() << o.failure;
            continue;
        }
        if (road.ip == Ip::spectral && spectral_refuses(s)) {
            EXPECT_TRUE(o.refused) << "the spectral road formed data it cannot give";
            continue;
        }
        EXPECT_FALSE(o.refused);
        EXPECT_GT(o.compared, 20);
        check_sections(s, o.file);
        EXPECT_NEAR(o.file.first_x, own_data(g, s) ? first_x : 0.0, 1e-3);
        const bool second_line = s.file_code == 8 || s.file_code == 10;
        check("apparent resistivity (%)", o.rho, second_line ? b.second_line : b.in_line,
              pending_of(road, g, s, Value::resistivity));
        if (road.ip != Ip::none) check("apparent chargeability (mV/V)", o.ip, b.ip, nullptr, true);
        check("remote-electrode potential (%)", o.remote, b.remote,
              pending_of(road, g, s, Value::remote));
    }
}

std::string case_name(const ::testing::TestParamInfo<std::tuple<int, int>>& info) {
    return std::string(roads[std::get<0>(info.param)].name) + "_" +
           grounds[std::get<1>(info.param)].name;
}

INSTANTIATE_TEST_SUITE_P(Roads, RoadTable,
                         ::testing::Combine(::testing::Range(0, int(std::size(roads))),
                                            ::testing::Range(0, int(std::size(grounds)))),
                         case_name);

} // namespace
