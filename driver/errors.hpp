#pragma once
// The error types moved to common/ so that every library (outputs included)
// can report with them without depending on the driver.
#include "common/errors.hpp"
