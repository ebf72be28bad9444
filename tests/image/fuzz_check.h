#pragma once
// The one rule every load of an arbitrary file must keep: exactly one
// message box and no picture, or a whole picture and no box.
#include "load_check.h"

#include <string>

// Empty when the outcome keeps the rule, else what is wrong. Reads every
// byte of a picture, so that a wrong size shows as a fault here.
std::string OutcomeFault(const LoadOutcome& outcome);
