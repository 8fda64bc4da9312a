// SPDX-License-Identifier: Apache-2.0
// QelTimeText on arbitrary text, in the layout formats and under a few patterns. Whatever it
// accepts must be a real calendar time (midnight in a layout format unless the text holds a
// clock), and its wall-clock fields written back in the plainest layout ("YYYY-MM-DD
// HH:MM:SS") must read back to the same instant with no zone. It calls a text blank exactly
// when the text holds nothing but blanks and tabs, and in range or out of range exactly when
// the text with every digit made '1' (which puts every field in range and keeps the shape)
// reads.
// The epoch formats are checked against the text's decimal value, moved and cut by hand as
// digits. And the input also picks a pattern and the fields of a time: the text the fuzzer
// writes from them with printf must read back to those fields, or be out of range exactly when
// the day does not exist.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "qelkit/datetime/qel_time_text.h"
#include "qelkit/internal/calendar.h"

namespace {

void checkReader(const QelTimeText& reader, std::string_view text, const std::string& ones) {
    QelTimeText::Time time, shaped;
    const QelTimeText::Result result = reader.read(text, time);
    check((result == QelTimeText::Blank) == (text.find_first_not_of(" \t") == text.npos));
    check((result == QelTimeText::Ok || result == QelTimeText::OutOfRange) ==
          (reader.read(ones, shaped) == QelTimeText::Ok));
    if (result != QelTimeText::Ok) return;
    const qelkit_internal::CivilTime t = qelkit_internal::civilTimeFromSeconds(time.wall);
    check(t.date.year >= 1 && t.date.year <= 9999);
    check(time.offsetEast > -86400 && time.offsetEast < 86400);
    check(time.hasOffset || time.offsetEast == 0);
    check(time.nanos >= 0 && time.nanos <= 999999999);
    // The default layouts give a time of day only with a clock, which holds a ':'.
    check(reader.format() == QelTimeText::Pattern || text.find(':') != text.npos ||
          t.hour + t.minute + t.second + time.nanos == 0);
    char plain[32];
    std::snprintf(plain, sizeof plain, "%04d-%02u-%02u %02u:%02u:%02u",
                  static_cast<int>(t.date.year), t.date.month, t.date.day, t.hour, t.minute,
                  t.second);
    QelTimeText::Time again;
    check(QelTimeText().read(plain, again) == QelTimeText::Ok && again.wall == time.wall &&
          !again.hasOffset);
}

// An epoch count `text` of units 10^-shift seconds against its decimal digits.
void checkEpoch(QelTimeText::Format format, int shift, std::string_view text) {
    QelTimeText::Time time;
    const QelTimeText::Result result = QelTimeText(format).read(text, time);
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == text.npos) return check(result == QelTimeText::Blank);
    text = text.substr(first, text.find_last_not_of(" \t") + 1 - first);
    const bool negative = text[0] == '-';
    const std::size_t point = text.find('.');
    std::string whole(text.substr(negative, point - negative));
    std::string fraction(point == text.npos ? "" : text.substr(point + 1));
    if (whole.empty() || (point != text.npos && fraction.empty()) ||
        (whole + fraction).find_first_not_of("0123456789") != std::string::npos)
        return check(result == QelTimeText::NoLayout);
    // Move the point `shift` digits left, keep nine digits after it, drop leading zeros.
    whole.insert(0, shift + 1, '0');
    fraction = (whole.substr(whole.size() - shift) + fraction + "000000000").substr(0, 9);
    whole.resize(whole.size() - shift);
    whole.erase(0, std::min(whole.find_first_not_of('0'), whole.size() - 1));
    const bool wholeSecond = fraction == "000000000", zero = wholeSecond && whole == "0";
    const long long limit = negative ? 62135596800 : 253402300799;  // years 1 and 9999
    const bool inRange =
        whole.size() < 13 && std::stoll(whole) < limit + (!negative || wholeSecond);
    check(result == (inRange ? QelTimeText::Ok : QelTimeText::OutOfRange));
    const bool below = time.wall < 0;
    char read[40];
    std::snprintf(read, sizeof read, "%s%lld.%09d", below ? "-" : "",
                  static_cast<long long>(below ? -(time.wall + (time.nanos > 0)) : time.wall),
                  below && time.nanos ? 1000000000 - time.nanos : time.nanos);
    check(!inRange || (time.hasOffset && time.offsetEast == 0 &&
                       read == (negative && !zero ? "-" : "") + whole + "." + fraction));
}

// A pattern of a date (its fields in some order), then a prefix of hour, minute, second,
// fraction and zone, each field after a separator (the zone maybe straight after the field
// before it); and the text printf writes of fields the input picks, which reads back to them.
QelTimeText checkWritten(Input in) {
    static const char SEPARATORS[] = " -/:T._,%x",
                      MONTHS[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
    static const char* const ZONES[] = {"%c%02d:%02d", "%c%02d%02d", "%c%02d", "Z"};
    const unsigned choice = in.next();
    int f[] = {(in.next() << 8 | in.next()) % 10000,
               1 + in.next() % 12,
               1 + in.next() % 31,
               in.next() % 24,
               in.next() % 60,
               in.next() % 60,
               in.next() * 3921568,
               (in.next() % 24 * 60 + in.next() % 60) * (choice & 128 ? -60 : 60)};
    std::string steps = "YmdHMSfz", pattern, text;
    std::rotate(steps.begin(), steps.begin() + choice / 8 % 3, steps.begin() + 3);
    steps.resize(3 + choice % 6);
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const unsigned bits = in.next();
        if (i > 0 && (steps[i] != 'z' || bits & 16)) {
            const char separator = SEPARATORS[(bits >> 4) % 10];
            pattern += separator == '%' ? "%%" : std::string(1, separator);
            text += separator;
        }
        char letter = steps[i], field[16];
        int& value = f[std::string("YmdHMSfz").find(letter)];
        std::snprintf(field, sizeof field,
                      letter == 'Y' ? "%04d"
                      : bits & 1    ? "%02d"
                                    : "%d",
                      value);
        if (letter == 'Y' && bits & 2) {
            value = 1969 + value % 100;
            std::snprintf(field, sizeof field, "%02d", value % 100);
            letter = 'y';
        } else if (letter == 'm' && bits & 2) {
            std::snprintf(field, sizeof field, "%.3s", MONTHS + 3 * value - 3);
            field[bits / 4 % 3] ^= 32;  // some letter in the other case
            letter = 'b';
        } else if (letter == 'd' && bits & 2) {
            std::snprintf(field, sizeof field, bits & 1 ? "%2d" : "%d", value);
            letter = 'e';
        } else if (letter == 'H' && bits & 2) {
            std::snprintf(field, sizeof field, "%d %s", (value + 11) % 12 + 1,
                          value < 12 ? "am" : "PM");
            letter = 'I';
        } else if (letter == 'f') {
            std::snprintf(field, sizeof field, "%09d", value);
            field[1 + bits / 2 % 9] = '\0';
            value = std::stoi((field + std::string(9, '0')).substr(0, 9));
        } else if (letter == 'z') {
            const int form = bits / 2 % 4, east = std::abs(value);
            std::snprintf(field, sizeof field, ZONES[form], value < 0 ? '-' : '+', east / 3600,
                          east / 60 % 60);
            value = form == 3 ? 0 : form == 2 ? value / 3600 * 3600 : value;
        }
        pattern += std::string("%") + letter + (letter == 'I' ? " %p" : "");
        text += field;
    }
    for (std::size_t k = steps.size(); k < 8; ++k) f[k] = 0;
    QelTimeText reader;
    std::string why;
    check(QelTimeText::pattern(pattern, reader, why));
    QelTimeText::Time time;
    const bool valid = qelkit_internal::validCivil(f[0], unsigned(f[1]), unsigned(f[2]));
    check(reader.read(text, time) == (valid ? QelTimeText::Ok : QelTimeText::OutOfRange));
    const qelkit_internal::CivilTime t = qelkit_internal::civilTimeFromSeconds(time.wall);
    check(!valid ||
          (t.date.year == f[0] && int(t.date.month) == f[1] && int(t.date.day) == f[2] &&
           int(t.hour) == f[3] && int(t.minute) == f[4] && int(t.second) == f[5] &&
           time.nanos == f[6] && time.offsetEast == f[7] && time.hasOffset == (steps.size() == 8)));
    return reader;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(input), size);
    std::string ones(text);
    for (char& c : ones) c = c >= '0' && c <= '9' ? '1' : c;
    for (const auto format : {QelTimeText::YearFirst, QelTimeText::MonthFirst})
        checkReader(QelTimeText(format), text, ones);
    checkReader(checkWritten(Input{input, size}), text, ones);
    checkEpoch(QelTimeText::Epoch, 0, text);
    checkEpoch(QelTimeText::EpochMs, 3, text);
    checkEpoch(QelTimeText::EpochUs, 6, text);
    return 0;
}
