// Reading a snapshot back: a strict reader of exactly the text this build
// writes, not an XML parser. The file's text is compared with the text that
// the writer makes from the values found in it, so anything else (another
// layout, other attributes, other spellings of the numbers, XML that is not
// well formed) is refused; the appended data is raw binary, which no XML
// parser reads, at offsets and with sizes fixed by the lattice.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "quote.h"
#include "snapshot_format.h"
#include "snapshot_layout.h"

namespace {

// The longest line of text a reader looks at.
constexpr size_t LINE_MAX_BYTES = 1024;

// The file's text, line by line, never beyond its end.
class Lines {
public:
    Lines(const unsigned char* data, size_t size) : data_(data), size_(size) {}

    // The next line, its '\n' included; false (with `reason`) when the file
    // ends first or the line is longer than any of a snapshot.
    bool next(std::string& line, std::string& reason) {
        ++number_;
        const size_t rest = size_ - position_;
        const size_t look = rest < LINE_MAX_BYTES ? rest : LINE_MAX_BYTES;
        const void* end = std::memchr(data_ + position_, '\n', look);
        if (end == nullptr) {
            reason = look == rest ? "it ends in line " + std::to_string(number_) + ", in the text before the arrays"
                                  : "line " + std::to_string(number_) + " is longer than any line of a snapshot";
            return false;
        }
        const size_t length = static_cast<size_t>(static_cast<const unsigned char*>(end) - (data_ + position_)) + 1;
        line.assign(reinterpret_cast<const char*>(data_ + position_), length);
        position_ += length;
        return true;
    }
    // Whether the text at the current position is `text`; taken when it is.
    bool take(const std::string& text) {
        if (size_ - position_ < text.size() || std::memcmp(data_ + position_, text.data(), text.size()) != 0)
            return false;
        position_ += text.size();
        number_ += static_cast<int>(std::count(text.begin(), text.end(), '\n'));
        return true;
    }
    size_t position() const { return position_; }
    int number() const { return number_; }

private:
    const unsigned char* data_;
    size_t size_;
    size_t position_ = 0;
    int number_ = 0;
};

// A line of the file, shown in a message: quoted, without its '\n', cut
// short when long.
std::string shown(std::string line) {
    if (!line.empty() && line.back() == '\n') line.pop_back();
    constexpr size_t SHOWN = 100;
    if (line.size() > SHOWN) return quotedText(line.substr(0, SHOWN)) + "...";
    return quotedText(line);
}

// The value of attribute `name` in the start tag `line` (name="value"), or
// false. Only for a first look that names what differs: the line is then
// compared whole.
bool attribute(const std::string& line, const std::string& name, std::string& value) {
    const size_t at = line.find(' ' + name + "=\"");
    if (at == std::string::npos) return false;
    const size_t start = at + name.size() + 3;
    const size_t end = line.find('"', start);
    if (end == std::string::npos) return false;
    value = line.substr(start, end - start);
    return true;
}

// A whole number from 0 written as the writer writes one: decimal digits, no
// leading zero but in "0", no more than fits in a long.
bool parseWhole(const std::string& text, long& value) {
    if (text.empty() || (text[0] == '0' && text.size() > 1)) return false;
    long parsed = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        const int digit = text[i] - '0';
        if (parsed > (LONG_MAX - digit) / 10) return false;
        parsed = parsed * 10 + digit;
    }
    value = parsed;
    return true;
}

// A float of the field data: what strtof reads in the whole text, finite,
// and written as the writer writes that float.
bool parseFloat(const std::string& text, float& value) {
    if (text.empty() || text.size() > 32) return false;
    char* end = nullptr;
    const float parsed = std::strtof(text.c_str(), &end);
    if (*end != '\0' || !std::isfinite(parsed) || snapshotFloatText(parsed) != text) return false;
    value = parsed;
    return true;
}

// Whole numbers separated by single spaces.
bool parseWholes(const std::string& text, long* values, int count) {
    size_t start = 0;
    for (int i = 0; i < count; ++i) {
        const size_t end = i + 1 < count ? text.find(' ', start) : text.size();
        if (end == std::string::npos || !parseWhole(text.substr(start, end - start), values[i])) return false;
        start = end + 1;
    }
    return true;
}

// A string as VTK writes one: its characters' codes and 0, separated by
// single spaces; here only the characters a program's text may hold.
bool parseString(const std::string& text, std::string& value) {
    value.clear();
    size_t start = 0;
    while (start <= text.size()) {
        const size_t space = text.find(' ', start);
        const size_t end = space == std::string::npos ? text.size() : space;
        long code = 0;
        if (!parseWhole(text.substr(start, end - start), code)) return false;
        if (code == 0) return end == text.size() && !value.empty();
        if (code > 127 || !snapshotProgramCharacter(static_cast<int>(code)) || value.size() == SNAPSHOT_PROGRAM_MAX)
            return false;
        value += static_cast<char>(code);
        start = end + 1;
    }
    return false;
}

// The values of the field data, line by line; `reason` names the one that
// is not a snapshot's.
bool readFieldData(Lines& lines, SnapshotReading& reading, std::string& reason) {
    std::string texts[SNAPSHOT_FIELDS_COUNT];
    std::string line;
    for (int i = 0; i < SNAPSHOT_FIELDS_COUNT; ++i) {
        if (!lines.next(line, reason)) return false;
        const std::string prefix = SNAPSHOT_FIELD_LINES[i].prefix;
        const std::string suffix = SNAPSHOT_FIELD_LINES[i].suffix;
        if (line.size() < prefix.size() + suffix.size() || line.compare(0, prefix.size(), prefix) != 0 ||
            line.compare(line.size() - suffix.size(), suffix.size(), suffix) != 0) {
            std::string name = prefix.substr(prefix.find("Name=\"") + 6);
            name = name.substr(0, name.find('"'));
            reason = "line " + std::to_string(lines.number()) + " is " + shown(line) +
                     ", not the field data's array '" + name + "' as a snapshot has it";
            return false;
        }
        texts[i] = line.substr(prefix.size(), line.size() - prefix.size() - suffix.size());
    }
    const auto invalid = [&](const char* what, int field) {
        reason = std::string("its ") + what + " " + shown(texts[field]) + " is not one that latticeview writes";
        return false;
    };
    SnapshotDescription& d = reading.description;
    RunParameters& p = d.parameters;
    long cell[3] = {0, 0, 0};
    long layers = 0;
    if (!parseWhole(texts[FIELD_TIME_VALUE], d.step)) return invalid("step (TimeValue)", FIELD_TIME_VALUE);
    if (!parseFloat(texts[FIELD_TAU], p.tau) || !validTau(p.tau)) return invalid("tau", FIELD_TAU);
    if (!parseFloat(texts[FIELD_SPACING], p.spacing) || !validSpacing(p.spacing))
        return invalid("spacing", FIELD_SPACING);
    if (!parseWholes(texts[FIELD_SOURCE_CELL], cell, 3)) return invalid("source cell", FIELD_SOURCE_CELL);
    if (!validSourceCell(static_cast<int>(cell[0] < INT_MAX ? cell[0] : INT_MAX),
                         static_cast<int>(cell[1] < INT_MAX ? cell[1] : INT_MAX),
                         static_cast<int>(cell[2] < INT_MAX ? cell[2] : INT_MAX))) {
        reason = "its source cell " + shown(texts[FIELD_SOURCE_CELL]) + " is outside this lattice";
        return false;
    }
    p.sourceX = static_cast<int>(cell[0]);
    p.sourceY = static_cast<int>(cell[1]);
    p.sourceLayer = static_cast<int>(cell[2]);
    if (!parseFloat(texts[FIELD_SOURCE_VALUE], p.sourceValue) || !validSourceValue(p.sourceValue))
        return invalid("source value", FIELD_SOURCE_VALUE);
    if (!parseWhole(texts[FIELD_LAYERS], layers)) return invalid("number of layers", FIELD_LAYERS);
    if (layers != NUM_LAYERS) {
        reason = "it is a lattice of " + std::to_string(layers) + " layers, this program's has " +
                 std::to_string(NUM_LAYERS);
        return false;
    }
    if (!parseString(texts[FIELD_PROGRAM], reading.program)) return invalid("program", FIELD_PROGRAM);
    if (!lines.next(line, reason)) return false;
    if (line != FIELD_DATA_END) {
        reason = "line " + std::to_string(lines.number()) + " is " + shown(line) + ", not the end of the field data";
        return false;
    }
    return true;
}

// The first lines: an XML declaration, a VTK file of image data in the byte
// order and with the block headers this build writes, of this lattice's size.
bool readHead(Lines& lines, std::string& reason) {
    const std::string& head = snapshotHead();
    const size_t second = head.find('\n') + 1;
    const size_t third = head.find('\n', second) + 1;
    std::string line;
    if (!lines.next(line, reason) || line != head.substr(0, second)) {
        reason = line.compare(0, 5, "<?xml") == 0 ? "its XML declaration is not a snapshot's"
                                                    : "it is not a VTK XML file";
        return false;
    }
    if (!lines.next(line, reason)) return false;
    std::string value;
    if (line.compare(0, 9, "<VTKFile ") != 0) {
        reason = "it is not a VTK XML file (line 2 is " + shown(line) + ")";
        return false;
    }
    const auto differs = [&](const char* name, const char* expected, const char* what) {
        if (!attribute(line, name, value) || value == expected) return false;
        reason = std::string("it is a VTK file of ") + what + " " + quotedText(value) + ", a snapshot's is '" + expected +
                 "'";
        return true;
    };
    if (differs("type", "ImageData", "type") || differs("byte_order", "LittleEndian", "byte order") ||
        differs("header_type", "UInt32", "header type"))
        return false;
    if (attribute(line, "compressor", value)) {
        reason = "its arrays are compressed (" + quotedText(value) + "), a snapshot's are raw";
        return false;
    }
    if (line != head.substr(second, third - second)) {
        reason = "its VTKFile element " + shown(line) + " is not a snapshot's";
        return false;
    }
    if (!lines.next(line, reason)) return false;
    if (attribute(line, "WholeExtent", value) && value != snapshotExtent()) {
        long extent[6] = {0, 0, 0, 0, 0, 0};
        if (parseWholes(value, extent, 6) && extent[0] == 0 && extent[2] == 0 && extent[4] == 0 &&
            extent[1] < INT_MAX && extent[3] < INT_MAX && extent[5] < INT_MAX) {
            reason = "it is a lattice of " + std::to_string(extent[1] + 1) + " x " + std::to_string(extent[3] + 1) +
                     " cells in " + std::to_string(extent[5] + 1) + " layers, this program's is " +
                     std::to_string(GRID_SIZE) + " x " + std::to_string(GRID_SIZE) + " in " +
                     std::to_string(NUM_LAYERS);
        } else {
            reason = "its extent " + quotedText(value) + " is not this lattice's '" + snapshotExtent() + "'";
        }
        return false;
    }
    if (line != head.substr(third)) {
        reason = "its ImageData element " + shown(line) + " is not a snapshot's";
        return false;
    }
    return true;
}

// The arrays' text, from the Piece to the "_" that starts the appended data:
// this lattice's arrays, in this order, at these offsets.
bool readArraysText(Lines& lines, std::string& reason) {
    if (lines.take(snapshotArraysText())) return true;
    const std::string& expected = snapshotArraysText();
    size_t start = 0;
    std::string line;
    while (start < expected.size()) {
        const size_t end = expected.find('\n', start);
        if (end == std::string::npos) break;  // the "   _" that ends it
        if (!lines.next(line, reason)) return false;
        if (line != expected.substr(start, end + 1 - start)) {
            reason = "another array layout: line " + std::to_string(lines.number()) + " is " + shown(line) +
                     ", a snapshot's is " + shown(expected.substr(start, end + 1 - start));
            return false;
        }
        start = end + 1;
    }
    reason = "its appended data does not start as a snapshot's (\"   _\" after the AppendedData element)";
    return false;
}

// The appended data and the end of the file: each block of this lattice's
// size, every NaN as the file's one NaN, the source flag 0 or 1 and set for
// the source cell alone.
bool readArrays(const unsigned char* data, size_t size, SnapshotReading& reading, std::string& reason) {
    const size_t expected = reading.arraysOffset + SNAPSHOT_APPENDED_BYTES + sizeof SNAPSHOT_TRAILER - 1;
    if (size < expected) {
        reason = "it is truncated: " + std::to_string(size) + " bytes, a snapshot with this text has " +
                 std::to_string(expected);
        return false;
    }
    if (size > expected) {
        reason = "it goes on after its end: " + std::to_string(size) + " bytes, a snapshot with this text has " +
                 std::to_string(expected);
        return false;
    }
    const unsigned char* appended = data + reading.arraysOffset;
    for (int i = 0; i < SNAPSHOT_ARRAYS_COUNT; ++i) {
        const uint32_t declared = getUInt32(appended + snapshotBlockOffset(i));
        if (declared != SNAPSHOT_ARRAYS[i].bytes()) {
            reason = std::string("its array '") + SNAPSHOT_ARRAYS[i].name + "' declares " + std::to_string(declared) +
                     " bytes, this lattice's has " + std::to_string(SNAPSHOT_ARRAYS[i].bytes());
            return false;
        }
    }
    if (std::memcmp(appended + SNAPSHOT_APPENDED_BYTES, SNAPSHOT_TRAILER, sizeof SNAPSHOT_TRAILER - 1) != 0) {
        reason = "its end after the arrays is not a snapshot's";
        return false;
    }
    for (int i = 0; i < SNAPSHOT_ARRAYS_COUNT; ++i) {
        if (std::strcmp(SNAPSHOT_ARRAYS[i].type, "Float32") != 0) continue;
        const unsigned char* values = appended + snapshotBlockOffset(i) + SNAPSHOT_BLOCK_SIZE_BYTES;
        for (uint32_t at = 0; at < SNAPSHOT_ARRAYS[i].bytes(); at += 4) {
            const uint32_t bits = getUInt32(values + at);
            if ((bits & 0x7FFFFFFFu) > 0x7F800000u && bits != SNAPSHOT_NAN_BITS) {
                reason = std::string("its array '") + SNAPSHOT_ARRAYS[i].name +
                         "' holds a NaN that a snapshot does not (a snapshot writes every NaN as 0xFFC00000)";
                return false;
            }
        }
    }
    const RunParameters& p = reading.description.parameters;
    const uint32_t sourceIndex =
        static_cast<uint32_t>((p.sourceLayer * GRID_SIZE + p.sourceY) * GRID_SIZE + p.sourceX);
    const unsigned char* flags = appended + snapshotBlockOffset(SNAPSHOT_SOURCE) + SNAPSHOT_BLOCK_SIZE_BYTES;
    for (uint32_t point = 0; point < static_cast<uint32_t>(SNAPSHOT_POINTS); ++point) {
        if (flags[point] != (point == sourceIndex ? 1 : 0)) {
            reason = "its array 'source' does not mark the source cell alone (" + std::to_string(p.sourceX) + "," +
                     std::to_string(p.sourceY) + "," + std::to_string(p.sourceLayer) + ")";
            return false;
        }
    }
    return true;
}

float getFloat(const unsigned char*& in) {
    const uint32_t bits = getUInt32(in);
    in += 4;
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

}  // namespace

size_t snapshotMaxBytes() {
    // The longest text of a float: "-1.2345678e-38".
    constexpr size_t FLOAT_TEXT_MAX = 15;
    size_t fields = std::strlen(FIELD_DATA_START) + std::strlen(FIELD_DATA_END);
    for (const SnapshotFieldLine& line : SNAPSHOT_FIELD_LINES) fields += std::strlen(line.prefix) + std::strlen(line.suffix);
    fields += std::to_string(LONG_MAX).size() + 3 * FLOAT_TEXT_MAX;
    fields += 2 * std::to_string(GRID_SIZE - 1).size() + std::to_string(NUM_LAYERS - 1).size() + 2;
    fields += std::to_string(NUM_LAYERS).size() + 4 * SNAPSHOT_PROGRAM_MAX + 1;
    return snapshotHead().size() + fields + snapshotArraysText().size() + SNAPSHOT_APPENDED_BYTES +
           sizeof SNAPSHOT_TRAILER - 1;
}

bool stepFromSnapshotName(const std::string& fileName, long& step) {
    const size_t slash = fileName.find_last_of("/\\");
    const std::string name = slash == std::string::npos ? fileName : fileName.substr(slash + 1);
    const std::string prefix = "lattice_";
    const std::string suffix = ".vti";
    if (name.size() <= prefix.size() + suffix.size() || name.compare(0, prefix.size(), prefix) != 0 ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
        return false;
    std::string digits = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    const size_t first = digits.find_first_not_of('0');
    digits.erase(0, first == std::string::npos ? digits.size() - 1 : first);
    // The name the writer gives that step, leading zeros included.
    return parseWhole(digits, step) && snapshotFileName(step) == name;
}

bool readSnapshot(const unsigned char* data, size_t size, const std::string& fileName, SnapshotReading& reading,
                  std::string& reason) {
    reading = SnapshotReading();
    Lines lines(data, size);
    if (!readHead(lines, reason)) return false;
    if (lines.take(FIELD_DATA_START)) {
        if (!readFieldData(lines, reading, reason)) return false;
        reading.hasFieldData = true;
    } else if (!stepFromSnapshotName(fileName, reading.description.step)) {
        reason = "it has no field data, as the snapshots written before they had any, whose step is taken "
                 "from their name lattice_SSSSSS.vti; the name " +
                 quotedText(fileName) + " is not one";
        return false;
    }
    if (!readArraysText(lines, reason)) return false;
    reading.arraysOffset = lines.position();
    return readArrays(data, size, reading, reason);
}

bool readSnapshotHead(const unsigned char* data, size_t size, std::string& reason) {
    Lines lines(data, size);
    return readHead(lines, reason);
}

std::unique_ptr<Lattice> restoreLattice(const unsigned char* data, const SnapshotReading& reading,
                                        const RunParameters& parameters) {
    auto lattice = std::make_unique<Lattice>(parameters.tau, parameters.spacing);
    const unsigned char* appended = data + reading.arraysOffset;
    const unsigned char* in[SNAPSHOT_ARRAYS_COUNT];
    for (int i = 0; i < SNAPSHOT_ARRAYS_COUNT; ++i)
        in[i] = appended + snapshotBlockOffset(i) + SNAPSHOT_BLOCK_SIZE_BYTES;
    for (LatticeLayer* layer : lattice->layers) {
        for (Cell* cell : layer->cells) {
            cell->intensity = getFloat(in[SNAPSHOT_INTENSITY]);
            cell->density = getFloat(in[SNAPSHOT_DENSITY]);
            cell->speed = getFloat(in[SNAPSHOT_SPEED]);
            for (Link& link : cell->links) link.f = getFloat(in[SNAPSHOT_F]);
            cell->isSource = *in[SNAPSHOT_SOURCE]++ == 1;
        }
    }
    return lattice;
}
