// The polar mesh: node numbers of the elements, node and element coordinates, electrode marks
// and the node adjacency built from the elements' node lists.
#include "cylinder/mesh.h"

#include <algorithm>
#include <cmath>

namespace cyl {

void quad_nodes(int n, int R, int s, int j, int (&local)[8]) {
    const int per_sector = 3 * R + 2;
    const int b = (s - 1) * per_sector + 2 * j - 2;
    const int m = (s - 1) * per_sector + 2 * R + 1 + j;
    // The closing line is the starting line of the next sector; sector n closes on sector 1.
    const int c = s < n ? s * per_sector + 2 * j : 2 * j;
    const int nodes[8] = {c - 1, m, b + 1, b + 2, b + 3, m + 1, c + 1, c};
    std::copy(nodes, nodes + 8, local);
}

MeshResult check_polar_mesh(int n, int nr, int k, const float* radii) {
    if (n < 1 || nr < 2 || k < 1) return mesh_bad_size;
    for (int i = 1; i < nr; ++i)
        if (!(radii[i] < radii[i - 1])) return mesh_bad_radii;
    if (!(radii[nr - 1] > 0.0f)) return mesh_bad_centre;
    return mesh_ok;
}

namespace {

// The mesh in node coordinates of type T, dt = two_pi / n, angles accumulated in T.
template <class T>
int polar_mesh(int n, int nr, int k, const float* radii, T two_pi, T* node_x, T* node_y,
               float* element_x, float* element_y, std::int32_t* element_kind, float* electrode_x,
               float* electrode_y) {
    const int R = nr - 1;
    const T dt = two_pi / T(n);
    auto set_node = [&](int node, T r, T angle) {
        node_x[node - 1] = r * std::cos(angle);
        node_y[node - 1] = r * std::sin(angle);
    };
    auto set_corner = [&](int e, int local, T r, T angle) {
        element_x[8 * (e - 1) + local - 1] = float(r * std::cos(angle));
        element_y[8 * (e - 1) + local - 1] = float(r * std::sin(angle));
    };
    int electrode = 0;
    for (int j = 1; j <= R; ++j) {
        const T outer = radii[j - 1], inner = radii[j], mid = (outer + inner) * T(0.5);
        T start = -dt / T(2);
        for (int s = 1; s <= n; ++s, start += dt) {
            int l[8];
            quad_nodes(n, R, s, j, l);
            const T middle = start + dt / T(2), close = start + dt;
            // The closing-line nodes are set when their own sector comes.
            set_node(l[2], outer, start);
            set_node(l[3], mid, start);
            set_node(l[4], inner, start);
            set_node(l[1], outer, middle);
            set_node(l[5], inner, middle);
            const int e = (j - 1) * n + s;
            const T r[8] = {outer, outer, outer, mid, inner, inner, inner, mid};
            const T a[8] = {close, middle, start, start, start, middle, close, close};
            for (int q = 0; q < 8; ++q)
                set_corner(e, q + 1, r[q], a[q]);
            element_kind[e - 1] = 8;
            if (j == 1 && (s - 1) % k == 0) {
                electrode_x[2 * electrode] = float(outer * std::cos(middle));
                electrode_y[2 * electrode] = float(outer * std::sin(middle));
                electrode_x[2 * electrode + 1] = float(T(1.04) * outer * std::cos(middle));
                electrode_y[2 * electrode + 1] = float(T(1.04) * outer * std::sin(middle));
                ++electrode;
            }
        }
    }
    const T last = radii[R];
    T start = -dt / T(2);
    for (int s = 1; s <= n; ++s, start += dt) {
        const int e = R * n + s;
        set_corner(e, 1, last, start + dt);
        set_corner(e, 2, last, start + dt / T(2));
        set_corner(e, 3, last, start);
        for (int q = 4; q <= 8; ++q)
            set_corner(e, q, T(0), T(0));
        element_kind[e - 1] = 4;
    }
    const int N = polar_node_count(n, nr);
    node_x[N - 1] = node_y[N - 1] = T(0);
    return n * nr;
}

// Node list of element e (0-based, in mesh order) of the mesh of n sectors and R rings.
int element_nodes(int n, int R, int e, int (&nodes)[8]) {
    if (e < n * R) {
        quad_nodes(n, R, e % n + 1, e / n + 1, nodes);
        return 8;
    }
    int l[8];
    quad_nodes(n, R, e - n * R + 1, R, l);
    nodes[0] = l[4];
    nodes[1] = l[5];
    nodes[2] = l[6];
    nodes[3] = n * (3 * R + 2) + 1;
    return 4;
}

} // namespace

MeshResult build_polar_mesh(int n, int nr, int k, const float* radii, PolarMesh& mesh) {
    mesh = PolarMesh();
    if (const MeshResult bad = check_polar_mesh(n, nr, k, radii)) return bad;
    PolarMesh m;
    m.sectors = n;
    m.radii = nr;
    m.per_spacing = k;
    const std::size_t N = std::size_t(m.nodes()), E = std::size_t(m.elements());
    const std::size_t marks = 2 * std::size_t(m.electrodes());
    if (!m.node_x.allocate(N) || !m.node_y.allocate(N) || !m.element_x.allocate(8 * E) ||
        !m.element_y.allocate(8 * E) || !m.element_kind.allocate(E) ||
        !m.electrode_x.allocate(marks) || !m.electrode_y.allocate(marks))
        return mesh_no_memory;
    cylinder_polar_mesh(n, nr, k, radii, m.node_x.get(), m.node_y.get(), m.element_x.get(),
                        m.element_y.get(), m.element_kind.get(), m.electrode_x.get(),
                        m.electrode_y.get());
    mesh = std::move(m);
    return mesh_ok;
}

bool polar_mesh_adjacency(int n, int nr, sys::PageArray<int>& xadj, sys::PageArray<int>& adjncy) {
    xadj.release();
    adjncy.release();
    const int R = nr - 1, N = polar_node_count(n, nr), E = n * nr;
    // The elements of every node: incidence counts, then the lists.
    sys::PageArray<int> first(std::size_t(N) + 1), cursor(std::size_t(N) + 1),
        incidence(8 * std::size_t(n) * R + 4 * std::size_t(n)), mark(std::size_t(N) + 1);
    sys::PageArray<int> start(std::size_t(N) + 1);
    if (!first.ok() || !cursor.ok() || !incidence.ok() || !mark.ok() || !start.ok()) return false;
    int nodes[8];
    for (int e = 0; e < E; ++e)
        for (int q = 0, c = element_nodes(n, R, e, nodes); q < c; ++q)
            ++first[nodes[q]];
    for (int i = 1; i <= N; ++i)
        first[i] += first[i - 1];
    for (int e = 0; e < E; ++e)
        for (int q = 0, c = element_nodes(n, R, e, nodes); q < c; ++q) {
            const int v = nodes[q];
            incidence[first[v - 1] + cursor[v]++] = e;
        }
    // Neighbours of node i: the other nodes of its elements, each once (mark[v] = i).
    auto visit = [&](int i, auto&& take) {
        for (int p = first[i - 1]; p < first[i]; ++p)
            for (int q = 0, c = element_nodes(n, R, incidence[p], nodes); q < c; ++q) {
                const int v = nodes[q];
                if (v != i && mark[v] != i) {
                    mark[v] = i;
                    take(v);
                }
            }
    };
    long long total = 0;
    for (int i = 1; i <= N; ++i) {
        start[i - 1] = int(total);
        visit(i, [&](int) { ++total; });
    }
    start[N] = int(total);
    if (!xadj.allocate(std::size_t(N) + 1) || !adjncy.allocate(std::size_t(total))) {
        xadj.release();
        adjncy.release();
        return false;
    }
    std::fill(mark.get(), mark.get() + N + 1, 0);
    for (int i = 1; i <= N; ++i) {
        int* out = adjncy.get() + start[i - 1];
        visit(i, [&](int v) { *out++ = v; });
        std::sort(adjncy.get() + start[i - 1], out);
        xadj[i - 1] = start[i - 1] + 1;
    }
    xadj[N] = int(total) + 1;
    return true;
}

} // namespace cyl

int cylinder_element_nodes(int n, int R, int s, int j, int* l1, int* l2, int* l3, int* l4, int* l5,
                           int* l6, int* l7) {
    int l[8];
    cyl::quad_nodes(n, R, s, j, l);
    int* out[7] = {l1, l2, l3, l4, l5, l6, l7};
    for (int q = 0; q < 7; ++q)
        *out[q] = l[q];
    return l[7];
}

int cylinder_polar_mesh(int n, int nr, int k, const float* radii, float* node_x, float* node_y,
                        float* element_x, float* element_y, std::int32_t* element_kind,
                        float* electrode_x, float* electrode_y) {
    return cyl::polar_mesh<float>(n, nr, k, radii, 6.283186f, node_x, node_y, element_x, element_y,
                                  element_kind, electrode_x, electrode_y);
}

int set_cylinder_mesh_nodes(int n, int nr, int k, const float* radii, double* node_x,
                            double* node_y, float* element_x, float* element_y,
                            std::int32_t* element_kind, float* electrode_x, float* electrode_y) {
    return cyl::polar_mesh<double>(n, nr, k, radii, 6.283185307, node_x, node_y, element_x,
                                   element_y, element_kind, electrode_x, electrode_y);
}

int cylinder_mesh_adjacency(int* xadj, int* adjncy, int n, int nr) {
    sys::PageArray<int> x, a;
    if (!cyl::polar_mesh_adjacency(n, nr, x, a)) return 0;
    std::copy(x.get(), x.get() + x.size(), xadj);
    std::copy(a.get(), a.get() + a.size(), adjncy);
    return cyl::polar_node_count(n, nr);
}
