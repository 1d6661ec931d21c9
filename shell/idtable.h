#ifndef QIRN_SHELL_IDTABLE_H
#define QIRN_SHELL_IDTABLE_H

// A fixed-capacity map from caller-chosen integer IDs to entity records. The table never owns what it
// points to. On a bad ID the operations write a short message into one shared buffer that callers append
// to their own message ("Light ID %d does not exist. %s"); a look-up of an empty slot writes it as well.
struct IdTable {
    int capacity;
    void** slots;
};

IdTable* qeIdTableCreate(int capacity);
int qeIdTableDestroy(IdTable* table);
int qeIdTableAdd(IdTable* table, int id, void* p);
int qeIdTableRemove(IdTable* table, int id);
void* qeIdTableGet(IdTable* table, int id);
void qeIdTableSetMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));
const char* qeIdTableGetMessage();

#endif
