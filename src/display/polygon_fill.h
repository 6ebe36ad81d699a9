// Integer geometry of contour-band pieces (area, duplicate vertices, orientation, thickness,
// seed points, inside test) and the flood fills that paint the pieces of an outlined section.
#pragma once

#include "platform/gfx/canvas.h"

#include <cstdint>
#include <vector>

// Polygons are n vertices x[0..n-1], y[0..n-1] in pixels (y downwards), closed implicitly. The
// edge sign of pixel (X, Y) for edge k (vertex k to vertex k + 1, vertex n = vertex 0) is
// (x[k+1] - x[k]) (Y - y[k]) - (y[k+1] - y[k]) (X - x[k]); an oriented polygon (orient_polygon)
// has non-negative signs inside.

/// Area in square pixels (half the absolute shoelace sum).
float poly_area(int n, const int* x, const int* y);

/// Keeps vertex 0 and every later vertex whose position no kept vertex has; the kept vertices
/// move to the front in order and the freed tail entries become 0. Returns the number kept.
int remove_duplicate_vertices(int n, int* x, int* y);

/// Reverses vertices 1..n-1 when the turn at vertex 1 (or, when that is 0 and n >= 4, at
/// vertex 2) is negative, so that the edge signs are non-negative inside. n < 3: nothing.
void orient_polygon(int n, int* x, int* y);

/// Thickness of a piece in pixels: 0 for area <= 0; area / longest edge when the area is below
/// 25 x the longest edge squared, else 5; halved for a triangle.
float polygon_size_ratio(int n, float area, const int* x, const int* y);

/// Seed point inside the triangle (x[0..2], y[0..2]): the crossing of the inner angle
/// bisectors at vertices 1 and 2 (vertex 0 when they do not cross). Writes its y to *y_out and
/// returns its x, or -1.0 when the seed lies outside [xmin, xmax] x [ymin, ymax].
float triangle_incentre(const int* x, const int* y, float* y_out, int xmin, int xmax, int ymin,
                        int ymax);

/// 1 when (X, Y) is inside or on the boundary of the oriented convex polygon, else 0.
int point_in_convex_polygon(int n, const int* x, const int* y, int X, int Y);

// The fills below first set ProgDisplay::fill_background (alt_background_colour in level
// schemes 2 and 3, else background_colour): the colour of a pixel not yet painted. A fill
// paints, with brushes[band], the 4-connected region of its seed bounded by pixels of
// ProgDisplay::line_colour, and only from a seed that is unpainted and lies strictly inside
// the clip rectangle (xmin < X < xmax, ymin < Y < ymax). The brush stays selected in dc.

/// Fills from (X, Y); returns the colour found there before (clr_invalid outside dc).
gfx::Colour flood_fill_at_point(int X, int Y, int band, gfx::Canvas& dc, const gfx::Brush* brushes,
                                int xmin, int ymin, int xmax, int ymax);
/// Fills from every unpainted pixel inside the oriented polygon (rows of its bounding box, each
/// ending at the first outside pixel after an inside one): for thin pieces a seed may miss.
void flood_fill_polygon(int n, const int* x, const int* y, int band, gfx::Canvas& dc,
                        const gfx::Brush* brushes, int xmin, int ymin, int xmax, int ymax);
/// For pieces collapsed onto a line: fills from the diagonal neighbours of the vertices (within
/// the bounding box) that lie on the line of every edge.
void flood_fill_polygon2(int n, const int* x, const int* y, int band, gfx::Canvas& dc,
                         const gfx::Brush* brushes, int xmin, int ymin, int xmax, int ymax);
/// Fills from every unpainted pixel within one pixel of the oriented polygon, inside or out: a
/// cut point rounded to the inner side of an outline leaves a pixel or two between the outline
/// and the pieces on either side, which no piece contains.
void flood_fill_near_polygon(int n, const int* x, const int* y, int band, gfx::Canvas& dc,
                             const gfx::Brush* brushes, int xmin, int ymin, int xmax, int ymax);
/// Fills what is unpainted in the 3 x 3 block around the data point (X, Y) with the band of
/// its value values[datum - 1] (datum from 1): brush b - 1 for the first b in 1..nlevels with
/// levels[b - 1] >= value, brush nlevels when no level reaches it.
void fill_around_datum(int nlevels, int X, int Y, const float* values, const float* levels,
                       int datum, gfx::Canvas& dc, const gfx::Brush* brushes, int xmin, int ymin,
                       int xmax, int ymax);
