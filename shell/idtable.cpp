#include "idtable.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

static char g_message[1024];

void qeIdTableSetMessage(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(g_message, sizeof(g_message), format, args);
    va_end(args);
}

const char* qeIdTableGetMessage() { return g_message; }

IdTable* qeIdTableCreate(int capacity) {
    if (capacity < 0) capacity = 0;
    IdTable* table = static_cast<IdTable*>(std::malloc(sizeof(IdTable)));
    if (!table) return nullptr;
    table->capacity = capacity;
    table->slots = static_cast<void**>(std::calloc(capacity > 0 ? capacity : 1, sizeof(void*)));
    if (!table->slots) {
        std::free(table);
        return nullptr;
    }
    return table;
}

int qeIdTableDestroy(IdTable* table) {
    if (table) {
        std::free(table->slots);
        std::free(table);
    }
    return 0;
}

// The bounds checks every operation makes first, in this order.
static bool inBounds(const IdTable* table, int id) {
    if (!table) {  // the engine's tables do not exist before engine start
        qeIdTableSetMessage("no ID table");
        return false;
    }
    if (id < 0) {
        qeIdTableSetMessage("invalid negative ID %d", id);
        return false;
    }
    if (id >= table->capacity) {
        qeIdTableSetMessage("invalid ID %d greater or equals than %d", id, table->capacity);
        return false;
    }
    return true;
}

int qeIdTableAdd(IdTable* table, int id, void* p) {
    if (!inBounds(table, id)) return -1;
    if (table->slots[id]) {
        qeIdTableSetMessage("id %d already exist", id);
        return -1;
    }
    table->slots[id] = p;
    return 0;
}

int qeIdTableRemove(IdTable* table, int id) {
    if (!inBounds(table, id)) return -1;
    if (!table->slots[id]) {
        qeIdTableSetMessage("id %d does not exist", id);
        return -1;
    }
    table->slots[id] = nullptr;
    return 0;
}

// An empty slot says so too: callers append the message to their own absent-ID text, and a text left over
// from an earlier call would name another ID.
void* qeIdTableGet(IdTable* table, int id) {
    if (!inBounds(table, id)) return nullptr;
    if (!table->slots[id]) qeIdTableSetMessage("id %d does not exist", id);
    return table->slots[id];
}
