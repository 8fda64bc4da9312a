// SPDX-License-Identifier: Apache-2.0
// The work of `qelkit-agg --header -k 2 -p "15 minute" FILE` done straight with the library's
// public classes, as a C++ application would: QelRecordReader over the mapping of an
// NqMappedFileTokenizer, QelTimeText, QelNumberText, NqTimeAggregation::calendarTruncate in UTC,
// and one QelPeriodAggregator per thread, merged in input order. Prints the same table as the tool,
// so bench/agg/run.sh can check the two outputs are identical and time them side by side.
//
// The file is cut into parts at line starts, which are record starts because the benchmark's
// data has no quoted line breaks (the tool handles the general case).
//
// Usage: engine_bench FILE [THREADS]   (TZ=UTC)
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "qelkit/qelkit.h"

namespace {

struct Part {
    const char* begin;
    const char* end;
};

// Groups the rows of one part: time in field 0, key in field 1, values in the other fields.
QelPeriodAggregator groupPart(Part part, std::size_t fields) {
    QelPeriodAggregator aggregator(fields - 2);
    QelRecordReader reader(QelRecordReader::Dialect{}, fields);
    QelRecordReader::Record record;
    const QelTimeText timeText;
    const NqTimeAggregation period(FifteenMinute);
    std::string lastTime;
    std::int64_t start = 0;
    std::vector<double> values(fields - 2);
    for (const char* p = part.begin; p < part.end;) {
        p = reader.read(p, part.end, true, record);
        if (record.blank || record.problem != QelRecordReader::Problem::None ||
            record.fieldCount < fields)
            continue;
        const std::vector<std::string_view>& f = reader.fields();
        if (f[0] != lastTime) {  // the devices of one reading share their time text
            QelTimeText::Time time;
            if (timeText.read(f[0], time) != QelTimeText::Ok) continue;
            const RWTime begin = period.calendarTruncate(
                RWTime(static_cast<unsigned long>(time.wall + RWTime::posixOffset)), 7,
                RWZone::utc());
            start = static_cast<std::int64_t>(begin.seconds()) - RWTime::posixOffset;
            lastTime.assign(f[0]);
        }
        for (std::size_t v = 0; v < values.size(); ++v) QelNumberText::read(f[v + 2], values[v]);
        aggregator.add(start, aggregator.keyId(f[1]), values.data());
    }
    return aggregator;
}

void print(const QelPeriodAggregator& total, const std::vector<std::string_view>& names) {
    std::string out = "period\t" + std::string(names[1]) + "\tcount";
    for (std::size_t v = 2; v < names.size(); ++v)
        for (const char* stat : {"sum_", "min_", "max_", "mean_"})
            out += "\t" + std::string(stat) + std::string(names[v]);
    out += '\n';
    char text[64];
    for (const std::uint32_t g : total.groupsInOrder()) {
        const QelPeriodAggregator::Group& group = total.group(g);
        const std::time_t seconds = static_cast<std::time_t>(group.period);
        std::tm tm{};
        gmtime_r(&seconds, &tm);
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
        out += text;
        out += "\t" + std::string(total.key(group.key)) + "\t" + std::to_string(group.count);
        for (std::size_t v = 0; v < total.values(); ++v) {
            for (const double x :
                 {total.sum(g, v), total.min(g, v), total.max(g, v), total.mean(g, v)}) {
                out += '\t';
                QelNumberText::append(out, x);
            }
        }
        out += '\n';
        if (out.size() > (1 << 16)) {
            std::fwrite(out.data(), 1, out.size(), stdout);
            out.clear();
        }
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: engine_bench FILE [THREADS]\n");
        return 2;
    }
    const unsigned threads = argc > 2 ? static_cast<unsigned>(std::atoi(argv[2])) : 2;
    NqMappedFileTokenizer file(argv[1], ',', 0);
    if (!file.good() || threads == 0) {
        std::fprintf(stderr, "engine_bench: cannot map '%s'\n", argv[1]);
        return 2;
    }
    const char* data = file.mappedData();
    const char* const end = data + file.mappedSize();
    data += QelRecordReader::byteOrderMark(data, file.mappedSize());
    QelRecordReader header(QelRecordReader::Dialect{}, 0);
    header.keepAll(true);
    QelRecordReader::Record record;
    data = header.read(data, end, true, record);
    const std::vector<std::string_view> names(header.fields().begin(),
                                              header.fields().begin() + record.fieldCount);
    // 4 MiB parts, taken by whichever thread is free, so that a thread the system holds up
    // does not hold the others up; merged in input order.
    constexpr std::size_t PART = std::size_t{4} << 20;
    std::vector<Part> parts;
    for (const char* from = data; from < end;) {
        const char* to = QelRecordReader::nextLineStart(
            data, from + std::min<std::size_t>(PART, static_cast<std::size_t>(end - from)), end);
        parts.push_back(Part{from, to});
        from = to;
    }
    std::vector<QelPeriodAggregator> results;
    for (std::size_t i = 0; i < parts.size(); ++i) results.emplace_back(names.size() - 2);
    std::atomic<std::size_t> next{0};
    std::vector<std::thread> workers;
    for (unsigned t = 0; t < threads; ++t) {
        workers.emplace_back([&] {
            for (std::size_t i; (i = next++) < parts.size();)
                results[i] = groupPart(parts[i], names.size());
        });
    }
    for (std::thread& w : workers) w.join();
    for (std::size_t i = 1; i < results.size(); ++i) results[0].merge(results[i]);
    print(results[0], names);
    return 0;
}
