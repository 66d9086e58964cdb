#include "c4d.h"
#include "host_binding.h"

namespace {
// Written once by the framework entry before any other call and cleared at the
// end; read by every binding class, from render threads too, never written
// while they run.
const NocHostTable* g_hostTable = nullptr;
}  // namespace

const NocHostTable* HostTable() { return g_hostTable; }

void BindHostTable(const NocHostTable* table) { g_hostTable = table; }
