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
  static bool dropFrom(int v, int lo, int& nlo, int hi, int& nhi, int count) {
    if (v == lo && (nlo -= count) <= 0) return false;
    if (v == hi && (nhi -= count) <= 0) return false;
    return true;
  }
};

}  // namespace qplace

#endif
