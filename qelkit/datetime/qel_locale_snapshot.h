// SPDX-License-Identifier: Apache-2.0
// QelLocaleSnapshot: a reference-counted guard that installs one platform locale snapshot as
// the process's global vendor locale (RWLocale::global()) while any guard lives, and restores
// the earlier locale when the last one ends. Nested guards share the first guard's locale.
// The class also keeps the library-wide date and time output formats and the fixed-window
// rule that turns two-digit years into four-digit ones.
//
// All state is static and guarded by one class lock; guards may be built and destroyed on
// several threads. The installed locale affects every thread.
//
// Warning: the destruction of the last guard deletes the shared snapshot at once, while other
// threads may still hold the reference RWLocale::global() gave them (RWLocale::global() is
// also the default locale argument of the date and time classes). The class lock does not
// cover those readers: any use of that reference afterwards reads freed memory. Keep a guard
// alive for as long as any thread may format or parse dates and times with the global
// locale, typically one guard for the life of the application, built before its threads start
// and destroyed after they end.
#ifndef QELKIT_DATETIME_QEL_LOCALE_SNAPSHOT_H
#define QELKIT_DATETIME_QEL_LOCALE_SNAPSHOT_H

#include "qelkit/export.h"
#include "qelkit/foundation/nq_environment.h"
#include "qelkit/foundation/rw_locale.h"
#include "qelkit/foundation/rw_mutex_lock.h"
#include "qelkit/strings/qel_string.h"

class QELKIT_API QelLocaleSnapshot {
  public:
    // Takes a reference on the shared snapshot. The first reference creates
    // RWLocaleSnapshot(localeName) and installs it; later ones ignore the name. The first
    // installation under a time locale (setlocale(LC_TIME, NULL)) other than "en_UK" sets the
    // date output format to "%m/%d/%Y" unless NQ_DATEOUTPUTFMT was set at load (likewise the
    // time format to "%H:%M:%S"). A failure of the snapshot propagates; no reference is taken.
    explicit QelLocaleSnapshot(const char* localeName);
    // Drops the reference; the last one reinstalls the earlier locale and deletes the snapshot.
    virtual ~QelLocaleSnapshot();

    QelLocaleSnapshot(const QelLocaleSnapshot&) = delete;
    QelLocaleSnapshot& operator=(const QelLocaleSnapshot&) = delete;

    // Copies of the output formats, taken under the class lock. At load: the text of
    // NQ_DATEOUTPUTFMT / NQ_TIMEOUTPUTFMT when set, else "%d/%m/%Y" / "%H:%M:%S".
    static QelString dateOutputFormat();
    static QelString timeOutputFormat();

    // Four-digit years: the first decimal integer of `text` (sscanf "%d"), or `year`; values
    // 0..68 mean 2000..2068, 69..99 mean 1969..1999, others (negative text values read as
    // large unsigned ones) are kept. Text without a number gives 4294967295. Never throw.
    static unsigned fixedWindowValue(const char* text);
    static unsigned fixedWindowValue(unsigned year) noexcept;
    // The same value as text, zero-padded to four digits ("%4.4d"); the empty string when the
    // text held no number.
    static QelString fixedWindowString(const char* text);
    static QelString fixedWindowString(unsigned year);

  private:
    // The installed snapshot (owned: created by the first guard, deleted by the last), the
    // locale it replaced, and the number of live guards. All guarded by _lock.
    static RWLocaleSnapshot* _localeSnapshot;
    static const RWLocale* _oldLocaleSnapshot;
    static int _referenceCount;
    static RWMutexLock _lock;
};

// The output-format settings, read once at load (no default). Valid once the library's static
// initialisation has run.
extern QELKIT_API const NqEnvironment& __envDateOutputFmt;
extern QELKIT_API const NqEnvironment& __envTimeOutputFmt;

#endif  // QELKIT_DATETIME_QEL_LOCALE_SNAPSHOT_H
