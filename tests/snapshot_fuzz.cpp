// The snapshot reader under clang's libFuzzer (scripts/fuzz-test.sh runs it
// from a corpus of real snapshots). Whatever the bytes, the reader refuses
// them with a reason, or reads a snapshot that is exactly the one it writes
// for the lattice restored from it; AddressSanitizer and UBSan watch every
// read, and nothing may crash, hang or take memory that the bytes declare.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "snapshot_format.h"
#include "snapshot_layout.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string reason;
    // Where lbm_trace finds a file too large, it reads its beginning alone.
    if (size > snapshotMaxBytes()) {
        if (!readSnapshotHead(data, size, reason) && reason.empty()) std::abort();
        return 0;
    }
    SnapshotReading reading;
    // A name with a step, for the snapshots without field data.
    if (!readSnapshot(data, size, "lattice_000042.vti", reading, reason)) {
        if (reason.empty()) std::abort();
        return 0;
    }
    std::vector<unsigned char> again;
    encodeSnapshotAsRead(*restoreLattice(data, reading, reading.description.parameters), reading, again);
    if (again.size() != size || !std::equal(again.begin(), again.end(), data)) std::abort();
    return 0;
}
