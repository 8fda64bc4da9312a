// SPDX-License-Identifier: Apache-2.0
// AggError: how every part of qelkit-agg reports a failure that ends the run. The entry point
// catches it, writes its message (with a pointer to --help for a usage error) and exits with
// status 2. Messages carry no program name; they are one line. RowOutcome: what a step that can
// fail for one row returns.
#ifndef QELKIT_TOOLS_QELKIT_AGG_AGG_ERROR_H
#define QELKIT_TOOLS_QELKIT_AGG_AGG_ERROR_H

#include <stdexcept>
#include <string>
#include <utility>

class AggError : public std::runtime_error {
  public:
    enum Kind { Run, Usage };
    explicit AggError(const std::string& message, Kind kind = Run)
        : std::runtime_error(message), _kind(kind) {}
    // A usage error: the command line cannot be carried out as given.
    bool usage() const noexcept { return _kind == Usage; }

  private:
    Kind _kind;
};

// The value of a step that may fail for one row, or the reason it failed (the row is then a bad
// row, reported, and the run goes on).
template <typename T>
class [[nodiscard]] RowOutcome {
  public:
    static RowOutcome success(T value) { return RowOutcome(std::move(value), std::string()); }
    static RowOutcome failure(std::string reason) { return RowOutcome(T(), std::move(reason)); }
    bool ok() const noexcept { return _reason.empty(); }
    const T& value() const noexcept { return _value; }
    std::string& reason() noexcept { return _reason; }

  private:
    RowOutcome(T value, std::string reason)
        : _value(std::move(value)), _reason(std::move(reason)) {}

    T _value;
    std::string _reason;  // never empty for a failure
};

#endif  // QELKIT_TOOLS_QELKIT_AGG_AGG_ERROR_H
