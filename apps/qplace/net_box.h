// The bounding box of a net in whole cluster coordinates, with the number
// of its units on each edge, so that a unit leaving an edge that others
// still hold needs no rescan of the net. O(1) per call.
#ifndef QPLACE_NET_BOX_H
#define QPLACE_NET_BOX_H

namespace qplace {

struct NetBox {
  int x0 = 1 << 30, x1 = -(1 << 30), y0 = 1 << 30, y1 = -(1 << 30);
  int nx0 = 0, nx1 = 0, ny0 = 0, ny1 = 0;

  // Half perimeter; meaningless for an empty box.
  int cost() const { return (x1 - x0) + (y1 - y0); }
  bool empty() const { return x0 > x1; }
  void add(int x, int y) {
    addTo(x, x0, nx0, x1, nx1);
    addTo(y, y0, ny0, y1, ny1);
  }
  // Takes `count` units at (x, y) out. False when that empties an edge: the
  // box is then unusable and the net must be rescanned.
  bool drop(int x, int y, int count = 1) {
    return dropFrom(x, x0, nx0, x1, nx1, count) && dropFrom(y, y0, ny0, y1, ny1, count);
  }
  // Moves one unit from (ox, oy) to (nx, ny). False when it leaves an edge
  // that it alone held for a place inside the box: the box must then be
  // rescanned. A unit that stays on its edge or goes past it needs none.
  bool move(int ox, int oy, int nx, int ny) {
    return shift(ox, nx, x0, nx0, x1, nx1) && shift(oy, ny, y0, ny0, y1, ny1);
  }

private:
  static void addTo(int v, int& lo, int& nlo, int& hi, int& nhi) {
    if (v < lo) {
      lo = v;
      nlo = 1;
    } else if (v == lo) {
      ++nlo;
    }
    if (v > hi) {
      hi = v;
      nhi = 1;
    } else if (v == hi) {
      ++nhi;
    }
  }
  static bool shift(int o, int n, int& lo, int& nlo, int& hi, int& nhi) {
    if (o == n) return true;
    if (o == lo && --nlo == 0) {
      // o alone held the low edge: n is the new one if it is no higher.
      if (n > lo) return false;
      lo = n;
    }
    if (o == hi && --nhi == 0) {
      if (n < hi) return false;
      hi = n;
    }
    addTo(n, lo, nlo, hi, nhi);
    return true;
  }
  static bool dropFrom(int v, int lo, int& nlo, int hi, int& nhi, int count) {
    if (v == lo && (nlo -= count) <= 0) return false;
    if (v == hi && (nhi -= count) <= 0) return false;
    return true;
  }
};

}  // namespace qplace

#endif
