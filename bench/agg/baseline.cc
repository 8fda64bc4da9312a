// SPDX-License-Identifier: Apache-2.0
// The straightforward program qelkit-agg is measured against: std::getline, strptime, mktime
// and std::map, with the same output as
//   qelkit-agg --header -k 2 -p "15 minute" FILE
// for a file of "time,device,value..." lines (time as "%Y-%m-%d %H:%M:%S", local time).
// Build: g++ -O2 -std=c++17 baseline.cc -o baseline
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

struct Stats {
    double sum = 0, min = 0, max = 0;
};
struct Group {
    long count = 0;
    std::vector<Stats> values;
};

std::vector<std::string> split(const std::string& line) {
    std::vector<std::string> fields;
    std::stringstream in(line);
    std::string field;
    while (std::getline(in, field, ',')) fields.push_back(field);
    return fields;
}

std::string number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.15g", v);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: baseline FILE\n";
        return 2;
    }
    std::ifstream in(argv[1]);
    std::string line;
    if (!std::getline(in, line)) return 2;
    const std::vector<std::string> names = split(line);
    std::map<std::pair<std::time_t, std::string>, Group> groups;
    while (std::getline(in, line)) {
        const std::vector<std::string> f = split(line);
        if (f.size() < names.size()) continue;
        struct tm t = {};
        if (strptime(f[0].c_str(), "%Y-%m-%d %H:%M:%S", &t) == nullptr) continue;
        t.tm_isdst = -1;
        t.tm_min -= t.tm_min % 15;
        t.tm_sec = 0;
        const std::time_t start = std::mktime(&t);
        Group& g = groups[{start, f[1]}];
        if (g.count++ == 0) g.values.resize(f.size() - 2);
        for (std::size_t i = 2; i < f.size(); ++i) {
            const double v = std::strtod(f[i].c_str(), nullptr);
            Stats& s = g.values[i - 2];
            if (g.count == 1) {
                s.min = s.max = v;
            } else {
                s.min = std::min(s.min, v);
                s.max = std::max(s.max, v);
            }
            s.sum += v;
        }
    }
    std::cout << "period\t" << names[1] << "\tcount";
    for (std::size_t i = 2; i < names.size(); ++i)
        for (const char* s : {"sum_", "min_", "max_", "mean_"}) std::cout << '\t' << s << names[i];
    std::cout << '\n';
    for (const auto& [key, g] : groups) {
        char period[32];
        struct tm t;
        localtime_r(&key.first, &t);
        std::strftime(period, sizeof period, "%Y-%m-%d %H:%M:%S", &t);
        std::cout << period << '\t' << key.second << '\t' << g.count;
        for (const Stats& s : g.values)
            std::cout << '\t' << number(s.sum) << '\t' << number(s.min) << '\t' << number(s.max)
                      << '\t' << number(s.sum / g.count);
        std::cout << '\n';
    }
    return 0;
}
