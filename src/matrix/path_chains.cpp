// The inverse's entries between a set of rows, chain by chain along their paths.
#include "matrix/path_chains.h"

#include "matrix/simd.h"
#include "platform/sys/page_array.h"
#include "platform/sys/verify.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <new>

namespace mx {

namespace {

using Vec = mx::simd::Vec<double>;
using mx::simd::load;
constexpr int vec_width = mx::simd::width<double>;

std::size_t place_of_pair(int i, int j) {
    return std::size_t(j) * std::size_t(j - 1) / 2 + std::size_t(i);
}

// The rows of column k of the structure.
struct Column {
    const int *xlnz, *xnzsub, *nzsub;
    int begin(int k) const { return xlnz[k - 1]; }
    int end(int k) const { return xlnz[k]; }
    int row(int k, int t) const { return nzsub[xnzsub[k - 1] + (t - xlnz[k - 1]) - 1]; }
};

} // namespace

bool PathChains::plan(int count, const int* rows, int n, const int* xlnz, const int* xnzsub,
                      const int* nzsub, const int* parent) try {
    *this = PathChains{};
    const Column column{xlnz, xnzsub, nzsub};
    // A row belongs to its parent's chain when the same paths pass both (as many pass: those
    // through a row pass its parent); rows come after their parents from n down, so the chains
    // are numbered from the roots down.
    sys::PageArray<int> through(std::size_t(n) + 1), chain_of(std::size_t(n) + 1),
        place(std::size_t(n) + 1), path_of(std::size_t(n) + 1);
    if (!through.ok() || !chain_of.ok() || !place.ok() || !path_of.ok()) return false;
    std::fill(through.get(), through.get() + n + 1, 0);
    std::fill(path_of.get(), path_of.get() + n + 1, -1);
    for (int i = 0; i < count; ++i) {
        through[std::size_t(rows[i])] = 1;
        path_of[std::size_t(rows[i])] = i;
    }
    // Children before their parents.
    for (int k = 1; k <= n; ++k)
        if (parent[k - 1] != 0) through[std::size_t(parent[k - 1])] += through[std::size_t(k)];
    int number = 0;
    for (int k = n; k >= 1; --k) {
        if (through[std::size_t(k)] == 0) continue;
        const int p = parent[k - 1];
        const bool joins = p != 0 && through[std::size_t(p)] == through[std::size_t(k)];
        const int c = joins ? chain_of[std::size_t(p)] : number++;
        chain_of[std::size_t(k)] = c;
        if (!joins) {
            chains_.emplace_back();
            chains_.back().members = through[std::size_t(k)];
            chains_.back().stride =
                (through[std::size_t(k)] + vec_width - 1) / vec_width * vec_width;
            const int above = p == 0 ? -1 : chain_of[std::size_t(p)];
            chains_.back().parent = above;
            chains_.back().updates = column.end(k) - column.begin(k);
        }
        Chain& chain = chains_[std::size_t(c)];
        chain.bottom = k;
        ++chain.length;
    }
    std::size_t at = 0;
    for (Chain& c : chains_) {
        c.member_at = at;
        at += std::size_t(c.members);
        c.values_at = value_count_;
        value_count_ += std::size_t(c.length) * std::size_t(c.stride);
    }
    // Children, and the places in every front: first the chain's rows from its bottom up, then
    // the rows of its top row's column.
    std::vector<std::size_t> child_count(chains_.size() + 1, 0);
    for (const Chain& c : chains_)
        if (c.parent >= 0) ++child_count[std::size_t(c.parent) + 1];
    child_at_.assign(chains_.size() + 1, 0);
    for (std::size_t c = 0; c < chains_.size(); ++c)
        child_at_[c + 1] = child_at_[c] + child_count[c + 1];
    children_.assign(child_at_.back(), 0);
    std::vector<std::size_t> next(child_at_.begin(), child_at_.end() - 1);
    // Children from the highest number down, so that the postorder below takes them that way.
    for (int c = int(chains_.size()) - 1; c >= 0; --c)
        if (chains_[std::size_t(c)].parent >= 0)
            children_[next[std::size_t(chains_[std::size_t(c)].parent)]++] = c;
    for (std::size_t c = 0; c < chains_.size(); ++c) {
        Chain& chain = chains_[c];
        int k = chain.bottom, top = k;
        for (int t = 0; t < chain.length; ++t, k = parent[k - 1]) {
            place[std::size_t(k)] = t;
            top = k;
        }
        for (int e = column.begin(top); e < column.end(top); ++e)
            place[std::size_t(column.row(top, e))] = chain.length + (e - column.begin(top));
        chain.entry_at = entry_place_.size();
        k = chain.bottom;
        for (int t = 0; t < chain.length; ++t, k = parent[k - 1])
            for (int e = column.begin(k); e < column.end(k); ++e) {
                const int q = place[std::size_t(column.row(k, e))];
                VERIFY(q > t && q < chain.length + chain.updates, q);
                entry_place_.push_back(q);
            }
        for (std::size_t d = child_at_[c]; d < child_at_[c + 1]; ++d) {
            Chain& child = chains_[std::size_t(children_[d])];
            int child_top = child.bottom;
            for (int t = 1; t < child.length; ++t)
                child_top = parent[child_top - 1];
            child.update_at = update_place_.size();
            for (int e = column.begin(child_top); e < column.end(child_top); ++e) {
                const int q = place[std::size_t(column.row(child_top, e))];
                VERIFY(q >= 0 && q < chain.length + chain.updates, q);
                update_place_.push_back(q);
            }
        }
        // Stale places of this front must not be taken for the next one's.
        k = chain.bottom;
        for (int t = 0; t < chain.length; ++t, k = parent[k - 1])
            place[std::size_t(k)] = -1;
        for (int e = column.begin(top); e < column.end(top); ++e)
            place[std::size_t(column.row(top, e))] = -1;
    }
    // The members, ascending in every chain: its children's and the path that starts at its
    // bottom row (children come after their parents); then where each chain's members are among
    // its parent's.
    member_.assign(at, 0);
    member_place_.assign(at, 0);
    for (int c = int(chains_.size()) - 1; c >= 0; --c) {
        Chain& chain = chains_[std::size_t(c)];
        int* mine = member_.data() + chain.member_at;
        int filled = 0;
        for (std::size_t d = child_at_[std::size_t(c)]; d < child_at_[std::size_t(c) + 1]; ++d) {
            const Chain& child = chains_[std::size_t(children_[d])];
            std::copy_n(member_.data() + child.member_at, child.members, mine + filled);
            filled += child.members;
        }
        const int starting = path_of[std::size_t(chain.bottom)];
        if (starting >= 0) mine[filled++] = starting;
        VERIFY(filled == chain.members, filled);
        std::sort(mine, mine + filled);
        if (starting >= 0)
            chain.start = int(std::lower_bound(mine, mine + filled, starting) - mine);
    }
    for (Chain& c : chains_) {
        if (c.parent < 0) continue;
        const int* theirs = member_.data() + chains_[std::size_t(c.parent)].member_at;
        int q = 0;
        for (int m = 0; m < c.members; ++m) {
            const int path = member_[c.member_at + std::size_t(m)];
            while (theirs[q] != path)
                ++q;
            member_place_[c.member_at + std::size_t(m)] = q;
        }
    }
    split_parts();
    return true;
} catch (const std::bad_alloc&) {
    *this = PathChains{};
    return false;
}

void PathChains::split_parts() {
    // The work of every chain's forward pass, then of its subtree (children after parents).
    const std::size_t count = chains_.size();
    std::vector<double> own(count), subtree(count);
    for (std::size_t c = 0; c < count; ++c) {
        const std::size_t entries =
            (c + 1 < count ? chains_[c + 1].entry_at : entry_place_.size()) - chains_[c].entry_at;
        own[c] = double(chains_[c].stride) *
                 double(entries + std::size_t(chains_[c].length + chains_[c].updates));
        subtree[c] = own[c];
    }
    for (std::size_t c = count; c-- > 0;)
        if (chains_[c].parent >= 0) subtree[std::size_t(chains_[c].parent)] += subtree[c];
    // Subtrees dealt to the two parts, largest first to the lighter; while that leaves them
    // uneven, the largest subtree's top chain goes to the rest and its children are dealt
    // instead. The best deal of a few such steps is kept.
    std::vector<int> frontier, rest, best_frontier, best_rest;
    std::vector<int> bin, best_bin;
    for (std::size_t c = 0; c < count; ++c)
        if (chains_[c].parent < 0) frontier.push_back(int(c));
    double best = -1.0;
    for (int step = 0; step <= 16 && !frontier.empty(); ++step) {
        std::sort(frontier.begin(), frontier.end(), [&](int a, int b) {
            return subtree[std::size_t(a)] > subtree[std::size_t(b)] ||
                   (subtree[std::size_t(a)] == subtree[std::size_t(b)] && a < b);
        });
        double sum[2] = {0.0, 0.0}, above = 0.0;
        bin.assign(frontier.size(), 0);
        for (std::size_t f = 0; f < frontier.size(); ++f) {
            bin[f] = sum[1] < sum[0] ? 1 : 0;
            sum[bin[f]] += subtree[std::size_t(frontier[f])];
        }
        for (int c : rest)
            above += own[std::size_t(c)];
        const double cost = std::max(sum[0], sum[1]) + above;
        if (best < 0.0 || cost < best) {
            best = cost;
            best_frontier = frontier;
            best_bin = bin;
            best_rest = rest;
        }
        const int top = frontier.front();
        if (child_at_[std::size_t(top)] == child_at_[std::size_t(top) + 1]) break;
        frontier.erase(frontier.begin());
        rest.push_back(top);
        for (std::size_t d = child_at_[std::size_t(top)]; d < child_at_[std::size_t(top) + 1]; ++d)
            frontier.push_back(children_[d]);
    }
    // Each part's chains in postorder, and the stack: within a part, a chain's children's update
    // rows lie on top of it, one after the other, when the chain is worked on, and its own are
    // put above them and moved down in their place once it is done. The second part's stack lies
    // above all the first's, so that both may run at once; the rest's chains keep their update
    // rows where they are made, above both.
    for (auto& order : order_)
        order.clear();
    std::vector<std::pair<int, std::size_t>> open;
    for (int part = 0; part < 2; ++part)
        for (std::size_t f = 0; f < best_frontier.size(); ++f) {
            if (best_bin[f] != part) continue;
            const int root = best_frontier[f];
            open.emplace_back(root, child_at_[std::size_t(root)]);
            while (!open.empty()) {
                auto& [c, d] = open.back();
                if (d < child_at_[std::size_t(c) + 1]) {
                    const int child = children_[d++];
                    open.emplace_back(child, child_at_[std::size_t(child)]);
                    continue;
                }
                order_[std::size_t(part)].push_back(c);
                open.pop_back();
            }
        }
    order_[2] = best_rest;
    std::sort(order_[2].begin(), order_[2].end(), std::greater<int>());
    for (int part = 0; part < 3; ++part) {
        std::size_t stack = work_count_;
        for (int c : order_[std::size_t(part)]) {
            Chain& chain = chains_[std::size_t(c)];
            const std::size_t size = std::size_t(chain.updates) * std::size_t(chain.stride);
            std::size_t base = stack;
            if (part < 2 && child_at_[std::size_t(c)] < child_at_[std::size_t(c) + 1])
                base = chains_[std::size_t(children_[child_at_[std::size_t(c)]])].stacked_at;
            chain.front_at = stack;
            work_count_ = std::max(work_count_, stack + size);
            chain.stacked_at = base;
            stack = base + size;
        }
    }
}

namespace {

// One chain of the forward pass: the children's update rows added in (`children` of them, the
// children's chains at `child`), then the chain's rows from its bottom up, each row's values
// divided by its pivot and its column's multiples of them taken from the rows above. Whole
// vectors throughout: the padding after the members stays zero.
struct ChainStep {
    int length, stride, updates, bottom;
    double* y;        ///< the chain's rows
    double* above;    ///< its update rows
    const int* entry; ///< its column entries' places
};

// A row of a front: vector q of its values at at + q step, the values of member m at
// at + (m / vec_width) step + m % vec_width. The chain's rows lie in panels of a vector of
// members down the chain's rows (so that a pair's values follow one another), the update rows
// row after row.
struct FrontRow {
    double* at;
    std::size_t step;
    VELDARIN_INLINE double& operator[](int m) const {
        return at[std::size_t(m / vec_width) * step + std::size_t(m % vec_width)];
    }
};

VELDARIN_INLINE FrontRow front_row(const ChainStep& c, int q) {
    if (q < c.length) return {c.y + std::size_t(q) * vec_width, std::size_t(c.length) * vec_width};
    return {c.above + std::size_t(q - c.length) * std::size_t(c.stride), vec_width};
}

VELDARIN_KERNEL void forward_chain(const ChainStep& c, const TreeFactor& f) {
    const Column column{f.xlnz, f.xnzsub, f.nzsub};
    const int* entry = c.entry;
    const int vectors = c.stride / vec_width;
    int k = c.bottom;
    for (int t = 0; t < c.length; ++t, k = f.parent[k - 1]) {
        const FrontRow yt = front_row(c, t);
        const double d = f.diag[k - 1];
        for (int q = 0; q < vectors; ++q) {
            double* v = yt.at + std::size_t(q) * yt.step;
            mx::simd::store(v, load<double>(v) / d);
        }
        for (int e = column.begin(k); e < column.end(k); ++e) {
            const FrontRow row = front_row(c, *entry++);
            const double l = f.lnz[e - 1];
            for (int q = 0; q < vectors; ++q) {
                double* v = row.at + std::size_t(q) * row.step;
                mx::simd::store(v, load<double>(v) -
                                       l * load<double>(yt.at + std::size_t(q) * yt.step));
            }
        }
    }
}

} // namespace

void PathChains::columns(const TreeFactor& f, double* values, double* work) const {
    for (int part = 0; part < 3; ++part)
        columns(part, f, values, work);
}

void PathChains::columns(int part, const TreeFactor& f, double* values, double* work) const {
    for (int c : order_[std::size_t(part)]) {
        const Chain& chain = chains_[std::size_t(c)];
        const ChainStep step{chain.length,
                             chain.stride,
                             chain.updates,
                             chain.bottom,
                             values + chain.values_at,
                             work + chain.front_at,
                             entry_place_.data() + chain.entry_at};
        std::fill(step.y, step.y + std::size_t(chain.length) * std::size_t(chain.stride), 0.0);
        std::fill(step.above, step.above + std::size_t(chain.updates) * std::size_t(chain.stride),
                  0.0);
        if (chain.start >= 0) front_row(step, 0)[chain.start] = 1.0;
        // The children's update rows, each member's from the one child it comes through.
        for (std::size_t d = child_at_[std::size_t(c)]; d < child_at_[std::size_t(c) + 1]; ++d) {
            const Chain& child = chains_[std::size_t(children_[d])];
            const double* theirs = work + child.stacked_at;
            const int* members = member_place_.data() + child.member_at;
            for (int u = 0; u < child.updates; ++u) {
                const FrontRow row =
                    front_row(step, update_place_[child.update_at + std::size_t(u)]);
                const double* from = theirs + std::size_t(u) * std::size_t(child.stride);
                for (int m = 0; m < child.members; ++m)
                    row[members[m]] += from[m];
            }
        }
        forward_chain(step, f);
        if (chain.stacked_at != chain.front_at)
            std::memmove(work + chain.stacked_at, step.above,
                         std::size_t(chain.updates) * std::size_t(chain.stride) * sizeof(double));
    }
}

namespace {

// The pairs (a, b), a < b, lo <= b < hi, of the members of a chain of `length` rows, their
// values in panels (FrontRow): a vector of a by four b side by side, every pair summed from the
// chain's top row down, going on from the packed entry the chains above left. The lanes of
// pairs outside are worked too and not stored. Where the a of a vector are paths one after the
// other (as the paths of neighbouring electrodes are), their entries lie one after the other in
// the packed columns and are moved as a whole.
constexpr int pair_b = 4; // the b of a tile

// The tile of `av` vectors of a from a0 by pair_b b from b0 (see chain_pairs): av (1 or 2)
// times pair_b sums side by side, so that the additions of a row do not wait on each other.
template <int av>
VELDARIN_INLINE void pair_tile(int length, const double* y, const int* member, int lo, int hi,
                               int a0, int b0, const std::size_t* column, double* packed) {
    const std::size_t panel = std::size_t(length) * vec_width;
    const double* yb = y + std::size_t(b0 / vec_width) * panel + std::size_t(b0 % vec_width);
    const int b_end = std::min(hi, b0 + pair_b);
    const double* ya[av];
    bool whole[av];
    Vec acc[av][pair_b];
    for (int v = 0; v < av; ++v) {
        const int a = a0 + v * vec_width;
        ya[v] = y + std::size_t(a / vec_width) * panel;
        whole[v] = a + vec_width <= b0 && b0 >= lo && b_end == b0 + pair_b &&
                   member[a + vec_width - 1] - member[a] == vec_width - 1;
        for (int l = 0; l < pair_b; ++l) {
            if (whole[v]) {
                acc[v][l] = load<double>(packed + column[l] + std::size_t(member[a]));
                continue;
            }
            for (int k = 0; k < vec_width; ++k) {
                const int i = a + k, j = b0 + l;
                acc[v][l][k] =
                    i < j && j >= lo && j < hi ? packed[column[l] + std::size_t(member[i])] : 0.0;
            }
        }
    }
    for (int t = length - 1; t >= 0; --t) {
        const double* b = yb + std::size_t(t) * vec_width;
#pragma GCC unroll 2
        for (int v = 0; v < av; ++v) {
            const Vec a = load<double>(ya[v] + std::size_t(t) * vec_width);
#pragma GCC unroll 4
            for (int l = 0; l < pair_b; ++l)
                acc[v][l] += b[l] * a;
        }
    }
    for (int v = 0; v < av; ++v) {
        const int a = a0 + v * vec_width;
        for (int l = 0; l < pair_b; ++l) {
            if (whole[v]) {
                mx::simd::store(packed + column[l] + std::size_t(member[a]), acc[v][l]);
                continue;
            }
            for (int k = 0; k < vec_width; ++k) {
                const int i = a + k, j = b0 + l;
                if (i < j && j >= lo && j < hi)
                    packed[column[l] + std::size_t(member[i])] = acc[v][l][k];
            }
        }
    }
}

VELDARIN_KERNEL void chain_pairs(int length, const double* y, const int* member, int lo, int hi,
                                 double* packed) {
    for (int b0 = lo / pair_b * pair_b; b0 < hi; b0 += pair_b) {
        const int b_end = std::min(hi, b0 + pair_b);
        std::size_t column[pair_b];
        for (int l = 0; l < pair_b; ++l)
            column[l] = b0 + l < hi ? place_of_pair(0, member[b0 + l]) : 0;
        int a0 = 0;
        for (; a0 + vec_width < b_end - 1; a0 += 2 * vec_width)
            pair_tile<2>(length, y, member, lo, hi, a0, b0, column, packed);
        if (a0 < b_end - 1) pair_tile<1>(length, y, member, lo, hi, a0, b0, column, packed);
    }
}

} // namespace

namespace {

// The diagonal entries of a chain's members lo..hi-1, a panel at a time: each member's sum of
// squares from the chain's top row down, going on from the value the chains above left.
VELDARIN_KERNEL void chain_diagonal(int length, const double* y, const int* member, int lo, int hi,
                                    double* diagonal) {
    for (int m0 = lo / vec_width * vec_width; m0 < hi; m0 += vec_width) {
        const double* panel = y + std::size_t(m0 / vec_width) * std::size_t(length) * vec_width;
        Vec sum;
        for (int l = 0; l < vec_width; ++l)
            sum[l] = m0 + l >= lo && m0 + l < hi ? diagonal[member[m0 + l]] : 0.0;
        for (int t = length - 1; t >= 0; --t) {
            const Vec v = load<double>(panel + std::size_t(t) * vec_width);
            sum += v * v;
        }
        for (int l = 0; l < vec_width; ++l)
            if (m0 + l >= lo && m0 + l < hi) diagonal[member[m0 + l]] = sum[l];
    }
}

} // namespace

void PathChains::products(int j_first, int j_last, const double* values, double* packed,
                          double* diagonal) const {
    const int d_first = j_first <= 1 ? 0 : j_first;
    j_first = std::max(j_first, 1);
    if (j_last <= d_first) return;
    if (j_last > j_first)
        std::fill(packed + place_of_pair(0, j_first), packed + place_of_pair(0, j_last), 0.0);
    std::fill(diagonal + d_first, diagonal + j_last, 0.0);
    for (const Chain& chain : chains_) {
        const int* member = member_.data() + chain.member_at;
        const int* end = member + chain.members;
        const int lo = int(std::lower_bound(member, end, j_first) - member);
        const int hi = int(std::lower_bound(member, end, j_last) - member);
        const int d_lo = int(std::lower_bound(member, end, d_first) - member);
        if (lo < hi) chain_pairs(chain.length, values + chain.values_at, member, lo, hi, packed);
        if (d_lo < hi)
            chain_diagonal(chain.length, values + chain.values_at, member, d_lo, hi, diagonal);
    }
}

} // namespace mx
