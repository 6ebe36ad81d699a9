// Contour filling of one triangle of a triangulated section: cuts along the contour levels and
// the band pieces, drawn as polygons (direct style) or outlined and recorded for flood fills.
#pragma once

#include "platform/gfx/canvas.h"

#include <cstdint>
#include <vector>

/// What the outline style records over a whole section, triangle after triangle. Levels and
/// bands are stored one higher than they are (level number + 1, band + 1); the caller takes
/// the one off when the section is triangulated (finish_contour_record). Vertex v (1..4) of
/// piece p (1..pieces) is piece_x[index2d(v, p, 4)]; unused fourth entries are 0.
struct ContourRecord {
    std::vector<std::int32_t> seg_xa, seg_xb, seg_ya, seg_yb; ///< ends of each contour segment
    std::vector<std::int32_t> seg_level;                      ///< 1-based level number + 1
    std::vector<std::int32_t> piece_band;                     ///< band + 1 of each piece
    std::vector<std::int32_t> piece_vertices;                 ///< 3 or 4
    std::vector<std::int32_t> piece_x, piece_y;               ///< 4 entries per piece

    int segments() const { return int(seg_xa.size()); }
    int pieces() const { return int(piece_band.size()); }
    void clear();
};

/// Takes the one off every recorded level number and band.
void finish_contour_record(ContourRecord& record);

/// Colours the triangle (x1, y1), (x2, y2), (x3, y3) with corner values val1..val3 by the
/// bands of the n ascending `levels`: band 0 below levels[0], band k between levels[k-1] and
/// levels[k], band n above levels[n-1]; band b uses brushes[b] and pens[b] (n + 1 entries).
/// Equal corner values are made unequal by raising val3 by a factor 1.0000001. A level equal
/// to a corner value cuts at that corner; a triangle of no value range is one band.
///
/// ProgDisplay::fill_style 2 or more (direct style): every band piece is drawn at once as a
/// polygon in dc's fill mode; `record` is untouched. Below 2 (outline style): the contour
/// segment of every level that crosses the triangle is drawn with draw_line and appended to
/// `record` with the band pieces (triangles and quadrilaterals; a band through the mid corner
/// as a quadrilateral and a triangle), nothing is filled (see fill_contour_pieces); a triangle
/// that no level crosses records nothing, and a triangle whose one cutting level passes
/// through its lowest corner is recorded whole, in the band where its mean value lies.
/// Returns the number of segments in `record`.
int contour_triangle(int n, int x1, int x2, int x3, int y1, int y2, int y3, float val1, float val2,
                     float val3, const float* levels, ContourRecord& record, gfx::Canvas& dc,
                     const gfx::Brush* brushes, const gfx::Pen* pens);

/// The seed and flood-fill passes over the pieces of a finished record (bands without the one,
/// see finish_contour_record), all fills clipped strictly inside (left, top)-(right, bottom):
/// every piece loses its repeated vertices, a crossed quadrilateral is uncrossed and every piece
/// is oriented (the record is changed so); a triangle is seeded at its incentre (thick) or its
/// centroid, a quadrilateral at its vertex mean (thick) or the incentres of its corner
/// triangles, each with flood_fill_at_point; then every piece gets flood_fill_polygon for what
/// its seed did not reach, flood_fill_polygon2 for collapsed pieces, and last the unpainted
/// pixels within one pixel of a piece (left between an outline and a cut point rounded inward)
/// take that piece's band. The outlines (contour segments and the section border in
/// ProgDisplay::line_colour) must already be drawn.
void fill_contour_pieces(ContourRecord& record, gfx::Canvas& dc, const gfx::Brush* brushes,
                         int left, int top, int right, int bottom);
