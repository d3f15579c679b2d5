// Greedy admission of rows by augmenting paths (Kuhn's method).
#include "basapadmit.h"

#include <cstddef>

namespace apmatch {

std::vector<char> admitRows(int numRows, int numCols, const int* rowStart,
                            const int* arcCol, int colStride) {
  auto column = [&](int arc) { return arcCol[static_cast<std::size_t>(arc) * colStride]; };
  std::vector<char> admitted(numRows, 0);
  std::vector<int> colOwner(numCols, -1);
  std::vector<int> seenBy(numCols, -1);  // last search that reached a column

  // Depth-first search for an augmenting path, on an explicit stack so that
  // long paths cannot overflow the call stack. A frame is a row and the next
  // of its arcs to try; the column a frame tried last leads to the frame above.
  struct Frame {
    int row;
    int nextArc;
  };
  std::vector<Frame> stack;
  for (int s = 0; s < numRows; ++s) {
    if (rowStart[s] == rowStart[s + 1]) continue;
    stack.assign(1, Frame{s, rowStart[s]});
    while (!stack.empty()) {
      Frame& top = stack.back();
      if (top.nextArc == rowStart[top.row + 1]) {
        stack.pop_back();
        continue;
      }
      const int c = column(top.nextArc++);
      if (seenBy[c] == s) continue;
      seenBy[c] = s;
      if (colOwner[c] >= 0) {
        stack.push_back(Frame{colOwner[c], rowStart[colOwner[c]]});
        continue;
      }
      // Free column: every row on the path moves to the column it tried last.
      for (const Frame& f : stack) colOwner[column(f.nextArc - 1)] = f.row;
      admitted[s] = 1;
      break;
    }
  }
  return admitted;
}

}  // namespace apmatch
