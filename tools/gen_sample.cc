// SPDX-License-Identifier: Apache-2.0
// qelkit-gen-sample: writes deterministic sample measurements for qelkit-agg to standard output:
// a header "time,device,temperature,humidity,power,flow" and, for each time step, one row per
// device, times as "YYYY-MM-DD HH:MM:SS" wall-clock text. The same arguments always give the
// same bytes (no time zone, locale or random device is consulted).
//
//   qelkit-gen-sample [ROWS [DEVICES [STEP_SECONDS]]]
// Defaults: three weeks of five-minute readings from four devices (24192 rows).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "qelkit/foundation/rw_date.h"

namespace {

// A small linear congruential generator: fixed sequence on every platform.
struct Lcg {
    unsigned long long state;
    double next() {  // uniform in [0, 1)
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<double>(state >> 11) / 9007199254740992.0;
    }
};

long argument(int argc, char** argv, int i, long fallback) {
    if (argc <= i) return fallback;
    char* end = nullptr;
    const long value = std::strtol(argv[i], &end, 10);
    if (*argv[i] == '\0' || *end != '\0' || value < 1) {
        std::fprintf(stderr, "qelkit-gen-sample: invalid argument '%s'\n", argv[i]);
        std::exit(2);
    }
    return value;
}

}  // namespace

int main(int argc, char** argv) {
    const long rows = argument(argc, argv, 1, 21L * 288 * 4);
    const long devices = argument(argc, argv, 2, 4);
    const long step = argument(argc, argv, 3, 300);
    const long start = 20514L * 86400;  // Monday 2026-03-02 00:00:00

    static char buffer[1 << 16];
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    std::fputs("time,device,temperature,humidity,power,flow\n", stdout);
    Lcg random{12345};
    std::vector<double> drift(static_cast<std::size_t>(devices), 0.0);
    for (long row = 0; row < rows; ++row) {
        const long tick = row / devices;
        const long device = row % devices;
        const long t = start + tick * step;
        long year = 0;
        unsigned month = 0, day = 0;
        RWDate::civilFromJdn(t / 86400 + 2440588, &year, &month, &day);  // 2440588: 1970-01-01
        const long sec = t % 86400;
        // A daily cycle (a triangle wave keeps libm out of the byte-exact output) plus noise
        // and a slow per-device drift.
        const double phase = static_cast<double>(sec) / 86400.0;
        const double cycle = phase < 0.5 ? 4 * phase - 1 : 3 - 4 * phase;
        double& d = drift[static_cast<std::size_t>(device)];
        d += (random.next() - 0.5) * 0.02;
        const double temperature = 18.0 + device + 4.0 * cycle + d + random.next();
        const double humidity = 55.0 - 10.0 * cycle + 5.0 * random.next();
        const double power = 1200.0 + 150.0 * device + 300.0 * cycle + 50.0 * random.next();
        const long flow = static_cast<long>(random.next() * 100);
        std::printf("%04ld-%02u-%02u %02ld:%02ld:%02ld,dev-%02ld,%.2f,%.2f,%.1f,%ld\n", year, month,
                    day, sec / 3600, sec / 60 % 60, sec % 60, device + 1, temperature, humidity,
                    power, flow);
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
