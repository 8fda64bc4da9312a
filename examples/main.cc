// SPDX-License-Identifier: Apache-2.0
// Groups a small file of temperature readings by quarter hour and station, the way an
// application built on qelkit usually does: map the file, cut it into fields, read the time
// stamp, truncate it to the start of its period, and add the values up per (period, station).
// It also prints the SQL expression that groups a database column into the same periods.
#include <qelkit/qelkit.h>

#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <utility>

namespace {

// A few readings: time, station, temperature. One time stamp is malformed on purpose.
const char kReadings[] =
    "2007-04-11 14:02:10,north,11.5\n"
    "2007-04-11 14:07:55,south,13.0\n"
    "2007-04-11 14:14:59,north,12.5\n"
    "2007-04-11 14:15:00,north,12.0\n"
    "07-04-11 14:20:00,south,13.5\n"
    "2007-04-11 14:29:30,south,14.5\n";

// A temporary file holding `text`, removed when the object goes out of scope.
class TempFile {
  public:
    explicit TempFile(const char* text) {
        const char* dir = std::getenv("TMPDIR");
        _name = std::string(dir && *dir ? dir : "/tmp") + "/qelkit-example-XXXXXX";
        const int fd = mkstemp(&_name[0]);
        if (fd < 0) throw NqException("cannot create a temporary file");
        const std::string data(text);
        const bool written =
            write(fd, data.data(), data.size()) == static_cast<ssize_t>(data.size());
        close(fd);
        if (!written) throw NqException("cannot write the temporary file");
    }
    ~TempFile() { unlink(_name.c_str()); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    const char* name() const { return _name.c_str(); }

  private:
    std::string _name;
};

struct Totals {
    int count = 0;
    double sum = 0;
};

}  // namespace

int main() {
    try {
        // Local-time arithmetic at a fixed offset: no daylight-saving jumps inside a run.
        QelZone zone;
        const NqTimeAggregation period(NqTimeAggregation::fromString("15 minute"));
        // The classic to_char text groups "15 minute" by the minute; NqPeriodSql writes the
        // expression that groups exactly like truncate, here for PostgreSQL.
        const NqPeriodSql sql(period.code(), QelDate::startOfWeek());
        std::printf("period: %s, SQL grouping: %s\n", period.aggregationDesc(),
                    sql.periodStart("reading_time", NqPeriodSql::PostgreSql).data());

        TempFile file(kReadings);
        NqMappedFileTokenizer fields(file.name(), ',', 0);
        std::map<std::pair<unsigned long, std::string>, Totals> groups;
        for (int line = 1; !fields.end(); ++line, fields.nextLine()) {
            const QelString stamp = fields.next();
            const QelString station = fields.next();
            const QelString value = fields.next();
            if (stamp.isNull() && fields.end()) break;
            try {
                const RWDateTime when = NqStringToDate::nq::datetime(stamp);
                const RWTime start = period.truncate(when.toRWTime());
                Totals& totals = groups[{start.seconds(), std::string(station.data())}];
                ++totals.count;
                totals.sum += std::atof(value.data());
            } catch (NqException& e) {
                // A bad row is reported with where it came from, and skipped.
                e.context(QelString::format("line %d of the readings", line));
                std::fprintf(stderr, "%s", e.asString().data());
            }
        }

        for (const auto& [key, totals] : groups) {
            const RWTime start(key.first);
            std::printf("%s  %-5s  count %d  mean %.2f\n", start.asString("%Y-%m-%d %H:%M").data(),
                        key.second.c_str(), totals.count, totals.sum / totals.count);
        }
        return 0;
    } catch (const NqException& e) {
        std::fprintf(stderr, "%s", e.asString().data());
        return 1;
    }
}
