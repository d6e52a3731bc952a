#include "snapshot_series.h"

#include <utility>

#include "snapshot_format.h"

namespace {

// What the directory's messages say the run writes there.
constexpr const char* CONTENTS = "the snapshots";

}  // namespace

SnapshotSeries::SnapshotSeries(std::string directory) : directory_(std::move(directory), CONTENTS) {}

SnapshotSeries::SnapshotSeries(std::string directory, uint64_t nameSeed)
    : directory_(std::move(directory), CONTENTS, nameSeed) {}

bool SnapshotSeries::write(const Lattice& lattice, const SnapshotDescription& description) {
    encodeSnapshot(lattice, description, buffer_);
    if (!directory_.writeFile(snapshotFileName(description.step), buffer_.data(), buffer_.size())) return false;

    entries_ += collectionEntry(description.step);
    ++written_;
    constexpr std::chrono::seconds COLLECTION_INTERVAL{1};
    if (listed_ > 0 && std::chrono::steady_clock::now() - collectionTime_ < COLLECTION_INTERVAL) return true;
    return writeCollection();
}

bool SnapshotSeries::finish() { return written_ == listed_ ? listedOk_ : writeCollection(); }

bool SnapshotSeries::writeCollection() {
    const std::string collection = collectionText(entries_);
    listed_ = written_;
    collectionTime_ = std::chrono::steady_clock::now();
    listedOk_ = directory_.writeFile(COLLECTION_FILE_NAME, collection.data(), collection.size());
    return listedOk_;
}
