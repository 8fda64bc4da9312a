// SPDX-License-Identifier: Apache-2.0
#include "qelkit/datetime/qel_locale_snapshot.h"

#include <clocale>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

// The settings and the formats are built on first use, once, even when another file's
// load-time code builds a guard before this file's turn; destroyed in reverse order at unload.
const NqEnvironment& envDateOutputFmt() {
    static const NqEnvironment SETTING("NQ_DATEOUTPUTFMT");
    return SETTING;
}

const NqEnvironment& envTimeOutputFmt() {
    static const NqEnvironment SETTING("NQ_TIMEOUTPUTFMT");
    return SETTING;
}

struct OutputFormats {
    QelString date;
    QelString time;
};

const char* valueOr(const NqEnvironment& setting, const char* fallback) {
    return setting.hasValue() ? setting.value() : fallback;
}

// Guarded by QelLocaleSnapshot::_lock once load-time initialisation is over.
OutputFormats& outputFormats() {
    static OutputFormats FORMATS{QelString(valueOr(envDateOutputFmt(), "%d/%m/%Y")),
                                 QelString(valueOr(envTimeOutputFmt(), "%H:%M:%S"))};
    return FORMATS;
}

// NOLINTNEXTLINE(cert-err58-cpp): only std::bad_alloc can escape, and it fails the load.
[[maybe_unused]] const bool outputFormatsLoaded = (outputFormats(), true);

constexpr unsigned NO_YEAR = 4294967295U;

}  // namespace

// NOLINTNEXTLINE(cert-err58-cpp): only std::bad_alloc can escape, and it fails the load.
const NqEnvironment& __envDateOutputFmt = envDateOutputFmt();
// NOLINTNEXTLINE(cert-err58-cpp): only std::bad_alloc can escape, and it fails the load.
const NqEnvironment& __envTimeOutputFmt = envTimeOutputFmt();

// Constant-initialised, so guards may be built during any file's load-time initialisation.
RWLocaleSnapshot* QelLocaleSnapshot::_localeSnapshot = nullptr;
const RWLocale* QelLocaleSnapshot::_oldLocaleSnapshot = nullptr;
int QelLocaleSnapshot::_referenceCount = 0;
RWMutexLock QelLocaleSnapshot::_lock;

QelLocaleSnapshot::QelLocaleSnapshot(const char* localeName) {
    RWMutexLock::LockGuard guard(_lock);
    if (++_referenceCount != 1) return;
    std::unique_ptr<RWLocaleSnapshot> snapshot;
    try {
        snapshot = std::make_unique<RWLocaleSnapshot>(localeName);
    } catch (...) {
        // This guard never comes to exist, so it holds no reference.
        --_referenceCount;
        throw;
    }
    _oldLocaleSnapshot = RWLocale::global(snapshot.get());
    _localeSnapshot = snapshot.release();

    const char* timeLocale = std::setlocale(LC_TIME, nullptr);
    if (timeLocale != nullptr && std::strcmp(timeLocale, "en_UK") != 0) {
        OutputFormats& formats = outputFormats();
        if (!envDateOutputFmt().hasValue()) formats.date = "%m/%d/%Y";
        if (!envTimeOutputFmt().hasValue()) formats.time = "%H:%M:%S";
    }
}

QelLocaleSnapshot::~QelLocaleSnapshot() {
    RWMutexLock::LockGuard guard(_lock);
    if (--_referenceCount != 0) return;
    RWLocale::global(_oldLocaleSnapshot);
    _oldLocaleSnapshot = nullptr;
    delete _localeSnapshot;
    _localeSnapshot = nullptr;
}

QelString QelLocaleSnapshot::dateOutputFormat() {
    RWMutexLock::LockGuard guard(_lock);
    return outputFormats().date;
}

QelString QelLocaleSnapshot::timeOutputFormat() {
    RWMutexLock::LockGuard guard(_lock);
    return outputFormats().time;
}

unsigned QelLocaleSnapshot::fixedWindowValue(unsigned year) noexcept {
    if (year >= 100) return year;
    return year < 69 ? year + 2000 : year + 1900;
}

unsigned QelLocaleSnapshot::fixedWindowValue(const char* text) {
    int value = 0;
    if (std::sscanf(text, "%d", &value) != 1) return NO_YEAR;
    return fixedWindowValue(static_cast<unsigned>(value));
}

QelString QelLocaleSnapshot::fixedWindowString(unsigned year) {
    const unsigned value = fixedWindowValue(year);
    if (value == NO_YEAR) return QelString::_nullString;
    // Printed as a signed int, so a negative text value comes back with its sign ("-0005").
    return QelString::format("%4.4d", static_cast<int>(value));
}

QelString QelLocaleSnapshot::fixedWindowString(const char* text) {
    const unsigned value = fixedWindowValue(text);
    if (value == NO_YEAR) return QelString::_nullString;
    return QelString::format("%4.4d", static_cast<int>(value));
}
