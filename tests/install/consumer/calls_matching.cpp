#include <matching/basapmatch.h>

#include "calls.h"

int callMatching() {
  int wrong = 0;
  const int numRows = 2, numRealCols = 1;
  AP_MATCHING m(numRows, numRealCols);
  const int row0 = 0, row1 = 1, col = 0, weight0 = 5, weight1 = 3;
  CALL(void, m.AddArc(row0, col, weight0));
  CALL(void, m.AddArc(row1, col, weight1));
  int rowMatch[2] = {-1, -1};
  int colMatch[1] = {-1};
  int totalWeight = 0;
  const int usePreassignment = 0;
  wrong += CALL(int, m.Solver(rowMatch, colMatch, &totalWeight, usePreassignment)) != 1;
  wrong += rowMatch[0] != 0 || rowMatch[1] != -1 || colMatch[0] != 0 || totalWeight != 5;
  return wrong;
}
