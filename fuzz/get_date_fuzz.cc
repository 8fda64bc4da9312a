// SPDX-License-Identifier: Apache-2.0
// Parses arbitrary text with GetDate: the text alone (locale parser, then getdate() templates
// from a small DATEMSK file written at start) and the text with a format taken from the input.
// Input: [text] NUL [format]; without a NUL only the one-text form runs. Checks that validity,
// the instant and mktime() agree, that a corrected instant lies in 1969 or later, and that a
// format strptime() rejects leaves the object invalid.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "fuzz/fuzz_check.h"
#include "qelkit/datetime/get_date.h"
#include "qelkit/foundation/nq_trace.h"

namespace {

void checkConsistent(const GetDate& g) {
    const RWTime t = g.time();
    check(g.isValid() == (t.seconds() != 0 ? 1 : 0));
    const std::uint32_t low = static_cast<std::uint32_t>(t.seconds() - RWTime::posixOffset);
    check(g.mktime() == static_cast<long>(static_cast<std::int32_t>(low)));
    if (!g.isValid()) return;
    tm local{};
    t.extract(&local);
    check(local.tm_year >= 69);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static const std::string path = "/tmp/qelkit_get_date_fuzz_templates";
    if (std::FILE* f = std::fopen(path.c_str(), "w")) {
        std::fputs("%Y-%m-%d %H:%M\n%d.%m.%y\n%A %H:%M\n", f);
        std::fclose(f);
        setenv("DATEMSK", path.c_str(), 1);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::size_t nul = bytes.find('\0');
    const std::string text = bytes.substr(0, nul);
    checkConsistent(GetDate(text.c_str()));
    if (nul == std::string::npos) return 0;
    const std::string format = bytes.substr(nul + 1, bytes.find('\0', nul + 1) - nul - 1);
    const GetDate g(text.c_str(), format.c_str());
    checkConsistent(g);
    tm probe{};
    if (!text.empty() && !format.empty() &&
        strptime(text.c_str(), format.c_str(), &probe) == nullptr)
        check(!g.isValid());
    return 0;
}
