// The parameters of a run written as text: read as lbm_trace's options and
// the page's address and settings take them, and what each must be, in words.
#pragma once

#include <string>

#include "run_parameters.h"

// A whole decimal number from `minimum` to the largest long: digits alone,
// no sign, no blank.
bool readWholeNumber(const char* text, long minimum, long& value);

enum RunParameter { PARAMETER_TAU, PARAMETER_SPACING, PARAMETER_SOURCE, PARAMETER_SOURCE_VALUE, PARAMETER_COUNT };

struct RunParameterNames {
    const char* name;  // lbm_trace's option without its dashes, the page's name
    const char* what;  // in a message: "invalid WHAT ..."
};
extern const RunParameterNames RUN_PARAMETER_NAMES[PARAMETER_COUNT];

// Reads the whole of `text` as the value of `parameter` into `parameters`:
// a float as C's strtof reads it (the float nearest the decimal, or a
// hexadecimal float; no leading blank) that the run takes (validTau, ...);
// the source as "X,Y" or "X,Y,LAYER", whole decimal numbers, a cell of the
// lattice. False, `parameters` unchanged, when it is not such a value.
bool readRunParameter(RunParameter parameter, const char* text, RunParameters& parameters);

// What a value of `parameter` must be, in words.
std::string runParameterRule(RunParameter parameter);

// Sets `parameter` of `to` to its value in `from`.
void copyRunParameter(RunParameter parameter, const RunParameters& from, RunParameters& to);
