// SPDX-License-Identifier: Apache-2.0
#include <qelkit/qelkit.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <utility>
#include <vector>

// Sums a value per 15-minute period and key of a CSV file with a header line, in the local zone.
// usage: sum_by_period FILE TIME_FIELD KEY_FIELD VALUE_FIELD (fields counted from 0)
int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s FILE TIME_FIELD KEY_FIELD VALUE_FIELD\n", argv[0]);
        return 2;
    }
    const std::size_t timeField = std::strtoul(argv[2], nullptr, 10);
    const std::size_t keyField = std::strtoul(argv[3], nullptr, 10);
    const std::size_t valueField = std::strtoul(argv[4], nullptr, 10);
    const NqTimeAggregation period(NqTimeAggregation::fromString("15 minute"));
    std::map<std::pair<unsigned long, std::string>, double> sums;
    try {
        NqMappedFileTokenizer file(argv[1], ',', 0);
        std::vector<QelString> row;
        // The first nextLine() skips the header line.
        for (file.nextLine(); !file.end(); file.nextLine()) {
            row.clear();
            do {
                row.push_back(file.next());
            } while (!file.endOfLine());
            if (row.size() <= std::max({timeField, keyField, valueField})) continue;
            const RWDateTime time = NqStringToDate::nq::datetime(row[timeField]);
            const RWTime start = period.calendarTruncate(time.toRWTime(), QelDate::startOfWeek());
            if (!start.isValid()) {  // a time that cannot be read: the library traced why
                std::fprintf(stderr, "skipped a row: %s\n", row[timeField].data());
                continue;
            }
            sums[{start.seconds(), row[keyField].data()}] += std::atof(row[valueField].data());
        }
    } catch (const NqException& e) {  // the file cannot be opened or mapped
        std::fprintf(stderr, "%s", e.asString().data());
        return 1;
    }
    for (const auto& [group, sum] : sums) {
        const QelString start = QelTimeIO(RWTime(group.first), RWZone::local());
        std::printf("%s\t%s\t%g\n", start.data(), group.second.c_str(), sum);
    }
    return 0;
}
