// SPDX-License-Identifier: Apache-2.0
// QelTimeIO: an instant read from or written as fixed-layout text in a given zone, by default
// "2007-04-09 14:09:43". The layout is whatever timeIOFormat points to at the moment of the
// call, so an application may point it at another one (before other threads use it).
#ifndef QELKIT_DATETIME_QEL_TIME_IO_H
#define QELKIT_DATETIME_QEL_TIME_IO_H

#include "qelkit/export.h"
#include "qelkit/foundation/rw_time.h"
#include "qelkit/foundation/rw_zone.h"
#include "qelkit/strings/qel_string.h"

// The strftime/strptime layout of QelTimeIO; "%Y-%m-%d %H:%M:%S" at load. The pointer may be
// changed, the text is not owned.
extern QELKIT_API const char* timeIOFormat;

class QELKIT_API QelTimeIO {
  public:
    // `zone` is not owned and must outlive this object.
    QelTimeIO(const RWTime& time, const RWZone& zone) : _time(time), _zone(zone) {}
    // Reads the instant from `text` with strptime() and timeIOFormat, as wall-clock time in
    // `zone`. Text that does not match leaves the current time; a year read as 0 means 2000
    // and years 1..99 mean 1901..1999. A matching text the calendar cannot represent gives
    // the invalid time. Nothing is thrown or reported.
    QelTimeIO(const QelString& text, const RWZone& zone);
    ~QelTimeIO() = default;

    // The instant as text in timeIOFormat, in the zone and the global locale.
    operator QelString() const;
    RWTime time() const noexcept { return _time; }

  private:
    RWTime _time;
    const RWZone& _zone;
};

#endif  // QELKIT_DATETIME_QEL_TIME_IO_H
