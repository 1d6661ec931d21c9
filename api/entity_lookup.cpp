#include "entity_lookup.h"

#include "idtable.h"
#include "log.h"

void* qeApiFind(IdTable* table, int id) { return table ? qeIdTableGet(table, id) : nullptr; }

void* qeApiLookup(IdTable* table, int id, const char* kind) {
    void* entry = qeIdTableGet(table, id);
    if (entry) return entry;
    qeLogError(1, "%s ID %d does not exist. %s", kind, id, qeIdTableGetMessage());
    return nullptr;
}
