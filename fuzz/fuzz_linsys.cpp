// The linear system driven by a byte stream of calls, every result compared
// with the literal model of tests/linsys/reference.h, bit for bit.
//
// Input: a size byte (n = byte % 65 below 0xC0, else 65 to 254 in steps of
// three, where the bulk calls fill thousands of entries), a start value byte
// (signed), a pass bound byte (255 keeps the default 10 n + 1000, anything
// else sets that bound), then calls, one opcode byte each followed by its
// arguments (see Run). Every index the stream produces is below n, and
// every start vector has n elements: the index and size checks end the
// process by design and have their death tests.
#include <linsys/basaplinsys.h>

#include <cfloat>
#include <cstdint>
#include <fstream>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

#include "bytestream.h"
#include "linsys/reference.h"

namespace {

using basAP::plQPLinearSystem;

// A value: a quarter-step number in [-16, 16), one of the awkward doubles,
// or raw bits.
double Value(fuzz::ByteStream& in) {
  static const double kAwkward[] = {0.0, -0.0, std::numeric_limits<double>::quiet_NaN(),
                                    std::numeric_limits<double>::infinity(),
                                    -std::numeric_limits<double>::infinity(), DBL_MIN / 4, DBL_MAX,
                                    -DBL_MAX, 1e-300, 1e300, 0.1, 1e-6, -1.0, 1.0 + DBL_EPSILON};
  const std::uint8_t sel = in.Byte();
  if (sel < 0x80) return (static_cast<int>(sel) - 0x40) / 4.0;
  if (sel < 0xC0) return kAwkward[sel % (sizeof kAwkward / sizeof kAwkward[0])];
  return in.RawDouble();
}

// Every element compares equal (IEEE: 0.0 equals -0.0, NaN equals nothing).
bool Equal(const ref::Vec& a, const ref::Vec& b) {
  for (std::size_t i = 0; i < a.size(); ++i)
    if (!(a[i] == b[i])) return false;
  return true;
}

struct Model {
  ref::Matrix m;
  ref::Vec x, b;
  double tolerance = 0.1;
  unsigned bound;
};

void Expect(bool ok, const char* what, unsigned i = 0) {
  if (!ok) fuzz::Fail("%s (index %u)", what, i);
}

void CompareReads(plQPLinearSystem& s, const Model& model, unsigned i, unsigned j) {
  Expect(fuzz::SameDouble(s.GetMatrixEntry(i, j), model.m.Get(i, j)), "GetMatrixEntry", i);
  Expect(fuzz::SameDouble(s.GetMatrixEntry(j, i), model.m.Get(i, j)), "GetMatrixEntry transposed", j);
  Expect(fuzz::SameDouble(s.GetMatrixDiagEntry(i), model.m.Get(i, i)), "GetMatrixDiagEntry", i);
  Expect(fuzz::SameDouble(s.GetRHSVectorEntry(i), model.b[i]), "GetRHSVectorEntry", i);
  Expect(fuzz::SameDouble(s.GetSolution(i), model.x[i]), "GetSolution", i);
}

void Run(fuzz::ByteStream& in) {
  const std::uint8_t size = in.Byte();
  const unsigned n = size < 0xC0 ? size % 65 : 65 + (size - 0xC0) * 3;
  const int start = static_cast<std::int8_t>(in.Byte());
  const std::uint8_t boundByte = in.Byte();

  auto s = std::make_unique<plQPLinearSystem>(n, start);
  Model model{ref::Matrix(n), ref::Vec(n, static_cast<double>(start)), ref::Vec(n, 0.0), 0.1, 10 * n + 1000};
  Expect(s->GetMaxIterations() == model.bound, "default pass bound");
  if (boundByte != 255) {
    s->SetMaxIterations(boundByte);
    model.bound = boundByte;
  }

  // Solves, dense walks and bulk fills are the expensive calls: a budget per
  // input, in passes times stored entries for a solve, keeps the fuzzer quick.
  std::uint64_t budget = 1000000;
  auto afford = [&budget](std::uint64_t cost) {
    if (cost > budget) return false;
    budget -= cost;
    return true;
  };
  for (int calls = 0; calls < 400 && !in.Empty(); ++calls) {
    const std::uint8_t op = in.Byte() % 16;
    if (n == 0 && (op <= 3 || op == 12 || op == 13 || op == 14)) continue;  // no index to give
    switch (op) {
      case 0: {
        const unsigned i = in.Below(n);
        const double v = Value(in);
        s->SetMatrixDiagEntry(i, v);
        model.m.Set(i, i, v);
        break;
      }
      case 1: {
        const unsigned i = in.Below(n), j = in.Below(n);
        const double v = Value(in);
        s->SetMatrixEntry(i, j, v);
        model.m.Set(i, j, v);
        break;
      }
      case 2: {
        const unsigned i = in.Below(n);
        std::vector<std::pair<unsigned, basAP::plFloat64>> row;
        for (unsigned k = 0, count = in.Byte() % 9; k < count; ++k) {
          const unsigned j = in.Below(n);
          row.emplace_back(j, Value(in));
        }
        const auto before = row;
        s->SetMatrixRow(i, row);
        for (std::size_t k = 0; k < row.size(); ++k) {
          Expect(row[k].first == before[k].first && fuzz::SameDouble(row[k].second.Value(), before[k].second.Value()),
                 "SetMatrixRow changed its argument", i);
          model.m.Set(i, row[k].first, row[k].second.Value());
        }
        break;
      }
      case 3: {
        const unsigned i = in.Below(n);
        const double v = Value(in);
        s->SetRHSVectorEntry(i, v);
        model.b[i] = v;
        break;
      }
      case 4:
        s->ResetMatrix();
        model.m.Zero();
        break;
      case 5: {
        const double t = Value(in);
        s->SetTolerance(t);
        if (t > 0) model.tolerance = t;
        Expect(fuzz::SameDouble(s->GetTolerance(), model.tolerance), "GetTolerance");
        break;
      }
      case 6:
        model.bound = in.Byte();
        s->SetMaxIterations(model.bound);
        Expect(s->GetMaxIterations() == model.bound, "GetMaxIterations");
        break;
      case 7: {
        if (!afford((model.bound + 1ull) * model.m.Stored())) break;
        bool bounded = false;
        const unsigned passes = model.m.Solve(model.x, model.b, model.tolerance, model.bound, &bounded);
        Expect(s->Solve() == !bounded, "Solve's result");
        Expect(s->GetIterations() == passes, "passes of Solve", passes);
        for (unsigned i = 0; i < n; ++i) Expect(fuzz::SameDouble(s->GetSolution(i), model.x[i]), "solution", i);
        break;
      }
      case 8: {
        if (n == 0) break;
        const unsigned i = in.Below(n), j = in.Below(n);
        CompareReads(*s, model, i, j);
        break;
      }
      case 9:
        // The copy must own everything: the original is gone before it is used.
        s = std::make_unique<plQPLinearSystem>(*s);
        break;
      case 10: {
        const int otherStart = static_cast<std::int8_t>(in.Byte());
        auto other = std::make_unique<plQPLinearSystem>(n, otherStart);
        *other = *s;
        s = std::move(other);
        // b and x are assigned as Tuples: copied unless every element
        // already compares equal, so where they do the target's zeros keep
        // their sign.
        if (Equal(model.b, ref::Vec(n, 0.0))) model.b.assign(n, 0.0);
        if (Equal(model.x, ref::Vec(n, otherStart))) model.x.assign(n, otherStart);
        break;
      }
      case 11: {
        if (n > 64 || !afford(std::uint64_t(n) * n * 4)) break;
        Expect(fuzz::SameDouble(s->CalcSolutionError(), model.m.SolutionError(model.x, model.b)),
               "CalcSolutionError");
        static std::ofstream sink("/dev/null");
        s->PrintBase(in.Byte() % 3, sink);
        break;
      }
      case 12: {
        // A band: A(i, i + d * stride) for d = 1 .. width, wrapping around.
        const unsigned width = in.Byte() % 33, stride = 1 + in.Byte() % 8;
        const double v = Value(in);
        if (!afford(std::uint64_t(n) * width * 16)) break;
        for (unsigned i = 0; i < n; ++i)
          for (unsigned d = 1; d <= width; ++d) {
            const unsigned j = static_cast<unsigned>((i + std::uint64_t(d) * stride) % n);
            s->SetMatrixEntry(i, j, v);
            model.m.Set(i, j, v);
          }
        break;
      }
      case 13: {
        // Every diagonal entry above the sum of its row's magnitudes: a
        // positive definite matrix when the entries are finite, so that the
        // solve converges instead of running into the bound.
        ref::Vec sums(n, 1.0);
        for (const auto& [key, a] : model.m.entries)
          if (key.first != key.second) {
            sums[key.first] += a < 0 ? -a : a;
            sums[key.second] += a < 0 ? -a : a;
          }
        for (unsigned i = 0; i < n; ++i) {
          s->SetMatrixDiagEntry(i, sums[i]);
          model.m.Set(i, i, sums[i]);
        }
        break;
      }
      case 14: {
        // One element of the start vector.
        const unsigned i = in.Below(n);
        const double v = Value(in);
        s->SetSolution(i, v);
        model.x[i] = v;
        break;
      }
      case 15: {
        // A whole start vector: first + i * step, with every stride-th
        // element one value of its own (NaN, an infinity, -0.0...).
        const double first = Value(in), step = Value(in), odd = Value(in);
        const unsigned stride = 1 + in.Byte() % 16;
        std::vector<double> start(n);
        for (unsigned i = 0; i < n; ++i) start[i] = i % stride == stride - 1 ? odd : first + i * step;
        s->SetSolution(start);
        model.x = start;
        break;
      }
    }
  }
  for (unsigned i = 0; i < n; ++i) CompareReads(*s, model, i, (i * 7 + 3) % n);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::ByteStream in(data, size);
  Run(in);
  return 0;
}
