#include "parameter_text.h"

#include <array>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>

const RunParameterNames RUN_PARAMETER_NAMES[PARAMETER_COUNT] = {
    {"tau", "relaxation time"},
    {"spacing", "spacing"},
    {"source", "source cell"},
    {"source-value", "source value"},
};

bool readWholeNumber(const char* text, long minimum, long& value) {
    if (*text < '0' || *text > '9') return false;  // no sign, no leading blank
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(text, &end, 10);
    if (*end != '\0' || errno == ERANGE || parsed < minimum) return false;
    value = parsed;
    return true;
}

namespace {

// The whole text as strtof reads it, finite. A decimal beyond the largest
// float reads as an infinity, so it is refused too.
bool readFloat(const char* text, float& value) {
    if (*text == '\0' || std::isspace(static_cast<unsigned char>(*text))) return false;
    char* end = nullptr;
    const float parsed = std::strtof(text, &end);
    if (*end != '\0' || !std::isfinite(parsed)) return false;
    value = parsed;
    return true;
}

bool readCell(const char* text, int& x, int& y, int& layer) {
    std::array<long, 3> parts = {0, 0, 0};
    std::string rest = text;
    size_t count = 0;
    while (count < parts.size()) {
        const size_t comma = rest.find(',');
        if (!readWholeNumber(rest.substr(0, comma).c_str(), 0, parts[count++])) return false;
        if (comma == std::string::npos) break;
        rest.erase(0, comma + 1);
        if (count == parts.size()) return false;  // a fourth number
    }
    if (count < 2 || parts[0] >= GRID_SIZE || parts[1] >= GRID_SIZE || parts[2] >= NUM_LAYERS) return false;
    if (!validSourceCell(static_cast<int>(parts[0]), static_cast<int>(parts[1]), static_cast<int>(parts[2])))
        return false;
    x = static_cast<int>(parts[0]);
    y = static_cast<int>(parts[1]);
    layer = static_cast<int>(parts[2]);
    return true;
}

}  // namespace

bool readRunParameter(RunParameter parameter, const char* text, RunParameters& parameters) {
    float value = 0.0f;
    switch (parameter) {
        case PARAMETER_TAU:
            if (!readFloat(text, value) || !validTau(value)) return false;
            parameters.tau = value;
            return true;
        case PARAMETER_SPACING:
            if (!readFloat(text, value) || !validSpacing(value)) return false;
            parameters.spacing = value;
            return true;
        case PARAMETER_SOURCE:
            return readCell(text, parameters.sourceX, parameters.sourceY, parameters.sourceLayer);
        case PARAMETER_SOURCE_VALUE:
            if (!readFloat(text, value) || !validSourceValue(value)) return false;
            parameters.sourceValue = value;
            return true;
        case PARAMETER_COUNT:
            break;
    }
    return false;
}

std::string runParameterRule(RunParameter parameter) {
    static_assert(GRID_SIZE == 50, "the rule says columns and rows from 0 to 49");
    switch (parameter) {
        case PARAMETER_TAU:
            return "a finite number greater than 0, whose reciprocal is a finite float";
        case PARAMETER_SPACING:
            return "a finite number greater than 0";
        case PARAMETER_SOURCE:
            return "X,Y or X,Y,LAYER: column X and row Y from 0 to 49, LAYER " +
                   (NUM_LAYERS == 1 ? std::string("0") : "from 0 to " + std::to_string(NUM_LAYERS - 1));
        case PARAMETER_SOURCE_VALUE:
            return "a finite number";
        case PARAMETER_COUNT:
            break;
    }
    return "";
}

void copyRunParameter(RunParameter parameter, const RunParameters& from, RunParameters& to) {
    if (parameter == PARAMETER_TAU) to.tau = from.tau;
    if (parameter == PARAMETER_SPACING) to.spacing = from.spacing;
    if (parameter == PARAMETER_SOURCE_VALUE) to.sourceValue = from.sourceValue;
    if (parameter == PARAMETER_SOURCE) {
        to.sourceX = from.sourceX;
        to.sourceY = from.sourceY;
        to.sourceLayer = from.sourceLayer;
    }
}
