#include "host/ge/tol.h"

// Constant-initialised (constexpr constructor), so it is valid before any
// dynamic initialisation in other translation units runs.
AcGeTol AcGeContext::gTol;
