#pragma once

#include <climits>

#include "core/plot/PlotGeometry.h"

// Shortens a trace's vertex stream into a path that an aliased, solid,
// one-pixel pen draws onto exactly the same pixels, so that a paint costs
// a few vertices per pixel column instead of one per sample.
//
// The line rule it relies on (a raster painter's flat-capped cosmetic
// stroke of a polyline through integer points; rows counted downwards): a
// move along a pixel column covers the rows between its ends except the
// bottom one, except where the path turns from going down to going up,
// where that turning row is drawn too; a move of zero length changes
// nothing; and how a segment joins the previous one depends only on the
// previous segment's direction and last pixel.
//
// A run of consecutive vertices in one column (repeats removed), s1 .. sk,
// with smallest row `low` and largest row `high`, therefore draws rows
// low .. high - 1 of the column, plus row `high` when a vertex other than s1
// and sk lies there (a turn from down to up); its first move s1 -> s2 and
// last move sk-1 -> sk decide how it joins the neighbouring columns. A run
// of more than four vertices is replaced by
//   s1, s2, low, [high, only when an inner vertex lies there], sk-1, sk
// which keeps all of these. Every vertex passed on is one of the stream's,
// in the stream's order of columns.
//
// Push the vertices in order, then Finish(); `sink` is called with each
// vertex of the shorter path. Holds a reference to `sink`, owns nothing.
template <class Sink>
class CColumnMerger {
 public:
  explicit CColumnMerger(Sink& sink) : m_sink(sink) {}

  void Push(const PlotPoint& p) {
    if (m_count > 0 && p.x == m_x) {
      if (p.y != m_last) Append(p.y);  // a repeated vertex moves nowhere
      return;
    }
    Flush();
    m_x = p.x;
    m_count = 1;
    m_head[0] = m_low = m_high = m_previous = m_last = p.y;
    m_innerHigh = INT_MIN;
  }

  void Finish() {
    Flush();
    m_count = 0;
  }

  // Hands over a whole column's run at once, as the vertices of that run
  // pushed one by one would leave it: `count` vertices once repeats are
  // removed (any count above 4 acts alike), `head` its first min(count, 4)
  // rows, `low` and `high` its smallest and largest row, `highInner` whether
  // a vertex other than the first and last lies on `high`, `previous` and
  // `last` its last two rows (previous unused when count is 1). `x` must
  // differ from the column of the vertices pushed before.
  void PushRun(int x, int count, const int* head, int low, int high, bool highInner, int previous,
               int last) {
    Flush();
    m_x = x;
    m_count = count;
    for (int i = 0; i < 4 && i < count; ++i) m_head[i] = head[i];
    m_low = low;
    m_high = high;
    m_innerHigh = highInner ? high : INT_MIN;
    m_previous = previous;
    m_last = last;
  }

 private:
  void Append(int y) {
    if (m_count >= 2 && m_last > m_innerHigh) m_innerHigh = m_last;  // m_last becomes inner
    if (m_count < 4) m_head[m_count] = y;
    if (y < m_low) m_low = y;
    if (y > m_high) m_high = y;
    m_previous = m_last;
    m_last = y;
    ++m_count;
  }

  void Flush() {
    if (m_count <= 0) return;
    if (m_count <= 4) {
      for (int i = 0; i < m_count; ++i) Out(m_head[i]);
      return;
    }
    Out(m_head[0]);
    Out(m_head[1]);
    Out(m_low);
    if (m_innerHigh == m_high) Out(m_high);
    Out(m_previous);
    Out(m_last);
  }

  void Out(int y) {
    const PlotPoint q{m_x, y};
    if (m_emitted && q == m_lastOut) return;
    m_sink(q);
    m_lastOut = q;
    m_emitted = true;
  }

  Sink& m_sink;
  int m_count = 0;                 // vertices of the current run, repeats removed
  int m_x = 0;                     // its column
  int m_head[4] = {0, 0, 0, 0};    // its first four rows
  int m_low = 0, m_high = 0;       // its smallest and largest row
  int m_innerHigh = INT_MIN;       // largest row of its vertices other than the first and last
  int m_previous = 0, m_last = 0;  // its last two rows
  bool m_emitted = false;
  PlotPoint m_lastOut;
};
