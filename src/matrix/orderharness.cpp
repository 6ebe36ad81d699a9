// The ordering trial run and its method dialog.
#include "matrix/orderharness.h"

#include "matrix/blockorder.h"
#include "matrix/blockstore.h"
#include "matrix/gridgraph.h"
#include "matrix/gridorder.h"
#include "matrix/mindegree.h"
#include "matrix/one_based.h"
#include "matrix/ordering.h"
#include "matrix/profile.h"
#include "model/globals.h"
#include "model/services.h"
#include "platform/sys/page_array.h"
#include "platform/sys/sys.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <string>

using mx::OneBased;
using sys::PageArray;
using ControlKind = ui::ControlKind;

SparseOrderOptions sparse_order_options;

namespace {

constexpr int dimension_2d = 1711, dimension_3d = 1712, first_method = 1713, last_method = 1717;

ui::DialogTemplate make_sparse_template() {
    ui::DialogTemplate t("SPARSEDIABOX", "Select method", 160, 130);
    t.controls.push_back({-1, ControlKind::group, "Grid", 6, 4, 60, 44});
    t.controls.push_back({dimension_2d, ControlKind::radio, "2D", 12, 16, 40, 11});
    t.controls.push_back({dimension_3d, ControlKind::radio, "3D", 12, 30, 40, 11});
    t.controls.push_back({-1, ControlKind::group, "Method", 76, 4, 76, 86});
    const char* names[] = {"1WD", "RQT", "GND", "LND", "MD"};
    for (int k = 0; k < 5; ++k)
        t.controls.push_back(
            {first_method + k, ControlKind::radio, names[k], 82, 16 + 14 * k, 60, 11});
    t.controls.push_back({ui::id_ok, ControlKind::push_button, "OK", 14, 104, 56, 16});
    t.controls.push_back({ui::id_cancel, ControlKind::push_button, "Cancel", 90, 104, 56, 16});
    return t;
}

// Grid extents of the run.
constexpr int grid_columns = 30, grid_rows = 15, grid_width_3d = 30;
// Graphs of fewer nodes are not ordered.
constexpr int smallest_grid = 100;
// Subscripts room of the nested-dissection runs, per node: the 3-D grid's local dissection
// needs about 48.
constexpr int subscripts_per_node = 60;
// Settings of the minimum-degree run.
constexpr int md_delta = 1, md_maxint = 0x7FFFFFFE;

// One run: the output file, the grid and its graph. Each method returns 0 when it ran and 1
// when work memory was refused.
class Trial {
  public:
    Trial(std::FILE* file, int dimension);
    int setup();
    int run(int method);

  private:
    void line(const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;
    void box(const char* caption, const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 3, 4)))
#endif
        ;
    void build_graph();
    int one_way_dissection();
    int quotient_tree();
    int nested_dissection();
    int local_nested_dissection();
    int profile();
    int minimum_degree();
    // Position lines of a permutation ("****" for an entry outside 1..n) and "Missing" lines.
    int permutation_lines(const int* perm);
    // Storage figures of a block ordering; `header` false leaves out the method's first lines.
    struct BlockFigures {
        int nblks, envelope, nofnz, capacity;
    };
    void block_report(const BlockFigures& f, bool header);

    sys::File file_;
    bool three_d_;
    int nx_, ny_, nz_, neqns_;
    long band_;
    int adjacency_ = 0; ///< entries of adjncy used
    PageArray<int> xadj_, adjncy_;
};

Trial::Trial(std::FILE* file, int dimension) : file_(file), three_d_(dimension == 1) {
    nx_ = std::max(grid_columns, 6);
    nz_ = std::max(grid_rows, 5);
    ny_ = three_d_ ? grid_width_3d : 1;
    neqns_ = nx_ * ny_ * nz_;
    band_ = three_d_ ? long(neqns_) * (nz_ * (std::min(nx_, ny_) + 1) + 1)
                     : long(neqns_) * (std::min(nx_, nz_) + 1);
}

void Trial::line(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vfprintf(file_.get(), format, args);
    va_end(args);
    std::fflush(file_.get());
}

void Trial::box(const char* caption, const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    model::ask_message(text, caption, ui::mb_ok | ui::mb_iconexclamation);
}

void Trial::build_graph() {
    if (three_d_)
        set_adj_3d_7pt(xadj_.get(), adjncy_.get(), ny_, nx_, nz_);
    else
        set_adj_2d(xadj_.get(), adjncy_.get(), nx_, nz_);
    adjacency_ = xadj_[neqns_] - 1;
}

int Trial::setup() {
    line("nx %d ny %d nz %d neqns %d\n", nx_, ny_, nz_, neqns_);
    if (neqns_ < smallest_grid) return 0;
    line("neqns %d n1 %d\nnband %ld\n", neqns_, int(band_ / neqns_ - 1), band_);
    if (!xadj_.allocate(neqns_ + 1) || !adjncy_.allocate(26 * std::size_t(neqns_))) return 1;
    line(three_d_ ? "seting adj 3d %d\n" : "seting adj 2d %d\n", neqns_);
    build_graph();
    line("\nnx %d ny %d nz %d  neqns %d\n", nx_, ny_, nz_, neqns_);
    return 0;
}

int Trial::run(int method) {
    if (neqns_ < smallest_grid) return 0;
    switch (method) {
    case 1:
        return one_way_dissection();
    case 2:
        return quotient_tree();
    case 3:
        return nested_dissection();
    case 4:
        return local_nested_dissection();
    case 5:
        return profile();
    case 6:
        return minimum_degree();
    default:
        return 0;
    }
}

int Trial::permutation_lines(const int* perm_) {
    PageArray<char> seen(neqns_ + 1);
    if (!seen.ok()) return 1;
    OneBased<const int> perm(perm_);
    for (int k = 1; k <= neqns_; ++k) {
        const int node = perm[k];
        if (node < 1 || node > neqns_) {
            line("%5d  %5d ****\n", k, node);
            continue;
        }
        line("%5d  %5d\n", k, node);
        seen[node] = 1;
    }
    for (int node = 1; node <= neqns_; ++node)
        if (!seen[node]) line("Missing %d\n", node);
    return 0;
}

void Trial::block_report(const BlockFigures& f, bool header) {
    const int stored = std::min(f.nofnz, f.capacity);
    const long primary = long(neqns_) + f.envelope + f.nofnz;
    const long total = primary + 2L * (neqns_ + 1) + stored + 2L * f.nblks + 1;
    const double ratio = double(f.nofnz) / neqns_;
    const double to_band = double(total) / double(band_);
    if (header) line("1WD method\nNumber of off-block-diagonal zeros %d\n", f.nofnz);
    line("Primary storage %ld\nTotal storage %ld", primary, total);
    line("nx %d nz %d neqns %d\nEnvelope size %ld\n", nx_, nz_, neqns_, long(f.envelope));
    line("Number of off-block-diagonal zeros nofnz %d ratio %.2f\n", f.nofnz, ratio);
    line("Band storage %ld\n", band_);
    line("NBLKS %d\n", f.nblks);
    line("Ratio of 1WD storage to band %6.2f\n", to_band);
    box("1WD Message",
        "nx %d ny %d nz %d neqns %d\nmaxnz %d maxnz1 %d\nEnvelope size %ld\nNumber of "
        "off-block-diagonal zeros nofnz %d ratio %.2f\nPrimary storage %ld\nTotal storage "
        "%ld\nBand storage %ld\nRatio of 1WD storage to band %6.2f\n",
        nx_, ny_, nz_, neqns_, f.capacity, stored, long(f.envelope), f.nofnz, ratio, primary, total,
        band_, to_band);
}

int Trial::one_way_dissection() {
    const int n = neqns_;
    PageArray<int> mask(n + 1), xblk(n + 2), perm(n + 1), invp(n + 1), xls(n + 2), ls(n + 1),
        bnum(n + 1), father(n + 1), xenv(n + 2), rows(n + 1), touch(n + 1), xnonz(n + 2),
        nzsubs(adjacency_ + 1);
    for (const PageArray<int>* v : {&mask, &xblk, &perm, &invp, &xls, &ls, &bnum, &father, &xenv,
                                    &rows, &touch, &xnonz, &nzsubs})
        if (!v->ok()) return 1;
    BlockFigures f{};
    f.capacity = adjacency_;
    f.nblks = one_way_dissection_partition(n, xadj_.get(), adjncy_.get(), mask.get(), xblk.get(),
                                           perm.get(), xls.get(), ls.get());
    number_blocks_rcm(xadj_.get(), adjncy_.get(), perm.get(), f.nblks, xblk.get(), bnum.get(),
                      mask.get(), ls.get(), xls.get());
    invrse(n, perm.get(), invp.get());
    find_tree_adjacency_1wd(xadj_.get(), adjncy_.get(), perm.get(), f.nblks, xblk.get(),
                            father.get(), bnum.get());
    f.envelope = find_tree_envelope_1wd(xadj_.get(), adjncy_.get(), perm.get(), invp.get(), f.nblks,
                                        xblk.get(), xenv.get(), rows.get(), touch.get());
    f.nofnz =
        find_off_block_nonzeros_1wd(xadj_.get(), adjncy_.get(), perm.get(), invp.get(), f.nblks,
                                    xblk.get(), xnonz.get(), nzsubs.get(), f.capacity);
    block_report(f, true);
    return 0;
}

int Trial::quotient_tree() {
    const int n = neqns_;
    line("Set adj\n");
    build_graph();
    PageArray<int> perm(n + 1), xblk(n + 2), xls(n + 2), ls(n + 1), nodlvl(n + 1), stack(n + 1),
        bnum(n + 1), invp(n + 1), father(n + 1), xenv(n + 2), xnonz(n + 2), nzsubs(adjacency_ + 1);
    for (const PageArray<int>* v :
         {&perm, &xblk, &xls, &ls, &nodlvl, &stack, &bnum, &invp, &father, &xenv, &xnonz, &nzsubs})
        if (!v->ok()) return 1;
    BlockFigures f{};
    f.capacity = adjacency_;
    line("genrqt neqns %d\n", n);
    f.nblks = genrqt(file_.get(), n, xadj_.get(), adjncy_.get(), perm.get(), xblk.get(), xls.get(),
                     ls.get(), nodlvl.get(), stack.get());
    if (permutation_lines(perm.get()) != 0) return 1;
    line("bshufls nblks %d\n", f.nblks);
    bshufls(xadj_.get(), adjncy_.get(), perm.get(), f.nblks, xblk.get(), bnum.get(), nodlvl.get(),
            ls.get(), xls.get());
    line("invrse\n");
    line("Perm vector\n");
    if (permutation_lines(perm.get()) != 0) return 1;
    invrse(n, perm.get(), invp.get());
    line("fntadjs\n");
    fntadjs(xadj_.get(), adjncy_.get(), perm.get(), f.nblks, xblk.get(), father.get(), bnum.get());
    line("fntenv\n");
    f.envelope =
        fntenv(xadj_.get(), adjncy_.get(), perm.get(), invp.get(), f.nblks, xblk.get(), xenv.get());
    if (f.envelope < 0) return 1;
    line("fnofnzs\n");
    f.nofnz = fnofnzs(xadj_.get(), adjncy_.get(), perm.get(), invp.get(), f.nblks, xblk.get(),
                      xnonz.get(), nzsubs.get(), f.capacity);
    line("RQT method maxnz %d maxnz1 %d\nNumber of off-block-diagonal zeros nofnz %d\n", f.capacity,
         std::min(f.nofnz, f.capacity), f.nofnz);
    block_report(f, false);
    return 0;
}

int Trial::nested_dissection() {
    const int n = neqns_;
    const int capacity = subscripts_per_node * n;
    PageArray<int> perm(n + 1), invp(n + 1), xlnz(n + 2), xnzsub(n + 2), nzsub(capacity);
    for (const PageArray<int>* v : {&perm, &invp, &xlnz, &xnzsub, &nzsub})
        if (!v->ok()) return 1;
    int maxlnz = 0, maxsub = capacity;
    nd_order_and_symbolic_factorisation(maxlnz, n, xadj_.get(), adjncy_.get(), xlnz.get(),
                                        xnzsub.get(), nzsub.get(), perm.get(), invp.get(), maxsub);
    const long primary = long(n) + maxlnz;
    const long secondary = long(maxsub) + 2L * (n + 1);
    line("ND method\nTotal primary storage %ld\n", primary);
    line("Band storage %ld\n", band_);
    line("Ratio of primary storage to band %6.2f\n", double(primary) / double(band_));
    box("ND Message",
        "nx %d ny %d nz %d  neqns %d\nTotal primary storage %d\nSecondary storage %d\nBand "
        "storage %ld\nRatio of primary storage to band %6.2f\nRatio to secondary storage to grid "
        "size %.2f\nRatio of total storage to band %6.2f\n",
        nx_, ny_, nz_, n, int(primary), int(secondary), band_, double(primary) / double(band_),
        double(secondary) / n, double(primary + secondary) / double(band_));
    line("ND xlnz  xnzsub\n");
    for (int k = 1; k <= n; ++k)
        line("%5d %6d %6d\n", k, xlnz[k - 1], xnzsub[k - 1]);
    return 0;
}

int Trial::local_nested_dissection() {
    const int n = neqns_;
    line("LND method test\nnx %d ny %d nz %d neqns %d\n", nx_, ny_, nz_, n);
    const int p1 = nz_ > 19 ? 5 : 4;
    const int p2 = std::max(2, (nx_ - nz_) * p1 / nz_);
    const int p3 = 1;
    line("p1 %d p2 %d p3 %d\n", p1, p2, p3);
    const int capacity = subscripts_per_node * n;
    PageArray<int> old_to_new(n + 1), perm(n + 1), invp(n + 1), xlnz(n + 2), xnzsub(n + 2),
        nzsub(capacity);
    for (const PageArray<int>* v : {&old_to_new, &perm, &invp, &xlnz, &xnzsub, &nzsub})
        if (!v->ok()) return 1;
    // The grids number their nodes depth fastest in 3-D (nz, ny, nx) and along the columns in
    // 2-D (nx, nz); the domain counts follow the extents they were made for.
    int status;
    if (three_d_) {
        status = nd_order_3d(old_to_new.get(), nz_, ny_, nx_, p1, p3, p2);
    } else {
        line("p1 %d p2 %d\n", p2, p1);
        status = nd_order_2d(old_to_new.get(), nx_, nz_, p2, p1);
    }
    int flag = 1, maxlnz = 0, maxsub = capacity;
    if (status != grid_order_failed) {
        for (int k = 0; k < n; ++k)
            invp[k] = old_to_new[k] + 1;
        if (!three_d_) {
            line("invpi\n");
            for (int k = 0; k < n; ++k)
                line("%4d ", invp[k]);
            line("\n");
        }
        line("LND completed\n");
        invrse(n, invp.get(), perm.get());
        line("symbol %d\n", capacity);
        flag = symbolic_factorisation_driver(n, maxlnz, xadj_.get(), adjncy_.get(), perm.get(),
                                             invp.get(), xlnz.get(), xnzsub.get(), nzsub.get(),
                                             maxsub);
    }
    const long primary = long(n) + maxlnz;
    line("LND method sf flag %d\nNo of off diagonal nonz. %ld\nnofsubmax %d nofsub %d\nRatio of "
         "secondary storage to no of nodes %.2f\n",
         flag, long(maxlnz), capacity, maxsub, double(maxsub + 2L * (n + 1)) / n);
    line("Off diagonal Band storage %ld\n", band_ - n);
    line("Ratio of primary storage to band %6.2f\n", double(primary) / double(band_));
    box("LND Message", "nx %d ny %d nz %d neqns %d\nLND flag %d\n", nx_, ny_, nz_, n, flag);
    return 0;
}

int Trial::profile() {
    const int n = neqns_;
    PageArray<int> newnum(n + 1), work(4 * std::size_t(n) + 1);
    if (!newnum.ok() || !work.ok()) return 1;
    int old_profile = 0, ncomp = 0;
    const int kept =
        profile_order(n, xadj_.get(), adjncy_.get(), newnum.get(), work.get(), old_profile, ncomp);
    box("Profile Message", "nx %d ny %d nz %d\nBand method %d\nNew profile %d\nRatio %.2f", nx_,
        ny_, nz_, int(band_), kept, double(kept) / double(band_));
    return 0;
}

int Trial::minimum_degree() {
    const int n = neqns_;
    PageArray<int> adjncy(adjacency_ + 1), perm(n + 1), invp(n + 1), dhead(n + 1), qsize(n + 1),
        llist(n + 1), marker(n + 1), xlnz(n + 2), xnzsub(n + 2);
    for (const PageArray<int>* v :
         {&adjncy, &perm, &invp, &dhead, &qsize, &llist, &marker, &xlnz, &xnzsub})
        if (!v->ok()) return 1;
    std::copy(adjncy_.get(), adjncy_.get() + adjacency_, adjncy.get());
    int nofsub = 0;
    minimum_degree_order(n, xadj_.get(), adjncy.get(), invp.get(), perm.get(), md_delta,
                         dhead.get(), qsize.get(), llist.get(), marker.get(), md_maxint, nofsub);
    // The bound of the ordering is the capacity of the subscripts.
    const int capacity = nofsub;
    PageArray<int> nzsub(capacity + 1);
    if (!nzsub.ok()) return 1;
    int maxlnz = 0, maxsub = capacity;
    const int flag =
        symbolic_factorisation_driver(n, maxlnz, xadj_.get(), adjncy_.get(), perm.get(), invp.get(),
                                      xlnz.get(), xnzsub.get(), nzsub.get(), maxsub);
    const long primary = long(n) + maxlnz;
    const long total = primary + maxsub + 2L * (n + 1);
    line("MD method\nTotal primary storage %ld nofsubmax %d nofsub %d\n", primary, capacity,
         maxsub);
    line("Band storage %ld\n", band_);
    line("Ratio of primary storage to band %6.2f\n", double(primary) / double(band_));
    box("MD Message",
        "nx %d nz %d neqns %d\nflag %d\nTotal primary storage %ld nofsubmax %ld nofsub "
        "%d\nBand storage %ld\nRatio of primary storage to band %6.2f\nRatio of total storage "
        "to band %6.2f\n",
        nx_, nz_, n, flag, primary, long(capacity), maxsub, band_, double(primary) / double(band_),
        double(total) / double(band_));
    line("Ratio of total storage to band %6.2f\n", double(total) / double(band_));
    return 0;
}

} // namespace

const ui::DialogTemplate SPARSEDIABOX = make_sparse_template();

bool SparseDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args) {
    SparseOrderOptions& o = sparse_order_options;
    if (event == ui::DialogEvent::init) {
        o = SparseOrderOptions{};
        dialog.check_radio(dimension_2d, dimension_3d, dimension_2d);
        dialog.check_radio(first_method, last_method, first_method);
        return true;
    }
    if (event != ui::DialogEvent::command) return false;
    if (args.id == dimension_2d || args.id == dimension_3d) {
        o.dimension = args.id - dimension_2d;
        dialog.check_radio(dimension_2d, dimension_3d, args.id);
        return true;
    }
    if (args.id >= first_method && args.id <= last_method) {
        o.method = args.id - first_method + 1;
        dialog.check_radio(first_method, last_method, args.id);
        return true;
    }
    if (args.id == ui::id_ok) {
        dialog_result = 1;
        dialog.end(1);
        return true;
    }
    if (args.id == ui::id_cancel) {
        dialog.end(0);
        return true;
    }
    return false;
}

int sparse_order_test() {
    const std::string path = sys::program_dir() + "1wd2dtest.txt";
    std::FILE* file = std::fopen(path.c_str(), "wt");
    if (!file) {
        char text[400];
        std::snprintf(text, sizeof text, "There has been an error in creating\nthe file %s.",
                      path.c_str());
        model::show_message(text, "Error Message");
        return 1;
    }
    Trial trial(file, sparse_order_options.dimension);
    if (trial.setup() != 0 || trial.run(sparse_order_options.method) != 0) {
        model::show_message("Insufficient memory", "Message");
        return 1;
    }
    return 0;
}
