// SPDX-License-Identifier: Apache-2.0
// QelAggregate: one statistic a QelPeriodAggregator can report for a group, by the name users
// write it in (the names of qelkit-agg's -a option):
//   count        rows in the group (one figure per group, whatever the value columns)
//   n            values present in the column (a missing value is not counted)
//   sum, min, max, mean
//   median, pN   exact percentiles, N from 0 to 100 with an optional fraction ("p95", "p99.9"):
//                linear interpolation between the closest ranks (position N/100 * (n - 1) in
//                the sorted values), as SQL's percentile_cont
//   stddev, var  sample standard deviation and variance (divisor n - 1)
//   first, last  the value at the earliest or latest time in the group; equal times go to the
//                first or last row in input order
// A statistic of no values (a mean of a column missing in every row, a variance of one value)
// is empty.
//
// Thread safety: a value type; const operations may run on several threads at once.
// Failure: fromName() and parseList() report bad names through their result; the rest only
// throws std::bad_alloc.
#ifndef QELKIT_RECORDS_QEL_AGGREGATE_H
#define QELKIT_RECORDS_QEL_AGGREGATE_H

#include <string>
#include <string_view>
#include <vector>

#include "qelkit/export.h"

class QELKIT_API QelAggregate {
  public:
    enum Kind { Count, N, Sum, Min, Max, Mean, Median, Percentile, StdDev, Var, First, Last };

    // `kind`; for Percentile, `percent` (0 to 100) and its name as written (e.g. "p99.9").
    explicit QelAggregate(Kind kind = Count)
        : _kind(kind), _percent(kind == Median ? 50 : 0), _fraction(kind == Median ? 0.5 : 0) {}

    // The aggregate named `name` ("sum", "p95", ...), or false when no aggregate has that name.
    static bool fromName(std::string_view name, QelAggregate& aggregate);
    // The aggregates of a comma-separated list, in its order. False, with `why` naming the
    // offending entry and what is accepted, for an unknown name, an empty entry or a name given
    // twice.
    static bool parseList(std::string_view list, std::vector<QelAggregate>& aggregates,
                          std::string& why);
    // count, sum, min, max, mean: qelkit-agg's output when no list is given.
    static std::vector<QelAggregate> defaults();
    // The accepted names for messages: "count, n, sum, ... first or last".
    static const char* accepted() noexcept;

    Kind kind() const noexcept { return _kind; }
    // The percentile of Median (50) or Percentile; 0 for other kinds.
    double percent() const noexcept { return _percent; }
    // percent() / 100, rounded once from the decimal text (0.999 for "p99.9", not 99.9 / 100).
    double fraction() const noexcept { return _fraction; }
    // The name, as fromName() reads it and output columns show it.
    std::string name() const;

    bool operator==(const QelAggregate& other) const noexcept {
        return _kind == other._kind && _percent == other._percent;
    }
    bool operator!=(const QelAggregate& other) const noexcept { return !(*this == other); }

  private:
    Kind _kind;
    double _percent;
    double _fraction;
    std::string _percentText;  // Percentile: the digits after 'p' as written
};

#endif  // QELKIT_RECORDS_QEL_AGGREGATE_H
