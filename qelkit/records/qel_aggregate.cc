// SPDX-License-Identifier: Apache-2.0
#include "qelkit/records/qel_aggregate.h"

#include <cstdlib>

namespace {

struct Named {
    const char* name;
    QelAggregate::Kind kind;
};

constexpr Named NAMES[] = {
    {"count", QelAggregate::Count},   {"n", QelAggregate::N},
    {"sum", QelAggregate::Sum},       {"min", QelAggregate::Min},
    {"max", QelAggregate::Max},       {"mean", QelAggregate::Mean},
    {"median", QelAggregate::Median}, {"stddev", QelAggregate::StdDev},
    {"var", QelAggregate::Var},       {"first", QelAggregate::First},
    {"last", QelAggregate::Last},
};

// Digits with at most one '.', a digit on each side of it: "95", "99.9", "0", "100".
bool isPercentText(std::string_view text) {
    const std::size_t dot = text.find('.');
    const std::string_view whole = text.substr(0, dot);
    const std::string_view fraction =
        dot == std::string_view::npos ? std::string_view("0") : text.substr(dot + 1);
    auto digits = [](std::string_view part) {
        if (part.empty() || part.size() > 12) return false;
        for (char c : part)
            if (c < '0' || c > '9') return false;
        return true;
    };
    return digits(whole) && digits(fraction);
}

}  // namespace

bool QelAggregate::fromName(std::string_view name, QelAggregate& aggregate) {
    for (const Named& named : NAMES) {
        if (name == named.name) {
            aggregate = QelAggregate(named.kind);
            return true;
        }
    }
    if (name.size() < 2 || name[0] != 'p' || !isPercentText(name.substr(1))) return false;
    const std::string digits(name.substr(1));
    const double percent = std::strtod(digits.c_str(), nullptr);
    if (percent > 100) return false;
    aggregate = QelAggregate(Percentile);
    aggregate._percent = percent;
    aggregate._fraction = std::strtod((digits + "e-2").c_str(), nullptr);
    aggregate._percentText = digits;
    return true;
}

bool QelAggregate::parseList(std::string_view list, std::vector<QelAggregate>& aggregates,
                             std::string& why) {
    std::vector<QelAggregate> parsed;
    for (std::size_t start = 0;;) {
        const std::size_t comma = list.find(',', start);
        const std::string_view name = list.substr(start, comma - start);
        QelAggregate aggregate;
        if (!fromName(name, aggregate)) {
            why = (name.empty() ? std::string("an empty aggregate name")
                                : "unknown aggregate '" + std::string(name) + "'") +
                  " (accepted: " + accepted() + ")";
            return false;
        }
        for (const QelAggregate& earlier : parsed) {
            if (earlier == aggregate) {
                why = "aggregate '" + std::string(name) + "' is given twice";
                return false;
            }
        }
        parsed.push_back(std::move(aggregate));
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    aggregates.swap(parsed);
    return true;
}

std::vector<QelAggregate> QelAggregate::defaults() {
    return {QelAggregate(Count), QelAggregate(Sum), QelAggregate(Min), QelAggregate(Max),
            QelAggregate(Mean)};
}

const char* QelAggregate::accepted() noexcept {
    return "count, n, sum, min, max, mean, median, pN with N from 0 to 100 (p95, p99.9), stddev, "
           "var, first or last";
}

std::string QelAggregate::name() const {
    if (_kind == Percentile) return "p" + _percentText;
    for (const Named& named : NAMES)
        if (named.kind == _kind) return named.name;
    return "";
}
