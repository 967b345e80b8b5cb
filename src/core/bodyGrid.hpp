// The broad phase of the movement pass and the ray queries: collision bodies in a uniform
// grid, so that a moving circle looks only at the few bodies that could touch it instead
// of at every body. A query gives every body within reach of a point (core/collision.hpp:
// withinReach, the reach widened by each body's own radius), a superset of the bodies that
// bodyContact would find touching there; the caller puts them in its own order.
//
// Bodies are named by numbers that the caller gives them (an id stays a body's name while
// the caller's list around it changes); ids need not be contiguous. A body that is "kept
// out" (one the caller must visit whatever its position), and one whose position or
// radius the grid cannot place (not finite, far larger than the others), is answered for
// every query.
//
// The cells hold copies of what a query reads of their bodies (where each stands and its
// reach, in single precision with room for its rounding), cell after cell along each row,
// so that a query reads a few short runs of memory, one a row, whatever the bodies' ids.
// Each row keeps room for a few more bodies. The cells are loose: a body that moves stays
// filed under the cell where it stood when it was filed while it drifts less than a
// quarter of a cell; queries look that much further. A body that strays further is filed
// again under the cell where it stands, where that row has room, and is answered for
// every query otherwise, until the grid is built again (settle, or by itself once too many
// have strayed so).
//
// A ray query asks for the bodies along a segment instead: the runs of cells that the
// segment passes, each body read once. No Python, no SDL.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace collision {

struct GridBody {
    double x = 0.0;
    double y = 0.0;
    double radius = 0.0;
    bool keptOut = false;
};

class BodyGrid {
  public:
    // Places the bodies, named 0..count-1; the grid's cells are sized from their radii and
    // spread.
    void build(const std::vector<GridBody>& bodies);
    // Every id the grid has named, living or not.
    size_t size() const { return at_.size(); }

    double x(size_t id) const { return at_[id].x; }
    double y(size_t id) const { return at_[id].y; }
    double radius(size_t id) const { return radius_[id]; }
    bool keptOut(size_t id) const { return keptOut_[id] != 0; }

    // The body `id` (a new one, or one whose radius or keeping out changed) as it is now.
    void put(size_t id, const GridBody& body);
    // The body `id` is no more.
    void remove(size_t id);
    // Body `id` now stands at (x, y).
    void move(size_t id, double x, double y);
    // Files every body again where it stands now when the bodies have drifted far from
    // where they were filed: later queries look less far.
    void settle();

    // What a query answers, each body once, in no particular order: the ids of bodies
    // found in cells, then those of the bodies answered for every query. It lies in the
    // grid's own memory, until the next query or change.
    struct Answer {
        const uint32_t* found;
        size_t count;
        const uint32_t* always;
        size_t alwaysCount;

        template <class Visit> void forEach(Visit visit) const {
            for (size_t k = 0; k < count; ++k)
                visit(found[k]);
            for (size_t k = 0; k < alwaysCount; ++k)
                visit(always[k]);
        }
    };

    // The bodies within reach of (x, y) (withinReach of |radius| + reach), with every body
    // answered for all queries.
    Answer candidates(double x, double y, double reach);

    // Every body whose centre lies within |radius| + reach of a point of the closed segment
    // from (x0, y0) to (x1, y1), with every body answered for all queries (a superset:
    // whole runs of cells along the segment).
    Answer alongSegment(double x0, double y0, double x1, double y1, double reach);
    // The largest |radius| of a body in a cell; the others are answered for every query.
    double largestRadius() const { return largestRadius_; }

    // What a cell holds of a body: where it stands and |radius|, in single precision
    // (within a room that queries add to their reach), and which body it is.
    struct Filed {
        float x, y, reach;
        uint32_t body;
    };

  private:
    // What a query reads of a body: where it stands and |radius|, or NaN in place of
    // |radius| while it is not in a cell (no offset is within a NaN reach).
    struct Place {
        double x, y, reach;
    };

    void place(); // files every living body from at_, radius_, keptOut_
    bool placeable(size_t id) const;
    bool inCell(size_t id) const { return at_[id].reach == at_[id].reach; }
    int64_t cellOf(double x, double y) const; // -1 off the grid
    void stray(size_t id);
    void settleIn(size_t id); // into its cell where it can, else answered for every query
    bool unfile(size_t id);
    void forget(size_t id); // out of the cells and of everyQuery_
    bool file(size_t id, size_t cell);
    uint32_t* edgesOf(size_t cell, size_t& column);
    void sumSpanRoom();
    static size_t take(const Filed& body, double x, double y, double reach, uint32_t* taken,
                       size_t count);
    Answer everyBody(double x, double y, double reach);
    Answer answer(size_t count) const;
    // Room for every body, and one more: a place is written before it is counted.
    uint32_t* foundRoom() {
        if (found_.size() <= size()) found_.resize(size() + 1);
        return found_.data();
    }

    std::vector<Place> at_; // by id
    // The cells' bodies, cell after cell, row after row: the cell of column c in row r
    // holds the places from edge c to edge c + 1 of the row (cellEdge_ from r * (columns_
    // + 1) on), and the row's room runs from its last edge to rowEnd_[r].
    std::vector<Filed> cells_;
    std::vector<uint32_t> cellEdge_;
    std::vector<uint32_t> rowEnd_;
    std::vector<uint32_t> filedAt_;   // by id: its place in cells_, or none
    std::vector<uint32_t> filedCell_; // by id: the cell it is filed in
    std::vector<double> radius_;
    std::vector<double> homeX_, homeY_; // where each body in a cell was filed
    std::vector<uint8_t> keptOut_;      // by id: asked to be answered for every query
    std::vector<uint8_t> living_;       // by id: a body, not a free name
    std::vector<uint32_t> everyQuery_;  // the living bodies out of the cells
    std::vector<uint32_t> found_;       // a query's bodies in cells
    double left_ = 0.0, top_ = 0.0, side_ = 1.0, perSide_ = 1.0; // perSide_ = 1 / side_
    double largestRadius_ = 0.0;                                 // of the bodies in cells
    double radiusCap_ = 0.0;    // larger radii stay out of the cells
    double drift_ = 0.0;        // how far any body in a cell stands from where it was filed
    double driftLimit_ = 0.0;   // the farthest a body drifts before it strays
    double spanRoom_ = 0.0;     // how much further a query looks, for drift and rounding
    double roundingRoom_ = 0.0; // the part of spanRoom_ for rounding
    double filedRoom_ = 0.0;    // how far what a cell holds of a body may be from its values
    size_t strays_ = 0;         // bodies that strayed out of the cells since the last filing
    size_t shifted_ = 0;        // places moved along their rows since the last filing
    int64_t columns_ = 0, rows_ = 0;
};

} // namespace collision
