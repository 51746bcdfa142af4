#pragma once
#include "common/errors.hpp"
