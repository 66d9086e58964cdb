// Binding of the host table handed over by c4d_main (action 1). Only the
// framework entry binds and releases; everything else reads HostTable().
#pragma once

#include "nocturnia_abi.h"

// Makes `table` the host table of this library (null releases the binding).
void BindHostTable(const NocHostTable* table);

// Forgets every shader registration (at the end of the plug-in's life, so that
// a later start registers afresh).
void ResetShaderRegistrations();
