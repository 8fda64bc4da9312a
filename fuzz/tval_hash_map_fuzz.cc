// SPDX-License-Identifier: Apache-2.0
// Runs a decoded sequence of insertions, removals, look-ups, operator[] and resizes on an
// RWTValHashMap whose keys 50 apart share a hash code, against std::map. Every answer must
// agree as it is given (with no buckets, insertions fail and operator[] throws RWInternalErr);
// at the end the iteration must visit every pair of the reference once, and clear() must empty
// the map and keep its buckets.
//
// Input: [bucket count] then operations, each [op][key]; a resize takes the key byte as its
// bucket count.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "fuzz/fuzz_check.h"
#include "qelkit/foundation/rw_errors.h"
#include "qelkit/foundation/rw_tval_hash_map.h"

namespace {

// Keys 50 apart share a hash code, so the map must tell them apart by equality alone.
struct Colliding {
    std::size_t operator()(int k) const { return static_cast<std::size_t>(k % 50); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    RWTValHashMap<int, std::string, Colliding, std::equal_to<int>> m(data[0] % 20);
    std::map<int, std::string> reference;
    for (std::size_t i = 1; i + 1 < size; i += 2) {
        const int k = data[i + 1] % 200;
        const std::string v = std::to_string(i);
        std::string found = "none";
        int key = -1;
        switch (data[i] % 5) {
            case 0:
                check(m.insert(k, v) == (m.capacity() > 0 && reference.emplace(k, v).second));
                break;
            case 1:
                check(m.remove(k) == (reference.erase(k) == 1));
                break;
            case 2: {  // a miss leaves the outputs alone
                std::string value = "none";
                check(m.findKeyAndValue(k, key, found) == (reference.count(k) == 1));
                check(found == (reference.count(k) ? reference[k] : "none"));
                check(key == (found == "none" ? -1 : k));
                check(m.findValue(k, value) == (reference.count(k) == 1) && value == found);
                check(m.contains(k) == (reference.count(k) == 1));
                break;
            }
            case 3:  // both insert an empty value when the key is missing
                if (m.capacity() > 0) {
                    check(m[k] == reference[k]);
                } else {
                    try {
                        m[k];
                        check(false);
                    } catch (const RWInternalErr&) {
                    }
                }
                break;
            default:
                m.resize(static_cast<std::size_t>(data[i + 1] % 40));
        }
        check(m.entries() == reference.size());
    }
    std::map<int, std::string> walked;
    for (const auto& [k, v] : m) check(walked.emplace(k, v).second);
    check(walked == reference);
    check((m.begin() == m.end()) == reference.empty());
    const std::size_t buckets = m.capacity();
    m.clear();
    check(m.isEmpty() && m.capacity() == buckets);
    check(reference.empty() || !m.contains(reference.begin()->first));
    return 0;
}
