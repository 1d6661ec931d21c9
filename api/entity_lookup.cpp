#include "entity_lookup.h"

#include "idtable.h"
#include "log.h"

void* qeApiFind(IdTable* table, int id) { return table ? qeIdTableGet(table, id) : nullptr; }

void* qeApiLookup(IdTable* table, int id, const char* kind) {
    void* entry = qeIdTableGet(table, id);
    if (entry) return entry;
    // an empty slot inside the table leaves no reason of its own: give the table's wording for it
    if (table && id >= 0 && id < table->capacity) qeIdTableSetMessage("id %d does not exist", id);
    qeLogError(1, "%s ID %d does not exist. %s", kind, id, qeIdTableGetMessage());
    return nullptr;
}
