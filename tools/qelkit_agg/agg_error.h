// SPDX-License-Identifier: Apache-2.0
// AggError: how every part of qelkit-agg reports a failure that ends the run. The entry point
// catches it, writes its message (with a pointer to --help for a usage error) and exits with
// status 2. Messages carry no program name; they are one line.
#ifndef QELKIT_TOOLS_QELKIT_AGG_AGG_ERROR_H
#define QELKIT_TOOLS_QELKIT_AGG_AGG_ERROR_H

#include <stdexcept>
#include <string>

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

#endif  // QELKIT_TOOLS_QELKIT_AGG_AGG_ERROR_H
