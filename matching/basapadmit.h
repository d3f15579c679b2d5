// Which rows of an assignment problem can all hold a column at the same time.
#ifndef BASAPLACE_MATCHING_BASAPADMIT_H
#define BASAPLACE_MATCHING_BASAPADMIT_H

#include <vector>

namespace apmatch {

// Returns one flag per row, 1 for an admitted row. Rows are considered in
// ascending order, and a row is admitted when it and every row admitted
// before it can hold distinct columns at once (that is, when an augmenting
// path from it exists); a row without arcs never is. The auction ends exactly
// when its bidders can all be matched at once, so bidding with the admitted
// rows only always ends.
//
// The arcs are in compressed row form: the columns of row i are those of
// arcs rowStart[i] .. rowStart[i+1]-1, each in [0, numCols); the column of
// arc a is arcCol[a * colStride].
// Cost: O(numRows x arcs) at worst, O(arcs) when every row finds a free
// column among its own arcs.
std::vector<char> admitRows(int numRows, int numCols, const int* rowStart,
                            const int* arcCol, int colStride);

}  // namespace apmatch

#endif
