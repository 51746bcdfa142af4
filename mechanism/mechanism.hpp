#pragma once
// Everything the rest of the model needs from the mechanism: sizes and
// species indices, photolysis slots, rate laws and coefficients, the sparsity
// pattern and the right-hand side, Jacobian, factorisation and solve.
#include "mechanism/jacobian_pattern.hpp"
#include "mechanism/kernels.hpp"
#include "mechanism/parameters.hpp"
#include "mechanism/photolysis_slots.hpp"
#include "mechanism/rate_laws.hpp"
