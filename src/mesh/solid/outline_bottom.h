#pragma once
// The solid's flat bottom: the polygons that the surface's boundary edges
// outline (the window's outline, islands, no-data holes), triangulated with
// their own vertices only, so the bottom meets the walls edge for edge with
// no T-junction. About one triangle per outline edge, whatever the surface's
// triangulation.
//
// How: a sweep from north to south splits the polygons into y-monotone
// pieces with diagonals between their own vertices (each split or merge
// vertex is joined to the lowest vertex seen between its neighbouring
// edges), then each piece is triangulated along its two chains with a stack
// of the vertices still waiting. Points on one height are ordered west to
// east, which makes the many horizontal edges of a lattice outline behave
// like slightly tilted ones. A vertex that two loops touch at (cells meeting
// only at a corner) is split into one point per loop, each keeping its own
// wedge.
//
// Limits, stated plainly: the sweep keeps the vertical edges it crosses in an
// ordered map and takes no others than vertical and horizontal ones, which a
// lattice outline (simplified or not) only has. Memory is a few dozen bytes
// per outline edge: the outline is held whole.

#include <cstdint>
#include <vector>

namespace morvale {

struct OutlineEdge {
    std::int64_t from = 0;  // vertex numbers; the surface lies left of from -> to, seen from above
    std::int64_t to = 0;
};

struct OutlinePoint {
    std::int64_t vertex = 0;
    double x = 0.0;  // east
    double y = 0.0;  // north
};

// `points` holds every vertex the edges name, sorted by vertex number.
// Appends three vertex numbers per triangle to `triangles`, counter-clockwise
// seen from above (the surface's side). False when the edges do not close
// into loops, name a vertex missing from `points` or run neither north-south
// nor east-west; `triangles` is then left as it was.
bool triangulateOutline(const std::vector<OutlineEdge>& edges, const std::vector<OutlinePoint>& points,
                        std::vector<std::int64_t>& triangles);

}  // namespace morvale
